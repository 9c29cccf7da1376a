#include "store/csv_codec.h"

#include "store/csv_records.h"

#include "store/csv_writer.h"
#include "store/text_file_reader.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

struct Field {
    bool read;
    std::string text;
    bool operator==(const Field&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Field& f)
{
    return os << (f.read ? "true " : "false ") << '[' << f.text << ']';
}

// Every call until (and including) the first one that returns false.
std::vector<Field> ReadAllFields(const std::string& bytes)
{
    auto reader = TextFileReader::FromBytes(bytes);
    std::vector<Field> fields;
    std::string text;
    for (;;) {
        bool read = CsvCodec::ReadField(reader, text);
        fields.push_back({ read, read ? text : "" });
        if (!read)
            return fields;
    }
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<Field> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReadFieldCases : public testing::TestWithParam<ReadCase> { };

TEST_P(ReadFieldCases, ReadsTheFieldsTheSyntaxGives)
{
    EXPECT_EQ(ReadAllFields(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(CsvCodec, ReadFieldCases,
    testing::Values(ReadCase{ "Record", "\"a\",\"b\"\r\n\"c\"\r\n",
                        { { true, "a" }, { true, "b" }, { true, "c" }, { false, "" } } },
        ReadCase{ "DoubledQuote", "\"say \"\"hi\"\"\"", { { true, "say \"hi\"" }, { false, "" } } },
        ReadCase{ "Backslashes", "\"C:\\\\dir\\\\f.wav\"", { { true, "C:\\dir\\f.wav" }, { false, "" } } },
        ReadCase{ "CommaInside", "\"a,b\",\"c\"", { { true, "a,b" }, { true, "c" }, { false, "" } } },
        ReadCase{ "EscapedLineFeed", "\"one\\ntwo\"", { { true, "one\ntwo" }, { false, "" } } },
        ReadCase{
            "CrBeforeEscapedLineFeed", "\"one\r\\ntwo\"\r\n", { { true, "one\r\ntwo" }, { false, "" } } },
        ReadCase{ "EmptyField", "\"\",\"x\"", { { true, "" }, { true, "x" }, { false, "" } } },
        ReadCase{ "EndsRightAfterClosingQuote", "\"last\"", { { true, "last" }, { false, "" } } },
        ReadCase{ "NoClosingQuote", "\"unfinished text", { { true, "unfinished text" }, { false, "" } } },
        ReadCase{ "BlankLineStopsReading", "\"a\"\r\n\r\n\"b\"\r\n", { { true, "a" }, { false, "" } } },
        ReadCase{ "BlankAfterCommaJoinsNextField", "\"a\", \"b\"",
            { { true, "a" }, { true, " b" }, { false, "" } } },
        ReadCase{ "RawLineFeedInsideQuotesIsBlank", "\"a\r\nb\"", { { true, "a b" }, { false, "" } } },
        ReadCase{ "UnquotedLineStops", "abc\r\n\"x\"", { { false, "" } } },
        ReadCase{ "OtherEscapeEndsFieldEarly", "\"a\\tb\",\"c\"",
            { { true, "a" }, { true, "b," }, { true, "" }, { false, "" } } },
        ReadCase{ "EscapeBeforeOpeningQuoteEndsWithoutField", "\\x\"a\"", { { false, "" } } },
        ReadCase{ "BackslashPairBeforeQuoteIsKept", "\\\\\"a\"", { { true, "\\a" }, { false, "" } } },
        ReadCase{
            "StrayByteJoinsNextField", "\"a\"x,\"b\"", { { true, "a" }, { true, ",b" }, { false, "" } } },
        ReadCase{ "BackslashAtEnd", "\"a\\", { { true, "a" }, { false, "" } } },
        ReadCase{ "NulBytesAreData", std::string("\"a\0b\"", 5),
            { { true, std::string("a\0b", 3) }, { false, "" } } },
        ReadCase{ "EmptyData", "", { { false, "" } } }),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(CsvCodec, EscapesLineFeedQuoteAndBackslashOnly)
{
    EXPECT_EQ(CsvCodec::EscapeField("a\nb\"c\\d\re,f\tg"), "a\\nb\"\"c\\\\d\re,f\tg");
    EXPECT_EQ(CsvCodec::EscapeField(""), "");
}

TEST(CsvCodec, EscapeAndReadAreExactInversesForRandomTexts)
{
    std::mt19937 random(7);
    const std::string alphabet = "ab \"\\\n\r,\t\x01\xc3\xa9n";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 400, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        std::string bytes = "\"" + CsvCodec::EscapeField(text) + "\"\n";
        auto reader = TextFileReader::FromBytes(bytes);
        std::string back;
        ASSERT_TRUE(CsvCodec::ReadField(reader, back));
        ASSERT_EQ(back, text);
        EXPECT_FALSE(CsvCodec::ReadField(reader, back));
    }
}

// A text is cut to 998 bytes, never inside an escape pair or a character, as written and as read.
TEST(CsvCodec, LongTextIsCutWithoutSplittingAnEscapePairOrACharacter)
{
    EXPECT_EQ(CsvCodec::EscapeField(std::string(998, 'a') + "\"tail"), std::string(998, 'a'));
    EXPECT_EQ(CsvCodec::EscapeField(std::string(997, 'a') + "\"tail"), std::string(997, 'a') + "\"\"");
    EXPECT_EQ(CsvCodec::EscapeField(std::string(600, '\\')).size(), 998u);
    const std::string text = std::string(998, 'a') + "\xc3\xa9"; // a two-byte character across the limit
    EXPECT_EQ(CsvCodec::EscapeField(text), std::string(998, 'a'));
    auto reader = TextFileReader::FromBytes("\"" + text + "\",\"next\"");
    std::string field;
    ASSERT_TRUE(CsvCodec::ReadField(reader, field));
    EXPECT_EQ(field, std::string(998, 'a'));
}

TEST(CsvCodec, OverlongFieldIsCutAndTheNextFieldStillLinesUp)
{
    std::string big(5000, 'q');
    auto reader = TextFileReader::FromBytes("\"" + big + "\",\"next\"\n\"short\"");
    std::string field;
    ASSERT_TRUE(CsvCodec::ReadField(reader, field));
    EXPECT_EQ(field, std::string(999, 'q'));
    ASSERT_TRUE(CsvCodec::ReadField(reader, field));
    EXPECT_EQ(field, "next");
    ASSERT_TRUE(CsvCodec::ReadField(reader, field, 3));
    EXPECT_EQ(field, "sho");
}

TEST(CsvCodec, ToNumberReadsLikeDecimalConversion)
{
    struct {
        std::string field;
        std::int32_t value;
    } cases[] = { { "42", 42 }, { "  -7", -7 }, { "+5x", 5 }, { "", 0 }, { "abc", 0 }, { "12 34", 12 },
        { "\t\n9", 9 }, { "2147483647", 2147483647 }, { "99999999999", 2147483647 },
        { "-99999999999", -2147483647 - 1 }, { "- 3", 0 }, { "999999999", 999999999 }, { "0001", 1 },
        { "1234567890", 1234567890 }, { "7 ", 7 } };
    for (const auto& c : cases)
        EXPECT_EQ(CsvCodec::ToNumber(c.field), c.value) << c.field;
}

TEST(CsvWriter, WritesQuotedFieldsWithCrLfRecordEnds)
{
    TempDir dir;
    CsvWriter writer(dir / "f.csv");
    ASSERT_TRUE(writer.IsOpen());
    writer.Text("Smith, \"J\"");
    writer.Number(-12);
    writer.Text("C:\\x\nline2");
    writer.EndRecord();
    writer.Text("");
    writer.EndRecord();
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadBytes(dir / "f.csv"), "\"Smith, \"\"J\"\"\",\"-12\",\"C:\\\\x\\nline2\"\r\n\"\"\r\n");
}

TEST(CsvWriter, FileRoundTripKeepsCrLfInsideTexts)
{
    TempDir dir;
    const std::string note = "first line\r\nsecond \"quoted\" \\ line\r";
    {
        CsvWriter writer(dir / "f.csv");
        writer.Text(note);
        writer.Text("x");
        writer.EndRecord();
        ASSERT_TRUE(writer.Commit());
    }
    TextFileReader reader(dir / "f.csv");
    std::string field;
    ASSERT_TRUE(CsvCodec::ReadField(reader, field));
    EXPECT_EQ(field, note);
    ASSERT_TRUE(CsvCodec::ReadField(reader, field));
    EXPECT_EQ(field, "x");
    EXPECT_FALSE(CsvCodec::ReadField(reader, field));
}

} // namespace

namespace {

// What ReadRecordFields must give: one ReadField per field.
std::size_t ReadFieldByField(
    TextFileReader& reader, std::span<std::string> fields, std::span<const std::size_t> limits)
{
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!CsvCodec::ReadField(reader, fields[i], i < limits.size() ? limits[i] : CsvCodec::kFieldLimit))
            return i;
    return fields.size();
}

// Records of five fields as the writers write them (escaped texts with quotes, backslashes, line
// feeds, UTF-8, CR LF or LF line ends); with `broken`, some are not: a raw text with a stray quote,
// backslash or CR, a field too many or too few, a missing quote, bytes after the closing quote.
std::string RandomRecords(std::mt19937& random, int count, bool broken)
{
    static const std::string kAlphabet[] = { "a", "b", ",", " ", "\"", "\\", "\n", "\r", "\xc3\xa9", "5" };
    std::string bytes;
    for (int record = 0; record < count; ++record) {
        const int fields = broken && random() % 40 == 0 ? 4 + int(random() % 3) : 5;
        for (int field = 0; field < fields; ++field) {
            std::string text;
            for (std::size_t n = random() % 12; n > 0; --n)
                text += kAlphabet[random() % 20 < 16 ? random() % 2 + 8 * (random() % 2) : random() % 10];
            const bool raw = broken && random() % 30 == 0;
            bytes += raw && random() % 4 == 0 ? "" : "\"";
            bytes += raw ? text : CsvCodec::EscapeField(text);
            bytes += raw && random() % 4 == 0 ? "x\"" : "\"";
            bytes += field + 1 < fields ? "," : "";
        }
        bytes += random() % 2 ? "\r\n" : "\n";
    }
    return bytes;
}

} // namespace

// Reading a record in one pass must give what reading it field by field gives, record after record
// and up to the first one that stops early, across the reader's buffer ends too (a 64 KiB buffer),
// with and without a cut limit that falls inside characters.
TEST(CsvRecords, ReadRecordFieldsReadsAsFieldByField)
{
    TempDir dir;
    std::mt19937 random(11);
    for (int file = 0; file < 60; ++file) {
        const bool whole = file % 10 == 0;
        const std::string bytes = RandomRecords(random, whole ? 6000 : 200, !whole);
        WriteBytes(dir / "records.csv", bytes);
        for (const std::vector<std::size_t>& limits :
            { std::vector<std::size_t>{}, std::vector<std::size_t>{ 3, 4 } }) {
            SCOPED_TRACE("file " + std::to_string(file) + (limits.empty() ? "" : ", cut"));
            TextFileReader fast(dir / "records.csv");
            TextFileReader plain(dir / "records.csv");
            std::array<std::string_view, 5> fastFields;
            std::array<std::string, 5> fastCopies;
            std::array<std::string, 5> plainFields;
            for (int record = 0;; ++record) {
                const std::size_t read = ReadRecordFields(fast, fastFields, fastCopies, limits);
                ASSERT_EQ(read, ReadFieldByField(plain, plainFields, limits)) << "record " << record;
                for (std::size_t i = 0; i < read; ++i)
                    ASSERT_EQ(fastFields[i], plainFields[i]) << "record " << record << " field " << i;
                if (read < fastFields.size()) {
                    EXPECT_TRUE(!whole || record == 6000) << "a whole file stopped at record " << record;
                    break;
                }
            }
            EXPECT_EQ(fast.Buffered(), plain.Buffered());
        }
    }
}
