#include "telephony/number_rules.h"

#include <gtest/gtest.h>

namespace {

struct CleanCase {
    const char* typed;
    const char* cleaned;
};

class CleanBracketsTest : public ::testing::TestWithParam<CleanCase> { };

TEST_P(CleanBracketsTest, RemovesSeparatorsAroundBrackets)
{
    std::string number = GetParam().typed;
    NumberRules::CleanBrackets(number);
    EXPECT_EQ(number, GetParam().cleaned);
}

INSTANTIATE_TEST_SUITE_P(Numbers, CleanBracketsTest,
    ::testing::Values(CleanCase{ "555,(212),123", "555(212)123" },
        CleanCase{ "555-(212)-123", "555(212)123" }, CleanCase{ "+44-(20)-794", "+44(20)794" },
        CleanCase{ "555-1234", "555-1234" }, CleanCase{ "(212)", "(212)" }, CleanCase{ "-(", "(" },
        CleanCase{ ")-", ")" }, CleanCase{ "", "" }));

struct PlusCase {
    const char* number;
    bool accepted;
    const char* result;
};

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
    ::testing::Values(PlusCase{ "+1-212-555", true, "+1 212-555" }, PlusCase{ "+1,212", true, "+1 212" },
        PlusCase{ "+1 212", true, "+1 212" }, PlusCase{ "+44(20)794", true, "+44(20)794" },
        PlusCase{ "+121", false, "" }, PlusCase{ "+", false, "" }, PlusCase{ "5551234", true, "5551234" }));

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
}

} // namespace
