#pragma once

#include "store/call_log_entry.h"
#include "store/record_list.h"
#include "store/text_file_writer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SettingsStore;

// The value "Missed Calls Viewed At" is compared with: a number that grows with time within a few
// years, computed in unsigned 32-bit arithmetic that wraps.
std::uint32_t MissedCallStamp(const CallTime& time);

// The list of finished calls and voice messages, stored in "KestriumCallLog.csv".
// Pointers from GetAt stay valid until the next Append, RemoveAt, Load or Clear.
class CallLogStore {
public:
    static constexpr std::size_t kMaxEntries = 65535;
    static constexpr std::string_view kFileName = "KestriumCallLog.csv";

    // Filters of the call lists; any other value shows the entries whose whole type word equals it.
    static constexpr std::int32_t kFilterAll = 255;
    static constexpr std::int32_t kFilterDeleted = 128;
    static constexpr std::int32_t kFilterUnreadVoicemail = 5;

    // Text limits of the file: texts 999 bytes, each date and time number 11 characters.
    static constexpr std::size_t kNumberFieldLimit = 11;
    static constexpr std::size_t kFieldCount = 19;

    // Recordings of removed entries are copied into `deletedFolder` (from the settings).
    explicit CallLogStore(std::filesystem::path deletedFolder = {});

    void SetDeletedFolder(std::filesystem::path folder) { m_deletedFolder = std::move(folder); }
    const std::filesystem::path& DeletedFolder() const { return m_deletedFolder; }

    // Replaces the list with the file's entries, up to the first entry that cannot be read
    // completely. A missing file gives an empty list; always true.
    bool Load(const std::filesystem::path& file);
    // Writes every entry; false when the file cannot be written (the old file then stays).
    bool Save(const std::filesystem::path& file,
        TextFileWriter::Durability durability = TextFileWriter::Durability::PowerCut) const;

    // Appends a copy. A full log (65,535 entries) first drops its oldest entry, the first in store
    // order, so the newest call is always logged; the dropped entry's recording file stays where it
    // is. False when memory runs out.
    bool Append(const CallLogEntry& entry);
    std::size_t Count() const { return m_entries.Count(); }
    const CallLogEntry* GetAt(std::size_t index) const { return m_entries.GetAt(index); }
    // A writable entry may change its place in the list: the prepared list order is dropped.
    CallLogEntry* GetAt(std::size_t index);
    void Clear();

    bool MarkDeleted(std::size_t index);
    bool Restore(std::size_t index);
    // Removes the entry for good, archiving its recording first; the recording file stays.
    bool RemoveAt(std::size_t index);

    // Copies the entry's recording into the Deleted folder under a name made of the caller, the
    // type letter, the start date and time; true when the copy was written.
    bool ArchiveRecording(const CallLogEntry& entry) const;
    // The archive file name (without folder) for an entry.
    static std::string ArchiveName(const CallLogEntry& entry);

    // Missed calls and voice messages that started after "Missed Calls Viewed At".
    std::size_t CountUnseenMissed(const SettingsStore& settings) const;
    // Counts both (the missed calls for a "Missed Calls Viewed At" read beforehand), so that the
    // window's first update finds them counted: the loading thread does this.
    void PrepareCounts(std::uint32_t missedViewedAt) const;
    // Voice messages (whole type 4, so not deleted ones) whose recording is unheard.
    std::size_t CountUnheardVoicemail() const;

    // What the call lists show. ShowsInCallList is the filter and search rule; CallListImage the
    // item's image index; CallListEntries the positions of the shown entries in list order (the
    // order of all entries is worked out at its first call and kept until an entry changes).
    static bool ShowsInCallList(const CallLogEntry& entry, std::int32_t filter, std::string_view search);
    static int CallListImage(const CallLogEntry& entry);
    std::vector<std::size_t> CallListEntries(std::int32_t filter, std::string_view search) const;

    // The list order: later start first; equal starts by NameOrNumber, locale-aware and
    // case-sensitive, ascending. Negative when `a` comes first, 0 when equal.
    static int CompareEntries(const CallLogEntry& a, const CallLogEntry& b);

private:
    // Every position in list order.
    std::vector<std::size_t> InListOrder() const;
    std::size_t CountUnseenMissedSince(std::uint32_t viewedAt) const;
    // Copies of the names (NameOrNumber) of the wanted entries, all in one text, by position.
    struct NameCopies {
        std::string text;
        std::vector<std::size_t> ends; // position i's name ends at ends[i + 1], begins at ends[i]
        std::string_view Of(std::size_t position) const
        {
            return std::string_view(text).substr(ends[position], ends[position + 1] - ends[position]);
        }
    };
    NameCopies CopyNames(const std::vector<char>& wanted) const;

    RecordList<CallLogEntry, kMaxEntries> m_entries;
    std::filesystem::path m_deletedFolder;
    // What is worked out from the entries and kept until they change (or, for the counts, are saved).
    void ForgetDerived() const;
    // Every position in list order while no entry has changed since CallListEntries worked it out.
    mutable std::vector<std::size_t> m_listOrder;
    struct Counts {
        std::optional<std::size_t> unseenMissed; // for missed calls viewed at `viewedAt`
        std::uint32_t viewedAt = 0;
        std::optional<std::size_t> unheardVoicemail;
    };
    mutable Counts m_counts;
};
