#include "store/address_book_map.h"

#include "platform/regular_file.h"
#include "store/text_file_writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kFormatVersion = 1;
constexpr std::size_t kMaxFileSize = 512 * 1024 * 1024;

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string S(const QJsonValue& value)
{
    return value.toString().toStdString();
}

QJsonObject ToJson(const AddressBookEntry& entry)
{
    QJsonArray numbers;
    for (const std::string& number : entry.numbers)
        numbers.append(Q(number));
    QJsonObject object{ { "href", Q(entry.href) }, { "etag", Q(entry.etag) }, { "uid", Q(entry.uid) },
        { "fingerprint", QString::number(entry.fingerprint, 16) }, { "name", Q(entry.name) },
        { "numbers", numbers } };
    if (!entry.extra.empty())
        object.insert("extra", Q(entry.extra));
    return object;
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
    QJsonArray list;
    for (const AddressBookEntry& entry : entries)
        list.append(ToJson(entry));
    const QJsonObject root{ { "version", kFormatVersion }, { "account", Q(account) }, { "book", Q(bookUrl) },
        { "syncToken", Q(syncToken) }, { "entries", list } };
    TextFileWriter writer(file);
    if (!writer.IsOpen())
        return false;
    writer.Write(QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString());
    return writer.Commit();
}
