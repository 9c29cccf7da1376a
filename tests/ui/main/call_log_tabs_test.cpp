// The call log and voice mail tabs, their player and the call details dialog, in the running
// application on the simulated exchange's manual clock, with real files.
#include "running_app.h"

#include "audio/sound_file.h"
#include "audio/wave_recorder.h"
#include "store/call_log_store.h"
#include "store/contact_store.h"
#include "store/recording_path.h"
#include "telephony/line_manager.h"
#include "ui/desktop/desktop_presence.h"
#include "ui/panels/call_details_dialog.h"
#include "ui/panels/call_log_model.h"
#include "ui/panels/call_log_panel.h"
#include "ui/panels/contact_dialog.h"
#include "ui/panels/playback_controls.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using State = PlaybackControls::State;

namespace {

CallLogEntry Entry(const std::string& name, int type, int day, const std::string& recording = {})
{
    CallLogEntry entry;
    entry.startTime = { 2026, 12, day, 10, 0, 0 };
    entry.endTime = { 2026, 12, day, 10, 1, 5 };
    entry.callerName = name;
    entry.number = "555" + std::to_string(1000 + day);
    entry.recordingPath = recording;
    entry.type = type;
    return entry;
}

std::vector<std::string> Shown(CallLogPanel& page)
{
    std::vector<std::string> names;
    const CallLogModel& model = *page.Model();
    for (int row = 0; row < model.rowCount(); ++row)
        names.push_back(model.index(row, 0).data().toString().toStdString());
    return names;
}

void Select(CallLogPanel& page, const std::string& name)
{
    const CallLogModel& model = *page.Model();
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, 0).data().toString().toStdString() == name) {
            page.List()->setCurrentIndex(model.index(row, 0));
            return;
        }
    ADD_FAILURE() << name << " is not shown";
}

// The menu's item texts, "" for a separator.
std::vector<std::string> Items(QMenu& menu)
{
    std::vector<std::string> texts;
    for (QAction* action : menu.actions())
        texts.push_back(action->text().toStdString());
    return texts;
}

void Choose(QMenu& menu, const std::string& text)
{
    for (QAction* action : menu.actions())
        if (action->text().toStdString() == text) {
            action->trigger();
            return;
        }
    ADD_FAILURE() << "no menu item " << text;
}

class CallLogTabsTest : public RunningApp {
protected:
    void WriteLog(const std::vector<CallLogEntry>& entries)
    {
        CallLogStore store;
        for (const CallLogEntry& entry : entries)
            store.Append(entry);
        ASSERT_TRUE(store.Save(m_dir.Path() / CallLogStore::kFileName));
    }
    CallLogStore LogOnDisk() const
    {
        CallLogStore store;
        store.Load(m_dir.Path() / CallLogStore::kFileName);
        return store;
    }
    const CallLogEntry* FindOnDisk(const CallLogStore& store, const std::string& name) const
    {
        for (std::size_t i = 0; i < store.Count(); ++i)
            if (store.GetAt(i)->callerName == name)
                return store.GetAt(i);
        return nullptr;
    }
    // A recording of `ms` milliseconds in the data folder, as its unheard (or heard) URI.
    std::string Recording(const std::string& name, int ms, bool unheard = true)
    {
        const fs::path file = m_dir / name;
        EXPECT_TRUE(testing_support::WriteSoundFile(
            file.string(), std::vector<std::int16_t>(std::size_t(ms * 8), 900)));
        return RecordingPath::FromLocalFile(file, unheard);
    }
    void ChooseMenu(CallLogPanel& page, bool typeMenu, const std::string& text)
    {
        std::unique_ptr<QMenu> menu(typeMenu ? page.CreateTypeMenu(nullptr) : page.CreateEntryMenu(nullptr));
        Choose(*menu, text);
    }
    void PlayTo(PlaybackControls& player, const char* device)
    {
        const int index = player.PlayTo()->findText(device);
        ASSERT_GE(index, 0) << device;
        player.PlayTo()->setCurrentIndex(index);
    }
    // Runs `act` on the modal dialog of type T that the next step opens.
    template <typename T> void WhenOpened(std::function<void(T&)> act)
    {
        QTimer::singleShot(0, [act] {
            auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
    }
};

TEST_F(CallLogTabsTest, FiltersMenusDeleteAndRestoreOnBothTabs)
{
    WriteLog({ Entry("Ann", kCallTypeMissed, 1), Entry("Bob", kCallTypeIncoming, 2),
        Entry("Cid", kCallTypeOutgoing, 3), Entry("Dee", kCallTypeVoicemail, 4, "file:///dee.wav"),
        Entry("Eve", kCallTypeVoicemail, 5, "File:///eve.wav"),
        Entry("Fay", kCallTypeVoicemail | kDeletedFlag, 6, "file:///fay.wav"),
        Entry("Gus", kCallTypeConference, 7) });
    MainWindow& window = Start();
    CallLogPanel& log = *window.CallLogPage();
    CallLogPanel& mail = *window.VoiceMailPage();
    EXPECT_EQ(log.TypeLabel()->text(), "All");
    EXPECT_EQ(Shown(log), (std::vector<std::string>{ "Gus", "Eve", "Dee", "Cid", "Bob", "Ann" }));
    EXPECT_EQ(Shown(mail), (std::vector<std::string>{ "Eve", "Dee" })) << "a deleted message stays out";
    std::unique_ptr<QMenu> typeMenu(log.CreateTypeMenu(nullptr));
    EXPECT_EQ(Items(*typeMenu),
        (std::vector<std::string>{ "All", "", "Incoming", "Outgoing", "Missed", "", "Voicemail",
            "Unread Voicemail", "", "Deleted" }));

    const struct {
        const char* command;
        const char* label;
        std::vector<std::string> shown;
    } kFilters[] = { { "Unread Voicemail", "Unread voicemail", { "Eve" } },
        { "Voicemail", "Voicemail", { "Eve", "Dee" } }, { "Incoming", "Incoming", { "Bob" } },
        { "Outgoing", "Outgoing", { "Cid" } }, { "Missed", "Missed", { "Ann" } },
        { "Deleted", "Deleted", { "Fay" } } };
    for (const auto& filter : kFilters) {
        ChooseMenu(log, true, filter.command);
        EXPECT_EQ(log.TypeLabel()->text(), filter.label);
        EXPECT_EQ(Shown(log), filter.shown) << filter.command;
    }
    std::unique_ptr<QMenu> deletedMenu(log.CreateEntryMenu(nullptr));
    EXPECT_EQ(Items(*deletedMenu), (std::vector<std::string>{ "&Restore", "", "Delete &permanently" }));
    std::unique_ptr<QMenu> mailMenu(mail.CreateEntryMenu(nullptr));
    EXPECT_EQ(Items(*mailMenu),
        (std::vector<std::string>{ "&Call", "De&tails...", "", "&Save to contact...", "&Delete" }));

    Select(log, "Fay");
    ChooseMenu(log, false, "&Restore");
    EXPECT_TRUE(Shown(log).empty());
    EXPECT_EQ(FindOnDisk(LogOnDisk(), "Fay")->type, kCallTypeVoicemail) << "saved at once";
    EXPECT_EQ(Shown(mail), (std::vector<std::string>{ "Fay", "Eve", "Dee" }));

    // Deleted from the Missed view: under Deleted with its type kept, and back by Restore.
    ChooseMenu(log, true, "Missed");
    Select(log, "Ann");
    m_prompter.answers = { false, true };
    ChooseMenu(log, false, "&Delete");
    EXPECT_EQ(Shown(log), std::vector<std::string>{ "Ann" }) << "No keeps the entry";
    ChooseMenu(log, false, "&Delete");
    EXPECT_TRUE(Shown(log).empty());
    ASSERT_EQ(m_prompter.questions.size(), 2u);
    EXPECT_EQ(m_prompter.questions[1].text, "Are you sure ?");
    EXPECT_EQ(m_prompter.questions[1].title, "Delete entry");
    EXPECT_EQ(FindOnDisk(LogOnDisk(), "Ann")->type, kCallTypeMissed | kDeletedFlag);
    ChooseMenu(log, true, "Deleted");
    Select(log, "Ann");
    ChooseMenu(log, false, "&Restore");
    ChooseMenu(log, true, "Missed");
    EXPECT_EQ(Shown(log), std::vector<std::string>{ "Ann" });

    // Deleted on the voice mail tab: gone there, and the call log tab shows all entries.
    Select(mail, "Dee");
    m_prompter.answers = { true };
    ChooseMenu(mail, false, "&Delete");
    EXPECT_EQ(Shown(mail), (std::vector<std::string>{ "Fay", "Eve" }));
    EXPECT_EQ(log.TypeLabel()->text(), "All");
    EXPECT_EQ(Shown(log), (std::vector<std::string>{ "Gus", "Fay", "Eve", "Cid", "Bob", "Ann" }));
    ChooseMenu(log, true, "Deleted");
    EXPECT_EQ(Shown(log), std::vector<std::string>{ "Dee" });
}

TEST_F(CallLogTabsTest, DeletePermanentlyArchivesTheRecordingAndSaveToContactSplitsTheName)
{
    const std::string recording = Recording("hal.wav", 200, false);
    WriteLog({ Entry("Hal Jordan Jr", kCallTypeIncoming | kDeletedFlag, 3, recording),
        Entry("Cher", kCallTypeMissed, 4) });
    MainWindow& window = Start();
    CallLogPanel& log = *window.CallLogPage();
    const CallLogEntry archived = *LogOnDisk().GetAt(0);

    ChooseMenu(log, true, "Deleted");
    Select(log, "Hal Jordan Jr");
    m_prompter.answers = { true };
    ChooseMenu(log, false, "Delete &permanently");
    EXPECT_EQ(m_prompter.questions.back().text, "Are you sure you want to delete permanently ?");
    EXPECT_EQ(LogOnDisk().Count(), 1u);
    const fs::path copy
        = fs::path(m_app->GetAppSettings().deletedFolder) / CallLogStore::ArchiveName(archived);
    EXPECT_TRUE(fs::exists(copy)) << copy;
    EXPECT_TRUE(fs::exists(m_dir / "hal.wav")) << "the recording itself stays";

    ChooseMenu(log, true, "All");
    Select(log, "Cher");
    WhenOpened<ContactDialog>([](ContactDialog& dialog) {
        EXPECT_EQ(dialog.Edit(ContactField::FirstName)->text(), "Cher");
        EXPECT_TRUE(dialog.Edit(ContactField::LastName)->text().isEmpty());
        EXPECT_EQ(dialog.NumberEdit(0)->text(), "5551004");
        dialog.Edit(ContactField::LastName)->setText("Sarkisian");
        dialog.accept();
    });
    ChooseMenu(log, false, "&Save to contact...");
    ContactStore contacts;
    contacts.Load(m_dir.Path() / ContactStore::kFileName);
    ASSERT_EQ(contacts.Count(), 1u);
    EXPECT_EQ(contacts.GetAt(0)->FirstName(), "Cher");
    EXPECT_EQ(contacts.GetAt(0)->Number(0), "5551004");
}

TEST_F(CallLogTabsTest, MissedCounterCountsOnlyEntriesNewerThanTheLastView)
{
    // Next year: the stamps are 32-bit counts that wrap every 74 years or so.
    CallLogEntry future = Entry("Later", kCallTypeMissed, 1);
    future.startTime.year = CallTime::Now().year + 1;
    CallLogEntry futureMessage = Entry("Message", kCallTypeVoicemail, 2, "file:///m.wav");
    futureMessage.startTime.year = future.startTime.year;
    WriteLog({ Entry("Earlier", kCallTypeMissed, 1), future, futureMessage,
        Entry("Answered", kCallTypeIncoming, 3) });
    m_settings.Write(Settings::kStartInTab, 1);
    MainWindow& window = Start();
    EXPECT_EQ(window.MissedCallsCount()->text(), "3");
    window.ShowTab(MainWindow::kCallLogTab);
    EXPECT_EQ(window.MissedCallsCount()->text(), "2") << "only the entries after now";
    const auto viewed = std::uint32_t(m_settings.Read(Settings::kMissedCallsViewedAt));
    EXPECT_NEAR(double(viewed), double(MissedCallStamp(CallTime::Now())), 5.0);
}

TEST_F(CallLogTabsTest, PlayerMarksHeardPausesRewindsAndStopsWhenTheHandsetGoesDown)
{
    WriteLog({ Entry("Eve", kCallTypeVoicemail, 5, Recording("eve.wav", 3000)),
        Entry("Zed", kCallTypeVoicemail, 6, Recording("empty.wav", 0, false)),
        Entry("Ann", kCallTypeMissed, 7) });
    MainWindow& window = Start();
    window.ShowTab(MainWindow::kVoiceMailTab);
    CallLogPanel& mail = *window.VoiceMailPage();
    PlaybackControls& player = *mail.Player();
    EXPECT_FALSE(player.PlayButton()->isEnabled()) << "nothing selected";
    EXPECT_EQ(window.VoiceMailCount()->text(), "1");

    Select(mail, "Eve");
    EXPECT_TRUE(player.PlayButton()->isEnabled());
    EXPECT_TRUE(player.DeleteButton()->isEnabled());
    EXPECT_FALSE(player.StopButton()->isEnabled());
    PlayTo(player, "Zo-Linka Line 3");
    QTest::mouseClick(player.PlayButton(), Qt::LeftButton);
    ASSERT_EQ(player.GetState(), State::Playing);
    EXPECT_EQ(player.PhoneLine(), 2);
    EXPECT_EQ(player.PlayButton()->property("iconId").toInt(), 271) << "the pause face";
    EXPECT_FALSE(player.DeleteButton()->isEnabled());
    EXPECT_FALSE(player.PlayTo()->isEnabled());
    EXPECT_EQ(window.VoiceMailCount()->text(), "0");
    EXPECT_EQ(FindOnDisk(LogOnDisk(), "Eve")->recordingPath.front(), 'f') << "heard, and saved";
    EXPECT_EQ(m_settings.Read(Settings::kPlayTo), "Zo-Linka Line 3");
    EXPECT_EQ(QApplication::focusWidget(), mail.List()) << "the list keeps the focus";

    Advance(1000);
    player.Tick();
    EXPECT_GE(player.Progress()->value(), 900);
    QTest::mouseClick(player.PlayButton(), Qt::LeftButton);
    EXPECT_EQ(player.GetState(), State::Paused);
    QTest::mouseClick(player.RewindButton(), Qt::LeftButton);
    EXPECT_EQ(player.GetState(), State::Paused) << "rewinding keeps a pause";
    EXPECT_EQ(player.Progress()->value(), 0);
    player.Tick();
    EXPECT_EQ(player.Progress()->value(), 0);
    QTest::mouseClick(player.PlayButton(), Qt::LeftButton);
    EXPECT_EQ(player.GetState(), State::Playing);

    LineSlot& line3 = m_app->Lines().GetLineSlot(2);
    ASSERT_EQ(tapisimSetHandset(DWORD(line3.GetPhoneDeviceId()), 1), TAPISIM_OK);
    ASSERT_EQ(tapisimSetHandset(DWORD(line3.GetPhoneDeviceId()), 0), TAPISIM_OK);
    Settle();
    QTest::qWait(250);
    EXPECT_EQ(player.GetState(), State::Stopped) << "putting the handset down stops the message";
    EXPECT_EQ(player.PhoneLine(), -1);
    EXPECT_EQ(line3.GetNotifyWindow(), nullptr);

    // An empty recording ends at the first tick; changing the selection stops a playback.
    Select(mail, "Zed");
    QTest::mouseClick(player.PlayButton(), Qt::LeftButton);
    ASSERT_EQ(player.GetState(), State::Playing);
    player.Tick();
    EXPECT_EQ(player.GetState(), State::Stopped);
    QTest::mouseClick(player.PlayButton(), Qt::LeftButton);
    Select(mail, "Eve");
    EXPECT_EQ(player.GetState(), State::Stopped);
}

TEST_F(CallLogTabsTest, DetailsDialogShowsTheEntryKeepsTheNoteAndTakesThePlayerFromTheTab)
{
    CallLogEntry longCall
        = Entry("Long Talker", kCallTypeOutgoing | kDeletedFlag, 1, Recording("long.wav", 500));
    longCall.endTime = CallTime::FromTimeT(*longCall.startTime.ToTimeT() + 360000);
    WriteLog({ longCall, Entry("Eve", kCallTypeVoicemail, 5, Recording("eve.wav", 3000)) });
    EXPECT_EQ(CallDetailsDialog::HeaderFor(kCallTypeMissed), "Missed call from:");
    EXPECT_EQ(CallDetailsDialog::HeaderFor(CallLogStore::kFilterUnreadVoicemail), "Voicemail from:");
    EXPECT_EQ(CallDetailsDialog::HeaderFor(kCallTypeMissed | kDeletedFlag), "Outgoing call to:");
    MainWindow& window = Start();
    window.ShowTab(MainWindow::kVoiceMailTab);
    CallLogPanel& mail = *window.VoiceMailPage();
    Select(mail, "Eve");
    QTest::mouseClick(mail.Player()->PlayButton(), Qt::LeftButton);
    ASSERT_EQ(mail.Player()->GetState(), State::Playing);

    CallLogContext& pages = window.CallLogPages();
    pages.current = 0;
    auto dialog = std::make_unique<CallDetailsDialog>(pages, &window);
    mail.Player()->Tick();
    EXPECT_EQ(mail.Player()->GetState(), State::Stopped) << "the dialog took the player";
    EXPECT_EQ(dialog->Header()->text(), "Outgoing call to:") << "a deleted entry";
    EXPECT_EQ(dialog->Value(CallDetailsDialog::kLength)->text(), "100:00:00");
    EXPECT_EQ(dialog->Value(CallDetailsDialog::kName)->text(), "Long Talker");
    EXPECT_EQ(dialog->Player()->Progress()->maximum(), 500);
    EXPECT_FALSE(dialog->UpdateButton()->isEnabled());

    // A first note gets a file in the call recordings folder; an empty one deletes it.
    dialog->ClearButton()->click();
    EXPECT_TRUE(m_prompter.questions.empty()) << "clearing an empty note asks nothing";
    dialog->NoteEditor()->setPlainText("Call back on Monday");
    EXPECT_TRUE(dialog->UpdateButton()->isEnabled());
    dialog->UpdateButton()->click();
    SaveScreenshot(*dialog, "call-details");
    const std::string note = FindOnDisk(LogOnDisk(), "Long Talker")->note;
    ASSERT_FALSE(note.empty());
    EXPECT_EQ(fs::path(note).parent_path(), fs::path(m_app->GetAppSettings().callRecordingsFolder));
    EXPECT_EQ(fs::path(note).extension(), ".txt");
    std::ifstream written(note, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "Call back on Monday");
    dialog->NoteEditor()->clear();
    dialog->UpdateButton()->click();
    EXPECT_FALSE(fs::exists(note));
    EXPECT_TRUE(FindOnDisk(LogOnDisk(), "Long Talker")->note.empty());

    EXPECT_TRUE(mail.Player()->PlayButton()->isEnabled());
    mail.Player()->PlayOrPause();
    ASSERT_EQ(mail.Player()->GetState(), State::Playing);
    dialog->Player()->PlayOrPause();
    EXPECT_EQ(dialog->Player()->GetState(), State::Playing);
    mail.Player()->Tick();
    EXPECT_EQ(mail.Player()->GetState(), State::Stopped) << "playing in the dialog ends the tab's playback";
    EXPECT_TRUE(mail.Player()->PlayTo()->isEnabled());
    const std::uint32_t session = m_app->Lines().GetSharedAudioEngine().PlaybackSession();
    dialog->done(QDialog::Accepted);
    EXPECT_EQ(dialog->Player()->GetState(), State::Stopped) << "closing stops the playback";
    EXPECT_NE(m_app->Lines().GetSharedAudioEngine().PlaybackSession(), session);
    dialog.reset();

    // The dialog's Delete is carried out by the tab, with its question.
    Select(mail, "Eve");
    WhenOpened<CallDetailsDialog>([](CallDetailsDialog& opened) {
        EXPECT_EQ(opened.Header()->text(), "Voicemail from:");
        opened.done(CallLogPanel::kDetailsDelete);
    });
    m_prompter.answers = { true };
    mail.ShowDetails();
    EXPECT_TRUE(Shown(mail).empty());
    EXPECT_TRUE(FindOnDisk(LogOnDisk(), "Eve")->IsDeleted());
}

// A caller reaches voice mail; the message is found on the voice mail tab, played and its
// recording deleted into the deleted folder.
TEST_F(CallLogTabsTest, VoiceMessageIsFoundPlayedAndArchived)
{
    m_settings.Write(Settings::kVoicemailOn, 1);
    m_settings.Write(Settings::kAnswerAfter, 2);
    MainWindow& window = Start();
    TAPISIM_CALLER caller{ "5559999", "Fay Wray", 0, 0, 0 };
    ASSERT_EQ(tapisimRing(0, &caller), TAPISIM_OK);
    CallRecordingPort& recording = m_app->Lines().Recording();
    for (int step = 0; step < 120 && recording.GetRecordingState(0) != CallRecordingPort::Recording; ++step) {
        Advance(250);
        QTest::qWait(1);
    }
    ASSERT_EQ(recording.GetRecordingState(0), CallRecordingPort::Recording);
    ASSERT_EQ(tapisimSetFarEndTone(0, 440, -10), TAPISIM_OK);
    Advance(2000);
    QTest::qWait(120);
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    Advance(1000);
    QTest::qWait(120);
    Settle();

    CallLogPanel& mail = *window.VoiceMailPage();
    ASSERT_EQ(Shown(mail), std::vector<std::string>{ "Fay Wray" });
    EXPECT_EQ(window.VoiceMailCount()->text(), "1");
    window.ShowTab(MainWindow::kVoiceMailTab);
    Select(mail, "Fay Wray");
    PlaybackControls& player = *mail.Player();
    QTest::mouseClick(player.PlayButton(), Qt::LeftButton);
    ASSERT_EQ(player.GetState(), State::Playing);
    EXPECT_GE(player.Length(), 1500u);
    EXPECT_EQ(window.VoiceMailCount()->text(), "0");
    QTest::mouseClick(player.StopButton(), Qt::LeftButton);

    const CallLogEntry message = *FindOnDisk(LogOnDisk(), "Fay Wray");
    m_prompter.answers = { true };
    QTest::mouseClick(player.DeleteButton(), Qt::LeftButton);
    EXPECT_EQ(m_prompter.questions.back().text, "Are you sure you want to delete the recording ?");
    EXPECT_TRUE(FindOnDisk(LogOnDisk(), "Fay Wray")->recordingPath.empty());
    const fs::path copy
        = fs::path(m_app->GetAppSettings().deletedFolder) / CallLogStore::ArchiveName(message);
    EXPECT_TRUE(testing_support::ReadSoundFile(copy.string()).opened) << copy;
    EXPECT_TRUE(fs::exists(RecordingPath::ToLocalFile(message.recordingPath)));
    EXPECT_FALSE(player.PlayButton()->isEnabled()) << "nothing left to play";
}

TEST_F(CallLogTabsTest, MissedCallIsNotifiedAndTheNotificationOpensItsEntry)
{
    m_settings.Write(Settings::kVoicemailOn, 0);
    MainWindow& window = Start();
    const RecordingSink& notifications = *m_notifications;
    TAPISIM_CALLER caller{ "5551234", "Ann <b>Lee</b>", 0, 2, 0 };
    ASSERT_EQ(tapisimRing(0, &caller), TAPISIM_OK);
    for (int step = 0; step < 40 && notifications.shown.empty(); ++step)
        Advance(500);
    ASSERT_EQ(notifications.shown.size(), 1u);
    EXPECT_EQ(notifications.shown[0].summary, "Missed call");
    EXPECT_EQ(notifications.shown[0].body, "From Ann <b>Lee</b>, 5551234") << "the caller's text as it came";

    window.ShowTab(MainWindow::kContactsTab);
    notifications.Open(notifications.shown[0].key);
    EXPECT_EQ(window.CurrentTab(), MainWindow::kCallLogTab);
    EXPECT_EQ(window.CallLogPage()->TypeLabel()->text(), "Missed");
    ASSERT_NE(window.CallLogPage()->SelectedEntry(), nullptr);
    EXPECT_EQ(window.CallLogPage()->SelectedEntry()->callerName, "Ann <b>Lee</b>");
}

} // namespace
