// The program in German: the running application started with a German translation and locale
// shows German texts, German dates and Qt's German standard buttons, while its files keep their
// own form; without the translation the English texts come back unchanged.
#include "running_app.h"

#include "links/address_book_sync.h"
#include "links/carddav_client.h"
#include "res/translations.h"
#include "settings/app_settings.h"
#include "store/call_log_store.h"
#include "telephony/call_description.h"
#include "ui/panels/call_details_dialog.h"
#include "ui/panels/call_log_model.h"
#include "ui/panels/call_log_panel.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/contacts_panel.h"
#include "ui/panels/edit_entry_dialog.h"
#include "ui/setup/setup_audio_pages.h"
#include "ui/setup/setup_dialog.h"
#include "ui/setup/telephony_page.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

#include <clocale>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

std::string FileText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<QString> Items(const QWidget& menu)
{
    std::vector<QString> texts;
    for (QAction* action : menu.actions())
        if (!action->isSeparator())
            texts.push_back(action->text());
    return texts;
}

template <typename Widget> QString TextOf(const QWidget& parent, const char* objectName)
{
    auto* widget = parent.findChild<Widget*>(objectName);
    return widget ? widget->text() : QString("(no %1)").arg(objectName);
}

class TranslationsTest : public RunningApp {
protected:
    void SetUp() override
    {
        RunningApp::SetUp();
        // The C locale's short forms, whatever the locale the tests run in.
        std::setlocale(LC_TIME, "C");
        CallLogStore store;
        CallLogEntry entry;
        entry.startTime = { 2026, 12, 6, 14, 5, 9 };
        entry.endTime = { 2026, 12, 6, 14, 6, 0 };
        entry.callerName = "Evelyn Montague";
        entry.number = "5559876";
        entry.type = kCallTypeMissed;
        store.Append(entry);
        ASSERT_TRUE(store.Save(m_dir.Path() / CallLogStore::kFileName));
        m_storedLog = FileText(m_dir.Path() / CallLogStore::kFileName);
    }
    void TearDown() override
    {
        UseLanguage(std::nullopt);
        RunningApp::TearDown();
    }
    // The language as main() sets it up from the system's locale; none is the C locale.
    void UseLanguage(std::optional<QLocale> locale)
    {
        m_translations.reset();
        QLocale::setDefault(locale.value_or(QLocale::c()));
        if (locale)
            m_translations = std::make_unique<Translations>(*locale);
    }
    static QString Cell(CallLogPanel& page, int column)
    {
        return page.Model()->index(0, column).data().toString();
    }

    std::string m_storedLog;
    std::unique_ptr<Translations> m_translations;
};

TEST_F(TranslationsTest, GermanLocaleShowsGermanTextsAndDatesWhileFilesStayAsTheyWere)
{
    UseLanguage(kGerman);
    ASSERT_TRUE(m_translations->Translated()) << "kestrium_de.qm is built into the program";
    MainWindow& window = Start();

    // The menus, a command's tool tip and the tabs with their mnemonics.
    auto* menuBar = window.findChild<QMenuBar*>();
    ASSERT_NE(menuBar, nullptr);
    EXPECT_EQ(Items(*menuBar), (std::vector<QString>{ "&Datei", "&Anruf", "&Hilfe" }));
    EXPECT_EQ(Command(window, "actionCall").text(), "&Anrufen");
    EXPECT_EQ(Command(window, "actionSetup").text(), "Ein&richtung...");
    EXPECT_EQ(Command(window, "actionImport").toolTip(), "Kontakte aus einer vCard-Datei importieren");
    EXPECT_EQ(window.Tabs()->tabText(0), "Kon&takte");
    EXPECT_EQ(window.Tabs()->tabToolTip(2), "Anrufliste");
    EXPECT_EQ(window.RedialButton()->toolTip(), "Wahlwiederholungsliste öffnen");
    EXPECT_EQ(Command(window, "actionSyncAddressBook").text(), "&Adressbuch jetzt abgleichen");

    // The shared address book's status and reasons, made outside any window.
    AddressBookReport report;
    report.reached = true;
    report.received = 2;
    report.sent = 1;
    report.pending = 1;
    EXPECT_EQ(report.Summary(), "Adressbuch abgeglichen: 2 empfangen, 1 gesendet, 1 Änderung wartet");
    CardDavClient::Reply unanswered;
    unanswered.error = "Connection refused";
    EXPECT_EQ(CardDavClient::Describe(unanswered), "der Server ist nicht erreichbar (Connection refused)");

    // The setup dialog, with the pages whose texts live in classes of their own.
    {
        AppSettings appSettings = m_app->GetAppSettings();
        SetupContext context{ m_app->Lines(), m_settings, appSettings, m_prompter };
        const SetupAudioPageFactories pages = MakeSetupAudioPages();
        SetupDialog setup(context, pages.callRecording, pages.voiceMail, &window);
        EXPECT_EQ(setup.windowTitle(), "Kestrium-Einrichtung");
        auto* pageList = setup.findChild<QListWidget*>("pageList");
        ASSERT_NE(pageList, nullptr);
        EXPECT_EQ(pageList->item(SetupDialog::kTelephonyPage)->text(), "Telefonie");
        EXPECT_EQ(pageList->item(SetupDialog::kAddressBookPage)->text(), "Adressbuch");
        EXPECT_EQ(TextOf<QRadioButton>(setup.Page(SetupDialog::kCallRecordingPage), "beepTone"), "&Piepton");
        EXPECT_EQ(
            TextOf<QRadioButton>(setup.Telephony(), "ignoreIncoming"), "Ignorieren, bis der Anrufer aufgibt");
    }

    // The call log tab: headers, the type label, the date and time as German writes them.
    CallLogPanel& log = *window.CallLogPage();
    const CallLogModel& model = *log.Model();
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Name/Nummer");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Datum");
    EXPECT_EQ(log.TypeLabel()->text(), "Alle");
    EXPECT_EQ(Cell(log, 1), "06.12.26");
    EXPECT_EQ(Cell(log, 2), "14:05:09");
    const std::unique_ptr<QMenu> entryMenu(log.CreateEntryMenu(nullptr));
    EXPECT_EQ(Items(*entryMenu),
        (std::vector<QString>{ "&Anrufen", "&Details...", "Als &Kontakt speichern...", "&Löschen" }));

    // The contacts tab, and a question through the message boxes.
    ContactsPanel& contacts = *window.Contacts();
    EXPECT_EQ(contacts.Counter()->text(), "Gesamt: 0");
    EXPECT_EQ(contacts.Model()->index(0, 0).data().toString(),
        "(hier doppelklicken, um einen neuen Kontakt anzulegen...)");
    const std::unique_ptr<QMenu> contactMenu(contacts.CreateTreeMenu(nullptr));
    EXPECT_EQ(Items(*contactMenu),
        (std::vector<QString>{ "&Heranholen", "&Gruppen", "&Neuer Kontakt...", "Kontakt &bearbeiten...",
            "&Löschen", "Zur &Kurzwahl hinzufügen" }));
    log.List()->setCurrentIndex(model.index(0, 0));
    m_prompter.answers = { false };
    log.DeleteEntry();
    ASSERT_EQ(m_prompter.questions.size(), 1u);
    EXPECT_EQ(m_prompter.questions[0].text, "Sind Sie sicher?");
    EXPECT_EQ(m_prompter.questions[0].title, "Eintrag löschen");

    // The call details dialog, with Qt's own German for the standard buttons of a dialog.
    window.CallLogPages().current = 0;
    {
        CallDetailsDialog details(window.CallLogPages(), &window);
        EXPECT_EQ(details.Header()->text(), "Verpasster Anruf von:");
        EXPECT_EQ(details.Value(CallDetailsDialog::kDate)->text(), "06.12.26");
    }
    {
        EditEntryDialog dialog(&window);
        EXPECT_EQ(dialog.windowTitle(), "Eintrag bearbeiten:");
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), "Abbrechen")
            << "Qt's qtbase_de.qm (qt6-translations-l10n) is installed";
    }

    // What the telephony core says, in the tree, the status bar and its messages.
    CallOutcome outcome;
    ASSERT_TRUE(CallText::Outcome(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE, outcome));
    EXPECT_EQ(outcome.text, "Anruf fehlgeschlagen: nicht erreichbar");

    // Stored text does not follow the language: the call log saved in German reads as before.
    Stop();
    EXPECT_EQ(FileText(m_dir.Path() / CallLogStore::kFileName), m_storedLog);
}

TEST_F(TranslationsTest, CLocaleKeepsTheEnglishTextsAndTheShortDate)
{
    UseLanguage(kGerman);
    UseLanguage(std::nullopt);
    MainWindow& window = Start();
    CallLogPanel& log = *window.CallLogPage();
    EXPECT_EQ(log.TypeLabel()->text(), "All");
    EXPECT_EQ(Cell(log, 1), "12/06/26");
    EXPECT_EQ(Cell(log, 2), "14:05:09");
    EXPECT_EQ(window.Contacts()->Counter()->text(), "Total: 0");
    const std::unique_ptr<QMenu> contactMenu(window.Contacts()->CreateTreeMenu(nullptr));
    EXPECT_EQ(Items(*contactMenu),
        (std::vector<QString>{
            "&Pick up", "&Groups", "&New contact...", "&Edit contact...", "&Delete", "Add to &speed-dial" }));
    EXPECT_EQ(Command(window, "actionSetup").text(), "&Setup...");
    EXPECT_EQ(CallDetailsDialog::HeaderFor(kCallTypeMissed), "Missed call from:");

    // A language without a translation leaves the English texts as well.
    const Translations french(QLocale(QLocale::French, QLocale::France));
    EXPECT_FALSE(french.Translated());
    EXPECT_EQ(CallDetailsDialog::HeaderFor(kCallTypeMissed), "Missed call from:");
}

} // namespace
