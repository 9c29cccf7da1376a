#include "ui/setup/voice_mail_page.h"

#include "audio/wave_recorder.h"
#include "platform/kernel.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "telephony/line_manager.h"
#include "ui/setup/audio_format_box.h"
#include "ui/setup/folder_field.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <filesystem>

namespace {

// Rings before the answer; a stored count below the range shows as 0, which answers at the first
// ring as it did.
constexpr int kMostRings = 99;

} // namespace

VoiceMailPage::VoiceMailPage(SetupContext& context, QWidget* parent)
    : AudioSetupPage(context, parent)
    , m_folder(new FolderField(tr("Recorded audio location:"), tr("Select folder for voicemail recordings:"),
          context.appSettings.voiceMailFolder, this))
    , m_answer(new QCheckBox(tr("Answer automatically after"), this))
    , m_rings(new QSpinBox(this))
{
    const AppSettings& app = context.appSettings;
    m_answer->setChecked(app.voiceMailOn != 0);
    m_rings->setObjectName("answerAfter");
    m_rings->setRange(0, kMostRings);
    m_rings->setValue(app.answerAfter);
    m_rings->setAccessibleName(tr("Rings before the answer"));
    WaveRecorder& engine = context.lines.GetSharedAudioEngine();
    engine.FindFormat(app.recordingFormat.c_str());
    engine.SetCompression(app.useCompression != 0 ? 1 : 0);
    m_sound->SetFile(app.greetingFile);
    m_sound->UpdateControls();

    auto* operation = new QGroupBox(tr("Operation:"), this);
    auto* operationLayout = new QHBoxLayout(operation);
    operationLayout->addWidget(m_answer);
    operationLayout->addWidget(m_rings);
    auto* rings = new QLabel(tr("rings"), operation);
    rings->setBuddy(m_rings);
    operationLayout->addWidget(rings);
    operationLayout->addStretch(1);
    auto* greeting = new QGroupBox(tr("Greeting message:"), this);
    m_sound->setParent(greeting);
    (new QVBoxLayout(greeting))->addWidget(m_sound);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_folder);
    layout->addWidget(operation);
    layout->addWidget(greeting);
    layout->addWidget(m_format);
    layout->addStretch(1);
}

void VoiceMailPage::StoreValues()
{
    SettingsStore& settings = m_context.settings;
    AppSettings& app = m_context.appSettings;
    StoreFolder(Settings::kVoicemailPath, m_folder->Folder(), app.voiceMailFolder);
    app.greetingFile = m_sound->File();
    platform::CreateOneDirectory(std::filesystem::path(app.greetingFile).parent_path().string());
    settings.Write(Settings::kOgmFile, app.greetingFile);
    app.recordingFormat = m_format->FormatText();
    settings.Write(Settings::kRecordingFormat, app.recordingFormat);
    StoreSwitch(Settings::kUseCompression, m_format->Compression(), app.useCompression);
    StoreSwitch(Settings::kVoicemailOn, m_answer->isChecked(), app.voiceMailOn);
    app.answerAfter = m_rings->value();
    settings.Write(Settings::kAnswerAfter, app.answerAfter);
    settings.Write(Settings::kPlayTo, m_sound->SelectedOutput());
    settings.Write(Settings::kRecordFrom, m_sound->SelectedInput());
}
