// Kestrium itself on a SIP line: SIPp calls "IP Line 1", voice mail answers after the second ring,
// and the caller's audio ends up as an unheard message in the call log.
#include "sip_fixture.h"

#include "app/application.h"
#include "audio/sound_file.h"
#include "platform/registry.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "store/recording_path.h"
#include "support/temp_dir.h"
#include "tapi/include/tapisim.h"
#include "telephony/support/recording_notifications.h"
#include "telephony/support/scripted_prompter.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

class SipVoiceMail : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_linePort = sip_test::FreePort();
        m_sippPort = sip_test::FreePort();
        std::string config;
        for (int i = 1; i <= 4; ++i)
            config += "[line]\nname = Zo-Linka Line " + std::to_string(i) + "\n";
        config += "[line]\nname = IP Line 1\nkind = sip\nuser = kestrium\ndomain = 127.0.0.1:" + std::to_string(m_sippPort)
            + "\nlocal-address = 127.0.0.1\nlocal-port = " + std::to_string(m_linePort)
            + "\nregister = no\nring-period-ms = 1000\n";
        ASSERT_EQ(tapisimConfigure(config.c_str()), TAPISIM_OK) << tapisimLastError();
        ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK);
        m_settings.Write(Settings::kVoicemailOn, 1);
        m_settings.Write(Settings::kAnswerAfter, 2);
    }
    void TearDown() override
    {
        if (m_app)
            m_app->Finish();
        m_app.reset();
        tapisimReset();
        tapisimConfigure(nullptr);
    }
    // The exchange's clock in step with real time, since the caller is real.
    void RunWhile(sip_test::Sipp& sipp, int timeoutMs)
    {
        for (int done = 0; done < timeoutMs && (sipp.Running() || done < 500); done += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            tapisimAdvance(20);
            QCoreApplication::processEvents();
        }
    }

    // Starts Kestrium, lets SIPp call line 5 with `afterRinging` and runs until the call is logged.
    CallLogStore CallIn(const std::string& afterRinging)
    {
        m_app = std::make_unique<Application>(m_dir.Path(), m_hive, m_prompter);
        auto notifications = std::make_unique<RecordingSink>();
        m_notifications = notifications.get();
        m_app->UseNotifications(std::move(notifications));
        EXPECT_TRUE(m_app->Start());
        sip_test::Sipp sipp;
        EXPECT_TRUE(sipp.Start(m_dir.Path(), sip_test::CallingScenario(afterRinging), m_sippPort,
            { "127.0.0.1:" + std::to_string(m_linePort) }));
        RunWhile(sipp, 20000);
        EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
        RunWhile(sipp, 500);
        CallLogStore log;
        log.Load(m_dir.Path() / CallLogStore::kFileName);
        return log;
    }

    testing_support::TempDir m_dir;
    testing_support::TempDir m_config;
    platform::RegistryHive m_hive{ m_config / "registry.reg" };
    SettingsStore m_settings{ m_hive };
    ScriptedPrompter m_prompter;
    std::unique_ptr<Application> m_app;
    RecordingSink* m_notifications = nullptr; // owned by m_app
    std::uint16_t m_linePort = 0;
    std::uint16_t m_sippPort = 0;
};

TEST_F(SipVoiceMail, CallerReachesVoiceMailAndLeavesAMessage)
{
    sip_test::WriteRtpPcap(m_dir / "message.pcap", Tone(900, 3000));
    const CallLogStore log = CallIn(sip_test::AnsweredThenTone((m_dir / "message.pcap").string(), 3300));
    ASSERT_EQ(log.Count(), 1u);
    const CallLogEntry& entry = *log.GetAt(0);
    EXPECT_EQ(entry.type, kCallTypeVoicemail);
    EXPECT_EQ(entry.callerName, "Alice Example");
    EXPECT_EQ(entry.number, "2125550100");
    EXPECT_TRUE(entry.IsUnheard());
    const testing_support::SoundFile recorded
        = testing_support::ReadSoundFile(RecordingPath::ToLocalFile(entry.recordingPath).string());
    ASSERT_TRUE(recorded.opened);
    EXPECT_GT(BestShareOf(recorded.samples, 900), 0.8) << "the caller's tone is in the message";
}

// The caller hangs up (CANCEL) before voice mail answers: a missed call.
TEST_F(SipVoiceMail, CallerWhoCancelsIsLoggedAsMissed)
{
    const CallLogStore log = CallIn(sip_test::GivesUp());
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeMissed);
    EXPECT_EQ(log.GetAt(0)->callerName, "Alice Example");
    ASSERT_EQ(m_notifications->shown.size(), 1u);
    EXPECT_EQ(m_notifications->shown[0].summary, "Missed call");
}

// A caller who cancels as soon as it rings (a misdial, or one of a flood of INVITE and CANCEL
// pairs) could not have been answered: it is neither logged nor notified.
TEST_F(SipVoiceMail, CallerWhoCancelsAtOnceLeavesNoTrace)
{
    const CallLogStore log = CallIn(sip_test::GivesUp(0));
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_TRUE(m_notifications->shown.empty());
}

} // namespace
