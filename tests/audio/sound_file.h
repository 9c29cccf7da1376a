#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A WAVE file as libsndfile reads it.
struct SoundFile {
    bool opened = false;
    int rate = 0;
    int channels = 0;
    std::int64_t frames = 0;
    std::vector<std::int16_t> samples;
};

inline SoundFile ReadSoundFile(const std::string& path)
{
    SoundFile result;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return result;
    result.opened = true;
    result.rate = info.samplerate;
    result.channels = info.channels;
    result.frames = info.frames;
    result.samples.resize(std::size_t(info.frames * info.channels));
    sf_readf_short(file, result.samples.data(), info.frames);
    sf_close(file);
    return result;
}

// Writes 8,000 Hz 16-bit mono PCM samples as a WAVE file; false when it cannot be written.
inline bool WriteSoundFile(const std::string& path, const std::vector<std::int16_t>& samples, int rate = 8000)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t written = sf_write_short(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
    return written == sf_count_t(samples.size());
}

} // namespace testing_support
