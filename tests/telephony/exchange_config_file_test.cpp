// Setup's editing of the exchange configuration: a line's SIP account set and removed in place,
// everything else in the file kept, and nothing written that the service would refuse.
#include "telephony/exchange_config_file.h"

#include "support/temp_dir.h"
#include "tapi/src/device_config.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

const std::string kOffice = "# Our office\n"
                            "[line]\n"
                            "name = Front Desk\n"
                            "ring-period-ms = 4000\n"
                            "\n"
                            "[line]\n"
                            "name = Trunk\n"
                            "kind = ip\n"
                            "; the provider's account goes here\n"
                            "ring-period-ms = 2000\n"
                            "\n"
                            "[dial]\n"
                            "pattern = 911\n"
                            "outcome = reject\n";

SipAccountFields Account()
{
    SipAccountFields account;
    account.enabled = true;
    account.user = "4921512345";
    account.domain = "sip.provider.example";
    account.displayName = "Ann Example";
    account.registrar = "sip:registrar.provider.example";
    account.transport = "tls";
    account.localPort = 5062;
    return account;
}

tapi::DeviceConfig Parsed(const std::string& text)
{
    tapi::DeviceConfig config;
    std::string error;
    EXPECT_TRUE(tapi::DeviceConfig::Parse(text, config, error)) << error << "\n" << text;
    return config;
}

int ModeOf(const std::filesystem::path& path)
{
    struct stat status { };
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    return int(status.st_mode & 07777);
}

// An account goes into its line's section (kind first, as the service needs), is read back as it
// was set, and leaves again without a trace; comments, other keys and sections stay.
TEST(ExchangeConfigFile, SetsAndRemovesAnAccountKeepingTheRestOfTheFile)
{
    testing_support::TempDir dir;
    WriteBytes(dir / "exchange.conf", kOffice);
    ExchangeConfigFile file((dir / "exchange.conf").string());
    std::string error;
    ASSERT_TRUE(file.Load(error)) << error;
    EXPECT_FALSE(file.Account("Trunk").enabled);

    SipAccountFields account = Account();
    account.presentAsAnalog = true;
    account.outboundProxy = "sip:proxy1.provider.example";
    account.fallbackOutboundProxy = "sip:proxy2.provider.example";
    ASSERT_TRUE(file.SetAccount("Trunk", account, error)) << error;
    ASSERT_TRUE(file.Save(error)) << error;
    const std::string saved = ReadBytes(dir / "exchange.conf");
    EXPECT_NE(
        saved.find("name = Trunk\nkind = sip\n; the provider's account goes here\nring-period-ms = 2000\n"
                   "display-name = Ann Example\nuser = 4921512345\n"),
        std::string::npos)
        << saved;
    EXPECT_NE(saved.find("present-as = analog\n\n[dial]\npattern = 911\n"), std::string::npos) << saved;
    EXPECT_TRUE(saved.starts_with("# Our office\n[line]\nname = Front Desk\nring-period-ms = 4000\n"))
        << saved;

    ExchangeConfigFile reread((dir / "exchange.conf").string());
    ASSERT_TRUE(reread.Load(error)) << error;
    const SipAccountFields back = reread.Account("Trunk");
    EXPECT_TRUE(back.enabled);
    EXPECT_EQ(back.user + "@" + back.domain, "4921512345@sip.provider.example");
    EXPECT_EQ(back.registrar, "sip:registrar.provider.example");
    EXPECT_EQ(back.outboundProxy, "sip:proxy1.provider.example");
    EXPECT_EQ(back.fallbackOutboundProxy, "sip:proxy2.provider.example");
    EXPECT_EQ(back.transport, "tls");
    EXPECT_EQ(back.localPort, 5062);
    EXPECT_TRUE(back.registers);
    EXPECT_TRUE(back.presentAsAnalog);

    // Without present-as the text is what this build's service reads.
    account.presentAsAnalog = false;
    account.registers = false;
    ASSERT_TRUE(reread.SetAccount("Trunk", account, error)) << error;
    EXPECT_EQ(reread.Text().find("present-as"), std::string::npos);
    const tapi::LineConfig trunk = Parsed(reread.Text()).lines.at(1);
    EXPECT_EQ(trunk.kind, tapi::LineKind::Sip);
    EXPECT_EQ(trunk.sip.transport, tapi::SipTransport::Tls);
    EXPECT_FALSE(trunk.sip.registers);
    EXPECT_EQ(trunk.sip.fallbackOutboundProxy, "sip:proxy2.provider.example");
    EXPECT_EQ(trunk.ringPeriodMs, 2000u);

    ASSERT_TRUE(reread.SetAccount("Trunk", SipAccountFields{}, error)) << error;
    EXPECT_EQ(reread.Text(), kOffice);
}

// Without a file the built-in lines are written out with the account, so no line disappears.
TEST(ExchangeConfigFile, FirstAccountWritesTheBuiltInLinesToo)
{
    testing_support::TempDir dir;
    ExchangeConfigFile file((dir / "kestrium" / "exchange.conf").string());
    std::string error;
    ASSERT_TRUE(file.Load(error)) << error;
    ASSERT_TRUE(file.SetAccount("IP Line 1", Account(), error)) << error;
    ASSERT_TRUE(file.Save(error)) << error;
    const tapi::DeviceConfig config = Parsed(ReadBytes(dir / "kestrium" / "exchange.conf"));
    const tapi::DeviceConfig builtIn = tapi::DeviceConfig::BuiltIn();
    ASSERT_EQ(config.lines.size(), builtIn.lines.size());
    for (std::size_t i = 0; i < config.lines.size(); ++i) {
        EXPECT_EQ(config.lines[i].name, builtIn.lines[i].name);
        EXPECT_EQ(config.lines[i].BearerModes(), builtIn.lines[i].BearerModes());
        EXPECT_EQ(config.lines[i].hasPhone, builtIn.lines[i].hasPhone);
    }
    EXPECT_EQ(config.lines[4].kind, tapi::LineKind::Sip);
    EXPECT_EQ(config.lines[4].sip.user, "4921512345");
    EXPECT_EQ(config.lines[5].kind, tapi::LineKind::Ip);
}

// What the service would refuse is neither kept nor written; a file with a mistake is not
// touched at all.
TEST(ExchangeConfigFile, RefusesWhatTheServiceWouldRefuse)
{
    testing_support::TempDir dir;
    WriteBytes(dir / "exchange.conf", kOffice);
    ExchangeConfigFile file((dir / "exchange.conf").string());
    std::string error;
    ASSERT_TRUE(file.Load(error)) << error;
    SipAccountFields account = Account();
    account.user = "ann <evil>";
    EXPECT_FALSE(file.SetAccount("Trunk", account, error));
    EXPECT_TRUE(error.starts_with("user must be")) << error;
    EXPECT_EQ(file.Text(), kOffice);
    EXPECT_FALSE(file.SetAccount("Nobody", Account(), error));
    account = Account();
    account.fallbackOutboundProxy = "sip:proxy2.provider.example";
    EXPECT_FALSE(file.SetAccount("Trunk", account, error));
    EXPECT_NE(error.find("fallback-outbound-proxy but no outbound-proxy"), std::string::npos) << error;

    WriteBytes(dir / "broken.conf", "[line]\nname = A\nkind = pots\n");
    ExchangeConfigFile broken((dir / "broken.conf").string());
    EXPECT_FALSE(broken.Load(error));
    EXPECT_NE(error.find("line 3: kind must be"), std::string::npos) << error;
}

// The password file is private whatever the umask and whatever the old file's mode was.
TEST(ExchangeConfigFile, PasswordFileIsWrittenPrivately)
{
    testing_support::TempDir dir;
    const auto path = dir / "new folder" / "Trunk.password";
    const mode_t umask = ::umask(0);
    std::string error;
    ASSERT_TRUE(WriteSipPassword(path.string(), "s3cret", error)) << error;
    EXPECT_EQ(ReadBytes(path), "s3cret\n");
    EXPECT_EQ(ModeOf(path), 0600);
    EXPECT_EQ(ModeOf(path.parent_path()), 0700);
    std::filesystem::permissions(path, std::filesystem::perms(0644));
    ASSERT_TRUE(WriteSipPassword(path.string(), "other", error)) << error;
    EXPECT_EQ(ReadBytes(path), "other\n");
    EXPECT_EQ(ModeOf(path), 0600);
    EXPECT_FALSE(WriteSipPassword(path.string(), "two\nlines", error));
    EXPECT_EQ(ReadBytes(path), "other\n");
    ::umask(umask);
}

} // namespace
