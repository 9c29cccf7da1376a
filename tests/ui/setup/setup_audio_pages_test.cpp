// The call-recording and voice-mail pages of the setup dialog, offscreen, on the simulated
// exchange's manual clock: their player and recorder, the mirrored device lists and format group,
// and what Save stores.
#include "support/far_end_audio.h"
#include "support/telephony_scenario.h"

#include "recording/call_recording.h"
#include "settings/app_settings.h"
#include "sound_file.h"
#include "ui/panels/notes_dialog.h"
#include "ui/setup/call_recording_page.h"
#include "ui/setup/format_chooser_dialog.h"
#include "ui/setup/setup_audio_pages.h"
#include "ui/setup/voice_mail_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <optional>
#include <random>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

QStringList Items(const QComboBox& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items << list.itemText(i);
    return items;
}

class SetupAudioPages : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        m_app = AppSettings::Read(m_settings, m_dir.Path().string());
        m_recording = std::make_unique<CallRecording>(*m_manager, m_app, NotesDialog::Factory(m_prompter));
        m_manager->SetRecordingPort(m_recording.get());
        m_context.emplace(SetupContext{ *m_manager, m_settings, m_app, m_prompter });
        Start();
    }
    void TearDown() override
    {
        m_callPage.reset();
        m_voicePage.reset();
        m_manager->CloseAllLines();
        Settle();
        m_recording.reset();
        TelephonyScenario::TearDown();
    }

    void MakePages()
    {
        const SetupAudioPageFactories factories = MakeSetupAudioPages();
        m_callPage = factories.callRecording(*m_context, nullptr);
        m_voicePage = factories.voiceMail(*m_context, nullptr);
    }

    template <typename Widget> static Widget& Child(QWidget& page, const char* name)
    {
        auto* child = page.findChild<Widget*>(name);
        EXPECT_NE(child, nullptr) << name;
        return *child;
    }

    static void Choose(QComboBox& list, const char* name)
    {
        const int index = list.findText(name);
        ASSERT_GE(index, 0) << name;
        list.setCurrentIndex(index);
    }

    AppSettings m_app;
    std::unique_ptr<CallRecording> m_recording;
    std::optional<SetupContext> m_context;
    std::unique_ptr<SetupPage> m_callPage;
    std::unique_ptr<SetupPage> m_voicePage;
};

TEST_F(SetupAudioPages, BeepToneDisablesTheBeepPlayerAndTheChoiceIsSaved)
{
    CallRecordingPage page(*m_context, nullptr);
    const char* playerControls[] = { "play", "record", "delete", "stop", "rewind", "browseSoundFile" };
    for (const char* name : playerControls)
        EXPECT_FALSE(Child<QWidget>(page, name).isEnabled()) << name;
    for (const char* name : { "playTo", "recordFrom", "soundFile", "playToHeadset", "recordHeadset" })
        EXPECT_FALSE(Child<QWidget>(page, name).isEnabled()) << name;

    Child<QRadioButton>(page, "beepFromFile").click();
    EXPECT_TRUE(Child<QWidget>(page, "play").isEnabled());
    EXPECT_TRUE(Child<QWidget>(page, "record").isEnabled());
    EXPECT_TRUE(Child<QWidget>(page, "playTo").isEnabled());
    EXPECT_FALSE(Child<QWidget>(page, "stop").isEnabled()) << "nothing plays yet";
    page.StoreValues();
    EXPECT_EQ(m_settings.Read(Settings::kPlayBeepFromFile), 1);
    EXPECT_EQ(m_app.playBeepFromFile, 1);

    Child<QRadioButton>(page, "beepTone").click();
    for (const char* name : playerControls)
        EXPECT_FALSE(Child<QWidget>(page, name).isEnabled()) << name;
    page.StoreValues();
    EXPECT_EQ(m_settings.Read(Settings::kPlayBeepFromFile), 0);
    EXPECT_EQ(m_app.playBeepFromFile, 0);
}

// Both pages show the same player: icon buttons a screen reader can name, every field labelled,
// and a volume slider only where the device played to has a volume, which it then sets.
TEST_F(SetupAudioPages, BothPagesShowTheSameLabelledPlayerAndAVolumeOnlyWhereTheDeviceHasOne)
{
    MakePages();
    for (SetupPage* page : { m_callPage.get(), m_voicePage.get() }) {
        for (const char* name : { "stop", "play", "rewind", "delete", "record" }) {
            const auto& button = Child<QPushButton>(*page, name);
            EXPECT_TRUE(button.text().isEmpty()) << name;
            EXPECT_FALSE(button.icon().isNull()) << name;
            EXPECT_FALSE(button.accessibleName().isEmpty()) << name;
        }
        for (QLabel* label : page->findChildren<QLabel*>()) {
            if (label->text().endsWith(':')) {
                EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString() << " names no control";
            }
        }
        for (const char* name : { "playToHeadset", "recordHeadset" })
            EXPECT_FALSE(Child<QToolButton>(*page, name).icon().isNull()) << name;

        page->show();
        Choose(Child<QComboBox>(*page, "playTo"), "Zo-Linka Line 1");
        auto& volume = Child<QSlider>(*page, "volume");
        DWORD phoneVolume = 0;
        ASSERT_TRUE(Slot(0).GetPhoneVolume(PHONEHOOKSWITCHDEV_HANDSET, phoneVolume));
        EXPECT_TRUE(volume.isVisible()) << "a line's phone has a volume";
        EXPECT_EQ(volume.value(), int(phoneVolume));
        volume.setValue(phoneVolume > 30000 ? 1000 : 60000);
        Settle();
        ASSERT_TRUE(Slot(0).GetPhoneVolume(PHONEHOOKSWITCHDEV_HANDSET, phoneVolume));
        EXPECT_EQ(int(phoneVolume), volume.value()) << "the slider sets the phone's volume";
        page->hide();
    }
    EXPECT_FALSE(Child<QRadioButton>(*m_callPage, "beepFromFile").text().isEmpty());
    const auto& rings = Child<QSpinBox>(*m_voicePage, "answerAfter");
    EXPECT_LT(rings.sizeHint().width(), rings.fontMetrics().horizontalAdvance("0") * 12)
        << "sized to two digits";
}

TEST_F(SetupAudioPages, ADeviceChosenOnOnePageIsChosenOnTheOtherAndStoredAtOnce)
{
    MakePages();
    auto& callPlayTo = Child<QComboBox>(*m_callPage, "playTo");
    auto& voicePlayTo = Child<QComboBox>(*m_voicePage, "playTo");
    const QStringList inputs = Items(Child<QComboBox>(*m_voicePage, "recordFrom"));
    EXPECT_TRUE(inputs.contains("Zo-Linka Line 1 Aux")) << inputs.join(", ").toStdString();
    EXPECT_FALSE(inputs.contains("Zo-Linka Line 1")) << "a line's own capture device is not offered";
    EXPECT_TRUE(Items(voicePlayTo).contains("Zo-Linka Line 1"));

    Choose(voicePlayTo, "Zo-Linka Line 1");
    EXPECT_EQ(callPlayTo.currentText(), "Zo-Linka Line 1");
    EXPECT_EQ(m_settings.Read(Settings::kPlayTo), "Zo-Linka Line 1");
    Choose(Child<QComboBox>(*m_callPage, "recordFrom"), "Zo-Linka Line 1 Aux");
    EXPECT_EQ(Child<QComboBox>(*m_voicePage, "recordFrom").currentText(), "Zo-Linka Line 1 Aux");
    EXPECT_EQ(m_settings.Read(Settings::kRecordFrom), "Zo-Linka Line 1 Aux");

    // The device belongs to line 1: "H" switches its phone to the headset and back, stored at once.
    auto& headset = Child<QToolButton>(*m_voicePage, "playToHeadset");
    EXPECT_EQ(headset.property("iconId").toInt(), 276) << "the handset";
    headset.click();
    EXPECT_EQ(Slot(0).IsHeadsetOn(), 1);
    EXPECT_EQ(m_settings.Read(Settings::kLineHeadset, 1), 1);
    EXPECT_EQ(Child<QToolButton>(*m_callPage, "playToHeadset").property("iconId").toInt(), 280);
    EXPECT_EQ(Child<QToolButton>(*m_callPage, "recordHeadset").property("iconId").toInt(), 280);
    Child<QToolButton>(*m_voicePage, "recordHeadset").click();
    EXPECT_EQ(Slot(0).IsHeadsetOn(), 0);
    EXPECT_EQ(m_settings.Read(Settings::kLineHeadset, 1), 0);

    // A device no line owns.
    Choose(callPlayTo, "Silent Audio Device");
    EXPECT_EQ(voicePlayTo.currentText(), "Silent Audio Device");
    EXPECT_EQ(headset.property("iconId").toInt(), 275);
    m_voicePage->StoreValues();
    EXPECT_EQ(m_settings.Read(Settings::kPlayTo), "Silent Audio Device");
}

TEST_F(SetupAudioPages, AStoredDeviceThatMatchesNothingShowsDeviceZeroAndCaseIsIgnored)
{
    m_settings.Write(Settings::kPlayTo, "No such device");
    m_settings.Write(Settings::kRecordFrom, "zo-linka line 3 aux");
    MakePages();
    for (SetupPage* page : { m_callPage.get(), m_voicePage.get() }) {
        EXPECT_EQ(Child<QComboBox>(*page, "playTo").currentIndex(), 0);
        EXPECT_EQ(Child<QComboBox>(*page, "recordFrom").currentText(), "Zo-Linka Line 3 Aux");
    }
    EXPECT_EQ(m_settings.Read(Settings::kPlayTo), "No such device") << "showing is not choosing";
}

TEST_F(SetupAudioPages, AGreetingRecordedIntoANewFolderIsWhatVoiceMailCallersHear)
{
    const std::vector<std::int16_t> voice = Noise(3, 6000);
    ASSERT_TRUE(testing_support::WriteSoundFile((m_dir / "voice.wav").string(), voice));
    ASSERT_EQ(tapisimSetFarEndWave(0, (m_dir / "voice.wav").c_str()), TAPISIM_OK);
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(0).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(3000);

    MakePages();
    const fs::path greeting = m_dir / "Greetings" / "hello.wav";
    ASSERT_FALSE(fs::exists(greeting.parent_path()));
    Child<QLineEdit>(*m_voicePage, "soundFile").setText(QString::fromStdString(greeting.string()));
    Choose(Child<QComboBox>(*m_voicePage, "recordFrom"), "Zo-Linka Line 1 Aux");
    Child<QPushButton>(*m_voicePage, "record").click();
    EXPECT_EQ(Child<QPushButton>(*m_voicePage, "record").property("iconId").toInt(), 271);
    EXPECT_FALSE(Child<QWidget>(*m_voicePage, "play").isEnabled());
    Advance(2000);
    Child<QPushButton>(*m_voicePage, "stop").click();
    EXPECT_TRUE(Child<QWidget>(*m_voicePage, "play").isEnabled());

    const testing_support::SoundFile recorded = testing_support::ReadSoundFile(greeting.string());
    ASSERT_TRUE(recorded.opened) << greeting;
    EXPECT_EQ(recorded.rate, 8000);
    EXPECT_EQ(recorded.channels, 1);
    EXPECT_TRUE(ContainsPart(recorded.samples, voice, 1400, 3100))
        << "the recording holds what the line heard";

    Child<QSpinBox>(*m_voicePage, "answerAfter").setValue(7);
    m_voicePage->StoreValues();
    EXPECT_EQ(m_settings.Read(Settings::kOgmFile), greeting.string());
    EXPECT_EQ(m_app.greetingFile, greeting.string());
    EXPECT_EQ(m_settings.Read(Settings::kAnswerAfter), 7);
    EXPECT_EQ(m_app.answerAfter, 7);

    // The next voice-mail caller hears the new greeting.
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    Settle();
    Ring(1, "5559999", "Fay");
    const HCALL call = OnlyCall(1);
    const LONG request = Slot(1).AnswerCall(call);
    ASSERT_GT(request, 0);
    Slot(1).SetPendingAnswerRequest(request);
    Slot(1).SetSetupCall(call, 1);
    Advance(300); // the answer completes and the greeting starts
    Advance(2200);
    QTest::qWait(3 * CallRecording::kPollIntervalMs);
    Settle();
    const testing_support::SoundFile played = testing_support::ReadSoundFile(greeting.string());
    EXPECT_TRUE(ContainsPart(Heard(1), played.samples, 200, 1800)) << "the caller heard the greeting";
}

TEST_F(SetupAudioPages, TheFormatChooserStartsAtTheCurrentFormatAndItsChoiceShowsOnBothPages)
{
    MakePages();
    EXPECT_EQ(Child<QLineEdit>(*m_voicePage, "formatText").text(), " PCM , 8.000 kHz, 16 Bit, Mono");
    QString initialTag;
    QString initialFormat;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<FormatChooserDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        initialTag = dialog->TagList().currentText();
        initialFormat = dialog->FormatList().currentText();
        EXPECT_EQ(dialog->windowTitle(), "Select Audio Format");
        dialog->TagList().setCurrentIndex(dialog->TagList().findText("GSM 6.10"));
        dialog->accept();
    });
    Child<QPushButton>(*m_voicePage, "selectFormat").click();
    EXPECT_EQ(initialTag, "PCM");
    EXPECT_EQ(initialFormat, "8.000 kHz, 16 Bit, Mono");
    EXPECT_EQ(Child<QLineEdit>(*m_voicePage, "formatText").text(), " GSM 6.10 , 8.000 kHz, Mono");
    EXPECT_EQ(Child<QLineEdit>(*m_callPage, "formatText").text(), " GSM 6.10 , 8.000 kHz, Mono");

    Child<QCheckBox>(*m_callPage, "compression").click();
    EXPECT_TRUE(Child<QCheckBox>(*m_voicePage, "compression").isChecked());
    m_voicePage->StoreValues();
    EXPECT_EQ(m_settings.Read(Settings::kRecordingFormat), "GSM 6.10 , 8.000 kHz, Mono");
    EXPECT_EQ(m_app.recordingFormat, "GSM 6.10 , 8.000 kHz, Mono");
    EXPECT_EQ(m_settings.Read(Settings::kUseCompression), 1);
}

} // namespace
