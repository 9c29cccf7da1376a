#include "audio/wave_capture.h"

#include "audio/recording_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr std::uint32_t kLevelWindow = 512;
constexpr std::uint8_t kMaxLevelByte = 255;

} // namespace

WaveCapture::WaveCapture(RecordingFormat& format)
    : m_format(format)
{
}

WaveCapture::~WaveCapture()
{
    if (m_recording)
        Stop();
}

AudioResult WaveCapture::Start(const char* path, std::int16_t deviceId)
{
    if (m_recording)
        return AudioError::RecordingInProgress;
    if (!path || std::strlen(path) > kMaxTargetPath)
        return AudioError::InvalidPath;
    std::snprintf(m_targetPath.data(), m_targetPath.size(), "%s", path);
    m_bytesWritten = 0;
    m_file.reset(mmioOpen(m_targetPath.data(), nullptr, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF));
    // Without a file nothing captured could be kept, so the device is not started.
    if (!m_file)
        return AudioResult::Platform(MMIOERR_CANNOTOPEN);
    m_compressed = m_format.CompressionOn();
    m_converts = m_format.Converts();
    m_writeFailed = false;
    if (!StartFile()) {
        m_file.reset();
        return AudioResult::Platform(MMIOERR_CANNOTWRITE);
    }
    m_stopRequested = false;
    const MMRESULT opened = OpenDevice(deviceId);
    if (const MMRESULT started = StartDevice(); started != MMSYSERR_NOERROR) {
        m_file.reset();
        // Nothing was recorded: the file stays as it was created, empty.
        std::error_code error;
        std::filesystem::resize_file(m_targetPath.data(), 0, error);
        CloseDevice();
        // A failed open is the more telling error than the start on no device.
        return AudioResult::Platform(opened != MMSYSERR_NOERROR ? opened : started);
    }
    m_recording = 1;
    return {};
}

MMRESULT WaveCapture::OpenDevice(std::int16_t deviceId)
{
    m_deviceId = deviceId;
    m_deviceFormat = RecordingFormat::DefaultPcm();
    const MMRESULT result = waveInOpen(&m_device, UINT(std::int32_t(deviceId)), &m_deviceFormat,
        reinterpret_cast<DWORD_PTR>(&WaveCapture::WaveInProc), reinterpret_cast<DWORD_PTR>(this),
        CALLBACK_FUNCTION);
    for (std::size_t i = 0; i < kBufferCount; ++i) {
        CaptureBuffer& buffer = m_buffers[i];
        buffer.data = std::make_unique<char[]>(kBufferBlockBytes);
        buffer.header
            = std::make_unique<WAVEHDR>(WAVEHDR{ buffer.data.get(), kBufferBytes, 0, i, 0, 0, nullptr, 0 });
    }
    return result;
}

// The buffers go to the opened device and capture starts.
MMRESULT WaveCapture::StartDevice()
{
    for (CaptureBuffer& buffer : m_buffers) {
        waveInPrepareHeader(m_device, buffer.header.get(), sizeof(WAVEHDR));
        waveInAddBuffer(m_device, buffer.header.get(), sizeof(WAVEHDR));
    }
    return waveInStart(m_device);
}

// The device hands back what it still holds before it is closed; with the stop flag set those
// buffers are not queued again.
void WaveCapture::ShutDevice()
{
    if (m_device) {
        m_stopRequested = true;
        waveInReset(m_device);
        for (CaptureBuffer& buffer : m_buffers)
            waveInUnprepareHeader(m_device, buffer.header.get(), sizeof(WAVEHDR));
        waveInClose(m_device);
    }
    m_device = nullptr;
}

void WaveCapture::CloseDevice()
{
    ShutDevice();
    for (CaptureBuffer& buffer : m_buffers)
        buffer = CaptureBuffer{};
    m_bytesWritten = 0;
    m_recording = 0;
    m_paused = 0;
    m_deviceFormat = WAVEFORMATEX{};
}

void WaveCapture::WaveInProc(HWAVEIN hwi, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message == WIM_DATA)
        reinterpret_cast<WaveCapture*>(instance)->BufferDone(hwi, reinterpret_cast<WAVEHDR*>(param1));
}

// Runs on the device's thread (and on the window thread for the buffers that stop and reset hand
// back, once the device has stopped).
void WaveCapture::BufferDone(HWAVEIN hwi, WAVEHDR* header)
{
    if (header->dwBytesRecorded == 0)
        return;
    MeasureLevel(*header);
    WriteCaptured(header->lpData, header->dwBytesRecorded, 0);
    if (m_stopRequested)
        return;
    waveInUnprepareHeader(hwi, header, sizeof(WAVEHDR));
    header->dwBufferLength = kBufferBytes;
    header->dwBytesRecorded = 0;
    header->dwFlags = 0;
    header->dwLoops = 0;
    header->lpNext = nullptr;
    waveInPrepareHeader(hwi, header, sizeof(WAVEHDR));
    waveInAddBuffer(hwi, header, sizeof(WAVEHDR));
}

// The average magnitude of the last 512 samples stays in the sum as the start of the next one.
void WaveCapture::MeasureLevel(const WAVEHDR& header)
{
    const std::size_t count = header.dwBytesRecorded / 2;
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t sample;
        std::memcpy(&sample, header.lpData + 2 * i, 2);
        m_levelSum += std::uint32_t(sample < 0 ? -std::int32_t(sample) : sample);
        if (++m_levelCount == kLevelWindow) {
            m_levelCount = 0;
            m_levelSum >>= 9;
            m_level.store(m_levelSum >> 6, std::memory_order_relaxed);
        }
    }
}

void WaveCapture::WriteCaptured(const char* data, DWORD bytes, DWORD convertFlags)
{
    if (m_converts) {
        // A failed conversion writes nothing: coded data cannot be mixed with PCM in one file.
        const std::uint8_t* converted = nullptr;
        if (!m_format.Convert(data, bytes, convertFlags, converted, bytes))
            return;
        data = reinterpret_cast<const char*>(converted);
    }
    if (!m_file || bytes == 0 || m_writeFailed)
        return;
    if (bytes > RecordingFile::kMaxDataBytes - m_bytesWritten
        || mmioWrite(m_file.get(), data, LONG(bytes)) != LONG(bytes)) {
        FailWriting();
        return;
    }
    m_bytesWritten += bytes;
    if (!UpdateSizes())
        FailWriting();
}

void WaveCapture::FailWriting()
{
    if (!m_writeFailed.exchange(true) && m_writeFailureHandler)
        m_writeFailureHandler();
}

const WAVEFORMATEX& WaveCapture::FileFormat() const
{
    return *reinterpret_cast<const WAVEFORMATEX*>(m_fileFormat.data());
}

// Compressed files count their samples in the "fact" chunk; plain PCM ones hold 0 there.
DWORD WaveCapture::FileSamples(DWORD dataBytes) const
{
    return m_compressed ? RecordingFile::SampleCount(FileFormat(), dataBytes) : 0;
}

// The header is written before the first audio and handed to the system at once, so the file
// is a valid (empty) WAVE file from the start.
bool WaveCapture::StartFile()
{
    m_fileFormat.fill(0);
    if (m_compressed) {
        m_fileFormat = m_format.Bytes();
    } else {
        const WAVEFORMATEX pcm = RecordingFormat::DefaultPcm();
        std::memcpy(m_fileFormat.data(), &pcm, sizeof pcm);
    }
    return RecordingFile::WriteHeader(m_file.get(), m_fileFormat.data(), RecordingFile::kRiffOverhead, 0, 0)
        && mmioFlush(m_file.get(), 0) == MMSYSERR_NOERROR;
}

// After each buffer the header describes the audio written so far (as far as it plays), and both
// reach the system: a recording cut off by the end of the program loses at most one buffer.
bool WaveCapture::UpdateSizes()
{
    const DWORD playable = RecordingFile::PlayableBytes(FileFormat(), m_bytesWritten);
    return RecordingFile::WriteSizes(
               m_file.get(), playable + RecordingFile::kRiffOverhead, FileSamples(playable), playable)
        && mmioFlush(m_file.get(), 0) == MMSYSERR_NOERROR;
}

AudioResult WaveCapture::Stop()
{
    if (!m_recording)
        return AudioError::NotRecording;
    m_stopRequested = true;
    // The reset hands back every queued buffer through the callback before it returns, so the
    // capture file is complete once it returns.
    // A released device has handed back everything already.
    AudioResult result = m_device ? AudioResult::Platform(waveInReset(m_device)) : AudioResult();
    FlushConversion();
    if (m_file) {
        // A finished file that could not take the target's name is a failure too.
        if (const AudioResult finished = FinishFile(); !finished.Ok())
            result = finished;
    }
    CloseDevice();
    return result;
}

// The audio is in place behind the header: the final sizes count all of it, with the pad byte of
// odd data. A file that could not be written to the end keeps what reached the disk, its header
// brought up to that; one that holds no audio at all is removed.
AudioResult WaveCapture::FinishFile()
{
    const std::string target = m_targetPath.data();
    if (m_bytesWritten == 0 && !m_writeFailed) {
        m_file.reset();
        mmioOpen(target.c_str(), nullptr, MMIO_DELETE);
        return AudioError::NothingCaptured;
    }
    if (!m_writeFailed && WriteFinalSizes() && mmioClose(m_file.release(), 0) == MMSYSERR_NOERROR)
        return {};
    m_writeFailed = true;
    m_file.reset();
    if (RecordingFile::Repair(target).dataBytes == 0)
        mmioOpen(target.c_str(), nullptr, MMIO_DELETE);
    return AudioResult::Platform(MMIOERR_CANNOTWRITE);
}

bool WaveCapture::WriteFinalSizes()
{
    const DWORD pad = m_bytesWritten & 1;
    if (pad && mmioWrite(m_file.get(), "", 1) != 1)
        return false;
    return RecordingFile::WriteSizes(m_file.get(), m_bytesWritten + RecordingFile::kRiffOverhead + pad,
        FileSamples(m_bytesWritten), m_bytesWritten);
}

AudioResult WaveCapture::Pause()
{
    if (!m_recording)
        return AudioError::NotRecording;
    if (m_paused)
        return AudioError::AlreadyPaused;
    const MMRESULT result = waveInStop(m_device);
    if (result == MMSYSERR_NOERROR)
        m_paused = 1;
    return AudioResult::Platform(result);
}

AudioResult WaveCapture::Resume()
{
    if (!m_recording)
        return AudioError::NotRecording;
    if (!m_paused)
        return AudioError::NotPaused;
    if (!m_device) {
        m_stopRequested = false;
        if (const MMRESULT opened = OpenDevice(m_deviceId); opened != MMSYSERR_NOERROR) {
            m_device = nullptr;
            return AudioResult::Platform(opened);
        }
        const MMRESULT started = StartDevice();
        if (started != MMSYSERR_NOERROR)
            ShutDevice();
        else
            m_paused = 0;
        return AudioResult::Platform(started);
    }
    const MMRESULT result = waveInStart(m_device);
    if (result == MMSYSERR_NOERROR)
        m_paused = 0;
    return AudioResult::Platform(result);
}

// The samples the conversion still holds (a block the last buffer did not complete) end the part
// captured so far, so that the stream starts clean for whatever it converts next.
AudioResult WaveCapture::ReleaseDevice()
{
    if (!m_recording)
        return AudioError::NotRecording;
    if (!m_paused)
        return AudioError::NotPaused;
    if (m_device) {
        ShutDevice();
        FlushConversion();
    }
    return {};
}

void WaveCapture::FlushConversion()
{
    if (m_converts) {
        char none = 0;
        WriteCaptured(&none, 0, ACM_STREAMCONVERTF_END);
    }
}

// The level runs to 513; the byte shows everything from 255 up as full scale.
AudioResult WaveCapture::GetLevel(std::uint8_t* level) const
{
    if (!level)
        return AudioError::MissingOutParameter;
    *level = std::uint8_t(std::min<std::uint32_t>(m_level.load(std::memory_order_relaxed), kMaxLevelByte));
    return {};
}
