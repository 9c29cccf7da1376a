#include "store/csv_codec.h"

#include "store/csv_writer.h"
#include "store/text_file_reader.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using testing_support::ReadBytes;
using testing_support::TempDir;

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
        { "-99999999999", -2147483647 - 1 }, { "- 3", 0 } };
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
