#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace platform {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::size_t kHexBytesPerLine = 25;

std::string Fold(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

std::string_view TrimSeparators(std::string_view keyPath)
{
    while (!keyPath.empty() && keyPath.back() == '\\')
        keyPath.remove_suffix(1);
    while (!keyPath.empty() && keyPath.front() == '\\')
        keyPath.remove_prefix(1);
    return keyPath;
}

// "SOFTWARE\\Brindlex\\Kestrium\\" -> "HKEY_CURRENT_USER\\SOFTWARE\\Brindlex\\Kestrium".
std::string FullKeyName(std::string_view keyPath)
{
    keyPath = TrimSeparators(keyPath);
    std::string full(kRoot);
    if (!keyPath.empty()) {
        full += '\\';
        full += keyPath;
    }
    return full;
}

bool NeedsHexText(const std::vector<std::uint8_t>& data)
{
    for (std::uint8_t b : data)
        if (b < 0x20 || b == 0x7f)
            return true;
    return false;
}

void AppendHex(std::string& out, std::string_view prefix, const std::vector<std::uint8_t>& data)
{
    out += prefix;
    char buf[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        out += buf;
        if (i + 1 < data.size()) {
            out += ',';
            if ((i + 1) % kHexBytesPerLine == 0)
                out += "\\\n  ";
        }
    }
}

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
}

void AppendValue(std::string& out, const std::string& name, const RegValue& value)
{
    if (name.empty())
        out += '@';
    else
        AppendQuoted(out, name);
    out += '=';
    switch (value.type) {
    case RegType::Sz:
        if (NeedsHexText(value.data))
            AppendHex(out, "hex(1):", value.data);
        else
            AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                               value.data.size()));
        break;
    case RegType::Dword: {
        std::uint32_t n = 0;
        for (std::size_t i = 0; i < 4 && i < value.data.size(); ++i)
            n |= std::uint32_t(value.data[i]) << (8 * i);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
        break;
    }
    case RegType::Binary:
        AppendHex(out, "hex:", value.data);
        break;
    }
    out += '\n';
}

// Hands out the lines of a text one at a time without their CR, so a hand-edited file with CR LF
// ends parses too, and a file of millions of short lines is never held as millions of strings.
class PhysicalLines {
public:
    explicit PhysicalLines(std::string_view text) : m_text(text) {}

    bool Next(std::string_view& line)
    {
        if (m_pos >= m_text.size())
            return false;
        std::size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos)
            end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_pos = end + 1;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Where each value of each key is, by folded name: a key with many values loads in linear time.
using ValueIndex = std::unordered_map<const RegistryHive::Key*, std::unordered_map<std::string, std::size_t>>;

// Reads a quoted text starting at line[pos] == '"'; leaves pos after the closing quote.
bool ParseQuoted(const std::string& line, std::size_t& pos, std::string& out)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"')
            return true;
        if (c == '\\') {
            if (pos >= line.size())
                return false;
            c = line[pos++];
        }
        out += c;
    }
    return false;
}

bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& out)
{
    out.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos == text.size())
            break;
        if (pos + 2 > text.size() || !std::isxdigit(static_cast<unsigned char>(text[pos])) ||
            !std::isxdigit(static_cast<unsigned char>(text[pos + 1])))
            return false;
        out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(text.substr(pos, 2)), nullptr, 16)));
        pos += 2;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos < text.size()) {
            if (text[pos] != ',')
                return false;
            ++pos;
        }
    }
    return true;
}

bool ParseData(std::string_view text, RegValue& value)
{
    if (!text.empty() && text.front() == '"') {
        std::string line(text), out;
        std::size_t pos = 0;
        if (!ParseQuoted(line, pos, out) || line.find_first_not_of(" \t", pos) != std::string::npos)
            return false;
        value = RegValue::Text(out);
        return true;
    }
    if (text.starts_with("dword:")) {
        std::string_view digits = text.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        value = RegValue::Number(static_cast<std::uint32_t>(std::stoul(std::string(digits), nullptr, 16)));
        return true;
    }
    RegType type;
    std::string_view bytes;
    if (text.starts_with("hex:")) {
        type = RegType::Binary;
        bytes = text.substr(4);
    } else if (text.starts_with("hex(1):")) {
        type = RegType::Sz;
        bytes = text.substr(7);
    } else if (text.starts_with("hex(4):")) {
        type = RegType::Dword;
        bytes = text.substr(7);
    } else {
        return false;
    }
    value.type = type;
    return ParseHexBytes(bytes, value.data);
}

std::size_t DataStart(const std::string& line)
{
    std::string name;
    std::size_t pos = 0;
    if (!line.empty() && line[0] == '@')
        pos = 1;
    else if (!ParseQuoted(line, pos, name))
        return std::string::npos;
    return pos < line.size() && line[pos] == '=' ? pos + 1 : std::string::npos;
}

bool IsHexValueLine(const std::string& line)
{
    std::size_t start = DataStart(line);
    return start != std::string::npos && line.compare(start, 3, "hex") == 0;
}

bool ParseValueLine(const std::string& line, RegistryHive::Key& key, ValueIndex& index)
{
    std::string name;
    std::size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else if (!ParseQuoted(line, pos, name)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=')
        return false;
    RegValue value;
    if (!ParseData(std::string_view(line).substr(pos + 1), value))
        return false;
    auto [slot, isNew] = index[&key].try_emplace(Fold(name), key.values.size());
    if (isNew)
        key.values.emplace_back(std::move(name), std::move(value));
    else
        key.values[slot->second].second = std::move(value);
    return true;
}

}  // namespace

RegValue RegValue::Text(std::string_view text)
{
    return RegValue{RegType::Sz, std::vector<std::uint8_t>(text.begin(), text.end())};
}

RegValue RegValue::Number(std::uint32_t value)
{
    return RegValue{RegType::Dword,
                    {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                     std::uint8_t(value >> 24)}};
}

RegValue RegValue::Block(const void* data, std::size_t size)
{
    auto bytes = static_cast<const std::uint8_t*>(data);
    return RegValue{RegType::Binary, std::vector<std::uint8_t>(bytes, bytes + size)};
}

bool ParseRegistryText(std::string_view text, RegistryHive::Keys& keys)
{
    keys.clear();
    bool headerSeen = false;
    RegistryHive::Key* current = nullptr;
    ValueIndex index;
    PhysicalLines lines(text);
    std::string_view physical;
    while (lines.Next(physical)) {
        std::string line(physical);
        // Hex data may continue on the next lines: "\" at the end, the rest indented.
        if (IsHexValueLine(line))
            while (!line.empty() && line.back() == '\\' && lines.Next(physical)) {
                line.pop_back();
                std::size_t indent = physical.find_first_not_of(" \t");
                if (indent != std::string_view::npos)
                    line += physical.substr(indent);
            }
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';')
            continue;
        if (!headerSeen) {
            if (line != kHeader)
                return false;
            headerSeen = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3 || line[1] == '-')
                return false;
            std::string name = line.substr(1, line.size() - 2);
            RegistryHive::Key& key = keys[Fold(name)];
            if (key.name.empty())
                key.name = name;
            current = &key;
            continue;
        }
        if (current == nullptr || !ParseValueLine(line, *current, index))
            return false;
    }
    return headerSeen;
}

std::string FormatRegistryText(const RegistryHive::Keys& keys)
{
    std::string out(kHeader);
    out += "\n";
    for (const auto& [folded, key] : keys) {
        out += "\n[" + key.name + "]\n";
        for (const auto& [name, value] : key.values)
            AppendValue(out, name, value);
    }
    return out;
}

RegistryHive::RegistryHive(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path RegistryHive::DefaultPath()
{
    if (const char* explicitPath = std::getenv("KESTRIUM_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = std::filesystem::temp_directory_path();
    return base / "kestrium" / "registry.reg";
}

RegistryHive& RegistryHive::CurrentUser()
{
    static RegistryHive hive(DefaultPath());
    return hive;
}

namespace {

// Owns a file descriptor; closes it once.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    explicit operator bool() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    bool Close()
    {
        int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string SystemError(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

std::string FileProblem(const std::filesystem::path& file, const std::string& what)
{
    return "The registry file \"" + file.string() + "\" " + what + ".";
}

std::string NotRegular(const std::filesystem::path& file)
{
    return FileProblem(file, "is not a regular file");
}

std::string TooLarge(const std::filesystem::path& file)
{
    return FileProblem(file, "is larger than " + std::to_string(RegistryHive::kMaxFileSize >> 20) + " MB");
}

std::string CannotRead(const std::filesystem::path& file, int error)
{
    return FileProblem(file, "cannot be read: " + SystemError(error));
}

// Reads the whole hive file; returns why it could not, empty when it could. Only a regular file is
// read (a device or a pipe may never end or block forever), and never more than kMaxFileSize.
std::string ReadHiveFile(const std::filesystem::path& file, std::string& text)
{
    // O_NONBLOCK: a pipe put in place of the file since it was looked at must not block the open.
    FileHandle in(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.Get(), &st) != 0)
        return CannotRead(file, errno);
    if (!S_ISREG(st.st_mode))
        return NotRegular(file);
    if (std::uint64_t(st.st_size) > RegistryHive::kMaxFileSize)
        return TooLarge(file);
    text.clear();
    text.reserve(std::size_t(st.st_size));
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return CannotRead(file, errno);
        if (n == 0)
            return {};
        if (text.size() + std::size_t(n) > RegistryHive::kMaxFileSize)
            return TooLarge(file);  // it grew since fstat()
        text.append(buffer, std::size_t(n));
    }
}

std::string TooLong(const char* what, std::size_t limit)
{
    return std::string(what) + " is too long (more than " + std::to_string(limit) + " characters).";
}

// Why a write may not use this key path and value name; empty when it may.
std::string NameProblem(std::string_view keyPath, std::string_view valueName)
{
    keyPath = TrimSeparators(keyPath);
    if (keyPath.size() > RegistryHive::kMaxKeyPathLength)
        return TooLong("The registry key path", RegistryHive::kMaxKeyPathLength);
    std::size_t pos = 0;
    while (!keyPath.empty() && pos <= keyPath.size()) {
        std::size_t end = std::min(keyPath.find('\\', pos), keyPath.size());
        if (end == pos)
            return "The registry key path \"" + std::string(keyPath) + "\" has an empty key name.";
        if (end - pos > RegistryHive::kMaxKeyNameLength)
            return TooLong("A registry key name", RegistryHive::kMaxKeyNameLength);
        pos = end + 1;
    }
    if (valueName.size() > RegistryHive::kMaxValueNameLength)
        return TooLong("A registry value name", RegistryHive::kMaxValueNameLength);
    return {};
}

}  // namespace

RegistryHive::FileStamp RegistryHive::StampNow() const
{
    struct stat st {};
    if (::stat(m_file.c_str(), &st) != 0)
        return {errno};
    return {0, std::uint32_t(st.st_mode), std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            std::int64_t(st.st_size), std::uint64_t(st.st_ino)};
}

void RegistryHive::Refresh()
{
    FileStamp now = StampNow();
    if (!m_loaded || !(now == m_stamp))
        Load(now);
    m_lastError = m_loadError;
}

void RegistryHive::Load(const FileStamp& stamp)
{
    m_loaded = true;
    m_stamp = stamp;
    m_keys.clear();
    m_corrupt = false;
    m_loadError.clear();
    if (stamp.error == ENOENT)
        return;
    std::string text;
    if (stamp.error != 0)
        m_loadError = CannotRead(m_file, stamp.error);
    else if (!S_ISREG(stamp.mode))
        m_loadError = NotRegular(m_file);  // never opened: opening a device may already do something
    else
        m_loadError = ReadHiveFile(m_file, text);
    if (m_loadError.empty() && !ParseRegistryText(text, m_keys)) {
        m_keys.clear();
        m_corrupt = true;
    }
}

std::string RegistryHive::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

bool RegistryHive::Refuse(std::string problem)
{
    m_lastError = std::move(problem);
    return false;
}

bool RegistryHive::KeyExists(std::string_view keyPath)

{
    std::lock_guard lock(m_mutex);
    Refresh();
    return m_keys.count(Fold(FullKeyName(keyPath))) != 0;
}

std::optional<RegValue> RegistryHive::Query(std::string_view keyPath, std::string_view name)
{
    std::lock_guard lock(m_mutex);
    Refresh();
    auto key = m_keys.find(Fold(FullKeyName(keyPath)));
    if (key == m_keys.end())
        return std::nullopt;
    std::string folded = Fold(name);
    for (const auto& [valueName, value] : key->second.values)
        if (Fold(valueName) == folded)
            return value;
    return std::nullopt;
}

namespace {

// Creates the key and each missing parent, keeping the spelling of keys that exist.
RegistryHive::Key& EnsureKey(RegistryHive::Keys& keys, const std::string& fullName)
{
    RegistryHive::Key* key = nullptr;
    std::size_t pos = 0;
    while (true) {
        std::size_t end = fullName.find('\\', pos);
        std::string prefix = fullName.substr(0, end);
        RegistryHive::Key& k = keys[Fold(prefix)];
        if (k.name.empty())
            k.name = prefix;
        key = &k;
        if (end == std::string::npos)
            return *key;
        pos = end + 1;
    }
}

}  // namespace

bool RegistryHive::NamesAllowed(std::string_view keyPath, std::string_view valueName)
{
    std::string problem = NameProblem(keyPath, valueName);
    if (problem.empty())
        return true;
    std::lock_guard lock(m_mutex);
    return Refuse(std::move(problem));
}

bool RegistryHive::Set(std::string_view keyPath, std::string_view name, const RegValue& value)
{
    if (!NamesAllowed(keyPath, name))
        return false;
    std::string full = FullKeyName(keyPath);
    std::string valueName(name);
    return Mutate([&](Keys& keys) {
        Key& key = EnsureKey(keys, full);
        std::string folded = Fold(valueName);
        for (auto& [existing, old] : key.values)
            if (Fold(existing) == folded) {
                old = value;
                return true;
            }
        key.values.emplace_back(valueName, value);
        return true;
    });
}

bool RegistryHive::CreateKey(std::string_view keyPath)
{
    if (!NamesAllowed(keyPath, {}))
        return false;
    std::string full = FullKeyName(keyPath);
    return Mutate([&](Keys& keys) {
        EnsureKey(keys, full);
        return true;
    });
}

bool RegistryHive::DeleteValue(std::string_view keyPath, std::string_view name)
{
    std::string full = Fold(FullKeyName(keyPath));
    std::string folded = Fold(name);
    return Mutate([&](Keys& keys) {
        auto key = keys.find(full);
        if (key == keys.end())
            return false;
        auto& values = key->second.values;
        for (auto it = values.begin(); it != values.end(); ++it)
            if (Fold(it->first) == folded) {
                values.erase(it);
                return true;
            }
        return false;
    });
}

namespace {

// An advisory lock on "<hive>.lock" that serialises writers of all processes.
class HiveLock {
public:
    explicit HiveLock(const std::filesystem::path& file) : m_lock(Open(file))
    {
        if (m_lock)
            ::flock(m_lock.Get(), LOCK_EX);
    }

private:
    static int Open(const std::filesystem::path& file)
    {
        std::filesystem::path lockPath = file;
        lockPath += ".lock";
        return ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    }

    FileHandle m_lock;
};

std::filesystem::path CorruptName(const std::filesystem::path& file)
{
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm tm {};
    localtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    std::filesystem::path aside = file;
    aside += std::string(".corrupt-") + stamp;
    for (int n = 1; std::filesystem::exists(aside); ++n) {
        aside = file;
        aside += std::string(".corrupt-") + stamp + "-" + std::to_string(n);
    }
    return aside;
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += std::size_t(n);
    }
    return true;
}

// A hive that is a symbolic link is replaced at the link's target, so the link stays a link.
std::filesystem::path LinkTarget(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(file, ec))
        return file;
    std::filesystem::path target = std::filesystem::weakly_canonical(file, ec);
    return ec ? file : target;
}

}  // namespace

bool RegistryHive::Mutate(const std::function<bool(Keys&)>& change)
{
    std::lock_guard lock(m_mutex);
    // Something other than a regular file gets no lock file beside it (/dev/null.lock).
    if (FileStamp now = StampNow(); now.error == 0 && !S_ISREG(now.mode))
        return Refuse(NotRegular(m_file));
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    HiveLock fileLock(m_file);
    m_loaded = false;  // another process may have written since the last look
    Refresh();
    if (!m_lastError.empty())
        return false;  // not a regular file, unreadable or too large: left exactly as it is
    if (m_stamp.error == 0 && (m_stamp.mode & S_IWUSR) == 0)
        return Refuse(FileProblem(m_file, "is read-only"));
    const std::filesystem::path target = LinkTarget(m_file);
    if (m_corrupt) {
        std::filesystem::path aside = CorruptName(target);
        std::filesystem::rename(target, aside, ec);
        if (ec)  // never overwrite what could not be kept aside
            return Refuse(FileProblem(m_file, "is damaged and cannot be set aside: " + ec.message()));
        m_lastCorruptCopy = aside;
        m_corrupt = false;
    }
    Keys changed = m_keys;
    if (!change(changed))
        return false;
    std::string text = FormatRegistryText(changed);
    if (text.size() > kMaxFileSize)
        return Refuse(FileProblem(m_file, "would grow larger than " + std::to_string(kMaxFileSize >> 20) + " MB"));
    if (!WriteFile(target, text))
        return false;
    m_keys = std::move(changed);
    m_stamp = StampNow();
    return true;
}

bool RegistryHive::WriteFile(const std::filesystem::path& target, const std::string& text)
{
    // A new file of a name nobody could guess, made with O_EXCL in the hive's folder: never a file
    // or link someone put there, and on the same file system as the hive for the rename.
    std::string temp = target.string() + ".tmp-XXXXXX";
    FileHandle out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out)
        return Refuse(FileProblem(m_file, "cannot be written: " + SystemError(errno)));
    int error = 0;
    if (!WriteAll(out.Get(), text) || ::fsync(out.Get()) != 0)
        error = errno != 0 ? errno : EIO;
    if (!out.Close() && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error == 0)
        return true;
    ::unlink(temp.c_str());
    return Refuse(FileProblem(m_file, "cannot be written: " + SystemError(error)));
}

}  // namespace platform
