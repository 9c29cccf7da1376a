#pragma once

#include "audio/wave_recorder.h"
#include "audio_result_printer.h"
#include "fake_wave_device.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A recorder with a telephone line's capture device that the test pumps by hand.
class RecorderTest : public testing::Test {
protected:
    RecorderTest()
        : m_line(platform::WaveDeviceGroup::Line, "Zo-Linka Line 1")
    {
    }

    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }
    std::int16_t LineId() const { return std::int16_t(m_line.Id()); }
    // Records `samples` delivered in pieces of `piece` samples and stops; returns the stop result.
    AudioResult Record(
        const std::string& path, const std::vector<std::int16_t>& samples, std::size_t piece = 800)
    {
        EXPECT_EQ(m_recorder.StartRecording(path.c_str(), LineId()), AudioResult());
        for (std::size_t at = 0; at < samples.size(); at += piece) {
            const auto end = samples.begin() + std::ptrdiff_t(std::min(samples.size(), at + piece));
            m_line->Push(std::vector<std::int16_t>(samples.begin() + std::ptrdiff_t(at), end));
        }
        return m_recorder.StopRecording();
    }

    TempDir m_dir;
    Registered<FakeWaveIn> m_line;
    WaveRecorder m_recorder;
};

inline std::uint32_t Le32(const std::string& bytes, std::size_t at)
{
    return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8
        | std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 | std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
}

inline std::uint16_t Le16(const std::string& bytes, std::size_t at)
{
    return std::uint16_t(std::uint8_t(bytes[at]) | std::uint8_t(bytes[at + 1]) << 8);
}

} // namespace testing_support
