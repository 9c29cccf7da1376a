// A SIP account set up in Setup's account editor: written into the exchange configuration (the
// rest of the file kept) with its password in a private file, applied by the running service
// without a restart, and registered against SIPp.
#include "sip_fixture.h"

#include "support/temp_dir.h"
#include "telephony/support/scripted_prompter.h"
#include "ui/setup/sip_account_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

using sip_test::Sipp;
using testing_support::ReadBytes;

bool ReloadService(std::string& error)
{
    std::array<char, 512> message{};
    if (tapiReloadConfig(message.data(), DWORD(message.size())) == 0)
        return true;
    error = message.data();
    return false;
}

class SipAccountEditor : public SipFixture {
protected:
    SipAccountEditor()
    {
        for (int i = 1; i <= 4; ++i)
            m_text += "[line]\nname = Zo-Linka Line " + std::to_string(i) + "\n";
        m_text += "[line]\nname = IP Line 1\nkind = ip\n# the office account\n\n"
                  "[line]\nname = IP Line 2\nkind = ip\n[line]\nname = Data Modem\nkind = modem\n"
                  "[dial]\npattern = 911\noutcome = reject\n";
        testing_support::WriteBytes(m_dir / "exchange.conf", m_text);
        ::setenv("KESTRIUM_EXCHANGE_CONFIG", (m_dir / "exchange.conf").c_str(), 1);
    }
    ~SipAccountEditor() override { ::unsetenv("KESTRIUM_EXCHANGE_CONFIG"); }
    std::string Configuration() const override { return m_text; }

    std::string LineState(HLINE line, DWORD& flags)
    {
        std::array<std::byte, sizeof(LINEDEVSTATUS) + 512> buffer{};
        auto* status = reinterpret_cast<LINEDEVSTATUS*>(buffer.data());
        status->dwTotalSize = DWORD(buffer.size());
        EXPECT_EQ(lineGetLineDevStatus(line, status), 0);
        flags = status->dwDevStatusFlags;
        return status->dwDevSpecificSize
            ? std::string(reinterpret_cast<const char*>(buffer.data()) + status->dwDevSpecificOffset)
            : std::string();
    }
    void Type(SipAccountDialog& dialog, const char* field, const std::string& text)
    {
        auto* edit = dialog.findChild<QLineEdit*>(field);
        ASSERT_TRUE(edit) << field;
        edit->setText(QString::fromStdString(text));
    }

    std::string m_text;
};

TEST_F(SipAccountEditor, AccountCreatedInTheEditorIsWrittenAppliedAndRegisters)
{
    const HLINE line = OpenLine(kLine1);
    DWORD flags = 0;
    EXPECT_EQ(LineState(line, flags), "") << "a plain IP line reports no registration";

    ScriptedPrompter prompter;
    SipAccountDialog dialog("IP Line 1", prompter, &ReloadService);
    EXPECT_EQ(dialog.windowTitle(), "IP Line 1: SIP Account");
    dialog.findChild<QGroupBox*>("sipAccount")->setChecked(true);
    const std::string registrar = "127.0.0.1:" + std::to_string(m_sippPort);
    Type(dialog, "sipAddress", "no-domain");
    dialog.accept();
    ASSERT_EQ(prompter.messages.size(), 1u) << "an address without a domain is refused";
    EXPECT_NE(prompter.messages[0].text.find("user@domain"), std::string::npos);
    EXPECT_EQ(ReadBytes(m_dir / "exchange.conf"), m_text) << "nothing written";

    Type(dialog, "sipAddress", "kestrium@" + registrar);
    Type(dialog, "password", "guess");
    Type(dialog, "registrar", "sip:" + registrar);
    Type(dialog, "localAddress", "127.0.0.1");
    // Any free port: a fixed one is not free again at once after a refused registration (the
    // SIP stack keeps its socket), so the line could not start again below.
    dialog.findChild<QSpinBox*>("localPort")->setValue(0);
    dialog.findChild<QCheckBox*>("register")->setChecked(true);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), sip_test::RegistrarScenario("kestrium", "s3cret"), m_sippPort));
    dialog.accept();
    ASSERT_EQ(prompter.messages.size(), 1u) << prompter.messages.back().text;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    const std::string text = ReadBytes(m_dir / "exchange.conf");
    EXPECT_NE(text.find("name = IP Line 1\nkind = sip\nuser = kestrium\ndomain = " + registrar
                  + "\nregistrar = sip:" + registrar
                  + "\ntransport = udp\nlocal-address = 127.0.0.1\nregister = yes\n# the office "
                    "account\n\n[line]\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\n[line]\nname = IP Line 2\nkind = ip\n"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("[dial]\npattern = 911\noutcome = reject\n")) << text;
    const std::string password = std::string(std::getenv("XDG_CONFIG_HOME")) + "/kestrium/IP Line 1.password";
    EXPECT_EQ(ReadBytes(password), "guess\n");
    struct stat status { };
    ASSERT_EQ(::stat(password.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);

    // The registrar refuses the wrong password: the line says why, and tells of the new reason.
    RunWhile(sipp, 8000);
    ASSERT_TRUE(RunUntil([&] { return LineState(line, flags).find("403") != std::string::npos; }, 2000))
        << LineList();
    EXPECT_EQ(LineState(line, flags),
        "the registrar refused the password (403 Forbidden); not registering again until the line is "
        "restarted");
    EXPECT_EQ(flags & LINEDEVSTATUSFLAGS_INSERVICE, 0u);
    EXPECT_TRUE(std::any_of(m_received.begin(), m_received.end(), [&](const Received& message) {
        return message.message == LINE_LINEDEVSTATE && message.device == line
            && message.p1 == LINEDEVSTATE_DEVSPECIFIC;
    }));

    // Only the password changes (the configuration stays the same): the line still starts again.
    SipAccountDialog again("IP Line 1", prompter, &ReloadService);
    EXPECT_EQ(again.findChild<QLineEdit*>("password")->text(), "") << "the password is never shown";
    Type(again, "password", "s3cret");
    Sipp second;
    ASSERT_TRUE(second.Start(m_dir.Path(), sip_test::RegistrarScenario("kestrium", "s3cret"), m_sippPort));
    again.accept();
    EXPECT_EQ(ReadBytes(m_dir / "exchange.conf"), text);
    EXPECT_EQ(ReadBytes(password), "s3cret\n");
    RunWhile(second, 8000);
    EXPECT_EQ(second.ExitCode(), 0) << second.Log();
    ASSERT_TRUE(
        RunUntil([&] { return (LineState(line, flags), flags & LINEDEVSTATUSFLAGS_INSERVICE) != 0; }, 2000))
        << LineList();
    EXPECT_EQ(LineState(line, flags), "registered");
    EXPECT_NE(LineList().find("line 5: IP Line 1 (sip, in service: registered"), std::string::npos)
        << LineList();
}

// A fallback outbound proxy needs an outbound proxy; both are kept and shown again. Switching the
// account off makes the line a plain IP line again, at once.
TEST_F(SipAccountEditor, AccountSwitchedOffLeavesAPlainIpLine)
{
    const HLINE line = OpenLine(kLine1);
    {
        ScriptedPrompter refused;
        SipAccountDialog dialog("IP Line 1", refused, &ReloadService);
        dialog.findChild<QGroupBox*>("sipAccount")->setChecked(true);
        Type(dialog, "sipAddress", "kestrium@127.0.0.1:" + std::to_string(m_sippPort));
        Type(dialog, "localAddress", "127.0.0.1");
        Type(dialog, "fallbackOutboundProxy", "sip:127.0.0.2");
        dialog.findChild<QCheckBox*>("register")->setChecked(false);
        dialog.accept();
        ASSERT_EQ(refused.messages.size(), 1u);
        EXPECT_NE(
            refused.messages[0].text.find("fallback-outbound-proxy but no outbound-proxy"), std::string::npos)
            << refused.messages[0].text;
        Type(dialog, "outboundProxy", "sip:127.0.0.1");
        dialog.accept();
        EXPECT_EQ(refused.messages.size(), 1u) << refused.messages.back().text;
    }
    DWORD flags = 0;
    EXPECT_EQ(LineState(line, flags), "registration off");
    ScriptedPrompter prompter;
    SipAccountDialog dialog("IP Line 1", prompter, &ReloadService);
    EXPECT_TRUE(dialog.findChild<QGroupBox*>("sipAccount")->isChecked());
    EXPECT_FALSE(dialog.findChild<QCheckBox*>("register")->isChecked());
    EXPECT_EQ(dialog.findChild<QLineEdit*>("outboundProxy")->text(), "sip:127.0.0.1");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("fallbackOutboundProxy")->text(), "sip:127.0.0.2");
    dialog.findChild<QGroupBox*>("sipAccount")->setChecked(false);
    dialog.accept();
    EXPECT_TRUE(prompter.messages.empty()) << prompter.messages.front().text;
    EXPECT_EQ(ReadBytes(m_dir / "exchange.conf"), m_text);
    EXPECT_EQ(LineState(line, flags), "");
    EXPECT_NE(LineList().find("line 5: IP Line 1 (ip,"), std::string::npos) << LineList();
}

} // namespace
