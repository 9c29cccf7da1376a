// The registry text: random and damaged hives are refused or parsed, and whatever parses is
// written back as a text that parses to the same keys and values.
#include "random_text.h"

#include "platform/registry.h"

#include <gtest/gtest.h>

using platform::FormatRegistryText;
using platform::ParseRegistryText;
using platform::RegistryHive;

namespace {

const std::vector<std::string> kKeys = { "[HKEY_CURRENT_USER\\Software\\Kestrium]",
    "[HKEY_CURRENT_USER\\software\\kestrium]", "[HKEY_CURRENT_USER\\A]]", "[HKEY_CURRENT_USER\\x y\\\"z\\]" };
const std::vector<std::string> kValues = { "\"Name\"=\"Ann \\\"Q\\\" \\\\ Smith\"", "\"name\"=\"other\"",
    "@=\"default\"", "\"n\"=dword:0000002a", "\"b\"=hex:00,01,ff", "\"b\"=hex:00,01,\\\n  02,03",
    "\"s\"=hex(1):41,0a,42", "\"d\"=hex(4):01", "\"d\"=hex(4):01,02,03,04,05", "; comment", "" };
const std::vector<std::string> kOddLines = { "[-HKEY_CURRENT_USER\\A]", "[]", "\"n\"=dword:123456789",
    "\"n\"=dword:", "\"x\"=hex:zz", "\"open", "\"n\"=\"open", "\"n\"", "REGEDIT5" };

// A hive of mostly sensible keys and values, now and then with a line that is not.
std::string RandomHive(std::mt19937& random)
{
    std::string text = random() % 10 ? "REGEDIT4\n" : "";
    for (int keys = int(random() % 6); keys > 0; --keys) {
        text += fuzz::Pick(random, kKeys) + "\n";
        for (int values = int(random() % 5); values > 0; --values)
            text += fuzz::Pick(random, kValues) + (random() % 6 ? "\n" : "\r\n");
        if (random() % 8 == 0)
            text += (random() % 3 ? fuzz::Pick(random, kOddLines) : fuzz::RandomText(random, 30, "[]\"\\=@:,;"))
                + "\n";
    }
    return random() % 5 == 0 ? fuzz::Mutate(random, text) : text;
}

bool SameValue(const platform::RegValue& a, const platform::RegValue& b)
{
    return a.type == b.type && a.data == b.data;
}

bool SameKeys(const RegistryHive::Keys& a, const RegistryHive::Keys& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.first == y.first && x.second.name == y.second.name
            && std::equal(x.second.values.begin(), x.second.values.end(), y.second.values.begin(),
                y.second.values.end(), [](const auto& v, const auto& w) {
                    return v.first == w.first && SameValue(v.second, w.second);
                });
    });
}

} // namespace

TEST(FuzzRegistry, WhatParsesIsWrittenBackAsTheSameHive)
{
    std::mt19937 random(19);
    int parsed = 0;
    for (int round = 0; round < 5000; ++round) {
        const std::string text = RandomHive(random);
        RegistryHive::Keys keys;
        if (!ParseRegistryText(text, keys))
            continue;
        ++parsed;
        // A DWORD written as hex(4) of another length is normalised once; from then on the text
        // is a fixed point.
        const std::string written = FormatRegistryText(keys);
        RegistryHive::Keys again;
        ASSERT_TRUE(ParseRegistryText(written, again)) << text << "\n---\n" << written;
        const std::string rewritten = FormatRegistryText(again);
        RegistryHive::Keys third;
        ASSERT_TRUE(ParseRegistryText(rewritten, third)) << rewritten;
        ASSERT_TRUE(SameKeys(again, third)) << written << "\n---\n" << rewritten;
        ASSERT_EQ(rewritten, written) << text;
    }
    EXPECT_GT(parsed, 500) << "the generator must reach the paths of a valid hive too";
}
