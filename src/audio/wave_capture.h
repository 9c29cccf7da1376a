#pragma once

#include "audio/audio_result.h"
#include "audio/recording_format.h"
#include "platform/mmsystem.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

// Capture from a wave-in device into a WAVE file, converted buffer by buffer to the recording
// format when its compression switch is on. The file is a valid WAVE file from the first buffer on.
class WaveCapture {
public:
    static constexpr std::size_t kBufferCount = 4;
    static constexpr DWORD kBufferBytes = RecordingFormat::kSourceBytes;
    static constexpr std::size_t kBufferBlockBytes = 10016;
    // The longest target path; names the program gives its recordings stay within it.
    static constexpr std::size_t kMaxTargetPath = 247;

    // The format stays fixed while recording: its conversion stream is in use on the capture thread.
    explicit WaveCapture(RecordingFormat& format);
    ~WaveCapture();
    WaveCapture(const WaveCapture&) = delete;
    WaveCapture& operator=(const WaveCapture&) = delete;

    AudioResult Start(const char* path, std::int16_t deviceId);
    AudioResult Stop();
    AudioResult Pause();
    // A paused capture that resumes later opens its device again: while released, another capture
    // may use the device. The file stays open and goes on where it stopped.
    AudioResult ReleaseDevice();
    AudioResult Resume();
    AudioResult GetLevel(std::uint8_t* level) const;
    bool IsRecording() const { return m_recording != 0; }
    void SetWriteFailureHandler(std::function<void()> handler) { m_writeFailureHandler = std::move(handler); }
    bool WriteFailed() const { return m_writeFailed.load(); }

private:
    struct CaptureBuffer {
        std::unique_ptr<char[]> data;
        std::unique_ptr<WAVEHDR> header;
    };

    static void WaveInProc(HWAVEIN hwi, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

    MMRESULT OpenDevice(std::int16_t deviceId);
    MMRESULT StartDevice();
    void ShutDevice();
    void CloseDevice();
    void FlushConversion();
    void BufferDone(HWAVEIN hwi, WAVEHDR* header);
    void MeasureLevel(const WAVEHDR& header);
    void WriteCaptured(const char* data, DWORD bytes, DWORD convertFlags);
    bool StartFile();
    bool UpdateSizes();
    void FailWriting();
    AudioResult FinishFile();
    bool WriteFinalSizes();
    const WAVEFORMATEX& FileFormat() const;
    DWORD FileSamples(DWORD dataBytes) const;

    RecordingFormat& m_format;
    std::uint32_t m_levelSum = 0;
    std::atomic<std::uint32_t> m_level{ 0 };
    std::uint32_t m_levelCount = 0;
    MmioHandle m_file;
    std::uint32_t m_bytesWritten = 0;
    HWAVEIN m_device = nullptr;
    std::int16_t m_deviceId = 0;
    WAVEFORMATEX m_deviceFormat{};
    std::atomic<bool> m_stopRequested{ false };
    std::uint32_t m_recording = 0;
    std::uint32_t m_paused = 0;
    std::array<char, kMaxTargetPath + 1> m_targetPath{};
    std::array<CaptureBuffer, kBufferCount> m_buffers;
    // Latched by Start: the compression switch for the header, and whether the buffers are
    // converted (the switch is on and the recording format is not the capture format).
    bool m_compressed = false;
    bool m_converts = false;
    // The format in the file's header: the recording format with the compression switch on, else
    // the default PCM format.
    alignas(WAVEFORMATEX) RecordingFormat::FormatBytes m_fileFormat{};
    std::atomic<bool> m_writeFailed{ false };
    std::function<void()> m_writeFailureHandler;
};
