#include "tapi_fixture.h"
#include "tapisim.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

void Ignore(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
}

// The bearer modes each line device reports.
std::vector<DWORD> BearerModes()
{
    HLINEAPP app = 0;
    DWORD count = 0;
    DWORD version = 0x00020000;
    EXPECT_EQ(lineInitializeExA(&app, nullptr, Ignore, "Test", &count, &version, nullptr), 0);
    std::vector<DWORD> modes;
    for (DWORD device = 0; device < count; ++device) {
        std::vector<unsigned char> block(1268);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(block.data());
        caps->dwTotalSize = 1268;
        EXPECT_EQ(lineGetDevCapsA(app, device, version, 0, caps), 0);
        modes.push_back(caps->dwBearerModes);
    }
    lineShutdown(app);
    return modes;
}

std::vector<std::string> LineNames()
{
    HLINEAPP app = 0;
    DWORD count = 0;
    DWORD version = 0x00020000;
    EXPECT_EQ(lineInitializeExA(&app, nullptr, Ignore, "Test", &count, &version, nullptr), 0);
    std::vector<std::string> names;
    for (DWORD device = 0; device < count; ++device) {
        std::vector<unsigned char> block(1268);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(block.data());
        caps->dwTotalSize = 1268;
        EXPECT_EQ(lineGetDevCapsA(app, device, version, 0, caps), 0);
        names.emplace_back(reinterpret_cast<const char*>(block.data() + caps->dwLineNameOffset));
    }
    lineShutdown(app);
    return names;
}

} // namespace

class ExchangeConfiguration : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK); }
    void TearDown() override { tapisimConfigure(nullptr); }
};

TEST_F(ExchangeConfiguration, ConfigurationTextReplacesTheDeviceSet)
{
    const char* text = "# two lines of a small office\n"
                       "[line]\n"
                       "name = Front Desk\n"
                       "kind = analog\n"
                       "ring-period-ms = 4000\n"
                       "\n"
                       "[line]\n"
                       "name = SIP Trunk\n"
                       "kind = ip\n"
                       "phone = no\n"
                       "[dial]\n"
                       "pattern = 911\n"
                       "outcome = reject\n";
    ASSERT_EQ(tapisimConfigure(text), TAPISIM_OK);
    EXPECT_EQ(LineNames(), (std::vector<std::string>{ "Front Desk", "SIP Trunk" }));
    char reply[512];
    tapisimCommand("dialplan", reply, sizeof reply);
    EXPECT_EQ(std::string(reply), "911 reject 3000 0\n* answer 3000 0 (default)\n");
    EXPECT_EQ(tapisimCommand("handset 2 up", reply, sizeof reply), TAPISIM_E_BADLINE)
        << "the trunk has no phone";
}

// A SIP account with present-as = analog shows itself as a telephone-network line (voice only), so
// a program that keeps rows for those lines takes it there; by default, or with ip, as an IP line.
TEST_F(ExchangeConfiguration, SipAccountCanPresentItselfAsATelephoneNetworkLine)
{
    const std::string account
        = "kind = sip\nuser = u\ndomain = 127.0.0.1\nlocal-address = 127.0.0.1\nregister = no\n";
    const std::string text = "[line]\nname = Gateway\n" + account + "present-as = analog\n"
        + "[line]\nname = Softphone\n" + account + "[line]\nname = Trunk\n" + account + "present-as = ip\n";
    ASSERT_EQ(tapisimConfigure(text.c_str()), TAPISIM_OK) << tapisimLastError();
    const DWORD ip = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    EXPECT_EQ(BearerModes(), (std::vector<DWORD>{ LINEBEARERMODE_VOICE, ip, ip }));
}

struct BadConfig {
    const char* text;
    const char* error;
};

// Shown in test lists and failure messages.
void PrintTo(const BadConfig& c, std::ostream* out)
{
    *out << c.error;
}

class ExchangeBadConfiguration : public ExchangeConfiguration,
                                 public ::testing::WithParamInterface<BadConfig> { };

TEST_P(ExchangeBadConfiguration, MistakeIsReportedWithItsLineAndTheDefaultIsUsed)
{
    EXPECT_EQ(tapisimConfigure(GetParam().text), TAPISIM_E_CONFIG);
    EXPECT_EQ(std::string(tapisimLastError()), GetParam().error);
    const auto names = LineNames();
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names.front(), "Zo-Linka Line 1");
}

INSTANTIATE_TEST_SUITE_P(Mistakes, ExchangeBadConfiguration,
    ::testing::Values(
        BadConfig{ "[line]\nname = A\nkind = satellite\n", "line 3: kind must be analog, ip, sip or modem" },
        BadConfig{ "name = A\n", "line 1: \"name\" outside a section" },
        BadConfig{ "[line]\nname = A\n[line]\nname = A\n", "line 4: the line name \"A\" is used twice" },
        BadConfig{ "[line]\nkind = ip\n[line]\nname = B\n",
            "line 3: the [line] section before this point has no name" },
        BadConfig{ "[line]\nname = A\nring-period-ms = fast\n",
            "line 3: ring-period-ms must be a number from 500 to 60000" },
        BadConfig{ "[lines]\n", "line 1: unknown section [lines]" },
        BadConfig{ "# nothing\n", "line 1: no [line] section" },
        BadConfig{ "[line]\nname = A\ncolour = blue\n", "line 3: unknown key \"colour\"" },
        BadConfig{ "[line]\nname A\n", "line 2: expected \"key = value\"" },
        BadConfig{ "[line]\nname = A\n[dial]\npattern = 1\noutcome = later\n",
            "line 5: outcome must be answer, busy, noanswer, badaddress, reject or manual" },
        BadConfig{ "[line]\nname = A\nkind = sip\nuser = u\ndomain = d\npresent-as = pstn\n",
            "line 6: present-as must be ip or analog" },
        BadConfig{ "[line]\nname = A\npresent-as = analog\n", "line 3: unknown key \"present-as\"" },
        BadConfig{ "[line]\nname = A\nkind = sip\nuser = u\ndomain = d\nfallback-outbound-proxy = "
                   "sip:b\n[line]\nname = B\n",
            "line 7: the sip line before this point has a fallback-outbound-proxy but no outbound-proxy" }),
    [](const auto& info) { return testing_support::CaseName(info.param.error); });

TEST_F(ExchangeConfiguration, ConfigurationIsRefusedWhileApplicationsRun)
{
    HLINEAPP app = 0;
    DWORD count = 0;
    DWORD version = 0x00020000;
    ASSERT_EQ(lineInitializeExA(&app, nullptr, Ignore, "Test", &count, &version, nullptr), 0);
    EXPECT_EQ(tapisimConfigure("[line]\nname = A\n"), TAPISIM_E_BUSY);
    lineShutdown(app);
    EXPECT_EQ(tapisimConfigure("[line]\nname = A\n"), TAPISIM_OK);
    EXPECT_EQ(LineNames().size(), 1u);
}

namespace {

// Runs the probe with its configuration at `path`, for at most 20 s.
std::string ProbeWithConfigAt(const std::filesystem::path& path)
{
    testing_support::TempDir dir;
    // The probe runs its own service: its own runtime folder keeps it off this process's socket.
    const std::string command = "XDG_RUNTIME_DIR='" + dir.Path().string() + "' KESTRIUM_EXCHANGE_CONFIG='"
        + path.string() + "' timeout 20 " + TAPI_CONFIG_PROBE + " 2>&1";
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    if (pipe)
        ::pclose(pipe);
    return output;
}

std::string ProbeWithConfig(const std::string& configText)
{
    testing_support::TempDir dir;
    testing_support::WriteBytes(dir / "exchange.conf", configText);
    return ProbeWithConfigAt(dir / "exchange.conf");
}

} // namespace

TEST(ExchangeConfigurationFile, IsReadAtStartUp)
{
    EXPECT_EQ(
        ProbeWithConfig("[line]\nname = Kitchen\n[line]\nname = Garage\nkind = ip\n"), "Kitchen\nGarage\n");
}

TEST(ExchangeConfigurationFile, MistakeIsReportedWithItsLineNumberAndTheDefaultIsUsed)
{
    const std::string output = ProbeWithConfig("[line]\nname = Kitchen\nkind = tin-can\n");
    EXPECT_NE(
        output.find(
            "exchange.conf: line 3: kind must be analog, ip, sip or modem; using the built-in device set"),
        std::string::npos)
        << output;
    EXPECT_NE(output.find("Zo-Linka Line 1\n"), std::string::npos) << output;
    EXPECT_EQ(output.find("Kitchen"), std::string::npos) << output;
}

// A configuration that never ends, or that would wait for a writer, is refused at once and
// reported like a mistake; the built-in device set is used.
TEST(ExchangeConfigurationFile, OnlyARegularFileOfAtMostOneMegabyteIsRead)
{
    testing_support::TempDir dir;
    const auto fifo = dir / "fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto huge = dir / "huge.conf";
    testing_support::WriteBytes(huge, "[line]\nname = Kitchen\n");
    ASSERT_EQ(::truncate(huge.c_str(), off_t(2) << 30), 0); // sparse: costs no disk
    const auto limit = dir / "limit.conf";
    testing_support::WriteBytes(limit, "[line]\nname = Kitchen\n" + std::string((1 << 20) - 22, '#'));
    const std::pair<std::filesystem::path, std::string> refused[] = {
        { "/dev/zero", "is not a regular file" },
        { fifo, "is not a regular file" },
        { dir.Path(), "is not a regular file" },
        { huge, "is larger than 1048576 bytes" },
    };
    for (const auto& [path, reason] : refused) {
        const std::string output = ProbeWithConfigAt(path);
        const std::string error = path.string() + ": " + reason + "; using the built-in device set";
        EXPECT_NE(output.find("kestrium telephony: " + error + "\n"), std::string::npos) << output;
        EXPECT_NE(output.find("Zo-Linka Line 1\n"), std::string::npos) << output;
        EXPECT_NE(output.find("last error: " + error + "\n"), std::string::npos) << output;
    }
    EXPECT_EQ(ProbeWithConfigAt(limit), "Kitchen\n");
}
