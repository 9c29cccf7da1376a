#include "ui/setup/sound_file_box.h"

#include "audio/wave_recorder.h"
#include "platform/kernel.h"
#include "platform/mmsystem.h"
#include "res/images.h"
#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "telephony/line_manager.h"
#include "ui/panels/output_volume.h"
#include "ui/panels/player_parts.h"
#include "ui/setup/audio_format_box.h"
#include "ui/setup/setup_page.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <optional>
#include <system_error>

namespace {

using namespace PlayerParts;

// Icon ids of the "H" buttons and the record button.
constexpr int kSpeakerIcon = 275;
constexpr int kHandsetIcon = 276;
constexpr int kRecordIcon = 277;
constexpr int kHeadsetIcon = 280;
constexpr int kMicrophoneIcon = 281;

constexpr int kLevelRange = 255;
constexpr const char* kTitle = "Kestrium";

// What a player button does, for its tool tip and for screen readers.
QString ActionName(int iconId)
{
    switch (iconId) {
    case kPauseIcon:
        return SoundFileBox::tr("Pause");
    case kStopIcon:
        return SoundFileBox::tr("Stop");
    case kDeleteIcon:
        return SoundFileBox::tr("Delete the file");
    case kRewindIcon:
        return SoundFileBox::tr("Back to the start");
    case kRecordIcon:
        return SoundFileBox::tr("Record");
    default:
        return SoundFileBox::tr("Play");
    }
}

QString OutputName(UINT id)
{
    WAVEOUTCAPSA caps{};
    return waveOutGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR ? QString::fromUtf8(caps.szPname)
                                                                          : QString();
}

QString InputName(UINT id)
{
    WAVEINCAPSA caps{};
    return waveInGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR ? QString::fromUtf8(caps.szPname)
                                                                         : QString();
}

// A line's own capture devices are not offered for test recordings, only their "Aux" side.
bool IsOfferedInput(const QString& name)
{
    return !name.contains("Zo-Linka") || name.contains("Aux");
}

int SelectedDevice(const QComboBox& list)
{
    return list.currentIndex() < 0 ? -1 : list.currentData().toInt();
}

std::string SelectedName(const QComboBox& list)
{
    return list.currentIndex() < 0 ? std::string(Settings::kPlayTo.def) : list.currentText().toStdString();
}

} // namespace

SoundFileBox::SoundFileBox(SetupContext& context, AudioFormatBox& format, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_format(format)
    , m_phone(context.lines, [this] { Stop(); })
{
    connect(&m_timer, &QTimer::timeout, this, &SoundFileBox::OnTimer);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    SetupFileRow();
    SetupPlayer();
    SetupDevices();
    FillDevices();
}

SoundFileBox::~SoundFileBox()
{
    // Neither the engine nor the phone may outlive the box; the page around it is gone already, so
    // no control is touched.
    m_timer.stop();
    StopEngine();
    if (m_partner)
        m_partner->m_partner = nullptr;
}

void SoundFileBox::SetupFileRow()
{
    auto* grid = static_cast<QGridLayout*>(layout());
    m_file = new QLineEdit(this);
    m_file->setObjectName("soundFile");
    m_file->setAccessibleName(tr("Sound file"));
    m_file->setMaxLength(kMaxPathLength);
    m_browse = new QPushButton(tr("Browse..."), this);
    m_browse->setObjectName("browseSoundFile");
    grid->addWidget(m_file, 0, 0, 1, 4);
    grid->addWidget(m_browse, 0, 4);
    connect(m_browse, &QPushButton::clicked, this, &SoundFileBox::BrowseFile);
}

void SoundFileBox::SetupPlayer()
{
    auto* buttons = new QHBoxLayout;
    m_stop = AddButton("stop", kStopIcon, &SoundFileBox::Stop);
    m_play = AddButton("play", kPlayIcon, &SoundFileBox::Play);
    m_rewind = AddButton("rewind", kRewindIcon, &SoundFileBox::Rewind);
    m_delete = AddButton("delete", kDeleteIcon, &SoundFileBox::Delete);
    m_record = AddButton("record", kRecordIcon, &SoundFileBox::Record);
    for (QPushButton* button : { m_stop, m_play, m_rewind, m_delete, m_record })
        buttons->addWidget(button);
    m_progress = CreateProgressBar(this);
    m_progress->setAccessibleName(tr("Progress"));
    // The volume of the device the sound plays to; shown only where that device has one. Sound
    // cards and phones here have no recording gain, so there is no gain slider.
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName("volume");
    m_volume->setRange(0, OutputVolume::kMaximum);
    m_volume->setPageStep(OutputVolume::kMaximum / 10);
    m_volumeLabel = new QLabel(tr("&Volume:"), this);
    m_volumeLabel->setBuddy(m_volume);
    connect(m_volume, &QSlider::valueChanged, this, [this](int value) {
        OutputVolume::Write(m_context.lines, OutputOwner(), value);
        if (m_partner)
            m_partner->ShowVolume(); // the other page plays to the same device
    });
    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addLayout(buttons, 1, 0, 1, 3);
    grid->addWidget(m_progress, 1, 3, 1, 2);
    grid->addWidget(m_volumeLabel, 2, 0);
    grid->addWidget(m_volume, 2, 1, 1, 3);
}

QPushButton* SoundFileBox::AddButton(const char* name, int iconId, void (SoundFileBox::*action)())
{
    auto* button = new QPushButton(this);
    button->setObjectName(name);
    SetFace(*button, iconId);
    connect(button, &QPushButton::clicked, this, action);
    return button;
}

void SoundFileBox::SetupDevices()
{
    m_playTo = new QComboBox(this);
    m_playTo->setObjectName("playTo");
    m_recordFrom = new QComboBox(this);
    m_recordFrom->setObjectName("recordFrom");
    m_playToHeadset = new QToolButton(this);
    m_playToHeadset->setObjectName("playToHeadset");
    m_recordHeadset = new QToolButton(this);
    m_recordHeadset->setObjectName("recordHeadset");
    auto* grid = static_cast<QGridLayout*>(layout());
    auto* playToLabel = new QLabel(tr("&Play to:"), this);
    playToLabel->setBuddy(m_playTo);
    auto* recordLabel = new QLabel(tr("Reco&rd from:"), this);
    recordLabel->setBuddy(m_recordFrom);
    grid->addWidget(playToLabel, 3, 0);
    grid->addWidget(m_playTo, 3, 1, 1, 3);
    grid->addWidget(m_playToHeadset, 3, 4, Qt::AlignLeft);
    grid->addWidget(recordLabel, 4, 0);
    grid->addWidget(m_recordFrom, 4, 1, 1, 3);
    grid->addWidget(m_recordHeadset, 4, 4, Qt::AlignLeft);
    for (QToolButton* button : { m_playToHeadset, m_recordHeadset })
        button->setCheckable(true);
    connect(m_playTo, &QComboBox::currentIndexChanged, this, &SoundFileBox::OnOutputChosen);
    connect(m_recordFrom, &QComboBox::currentIndexChanged, this, &SoundFileBox::OnInputChosen);
    connect(m_playToHeadset, &QToolButton::clicked, this, [this] { ToggleHeadset(OutputOwner()); });
    connect(m_recordHeadset, &QToolButton::clicked, this, [this] { ToggleHeadset(InputOwner()); });
}

// Every wave device by name (each item keeps its device index), then the stored choice.
void SoundFileBox::FillDevices()
{
    const QSignalBlocker outputs(m_playTo);
    const QSignalBlocker inputs(m_recordFrom);
    for (UINT id = 0, count = waveOutGetNumDevs(); id < count; ++id)
        m_playTo->addItem(OutputName(id), int(id));
    for (UINT id = 0, count = waveInGetNumDevs(); id < count; ++id)
        if (const QString name = InputName(id); IsOfferedInput(name))
            m_recordFrom->addItem(name, int(id));
    SelectStored(*m_playTo, m_context.settings.Read(Settings::kPlayTo), OutputName(0));
    SelectStored(*m_recordFrom, m_context.settings.Read(Settings::kRecordFrom), InputName(0));
}

// The entry named like the stored value (letter case ignored), else the one named like device 0,
// else none.
void SoundFileBox::SelectStored(QComboBox& list, const std::string& stored, const QString& deviceZero)
{
    int index = list.findText(QString::fromStdString(stored), Qt::MatchFixedString);
    if (index < 0)
        index = deviceZero.isEmpty() ? -1 : list.findText(deviceZero, Qt::MatchFixedString);
    list.setCurrentIndex(index);
}

void SoundFileBox::OnOutputChosen()
{
    if (m_partner)
        m_partner->SelectQuietly(*m_partner->m_playTo, m_playTo->currentText());
    m_context.settings.Write(Settings::kPlayTo, SelectedOutput());
    UpdateControls();
}

void SoundFileBox::OnInputChosen()
{
    if (m_partner)
        m_partner->SelectQuietly(*m_partner->m_recordFrom, m_recordFrom->currentText());
    m_context.settings.Write(Settings::kRecordFrom, SelectedInput());
    UpdateControls();
}

void SoundFileBox::SelectQuietly(QComboBox& list, const QString& name)
{
    const QSignalBlocker blocker(&list);
    list.setCurrentIndex(list.findText(name, Qt::MatchFixedString));
    UpdateControls();
}

void SoundFileBox::ToggleHeadset(int line)
{
    if (line < 0)
        return;
    LineSlot& slot = m_context.lines.GetLineSlot(line);
    slot.SetHeadset(slot.IsHeadsetOn() == 0);
    m_context.settings.Write(Settings::kLineHeadset, slot.IsHeadsetOn(), line + 1);
    UpdateControls();
    if (m_partner)
        m_partner->UpdateControls();
}

// The open line whose wave-out device is the selected one, -1 for none.
int SoundFileBox::OutputOwner() const
{
    return PhonePlayback::LineOfWaveOut(m_context.lines, SelectedDevice(*m_playTo));
}

// The open line one of whose wave-in devices is the selected one, -1 for none.
int SoundFileBox::InputOwner() const
{
    const int device = SelectedDevice(*m_recordFrom);
    for (int line = 0; device >= 0 && line < LineManager::kSlotCount; ++line) {
        const LineSlot& slot = m_context.lines.GetLineSlot(line);
        if (slot.IsOpen() && (slot.GetWaveInDeviceId() == device || slot.GetWaveInAuxDeviceId() == device))
            return line;
    }
    return -1;
}

void SoundFileBox::ShowHeadset(QToolButton& button, int line, int noLineIcon)
{
    const bool headset = line >= 0 && m_context.lines.GetLineSlot(line).IsHeadsetOn() != 0;
    const int iconId = line < 0 ? noLineIcon : headset ? kHeadsetIcon : kHandsetIcon;
    button.setProperty("iconId", iconId);
    button.setIcon(Images::Icon(iconId));
    button.setChecked(headset);
    const QString tip = line < 0 ? tr("No line uses this device") : headset ? tr("Headset") : tr("Handset");
    button.setToolTip(tip);
    button.setAccessibleName(tip);
}

void SoundFileBox::SetFile(const std::string& path)
{
    m_file->setText(QString::fromStdString(path));
    ShowFileLength();
}

std::string SoundFileBox::File() const
{
    return m_file->text().toStdString();
}

std::string SoundFileBox::SelectedOutput() const
{
    return SelectedName(*m_playTo);
}

std::string SoundFileBox::SelectedInput() const
{
    return SelectedName(*m_recordFrom);
}

// The file's length becomes the progress range.
void SoundFileBox::ShowFileLength()
{
    std::uint32_t length = 0;
    if (!Engine().GetFileLength(File().c_str(), &length).Ok())
        length = 0;
    m_length = length;
    SetProgressRange(*m_progress, length);
    m_progress->setValue(0);
}

void SoundFileBox::Play()
{
    StartPauseOrResume(
        WaveRecorder::kPlaybackTarget, State::Playing, State::PlaybackPaused, &SoundFileBox::StartPlayback);
}

void SoundFileBox::StartPlayback()
{
    const int device = SelectedDevice(*m_playTo);
    if (device < 0)
        return;
    if (m_partner)
        m_partner->Stop(); // the engine plays one file at a time
    CreateFileFolder();
    std::uint32_t length = 0;
    if (!m_phone.Play(Engine(), File(), m_position, device, length))
        return;
    m_length = length;
    SetProgressRange(*m_progress, length);
    m_state = State::Playing;
    m_timer.start(kPlayIntervalMs);
}

void SoundFileBox::Record()
{
    StartPauseOrResume(WaveRecorder::kCaptureTarget, State::Recording, State::RecordingPaused,
        &SoundFileBox::StartRecording);
}

// The play and record buttons: start when idle, pause when running, resume when paused.
void SoundFileBox::StartPauseOrResume(int target, State running, State paused, void (SoundFileBox::*start)())
{
    WaveRecorder& engine = Engine();
    if (m_state == State::Idle)
        (this->*start)();
    else if (m_state == running && engine.Pause(target).Ok())
        m_state = paused;
    else if (m_state == paused && engine.Resume(target).Ok())
        m_state = running;
    UpdateControls();
}

void SoundFileBox::StartRecording()
{
    const int device = SelectedDevice(*m_recordFrom);
    if (device < 0)
        return;
    if (m_partner)
        m_partner->Stop();
    m_phone.Connect(InputOwner());
    m_format.ApplyToEngine();
    CreateFileFolder();
    if (!Engine().StartRecording(File().c_str(), std::int16_t(device)).Ok()) {
        m_phone.Release();
        return;
    }
    m_state = State::Recording;
    m_progress->setRange(0, kLevelRange);
    m_timer.start(kLevelIntervalMs);
}

// The folder the file goes in (one level), so a new greeting can be recorded into a new folder.
void SoundFileBox::CreateFileFolder() const
{
    const std::filesystem::path folder = std::filesystem::path(File()).parent_path();
    if (!folder.empty())
        platform::CreateOneDirectory(folder.string());
}

void SoundFileBox::Stop()
{
    m_timer.stop();
    if (m_state == State::Idle)
        return;
    const bool recording = m_state == State::Recording || m_state == State::RecordingPaused;
    if (StopEngine()) {
        m_progress->setValue(0);
        if (recording)
            ShowFileLength();
    }
    UpdateControls();
}

// Stops playback or recording and gives the phone back; true once the page is idle.
bool SoundFileBox::StopEngine()
{
    if (m_state == State::Idle)
        return true;
    const bool recording = m_state == State::Recording || m_state == State::RecordingPaused;
    m_phone.Release();
    WaveRecorder& engine = Engine();
    const AudioResult result = recording ? engine.StopRecording() : engine.ClosePlayback();
    // A recording whose file could not be finished has still stopped.
    if (!result.Ok() && !(recording && !engine.IsRecording()))
        return false;
    m_state = State::Idle;
    m_position = 0;
    return true;
}

void SoundFileBox::Rewind()
{
    if (Engine().Seek(0, m_state == State::Playing).Ok()) {
        m_position = 0;
        m_progress->setValue(0);
    }
    UpdateControls();
}

void SoundFileBox::Delete()
{
    if (m_context.prompter.AskYesNo(kDeleteQuestion, kTitle)) {
        std::error_code error;
        std::filesystem::remove(File(), error);
        ShowFileLength();
    }
    UpdateControls();
}

void SoundFileBox::BrowseFile()
{
    const QString chosen
        = QFileDialog::getOpenFileName(this, QString(), m_file->text(), tr("Wave (*.WAV *.wav)"));
    if (!chosen.isEmpty() && chosen.size() <= kMaxPathLength)
        SetFile(chosen.toStdString());
}

void SoundFileBox::OnTimer()
{
    WaveRecorder& engine = Engine();
    if (m_state == State::Recording || m_state == State::RecordingPaused) {
        std::uint8_t level = 0;
        engine.GetLevel(&level);
        m_progress->setValue(level);
        return;
    }
    std::uint32_t position = 0;
    if (!engine.GetPosition(&position).Ok())
        return;
    m_position = position;
    m_progress->setValue(int(std::min<std::uint32_t>(position, INT_MAX)));
    if (position >= m_length) {
        m_progress->setValue(0);
        Stop();
    }
}

void SoundFileBox::SetFace(QPushButton& button, int iconId)
{
    button.setProperty("iconId", iconId);
    button.setIcon(Images::Icon(iconId));
    button.setToolTip(ActionName(iconId));
    button.setAccessibleName(ActionName(iconId));
}

// The slider shows the volume of the device the sound plays to, and only where it has one.
void SoundFileBox::ShowVolume()
{
    const std::optional<int> volume = OutputVolume::Read(m_context.lines, OutputOwner());
    m_volume->setVisible(volume.has_value());
    m_volumeLabel->setVisible(volume.has_value());
    if (volume) {
        const QSignalBlocker blocker(m_volume);
        m_volume->setValue(*volume);
    }
}

void SoundFileBox::UpdateControls()
{
    ShowHeadset(*m_playToHeadset, OutputOwner(), kSpeakerIcon);
    ShowHeadset(*m_recordHeadset, InputOwner(), kMicrophoneIcon);
    ShowVolume();
    if (m_usable && !m_usable()) {
        for (QWidget* widget :
            std::initializer_list<QWidget*>{ m_stop, m_play, m_rewind, m_delete, m_record, m_playTo,
                m_recordFrom, m_file, m_browse, m_playToHeadset, m_recordHeadset, m_volume, m_volumeLabel })
            widget->setEnabled(false);
        return;
    }
    m_file->setEnabled(true);
    m_progress->setEnabled(true);
    m_volume->setEnabled(true);
    m_volumeLabel->setEnabled(true);
    const bool playing = m_state == State::Playing || m_state == State::PlaybackPaused;
    const bool recording = m_state == State::Recording || m_state == State::RecordingPaused;
    SetFace(*m_play, m_state == State::Playing ? kPauseIcon : kPlayIcon);
    SetFace(*m_record, m_state == State::Recording ? kPauseIcon : kRecordIcon);
    EnablePlayer(playing, recording);
}

void SoundFileBox::EnablePlayer(bool playing, bool recording)
{
    const bool idle = !playing && !recording;
    m_stop->setEnabled(!idle);
    m_play->setEnabled(!recording);
    m_rewind->setEnabled(playing);
    m_delete->setEnabled(idle);
    m_record->setEnabled(!playing);
    for (QWidget* widget :
        std::initializer_list<QWidget*>{ m_playTo, m_recordFrom, m_browse, m_playToHeadset, m_recordHeadset })
        widget->setEnabled(idle);
}

WaveRecorder& SoundFileBox::Engine() const
{
    return m_context.lines.GetSharedAudioEngine();
}
