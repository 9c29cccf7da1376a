#include "ui/panels/playback_controls.h"

#include "audio/play_to_list.h"
#include "audio/wave_recorder.h"
#include "res/images.h"
#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "store/recording_path.h"
#include "tapi/include/tapi.h"
#include "telephony/line_manager.h"
#include "ui/panels/call_log_context.h"
#include "ui/panels/output_volume.h"
#include "ui/panels/player_parts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <climits>

namespace {

using namespace PlayerParts;

constexpr const char* kTitle = "Kestrium";

} // namespace

PlaybackControls::PlaybackControls(CallLogContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_phone(context.lines, [this] {
        if (m_state != State::Stopped)
            Stop();
    })
{
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    m_stop = AddButton("stop", QT_TR_NOOP("Stop"), kStopIcon, &PlaybackControls::Stop);
    m_play = AddButton("play", QT_TR_NOOP("Play/Pause"), kPlayIcon, &PlaybackControls::PlayOrPause);
    m_rewind = AddButton("rewind", QT_TR_NOOP("Back to start"), kRewindIcon, &PlaybackControls::Rewind);
    m_delete = AddButton(
        "deleteRecording", QT_TR_NOOP("Delete recording"), kDeleteIcon, &PlaybackControls::DeleteRecording);
    for (QPushButton* button : { m_stop, m_play, m_rewind, m_delete })
        buttons->addWidget(button);
    m_progress = CreateProgressBar(this);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName("volume");
    m_volume->setToolTip(tr("Volume"));
    m_volume->setRange(0, kVolumeMaximum);
    m_volume->setPageStep(kVolumeMaximum / 10);
    m_playToLabel = new QLabel(tr("Play to:"), this);
    m_playTo = new QComboBox(this);
    m_playTo->setObjectName("playTo");

    m_volumeLabel = new QLabel(tr("Volume:"), this);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addLayout(buttons, 0, 0);
    grid->addWidget(m_progress, 0, 1);
    grid->addWidget(m_volumeLabel, 1, 0);
    grid->addWidget(m_volume, 1, 1);
    grid->addWidget(m_playToLabel, 2, 0);
    grid->addWidget(m_playTo, 2, 1);
    grid->setColumnStretch(1, 1);

    connect(&m_timer, &QTimer::timeout, this, &PlaybackControls::Tick);
    connect(m_volume, &QSlider::valueChanged, this, &PlaybackControls::OnVolumeMoved);
    connect(m_playTo, &QComboBox::currentTextChanged, this,
        [this](const QString& name) { PlayToList(m_context.settings).Select(name.toStdString()); });
    FillPlayTo();
    ShowVolume();
    UpdateButtons();
}

PlaybackControls::~PlaybackControls()
{
    // Neither the engine nor a line's phone may keep playing for a window that is gone.
    m_timer.stop();
    if (m_state != State::Stopped && OwnsPlayer())
        Engine().ClosePlayback();
}

QPushButton* PlaybackControls::AddButton(
    const char* name, const char* tip, int iconId, void (PlaybackControls::*action)())
{
    auto* button = new QPushButton(this);
    button->setObjectName(name);
    button->setToolTip(tr(tip));
    button->setAccessibleName(tr(tip));
    button->setIcon(Images::Icon(iconId));
    button->setProperty("iconId", iconId);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, action] {
        (this->*action)();
        if (m_afterButton)
            m_afterButton();
    });
    return button;
}

// Every wave-out device by its product name, then the stored choice (else device 0's entry).
void PlaybackControls::FillPlayTo()
{
    const QSignalBlocker blocker(m_playTo);
    const std::vector<std::string> names = PlayToList::DeviceNames();
    for (const std::string& name : names)
        m_playTo->addItem(QString::fromStdString(name));
    m_playTo->setCurrentIndex(PlayToList(m_context.settings).SelectedIndex(names));
}

void PlaybackControls::PlayOrPause()
{
    if (m_state != State::Stopped && !OwnsPlayer())
        Reset();
    WaveRecorder& engine = Engine();
    if (m_state == State::Stopped)
        StartPlayback();
    else if (m_state == State::Playing && engine.Pause(WaveRecorder::kPlaybackTarget).Ok())
        m_state = State::Paused;
    else if (m_state == State::Paused && engine.Resume(WaveRecorder::kPlaybackTarget).Ok())
        m_state = State::Playing;
    UpdateButtons();
}

// The entry counts as heard once it starts playing; a "Play to" that names no device plays
// nothing and leaves the entry as it was.
void PlaybackControls::StartPlayback()
{
    CallLogEntry* entry = m_context.CurrentEntry();
    if (!entry || entry->recordingPath.empty())
        return;
    const int device = PlayToList::FindOutputDevice(m_playTo->currentText().toStdString());
    if (device < 0)
        return;
    if (entry->IsUnheard()) {
        entry->SetUnheard(false);
        m_context.Save();
        m_context.RefreshLists();
    }
    std::uint32_t length = 0;
    if (!m_phone.Play(Engine(), RecordingFile(), m_position, device, length))
        return;
    m_length = length;
    m_session = Engine().PlaybackSession();
    SetProgressRange(*m_progress, length);
    m_progress->setValue(0);
    m_state = State::Playing;
    m_timer.start(kProgressIntervalMs);
}

bool PlaybackControls::OwnsPlayer() const
{
    return Engine().PlaybackSession() == m_session;
}

// Stopped without touching the engine, which now plays for another window (or nothing).
void PlaybackControls::Reset()
{
    m_timer.stop();
    m_phone.Release();
    m_state = State::Stopped;
    m_position = 0;
    m_progress->setValue(0);
}

void PlaybackControls::Stop()
{
    m_timer.stop();
    if (m_state != State::Stopped) {
        if (OwnsPlayer())
            Engine().ClosePlayback();
        Reset();
    }
    UpdateButtons();
}

void PlaybackControls::Tick()
{
    if (m_state == State::Stopped || !OwnsPlayer()) {
        Reset();
        UpdateButtons();
        return;
    }
    std::uint32_t position = 0;
    if (!Engine().GetPosition(&position).Ok())
        return;
    m_position = position;
    m_progress->setValue(int(std::min<std::uint32_t>(position, INT_MAX)));
    if (position >= m_length)
        Stop();
}

// While paused the position goes back to the start and playback stays paused.
void PlaybackControls::Rewind()
{
    if (m_state != State::Stopped && OwnsPlayer() && Engine().Seek(0, m_state == State::Playing).Ok()) {
        m_position = 0;
        m_progress->setValue(0);
    }
    UpdateButtons();
}

// The recording is copied into the deleted folder and the entry forgets it; the file itself stays.
void PlaybackControls::DeleteRecording()
{
    CallLogEntry* entry = m_context.CurrentEntry();
    if (!entry || entry->recordingPath.empty()
        || !m_context.prompter.AskYesNo(
            QCoreApplication::translate("PlayerParts", kDeleteQuestion).toStdString(), kTitle)) {
        UpdateButtons();
        return;
    }
    if (m_context.store.ArchiveRecording(*entry)) {
        entry->recordingPath.clear();
        m_context.Save();
        m_context.RefreshLists();
    } else {
        m_context.prompter.ShowMessage(
            tr("The recording could not be copied into the folder for deleted recordings (\"%1\"), so it was "
               "kept.")
                .arg(QString::fromStdString(m_context.store.DeletedFolder().string()))
                .toStdString(),
            kTitle, Prompter::Icon::Stop);
    }
    if (entry->recordingPath.empty()) {
        m_length = 0;
        SetProgressRange(*m_progress, 0);
    }
    UpdateButtons();
}

void PlaybackControls::ShowRecordingLength()
{
    std::uint32_t length = 0;
    const CallLogEntry* entry = m_context.CurrentEntry();
    if (!entry || entry->recordingPath.empty()
        || !Engine().GetFileLength(RecordingFile().c_str(), &length).Ok())
        length = 0;
    m_length = length;
    SetProgressRange(*m_progress, length);
    m_progress->setValue(0);
}

void PlaybackControls::UpdateButtons()
{
    const CallLogEntry* entry = m_context.CurrentEntry();
    const bool active = m_state != State::Stopped;
    const bool hasRecording = active || (entry && !entry->recordingPath.empty());
    const int face = m_state == State::Playing ? kPauseIcon : kPlayIcon;
    m_play->setIcon(Images::Icon(face));
    m_play->setProperty("iconId", face);
    m_stop->setEnabled(active);
    m_rewind->setEnabled(active);
    m_play->setEnabled(hasRecording);
    m_progress->setEnabled(hasRecording);
    m_volume->setEnabled(hasRecording);
    m_volumeLabel->setEnabled(hasRecording);
    m_delete->setEnabled(hasRecording && !active);
    m_playTo->setEnabled(hasRecording && !active);
    m_playToLabel->setEnabled(hasRecording && !active);
}

// The volume of the line's phone while its handset (or headset) plays, else the sound card's.
void PlaybackControls::OnVolumeMoved(int value)
{
    OutputVolume::Write(m_context.lines, m_phone.Line(), value);
}

// The slider starts at the sound card's volume.
void PlaybackControls::ShowVolume()
{
    const std::optional<int> volume = OutputVolume::Read(m_context.lines, -1);
    if (!volume)
        return;
    const QSignalBlocker blocker(m_volume);
    m_volume->setValue(*volume);
}

std::string PlaybackControls::RecordingFile() const
{
    const CallLogEntry* entry = m_context.CurrentEntry();
    return entry ? RecordingPath::ToLocalFile(entry->recordingPath).string() : std::string();
}

WaveRecorder& PlaybackControls::Engine() const
{
    return m_context.lines.GetSharedAudioEngine();
}
