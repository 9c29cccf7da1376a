#include "tapi_fixture.h"

#include "platform/registry.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct Translated {
    LONG result = 0;
    std::string dialable;
    std::string displayable;
    DWORD results = 0;
    DWORD destCountry = 0;
};

// Translates as Kestrium does: a 70-byte output first, again with the needed size when larger.
Translated Translate(HLINEAPP app, const char* address, int* calls = nullptr)
{
    std::vector<unsigned char> block(86);
    auto* out = reinterpret_cast<LINETRANSLATEOUTPUT*>(block.data());
    out->dwTotalSize = 70;
    Translated t;
    t.result = lineTranslateAddressA(app, 0, 0x00020000, address, 0, 0, out);
    int count = 1;
    if (t.result == 0 && out->dwNeededSize > 70) {
        const DWORD needed = out->dwNeededSize;
        block.assign(needed + 16, 0);
        out = reinterpret_cast<LINETRANSLATEOUTPUT*>(block.data());
        out->dwTotalSize = needed;
        t.result = lineTranslateAddressA(app, 0, 0x00020000, address, 0, 0, out);
        ++count;
    }
    if (calls)
        *calls = count;
    if (t.result != 0)
        return t;
    const auto text = [&](DWORD size, DWORD offset) {
        return size ? std::string(reinterpret_cast<const char*>(block.data() + offset)) : std::string();
    };
    t.dialable = text(out->dwDialableStringSize, out->dwDialableStringOffset);
    t.displayable = text(out->dwDisplayableStringSize, out->dwDisplayableStringOffset);
    t.results = out->dwTranslateResults;
    t.destCountry = out->dwDestCountry;
    return t;
}

struct TranslateCase {
    const char* address;
    const char* dialable;
    DWORD results;
};

// Shown in test lists and failure messages.
void PrintTo(const TranslateCase& c, std::ostream* out)
{
    *out << c.address;
}

} // namespace

class TapiTranslate : public TapiFixture, public ::testing::WithParamInterface<TranslateCase> { };

// The default location: country code 1, area code 212, national prefix 1, international 011.
TEST_P(TapiTranslate, CanonicalAddressesBecomeDialableForTheDefaultLocation)
{
    const TranslateCase& c = GetParam();
    const Translated t = Translate(m_lineApp, c.address);
    ASSERT_EQ(t.result, 0) << c.address;
    EXPECT_EQ(t.dialable, c.dialable) << c.address;
    EXPECT_EQ(t.results, c.results) << c.address;
}

INSTANTIATE_TEST_SUITE_P(Addresses, TapiTranslate,
    ::testing::Values(TranslateCase{ "+1 (212) 555-1234", "T5551234",
                          LINETRANSLATERESULT_CANONICAL | LINETRANSLATERESULT_LOCAL },
        TranslateCase{ "+1 (415) 555-1234", "T14155551234",
            LINETRANSLATERESULT_CANONICAL | LINETRANSLATERESULT_LONGDISTANCE },
        TranslateCase{ "+44 (20) 7946 0000", "T011442079460000",
            LINETRANSLATERESULT_CANONICAL | LINETRANSLATERESULT_INTERNATIONAL },
        TranslateCase{
            "+44(20)794", "T0114420794", LINETRANSLATERESULT_CANONICAL | LINETRANSLATERESULT_INTERNATIONAL },
        TranslateCase{ "+1 212-555", "T212555", LINETRANSLATERESULT_CANONICAL | LINETRANSLATERESULT_LOCAL },
        TranslateCase{
            "+1 (212) 555-1234 ^Bob", "T5551234", LINETRANSLATERESULT_CANONICAL | LINETRANSLATERESULT_LOCAL },
        TranslateCase{ "555-1234", "555-1234", 0 }),
    [](const auto& info) { return testing_support::CaseName(info.param.address); });

TEST_F(TapiFixture, TranslateReportsTheNeededSizeAndTheSecondCallGetsTheFullStrings)
{
    int calls = 0;
    const Translated t = Translate(m_lineApp, "+44 (20) 7946 0000 1234 5678 9012 3456", &calls);
    ASSERT_EQ(t.result, 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(t.dialable, "T0114420794600001234567890123456");
    EXPECT_EQ(t.displayable, "0114420794600001234567890123456");
    EXPECT_EQ(t.destCountry, 44u);
}

TEST_F(TapiFixture, TranslateRefusesMalformedAddressesAndArguments)
{
    EXPECT_EQ(Translate(m_lineApp, "+").result, LINEERR_INVALADDRESS);
    EXPECT_EQ(Translate(m_lineApp, "+1 (212)").result, LINEERR_INVALADDRESS);
    EXPECT_EQ(Translate(m_lineApp, "").result, LINEERR_INVALADDRESS);
    EXPECT_EQ(Translate(m_lineApp + 9, "5551234").result, LINEERR_INVALAPPHANDLE);
    LINETRANSLATEOUTPUT small{};
    small.dwTotalSize = 20;
    EXPECT_EQ(
        lineTranslateAddressA(m_lineApp, 0, 0x20000, "5551234", 0, 0, &small), LINEERR_STRUCTURETOOSMALL);
    EXPECT_EQ(lineTranslateAddressA(m_lineApp, 0, 0x20000, nullptr, 0, 0, &small), LINEERR_INVALPOINTER);
    EXPECT_EQ(lineTranslateAddressA(m_lineApp, 42, 0x20000, "1", 0, 0, &small), LINEERR_BADDEVICEID);
}

TEST_F(TapiFixture, TranslateUsesTheLocationStoredInTheRegistry)
{
    auto& hive = platform::RegistryHive::CurrentUser();
    const char* key = "SOFTWARE\\Kestrium Telephony\\Locations\\Location 1";
    ASSERT_TRUE(hive.Set(key, "Area Code", platform::RegValue::Text("415")));
    ASSERT_TRUE(hive.Set(key, "Local Access", platform::RegValue::Text("9,")));
    ASSERT_TRUE(hive.Set(key, "Tone Dialing", platform::RegValue::Number(0)));
    EXPECT_EQ(Translate(m_lineApp, "+1 (415) 555-1234").dialable, "P9,5551234");
    EXPECT_EQ(Translate(m_lineApp, "+1 (212) 555-1234").dialable, "P12125551234");
    hive.DeleteValue(key, "Area Code");
    hive.DeleteValue(key, "Local Access");
    hive.DeleteValue(key, "Tone Dialing");
}

TEST_F(TapiFixture, DialogsRunTheSettingsProgramAndWaitForIt)
{
    testing_support::TempDir dir;
    const auto script = dir / "settings.sh";
    const auto record = dir / "arguments.txt";
    testing_support::WriteBytes(
        script, "#!/bin/sh\nsleep 0.2\necho \"$@\" > '" + record.string() + "'\nexit $EXIT\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    ::setenv("KESTRIUM_TAPI_SETTINGS", script.c_str(), 1);
    ::setenv("EXIT", "0", 1);
    EXPECT_EQ(lineTranslateDialogA(m_lineApp, 0, 0x20001, nullptr, "+1 (212) 5551234"), 0);
    EXPECT_EQ(testing_support::ReadBytes(record), "--dialing-rules --address +1 (212) 5551234\n")
        << "the call returns only after the program ended";
    EXPECT_EQ(lineConfigDialogA(3, nullptr, nullptr), 0);
    EXPECT_EQ(testing_support::ReadBytes(record), "--line-config 3 --line-name=Zo-Linka Line 4\n");
    ::setenv("EXIT", "2", 1);
    EXPECT_EQ(lineConfigDialogA(3, nullptr, "tapi/line"), LINEERR_OPERATIONFAILED);
    ::setenv("KESTRIUM_TAPI_SETTINGS", (dir / "missing").c_str(), 1);
    EXPECT_EQ(lineConfigDialogA(0, nullptr, nullptr), LINEERR_OPERATIONFAILED);
    ::unsetenv("KESTRIUM_TAPI_SETTINGS");
    ::unsetenv("EXIT");
}
