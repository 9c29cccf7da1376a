#include "store/address_book_map.h"

#include "platform/regular_file.h"
#include "store/text_file_writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

constexpr int kFormatVersion = 1;
constexpr std::size_t kMaxFileSize = 512 * 1024 * 1024;

std::string S(const QJsonValue& value)
{
    return value.toString().toStdString();
}

// JSON text of a string: quotes, backslashes and control characters escaped, UTF-8 kept.
void AppendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (std::uint8_t(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(std::uint8_t(c)));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendField(std::string& out, std::string_view name, std::string_view value)
{
    AppendJsonString(out, name);
    out += ':';
    AppendJsonString(out, value);
}

// One entry as a JSON object, written directly: a map of many thousand cards is saved after every
// sync, and building a QJsonDocument of it costs several times the writing.
void AppendEntry(std::string& out, const AddressBookEntry& entry)
{
    out += '{';
    AppendField(out, "href", entry.href);
    out += ',';
    AppendField(out, "etag", entry.etag);
    out += ',';
    AppendField(out, "uid", entry.uid);
    out += ',';
    char fingerprint[24];
    std::snprintf(
        fingerprint, sizeof fingerprint, "%llx", static_cast<unsigned long long>(entry.fingerprint));
    AppendField(out, "fingerprint", fingerprint);
    out += ',';
    AppendField(out, "name", entry.name);
    out += ",\"numbers\":[";
    for (std::size_t i = 0; i < entry.numbers.size(); ++i) {
        if (i != 0)
            out += ',';
        AppendJsonString(out, entry.numbers[i]);
    }
    out += ']';
    if (!entry.extra.empty()) {
        out += ',';
        AppendField(out, "extra", entry.extra);
    }
    out += '}';
}

AddressBookEntry FromJson(const QJsonObject& object)
{
    AddressBookEntry entry;
    entry.href = S(object["href"]);
    entry.etag = S(object["etag"]);
    entry.uid = S(object["uid"]);
    entry.fingerprint = object["fingerprint"].toString().toULongLong(nullptr, 16);
    entry.name = S(object["name"]);
    for (const QJsonValue& number : object["numbers"].toArray())
        entry.numbers.push_back(S(number));
    entry.extra = S(object["extra"]);
    return entry;
}

} // namespace

void AddressBookMap::Load(const std::filesystem::path& file)
{
    Clear();
    std::string bytes;
    std::string error;
    if (platform::ReadRegularFile(file.string(), kMaxFileSize, bytes, error) != platform::FileRead::Read)
        return;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(bytes)).object();
    if (root["version"].toInt() != kFormatVersion)
        return;
    account = S(root["account"]);
    bookUrl = S(root["book"]);
    syncToken = S(root["syncToken"]);
    for (const QJsonValue& entry : root["entries"].toArray()) {
        AddressBookEntry read = FromJson(entry.toObject());
        if (!read.href.empty())
            entries.push_back(std::move(read));
    }
}

bool AddressBookMap::Save(const std::filesystem::path& file) const
{
    std::string text = "{\"version\":" + std::to_string(kFormatVersion) + ",";
    AppendField(text, "account", account);
    text += ',';
    AppendField(text, "book", bookUrl);
    text += ',';
    AppendField(text, "syncToken", syncToken);
    text += ",\"entries\":[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i != 0)
            text += ',';
        AppendEntry(text, entries[i]);
    }
    text += "]}";
    TextFileWriter writer(file);
    if (!writer.IsOpen())
        return false;
    writer.Write(text);
    return writer.Commit();
}
