#include "support/telephony_scenario.h"

#include "platform/kernel.h"

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>

namespace {

constexpr const char* kOtherDialer = "/usr/bin/other-dialer";
constexpr const char* kMediaHandler = "/opt/media/handler";

class SystemDialerScenario : public TelephonyScenario {
protected:
    std::optional<std::string> Handoff(const Settings::TextValue& value)
    {
        const auto stored = m_parts.hive.Query(Settings::kHandoffKeyPath, value.name);
        if (!stored)
            return std::nullopt;
        return m_settings.ReadText(Settings::kHandoffKeyPath, value.name, "", 4096);
    }
    void SetHandoff(const Settings::TextValue& value, const std::string& text)
    {
        ASSERT_TRUE(m_settings.WriteText(Settings::kHandoffKeyPath, value.name, text));
    }
    // The stored setting; -1 when there is none.
    std::int32_t StoredIsSystemDialer()
    {
        return m_settings.ReadNumber(SettingsStore::kKeyPath, Settings::kIsSystemDialer.name, -1);
    }
    bool ServesRequests() { return tapiRequestMakeCallA("5551234", "Other App", "", "") == 0; }

    // Runs kestrium-dial in its own process, as another application would; its exit status.
    // kestrium-dial waits for the answer to its request: this process serves it meanwhile, as
    // Kestrium's event loop does.
    int DialFromAnotherProcess(const std::string& arguments)
    {
        auto dial = std::async(std::launch::async, [arguments] {
            const int status
                = std::system((std::string(KESTRIUM_DIAL) + " " + arguments + " >/dev/null 2>&1").c_str());
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        });
        while (dial.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready)
            Settle();
        return dial.get();
    }

    bool AdvanceUntil(const std::function<bool()>& done, DWORD limitMs = 30000)
    {
        for (DWORD elapsed = 0; elapsed < limitMs && !done(); elapsed += 100)
            Advance(100);
        return done();
    }

    const std::string m_ownPath = platform::OwnExecutablePath();
};

// Before the program's key exists the setting reads 0: the program gives the role back, which
// must not remove the application that holds it, and stores 0.
TEST_F(SystemDialerScenario, FirstStartStoresZeroAndLeavesAnotherDialerInPlace)
{
    std::filesystem::remove(m_dir / "registry.reg");
    SetHandoff(Settings::kRequestMakeCall, kOtherDialer);
    Start();

    EXPECT_EQ(StoredIsSystemDialer(), 0);
    EXPECT_FALSE(m_manager->IsSystemDialer());
    EXPECT_EQ(Handoff(Settings::kRequestMakeCall), kOtherDialer);
    EXPECT_EQ(Handoff(Settings::kRequestMediaCall), std::nullopt);
    EXPECT_FALSE(ServesRequests());

    // Ticking the box in setup takes effect at once.
    m_manager->BecomeSystemDialer();
    EXPECT_EQ(StoredIsSystemDialer(), 1);
    EXPECT_EQ(Handoff(Settings::kRequestMakeCall), m_ownPath);
    EXPECT_EQ(Handoff(Settings::kSavedRequestMakeCall), kOtherDialer);
    EXPECT_EQ(Handoff(Settings::kRequestMediaCall), m_ownPath);
    EXPECT_EQ(Handoff(Settings::kSavedRequestMediaCall), "");
    EXPECT_TRUE(ServesRequests());
}

TEST_F(SystemDialerScenario, EachStartFollowsTheSettingAndKeepsThePreviousHandlers)
{
    ASSERT_FALSE(m_ownPath.empty());
    SetHandoff(Settings::kRequestMakeCall, kOtherDialer);
    SetHandoff(Settings::kRequestMediaCall, kMediaHandler);
    m_settings.Write(Settings::kIsSystemDialer, 1);
    Start();
    EXPECT_EQ(Handoff(Settings::kRequestMakeCall), m_ownPath);
    EXPECT_EQ(Handoff(Settings::kRequestMediaCall), m_ownPath);
    EXPECT_TRUE(ServesRequests());

    // Something rewrote one value while the program was not running: the next start takes it
    // over again, and a start that finds its own path keeps the copy it made before.
    SetHandoff(Settings::kRequestMakeCall, "");
    Restart();
    EXPECT_EQ(Handoff(Settings::kRequestMakeCall), m_ownPath);
    EXPECT_EQ(Handoff(Settings::kRequestMediaCall), m_ownPath);
    EXPECT_EQ(Handoff(Settings::kSavedRequestMakeCall), "");
    EXPECT_EQ(Handoff(Settings::kSavedRequestMediaCall), kMediaHandler) << "not overwritten with our path";

    // Unticking the box in setup gives the values back and stops serving requests at once.
    SetHandoff(Settings::kSavedRequestMakeCall, kOtherDialer);
    m_manager->StopBeingSystemDialer();
    EXPECT_EQ(StoredIsSystemDialer(), 0);
    EXPECT_EQ(Handoff(Settings::kRequestMakeCall), kOtherDialer);
    EXPECT_EQ(Handoff(Settings::kRequestMediaCall), kMediaHandler);
    EXPECT_EQ(Handoff(Settings::kSavedRequestMakeCall), kOtherDialer) << "the copies stay";
    EXPECT_FALSE(ServesRequests());

    // With the setting off, a start copies the saved values back where the values name the
    // program or nothing, and leaves a value that another application has taken since.
    SetHandoff(Settings::kRequestMakeCall, m_ownPath);
    SetHandoff(Settings::kRequestMediaCall, "/usr/bin/newer-handler");
    Restart();
    EXPECT_EQ(Handoff(Settings::kRequestMakeCall), kOtherDialer);
    EXPECT_EQ(Handoff(Settings::kRequestMediaCall), "/usr/bin/newer-handler");
    EXPECT_FALSE(ServesRequests());
}

// Another application's dialing request, from its own process through the service's control
// socket: the call goes out on the default line as given, not translated, and is logged.
TEST_F(SystemDialerScenario, RequestFromAnotherProcessIsPlacedOnTheDefaultLineAndLogged)
{
    Start();
    ASSERT_NE(std::string(tapisimControlSocketPath()), "");
    EXPECT_EQ(DialFromAnotherProcess("5550100"), 1) << "nobody serves requests yet";
    m_manager->BecomeSystemDialer();
    m_manager->SetDefaultLine(2);
    TAPISIM_DIALRULE rule{ "12125550100", TAPISIM_OUTCOME_ANSWER, 1000, 5000 };
    ASSERT_EQ(tapisimAddDialRule(&rule), TAPISIM_OK);

    ASSERT_EQ(DialFromAnotherProcess("+1-212-555-0100 'Carol Jones'"), 0);
    Settle();
    EXPECT_EQ(CallText(2), "Carol Jones, +1-212-555-0100 (Dialtone)");
    ASSERT_TRUE(AdvanceUntil([&] { return CallText(2) == "Carol Jones, +1-212-555-0100 (Connected)"; }));
    const CallTime connected = Now();

    // A second request while the default line is busy still goes to that line, which refuses it:
    // the requester hears that nothing was placed.
    ASSERT_EQ(DialFromAnotherProcess("5550199"), 1);
    Settle();
    EXPECT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages.back().text, "Call failed: another phone off-hook.");
    for (int slot : { 0, 1, 3 })
        EXPECT_EQ(OnlyCall(slot), 0u) << slot;
    // A number without a digit is refused quietly: a requester repeating it opens no message.
    EXPECT_EQ(DialFromAnotherProcess("'---'"), 1);
    EXPECT_EQ(DialFromAnotherProcess("'()'"), 1);
    Settle();
    EXPECT_EQ(m_prompter.messages.size(), 1u);

    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(2) == 0; }));
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    const CallLogEntry& entry = *log.GetAt(0);
    EXPECT_EQ(entry.type, kCallTypeOutgoing);
    EXPECT_EQ(entry.callerName, "Carol Jones");
    EXPECT_EQ(entry.number, "+1-212-555-0100");
    EXPECT_EQ(entry.startTime, connected);
    EXPECT_EQ(entry.DurationText(), "00:00:05");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "KestriumRedialList200.csv"))
        << "requests are not redialled";

    // A default line without a device places nothing, and the requester hears so.
    m_manager->GetLineSlot(5).CloseLine(m_manager->GetLineApp(), m_manager->GetPhoneApp());
    m_manager->SetDefaultLine(5);
    EXPECT_EQ(DialFromAnotherProcess("5550123"), 1);
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot)
        EXPECT_EQ(OnlyCall(slot), 0u) << slot;
}

} // namespace
