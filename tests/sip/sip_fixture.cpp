#include "sip_fixture.h"

#include <algorithm>

#include <spandsp.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>

namespace {

void OnDigits(void* user, const char* digits, int count)
{
    static_cast<std::string*>(user)->append(digits, static_cast<std::size_t>(count));
}

} // namespace

std::string DigitsIn(const std::vector<std::int16_t>& samples)
{
    std::string digits;
    dtmf_rx_state_t* rx = dtmf_rx_init(nullptr, OnDigits, &digits);
    dtmf_rx(rx, samples.data(), static_cast<int>(samples.size()));
    dtmf_rx_free(rx);
    return digits;
}

std::vector<std::int16_t> Tone(double frequency, unsigned ms)
{
    std::vector<std::int16_t> samples(ms * 8);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i]
            = static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * frequency * double(i) / 8000));
    return samples;
}

std::vector<std::int16_t> Slice(const std::vector<std::int16_t>& samples, unsigned fromMs, unsigned lengthMs)
{
    const std::size_t from = std::min<std::size_t>(samples.size(), fromMs * 8);
    const std::size_t to = std::min<std::size_t>(samples.size(), from + lengthMs * 8);
    return std::vector<std::int16_t>(samples.begin() + long(from), samples.begin() + long(to));
}

SipFixture::SipFixture()
    : m_line1Port(sip_test::FreePort())
    , m_line2Port(sip_test::FreePort())
    , m_sippPort(sip_test::FreePort())
{
}

std::string SipFixture::Configuration() const
{
    std::string text;
    for (int i = 1; i <= 4; ++i)
        text += "[line]\nname = Zo-Linka Line " + std::to_string(i) + "\n";
    const auto sipLine
        = [&](int index, std::uint16_t port, const std::string& user, const std::string& extra) {
              return "[line]\nname = IP Line " + std::to_string(index) + "\nkind = sip\nuser = " + user
                  + "\ndomain = 127.0.0.1:" + std::to_string(m_sippPort)
                  + "\nlocal-address = 127.0.0.1\nlocal-port = " + std::to_string(port) + "\n" + extra;
          };
    text += sipLine(1, m_line1Port, "kestrium", Line1Account());
    text += sipLine(2, m_line2Port, "second", "register = no\n");
    text += "[line]\nname = Data Modem\nkind = modem\n";
    return text;
}

void SipFixture::TearDown()
{
    for (auto& input : m_inputs)
        input->Stop();
    for (auto& output : m_outputs)
        output->Stop();
    TapiFixture::TearDown();
}

void SipFixture::Run(DWORD ms)
{
    for (DWORD done = 0; done < ms; done += 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Pump(20);
    }
}

bool SipFixture::RunUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        if (done())
            return true;
        Run(20);
    }
    return done();
}

void SipFixture::RunWhile(sip_test::Sipp& sipp, DWORD timeoutMs)
{
    EXPECT_TRUE(RunUntil([&] { return !sipp.Running(); }, timeoutMs)) << "SIPp did not finish";
}

bool SipFixture::Saw(HCALL call, DWORD state, DWORD mode) const
{
    for (const Received& message : m_received)
        if (message.message == LINE_CALLSTATE && message.device == call && message.p1 == state
            && (mode == 0 || message.p2 == mode))
            return true;
    return false;
}

std::vector<DWORD> SipFixture::Reported(HLINE line, DWORD index) const
{
    std::vector<DWORD> states;
    for (const Received& message : m_received)
        if (message.message == LINE_DEVSPECIFIC && message.device == line
            && message.p1 == TAPIDEVSPECIFIC_WATCHEDLINE && message.p2 == index)
            states.push_back(DWORD(message.p3));
    return states;
}

HCALL SipFixture::NewCallOn(HLINE line) const
{
    for (const Received& message : m_received)
        if (message.message == LINE_APPNEWCALL && message.device == line)
            return static_cast<HCALL>(message.p2);
    return 0;
}

std::vector<std::int16_t>& SipFixture::Record(HLINE line, const char* deviceClass)
{
    auto device = platform::WaveDeviceList::Instance().Input(LineDeviceId(line, deviceClass));
    auto samples = std::make_shared<std::vector<std::int16_t>>();
    EXPECT_EQ(device->Start(platform::PcmFormat{},
                  [samples](const std::uint8_t* data, std::size_t bytes) {
                      const auto* p = reinterpret_cast<const std::int16_t*>(data);
                      samples->insert(samples->end(), p, p + bytes / 2);
                  }),
        MMSYSERR_NOERROR);
    m_inputs.push_back(device);
    m_recordings.push_back(samples);
    return *samples;
}

void SipFixture::PlayTone(HLINE line, double frequency)
{
    auto device = platform::WaveDeviceList::Instance().Output(LineDeviceId(line, "wave/out"));
    auto position = std::make_shared<std::size_t>(0);
    EXPECT_EQ(device->Start(platform::PcmFormat{},
                  [position, frequency](std::uint8_t* data, std::size_t bytes) {
                      auto* out = reinterpret_cast<std::int16_t*>(data);
                      for (std::size_t i = 0; i < bytes / 2; ++i, ++*position)
                          out[i] = static_cast<std::int16_t>(
                              8000 * std::sin(2 * std::numbers::pi * frequency * double(*position) / 8000));
                      return bytes;
                  }),
        MMSYSERR_NOERROR);
    m_outputs.push_back(device);
}

std::string SipFixture::LineList()
{
    std::string reply(4096, '\0');
    return tapisimCommand("list", reply.data(), static_cast<DWORD>(reply.size())) == TAPISIM_OK
        ? reply.c_str()
        : std::string();
}

LONG SipFixture::GenerateDigits(HCALL call, const char* digits)
{
    return lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, digits, 0);
}

std::pair<std::string, std::string> SipFixture::CallerOf(HCALL call)
{
    std::vector<unsigned char> buffer(sizeof(LINECALLINFO) + 1024, 0);
    auto* info = reinterpret_cast<LINECALLINFO*>(buffer.data());
    info->dwTotalSize = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(lineGetCallInfoA(call, info), 0);
    const auto text = [&](DWORD size, DWORD offset) {
        return size ? std::string(reinterpret_cast<const char*>(buffer.data() + offset), size - 1)
                    : std::string();
    };
    return { text(info->dwCallerIDSize, info->dwCallerIDOffset),
        text(info->dwCallerIDNameSize, info->dwCallerIDNameOffset) };
}

double BestShareOf(const std::vector<std::int16_t>& samples, double frequency, unsigned windowMs)
{
    double best = 0;
    for (unsigned from = 0; from + windowMs < samples.size() / 8; from += 100)
        best = std::max(best, ShareOf(Slice(samples, from, windowMs), frequency));
    return best;
}
