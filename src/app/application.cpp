#include "app/application.h"

#include "app/termination_signals.h"
#include "platform/registry.h"
#include "recording/recording_recovery.h"
#include "settings/prompter.h"
#include "settings/settings.h"
#include "store/call_journal.h"
#include "store/text_file_reader.h"
#include "ui/main/main_window.h"
#include "ui/main/shared_address_book.h"
#include "ui/panels/notes_dialog.h"
#include "ui/setup/pbx_setup_dialog.h"
#include "ui/setup/setup_audio_pages.h"
#include "ui/setup/setup_dialog.h"
#include "ui/telephony_widgets/incoming_call_dialog.h"
#include "ui/telephony_widgets/qt_select_call_dialog.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <future>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <iostream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kTitle = "Kestrium";
constexpr const char* kUnreadMarker = ".unread-";
// The folder of passwords kept where no secret store runs (made 0700 when first needed).
constexpr const char* kSecretsFolder = "KestriumSecrets";

// The copies that loaders made of data files they could not read to the end.
std::vector<fs::path> UnreadCopies(const fs::path& folder)
{
    std::vector<fs::path> copies;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename().string().find(kUnreadMarker) != std::string::npos)
            copies.push_back(entry.path());
    std::sort(copies.begin(), copies.end());
    return copies;
}

QString FromPath(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

std::string UnreadMessage(const fs::path& copy)
{
    const std::string name = copy.filename().string();
    const std::string original = name.substr(0, name.find(kUnreadMarker));
    return QCoreApplication::translate("Application",
        "Kestrium could not read all of \"%1\". What it could read is loaded; the whole file was kept "
        "as:\n%2")
        .arg(QString::fromStdString(original), FromPath(copy))
        .toStdString();
}

std::string SkippedMessage(const std::vector<fs::path>& skipped)
{
    QString message = QCoreApplication::translate("Application",
        "Kestrium did not read these data files, as they are not regular files (a pipe, a device or a "
        "folder); it neither reads nor replaces them, so their data is not kept until they are moved away:");
    for (const fs::path& file : skipped)
        message += QLatin1Char('\n') + FromPath(file);
    return message.toStdString();
}

std::string CorruptRegistryMessage(const fs::path& copy)
{
    return QCoreApplication::translate("Application",
        "Kestrium could not read its settings file and started with the default settings. The unreadable "
        "file was kept as:\n%1")
        .arg(FromPath(copy))
        .toStdString();
}

std::string UnusableRegistryMessage(const std::string& problem)
{
    return problem
        + QCoreApplication::translate("Application",
            "\n\nKestrium runs with the settings it could read; settings changed now are not kept.")
              .toStdString();
}

} // namespace

Application::Application(fs::path dataFolder, platform::RegistryHive& hive, Prompter& prompter)
    : m_dataFolder(std::move(dataFolder))
    , m_hive(hive)
    , m_prompter(prompter)
    , m_settings(hive)
    , m_lock(m_dataFolder)
    , m_contacts(OpenContactStore(m_dataFolder))
    , m_speedDials(m_contacts.Groups(), m_contacts.Labels())
    , m_logger(m_callLog, m_dataFolder / CallLogStore::kFileName)
    , m_lines(m_tapi, m_settings, m_prompter, m_logger, m_dataFolder)
    , m_redial(m_contacts.Groups(), m_contacts.Labels())
    , m_incoming(m_lines, m_appSettings, &IncomingCallDialog::Create, m_screen)
    , m_recording(m_lines, m_appSettings, NotesDialog::Factory(m_prompter))
    , m_passwords("Kestrium", m_dataFolder / kSecretsFolder)
{
    KeepHeapTrimmed();
    m_lines.SetIncomingPort(&m_incoming);
    m_lines.SetRecordingPort(&m_recording);
    m_lines.SetContacts(&m_contacts);
}

Application::~Application()
{
    Finish();
    m_lines.SetIncomingPort(nullptr);
}

// The termination signals are caught from the first moment: one that arrives while the program
// starts is acted on once the event loop runs, instead of ending the process unsaved.
int Application::Run()
{
    TerminationSignals termination;
    if (!Start())
        return 1;
    const int status = Exec(termination);
    Finish();
    return status;
}

bool Application::Start()
{
    if (!LockDataFolder())
        return false;
    RemoveStaleTemporaryFiles(m_dataFolder);
    const std::vector<fs::path> unreadBefore = UnreadCopies(m_dataFolder);
    const fs::path corruptBefore = m_hive.LastCorruptCopy();
    const std::size_t skippedBefore = TextFileReader::SkippedFiles().size();
    // The C library sets its time zone up when a thread first asks for the local time. That is done
    // here, before a loading thread (naming the copy of a damaged file's rest) and the window
    // (formatting dates) can both ask at once.
    ::tzset();
    // The window is built while the stores load; its lists are filled once they are complete.
    StoreLoading loading = StartLoadingStores();
    m_lines.LoadDeviceMap(m_lines.DeviceMapPath());
    ReadSettings();
    m_window = std::make_unique<MainWindow>(m_lines,
        MainWindow::Stores{ m_contacts, m_speedDials, m_redial, m_callLog, m_settings, m_appSettings },
        m_prompter);
    // The telephony service is loaded while the contacts may still be loading; no callback runs
    // before the event loop does, and the lines open once the window can show them.
    m_lines.Initialize();
    loading.callLog.get();
    const std::vector<CallLogEntry> recovered = CompleteCallLog();
    loading.contacts.get();
    std::vector<fs::path> skipped = TextFileReader::SkippedFiles();
    skipped.erase(skipped.begin(), skipped.begin() + std::ptrdiff_t(skippedBefore));
    std::sort(skipped.begin(), skipped.end());
    skipped.erase(std::unique(skipped.begin(), skipped.end()), skipped.end());
    m_lines.SetMainWindow(m_window.get());
    m_lines.SetSelectCallDialogFactory(
        [this] { return std::make_unique<QtSelectCallDialog>(m_window.get()); });
    QObject::connect(m_window.get(), &MainWindow::setupRequested, m_window.get(), [this] { RunSetup(); });
    QObject::connect(
        m_window.get(), &MainWindow::pbxControlRequested, m_window.get(), [this] { RunPbxSetup(); });
    m_lines.OpenAllLines();
    // The settings file's problem as start-up met it: the window's own reads come after.
    const std::string settingsProblem = m_hive.LastError();
    m_window->show();
    m_window->Initialize();
    ShowOnDesktop();
    m_presence->CallsRecovered(recovered);
    StartLinkServer();
    m_addressBook = std::make_unique<SharedAddressBook>(
        m_contacts, m_settings, m_passwords, *m_window, m_prompter, m_dataFolder);
    m_started = true;
    // Housekeeping, once the window is up and painted.
    constexpr int kReleaseDelayMs = 2000;
    QTimer::singleShot(kReleaseDelayMs, m_window.get(), &ReleaseFreedMemory);
    // Reported once the window is up, so the lines already work while the message is read.
    QTimer::singleShot(0, m_window.get(), [this, unreadBefore, corruptBefore, settingsProblem, skipped] {
        ReportSetAsideFiles(unreadBefore, corruptBefore, settingsProblem, skipped);
        ReportLinesProblem(true);
        if (m_addressBook)
            m_addressBook->SyncSoon();
    });
    return true;
}

// The loading threads' large temporary blocks (read and sort buffers) would otherwise stay resident
// after they are freed: the C library raises its thresholds as large blocks come and go, and
// malloc_trim does not give back the free top of a thread's heap. With fixed thresholds, large
// blocks come from the heaps (no fresh pages for every one) and a free top beyond 128 KiB is
// given back at once.
void Application::KeepHeapTrimmed()
{
#ifdef __GLIBC__
    constexpr int kMapThreshold = 32 * 1024 * 1024;
    constexpr int kTrimThreshold = 128 * 1024;
    ::mallopt(M_MMAP_THRESHOLD, kMapThreshold);
    ::mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
#endif
}

// Loading and the first fills leave freed memory behind (read buffers, sort keys, the grown
// record arrays, the loading threads' heaps); the C library keeps it unless told to return it.
void Application::ReleaseFreedMemory()
{
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

bool Application::LockDataFolder()
{
    if (m_lock.TryLock())
        return true;
    m_prompter.ShowMessage(
        DataFolderLock::AlreadyRunningMessage(m_dataFolder), kTitle, Prompter::Icon::Exclamation);
    return false;
}

// The stores share nothing but the groups and labels, which only the contacts' thread changes
// (the contacts, speed dials and redial list are read in that order, as they always were).
// Nothing reads a store before its future is ready.
Application::StoreLoading Application::StartLoadingStores()
{
    StoreLoading loading;
    const auto missedViewedAt = std::uint32_t(m_settings.Read(Settings::kMissedCallsViewedAt));
    loading.callLog = std::async(std::launch::async, [this, missedViewedAt] {
        m_callLog.Load(m_dataFolder / CallLogStore::kFileName);
        m_callLog.PrepareCounts(missedViewedAt);
    });
    loading.contacts = std::async(std::launch::async, [this] {
        LoadContacts(m_contacts, m_dataFolder);
        m_speedDials.Load(m_dataFolder / SpeedDialStore::kFileName);
        m_redial.Load(m_dataFolder / RedialStore::kFileName);
        m_contacts.PrepareTreeOrder();
    });
    return loading;
}

void Application::ReadSettings()
{
    m_appSettings = AppSettings::Read(m_settings, m_dataFolder.string());
    WaveRecorder& engine = m_lines.GetSharedAudioEngine();
    engine.FindFormat(m_appSettings.recordingFormat.c_str());
    engine.SetCompression(std::uint32_t(m_appSettings.useCompression));
}

// Before the window shows the log: recordings and calls an earlier run left unfinished are in it.
// The recordings first, so that a recorded call is logged with its recording.
std::vector<CallLogEntry> Application::CompleteCallLog()
{
    m_callLog.SetDeletedFolder(m_appSettings.deletedFolder);
    RecoverRecordings(m_callLog, m_dataFolder / CallLogStore::kFileName, m_appSettings);
    return CallJournal::Replay(
        m_callLog, m_dataFolder / CallLogStore::kFileName, m_dataFolder / CallJournal::kFileName);
}

// Links reach the program once its lines are open. Without the socket it still runs; links then
// cannot reach it, and the reason is written for whoever looks.
void Application::StartLinkServer()
{
    m_links
        = std::make_unique<DialLinkServer>(m_lines, [window = m_window.get()] { window->BringToFront(); });
    if (std::string error; !m_links->Listen(error))
        std::cerr << "kestrium: " << error << std::endl;
}

void Application::ReportSetAsideFiles(const std::vector<fs::path>& unreadBefore,
    const fs::path& corruptBefore, const std::string& settingsProblem, const std::vector<fs::path>& skipped)
{
    if (m_hive.LastCorruptCopy() != corruptBefore)
        m_prompter.ShowMessage(
            CorruptRegistryMessage(m_hive.LastCorruptCopy()), kTitle, Prompter::Icon::Exclamation);
    else if (!settingsProblem.empty())
        m_prompter.ShowMessage(UnusableRegistryMessage(settingsProblem), kTitle, Prompter::Icon::Exclamation);
    for (const fs::path& copy : UnreadCopies(m_dataFolder))
        if (!std::binary_search(unreadBefore.begin(), unreadBefore.end(), copy))
            m_prompter.ShowMessage(UnreadMessage(copy), kTitle, Prompter::Icon::Exclamation);
    if (!skipped.empty())
        m_prompter.ShowMessage(SkippedMessage(skipped), kTitle, Prompter::Icon::Exclamation);
}

// Without a usable line the status bar keeps saying so; the reason is told once at start-up.
void Application::ReportLinesProblem(bool tellUser)
{
    const LineManager::LinesProblem problem = m_lines.DescribeLinesProblem();
    m_window->ShowLinesProblem(QString::fromStdString(problem.brief));
    if (tellUser && !problem.message.empty())
        m_prompter.ShowMessage(problem.message, kTitle, Prompter::Icon::Exclamation);
}

// The close box, a termination signal and the end of the desktop session all end here.
int Application::Exec(TerminationSignals& termination)
{
    QObject::connect(&termination, &TerminationSignals::terminationRequested, m_window.get(),
        &MainWindow::CloseWithoutAsking);
    // exit, not quit: quit first asks every window to close, and an incoming-call pop-up (which
    // ignores its close box) would then keep the program running.
    QObject::connect(
        m_window.get(), &MainWindow::closed, qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    // The session manager may end the process right after asking: the data is saved at once.
    if (auto* gui = qobject_cast<QGuiApplication*>(qApp))
        QObject::connect(gui, &QGuiApplication::commitDataRequest, gui, [this] { SaveStores(); });
    if (!m_window->isVisible())
        return 0;
    return QCoreApplication::exec();
}

// The tray icon and the notifications follow the window's counters and the calls it logs.
void Application::ShowOnDesktop()
{
    MainWindow* window = m_window.get();
    DesktopPresence::Actions actions{ [window] { window->BringToFront(); }, [window] { window->close(); },
        [window](std::size_t position) { window->OpenCallLogEntry(position); } };
    std::unique_ptr<NotificationSink> sink = std::move(m_notifications);
    if (!sink)
        sink = std::make_unique<DesktopNotifications>();
    m_presence = std::make_unique<DesktopPresence>(m_callLog, actions, std::move(sink));
    DesktopPresence* presence = m_presence.get();
    QObject::connect(window, &MainWindow::callLogged, presence,
        [presence](qulonglong position) { presence->CallLogged(std::size_t(position)); });
    QObject::connect(window, &MainWindow::countsShown, presence,
        [presence](qulonglong missed, qulonglong unread) { presence->ShowCounts(missed, unread); });
    presence->ShowCounts(window->MissedShown(), window->UnreadShown());
    m_cursorBlink = std::make_unique<CursorBlinkTimeout>();
}

void Application::Finish()
{
    if (!m_started)
        return;
    m_started = false;
    m_links.reset();
    m_window->hide();
    // A sync under way is finished first: the contacts it changes are saved with the rest.
    m_addressBook.reset();
    SaveStores();
    m_lines.CloseAllLines();
    m_lines.Shutdown();
    m_lines.SetMainWindow(nullptr);
    m_cursorBlink.reset();
    m_presence.reset();
    m_window.reset();
    m_lock.Unlock();
}

// Save changes AppSettings in memory and may close and reopen every line.
void Application::RunSetup()
{
    SetupContext context{ m_lines, m_settings, m_appSettings, m_prompter, &m_passwords };
    const SetupAudioPageFactories audioPages = MakeSetupAudioPages();
    SetupDialog dialog(context, audioPages.callRecording, audioPages.voiceMail, m_window.get());
    if (dialog.exec() == QDialog::Accepted && m_addressBook)
        m_addressBook->AccountChanged();
    m_window->RefreshLines();
    ReportLinesProblem(false);
}

void Application::RunPbxSetup()
{
    PbxSetupDialog dialog(m_window.get());
    dialog.exec();
}

void Application::SaveStores()
{
    SaveContacts(m_contacts, m_dataFolder);
    m_speedDials.Save(m_dataFolder / SpeedDialStore::kFileName);
    m_redial.Save(m_dataFolder / RedialStore::kFileName);
    m_callLog.Save(m_dataFolder / CallLogStore::kFileName);
    m_lines.SaveDeviceMap(m_lines.DeviceMapPath());
}
