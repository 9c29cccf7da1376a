#include "audio/wave_recorder.h"

#include "audio/recording_file.h"
#include "platform/wave_audio.h"
#include "platform/wave_out_mixer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kInitialDescription = "PCM , 8,000 Hz, 16 Bit, Mono";
constexpr const char* kChooserTitle = "Select Audio Format";
constexpr std::size_t kTextBytes = 200;
constexpr std::uint32_t kLevelWindow = 512;
constexpr std::uint8_t kMaxLevelByte = 255;

// Engine results.
constexpr std::int32_t kBusy = -1;
constexpr std::int32_t kBadTarget = -2;
constexpr std::int32_t kNotFound = -2;
constexpr std::int32_t kNoPath = -2;
constexpr std::int32_t kBadPath = -3;
constexpr std::int32_t kNoBuffer = -3;
constexpr std::int32_t kNoOutParameter = -3;
constexpr std::int32_t kCannotMeasure = -1;
constexpr std::int32_t kNothingCaptured = -4;
constexpr std::int32_t kEmptyBuffer = -4;
constexpr std::int32_t kNotReady = -5;
constexpr std::int32_t kNoPosition = -9;
constexpr std::int32_t kAlreadyPlaying = -1;
constexpr std::int32_t kVolumeOutOfRange = -2;

// Filled field by field, as every default PCM format is.
WAVEFORMATEX DefaultPcm()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.wBitsPerSample = 16;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nBlockAlign = WORD(f.wBitsPerSample * f.nChannels / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.cbSize = 0;
    return f;
}

std::size_t FormatSize(const WAVEFORMATEX& f)
{
    return sizeof(WAVEFORMATEX) + f.cbSize;
}

template <std::size_t N> void CopyText(std::array<char, N>& out, const char* text)
{
    std::snprintf(out.data(), N, "%s", text);
}

} // namespace

WaveRecorder::WaveRecorder()
{
    SetRecordingFormat(DefaultPcm());
    CopyText(m_formatDescription, kInitialDescription);
    m_ready = 1;
}

WaveRecorder::~WaveRecorder()
{
    ClosePlayback();
    if (m_recording)
        StopRecording();
    CloseConversionStream();
}

// ---- capture ----

std::int32_t WaveRecorder::StartRecording(const char* path, std::int16_t deviceId)
{
    if (m_recording)
        return kBusy;
    if (!path || std::strlen(path) > kMaxTargetPath)
        return kBadPath;
    CopyText(m_targetPath, path);
    m_bytesWritten = 0;
    m_captureFile.reset(mmioOpen(m_targetPath.data(), nullptr, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF));
    // Without a file nothing captured could be kept, so the device is not started.
    if (!m_captureFile)
        return std::int32_t(MMIOERR_CANNOTOPEN);
    m_captureCompression = m_compression;
    m_captureConverts = Compressing();
    m_writeFailed = false;
    if (!StartFile()) {
        m_captureFile.reset();
        return std::int32_t(MMIOERR_CANNOTWRITE);
    }
    m_stopRequested = false;
    const MMRESULT opened = OpenCaptureDevice(deviceId);
    for (CaptureBuffer& buffer : m_captureBuffers) {
        waveInPrepareHeader(m_captureDevice, buffer.header.get(), sizeof(WAVEHDR));
        waveInAddBuffer(m_captureDevice, buffer.header.get(), sizeof(WAVEHDR));
    }
    MMRESULT started = waveInStart(m_captureDevice);
    if (started != MMSYSERR_NOERROR) {
        m_captureFile.reset();
        // Nothing was recorded: the file stays as it was created, empty.
        std::error_code error;
        std::filesystem::resize_file(m_targetPath.data(), 0, error);
        CloseCaptureDevice();
        // A failed open is the more telling error than the start on no device.
        return std::int32_t(opened != MMSYSERR_NOERROR ? opened : started);
    }
    m_recording = 1;
    return 0;
}

MMRESULT WaveRecorder::OpenCaptureDevice(std::int16_t deviceId)
{
    m_captureFormat = DefaultPcm();
    const MMRESULT result = waveInOpen(&m_captureDevice, UINT(std::int32_t(deviceId)), &m_captureFormat,
        reinterpret_cast<DWORD_PTR>(&WaveRecorder::WaveInProc), reinterpret_cast<DWORD_PTR>(this),
        CALLBACK_FUNCTION);
    for (std::size_t i = 0; i < kBufferCount; ++i) {
        CaptureBuffer& buffer = m_captureBuffers[i];
        buffer.data = std::make_unique<char[]>(kBufferBlockBytes);
        buffer.header
            = std::make_unique<WAVEHDR>(WAVEHDR{ buffer.data.get(), kBufferBytes, 0, i, 0, 0, nullptr, 0 });
    }
    m_ready = 1;
    return result;
}

// The device hands back what it still holds before it is closed; with the stop flag set those
// buffers are not queued again.
void WaveRecorder::CloseCaptureDevice()
{
    if (m_captureDevice) {
        m_stopRequested = true;
        waveInReset(m_captureDevice);
        for (CaptureBuffer& buffer : m_captureBuffers)
            waveInUnprepareHeader(m_captureDevice, buffer.header.get(), sizeof(WAVEHDR));
        waveInClose(m_captureDevice);
    }
    m_captureDevice = nullptr;
    for (CaptureBuffer& buffer : m_captureBuffers)
        buffer = CaptureBuffer{};
    m_bytesWritten = 0;
    m_recording = 0;
    m_paused = 0;
    m_captureFormat = WAVEFORMATEX{};
}

void WaveRecorder::WaveInProc(HWAVEIN hwi, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message == WIM_DATA)
        reinterpret_cast<WaveRecorder*>(instance)->BufferDone(hwi, reinterpret_cast<WAVEHDR*>(param1));
}

// Runs on the device's thread (and on the window thread for the buffers that stop and reset hand
// back, once the device has stopped).
void WaveRecorder::BufferDone(HWAVEIN hwi, WAVEHDR* header)
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
void WaveRecorder::MeasureLevel(const WAVEHDR& header)
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

void WaveRecorder::WriteCaptured(const char* data, DWORD bytes, DWORD convertFlags)
{
    DWORD converted = 0;
    if (m_captureConverts) {
        // A failed conversion writes nothing: coded data cannot be mixed with PCM in one file.
        if (!Convert(data, bytes, convertFlags, converted))
            return;
        data = reinterpret_cast<const char*>(m_conversionBuffer.data());
        bytes = converted;
    }
    if (!m_captureFile || bytes == 0 || m_writeFailed)
        return;
    if (bytes > RecordingFile::kMaxDataBytes - m_bytesWritten
        || mmioWrite(m_captureFile.get(), data, LONG(bytes)) != LONG(bytes)) {
        FailWriting();
        return;
    }
    m_bytesWritten += bytes;
    if (!UpdateSizes())
        FailWriting();
}

void WaveRecorder::SetWriteFailureHandler(std::function<void()> handler)
{
    m_writeFailureHandler = std::move(handler);
}

void WaveRecorder::FailWriting()
{
    if (!m_writeFailed.exchange(true) && m_writeFailureHandler)
        m_writeFailureHandler();
}

const WAVEFORMATEX& WaveRecorder::FileFormat() const
{
    return *reinterpret_cast<const WAVEFORMATEX*>(m_fileFormat.data());
}

// Compressed files count their samples in the "fact" chunk; plain PCM ones hold 0 there.
DWORD WaveRecorder::FileSamples(DWORD dataBytes) const
{
    return m_captureCompression ? RecordingFile::SampleCount(FileFormat(), dataBytes) : 0;
}

// The header is written before the first audio and handed to the system at once, so the file
// is a valid (empty) WAVE file from the start.
bool WaveRecorder::StartFile()
{
    m_fileFormat.fill(0);
    if (m_captureCompression) {
        m_fileFormat = m_recordingFormat;
    } else {
        const WAVEFORMATEX pcm = DefaultPcm();
        std::memcpy(m_fileFormat.data(), &pcm, sizeof pcm);
    }
    return RecordingFile::WriteHeader(
               m_captureFile.get(), m_fileFormat.data(), RecordingFile::kRiffOverhead, 0, 0)
        && mmioFlush(m_captureFile.get(), 0) == MMSYSERR_NOERROR;
}

// After each buffer the header describes the audio written so far (as far as it plays), and both
// reach the system: a recording cut off by the end of the program loses at most one buffer.
bool WaveRecorder::UpdateSizes()
{
    const DWORD playable = RecordingFile::PlayableBytes(FileFormat(), m_bytesWritten);
    return RecordingFile::WriteSizes(
               m_captureFile.get(), playable + RecordingFile::kRiffOverhead, FileSamples(playable), playable)
        && mmioFlush(m_captureFile.get(), 0) == MMSYSERR_NOERROR;
}

bool WaveRecorder::Convert(const char* data, DWORD bytes, DWORD flags, DWORD& converted)
{
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = reinterpret_cast<std::uint8_t*>(const_cast<char*>(data));
    header.cbSrcLength = bytes;
    header.pbDst = m_conversionBuffer.data();
    header.cbDstLength = m_conversionBufferSize;
    bool ok = acmStreamPrepareHeader(m_conversionStream, &header, 0) == MMSYSERR_NOERROR;
    ok = ok && acmStreamConvert(m_conversionStream, &header, flags) == MMSYSERR_NOERROR;
    acmStreamUnprepareHeader(m_conversionStream, &header, 0);
    converted = ok ? header.cbDstLengthUsed : 0;
    return ok;
}

bool WaveRecorder::Compressing() const
{
    const WAVEFORMATEX pcm = DefaultPcm();
    return m_compression == 1 && m_conversionStream && std::memcmp(RecordingFormat(), &pcm, sizeof pcm) != 0;
}

std::int32_t WaveRecorder::StopRecording()
{
    if (!m_recording)
        return kBusy;
    m_stopRequested = true;
    // The reset hands back every queued buffer through the callback before it returns, so the
    // capture file is complete once it returns.
    const MMRESULT reset = waveInReset(m_captureDevice);
    std::int32_t result = std::int32_t(reset);
    if (m_captureConverts) {
        // The samples of a block that the last buffer did not complete.
        char none = 0;
        WriteCaptured(&none, 0, ACM_STREAMCONVERTF_END);
    }
    if (m_captureFile) {
        // A finished file that could not take the target's name is a failure too.
        if (const std::int32_t finished = FinishFile())
            result = finished;
    }
    CloseCaptureDevice();
    return result;
}

// The audio is in place behind the header: the final sizes count all of it, with the pad byte of
// odd data. A file that could not be written to the end keeps what reached the disk, its header
// brought up to that; one that holds no audio at all is removed.
std::int32_t WaveRecorder::FinishFile()
{
    const std::string target = m_targetPath.data();
    if (m_bytesWritten == 0 && !m_writeFailed) {
        m_captureFile.reset();
        mmioOpen(target.c_str(), nullptr, MMIO_DELETE);
        return kNothingCaptured;
    }
    if (!m_writeFailed && WriteFinalSizes() && mmioClose(m_captureFile.release(), 0) == MMSYSERR_NOERROR)
        return 0;
    m_writeFailed = true;
    m_captureFile.reset();
    if (RecordingFile::Repair(target).dataBytes == 0)
        mmioOpen(target.c_str(), nullptr, MMIO_DELETE);
    return std::int32_t(MMIOERR_CANNOTWRITE);
}

bool WaveRecorder::WriteFinalSizes()
{
    const DWORD pad = m_bytesWritten & 1;
    if (pad && mmioWrite(m_captureFile.get(), "", 1) != 1)
        return false;
    return RecordingFile::WriteSizes(m_captureFile.get(), m_bytesWritten + RecordingFile::kRiffOverhead + pad,
        FileSamples(m_bytesWritten), m_bytesWritten);
}

std::int32_t WaveRecorder::Pause(int target)
{
    if (target == kPlaybackTarget)
        return PausePlayback();
    return target == kCaptureTarget ? PauseCapture() : kBadTarget;
}

std::int32_t WaveRecorder::Resume(int target)
{
    if (target == kPlaybackTarget)
        return ResumePlayback();
    return target == kCaptureTarget ? ResumeCapture() : kBadTarget;
}

std::int32_t WaveRecorder::PauseCapture()
{
    if (!m_recording || m_paused)
        return kBusy;
    const MMRESULT result = waveInStop(m_captureDevice);
    if (result == MMSYSERR_NOERROR)
        m_paused = 1;
    return std::int32_t(result);
}

std::int32_t WaveRecorder::ResumeCapture()
{
    if (!m_recording || !m_paused)
        return kBusy;
    const MMRESULT result = waveInStart(m_captureDevice);
    if (result == MMSYSERR_NOERROR)
        m_paused = 0;
    return std::int32_t(result);
}

// The level runs to 513; the byte shows everything from 255 up as full scale.
std::int32_t WaveRecorder::GetLevel(std::uint8_t* level) const
{
    if (!level)
        return kBusy;
    *level = std::uint8_t(std::min<std::uint32_t>(m_level.load(std::memory_order_relaxed), kMaxLevelByte));
    return 0;
}

// ---- recording format ----

WAVEFORMATEX* WaveRecorder::RecordingFormat()
{
    return reinterpret_cast<WAVEFORMATEX*>(m_recordingFormat.data());
}

const WAVEFORMATEX* WaveRecorder::RecordingFormat() const
{
    return reinterpret_cast<const WAVEFORMATEX*>(m_recordingFormat.data());
}

// Copies a format of at most 50 bytes (with its extra data) and zero-fills the rest.
void WaveRecorder::SetRecordingFormat(const WAVEFORMATEX& format)
{
    const std::size_t size = std::min(FormatSize(format), kFormatBytes);
    m_recordingFormat.fill(0);
    std::memcpy(m_recordingFormat.data(), &format, size);
}

MMRESULT WaveRecorder::OpenConversionStream()
{
    const WAVEFORMATEX pcm = DefaultPcm();
    MMRESULT result = acmStreamOpen(
        &m_conversionStream, nullptr, &pcm, RecordingFormat(), nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (result == MMSYSERR_NOERROR)
        result = acmStreamSize(
            m_conversionStream, kBufferBytes, &m_conversionBufferSize, ACM_STREAMSIZEF_SOURCE);
    if (result != MMSYSERR_NOERROR) {
        CloseConversionStream();
        SetRecordingFormat(pcm);
        return result;
    }
    m_conversionBuffer.assign(m_conversionBufferSize, 0);
    return result;
}

void WaveRecorder::CloseConversionStream()
{
    if (m_conversionStream)
        acmStreamClose(m_conversionStream, 0);
    m_conversionStream = nullptr;
    m_conversionBuffer.clear();
    m_conversionBufferSize = 0;
}

void WaveRecorder::SetDescription(const char* formatTag, const char* format)
{
    std::snprintf(m_formatDescription.data(), kTextBytes, "%s , %s", formatTag, format);
}

// The recording's stream is in use on the capture thread, so the format stays fixed while
// recording.
std::int32_t WaveRecorder::FindFormat(const char* description)
{
    if (m_recording)
        return kBusy;
    m_found = false;
    m_wantedDescription = description;
    if (description)
        acmDriverEnum(
            &WaveRecorder::DriverEnumProc, reinterpret_cast<DWORD_PTR>(this), ACM_DRIVERENUMF_NOLOCAL);
    m_wantedDescription = nullptr;
    return m_found ? 0 : kNotFound;
}

BOOL WaveRecorder::DriverEnumProc(HACMDRIVERID driverId, DWORD_PTR instance, DWORD)
{
    auto* self = reinterpret_cast<WaveRecorder*>(instance);
    if (self->m_found)
        return 1;
    DWORD maxSize = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize);
    alignas(WAVEFORMATEX) std::array<std::uint8_t, kFormatBytes> local{};
    const WAVEFORMATEX pcm = DefaultPcm();
    std::memcpy(local.data(), &pcm, sizeof pcm);
    ACMFORMATDETAILSA details{};
    details.cbStruct = sizeof details;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(local.data());
    // Formats larger than the engine holds are never offered into its buffer.
    details.cbwfx = std::min<DWORD>(maxSize, kFormatBytes);
    if (acmDriverOpen(&self->m_driver, driverId, 0) != MMSYSERR_NOERROR)
        return 1;
    acmFormatEnumA(
        self->m_driver, &details, &WaveRecorder::FormatEnumProc, instance, ACM_FORMATENUMF_CONVERT);
    acmDriverClose(self->m_driver, 0);
    self->m_driver = nullptr;
    return 1;
}

BOOL WaveRecorder::FormatEnumProc(HACMDRIVERID, ACMFORMATDETAILSA* details, DWORD_PTR instance, DWORD)
{
    auto* self = reinterpret_cast<WaveRecorder*>(instance);
    if (!self->m_found)
        self->MatchFormat(*details);
    return 1;
}

void WaveRecorder::MatchFormat(ACMFORMATDETAILSA& details)
{
    ACMFORMATTAGDETAILSA tag{};
    tag.cbStruct = sizeof tag;
    tag.dwFormatTag = details.dwFormatTag;
    if (acmFormatTagDetailsA(m_driver, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG) != MMSYSERR_NOERROR)
        return;
    char text[kTextBytes];
    std::snprintf(text, sizeof text, "%s , %s", tag.szFormatTag, details.szFormat);
    if (std::strcmp(text, m_wantedDescription) != 0)
        return;
    m_found = true;
    CloseConversionStream();
    SetRecordingFormat(*details.pwfx);
    if (OpenConversionStream() == MMSYSERR_NOERROR)
        CopyText(m_formatDescription, text);
}

std::int32_t WaveRecorder::ChooseFormat(void* owner)
{
    if (m_recording)
        return kBusy;
    const WAVEFORMATEX pcm = DefaultPcm();
    DWORD maxSize = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize);
    // The chooser writes into a copy, so a failure leaves the recording format as it was.
    alignas(WAVEFORMATEX) std::array<std::uint8_t, kFormatBytes> chosen = m_recordingFormat;
    ACMFORMATCHOOSEA choose{};
    choose.cbStruct = sizeof choose;
    choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    choose.hwndOwner = owner;
    choose.pwfx = reinterpret_cast<WAVEFORMATEX*>(chosen.data());
    choose.cbwfx = std::min<DWORD>(maxSize, kFormatBytes);
    choose.pszTitle = kChooserTitle;
    choose.fdwEnum = ACM_FORMATENUMF_CONVERT;
    choose.pwfxEnum = const_cast<WAVEFORMATEX*>(&pcm);
    const MMRESULT result = acmFormatChooseA(&choose);
    if (result == ACMERR_CANCELED)
        return 0;
    if (result != MMSYSERR_NOERROR)
        return std::int32_t(result);
    CloseConversionStream();
    SetRecordingFormat(*choose.pwfx);
    if (const MMRESULT opened = OpenConversionStream())
        return std::int32_t(opened);
    SetDescription(choose.szFormatTag, choose.szFormat);
    return 0;
}

std::int32_t WaveRecorder::GetFormatDescription(char* buffer, std::uint32_t size) const
{
    if (!buffer)
        return kNoBuffer;
    if (size == 0)
        return kEmptyBuffer;
    std::snprintf(buffer, size, "%s", m_formatDescription.data());
    return 0;
}

void WaveRecorder::SetCompression(std::uint32_t flag)
{
    m_compression = flag ? 1 : 0;
}

// ---- playback ----

std::int32_t WaveRecorder::Play(const char* path, std::uint32_t startMs, std::int16_t waveOutDevice)
{
    CloseDevice();
    if (!path)
        return kNoPath;
    auto device = std::make_unique<platform::WaveAudio>();
    if (const MCIERROR error = device->Open(path))
        return std::int32_t(error);
    device->SetOutput(UINT(std::int32_t(waveOutDevice)));
    device->SetCompletion([this] { NotifyPlaybackComplete(); });
    if (const MCIERROR error = device->Play(&startMs))
        return std::int32_t(error);
    m_mciDevice = std::move(device);
    ++m_playbackSession;
    return 0;
}

std::int32_t WaveRecorder::GetFileLength(const char* path, std::uint32_t* lengthMs)
{
    CloseDevice();
    if (!lengthMs)
        return kNoOutParameter;
    platform::WaveAudio device;
    if (!path || device.Open(path) != MMSYSERR_NOERROR)
        return kCannotMeasure;
    *lengthMs = device.Length();
    return 0;
}

std::int32_t WaveRecorder::GetPosition(std::uint32_t* positionMs)
{
    if (!positionMs)
        return kNoPosition;
    if (!m_ready)
        return kNotReady;
    if (!m_mciDevice)
        return std::int32_t(MCIERR_INVALID_DEVICE_ID);
    *positionMs = m_mciDevice->Position();
    return 0;
}

std::int32_t WaveRecorder::Seek(std::uint32_t positionMs, bool playOn)
{
    if (!m_ready)
        return kNotReady;
    if (!m_mciDevice)
        return std::int32_t(MCIERR_INVALID_DEVICE_ID);
    const MCIERROR result = m_mciDevice->Seek(positionMs);
    if (playOn)
        m_mciDevice->Play(nullptr);
    return std::int32_t(result);
}

std::int32_t WaveRecorder::PausePlayback()
{
    if (m_mciDevice)
        m_mciDevice->Pause();
    return 0;
}

std::int32_t WaveRecorder::ResumePlayback()
{
    if (!m_mciDevice)
        return std::int32_t(MCIERR_INVALID_DEVICE_ID);
    const DWORD mode = m_mciDevice->Mode();
    if (mode == MCI_MODE_PLAY)
        return kAlreadyPlaying;
    if (mode == MCI_MODE_PAUSE)
        return std::int32_t(m_mciDevice->Resume());
    const std::uint32_t position = m_mciDevice->Position();
    return std::int32_t(m_mciDevice->Play(&position));
}

std::int32_t WaveRecorder::ClosePlayback()
{
    if (m_mciDevice)
        m_mciDevice->Stop();
    CloseDevice();
    return 0;
}

void WaveRecorder::CloseDevice()
{
    m_mciDevice.reset();
    ++m_playbackSession;
}

// Once this returns, the observer it replaced is never called again.
void WaveRecorder::SetPlaybackObserver(PlaybackObserver* observer)
{
    std::lock_guard lock(m_observerMutex);
    m_observer = observer;
}

// Runs on the playback device's thread.
void WaveRecorder::NotifyPlaybackComplete()
{
    std::lock_guard lock(m_observerMutex);
    if (m_observer)
        m_observer->PlaybackComplete();
}

// ---- mixer ----

std::int32_t WaveRecorder::GetVolume(std::uint32_t* left, std::uint32_t* right)
{
    if (!left || !right)
        return kNoOutParameter;
    DWORD l = 0;
    DWORD r = 0;
    const MMRESULT result = platform::WaveOutMixer::GetVolume(0, l, r);
    if (result == MMSYSERR_NOERROR) {
        *left = l;
        *right = r;
    }
    return std::int32_t(result);
}

std::int32_t WaveRecorder::SetVolume(std::int32_t left, std::int32_t right)
{
    if (left > std::int32_t(platform::WaveOutMixer::kMaxVolume)
        || right > std::int32_t(platform::WaveOutMixer::kMaxVolume))
        return kVolumeOutOfRange;
    DWORD l = 0;
    DWORD r = 0;
    if (const MMRESULT result = platform::WaveOutMixer::GetVolume(0, l, r))
        return std::int32_t(result);
    return std::int32_t(
        platform::WaveOutMixer::SetVolume(0, left >= 0 ? DWORD(left) : l, right >= 0 ? DWORD(right) : r));
}
