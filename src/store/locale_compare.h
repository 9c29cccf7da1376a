#pragma once

#include <QString>

#include <string_view>

// Comparisons of UTF-8 texts in the user's locale (QString::localeAwareCompare, which follows the
// locale the application sets at start-up). Negative when `a` sorts first, 0 when equal.
int CompareText(std::string_view a, std::string_view b);
// The same after case folding both texts (QString::toCaseFolded), so "family" equals "Family".
int CompareTextNoCase(std::string_view a, std::string_view b);
// The case-folded form that CompareTextNoCase compares, for sorting many texts by precomputed keys.
QString FoldedText(std::string_view text);
