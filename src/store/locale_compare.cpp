#include "store/locale_compare.h"

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
    return QString::localeAwareCompare(FoldedText(a), FoldedText(b));
}

QString FoldedText(std::string_view text)
{
    return ToQString(text).toCaseFolded();
}
