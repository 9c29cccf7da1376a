#include "ui/setup/call_recording_page.h"

#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "ui/setup/audio_format_box.h"
#include "ui/setup/folder_field.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

CallRecordingPage::CallRecordingPage(SetupContext& context, QWidget* parent)
    : AudioSetupPage(context, parent)
    , m_callFolder(new FolderField(tr("&Calls recordings folder:"), tr("Select folder for call recordings:"),
          context.appSettings.callRecordingsFolder, this))
    , m_generalFolder(new FolderField(tr("&General recordings folder:"),
          tr("Select folder for general recordings:"), context.appSettings.generalRecordingsFolder, this))
    , m_autoRecord(new QCheckBox(tr("Record calls &automatically"), this))
    , m_playBeep(new QCheckBox(tr("play &warning tone to other party"), this))
    , m_beepTone(new QRadioButton(tr("&beep tone"), this))
    , m_beepFile(new QRadioButton(tr("tone from this sound file:"), this))
{
    const AppSettings& app = context.appSettings;
    m_autoRecord->setChecked(app.autoRecordCalls != 0);
    m_playBeep->setChecked(app.playBeepWhenRecording != 0);
    m_beepTone->setObjectName("beepTone");
    m_beepFile->setObjectName("beepFromFile");
    (app.playBeepFromFile != 0 ? m_beepFile : m_beepTone)->setChecked(true);
    m_sound->SetFile(app.beepFile);
    m_sound->SetUsableRule([this] { return m_beepFile->isChecked(); });
    m_sound->UpdateControls();
    connect(m_beepTone, &QRadioButton::clicked, m_sound, &SoundFileBox::UpdateControls);
    connect(m_beepFile, &QRadioButton::clicked, m_sound, &SoundFileBox::UpdateControls);

    auto* operation = new QGroupBox(tr("Operation:"), this);
    auto* operationLayout = new QVBoxLayout(operation);
    for (QWidget* widget :
        std::initializer_list<QWidget*>{ m_autoRecord, m_playBeep, m_beepTone, m_beepFile })
        operationLayout->addWidget(widget);
    m_sound->setParent(operation);
    operationLayout->addWidget(m_sound);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_callFolder);
    layout->addWidget(m_generalFolder);
    layout->addWidget(operation);
    layout->addWidget(m_format);
    layout->addStretch(1);
}

void CallRecordingPage::StoreValues()
{
    AppSettings& app = m_context.appSettings;
    StoreFolder(Settings::kCallRecordingsPath, m_callFolder->Folder(), app.callRecordingsFolder);
    StoreFolder(Settings::kGeneralRecordingsPath, m_generalFolder->Folder(), app.generalRecordingsFolder);
    StoreSwitch(Settings::kAutoRecordCalls, m_autoRecord->isChecked(), app.autoRecordCalls);
    StoreSwitch(Settings::kPlayBeepWhenRecording, m_playBeep->isChecked(), app.playBeepWhenRecording);
    StoreSwitch(Settings::kPlayBeepFromFile, m_beepFile->isChecked(), app.playBeepFromFile);
    app.beepFile = m_sound->File();
    m_context.settings.Write(Settings::kBeepFile, app.beepFile);
}
