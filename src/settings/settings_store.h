#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace platform {
class RegistryHive;
}

// The program's only access to persistent settings: every read and write opens the key, does its
// one operation and closes it again, so there is no cache and a value written anywhere is seen by
// the next read everywhere.
class SettingsStore {
public:
    // The program's own key; block values live in it too (their sub-key name is always empty).
    static constexpr std::string_view kKeyPath = "SOFTWARE\\Brindlex\\Kestrium\\";

    explicit SettingsStore(platform::RegistryHive& hive);

    // The stored number; `def` when the value is missing or unreadable; 0 when the key is missing.
    std::int32_t ReadNumber(std::string_view keyPath, std::string_view name, std::int32_t def) const;
    bool WriteNumber(std::string_view keyPath, std::string_view name, std::int32_t value);

    // Fills `out` (a buffer of `size` bytes) with the stored text, or with `def` when the key is
    // missing or the value is missing, not text, or does not fit the buffer with its terminator.
    // The default is cut to the buffer when it is longer itself.
    void ReadText(std::string_view keyPath, std::string_view name, std::string_view def, char* out,
                  std::size_t size) const;
    // The same with a std::string result; `bufferSize` is the reader's buffer of the value table.
    std::string ReadText(std::string_view keyPath, std::string_view name, std::string_view def,
                         std::size_t bufferSize) const;
    bool WriteText(std::string_view keyPath, std::string_view name, std::string_view text);

    // Fills `out` with exactly `size` bytes: the stored block followed by zero bytes when it is
    // shorter. On any failure (no key, no value, not a block, larger than `size`) the whole buffer
    // is zeroed and the result is false.
    bool ReadBlock(std::string_view subKey, std::string_view name, void* out, std::size_t size) const;
    bool WriteBlock(std::string_view subKey, std::string_view name, const void* data, std::size_t size);

    // The same operations on the program's key, by entry of the value table. `item` fills "%d"
    // in the name and the default; `folder` fills "%s" in a text default.
    std::int32_t Read(const Settings::NumberValue& value, int item = 0) const;
    bool Write(const Settings::NumberValue& value, std::int32_t number, int item = 0);
    std::string Read(const Settings::TextValue& value, std::string_view folder = {}, int item = 0) const;
    bool Write(const Settings::TextValue& value, std::string_view text, int item = 0);
    bool Read(const Settings::BlockValue& value, void* out) const;
    bool Write(const Settings::BlockValue& value, const void* data);

private:
    std::string BlockKeyPath(std::string_view subKey) const;

    platform::RegistryHive& m_hive;
};
