#pragma once

#include <QLocale>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

// Comparisons of UTF-8 texts in the user's locale (QString::localeAwareCompare, which follows the
// locale the application sets at start-up). Negative when `a` sorts first, 0 when equal.
int CompareText(std::string_view a, std::string_view b);
// The same after case folding both texts (QString::toCaseFolded), so "family" equals "Family".
int CompareTextNoCase(std::string_view a, std::string_view b);
// The case-folded form that CompareTextNoCase compares.
QString FoldedText(std::string_view text);

class TextCollator;

// Sorts many items by text in the order of CompareText, or of CompareTextNoCase when `foldCase`,
// in the default locale when it is made. Each text is turned into a collation key once, all keys
// in one buffer, so a large list costs one key per item and byte comparisons instead of a
// collation per comparison.
class TextSorter {
public:
    explicit TextSorter(bool foldCase);
    ~TextSorter();
    TextSorter(const TextSorter&) = delete;
    TextSorter& operator=(const TextSorter&) = delete;
    // Stable: items with equal texts keep their order.
    void Sort(std::span<std::size_t> items, const std::function<std::string_view(std::size_t)>& textOf) const;

private:
    QLocale m_locale;
    std::unique_ptr<TextCollator> m_collator;
    bool m_foldCase;
};
