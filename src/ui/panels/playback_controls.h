#pragma once

#include "telephony/phone_playback.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class WaveRecorder;
struct CallLogContext;

// The player of the call log tab, the voice mail tab and the call details dialog: Stop,
// Play/Pause, Rewind and Delete recording, a progress bar, a volume slider and the "Play to" list.
// It plays the recording of the program-wide current call log entry on the shared audio engine;
// when "Play to" names a line's wave-out device the sound goes to that line's handset, and putting
// the handset down stops it. The engine plays one file at a time: a player that finds the engine
// taken by another window (its playback session changed) resets itself to stopped.
class PlaybackControls : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(PlaybackControls)

public:
    enum class State { Stopped = 0, Playing = 1, Paused = 2 };

    static constexpr int kProgressIntervalMs = 100;
    static constexpr int kVolumeMaximum = 65535;

    explicit PlaybackControls(CallLogContext& context, QWidget* parent = nullptr);
    ~PlaybackControls() override;
    PlaybackControls(const PlaybackControls&) = delete;
    PlaybackControls& operator=(const PlaybackControls&) = delete;

    // Runs after each of the four buttons (the voice mail tab gives its list the focus back).
    void SetAfterButton(std::function<void()> afterButton) { m_afterButton = std::move(afterButton); }

    void PlayOrPause();
    void Stop();
    void Rewind();
    void DeleteRecording();
    // Icons and enabled controls for the state and the current entry.
    void UpdateButtons();
    // The progress timer's work: follow the position, stop at the end.
    void Tick();

    State GetState() const { return m_state; }
    std::uint32_t Length() const { return m_length; }
    // The line whose handset plays, -1 for none.
    int PhoneLine() const { return m_phone.Line(); }
    // The length of the current entry's recording as the progress range (0 when it has none).
    void ShowRecordingLength();

    QPushButton* StopButton() const { return m_stop; }
    QPushButton* PlayButton() const { return m_play; }
    QPushButton* RewindButton() const { return m_rewind; }
    QPushButton* DeleteButton() const { return m_delete; }
    QProgressBar* Progress() const { return m_progress; }
    QSlider* Volume() const { return m_volume; }
    QComboBox* PlayTo() const { return m_playTo; }
    QLabel* PlayToLabel() const { return m_playToLabel; }

private:
    QPushButton* AddButton(const char* name, const char* tip, int iconId, void (PlaybackControls::*action)());
    void FillPlayTo();
    void StartPlayback();
    bool OwnsPlayer() const;
    void Reset();
    void OnVolumeMoved(int value);
    void ShowVolume();
    std::string RecordingFile() const;
    WaveRecorder& Engine() const;

    CallLogContext& m_context;
    std::function<void()> m_afterButton;
    State m_state = State::Stopped;
    std::uint32_t m_position = 0;
    std::uint32_t m_length = 0;
    std::uint32_t m_session = 0;
    QTimer m_timer;
    PhonePlayback m_phone;

    QPushButton* m_stop = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_rewind = nullptr;
    QPushButton* m_delete = nullptr;
    QProgressBar* m_progress = nullptr;
    QSlider* m_volume = nullptr;
    QLabel* m_volumeLabel = nullptr;
    QLabel* m_playToLabel = nullptr;
    QComboBox* m_playTo = nullptr;
};
