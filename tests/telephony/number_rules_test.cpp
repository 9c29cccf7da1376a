#include "telephony/number_rules.h"

#include <gtest/gtest.h>

namespace {

struct CleanCase {
    const char* name;
    const char* typed;
    const char* cleaned;
};

void PrintTo(const CleanCase& c, std::ostream* os)
{
    *os << '"' << c.typed << "\" becomes \"" << c.cleaned << '"';
}

class CleanBracketsTest : public ::testing::TestWithParam<CleanCase> { };

TEST_P(CleanBracketsTest, RemovesSeparatorsAroundBrackets)
{
    std::string number = GetParam().typed;
    NumberRules::CleanBrackets(number);
    EXPECT_EQ(number, GetParam().cleaned);
}

INSTANTIATE_TEST_SUITE_P(Numbers, CleanBracketsTest,
    ::testing::Values(CleanCase{ "CommasAroundArea", "555,(212),123", "555(212)123" },
        CleanCase{ "DashesAroundArea", "555-(212)-123", "555(212)123" },
        CleanCase{ "DashesAroundCountryArea", "+44-(20)-794", "+44(20)794" },
        CleanCase{ "DashWithoutBrackets", "555-1234", "555-1234" },
        CleanCase{ "BracketsOnly", "(212)", "(212)" }, CleanCase{ "DashBeforeOpening", "-(", "(" },
        CleanCase{ "DashAfterClosing", ")-", ")" }, CleanCase{ "Empty", "", "" }),
    [](const auto& info) { return std::string(info.param.name); });

struct PlusCase {
    const char* name;
    const char* number;
    bool accepted;
    const char* result;
};

void PrintTo(const PlusCase& c, std::ostream* os)
{
    *os << '"' << c.number << '"';
    if (c.accepted)
        *os << " becomes \"" << c.result << '"';
    else
        *os << " is refused";
}

class PlusRuleTest : public ::testing::TestWithParam<PlusCase> { };

TEST_P(PlusRuleTest, NeedsACountryCodeAndASeparator)
{
    std::string number = GetParam().number;
    EXPECT_EQ(NumberRules::ApplyPlusRule(number), GetParam().accepted);
    if (GetParam().accepted) {
        EXPECT_EQ(number, GetParam().result);
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, PlusRuleTest,
    ::testing::Values(PlusCase{ "DashesSeparate", "+1-212-555", true, "+1 212-555" },
        PlusCase{ "CommaSeparates", "+1,212", true, "+1 212" },
        PlusCase{ "BlankSeparates", "+1 212", true, "+1 212" },
        PlusCase{ "BracketSeparates", "+44(20)794", true, "+44(20)794" },
        PlusCase{ "NoSeparator", "+121", false, "" }, PlusCase{ "PlusAlone", "+", false, "" },
        PlusCase{ "NoPlus", "5551234", true, "5551234" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NumberRules, DropsTheDialModeLetter)
{
    EXPECT_EQ(NumberRules::StripDialModePrefix("T555"), "555");
    EXPECT_EQ(NumberRules::StripDialModePrefix("P555"), "555");
    EXPECT_EQ(NumberRules::StripDialModePrefix("555"), "555");
    EXPECT_EQ(NumberRules::StripDialModePrefix(""), "");
}

TEST(NumberRules, SplitsNameFromNumberAtTheLastComma)
{
    std::string name;
    std::string number = "Smith, John, 5551234";
    NumberRules::SplitNameAndNumber(name, number);
    EXPECT_EQ(name, "Smith, John");
    EXPECT_EQ(number, "5551234");

    std::string given = "Ann";
    std::string text = "Bob, 123";
    NumberRules::SplitNameAndNumber(given, text);
    EXPECT_EQ(given, "Ann");
    EXPECT_EQ(text, "Bob, 123");

    std::string none;
    std::string leading = ",123";
    NumberRules::SplitNameAndNumber(none, leading);
    EXPECT_EQ(none, "") << "a comma at the start splits nothing";
    EXPECT_EQ(leading, ",123");
}

} // namespace
