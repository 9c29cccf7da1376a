#include "store/locale_compare.h"

#include <QString>

namespace {

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

int CompareText(std::string_view a, std::string_view b)
{
    return QString::localeAwareCompare(ToQString(a), ToQString(b));
}

int CompareTextNoCase(std::string_view a, std::string_view b)
{
    if (a == b)
        return 0;
    return QString::localeAwareCompare(ToQString(a).toCaseFolded(), ToQString(b).toCaseFolded());
}
