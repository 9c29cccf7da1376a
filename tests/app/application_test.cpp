#include "app/application.h"
#include "audio/recording_file.h"
#include "platform/registry.h"
#include "store/call_journal.h"
#include "store/data_folder.h"
#include "store/recording_path.h"
#include "store/speed_dial_store.h"
#include "store/unlogged_recording.h"
#include "support/little_endian.h"
#include "support/temp_dir.h"
#include "tapi/include/tapisim.h"
#include "telephony/support/recording_notifications.h"
#include "telephony/support/scripted_prompter.h"
#include "ui/main/main_window.h"
#include "ui/panels/call_log_model.h"
#include "ui/panels/call_log_panel.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/contacts_panel.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

namespace {

constexpr const char* kSavedFiles[] = { "KestriumContacts200.csv", "KestriumSpeedDial200.csv",
    "KestriumRedialList200.csv", "KestriumCallLog.csv", "KestriumDevices.csv" };

// A data folder and a registry of its own; the application runs on the exchange's manual clock.
class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK); }
    void TearDown() override { tapisimReset(); }

    // Its notifications are recorded, away from the desktop.
    std::unique_ptr<Application> Make(Prompter& prompter)
    {
        auto app = std::make_unique<Application>(m_dir.Path(), m_hive, prompter);
        auto sink = std::make_unique<RecordingSink>();
        m_notifications = sink.get();
        app->UseNotifications(std::move(sink));
        return app;
    }
    std::unique_ptr<Application> Make() { return Make(m_prompter); }
    fs::path Path(const char* name) const { return m_dir / name; }

    testing_support::TempDir m_dir;
    testing_support::TempDir m_config;
    platform::RegistryHive m_hive{ m_config / "registry.reg" };
    ScriptedPrompter m_prompter;
    // The notifications of the application made last; it owns them.
    RecordingSink* m_notifications = nullptr;
};

TEST_F(ApplicationTest, FirstStartInAnEmptyFolderWritesTheFiveDataFilesAndStaysOutOfTheDialerRole)
{
    auto app = Make();
    ASSERT_TRUE(app->Start());
    for (const char* folder : { "CallRecordings", "MiscRecordings", "Deleted", "VoiceMail" })
        EXPECT_TRUE(fs::is_directory(Path(folder))) << folder;
    EXPECT_EQ(app->GetAppSettings().greetingFile, (m_dir / "MiscRecordings" / "ogm.wav").string());
    EXPECT_TRUE(app->Lines().GetLineSlot(0).IsOpen()) << "the lines are paired and opened";
    EXPECT_TRUE(app->Window()->isVisible());
    app->Finish();

    for (const char* name : kSavedFiles)
        EXPECT_TRUE(fs::exists(Path(name))) << name;
    EXPECT_FALSE(fs::exists(Path("KestriumContactGroups.csv")));
    EXPECT_FALSE(fs::exists(Path("KestriumPhoneLabels.csv")));
    EXPECT_FALSE(fs::exists(Path(Application::kLockFileName)));
    EXPECT_EQ(ReadBytes(Path("KestriumDevices.csv")).rfind("\"Zo-Linka Line 1\"", 0), 0u);
    // Before the program's key existed, the dialer setting read 0; it is stored so.
    const auto dialer = m_hive.Query("SOFTWARE\\Brindlex\\Kestrium\\", "IsSystemDialer");
    ASSERT_TRUE(dialer.has_value());
    EXPECT_EQ(dialer->data, std::vector<std::uint8_t>({ 0, 0, 0, 0 }));
    EXPECT_TRUE(m_prompter.messages.empty());
}

TEST_F(ApplicationTest, DataFilesComeBackByteForByteWhenNothingChanged)
{
    std::string contact = "\"Family\",\"John\",\"Smith\",\"\",\"\",\"\",\"John Smith (Mobile)\",\"2\"";
    const int labels[] = { 0, 1, 2, 12, 11, 5, 8, 7, 3, 4 };
    for (int slot = 0; slot < 10; ++slot)
        contact += std::string(",\"") + (slot == 2 ? "555 2" : "") + "\",\"" + std::to_string(labels[slot])
            + "\"";
    contact += ",\"1 Main St\",\"\",\"Springfield\",\"\",\"\",\"\",\"Met at \"\"Joe's\"\"\"\r\n";
    WriteBytes(Path("KestriumContacts200.csv"), contact);
    {
        auto app = Make();
        ASSERT_TRUE(app->Start());
        app->Finish();
    }
    EXPECT_EQ(ReadBytes(Path("KestriumContacts200.csv")), contact);
    std::map<std::string, std::string> first;
    for (const char* name : kSavedFiles)
        first[name] = ReadBytes(Path(name));
    {
        auto app = Make();
        ASSERT_TRUE(app->Start());
        app->Finish();
    }
    for (const char* name : kSavedFiles)
        EXPECT_EQ(ReadBytes(Path(name)), first[name]) << name;
}

// A second Kestrium on the same folder would overwrite the first one's files at its exit.
TEST_F(ApplicationTest, SecondKestriumOnTheSameDataFolderIsRefusedAndTouchesNothing)
{
    auto first = Make();
    ASSERT_TRUE(first->Start());
    fs::remove(Path("KestriumDevices.csv"));

    ScriptedPrompter secondPrompter;
    auto second = Make(secondPrompter);
    EXPECT_FALSE(second->Start());
    second->Finish();
    ASSERT_EQ(secondPrompter.messages.size(), 1u);
    EXPECT_NE(secondPrompter.messages[0].text.find("already running"), std::string::npos);
    EXPECT_NE(secondPrompter.messages[0].text.find(m_dir.Path().string()), std::string::npos);
    EXPECT_FALSE(fs::exists(Path("KestriumDevices.csv"))) << "the refused one saved nothing";

    first->Finish();
    EXPECT_TRUE(fs::exists(Path("KestriumDevices.csv")));
    EXPECT_TRUE(Make(secondPrompter)->Start()) << "the folder is free again";
}

TEST_F(ApplicationTest, DamagedSettingsAndDataFilesAreReportedOnceNamingTheirCopies)
{
    WriteBytes(m_hive.Path(), "this is not a registry file");
    WriteBytes(Path("KestriumCallLog.csv"), "\"unterminated");
    for (int run = 0; run < 2; ++run) {
        auto app = Make();
        ASSERT_TRUE(app->Start());
        QCoreApplication::processEvents();
        app->Finish();
    }
    ASSERT_EQ(m_prompter.messages.size(), 2u) << "reported once, not at every start";
    const std::string& settings = m_prompter.messages[0].text;
    EXPECT_NE(settings.find("default settings"), std::string::npos);
    EXPECT_NE(settings.find(m_hive.LastCorruptCopy().string()), std::string::npos);
    EXPECT_TRUE(fs::exists(m_hive.LastCorruptCopy()));
    const std::string& log = m_prompter.messages[1].text;
    EXPECT_NE(log.find("\"KestriumCallLog.csv\""), std::string::npos);
    EXPECT_NE(log.find(".unread-"), std::string::npos);
    EXPECT_EQ(m_prompter.messages[1].title, "Kestrium");
}

// A pipe or a link to an endless device as a data file: start-up neither waits on it nor reads it,
// and says once which files it skipped.
TEST_F(ApplicationTest, PipeAndDeviceAsDataFilesAreSkippedAndReportedOnce)
{
    ASSERT_EQ(::mkfifo(Path("KestriumCallLog.csv").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", Path("KestriumContacts200.csv"));
    ::alarm(60); // a start-up that waits on the pipe ends the test instead of hanging it
    auto app = Make();
    ASSERT_TRUE(app->Start());
    QCoreApplication::processEvents();
    ::alarm(0);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    const std::string& message = m_prompter.messages[0].text;
    EXPECT_NE(message.find(Path("KestriumCallLog.csv").string()), std::string::npos) << message;
    EXPECT_NE(message.find(Path("KestriumContacts200.csv").string()), std::string::npos) << message;
    EXPECT_NE(message.find("not regular files"), std::string::npos) << message;
    EXPECT_TRUE(app->Window()->isVisible());
    app->Finish();
    // Saving does not replace them either.
    EXPECT_TRUE(fs::is_fifo(Path("KestriumCallLog.csv")));
    EXPECT_TRUE(fs::is_symlink(Path("KestriumContacts200.csv")));
    EXPECT_TRUE(fs::is_character_file("/dev/zero"));
}

// A save killed half-way leaves its temporary file; the next start removes those of processes that
// are gone, and nothing else.
TEST_F(ApplicationTest, StaleTemporaryFilesOfDeadProcessesAreRemovedAtStartUp)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(::getpid());
    const std::string stale = "KestriumCallLog.csv.tmp-" + dead + "-0";
    WriteBytes(Path(stale.c_str()), std::string(100000, 'x'));
    const std::vector<std::string> kept = { "KestriumContacts200.csv.tmp-" + alive + "-3",
        "notes.txt.tmp-" + dead + "-0", "KestriumCallLog.csv.tmp-" + dead + "-x",
        "KestriumCallLog.csv.tmp-" + dead, "Kestrium Call.csv.tmp-" + dead + "-1" };
    for (const std::string& name : kept)
        WriteBytes(Path(name.c_str()), "kept");
    fs::create_symlink(Path(kept[1].c_str()), Path(("KestriumRedialList200.csv.tmp-" + dead + "-2").c_str()));
    auto app = Make();
    ASSERT_TRUE(app->Start());
    EXPECT_FALSE(fs::exists(Path(stale.c_str())));
    for (const std::string& name : kept)
        EXPECT_EQ(ReadBytes(Path(name.c_str())), "kept") << name;
    EXPECT_TRUE(fs::is_symlink(Path(("KestriumRedialList200.csv.tmp-" + dead + "-2").c_str())));
    app->Finish();
}

// A settings file the user made read-only is kept as it is, and the user learns that changes
// are not kept.
TEST_F(ApplicationTest, ReadOnlySettingsFileIsKeptAndReported)
{
    SettingsStore(m_hive).Write(Settings::kVoicemailOn, 0);
    const std::string before = ReadBytes(m_hive.Path());
    fs::permissions(m_hive.Path(), fs::perms::owner_read, fs::perm_options::replace);
    auto app = Make();
    ASSERT_TRUE(app->Start());
    QCoreApplication::processEvents();
    app->Finish();
    EXPECT_EQ(app->GetAppSettings().voiceMailOn, 0) << "what could be read is used";
    EXPECT_EQ(ReadBytes(m_hive.Path()), before);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_NE(m_prompter.messages[0].text.find("is read-only"), std::string::npos)
        << m_prompter.messages[0].text;
    EXPECT_NE(m_prompter.messages[0].text.find("not kept"), std::string::npos);
}

// A recording as the recorder leaves it when the program ends while it writes: a header whose
// sizes are those of its last update (`counted` bytes), and `bytes` bytes of audio behind it.
void WriteRecording(const fs::path& file, std::uint32_t counted, std::uint32_t bytes)
{
    using testing_support::Le16;
    using testing_support::Le32;
    const std::string pcm = Le16(1) + Le16(1) + Le32(8000) + Le32(16000) + Le16(2) + Le16(16) + Le16(0);
    WriteBytes(file,
        "RIFF" + Le32(counted + 82) + "WAVEfmt " + Le32(50) + pcm + std::string(32, '\0') + "fact" + Le32(4)
            + Le32(0) + "data" + Le32(counted) + std::string(bytes, '\x11'));
}

// The file was last written at `time`.
void SetLastWritten(const fs::path& file, std::time_t time)
{
    const timeval times[2] = { { time, 0 }, { time, 0 } };
    ASSERT_EQ(::utimes(file.c_str(), times), 0);
}

CallLogEntry Caller(const char* name, const char* number, std::int32_t type, const fs::path& recording)
{
    CallLogEntry entry;
    entry.startTime = CallTime{ 2026, 3, 4, 9, 59, 0 };
    entry.endTime = entry.startTime;
    entry.callerName = name;
    entry.number = number;
    entry.type = type;
    entry.recordingPath = RecordingPath::FromLocalFile(recording, true);
    return entry;
}

// Recordings an earlier run left unfinished are repaired and logged before the window shows the
// log; finished and logged ones are left as they are, and nothing is logged twice.
TEST_F(ApplicationTest, StartUpRepairsAndLogsRecordingsThatAnEarlierRunLeftUnfinished)
{
    const fs::path voiceMail = m_dir / "VoiceMail";
    const fs::path calls = m_dir / "CallRecordings";
    fs::create_directory(voiceMail);
    fs::create_directory(calls);
    const CallTime lastWrite{ 2026, 3, 4, 10, 0, 0 };
    const std::time_t lastWriteT = *lastWrite.ToTimeT();
    // A message with its marker, cut 5,001 bytes after its last update.
    const fs::path message = voiceMail / "Kes0001.wav";
    WriteRecording(message, 11000, 16001);
    ASSERT_TRUE(UnloggedRecording::Mark(message, Caller("Ann Lee", "5551111", kCallTypeVoicemail, message)));
    SetLastWritten(message, lastWriteT);
    // A message whose marker could not be written: its sizes tell.
    const fs::path anonymous = voiceMail / "Kes0002.wav";
    WriteRecording(anonymous, 0, 32000);
    SetLastWritten(anonymous, lastWriteT);
    // A finished message whose log entry the user removed for good: left alone.
    const fs::path finished = voiceMail / "Kes0003.wav";
    WriteRecording(finished, 1600, 1600);
    const std::string finishedBytes = ReadBytes(finished);
    // A call recording logged already (the log was saved at exit, its marker stayed).
    const fs::path logged = calls / "Kes0004.wav";
    WriteRecording(logged, 8000, 8000);
    ASSERT_TRUE(UnloggedRecording::Mark(logged, Caller("Bo", "5554444", kCallTypeOutgoing, logged)));
    CallLogStore before;
    before.Append(Caller("Bo", "5554444", kCallTypeOutgoing, logged));
    ASSERT_TRUE(before.Save(m_dir.Path() / CallLogStore::kFileName));
    // A call recording cut off without its marker, and a marker whose recording is gone.
    const fs::path call = calls / "Kes0005.wav";
    WriteRecording(call, 0, 8000);
    SetLastWritten(call, lastWriteT);
    WriteBytes(calls / "Kes0006.wav.unlogged", "x");

    auto app = Make();
    ASSERT_TRUE(app->Start());
    app->Finish();

    CallLogStore log;
    log.Load(m_dir.Path() / CallLogStore::kFileName);
    ASSERT_EQ(log.Count(), 4u);
    const auto entryOf = [&](const fs::path& file) -> const CallLogEntry* {
        for (std::size_t i = 0; i < log.Count(); ++i)
            if (RecordingPath::ToLocalFile(log.GetAt(i)->recordingPath) == file)
                return log.GetAt(i);
        return nullptr;
    };
    const CallLogEntry* ann = entryOf(message);
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(ann->callerName, "Ann Lee");
    EXPECT_EQ(ann->number, "5551111");
    EXPECT_EQ(ann->type, kCallTypeVoicemail);
    EXPECT_TRUE(ann->IsUnheard());
    EXPECT_EQ(ann->startTime, (CallTime{ 2026, 3, 4, 9, 59, 0 })) << "kept from the start";
    EXPECT_EQ(ann->endTime, lastWrite) << "the file's last write";
    const CallLogEntry* unknown = entryOf(anonymous);
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->number, "Unknown");
    EXPECT_EQ(unknown->type, kCallTypeVoicemail);
    EXPECT_TRUE(unknown->IsUnheard());
    EXPECT_EQ(unknown->DurationText(), "00:00:02") << "32,000 bytes of audio before the last write";
    const CallLogEntry* recorded = entryOf(call);
    ASSERT_NE(recorded, nullptr);
    EXPECT_EQ(recorded->type, kCallTypeIncoming);
    EXPECT_EQ(entryOf(finished), nullptr);

    using testing_support::Le32;
    EXPECT_EQ(ReadBytes(message).substr(82, 8), "data" + Le32(16000)) << "whole samples, nothing cut off";
    EXPECT_EQ(ReadBytes(message).substr(4, 4), Le32(16082));
    EXPECT_EQ(fs::file_size(message), 16091u);
    EXPECT_EQ(ReadBytes(anonymous).substr(82, 8), "data" + Le32(32000));
    EXPECT_EQ(ReadBytes(finished), finishedBytes);
    for (const fs::path& folder : { voiceMail, calls })
        for (const auto& item : fs::directory_iterator(folder))
            EXPECT_NE(item.path().extension(), ".unlogged") << item.path();

    // The next start finds nothing more to do.
    auto again = Make();
    ASSERT_TRUE(again->Start());
    again->Finish();
    log.Load(m_dir.Path() / CallLogStore::kFileName);
    EXPECT_EQ(log.Count(), 4u);
    EXPECT_EQ(RecordingFile::Repair(message.string()).result, RecordingFile::RepairResult::Finished);
}

// The calls an earlier run was killed in the middle of are logged before the window shows the log:
// a recorded one once, with its recording (repaired by the recordings' recovery), one logged
// already not again, and the journal goes. A missed one is announced, once.
TEST_F(ApplicationTest, StartUpLogsTheCallsAKilledRunLeftInProgress)
{
    const fs::path voiceMail = m_dir / "VoiceMail";
    fs::create_directory(voiceMail);
    const fs::path message = voiceMail / "Kes0001.wav";
    WriteRecording(message, 0, 16000);
    const CallLogEntry recorded = Caller("Ann Lee", "5551111", kCallTypeVoicemail, message);
    ASSERT_TRUE(UnloggedRecording::Mark(message, recorded));
    CallLogEntry missed = Caller("Rita Ring", "5552222", kCallTypeMissed, {});
    missed.recordingPath.clear();
    CallLogEntry talked = Caller("Tom Talk", "5553333", kCallTypeIncoming, {});
    talked.recordingPath.clear();
    talked.endTime = CallTime{ 2026, 3, 4, 10, 1, 30 };
    CallLogStore journal;
    for (const CallLogEntry& entry : { recorded, missed, talked })
        journal.Append(entry);
    ASSERT_TRUE(journal.Save(m_dir.Path() / CallJournal::kFileName));
    CallLogStore before;
    before.Append(talked);
    ASSERT_TRUE(before.Save(m_dir.Path() / CallLogStore::kFileName));

    auto app = Make();
    ASSERT_TRUE(app->Start());
    // The missed call is announced as one missed while the program runs.
    ASSERT_EQ(m_notifications->shown.size(), 1u);
    EXPECT_EQ(m_notifications->shown[0].summary, "Missed call");
    EXPECT_EQ(m_notifications->shown[0].body, "From Rita Ring, 5552222");
    app->Finish();
    auto again = Make();
    ASSERT_TRUE(again->Start());
    EXPECT_TRUE(m_notifications->shown.empty()) << "announced once";
    again->Finish();

    EXPECT_FALSE(fs::exists(m_dir.Path() / CallJournal::kFileName));
    CallLogStore log;
    log.Load(m_dir.Path() / CallLogStore::kFileName);
    ASSERT_EQ(log.Count(), 3u);
    std::map<std::string, const CallLogEntry*> byName;
    for (std::size_t i = 0; i < log.Count(); ++i)
        byName[log.GetAt(i)->callerName] = log.GetAt(i);
    ASSERT_EQ(byName.size(), 3u) << "each call once";
    EXPECT_EQ(byName["Ann Lee"]->type, kCallTypeVoicemail);
    EXPECT_EQ(RecordingPath::ToLocalFile(byName["Ann Lee"]->recordingPath), message);
    EXPECT_EQ(byName["Rita Ring"]->type, kCallTypeMissed);
    EXPECT_EQ(byName["Rita Ring"]->endTime, missed.startTime);
    EXPECT_EQ(byName["Tom Talk"]->DurationText(), "00:02:30");
}

// The call lists are filled after the journal's calls are logged, not from the file alone.
TEST_F(ApplicationTest, StartUpListsTheCallsAKilledRunLeftInProgress)
{
    CallLogEntry missed = Caller("Rita Ring", "5552222", kCallTypeMissed, {});
    missed.recordingPath.clear();
    CallLogStore journal;
    journal.Append(missed);
    ASSERT_TRUE(journal.Save(m_dir.Path() / CallJournal::kFileName));
    CallLogStore before;
    before.Append(Caller("Tom Talk", "5553333", kCallTypeIncoming, {}));
    ASSERT_TRUE(before.Save(m_dir.Path() / CallLogStore::kFileName));

    auto app = Make();
    ASSERT_TRUE(app->Start());
    EXPECT_EQ(app->Window()->CallLogPage()->Model()->rowCount(), 2);
    EXPECT_EQ(app->Window()->VoiceMailPage()->Model()->rowCount(), 0);
    EXPECT_EQ(app->Window()->MissedCallsCount()->text(), "1");
    app->Finish();
}

// The stores load on threads while the window is built; what the window shows once it is up is
// every store as saved: the contacts in their tree order (the one prepared while loading, which
// the first fill leaves in place), the speed dials, and the calls with the voice messages (their
// pages filled when first shown).
TEST_F(ApplicationTest, WindowShowsEveryStoreLoadedBesideItsConstruction)
{
    {
        ContactStore contacts = OpenContactStore(m_dir.Path());
        for (const char* name : { "Zoe", "Ann", "Bob" }) {
            ContactRecord record;
            record.SetFirstName(name);
            record.SetNumber(0, "555 0100");
            ASSERT_TRUE(contacts.Append(record));
        }
        ASSERT_TRUE(SaveContacts(contacts, m_dir.Path()));
        SpeedDialStore speedDials(contacts.Groups(), contacts.Labels());
        speedDials.SetSlot(2, *contacts.GetAt(1));
        ASSERT_TRUE(speedDials.Save(m_dir.Path() / SpeedDialStore::kFileName));
        CallLogStore log;
        log.Append(Caller("Tom Talk", "5553333", kCallTypeIncoming, {}));
        log.Append(Caller("Vera Voice", "5554444", kCallTypeVoicemail, {}));
        ASSERT_TRUE(log.Save(m_dir.Path() / CallLogStore::kFileName));
    }

    auto app = Make();
    ASSERT_TRUE(app->Start());
    const ContactsPanel& contacts = *app->Window()->Contacts();
    std::vector<std::string> rows;
    for (int row = 0; row < contacts.Model()->rowCount(); ++row)
        rows.push_back(contacts.Model()->index(row, 0).data().toString().toStdString());
    EXPECT_EQ(rows,
        (std::vector<std::string>{
            "(double-click here to add a new contact...)", "Ann (Home)", "Bob (Home)", "Zoe (Home)" }));
    EXPECT_EQ(contacts.Counter()->text(), "Total: 3");
    EXPECT_TRUE(app->Contacts().HasPreparedTreeOrder());
    EXPECT_TRUE(contacts.SpeedButton(2)->accessibleName().contains("Ann"))
        << contacts.SpeedButton(2)->accessibleName().toStdString();
    // The voice mail page is filled once it shows, the call log page once its list is asked for.
    EXPECT_EQ(app->Window()->VoiceMailPage()->List()->model()->rowCount(), 0) << "not filled while hidden";
    app->Window()->ShowTab(MainWindow::kVoiceMailTab);
    EXPECT_EQ(app->Window()->VoiceMailPage()->List()->model()->rowCount(), 1);
    EXPECT_EQ(app->Window()->CallLogPage()->Model()->rowCount(), 2);
    app->Finish();
}

} // namespace
