#include "store/locale_compare.h"

#include <QCollator>

#include <algorithm>
#include <future>
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

namespace {

// Lists of this size or more make their keys on two threads.
constexpr std::size_t kParallelKeys = 8192;

// Items with their collation keys, the items in key order (stable).
struct KeyedItems {
    std::vector<QCollatorSortKey> keys;
    std::vector<std::size_t> items;
};

KeyedItems SortedByKey(const QCollator& collator, std::span<const std::size_t> items,
    const std::function<std::string_view(std::size_t)>& textOf, bool foldCase)
{
    KeyedItems sorted;
    sorted.keys.reserve(items.size());
    for (std::size_t item : items) {
        const QString text = ToQString(textOf(item));
        sorted.keys.push_back(collator.sortKey(foldCase ? text.toCaseFolded() : text));
    }
    std::vector<std::size_t> order(items.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
        [&sorted](std::size_t a, std::size_t b) { return sorted.keys[a].compare(sorted.keys[b]) < 0; });
    std::vector<QCollatorSortKey> keys;
    keys.reserve(order.size());
    sorted.items.reserve(order.size());
    for (std::size_t i : order) {
        keys.push_back(sorted.keys[i]);
        sorted.items.push_back(items[i]);
    }
    sorted.keys = std::move(keys);
    return sorted;
}

} // namespace

// QString::localeAwareCompare compares with a default QCollator of the same locale; that
// collator's keys order the texts the same way. A long list is sorted in two halves on two
// threads and merged, the first half's items first among equal texts, so the sort stays stable.
TextSorter::TextSorter(bool foldCase)
    : m_foldCase(foldCase)
{
}

void TextSorter::Sort(
    std::span<std::size_t> items, const std::function<std::string_view(std::size_t)>& textOf) const
{
    if (items.size() < 2)
        return;
    if (items.size() < kParallelKeys) {
        const KeyedItems sorted = SortedByKey(m_collator, items, textOf, m_foldCase);
        std::copy(sorted.items.begin(), sorted.items.end(), items.begin());
        return;
    }
    const std::span<const std::size_t> first = items.first(items.size() / 2);
    const std::span<const std::size_t> second = items.subspan(first.size());
    // A collator of its own for the second thread: the collator is not shared between threads.
    std::future<KeyedItems> later = std::async(
        std::launch::async, [&] { return SortedByKey(QCollator(), second, textOf, m_foldCase); });
    const KeyedItems a = SortedByKey(m_collator, first, textOf, m_foldCase);
    const KeyedItems b = later.get();
    std::size_t i = 0;
    std::size_t j = 0;
    for (std::size_t& out : items) {
        const bool takeB = i == a.items.size() || (j < b.items.size() && b.keys[j].compare(a.keys[i]) < 0);
        out = takeB ? b.items[j++] : a.items[i++];
    }
}
