#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Value types of the hive, numbered as the registry numbers them.
enum class RegType : std::uint32_t { Sz = 1, Binary = 3, Dword = 4 };

struct RegValue {
    RegType type = RegType::Sz;
    std::vector<std::uint8_t> data;  // REG_SZ: the characters, no terminator; REG_DWORD: 4 bytes LE

    static RegValue Text(std::string_view text);
    static RegValue Number(std::uint32_t value);
    static RegValue Block(const void* data, std::size_t size);
};

// An emulated per-user registry hive kept in one REGEDIT4-format text file.
//
// Key paths are given relative to HKEY_CURRENT_USER with backslash separators, as in
// "SOFTWARE\Brindlex\Kestrium\"; a trailing separator is ignored. Key paths and value names
// compare without regard to ASCII case. Every read looks at the file as it is on disk now
// (re-parsed when it changed), so values written by another process are seen at once. Every write
// re-reads the file, changes it and replaces it by writing a temporary file, syncing it and
// renaming it over the old one, under an advisory lock shared with other processes.
//
// A file that cannot be parsed reads as an empty hive; before the first write replaces it, it is
// renamed aside as "<name>.corrupt-<time>" so nothing the user had is thrown away silently.
class RegistryHive {
public:
    explicit RegistryHive(std::filesystem::path file);

    // The hive of this user: $KESTRIUM_REGISTRY when set, else
    // $XDG_CONFIG_HOME/kestrium/registry.reg (~/.config when XDG_CONFIG_HOME is unset).
    static std::filesystem::path DefaultPath();
    // The process-wide hive at DefaultPath(), created on first use.
    static RegistryHive& CurrentUser();

    const std::filesystem::path& Path() const { return m_file; }

    bool KeyExists(std::string_view keyPath);
    std::optional<RegValue> Query(std::string_view keyPath, std::string_view name);
    // Creates the key and any missing parents. Returns false when the file cannot be written.
    bool Set(std::string_view keyPath, std::string_view name, const RegValue& value);
    bool CreateKey(std::string_view keyPath);
    bool DeleteValue(std::string_view keyPath, std::string_view name);

    // The path the last corrupt file was moved to, empty when none was.
    const std::filesystem::path& LastCorruptCopy() const { return m_lastCorruptCopy; }

    // Text form of a hive, exposed for tests of the file format.
    struct Key {
        std::string name;  // spelling as first written
        std::vector<std::pair<std::string, RegValue>> values;
    };
    using Keys = std::map<std::string, Key>;  // by folded full path

private:
    struct FileStamp {
        bool exists = false;
        std::int64_t mtimeNs = 0;
        std::int64_t size = 0;
        std::uint64_t inode = 0;
        bool operator==(const FileStamp&) const = default;
    };

    FileStamp StampNow() const;
    void Refresh();
    bool Mutate(const std::function<bool(Keys&)>& change);
    bool WriteFile(const Keys& keys);

    std::mutex m_mutex;  // the telephony service may use the hive from its own thread
    std::filesystem::path m_file;
    Keys m_keys;
    bool m_corrupt = false;
    FileStamp m_stamp;
    bool m_loaded = false;
    std::filesystem::path m_lastCorruptCopy;
};

// Parsing and formatting of the REGEDIT4 text; false when the text is not a valid hive.
bool ParseRegistryText(std::string_view text, RegistryHive::Keys& keys);
std::string FormatRegistryText(const RegistryHive::Keys& keys);

}  // namespace platform
