#pragma once

#include "sipp.h"

#include "tapi/tapi_fixture.h"

#include "platform/wave_devices.h"
#include "support/temp_dir.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Lines 5 and 6 ("IP Line 1", "IP Line 2") as SIP lines on loopback ports chosen at run time, the
// other lines as in the built-in set; the clock moves in step with real time, since the far ends
// (SIPp, or the other SIP line) are real.
class SipFixture : public TapiFixture {
protected:
    static constexpr DWORD kLine1 = 4; // "IP Line 1"
    static constexpr DWORD kLine2 = 5; // "IP Line 2"

    SipFixture();
    std::string Configuration() const override;
    // Keys added to the first SIP line's section (registration tests).
    virtual std::string Line1Account() const { return "register = no\nrtp-timeout = 2\n"; }

    // Moves the clock `ms` in real time and dispatches what arrives.
    void Run(DWORD ms);
    // Runs until `done` holds or `timeoutMs` passed; answers whether it held.
    bool RunUntil(const std::function<bool()>& done, DWORD timeoutMs);
    // Runs while SIPp works through its scenario (at most `timeoutMs`).
    void RunWhile(sip_test::Sipp& sipp, DWORD timeoutMs);
    bool Saw(HCALL call, DWORD state, DWORD mode = 0) const;
    HCALL NewCallOn(HLINE line) const;
    // The states LINE_DEVSPECIFIC reported for watched entry `index` of a line, in order.
    std::vector<DWORD> Reported(HLINE line, DWORD index) const;

    // Records what the far end sends on a line's wave-in device from now on ("wave/in/aux": the
    // far end and what we send, mixed).
    std::vector<std::int16_t>& Record(HLINE line, const char* deviceClass = "wave/in");
    // Plays a tone down the line through its wave-out device from now on.
    void PlayTone(HLINE line, double frequency);
    std::string LineList();
    LONG GenerateDigits(HCALL call, const char* digits);
    // The caller id (number, name) of a call's LINECALLINFO.
    std::pair<std::string, std::string> CallerOf(HCALL call);

    testing_support::TempDir m_dir;
    std::uint16_t m_line1Port;
    std::uint16_t m_line2Port;
    std::uint16_t m_sippPort;
    std::vector<std::shared_ptr<std::vector<std::int16_t>>> m_recordings;
    std::vector<std::shared_ptr<platform::WaveInDevice>> m_inputs;
    std::vector<std::shared_ptr<platform::WaveOutDevice>> m_outputs;

    void TearDown() override;
};

// The DTMF digits spandsp hears in the samples.
std::string DigitsIn(const std::vector<std::int16_t>& samples);
std::vector<std::int16_t> Tone(double frequency, unsigned ms);
// The largest share of `frequency` in any `windowMs` of the samples (checked every 100 ms).
double BestShareOf(const std::vector<std::int16_t>& samples, double frequency, unsigned windowMs = 500);
// The part of the samples from `fromMs` for `lengthMs`.
std::vector<std::int16_t> Slice(const std::vector<std::int16_t>& samples, unsigned fromMs, unsigned lengthMs);
