#pragma once

#include "fake_main_window.h"
#include "scripted_prompter.h"
#include "scripted_select_call_dialog.h"

#include "platform/registry.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "support/temp_dir.h"
#include "tapi/include/tapisim.h"
#include "telephony/call_logger.h"
#include "telephony/line_manager.h"
#include "telephony/tapi_binding.h"

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <vector>

// What a line manager needs around it, in a private data folder with its own registry file.
struct TelephonyParts {
    testing_support::TempDir dir;
    platform::RegistryHive hive{ dir / "registry.reg" };
    SettingsStore settings{ hive };
    CallLogStore callLog;
    CallLogger logger{ callLog, dir / "KestriumCallLog.csv" };
    ScriptedPrompter prompter;
};

// A whole telephony set-up against the simulated exchange on its manual clock: the real binding
// and libtapi32.so, a line manager with a fake main window, scripted message boxes and
// "Select call:" dialogs, and a call log in a private data folder. Events are delivered the way
// the application gets them: the service's descriptor wakes the Qt event loop.
class TelephonyScenario : public ::testing::Test {
protected:
    // Mid-morning on a fixed day, so logged times can be checked to the second.
    static constexpr int kYear = 2026, kMonth = 12, kDay = 5, kHour = 10;

    void SetUp() override;
    void TearDown() override;

    // Initialize and open the lines, as start-up does (after the device map was loaded).
    void Start();
    // Closes everything and starts again with a new line manager, as the next run would.
    void Restart();
    // Moves the exchange's clock and runs every event that follows.
    void Advance(DWORD milliseconds);
    // Runs the events that are waiting, through the Qt event loop.
    void Settle();

    // The exchange's own description of a line ("line 1: ... (analog, handset down) idle").
    static std::string DescribeLine(int line);
    // The local time the logger sees now.
    CallTime Now() const;
    // The call log as it is on disk.
    CallLogStore LoggedCalls() const;
    // A missed call: its start and end are the moment it was offered.
    static void ExpectMissed(const CallLogEntry& entry, const std::string& name, const CallTime& offered);
    // The call log on disk has `count` entries, the last one such a missed call.
    void ExpectLastMissed(std::size_t count, const std::string& name, const CallTime& offered) const;

    LineSlot& Slot(int index) { return m_manager->GetLineSlot(index); }
    // The only call of a slot, 0 when it has none.
    HCALL OnlyCall(int slot);
    // The description text of the only call of a slot.
    std::string CallText(int slot);
    void AddDialRule(const char* pattern, DWORD outcome, DWORD delayMs);
    void Ring(DWORD line, const char* number, const char* name, DWORD flags = 0, DWORD giveUpAfterRings = 0);
    // A talking call on slot 1 ("Talker, 5554444 (Connected)") and then a ringing one on slot 0
    // ("Ringer,5558888 (Incoming)").
    void StartTalkingAndRingingCalls();
    // Lets select-call dialogs answer with `script`.
    void OnSelectCall(ScriptedSelectCallDialog::Script script);

    TelephonyParts m_parts;
    testing_support::TempDir& m_dir = m_parts.dir;
    SettingsStore& m_settings = m_parts.settings;
    CallLogger& m_logger = m_parts.logger;
    ScriptedPrompter& m_prompter = m_parts.prompter;
    TapiBinding m_tapi;
    FakeMainWindow m_window;
    std::unique_ptr<LineManager> m_manager;
    std::vector<ScriptedSelectCallDialog::Shown> m_dialogs;
    std::time_t m_base = 0;
};

// The telephony objects with a service library that cannot serve (missing, or without exports).
struct ManagerWithoutService {
    explicit ManagerWithoutService(const char* library);

    TelephonyParts parts;
    ScriptedPrompter& prompter = parts.prompter;
    TapiBinding tapi;
    LineManager manager;
};
