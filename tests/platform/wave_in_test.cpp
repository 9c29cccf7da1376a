#include "fake_wave_device.h"
#include "platform/mmsystem.h"
#include "platform/silent_wave_in.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace testing_support;
using platform::WaveDeviceGroup;

namespace {

constexpr WAVEFORMATEX kPcm8k{ WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0 };
constexpr DWORD kBufferBytes = 10000;

// What the callback saw, in order.
struct Event {
    UINT message;
    DWORD_PTR user;
    DWORD bytes;
    DWORD flags;
};

struct Client {
    std::mutex mutex;
    std::vector<Event> events;
    std::vector<std::uint8_t> audio;
    bool requeue = false;
    HWAVEIN device = nullptr;
};

void CALLBACK_Proc(HWAVEIN hwi, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    auto* client = reinterpret_cast<Client*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    std::lock_guard lock(client->mutex);
    if (message != WIM_DATA) {
        client->events.push_back({ message, 0, 0, 0 });
        return;
    }
    client->events.push_back({ message, header->dwUser, header->dwBytesRecorded, header->dwFlags });
    client->audio.insert(client->audio.end(), header->lpData, header->lpData + header->dwBytesRecorded);
    if (client->requeue)
        waveInAddBuffer(hwi, header, sizeof(WAVEHDR));
}

// Four buffers prepared and queued, as the recorder does.
class Buffers {
public:
    Buffers()
    {
        for (std::size_t i = 0; i < m_headers.size(); ++i) {
            m_data[i].resize(kBufferBytes);
            m_headers[i] = WAVEHDR{ m_data[i].data(), kBufferBytes, 0, i, 0, 0, nullptr, 0 };
        }
    }
    void Queue(HWAVEIN hwi)
    {
        for (auto& header : m_headers) {
            ASSERT_EQ(waveInPrepareHeader(hwi, &header, sizeof header), MMSYSERR_NOERROR);
            ASSERT_EQ(waveInAddBuffer(hwi, &header, sizeof header), MMSYSERR_NOERROR);
        }
    }
    WAVEHDR& operator[](std::size_t i) { return m_headers[i]; }

private:
    std::array<std::vector<char>, 4> m_data;
    std::array<WAVEHDR, 4> m_headers;
};

HWAVEIN Open(UINT id, Client& client)
{
    HWAVEIN hwi = nullptr;
    EXPECT_EQ(waveInOpen(&hwi, id, &kPcm8k, reinterpret_cast<DWORD_PTR>(&CALLBACK_Proc),
                  reinterpret_cast<DWORD_PTR>(&client), CALLBACK_FUNCTION),
        MMSYSERR_NOERROR);
    return hwi;
}

std::vector<std::int16_t> Ramp(std::size_t n, int start = 0)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = std::int16_t(start + int(i));
    return samples;
}

} // namespace

TEST(WaveInDevices, ListsTheSilentDeviceAndCutsNamesTo31Characters)
{
    Registered<FakeWaveIn> card(
        WaveDeviceGroup::SoundCard, "A sound card with a very long product name indeed");
    ASSERT_GE(waveInGetNumDevs(), 2u);
    WAVEINCAPSA caps;
    ASSERT_EQ(waveInGetDevCapsA(card.Id(), &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(
        std::string(caps.szPname), std::string("A sound card with a very long product name").substr(0, 31));
    ASSERT_EQ(waveInGetDevCapsA(card.Id() + 1, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, platform::kSilentDeviceName);
    EXPECT_EQ(waveInGetDevCapsA(waveInGetNumDevs(), &caps, sizeof caps), MMSYSERR_BADDEVICEID);

    WAVEOUTCAPSA outCaps;
    ASSERT_GE(waveOutGetNumDevs(), 1u);
    ASSERT_EQ(waveOutGetDevCapsA(0, &outCaps, sizeof outCaps), MMSYSERR_NOERROR);
    EXPECT_STREQ(outCaps.szPname, platform::kSilentDeviceName);
    EXPECT_EQ(waveOutGetDevCapsA(waveOutGetNumDevs(), &outCaps, sizeof outCaps), MMSYSERR_BADDEVICEID);
}

TEST(WaveIn, DeliversFullBuffersInOrderAndResetHandsBackTheRestBeforeReturning)
{
    Registered<FakeWaveIn> line(WaveDeviceGroup::Line, "Zo-Linka Line 1");
    Client client;
    HWAVEIN hwi = Open(line.Id(), client);
    Buffers buffers;
    buffers.Queue(hwi);
    ASSERT_EQ(waveInStart(hwi), MMSYSERR_NOERROR);
    EXPECT_EQ(line->Format(), platform::PcmFormat{});

    const auto samples = Ramp(12500); // 25,000 bytes: two full buffers and half of the third
    ASSERT_TRUE(line->Push(samples));
    ASSERT_EQ(client.events.size(), 3u); // WIM_OPEN, two WIM_DATA
    EXPECT_EQ(client.events[0].message, WIM_OPEN);
    EXPECT_EQ(client.events[1].user, 0u);
    EXPECT_EQ(client.events[2].user, 1u);
    EXPECT_EQ(client.events[2].bytes, kBufferBytes);
    EXPECT_TRUE(client.events[2].flags & WHDR_DONE);

    ASSERT_EQ(waveInReset(hwi), MMSYSERR_NOERROR);
    EXPECT_FALSE(line->Running());
    ASSERT_EQ(client.events.size(), 5u);
    EXPECT_EQ(client.events[3].user, 2u);
    EXPECT_EQ(client.events[3].bytes, 5000u);
    EXPECT_EQ(client.events[4].user, 3u);
    EXPECT_EQ(client.events[4].bytes, 0u);
    ASSERT_EQ(client.audio.size(), 25000u);
    EXPECT_EQ(std::memcmp(client.audio.data(), samples.data(), 25000), 0);

    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(waveInUnprepareHeader(hwi, &buffers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(hwi), MMSYSERR_NOERROR);
    EXPECT_EQ(client.events.back().message, WIM_CLOSE);
}

TEST(WaveIn, StopHandsBackThePartlyFilledBufferAndKeepsTheEmptyOnesQueued)
{
    Registered<FakeWaveIn> line(WaveDeviceGroup::Line, "Zo-Linka Line 1");
    Client client;
    client.requeue = true;
    HWAVEIN hwi = Open(line.Id(), client);
    Buffers buffers;
    buffers.Queue(hwi);
    ASSERT_EQ(waveInStart(hwi), MMSYSERR_NOERROR);
    line->Push(Ramp(1000));
    ASSERT_EQ(waveInStop(hwi), MMSYSERR_NOERROR);
    EXPECT_FALSE(line->Running());
    ASSERT_EQ(client.events.size(), 2u);
    EXPECT_EQ(client.events[1].bytes, 2000u);

    // Started again, capture goes on into the queued buffers (the handed-back one went to the end).
    ASSERT_EQ(waveInStart(hwi), MMSYSERR_NOERROR);
    EXPECT_EQ(line->Starts(), 2);
    line->Push(Ramp(5000, 1000));
    ASSERT_EQ(client.events.size(), 3u);
    EXPECT_EQ(client.events[2].user, 1u);
    EXPECT_EQ(client.audio.size(), 12000u);
    EXPECT_EQ(waveInClose(hwi), WAVERR_STILLPLAYING);
    client.requeue = false;
    waveInReset(hwi);
    EXPECT_EQ(waveInClose(hwi), MMSYSERR_NOERROR);
}

TEST(WaveIn, ReportsThePlatformResultCodes)
{
    Registered<FakeWaveIn> line(WaveDeviceGroup::Line, "Zo-Linka Line 1");
    Client client;
    HWAVEIN hwi = nullptr;
    WAVEFORMATEX gsm{ 0x31, 1, 8000, 1625, 65, 0, 0 };
    EXPECT_EQ(waveInOpen(&hwi, line.Id(), &gsm, 0, 0, CALLBACK_FUNCTION), WAVERR_BADFORMAT);
    EXPECT_EQ(hwi, nullptr);
    EXPECT_EQ(waveInOpen(&hwi, waveInGetNumDevs(), &kPcm8k, 0, 0, CALLBACK_FUNCTION), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveInStart(nullptr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInReset(nullptr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInClose(nullptr), MMSYSERR_INVALHANDLE);

    hwi = Open(line.Id(), client);
    HWAVEIN second = nullptr;
    EXPECT_EQ(waveInOpen(&second, line.Id(), &kPcm8k, 0, 0, CALLBACK_FUNCTION), MMSYSERR_ALLOCATED);
    Buffers buffers;
    EXPECT_EQ(waveInAddBuffer(hwi, &buffers[0], sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    EXPECT_EQ(waveInAddBuffer(hwi, &buffers[0], 4), MMSYSERR_INVALPARAM);
    ASSERT_EQ(waveInPrepareHeader(hwi, &buffers[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(hwi, &buffers[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(hwi, &buffers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInUnprepareHeader(hwi, &buffers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    waveInReset(hwi);
    EXPECT_EQ(waveInClose(hwi), MMSYSERR_NOERROR);
    // Closed, the device can be opened again.
    hwi = Open(line.Id(), client);
    EXPECT_EQ(waveInClose(hwi), MMSYSERR_NOERROR);
}

TEST(SilentWaveIn, DeliversSilenceOnItsOwnThreadUntilReset)
{
    UINT id = 0;
    WAVEINCAPSA caps;
    for (; id < waveInGetNumDevs(); ++id)
        if (waveInGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR
            && std::string(caps.szPname) == platform::kSilentDeviceName)
            break;
    ASSERT_LT(id, waveInGetNumDevs());
    Client client;
    client.requeue = true;
    HWAVEIN hwi = Open(id, client);
    std::vector<char> data(1600, 0x55); // 0.1 s
    WAVEHDR header{ data.data(), 1600, 0, 7, 0, 0, nullptr, 0 };
    waveInPrepareHeader(hwi, &header, sizeof header);
    waveInAddBuffer(hwi, &header, sizeof header);
    ASSERT_EQ(waveInStart(hwi), MMSYSERR_NOERROR);
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard lock(client.mutex);
            if (client.audio.size() >= 1600)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    {
        std::lock_guard lock(client.mutex);
        client.requeue = false;
    }
    ASSERT_EQ(waveInReset(hwi), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(hwi), MMSYSERR_NOERROR);
    ASSERT_GE(client.audio.size(), 1600u);
    for (std::uint8_t b : client.audio)
        ASSERT_EQ(b, 0);
}
