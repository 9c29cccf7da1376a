#include "store/locale_compare.h"

#include <QLocale>

#include <unicode/ucol.h>

#include <algorithm>
#include <cstdint>
#include <future>
#include <tuple>
#include <vector>

namespace {

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Within ASCII, case folding maps only A to Z (to a to z).
char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
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

// Case folding maps each character on its own, so ASCII is folded here and Qt's general (and
// much slower) case mapping only sees texts with other characters, which it passes through
// unchanged unless one of those is an upper-case letter.
QString FoldedText(std::string_view text)
{
    QString folded = ToQString(text);
    for (QChar& c : folded)
        c = c.unicode() < 0x80 ? QChar(FoldAscii(char(c.unicode()))) : c;
    return IsAscii(text) ? folded : std::move(folded).toCaseFolded();
}

// A collator as QCollator sets one up for `locale` (its ICU collator: normalisation on, the
// locale's own strength, numbers as text, punctuation not ignored), so that its keys order texts
// as QString::localeAwareCompare does. None in the C locale, or when ICU has no collator: Qt
// then compares the UTF-16 code units, and so do the keys.
class TextCollator {
public:
    explicit TextCollator(const QLocale& locale)
    {
        if (locale.language() == QLocale::C)
            return;
        const std::string name = locale.bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toStdString();
        UErrorCode status = U_ZERO_ERROR;
        m_collator = ucol_open(name.c_str(), &status);
        if (U_FAILURE(status)) {
            Close();
            return;
        }
        ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        ucol_setAttribute(m_collator, UCOL_STRENGTH, UCOL_DEFAULT_STRENGTH, &status);
        ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        if (U_FAILURE(status))
            Close();
    }
    ~TextCollator() { Close(); }
    TextCollator(const TextCollator&) = delete;
    TextCollator& operator=(const TextCollator&) = delete;

    // Appends the key of the UTF-8 `text`, case-folded first when `foldCase`, to `keys`. Without a
    // collator, valid UTF-8 needs no UTF-16 copy: the key comes from its code points.
    void AppendKey(std::string_view text, bool foldCase, std::string& keys) const
    {
        if (!m_collator && AppendCodePointKey(text, foldCase, keys))
            return;
        AppendKey(foldCase ? FoldedText(text) : ToQString(text), keys);
    }

private:
    // The key without a collator, read from valid UTF-8 as QString::fromUtf8 reads it (a leading
    // byte order mark dropped) and folded character by character as QString::toCaseFolded folds.
    // False, with `keys` unchanged, for invalid UTF-8: Qt's replacement characters are left to Qt.
    static bool AppendCodePointKey(std::string_view text, bool foldCase, std::string& keys)
    {
        const std::size_t start = keys.size();
        if (IsAscii(text)) {
            keys.append(text);
            if (foldCase)
                std::transform(keys.begin() + std::ptrdiff_t(start), keys.end(),
                    keys.begin() + std::ptrdiff_t(start), FoldAscii);
            return true;
        }
        if (text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        for (std::size_t i = 0; i < text.size();) {
            char32_t point = 0;
            if (!NextCodePoint(text, i, point)) {
                keys.resize(start);
                return false;
            }
            if (foldCase)
                point = point < 0x80 ? char32_t(FoldAscii(char(point))) : QChar::toCaseFolded(point);
            if (QChar::requiresSurrogates(point)) {
                AppendCodeUnit(QChar::highSurrogate(point), keys);
                AppendCodeUnit(QChar::lowSurrogate(point), keys);
            } else {
                AppendCodeUnit(char16_t(point), keys);
            }
        }
        return true;
    }

    // Decodes the UTF-8 sequence at text[i] and steps past it; false for a sequence that is not
    // UTF-8 (overlong, a surrogate, beyond U+10FFFF, cut short).
    static bool NextCodePoint(std::string_view text, std::size_t& i, char32_t& point)
    {
        const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        std::size_t length = 1;
        char32_t least = 0;
        if (lead < 0x80) {
            point = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, least = 0x80, point = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, least = 0x800, point = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, least = 0x10000, point = lead & 0x07u;
        } else {
            return false;
        }
        if (length > text.size() - i)
            return false;
        for (std::size_t k = i + 1; k < i + length; ++k) {
            if ((byte(k) & 0xC0) != 0x80)
                return false;
            point = point << 6 | (byte(k) & 0x3Fu);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += length;
        return true;
    }

    // Appends the key of `text` to `keys`.
    void AppendKey(const QString& text, std::string& keys) const
    {
        if (!m_collator) {
            for (QChar c : text)
                AppendCodeUnit(c.unicode(), keys);
            return;
        }
        const auto* source = reinterpret_cast<const UChar*>(text.constData());
        const auto length = std::int32_t(text.size());
        const std::size_t start = keys.size();
        std::int32_t room = std::int32_t(std::max<qsizetype>(32, 4 * text.size()));
        for (;;) {
            keys.resize(start + std::size_t(room));
            auto* out = reinterpret_cast<std::uint8_t*>(keys.data() + start);
            const std::int32_t size = ucol_getSortKey(m_collator, source, length, out, room);
            if (size <= room) {
                keys.resize(start + std::size_t(size));
                return;
            }
            room = size;
        }
    }

    // A UTF-16 code unit in the UTF-8 form of its value: the bytes order as the code units do, and
    // plain ASCII takes one byte.
    static void AppendCodeUnit(char16_t unit, std::string& keys)
    {
        if (unit < 0x80) {
            keys.push_back(char(unit));
        } else if (unit < 0x800) {
            keys.push_back(char(0xc0 | unit >> 6));
            keys.push_back(char(0x80 | (unit & 0x3f)));
        } else {
            keys.push_back(char(0xe0 | unit >> 12));
            keys.push_back(char(0x80 | (unit >> 6 & 0x3f)));
            keys.push_back(char(0x80 | (unit & 0x3f)));
        }
    }

    void Close()
    {
        if (m_collator)
            ucol_close(m_collator);
        m_collator = nullptr;
    }

    UCollator* m_collator = nullptr;
};

namespace {

// Lists of this size or more make their keys on two threads.
constexpr std::size_t kParallelKeys = 8192;

// The keys of a list's texts in one buffer, and the places in the list in key order (stable).
struct KeyedItems {
    struct Place {
        std::uint64_t chunk; // eight key bytes from the depth sorted at, the first highest, zero-padded
        std::uint32_t chunkSize; // how many of those eight are the key's
        std::uint32_t offset;
        std::uint32_t size;
        std::uint32_t place;
    };
    std::string keys;
    std::vector<Place> order;

    std::string_view KeyOf(const Place& place) const { return KeyIn(keys, place); }
    static std::string_view KeyIn(const std::string& keys, const Place& place)
    {
        return std::string_view(keys).substr(place.offset, place.size);
    }
};

constexpr std::size_t kChunkSize = 8;

void LoadChunk(const std::string& keys, KeyedItems::Place& place, std::size_t depth)
{
    const std::size_t size = place.size > depth ? std::min<std::size_t>(place.size - depth, kChunkSize) : 0;
    std::uint64_t chunk = 0;
    for (std::size_t i = 0; i < kChunkSize; ++i)
        chunk = chunk << 8 | (i < size ? std::uint8_t(keys[place.offset + depth + i]) : 0);
    place.chunk = chunk;
    place.chunkSize = std::uint32_t(size);
}

// Sorts places by key, equal keys by place, so the order is the stable one: by the keys' eight
// bytes from `depth` (read once per place, not once per comparison), then each run that still
// ties on eight whole bytes by the next eight.
void SortByKey(const std::string& keys, std::span<KeyedItems::Place> places, std::size_t depth)
{
    for (KeyedItems::Place& place : places)
        LoadChunk(keys, place, depth);
    std::sort(places.begin(), places.end(), [](const KeyedItems::Place& x, const KeyedItems::Place& y) {
        return std::tie(x.chunk, x.chunkSize, x.place) < std::tie(y.chunk, y.chunkSize, y.place);
    });
    for (std::size_t begin = 0, end = 0; begin < places.size(); begin = end) {
        const KeyedItems::Place& first = places[begin];
        for (end = begin + 1; end < places.size() && places[end].chunk == first.chunk
             && places[end].chunkSize == first.chunkSize;)
            ++end;
        const std::span<KeyedItems::Place> run = places.subspan(begin, end - begin);
        const auto sameKey = [&](const KeyedItems::Place& place) {
            return KeyedItems::KeyIn(keys, place) == KeyedItems::KeyIn(keys, first);
        };
        if (run.size() < 2 || first.chunkSize < kChunkSize || std::all_of(run.begin(), run.end(), sameKey))
            continue; // alone, ended, or all one key: already in place order
        SortByKey(keys, run, depth + kChunkSize);
    }
}

KeyedItems SortedByKey(const TextCollator& collator, std::span<const std::size_t> items,
    const std::function<std::string_view(std::size_t)>& textOf, bool foldCase)
{
    KeyedItems sorted;
    sorted.order.reserve(items.size());
    for (std::size_t place = 0; place < items.size(); ++place) {
        const std::size_t offset = sorted.keys.size();
        collator.AppendKey(textOf(items[place]), foldCase, sorted.keys);
        const std::size_t size = sorted.keys.size() - offset;
        sorted.order.push_back({ 0, 0, std::uint32_t(offset), std::uint32_t(size), std::uint32_t(place) });
    }
    SortByKey(sorted.keys, sorted.order, 0);
    return sorted;
}

} // namespace

// QString::localeAwareCompare compares with a default QCollator of the default locale; keys made
// by the same collator order the texts the same way. A long list is sorted in two halves on two
// threads and merged, the first half's items first among equal texts, so the sort stays stable.
TextSorter::TextSorter(bool foldCase)
    : m_collator(std::make_unique<TextCollator>(m_locale))
    , m_foldCase(foldCase)
{
}

TextSorter::~TextSorter() = default;

void TextSorter::Sort(
    std::span<std::size_t> items, const std::function<std::string_view(std::size_t)>& textOf) const
{
    if (items.size() < 2)
        return;
    const std::vector<std::size_t> original(items.begin(), items.end());
    if (items.size() < kParallelKeys) {
        const KeyedItems sorted = SortedByKey(*m_collator, original, textOf, m_foldCase);
        for (std::size_t i = 0; i < items.size(); ++i)
            items[i] = original[sorted.order[i].place];
        return;
    }
    const std::span<const std::size_t> first = std::span(original).first(original.size() / 2);
    const std::span<const std::size_t> second = std::span(original).subspan(first.size());
    // A collator of its own for the second thread: a collator is not shared between threads.
    std::future<KeyedItems> later = std::async(
        std::launch::async, [&] { return SortedByKey(TextCollator(m_locale), second, textOf, m_foldCase); });
    const KeyedItems a = SortedByKey(*m_collator, first, textOf, m_foldCase);
    const KeyedItems b = later.get();
    std::size_t i = 0;
    std::size_t j = 0;
    for (std::size_t& out : items) {
        const bool takeB
            = i == a.order.size() || (j < b.order.size() && b.KeyOf(b.order[j]) < a.KeyOf(a.order[i]));
        out = takeB ? second[b.order[j++].place] : first[a.order[i++].place];
    }
}
