#include "telephony_scenario.h"

#include <QCoreApplication>

#include <poll.h>

namespace {

bool EventsWaiting()
{
    pollfd fd{ tapiGetEventFd(), POLLIN, 0 };
    return fd.fd >= 0 && ::poll(&fd, 1, 0) > 0;
}

} // namespace

void TelephonyScenario::SetUp()
{
    ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK);
    // Start on a whole second, as a fresh process does: times logged to the second then come out
    // the same whichever tests ran before in this process.
    if (const DWORD intoSecond = DWORD(tapisimNow() % 1000)) {
        ASSERT_EQ(tapisimAdvance(1000 - intoSecond), TAPISIM_OK);
    }
    std::tm day{};
    day.tm_year = kYear - 1900;
    day.tm_mon = kMonth - 1;
    day.tm_mday = kDay;
    day.tm_hour = kHour;
    day.tm_isdst = -1;
    m_base = std::mktime(&day) - std::time_t(tapisimNow() / 1000);
    m_logger.SetClock([this] { return Now(); });
    m_settings.Write(Settings::kIsSystemDialer, 0);
    m_manager = std::make_unique<LineManager>(m_tapi, m_settings, m_prompter, m_logger, m_dir.Path());
    m_manager->SetClock([] { return tapisimNow(); });
    m_manager->SetMainWindow(&m_window);
}

void TelephonyScenario::TearDown()
{
    m_manager->CloseAllLines();
    Settle();
    m_manager->Shutdown();
    m_manager.reset();
    tapisimReset();
    tapisimConfigure(nullptr);
    Settle();
}

void TelephonyScenario::Restart()
{
    m_manager->CloseAllLines();
    m_manager->Shutdown();
    Settle();
    m_manager = std::make_unique<LineManager>(m_tapi, m_settings, m_prompter, m_logger, m_dir.Path());
    m_manager->SetClock([] { return tapisimNow(); });
    m_manager->SetMainWindow(&m_window);
    Start();
}

void TelephonyScenario::Start()
{
    m_manager->LoadDeviceMap(m_manager->DeviceMapPath());
    ASSERT_EQ(m_manager->Initialize(), 1);
    m_manager->OpenAllLines();
    Settle();
}

void TelephonyScenario::Advance(DWORD milliseconds)
{
    ASSERT_EQ(tapisimAdvance(milliseconds), TAPISIM_OK);
    Settle();
}

void TelephonyScenario::Settle()
{
    for (int round = 0; round < 1000 && EventsWaiting(); ++round)
        QCoreApplication::processEvents();
}

std::string TelephonyScenario::DescribeLine(int line)
{
    char reply[4096] = {};
    EXPECT_EQ(tapisimCommand("list", reply, sizeof reply), TAPISIM_OK);
    const std::string all = reply;
    const std::string prefix = "line " + std::to_string(line) + ": ";
    const std::size_t at = all.find(prefix);
    return at == std::string::npos ? std::string() : all.substr(at, all.find('\n', at) - at);
}

CallTime TelephonyScenario::Now() const
{
    return CallTime::FromTimeT(m_base + std::time_t(tapisimNow() / 1000));
}

CallLogStore TelephonyScenario::LoggedCalls() const
{
    CallLogStore store;
    store.Load(m_dir / "KestriumCallLog.csv");
    return store;
}

void TelephonyScenario::ExpectMissed(
    const CallLogEntry& entry, const std::string& name, const CallTime& offered)
{
    EXPECT_EQ(entry.type, kCallTypeMissed);
    EXPECT_EQ(entry.callerName, name);
    EXPECT_EQ(entry.startTime, offered);
    EXPECT_EQ(entry.endTime, offered);
}

void TelephonyScenario::ExpectLastMissed(
    std::size_t count, const std::string& name, const CallTime& offered) const
{
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), count);
    ExpectMissed(*log.GetAt(count - 1), name, offered);
}

HCALL TelephonyScenario::OnlyCall(int slot)
{
    HCALL found = 0;
    for (int record = 0; record < LineSlot::kMaxCalls; ++record) {
        const HCALL call = Slot(slot).CallAt(record).call;
        if (call == 0)
            continue;
        EXPECT_EQ(found, 0u) << "slot " << slot << " has more than one call";
        found = call;
    }
    return found;
}

std::string TelephonyScenario::CallText(int slot)
{
    CallDescription description;
    Slot(slot).DescribeCall(OnlyCall(slot), description);
    return description.text;
}

void TelephonyScenario::AddDialRule(const char* pattern, DWORD outcome, DWORD delayMs)
{
    TAPISIM_DIALRULE rule{ pattern, outcome, delayMs, 0 };
    ASSERT_EQ(tapisimAddDialRule(&rule), TAPISIM_OK);
}

void TelephonyScenario::Ring(
    DWORD line, const char* number, const char* name, DWORD flags, DWORD giveUpAfterRings)
{
    TAPISIM_CALLER caller{ number, name, flags, giveUpAfterRings, 0 };
    ASSERT_EQ(tapisimRing(line, &caller), TAPISIM_OK);
    Settle();
}

void TelephonyScenario::OnSelectCall(ScriptedSelectCallDialog::Script script)
{
    m_manager->SetSelectCallDialogFactory(
        [this, script] { return std::make_unique<ScriptedSelectCallDialog>(script, m_dialogs); });
}

void TelephonyScenario::StartTalkingAndRingingCalls()
{
    AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER, 1000);
    ASSERT_EQ(Slot(1).PlaceCall("5554444", "5554444", "Talker", false), 1);
    Advance(3000);
    ASSERT_EQ(CallText(1), "Talker, 5554444 (Connected)");
    Ring(0, "5558888", "Ringer");
    ASSERT_EQ(CallText(0), "Ringer,5558888 (Incoming)");
}

ManagerWithoutService::ManagerWithoutService(const char* library)
    : tapi(library)
    , manager(tapi, parts.settings, parts.prompter, parts.logger, parts.dir.Path())
{
}
