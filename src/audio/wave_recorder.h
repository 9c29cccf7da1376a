#pragma once

#include "platform/mmsystem.h"
#include "platform/msacm.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {
class WaveAudio;
}

// Told when a file started with WaveRecorder::Play has played to its end. Called on the playback
// device's thread: a window hands it over to its own thread before touching widgets, and must not
// wait there for its own thread (SetPlaybackObserver waits for a call in progress).
class PlaybackObserver {
public:
    virtual ~PlaybackObserver() = default;
    virtual void PlaybackComplete() = 0;
};

// The audio engine: capture from a wave-in device into a WAVE file (optionally compressed buffer by
// buffer), the recording format, playback of WAVE files on a wave-out device, and the volume of
// wave-out device 0. Every operation returns 0, a negative code of the engine, or the error code of
// the multimedia service that failed.
class WaveRecorder {
public:
    // Targets of Pause and Resume.
    static constexpr int kPlaybackTarget = 1;
    static constexpr int kCaptureTarget = 2;

    static constexpr std::size_t kBufferCount = 4;
    static constexpr DWORD kBufferBytes = 10000;
    static constexpr std::size_t kBufferBlockBytes = 10016;
    // The longest target path; names the program gives its recordings stay within it.
    static constexpr std::size_t kMaxTargetPath = 247;
    static constexpr std::size_t kFormatBytes = 50;
    static constexpr std::size_t kDescriptionBytes = 256;

    WaveRecorder();
    ~WaveRecorder();
    WaveRecorder(const WaveRecorder&) = delete;
    WaveRecorder& operator=(const WaveRecorder&) = delete;

    // Capture.
    std::int32_t StartRecording(const char* path, std::int16_t deviceId);
    std::int32_t StopRecording();
    std::int32_t Pause(int target);
    std::int32_t Resume(int target);
    std::int32_t GetLevel(std::uint8_t* level) const;
    bool IsRecording() const { return m_recording != 0; }
    // Called once, on the capture device's thread, when the recording's file cannot be written any
    // more (full disk, folder gone): the audio from then on is dropped, and StopRecording keeps
    // what was written as a playable file and returns MMIOERR_CANNOTWRITE. Set while not recording.
    void SetWriteFailureHandler(std::function<void()> handler);
    // True from such a failure until the next StartRecording.
    bool WriteFailed() const { return m_writeFailed.load(); }

    // Recording format.
    std::int32_t FindFormat(const char* description);
    std::int32_t ChooseFormat(void* owner);
    std::int32_t GetFormatDescription(char* buffer, std::uint32_t size) const;
    void SetCompression(std::uint32_t flag);

    // Playback (WavePlayer).
    std::int32_t Play(const char* path, std::uint32_t startMs, std::int16_t waveOutDevice);
    std::int32_t GetFileLength(const char* path, std::uint32_t* lengthMs);
    std::int32_t GetPosition(std::uint32_t* positionMs);
    std::int32_t Seek(std::uint32_t positionMs, bool playOn);
    std::int32_t ClosePlayback();
    void SetPlaybackObserver(PlaybackObserver* observer);
    // Changes whenever the playback device is closed (Play, GetFileLength, ClosePlayback): a
    // window that remembers it after its Play knows the device is still its own while it holds.
    std::uint32_t PlaybackSession() const { return m_playbackSession; }

    // Volume of wave-out device 0 (MixerControl), 0 to 65,535 per channel.
    std::int32_t GetVolume(std::uint32_t* left, std::uint32_t* right);
    std::int32_t SetVolume(std::int32_t left, std::int32_t right);

private:
    struct CaptureBuffer {
        std::unique_ptr<char[]> data;
        std::unique_ptr<WAVEHDR> header;
    };

    static void WaveInProc(HWAVEIN hwi, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
    static BOOL DriverEnumProc(HACMDRIVERID driverId, DWORD_PTR instance, DWORD support);
    static BOOL FormatEnumProc(
        HACMDRIVERID driverId, ACMFORMATDETAILSA* details, DWORD_PTR instance, DWORD support);

    // Capture side.
    MMRESULT OpenCaptureDevice(std::int16_t deviceId);
    void CloseCaptureDevice();
    void BufferDone(HWAVEIN hwi, WAVEHDR* header);
    void MeasureLevel(const WAVEHDR& header);
    void WriteCaptured(const char* data, DWORD bytes, DWORD convertFlags);
    bool Convert(const char* data, DWORD bytes, DWORD flags, DWORD& converted);
    bool StartFile();
    bool UpdateSizes();
    void FailWriting();
    std::int32_t FinishFile();
    bool WriteFinalSizes();
    const WAVEFORMATEX& FileFormat() const;
    DWORD FileSamples(DWORD dataBytes) const;
    bool Compressing() const;
    std::int32_t PauseCapture();
    std::int32_t ResumeCapture();

    // Formats.
    WAVEFORMATEX* RecordingFormat();
    const WAVEFORMATEX* RecordingFormat() const;
    void SetRecordingFormat(const WAVEFORMATEX& format);
    MMRESULT OpenConversionStream();
    void CloseConversionStream();
    void SetDescription(const char* formatTag, const char* format);
    void MatchFormat(ACMFORMATDETAILSA& details);

    // Playback.
    std::int32_t PausePlayback();
    std::int32_t ResumePlayback();
    void NotifyPlaybackComplete();
    void CloseDevice();

    std::uint32_t m_levelSum = 0;
    std::atomic<std::uint32_t> m_level{ 0 };
    std::uint32_t m_levelCount = 0;
    std::uint32_t m_ready = 0;
    std::uint32_t m_compression = 0;
    alignas(WAVEFORMATEX) std::array<std::uint8_t, kFormatBytes> m_recordingFormat{};
    MmioHandle m_captureFile;
    std::vector<std::uint8_t> m_conversionBuffer;
    std::uint32_t m_bytesWritten = 0;
    HWAVEIN m_captureDevice = nullptr;
    WAVEFORMATEX m_captureFormat{};
    HACMSTREAM m_conversionStream = nullptr;
    DWORD m_conversionBufferSize = 0;
    std::array<char, kDescriptionBytes> m_formatDescription{};
    std::atomic<bool> m_stopRequested{ false };
    std::uint32_t m_recording = 0;
    std::uint32_t m_paused = 0;
    std::array<char, kMaxTargetPath + 1> m_targetPath{};
    std::array<CaptureBuffer, kBufferCount> m_captureBuffers;
    // Latched by StartRecording: the compression switch for the header, and whether the buffers
    // are converted (the switch is on and the recording format is not the capture format).
    std::uint32_t m_captureCompression = 0;
    bool m_captureConverts = false;
    // The format in the file's header: the recording format with the compression switch on, else
    // the default PCM format.
    alignas(WAVEFORMATEX) std::array<std::uint8_t, kFormatBytes> m_fileFormat{};
    std::atomic<bool> m_writeFailed{ false };
    std::function<void()> m_writeFailureHandler;

    // Format search.
    HACMDRIVER m_driver = nullptr;
    const char* m_wantedDescription = nullptr;
    bool m_found = false;

    // Playback.
    std::unique_ptr<platform::WaveAudio> m_mciDevice;
    std::uint32_t m_playbackSession = 0;
    // Set on the window thread, called on the playback device's thread.
    std::mutex m_observerMutex;
    PlaybackObserver* m_observer = nullptr;
};
