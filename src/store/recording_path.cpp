#include "store/recording_path.h"

#include <QString>
#include <QUrl>

namespace RecordingPath {

namespace {

constexpr std::string_view kScheme = "file:";

bool IsFileUri(std::string_view field)
{
    if (field.size() < kScheme.size())
        return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        char c = field[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != kScheme[i])
            return false;
    }
    return true;
}

} // namespace

std::string FromLocalFile(const std::filesystem::path& file, bool unheard)
{
    std::string field = QUrl::fromLocalFile(QString::fromStdString(file.string()))
                            .toString(QUrl::FullyEncoded)
                            .toStdString();
    if (unheard && !field.empty() && field[0] >= 'a' && field[0] <= 'z')
        field[0] = char(field[0] - 'a' + 'A');
    return field;
}

std::filesystem::path ToLocalFile(std::string_view field)
{
    if (!IsFileUri(field))
        return std::filesystem::path(std::string(field));
    QUrl url(QString::fromUtf8(field.data(), qsizetype(field.size())));
    return std::filesystem::path(url.toLocalFile().toStdString());
}

} // namespace RecordingPath
