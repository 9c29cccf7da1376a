#include "store/vcard.h"

#include "store/text_limit.h"

#include <QString>
#include <QStringDecoder>

#include <array>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A content line holds at most 75 bytes; a continuation line begins with one blank.
constexpr std::size_t kFoldLimit = 75;
constexpr int kNoSeparator = -1;

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

std::string Upper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    return upper;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string_view Unquoted(std::string_view text)
{
    text = Trimmed(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

// The first `c` at or after `from` that stands outside double quotes (4.0 quotes parameter
// values that hold ":", ";" or ","), or npos.
std::size_t FindUnquoted(std::string_view text, char c, std::size_t from = 0)
{
    bool quoted = false;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == c && !quoted)
            return i;
    }
    return std::string_view::npos;
}

std::vector<std::string_view> SplitUnquoted(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    for (std::size_t end = FindUnquoted(text, separator); end != std::string_view::npos;
         end = FindUnquoted(text, separator, begin)) {
        parts.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    parts.push_back(text.substr(begin));
    return parts;
}

// A logical line's head (before the first unquoted ":") names quoted-printable encoding.
bool IsQuotedPrintable(std::string_view line)
{
    return Lower(line.substr(0, FindUnquoted(line, ':'))).find("quoted-printable") != std::string::npos;
}

// Joins physical lines into logical ones: a line that begins with a blank or a tab continues the
// one before (without that blank), and a quoted-printable line ending in "=" (a soft line break)
// goes on with the next line as it stands. Whether a logical line is quoted-printable is decided
// once, from the head of its first physical line, so joining costs the same per physical line
// however long the logical line grows.
class LineSource {
public:
    explicit LineSource(std::string_view bytes)
        : m_bytes(bytes)
    {
    }

    // The next logical line and the number of its first physical line; false at the end.
    bool Next(std::string& line, std::size_t& number)
    {
        if (m_pos >= m_bytes.size())
            return false;
        number = m_lineNumber + 1;
        line.assign(TakePhysical());
        const bool quotedPrintable = IsQuotedPrintable(line);
        while (m_pos < m_bytes.size()) {
            if (quotedPrintable && !line.empty() && line.back() == '=') {
                line.pop_back();
                line += TakePhysical();
            } else if (m_bytes[m_pos] == ' ' || m_bytes[m_pos] == '\t') {
                line += TakePhysical().substr(1);
            } else {
                break;
            }
        }
        return true;
    }

private:
    std::string_view TakePhysical()
    {
        std::size_t end = m_bytes.find('\n', m_pos);
        if (end == std::string_view::npos)
            end = m_bytes.size();
        std::string_view physical = m_bytes.substr(m_pos, end - m_pos);
        if (!physical.empty() && physical.back() == '\r')
            physical.remove_suffix(1);
        m_pos = end + 1;
        ++m_lineNumber;
        return physical;
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    std::size_t m_lineNumber = 0;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string DecodeQuotedPrintable(std::string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        int high = text[i] == '=' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            bytes.push_back(char(high * 16 + low));
            i += 2;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return bytes;
}

// Windows-1252, which phones and older programs write when they say ISO-8859-1: Latin-1 but for
// the printable characters at 0x80 to 0x9F (the five unassigned bytes keep their Latin-1 value).
constexpr std::array<char16_t, 32> kWindows1252High = { 0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026,
    0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019,
    0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178 };

std::string FromWindows1252(std::string_view bytes)
{
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (char byte : bytes) {
        auto code = static_cast<unsigned char>(byte);
        text.append(QChar(code >= 0x80 && code < 0xA0 ? kWindows1252High[code - 0x80] : char16_t(code)));
    }
    return text.toStdString();
}

bool IsUtf8(std::string_view bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    [[maybe_unused]] const QString text
        = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decoder.hasError();
}

bool IsSingleByteWestern(std::string_view charset)
{
    return charset == "iso-8859-1" || charset == "latin1" || charset == "windows-1252" || charset == "cp1252"
        || charset == "us-ascii" || charset == "ascii";
}

// The value in UTF-8. Without a usable CHARSET the bytes count as UTF-8 when they are valid UTF-8,
// else as Windows-1252, so a mislabelled file still reads.
std::string ToUtf8(std::string bytes, const std::string& charset)
{
    if (IsSingleByteWestern(charset))
        return FromWindows1252(bytes);
    if (!charset.empty() && charset != "utf-8" && charset != "utf8") {
        QStringDecoder decoder(charset.c_str());
        if (decoder.isValid())
            return QString(decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size()))))
                .toStdString();
    }
    return IsUtf8(bytes) ? bytes : FromWindows1252(bytes);
}

struct ValueCoding {
    bool quotedPrintable = false;
    std::string charset;
};

void AddType(VCardProperty& property, std::string type)
{
    if (type == "pref")
        property.preferred = true;
    else if (!type.empty())
        property.types.push_back(std::move(type));
}

void ApplyParameter(std::string_view parameter, VCardProperty& property, ValueCoding& coding)
{
    const std::size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) { // 2.1: "TEL;CELL;ENCODING..." or a bare "QUOTED-PRINTABLE"
        std::string word = Lower(Trimmed(parameter));
        if (word == "quoted-printable")
            coding.quotedPrintable = true;
        else
            AddType(property, std::move(word));
        return;
    }
    const std::string key = Lower(Trimmed(parameter.substr(0, equals)));
    const std::string_view value = Unquoted(parameter.substr(equals + 1));
    if (key == "type") {
        for (std::string_view type : SplitUnquoted(value, ','))
            AddType(property, Lower(Unquoted(type)));
    } else if (key == "encoding") {
        coding.quotedPrintable = Lower(value) == "quoted-printable";
    } else if (key == "charset") {
        coding.charset = Lower(value);
    } else if (key == "pref") {
        property.preferred = true;
    }
}

// False for a line without a ":" (not a content line).
bool ParseProperty(std::string_view line, VCardProperty& property)
{
    const std::size_t colon = FindUnquoted(line, ':');
    if (colon == std::string_view::npos)
        return false;
    const std::vector<std::string_view> head = SplitUnquoted(line.substr(0, colon), ';');
    std::string_view name = Trimmed(head.front());
    name.remove_prefix(name.rfind('.') + 1); // npos + 1 == 0: no group
    property.name = Upper(name);
    ValueCoding coding;
    for (std::size_t i = 1; i < head.size(); ++i)
        ApplyParameter(head[i], property, coding);
    std::string value(line.substr(colon + 1));
    if (coding.quotedPrintable)
        value = DecodeQuotedPrintable(value);
    property.value = ToUtf8(std::move(value), coding.charset);
    return true;
}

bool Names(const VCardProperty& property, std::string_view name, std::string_view value)
{
    return property.name == name && Lower(Trimmed(property.value)) == value;
}

// Splits at `separator` (kNoSeparator: nowhere) and resolves the escapes; 2.1 knows only "\;".
// Control characters but tab and line end (a decoded quoted-printable "=0A") are dropped: they
// have no place in a contact, and the export could not write them back.
std::vector<std::string> Unescape(const VCard& card, std::string_view value, int separator)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            const bool known = card.version21
                ? next == ';'
                : next == '\\' || next == ';' || next == ',' || next == 'n' || next == 'N';
            if (known) {
                parts.back().push_back(next == 'n' || next == 'N' ? '\n' : next);
                ++i;
                continue;
            }
        }
        if (c == separator)
            parts.emplace_back();
        else if (!IsControl(c) || c == '\t' || c == '\n')
            parts.back().push_back(c);
    }
    return parts;
}

} // namespace

bool IsControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == '\x7F';
}

const VCardProperty* VCard::Find(std::string_view name) const
{
    for (const VCardProperty& property : properties) {
        if (property.name == name)
            return &property;
    }
    return nullptr;
}

std::vector<VCard> ReadVCards(std::string_view bytes)
{
    if (bytes.starts_with(kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    std::vector<VCard> cards;
    // Content lines outside a card: when an END:VCARD follows them, they were a card whose
    // BEGIN:VCARD is missing, and that card is handed on as incomplete so it can be reported.
    VCard stray;
    bool inside = false;
    LineSource source(bytes);
    std::string line;
    std::size_t number = 0;
    while (source.Next(line, number)) {
        VCardProperty property;
        if (!ParseProperty(line, property))
            continue;
        VCard& current = inside ? cards.back() : stray;
        if (Names(property, "BEGIN", "vcard")) {
            cards.push_back(VCard{ number, false, false, {} });
            stray = VCard{};
            inside = true;
        } else if (Names(property, "END", "vcard")) {
            current.complete = inside;
            if (!inside && !current.properties.empty())
                cards.push_back(std::move(current));
            stray = VCard{};
            inside = false;
        } else {
            if (current.properties.empty() && !inside)
                current.line = number;
            if (property.name == "VERSION")
                current.version21 = Trimmed(property.value) == "2.1";
            current.properties.push_back(std::move(property));
        }
    }
    return cards;
}

std::vector<std::string> SplitValue(const VCard& card, std::string_view value, char separator)
{
    return Unescape(card, value, separator);
}

std::string UnescapeValue(const VCard& card, std::string_view value)
{
    return std::move(Unescape(card, value, kNoSeparator).front());
}

void VCardWriter::BeginCard()
{
    Line("BEGIN", "VCARD");
    Line("VERSION", m_version == VCardVersion::V4 ? "4.0" : "3.0");
}

void VCardWriter::EndCard()
{
    Line("END", "VCARD");
}

void VCardWriter::Line(std::string_view head, std::string_view value)
{
    std::string line;
    line.reserve(head.size() + 1 + value.size());
    line.append(head).append(":").append(value);
    std::string_view rest = line;
    std::size_t limit = kFoldLimit;
    for (;;) {
        const std::string_view piece = CutToLimit(rest, limit);
        m_text.append(piece).append("\n");
        rest.remove_prefix(piece.size());
        if (rest.empty())
            return;
        m_text.push_back(' ');
        limit = kFoldLimit - 1;
    }
}

std::string VCardWriter::Escape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ';' || c == ',') {
            escaped.push_back('\\');
            escaped.push_back(c);
        } else if (c == '\r' || c == '\n') {
            escaped += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            // Other control characters have no place in a content line.
            escaped.push_back(static_cast<unsigned char>(c) < 0x20 && c != '\t' ? ' ' : c);
        }
    }
    return escaped;
}

std::string VCardWriter::Components(std::initializer_list<std::string_view> parts)
{
    std::string joined;
    for (const std::string_view* part = parts.begin(); part != parts.end(); ++part) {
        if (part != parts.begin())
            joined.push_back(';');
        joined += Escape(*part);
    }
    return joined;
}
