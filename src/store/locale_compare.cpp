#include "store/locale_compare.h"

#include <algorithm>
#include <vector>

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

// QString::localeAwareCompare compares with a default QCollator of the same locale; that
// collator's keys order the texts the same way.
TextSorter::TextSorter(bool foldCase)
    : m_foldCase(foldCase)
{
}

void TextSorter::Sort(
    std::span<std::size_t> items, const std::function<std::string_view(std::size_t)>& textOf) const
{
    if (items.size() < 2)
        return;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(items.size());
    for (std::size_t item : items) {
        const QString text = ToQString(textOf(item));
        keys.push_back(m_collator.sortKey(m_foldCase ? text.toCaseFolded() : text));
    }
    std::vector<std::size_t> order(items.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
        [&keys](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<std::size_t> sorted(items.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        sorted[i] = items[order[i]];
    std::copy(sorted.begin(), sorted.end(), items.begin());
}
