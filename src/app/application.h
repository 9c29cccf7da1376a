#pragma once

#include "links/dial_link_server.h"
#include "links/password_vault.h"
#include "recording/call_recording.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "store/contact_store.h"
#include "store/data_folder.h"
#include "store/redial_store.h"
#include "store/speed_dial_store.h"
#include "telephony/call_logger.h"
#include "telephony/incoming_calls.h"
#include "telephony/line_manager.h"
#include "telephony/tapi_binding.h"
#include "ui/desktop/cursor_blink_timeout.h"
#include "ui/desktop/desktop_presence.h"
#include "ui/telephony_widgets/qt_screen_area.h"

#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

class MainWindow;
class Prompter;
class SharedAddressBook;
class TerminationSignals;

namespace platform {
class RegistryHive;
}

// The program's one application object: it owns the stores, the settings read at start-up, the
// telephony and the main window, and runs start-up and shutdown in their fixed order. The data
// folder is the working directory at start-up; every data file is opened relative to it.
class Application {
public:
    static constexpr const char* kLockFileName = DataFolderLock::kFileName;

    Application(std::filesystem::path dataFolder, platform::RegistryHive& hive, Prompter& prompter);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Loads the stores, reads the settings, starts telephony, opens the lines and shows the main
    // window. False (and nothing touched) when another Kestrium already uses the data folder.
    bool Start();
    // Runs until the main window closes, a termination signal arrives or the session ends.
    int Exec(TerminationSignals& termination);
    // Saves every data file, closes the lines and stops telephony. Runs once; later calls do nothing.
    void Finish();
    // Start, Exec and Finish: the whole life of the program. The process's exit status.
    int Run();

    LineManager& Lines() { return m_lines; }
    ContactStore& Contacts() { return m_contacts; }
    MainWindow* Window() { return m_window.get(); }
    // Notifications go to `sink` instead of the desktop's notification service from the next Start
    // on (tests record them, away from the desktop's session bus).
    void UseNotifications(std::unique_ptr<NotificationSink> sink) { m_notifications = std::move(sink); }
    // The tray icon and notifications, while the window exists.
    DesktopPresence* Presence() { return m_presence.get(); }
    // The shared address book, while the window exists.
    SharedAddressBook* AddressBook() { return m_addressBook.get(); }
    const AppSettings& GetAppSettings() const { return m_appSettings; }
    const std::filesystem::path& DataFolder() const { return m_dataFolder; }

private:
    bool LockDataFolder();
    static void KeepHeapTrimmed();
    static void ReleaseFreedMemory();
    // The stores load on two threads while the window is built, which reads none of them: the call
    // log with its list order on one; the contacts, the speed dials, the redial list and the
    // contacts' tree order on the other. Each is complete once its future is ready.
    struct StoreLoading {
        std::future<void> callLog;
        std::future<void> contacts;
    };
    StoreLoading StartLoadingStores();
    void ReadSettings();
    // Once the call log is loaded: the settings that apply to it, and the recordings and calls an
    // earlier run left unfinished; returns the calls logged from the calls-in-progress journal.
    std::vector<CallLogEntry> CompleteCallLog();
    void ShowOnDesktop();
    void StartLinkServer();
    // Names each copy of a damaged file that this start-up set aside, a settings file that cannot
    // be used and the data files it skipped as not regular files.
    void ReportSetAsideFiles(const std::vector<std::filesystem::path>& unreadBefore,
        const std::filesystem::path& corruptBefore, const std::string& settingsProblem,
        const std::vector<std::filesystem::path>& skipped);
    void ReportLinesProblem(bool tellUser);
    void SaveStores();
    void RunSetup();
    void RunPbxSetup();

    std::filesystem::path m_dataFolder;
    platform::RegistryHive& m_hive;
    Prompter& m_prompter;
    SettingsStore m_settings;
    DataFolderLock m_lock;
    // Phone labels and groups are loaded with the contact store, before anything else.
    ContactStore m_contacts;
    SpeedDialStore m_speedDials;
    // The call log comes before the line manager: closing the lines logs their calls.
    CallLogStore m_callLog;
    CallLogger m_logger;
    TapiBinding m_tapi;
    LineManager m_lines;
    RedialStore m_redial;
    AppSettings m_appSettings;
    // The line events' handlers; unset from the line manager before they go.
    QtScreenArea m_screen;
    IncomingCalls m_incoming;
    CallRecording m_recording;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<NotificationSink> m_notifications;
    std::unique_ptr<DesktopPresence> m_presence;
    std::unique_ptr<CursorBlinkTimeout> m_cursorBlink;
    // Links from the desktop, served while the program is started.
    std::unique_ptr<DialLinkServer> m_links;
    // The address book password where no secret store runs: a private folder in the data folder.
    PasswordVault m_passwords;
    std::unique_ptr<SharedAddressBook> m_addressBook;
    bool m_started = false;
};
