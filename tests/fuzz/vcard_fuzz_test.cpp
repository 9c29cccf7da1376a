// Adversarial vCard files: however often a file repeats a line or a soft line break, the work per
// line stays the same, so the import takes time in proportion to the file.
#include "store/contact_exchange.h"
#include "store/contact_store.h"
#include "store/group_store.h"
#include "store/phone_label_store.h"
#include "store/vcard_contact.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

namespace {

// Release builds meet the budgets with room to spare; the sanitizers slow everything down.
constexpr double kSlowdown = KESTRIUM_SANITIZED ? 20.0 : 1.0;

double SecondsToImport(const std::string& text)
{
    ContactStore contacts;
    const auto start = std::chrono::steady_clock::now();
    ContactExchange::Import(text, contacts);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The file `make(4 * n)` imports within `budget` seconds, and in less than ten times the time
// of `make(n)`: linear work takes four times as long, quadratic work sixteen.
void ExpectLinear(const std::function<std::string(std::size_t)>& make, std::size_t n, double budget)
{
    const std::string small = make(n);
    const std::string large = make(4 * n);
    const double smallSeconds = std::min(SecondsToImport(small), SecondsToImport(small));
    const double largeSeconds = SecondsToImport(large);
    EXPECT_LT(largeSeconds, budget * kSlowdown) << large.size() << " bytes";
    EXPECT_LT(largeSeconds, 10 * smallSeconds + 0.05) << "n: " << smallSeconds << " s, 4n: " << largeSeconds;
}

std::string CardOfNumbers(std::size_t count)
{
    std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many Numbers\r\n";
    for (std::size_t i = 0; i < count; ++i)
        text += "TEL;TYPE=cell:+1 555 " + std::to_string(1'000'000 + i) + "\r\n";
    return text + "END:VCARD\r\n";
}

TEST(VCardFuzz, CardOfManyNumbersKeepsTenAndCountsTheRest)
{
    const VCard card = ReadVCards(CardOfNumbers(200'000)).front();
    ContactStore contacts;
    const VCardLabels labels(contacts.Labels());
    const CardContact contact = VCardContact::FromCard(card, labels, contacts.Groups());
    // Only the numbers a contact has room for are kept and compared.
    EXPECT_EQ(contact.numbers.size(), std::size_t(ContactRecord::kNumberCount));
    EXPECT_EQ(contact.droppedNumbers, 200'000u - ContactRecord::kNumberCount);

    const ContactExchangeResult result = ContactExchange::Import(CardOfNumbers(200'000), contacts);
    EXPECT_EQ(result.added, 1u);
    EXPECT_THAT(result.problems, testing::ElementsAre(testing::HasSubstr("10 of its 200000 numbers")));
    EXPECT_EQ(contacts.GetAt(0)->Number(9), "+1 555 1000009");

    ExpectLinear(CardOfNumbers, 50'000, 2.0);
}

// One logical line of `count` physical lines, each ending in "=", whose head has an open quote (so
// the head reaches to the end of the line): as quoted-printable soft breaks, or folded.
std::string LongLogicalLine(std::size_t count, bool quotedPrintable)
{
    std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Line;Long\r\nTEL:555 0101\r\nNOTE;"
        + std::string(quotedPrintable ? "ENCODING=QUOTED-PRINTABLE;" : "") + "X-OPEN=\"ab:cd=\r\n";
    for (std::size_t i = 0; i < count; ++i)
        text += quotedPrintable ? "abcdefghij=\r\n" : " abcdefghi=\r\n";
    return text + "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:After;Card\r\nEND:VCARD\r\n";
}

TEST(VCardFuzz, LongSoftBreakAndFoldedLinesJoinInLinearTime)
{
    for (bool quotedPrintable : { true, false }) {
        const auto make
            = [quotedPrintable](std::size_t count) { return LongLogicalLine(count, quotedPrintable); };
        // The joined lines are one logical line without an unquoted ":", passed over; both cards
        // are read around it.
        const std::vector<VCard> cards = ReadVCards(make(1000));
        ASSERT_EQ(cards.size(), 2u);
        EXPECT_TRUE(cards[0].complete);
        EXPECT_EQ(cards[0].properties.size(), 3u); // VERSION, N and TEL
        EXPECT_EQ(cards[1].properties.size(), 1u);
        ExpectLinear(make, 25'000, 2.0);
    }
}

// Cards of one name, each with a number of its own: each is a different person of that name.
std::string CardsOfOneName(std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += "BEGIN:VCARD\r\nFN:John Smith\r\nTEL:" + std::to_string(1'000'000 + i) + "\r\nEND:VCARD\r\n";
    return text;
}

TEST(VCardFuzz, ManyCardsOfOneNameImportInLinearTime)
{
    ContactStore contacts;
    EXPECT_EQ(ContactExchange::Import(CardsOfOneName(5000), contacts).added, 5000u);
    const ContactExchangeResult again = ContactExchange::Import(CardsOfOneName(5000)
            + "BEGIN:VCARD\r\nFN:John Smith\r\nTEL:1004999\r\n"
              "TEL:555\r\nEND:VCARD\r\n",
        contacts);
    EXPECT_EQ(again.duplicates, 5000u);
    EXPECT_EQ(again.merged, 1u); // its new number went to the contact it shares a number with
    EXPECT_EQ(contacts.GetAt(4999)->Number(1), "555");
    ExpectLinear(CardsOfOneName, 10'000, 2.0);
}

} // namespace
