// The setup dialog offscreen over a line manager on the simulated exchange: the device lists, the
// line-change question with closing and reopening the lines, and what Save and Cancel store.
#include "support/telephony_scenario.h"

#include "links/password_vault.h"
#include "settings/app_settings.h"
#include "support/temp_dir.h"
#include "ui/panels/edit_entry_dialog.h"
#include "ui/setup/pbx_setup_dialog.h"
#include "ui/setup/setup_dialog.h"
#include "ui/setup/telephony_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTimer>

#include <cstdlib>

#include <algorithm>
#include <cmath>

namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

// Lines 3 and 4 have no device, so "Zo-Linka Line 3" and "Zo-Linka Line 4" are free to choose.
constexpr const char* kDeviceMap = "\"Zo-Linka Line 1\",\"Zo-Linka Line 2\",\"No device\",\"No device\","
                                   "\"IP Line 1\",\"IP Line 2\",\"Line 1\",\"Line 2\",\"Line 3\",\"Line 4\","
                                   "\"Line 5\",\"Line 6\"";

// Stands in for the call-recording and voice-mail pages and notes what the dialog asks of them.
class NotingPage : public SetupPage {
public:
    NotingPage(std::string name, std::vector<std::string>& log, SettingsStore& settings, QWidget* parent)
        : SetupPage(parent)
        , m_name(std::move(name))
        , m_log(log)
        , m_settings(settings)
    {
    }
    // Notes "Start in tab" as stored when the page's turn comes, to show the order of Save.
    void StoreValues() override
    {
        m_log.push_back(m_name + " stores after start tab "
            + std::to_string(m_settings.ReadNumber(SettingsStore::kKeyPath, "Start in tab", -9)));
    }
    void StopAudio() override { m_log.push_back(m_name + " stops"); }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
    SettingsStore& m_settings;
};

class SetupDialogScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        WriteBytes(m_manager->DeviceMapPath(), kDeviceMap);
        Start();
        m_context = std::make_unique<SetupContext>(
            SetupContext{ *m_manager, m_settings, m_appSettings, m_prompter });
    }

    void TearDown() override
    {
        m_dialog.reset();
        TelephonyScenario::TearDown();
    }

    SetupDialog& Open()
    {
        auto factory = [this](std::string name) {
            return [this, name](SetupContext& context, QWidget* parent) {
                return std::make_unique<NotingPage>(name, m_pageLog, context.settings, parent);
            };
        };
        m_dialog = std::make_unique<SetupDialog>(*m_context, factory("recording"), factory("voice mail"));
        m_dialog->show();
        return *m_dialog;
    }

    template <typename T> T& Find(const char* name)
    {
        T* widget = m_dialog->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    QComboBox& Devices(int line) { return Find<QComboBox>(qPrintable(QString("device%1").arg(line))); }
    QStringList Offered(int line)
    {
        QStringList texts;
        for (int i = 0; i < Devices(line).count(); ++i)
            texts << Devices(line).itemText(i);
        return texts;
    }
    void Choose(int line, const char* device) { Devices(line).setCurrentText(device); }
    std::int32_t Stored(const Settings::NumberValue& value) const { return m_settings.Read(value); }

    // A connected call on line 2, which reopening the lines drops.
    void TalkOnLine2()
    {
        AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER, 1000);
        ASSERT_EQ(Slot(1).PlaceCall("5554444", "5554444", "Talker", false), 1);
        Advance(3000);
        ASSERT_EQ(CallText(1), "Talker, 5554444 (Connected)");
    }

    AppSettings m_appSettings;
    std::unique_ptr<SetupContext> m_context;
    std::vector<std::string> m_pageLog;
    std::unique_ptr<SetupDialog> m_dialog;
};

TEST_F(SetupDialogScenario, ADeviceIsOfferedToOneLineOnly)
{
    Open();
    EXPECT_EQ(Offered(3), QStringList({ "No device", "Zo-Linka Line 3", "Zo-Linka Line 4" }));
    EXPECT_EQ(
        Offered(1), QStringList({ "No device", "Zo-Linka Line 1", "Zo-Linka Line 3", "Zo-Linka Line 4" }));
    EXPECT_EQ(Devices(1).currentText(), "Zo-Linka Line 1");
    EXPECT_EQ(Offered(5), QStringList({ "No device", "IP Line 1" }))
        << "no telephone-network device on IP lines";

    Choose(3, "Zo-Linka Line 3");
    EXPECT_EQ(Offered(4), QStringList({ "No device", "Zo-Linka Line 4" }));
    EXPECT_FALSE(Offered(1).contains("Zo-Linka Line 3"));
    EXPECT_EQ(Devices(1).currentText(), "Zo-Linka Line 1") << "refilling keeps each row's choice";

    Choose(3, "No device");
    EXPECT_EQ(Offered(4), QStringList({ "No device", "Zo-Linka Line 3", "Zo-Linka Line 4" }));
    EXPECT_EQ(Devices(4).currentText(), "No device");
}

// A screen reader tells the rows apart: each field names its line, and the headings label a row.
TEST_F(SetupDialogScenario, TheTelephonyRowsAreLabelled)
{
    Open();
    QSet<QString> names;
    for (int line = 1; line <= TelephonyPage::kLineCount; ++line) {
        for (const char* field : { "label", "device", "config" }) {
            const QString name
                = Find<QWidget>(qPrintable(QString("%1%2").arg(field).arg(line))).accessibleName();
            EXPECT_TRUE(name.contains(QString::number(line))) << field << line << ": " << name.toStdString();
            names.insert(name);
        }
    }
    EXPECT_EQ(names.size(), 3 * TelephonyPage::kLineCount) << "no two fields share a name";
    QSet<QWidget*> labelled;
    for (QLabel* label : m_dialog->Telephony().findChildren<QLabel*>())
        labelled.insert(label->buddy());
    EXPECT_TRUE(labelled.contains(&Find<QWidget>("label1")));
    EXPECT_TRUE(labelled.contains(&Find<QWidget>("device1")));
    // A macro without a name still says which button it is.
    m_dialog->Telephony().SetEntryEditor([](ContactRecord& entry, QWidget*) {
        entry.SetDisplayName("");
        return true;
    });
    auto& macro2 = Find<QPushButton>("macro2");
    macro2.click();
    EXPECT_EQ(macro2.text(), "");
    EXPECT_EQ(macro2.accessibleName(), "Macro 2, empty");
}

TEST_F(SetupDialogScenario, ALabelChangeAloneAsksNothingAndKeepsTheCalls)
{
    TalkOnLine2();
    Open();
    Find<QLineEdit>("label3").setText("Front desk");
    m_dialog->Save();
    Settle();
    EXPECT_TRUE(m_prompter.questions.empty());
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(CallText(1), "Talker, 5554444 (Connected)") << "the lines were not reopened";
    EXPECT_EQ(m_manager->GetDisplayName(2), "Front desk");
    EXPECT_NE(ReadBytes(m_manager->DeviceMapPath()).find("\"Front desk\""), std::string::npos);
}

TEST_F(SetupDialogScenario, ADeviceChangeAsksOnceAndNoStoresNothing)
{
    TalkOnLine2();
    Open();
    Choose(3, "Zo-Linka Line 3");
    Choose(4, "Zo-Linka Line 4");
    Find<QComboBox>("startIn").setCurrentIndex(2);
    m_prompter.answers = { false };
    m_dialog->Save();
    Settle();
    ASSERT_EQ(m_prompter.questions.size(), 1u) << "two changed rows ask once";
    EXPECT_EQ(m_prompter.questions[0].text, SetupDialog::kLineChangeQuestion);
    EXPECT_EQ(m_prompter.questions[0].title, "Kestrium");
    EXPECT_TRUE(m_dialog->isVisible()) << "No leaves the dialog open";
    EXPECT_EQ(ReadBytes(m_manager->DeviceMapPath()), kDeviceMap);
    EXPECT_EQ(m_manager->GetDeviceName(2), "No device");
    EXPECT_EQ(Stored(Settings::kStartInTab), 0);
    EXPECT_EQ(CallText(1), "Talker, 5554444 (Connected)");
    EXPECT_EQ(m_pageLog, std::vector<std::string>({ "voice mail stops" }));

    m_prompter.answers = { true };
    m_dialog->Save();
    Settle();
    EXPECT_EQ(m_prompter.questions.size(), 2u);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(OnlyCall(1), 0u) << "closing the lines dropped the call";
    EXPECT_TRUE(Slot(1).IsOpen());
    ASSERT_TRUE(Slot(2).IsOpen());
    EXPECT_EQ(Slot(2).GetLineName(), "Zo-Linka Line 3");
    EXPECT_EQ(Slot(3).GetLineName(), "Zo-Linka Line 4");
    EXPECT_NE(ReadBytes(m_manager->DeviceMapPath()).find("\"Zo-Linka Line 3\",\"Zo-Linka Line 4\""),
        std::string::npos);
    EXPECT_EQ(Stored(Settings::kStartInTab), 2);
    EXPECT_EQ(m_pageLog,
        std::vector<std::string>({ "voice mail stops", "voice mail stops",
            "recording stores after start tab 2", "voice mail stores after start tab 2" }));
}

TEST_F(SetupDialogScenario, ADeviceNameDifferingOnlyInCaseIsNoChange)
{
    m_manager->SetDeviceName(2, "zo-linka LINE 3");
    Open();
    EXPECT_EQ(Devices(3).currentText(), "Zo-Linka Line 3");
    m_dialog->Save();
    EXPECT_TRUE(m_prompter.questions.empty());
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
}

TEST_F(SetupDialogScenario, GeneralAndTelephonyValuesAreStoredOnSaveOnly)
{
    m_settings.Write(Settings::kStartInTab, 2);
    Open();
    EXPECT_EQ(m_dialog->PageTitle(), "General");
    EXPECT_EQ(Find<QComboBox>("startIn").currentText(), "Calls Log");
    Find<QListWidget>("pageList").setCurrentRow(SetupDialog::kTelephonyPage);
    EXPECT_EQ(m_dialog->PageTitle(), "Telephony");
    EXPECT_TRUE(m_dialog->Telephony().isVisible());

    EXPECT_FALSE(Find<QCheckBox>("systemDialer").isChecked());
    EXPECT_TRUE(Find<QRadioButton>("ignoreIncoming").isChecked());
    Find<QCheckBox>("systemDialer").setChecked(true);
    Find<QRadioButton>("answerAndDrop").setChecked(true);
    Find<QComboBox>("startIn").setCurrentText("Last open tab");
    m_dialog->reject();
    EXPECT_EQ(Stored(Settings::kIsSystemDialer), 0) << "Cancel stores nothing";
    EXPECT_EQ(Stored(Settings::kStartInTab), 2);
    EXPECT_EQ(m_pageLog, std::vector<std::string>({ "voice mail stops" }));

    Open();
    Find<QCheckBox>("systemDialer").setChecked(true);
    Find<QRadioButton>("answerAndDrop").setChecked(true);
    Find<QComboBox>("startIn").setCurrentText("Last open tab");
    m_dialog->Save();
    EXPECT_EQ(Stored(Settings::kIsSystemDialer), 1);
    EXPECT_TRUE(m_manager->IsSystemDialer());
    EXPECT_EQ(Stored(Settings::kDropIncomingMeansIgnore), 0);
    EXPECT_EQ(Stored(Settings::kStartInTab), 4);

    Open();
    EXPECT_TRUE(Find<QCheckBox>("systemDialer").isChecked());
    EXPECT_TRUE(Find<QRadioButton>("answerAndDrop").isChecked());
    Find<QCheckBox>("systemDialer").setChecked(false);
    m_dialog->Save();
    EXPECT_EQ(Stored(Settings::kIsSystemDialer), 0);
}

TEST_F(SetupDialogScenario, TheAddressBookAccountIsStoredWithItsPasswordInTheVault)
{
    testing_support::TempDir folder;
    PasswordVault vault("kestrium-setup-test", folder / "secrets");
    m_context->passwords = &vault;
    Open();
    Find<QListWidget>("pageList").setCurrentRow(SetupDialog::kAddressBookPage);
    EXPECT_EQ(m_dialog->PageTitle(), "Address book");
    EXPECT_EQ(Find<QLineEdit>("addressBookUrl").text(), "");
    Find<QLineEdit>("addressBookUrl").setText(" https://dav.example.com/ ");
    Find<QLineEdit>("addressBookUser").setText("office");
    Find<QLineEdit>("addressBookPassword").setText("s3cret");
    m_dialog->Save();
    EXPECT_EQ(m_settings.Read(Settings::kAddressBookUrl), "https://dav.example.com/");
    EXPECT_EQ(m_settings.Read(Settings::kAddressBookUser), "office");
    EXPECT_EQ(vault.Read("office@https://dav.example.com/"), "s3cret");
    EXPECT_TRUE(m_prompter.messages.empty());

    // Shown again as stored; an address that is no web address changes nothing and says so.
    Open();
    EXPECT_EQ(Find<QLineEdit>("addressBookPassword").text(), "s3cret");
    EXPECT_EQ(Find<QLineEdit>("addressBookPassword").echoMode(), QLineEdit::Password);
    Find<QLineEdit>("addressBookUrl").setText("ftp://dav.example.com/");
    m_dialog->Save();
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_NE(m_prompter.messages[0].text.find("ftp://dav.example.com/"), std::string::npos);
    EXPECT_EQ(m_settings.Read(Settings::kAddressBookUrl), "https://dav.example.com/");

    // No address: no shared address book, and the password is forgotten.
    Open();
    Find<QLineEdit>("addressBookUrl").clear();
    m_dialog->Save();
    EXPECT_EQ(m_settings.Read(Settings::kAddressBookUrl), "");
    EXPECT_EQ(vault.Read("office@https://dav.example.com/"), "");
    EXPECT_FALSE(std::filesystem::exists(vault.FallbackFile("office@https://dav.example.com/")));
}

// The relative luminance of a colour and the contrast ratio of two, as accessibility guidelines
// define them.
double Luminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
        + 0.0722 * channel(colour.blueF());
}

double Contrast(const QColor& one, const QColor& other)
{
    const double first = Luminance(one);
    const double second = Luminance(other);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QPalette DarkPalette()
{
    QPalette dark;
    for (const auto& [role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             { QPalette::Window, QColor(0x30, 0x30, 0x30) }, { QPalette::WindowText, Qt::white },
             { QPalette::Base, QColor(0x24, 0x24, 0x24) },
             { QPalette::AlternateBase, QColor(0x3a, 0x3a, 0x3a) }, { QPalette::Text, Qt::white },
             { QPalette::Button, QColor(0x35, 0x35, 0x35) }, { QPalette::ButtonText, Qt::white },
             { QPalette::Highlight, QColor(0x2a, 0x82, 0xda) }, { QPalette::HighlightedText, Qt::white } })
        dark.setColor(role, colour);
    return dark;
}

// The page title's band is drawn in the palette's colours, so it reads in a dark palette too.
TEST_F(SetupDialogScenario, ThePageTitleReadsInLightAndDarkPalettes)
{
    const QPalette original = QApplication::palette();
    for (const QPalette& palette : { original, DarkPalette() }) {
        QApplication::setPalette(palette);
        Open();
        auto& title = Find<QLabel>("pageTitle");
        const QColor text = title.palette().color(title.foregroundRole());
        const QColor back = title.palette().color(title.backgroundRole());
        EXPECT_GE(Contrast(text, back), 4.5)
            << text.name().toStdString() << " on " << back.name().toStdString();
        EXPECT_EQ(title.grab().toImage().pixelColor(1, 1), back) << "the band is filled";
        m_dialog.reset();
    }
    QApplication::setPalette(original);
}

// The main window starts a negative "Start in tab" in the first tab; the page shows and stores it
// that way instead of saving an unselected list.
TEST_F(SetupDialogScenario, OutOfRangeStartTabsShowAsTheTabTheyStartIn)
{
    m_settings.Write(Settings::kStartInTab, -3);
    Open();
    EXPECT_EQ(Find<QComboBox>("startIn").currentText(), "Contacts");
    m_dialog->Save();
    EXPECT_EQ(Stored(Settings::kStartInTab), 0);

    m_settings.Write(Settings::kStartInTab, 7);
    Open();
    EXPECT_EQ(Find<QComboBox>("startIn").currentText(), "Last open tab");
}

TEST_F(SetupDialogScenario, AMacroIsStoredAtOnceEvenWhenTheDialogIsCancelled)
{
    Open();
    QPushButton& macro3 = Find<QPushButton>("macro3");
    EXPECT_EQ(macro3.text(), "Macro 3");
    std::string shownName;
    m_dialog->Telephony().SetEntryEditor([&](ContactRecord& entry, QWidget*) {
        shownName = entry.DisplayName();
        entry.SetDisplayName("Voice & box");
        entry.SetNumber(entry.DefaultNumberIndex(), "*98");
        return true;
    });
    macro3.click();
    EXPECT_EQ(shownName, "Macro 3");
    EXPECT_EQ(macro3.text(), "Voice && box") << "shown as typed, not as a shortcut";
    m_dialog->reject();
    EXPECT_EQ(m_settings.Read(Settings::kMacroName, {}, 3), "Voice & box");
    EXPECT_EQ(m_settings.Read(Settings::kMacroNumber, {}, 3), "*98");

    Open();
    m_dialog->Telephony().SetEntryEditor([](ContactRecord&, QWidget*) { return false; });
    Find<QPushButton>("macro3").click();
    EXPECT_EQ(m_settings.Read(Settings::kMacroName, {}, 3), "Voice & box") << "Cancel in the editor keeps it";
}

// "Config..." edits the row's own line: a telephone line's row starts the service's line dialog
// with that line's name, an IP line's row opens its SIP account editor; the account is applied at
// once and its state shows under the rows.
TEST_F(SetupDialogScenario, ConfigEditsTheLineOfItsOwnRow)
{
    const auto script = m_dir.Path() / "settings.sh";
    const auto record = m_dir.Path() / "arguments.txt";
    WriteBytes(script, "#!/bin/sh\necho \"$@\" > '" + record.string() + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    ::setenv("KESTRIUM_TAPI_SETTINGS", script.c_str(), 1);
    ::setenv("KESTRIUM_EXCHANGE_CONFIG", (m_dir.Path() / "exchange.conf").c_str(), 1);
    Open();
    Find<QListWidget>("pageList").setCurrentRow(SetupDialog::kTelephonyPage);
    Find<QPushButton>("config2").click();
    EXPECT_EQ(ReadBytes(record), "--line-config 1 --line-name=Zo-Linka Line 2\n");
    EXPECT_FALSE(Find<QLabel>("state5").isVisible()) << "a plain IP line has no registration";

    QString title;
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        title = editor->windowTitle();
        editor->findChild<QPushButton*>("lineSettings")->click();
        editor->findChild<QGroupBox*>("sipAccount")->setChecked(true);
        editor->findChild<QLineEdit*>("sipAddress")->setText("kestrium@127.0.0.1:5999");
        editor->findChild<QLineEdit*>("localAddress")->setText("127.0.0.1");
        editor->findChild<QCheckBox*>("register")->setChecked(false);
        editor->accept();
    });
    Find<QPushButton>("config5").click();
    EXPECT_EQ(title, "IP Line 1: SIP Account");
    EXPECT_EQ(ReadBytes(record), "--line-config 4 --line-name=IP Line 1\n") << "its no-answer time-out";
    EXPECT_TRUE(m_prompter.messages.empty()) << m_prompter.messages.front().text;
    EXPECT_TRUE(Find<QLabel>("state5").isVisible());
    EXPECT_EQ(Find<QLabel>("state5").text(), "IP Line 1: In service: registration off");
    EXPECT_FALSE(Find<QLabel>("state6").isVisible());
    ::unsetenv("KESTRIUM_TAPI_SETTINGS");
    ::unsetenv("KESTRIUM_EXCHANGE_CONFIG");
}

TEST(EditEntryDialog, EditsNameAndDefaultNumberWithinTheirLimits)
{
    ContactRecord record;
    record.SetDisplayName("Reception");
    record.SetDefaultNumberIndex(2);
    record.SetNumber(2, "100");
    record.SetCity("Leeds");
    EditEntryDialog dialog;
    dialog.Assign(record);
    EXPECT_EQ(dialog.windowTitle(), "Edit entry:");
    EXPECT_EQ(dialog.NameEdit()->text(), "Reception");
    EXPECT_EQ(dialog.NumberEdit()->text(), "100");

    // Two-byte characters: the 99-byte cut must not split one.
    dialog.NameEdit()->setText(QString(80, QChar(0x00E9)));
    dialog.NumberEdit()->clear();
    dialog.accept();
    EXPECT_EQ(dialog.Record().DisplayName(), QString(49, QChar(0x00E9)).toStdString());
    EXPECT_EQ(dialog.Record().Number(2), "") << "clearing the number keeps the name";
    EXPECT_EQ(dialog.Record().City(), "Leeds");
}

TEST(PbxSetupDialog, ShowsItsControlsAndCloses)
{
    PbxSetupDialog dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Kestrium PBX Setup");
    EXPECT_NE(dialog.findChild<QLineEdit*>("pbxSystemName"), nullptr);
    QMenuBar* menuBar = dialog.findChild<QMenuBar*>();
    ASSERT_NE(menuBar, nullptr);
    QStringList items;
    for (QAction* action : menuBar->actions().at(0)->menu()->actions())
        items << action->text();
    EXPECT_EQ(items, QStringList({ "&New", "&Open...", "&Save", "Save &As..." }));
    dialog.reject();
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
