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
// A regular file that cannot be parsed reads as an empty hive; before the first write replaces it,
// it is renamed aside as "<name>.corrupt-<time>" so nothing the user had is thrown away silently.
// A path that is not a regular file, a file that cannot be read and a file larger than
// kMaxFileSize are errors instead: reads see no keys, writes fail, nothing is moved or replaced.
// A file without write permission for its owner is read-only: reads work, writes fail. A hive that
// is a symbolic link is replaced at the link's target, so the link stays a link.
class RegistryHive {
public:
    // Larger files are not read; a write that would make the file larger fails.
    static constexpr std::size_t kMaxFileSize = 64u << 20;
    // Writes refuse longer names: one key name (between separators, never empty), a whole key
    // path below HKEY_CURRENT_USER (which also bounds the parent sections a write adds), a value name.
    static constexpr std::size_t kMaxKeyNameLength = 255;
    static constexpr std::size_t kMaxKeyPathLength = 1024;
    static constexpr std::size_t kMaxValueNameLength = 16383;

    explicit RegistryHive(std::filesystem::path file);

    // The hive of this user: $KESTRIUM_REGISTRY when set, else
    // $XDG_CONFIG_HOME/kestrium/registry.reg (~/.config when XDG_CONFIG_HOME is unset).
    static std::filesystem::path DefaultPath();
    // The process-wide hive at DefaultPath(), created on first use.
    static RegistryHive& CurrentUser();

    const std::filesystem::path& Path() const { return m_file; }

    bool KeyExists(std::string_view keyPath);
    std::optional<RegValue> Query(std::string_view keyPath, std::string_view name);
    // Creates the key and any missing parents. Returns false when the file cannot be written or
    // a name is too long; LastError() then says why.
    bool Set(std::string_view keyPath, std::string_view name, const RegValue& value);
    bool CreateKey(std::string_view keyPath);
    bool DeleteValue(std::string_view keyPath, std::string_view name);

    // The path the last corrupt file was moved to, empty when none was.
    const std::filesystem::path& LastCorruptCopy() const { return m_lastCorruptCopy; }
    // Why the last read or write could not use the file, as a sentence for the user; empty when
    // it could (a corrupt file that reads as empty is no error: see LastCorruptCopy()).
    std::string LastError() const;

    // Text form of a hive, exposed for tests of the file format.
    struct Key {
        std::string name;  // spelling as first written
        std::vector<std::pair<std::string, RegValue>> values;
    };
    using Keys = std::map<std::string, Key>;  // by folded full path

private:
    struct FileStamp {
        int error = 0;  // errno of stat(), 0 when the path exists
        std::uint32_t mode = 0;
        std::int64_t mtimeNs = 0;
        std::int64_t size = 0;
        std::uint64_t inode = 0;
        bool operator==(const FileStamp&) const = default;
    };

    FileStamp StampNow() const;
    void Refresh();
    void Load(const FileStamp& stamp);
    bool Refuse(std::string problem);
    bool NamesAllowed(std::string_view keyPath, std::string_view valueName);
    bool Mutate(const std::function<bool(Keys&)>& change);
    bool WriteFile(const std::filesystem::path& target, const std::string& text);

    mutable std::mutex m_mutex;  // the telephony service may use the hive from its own thread
    std::filesystem::path m_file;
    Keys m_keys;
    bool m_corrupt = false;
    std::string m_loadError;  // why the file as last loaded could not be used
    std::string m_lastError;
    FileStamp m_stamp;
    bool m_loaded = false;
    std::filesystem::path m_lastCorruptCopy;
};

// Parsing and formatting of the REGEDIT4 text; false when the text is not a valid hive.
bool ParseRegistryText(std::string_view text, RegistryHive::Keys& keys);
std::string FormatRegistryText(const RegistryHive::Keys& keys);

}  // namespace platform
