#pragma once

#include "platform/kernel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <new>
#include <utility>
#include <vector>

// The records of a store, in store order, at most `MaxRecords` of them. Pointers from GetAt stay
// valid until the list changes.
template <class Record, std::size_t MaxRecords> class RecordList {
public:
    // False at the limit or when memory cannot be grown; the list is then unchanged.
    bool Append(Record record)
    {
        if (m_records.size() >= MaxRecords)
            return false;
        try {
            m_records.push_back(std::move(record));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Room for `count` records (at most MaxRecords), so that appending them does not move the
    // list; without the memory the list grows as it goes. A large list is asked to sit on large
    // pages: filling a full store's list page by page costs milliseconds of page faults.
    void Reserve(std::size_t count)
    {
        try {
            m_records.reserve(std::min(count, MaxRecords));
        } catch (const std::bad_alloc&) {
            return;
        }
        platform::AdviseLargePages(m_records.data(), m_records.capacity() * sizeof(Record));
    }
    // Room for as many records as `file` can hold, records taking at least `shortestRecord` bytes:
    // loading them then does not move the list again and again while it grows.
    void ReserveForFile(const std::filesystem::path& file, std::uintmax_t shortestRecord)
    {
        std::error_code error;
        if (const std::uintmax_t bytes = std::filesystem::file_size(file, error); !error)
            Reserve(std::size_t(std::min<std::uintmax_t>(bytes / shortestRecord, MaxRecords)));
    }
    // Gives back the room reserved beyond a quarter more than the records.
    void ReleaseSpareRoom()
    {
        if (m_records.capacity() - m_records.size() > m_records.size() / 4)
            m_records.shrink_to_fit();
    }

    std::size_t Count() const { return m_records.size(); }
    const Record* GetAt(std::size_t index) const
    {
        return index < m_records.size() ? &m_records[index] : nullptr;
    }
    Record* GetAt(std::size_t index) { return index < m_records.size() ? &m_records[index] : nullptr; }

    // Closes the gap; false for an index out of range.
    bool RemoveAt(std::size_t index)
    {
        if (index >= m_records.size())
            return false;
        m_records.erase(m_records.begin() + std::ptrdiff_t(index));
        return true;
    }

    void Clear() { m_records.clear(); }

    auto begin() { return m_records.begin(); }
    auto end() { return m_records.end(); }
    auto begin() const { return m_records.begin(); }
    auto end() const { return m_records.end(); }

private:
    std::vector<Record> m_records;
};
