#pragma once

#include "telephony/phone_playback.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

class AudioFormatBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QToolButton;
class WaveRecorder;
struct SetupContext;

// The sound file of a setup page (the beep or the greeting) with its player and recorder: the file
// field and "Browse...", the player buttons, the progress bar, the volume slider (where the device
// has a volume), and
// the "Play to:" and "Record from:" device lists with their handset/headset buttons. The device lists mirror
// those of the partner page; a device that belongs to a line plays and records through its phone.
class SoundFileBox : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(SoundFileBox)

public:
    enum class State { Idle = 0, Playing = 1, PlaybackPaused = 2, Recording = 3, RecordingPaused = 4 };

    static constexpr int kMaxPathLength = 259;
    static constexpr int kPlayIntervalMs = 100;
    static constexpr int kLevelIntervalMs = 10;

    // `format` gives the engine the page's format before each recording.
    SoundFileBox(SetupContext& context, AudioFormatBox& format, QWidget* parent);
    ~SoundFileBox() override;
    SoundFileBox(const SoundFileBox&) = delete;
    SoundFileBox& operator=(const SoundFileBox&) = delete;

    void SetPartner(SoundFileBox* partner) { m_partner = partner; }
    // The player is usable only while `usable` answers true (the beep file radio button).
    void SetUsableRule(std::function<bool()> usable) { m_usable = std::move(usable); }

    void SetFile(const std::string& path);
    std::string File() const;
    // The selected device names, "*" when none is selected.
    std::string SelectedOutput() const;
    std::string SelectedInput() const;
    State GetState() const { return m_state; }

    // Sets icons and enables the controls by state.
    void UpdateControls();
    // Stops playback or recording.
    void Stop();

private:
    void SetupFileRow();
    void SetupPlayer();
    void SetupDevices();
    QPushButton* AddButton(const char* name, int iconId, void (SoundFileBox::*action)());

    void FillDevices();
    void SelectStored(QComboBox& list, const std::string& stored, const QString& deviceZero);
    void OnOutputChosen();
    void OnInputChosen();
    void SelectQuietly(QComboBox& list, const QString& name);
    void ToggleHeadset(int line);
    int OutputOwner() const;
    int InputOwner() const;
    void ShowHeadset(QToolButton& button, int line, int noLineIcon);

    void Play();
    void Record();
    void Rewind();
    void Delete();
    void BrowseFile();
    void StartPlayback();
    void StartRecording();
    void StartPauseOrResume(int target, State running, State paused, void (SoundFileBox::*start)());
    bool StopEngine();
    void CreateFileFolder() const;
    void ShowFileLength();
    void OnTimer();
    void SetFace(QPushButton& button, int iconId);
    void ShowVolume();
    void EnablePlayer(bool playing, bool recording);

    WaveRecorder& Engine() const;

    SetupContext& m_context;
    AudioFormatBox& m_format;
    SoundFileBox* m_partner = nullptr;
    std::function<bool()> m_usable;

    State m_state = State::Idle;
    std::uint32_t m_position = 0;
    std::uint32_t m_length = 0;
    QTimer m_timer;
    // The line whose phone the playback or recording goes through.
    PhonePlayback m_phone;

    QLineEdit* m_file = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_rewind = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_record = nullptr;
    QProgressBar* m_progress = nullptr;
    QSlider* m_volume = nullptr;
    QLabel* m_volumeLabel = nullptr;
    QComboBox* m_playTo = nullptr;
    QComboBox* m_recordFrom = nullptr;
    QToolButton* m_playToHeadset = nullptr;
    QToolButton* m_recordHeadset = nullptr;
};
