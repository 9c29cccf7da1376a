#include "telephony/exchange_config_file.h"

#include "tapi/src/device_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The service reads at most this much of the file.
constexpr qint64 kMaxConfigBytes = qint64(1) << 20;

// Every key of a SIP account: removed when the line stops being a SIP line, since the parser
// takes them only on lines of kind sip.
constexpr std::array kSipKeys{ "display-name", "user", "domain", "registrar", "outbound-proxy",
    "fallback-outbound-proxy", "auth-user", "password-file", "transport", "ca-file", "local-address",
    "local-port", "register", "register-interval", "rtp-timeout", "allow-calls-from", "present-as" };

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool IsSectionHeader(const std::string& line)
{
    return Trim(line).starts_with('[');
}

// The key of a "key = value" line; empty for comments, blank lines and headers.
std::string KeyOf(const std::string& line)
{
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#' || text[0] == ';' || text[0] == '[')
        return {};
    const auto equals = text.find('=');
    return equals == std::string::npos ? std::string() : Trim(text.substr(0, equals));
}

std::string ValueOf(const std::string& line)
{
    const auto equals = line.find('=');
    return equals == std::string::npos ? std::string() : Trim(line.substr(equals + 1));
}

std::string ConfigFolder()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return config;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config";
    return {};
}

const char* KindName(tapi::LineKind kind)
{
    switch (kind) {
    case tapi::LineKind::Ip:
        return "ip";
    case tapi::LineKind::Sip:
        return "sip";
    case tapi::LineKind::Modem:
        return "modem";
    case tapi::LineKind::Analog:
        break;
    }
    return "analog";
}

// The built-in device set as a configuration text, so that a first account keeps the other lines.
std::vector<std::string> BuiltInLines()
{
    std::vector<std::string> lines{
        "# Kestrium's telephone lines (docs/telephony.md). Written by Setup from the",
        "# built-in device set; comments and keys added here are kept when Setup changes an account."
    };
    for (const tapi::LineConfig& line : tapi::DeviceConfig::BuiltIn().lines) {
        lines.insert(lines.end(), { "", "[line]", "name = " + line.name });
        if (line.kind != tapi::LineKind::Analog)
            lines.push_back(std::string("kind = ") + KindName(line.kind));
    }
    return lines;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

bool MakePrivateFolder(const std::string& folder, std::string& error)
{
    const auto parent = QFileInfo(QString::fromStdString(folder)).absolutePath().toStdString();
    if (QFileInfo(QString::fromStdString(folder)).isDir())
        return true;
    if (parent != folder && !MakePrivateFolder(parent, error))
        return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create the folder " + folder + ": " + ErrorText(errno);
        return false;
    }
    return true;
}

} // namespace

ExchangeConfigFile::ExchangeConfigFile(std::string path)
    : m_path(std::move(path))
{
}

std::string ExchangeConfigFile::DefaultPath()
{
    if (const char* env = std::getenv("KESTRIUM_EXCHANGE_CONFIG"); env && *env)
        return env;
    const std::string folder = ConfigFolder();
    return folder.empty() ? std::string() : folder + "/kestrium/exchange.conf";
}

std::string ExchangeConfigFile::DefaultPasswordFile(const std::string& lineName)
{
    return ConfigFolder() + "/kestrium/" + lineName + ".password";
}

bool ExchangeConfigFile::Load(std::string& error)
{
    m_lines.clear();
    QFile file(QString::fromStdString(m_path));
    if (!file.exists()) {
        m_lines = BuiltInLines();
        return true;
    }
    if (!QFileInfo(file).isFile() || file.size() > kMaxConfigBytes || !file.open(QIODevice::ReadOnly)) {
        error = m_path + ": the file cannot be read (it must be a regular file of at most 1 MiB)";
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::string text = bytes.toStdString();
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find('\n', at);
        m_lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    if (!Check(error)) {
        error = m_path + ": " + error;
        return false;
    }
    return true;
}

std::string ExchangeConfigFile::Text() const
{
    std::string text;
    for (const std::string& line : m_lines)
        text += line + "\n";
    return text;
}

bool ExchangeConfigFile::FindLine(const std::string& lineName, Section& section) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (Trim(m_lines[i]) != "[line]")
            continue;
        Section candidate{ i, i + 1 };
        while (candidate.end < m_lines.size() && !IsSectionHeader(m_lines[candidate.end]))
            ++candidate.end;
        if (Value(candidate, "name") == lineName) {
            section = candidate;
            return true;
        }
        i = candidate.end - 1;
    }
    return false;
}

int ExchangeConfigFile::FindKey(const Section& section, const std::string& key) const
{
    for (std::size_t i = section.begin + 1; i < section.end; ++i)
        if (KeyOf(m_lines[i]) == key)
            return int(i);
    return -1;
}

std::string ExchangeConfigFile::Value(const Section& section, const std::string& key) const
{
    const int at = FindKey(section, key);
    return at < 0 ? std::string() : ValueOf(m_lines[std::size_t(at)]);
}

bool ExchangeConfigFile::HasLine(const std::string& lineName) const
{
    Section section;
    return FindLine(lineName, section);
}

SipAccountFields ExchangeConfigFile::Account(const std::string& lineName) const
{
    SipAccountFields account;
    Section section;
    if (!FindLine(lineName, section))
        return account;
    account.enabled = Value(section, "kind") == "sip";
    account.displayName = Value(section, "display-name");
    account.user = Value(section, "user");
    account.domain = Value(section, "domain");
    account.authUser = Value(section, "auth-user");
    account.registrar = Value(section, "registrar");
    account.outboundProxy = Value(section, "outbound-proxy");
    account.fallbackOutboundProxy = Value(section, "fallback-outbound-proxy");
    account.passwordFile = Value(section, "password-file");
    if (const std::string transport = Value(section, "transport"); !transport.empty())
        account.transport = transport;
    account.localAddress = Value(section, "local-address");
    account.localPort = QString::fromStdString(Value(section, "local-port")).toInt();
    const std::string registers = Value(section, "register");
    account.registers = registers != "no" && registers != "false" && registers != "0";
    account.presentAsAnalog = Value(section, "present-as") == "analog";
    return account;
}

// A new key goes after the section's last key (the kind right after the name, since the account
// keys must follow it), so comments and blank lines that end the section stay where they are.
void ExchangeConfigFile::SetValue(Section& section, const std::string& key, const std::string& value)
{
    const std::string line = key + " = " + value;
    if (const int at = FindKey(section, key); at >= 0) {
        m_lines[std::size_t(at)] = line;
        return;
    }
    std::size_t insertAt = section.begin + 1;
    if (key == "kind") {
        insertAt = std::size_t(FindKey(section, "name")) + 1;
    } else {
        for (std::size_t i = section.begin + 1; i < section.end; ++i)
            if (!KeyOf(m_lines[i]).empty())
                insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + std::ptrdiff_t(insertAt), line);
    ++section.end;
}

void ExchangeConfigFile::RemoveKey(Section& section, const std::string& key)
{
    for (int at = FindKey(section, key); at >= 0; at = FindKey(section, key)) {
        m_lines.erase(m_lines.begin() + at);
        --section.end;
    }
}

void ExchangeConfigFile::SetOrRemove(Section& section, const std::string& key, const std::string& value)
{
    if (value.empty())
        RemoveKey(section, key);
    else
        SetValue(section, key, value);
}

bool ExchangeConfigFile::SetAccount(
    const std::string& lineName, const SipAccountFields& account, std::string& error)
{
    Section section;
    if (!FindLine(lineName, section)) {
        error = m_path + " has no line \"" + lineName + "\"";
        return false;
    }
    const std::vector<std::string> before = m_lines;
    if (!account.enabled) {
        for (const char* key : kSipKeys)
            RemoveKey(section, key);
        if (Value(section, "kind") == "sip")
            SetValue(section, "kind", "ip");
    } else {
        SetValue(section, "kind", "sip");
        SetOrRemove(section, "display-name", account.displayName);
        SetValue(section, "user", account.user);
        SetValue(section, "domain", account.domain);
        SetOrRemove(section, "auth-user", account.authUser);
        SetOrRemove(section, "registrar", account.registrar);
        SetOrRemove(section, "outbound-proxy", account.outboundProxy);
        SetOrRemove(section, "fallback-outbound-proxy", account.fallbackOutboundProxy);
        SetValue(section, "transport", account.transport);
        SetOrRemove(section, "local-address", account.localAddress);
        SetOrRemove(section, "local-port", account.localPort > 0 ? std::to_string(account.localPort) : "");
        SetValue(section, "register", account.registers ? "yes" : "no");
        SetOrRemove(section, "present-as", account.presentAsAnalog ? "analog" : "");
    }
    if (!Check(error)) {
        // The fields were typed, not the file: the file's line number would only puzzle.
        if (const auto colon = error.find(": "); error.starts_with("line ") && colon != std::string::npos)
            error.erase(0, colon + 2);
        m_lines = before;
        return false;
    }
    return true;
}

// The service's own parser decides. "present-as" is left out of the check: a service built
// without it would refuse the key, while the file is also meant for one that has it.
bool ExchangeConfigFile::Check(std::string& error) const
{
    std::string text;
    for (const std::string& line : m_lines)
        text += (KeyOf(line) == "present-as" ? std::string() : line) + "\n";
    tapi::DeviceConfig config;
    return tapi::DeviceConfig::Parse(text, config, error);
}

bool ExchangeConfigFile::Save(std::string& error) const
{
    const QString path = QString::fromStdString(m_path);
    if (!MakePrivateFolder(QFileInfo(path).absolutePath().toStdString(), error))
        return false;
    QSaveFile file(path);
    const std::string text = Text();
    if (!file.open(QIODevice::WriteOnly)
        || file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit()) {
        error = "cannot write " + m_path + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

bool WriteSipPassword(const std::string& path, const std::string& password, std::string& error)
{
    if (password.find_first_of("\r\n") != std::string::npos) {
        error = "a password cannot hold a line break";
        return false;
    }
    const std::string folder = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
    if (!MakePrivateFolder(folder, error))
        return false;
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot write " + temporary + ": " + ErrorText(errno);
        return false;
    }
    const std::string text = password + "\n";
    const bool written = ::fchmod(fd, 0600) == 0
        && ::write(fd, text.data(), text.size()) == ssize_t(text.size()) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + ErrorText(written ? errno : writeError);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
