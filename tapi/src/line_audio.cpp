#include "line_audio.h"

#include "line_wave_in.h"
#include "line_wave_out.h"

#include <spandsp.h>

#include <algorithm>
#include <cstdio>

namespace tapi {

namespace {

constexpr std::size_t kMaxHeardSamples = 8000u * 60 * 10; // ten minutes per line
constexpr std::size_t kMaxDetectedDigits = 1024;
constexpr std::size_t kMaxLogBytes = 16384;
constexpr DWORD kFlashMs = 500;
constexpr std::size_t kSamplesPerMs = 8;

std::string DeviceName(const std::string& lineName, const char* suffix)
{
    std::string name = lineName + suffix;
    if (name.size() > platform::kMaxDeviceNameLength) {
        // Keep the suffix so "Aux" stays recognisable in a long name.
        const std::string tail = suffix;
        name = lineName.substr(0, platform::kMaxDeviceNameLength - tail.size()) + tail;
    }
    return name;
}

std::vector<std::int16_t> RenderDigit(char digit, DWORD durationMs)
{
    dtmf_tx_state_t* tx = dtmf_tx_init(nullptr);
    dtmf_tx_set_timing(tx, static_cast<int>(durationMs), static_cast<int>(durationMs));
    const char text[2] = { digit, 0 };
    dtmf_tx_put(tx, text, 1);
    std::vector<std::int16_t> samples(std::size_t(durationMs) * 2 * kSamplesPerMs);
    std::size_t filled = 0;
    while (filled < samples.size()) {
        const int got = dtmf_tx(tx, samples.data() + filled, static_cast<int>(samples.size() - filled));
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    dtmf_tx_free(tx);
    return samples; // the rest, if any, is the silence between digits
}

} // namespace

void LineAudio::DtmfDeleter::operator()(dtmf_rx_state_s* state) const
{
    dtmf_rx_free(state);
}

LineAudio::LineAudio(const std::string& lineName, int lineIndex, std::function<void()> wake)
    : m_in(std::make_shared<LineWaveIn>(DeviceName(lineName, ""), wake))
    , m_inAux(std::make_shared<LineWaveIn>(DeviceName(lineName, " Aux"), wake))
    , m_out(std::make_shared<LineWaveOut>(DeviceName(lineName, ""), wake))
    , m_dtmf(dtmf_rx_init(nullptr, &LineAudio::OnDigits, this))
    , m_wake(std::move(wake))
{
    auto& list = platform::WaveDeviceList::Instance();
    list.AddInput(platform::WaveDeviceGroup::Line, lineIndex, m_in);
    list.AddInput(platform::WaveDeviceGroup::Line, lineIndex, m_inAux);
    list.AddOutput(platform::WaveDeviceGroup::Line, lineIndex, m_out);
}

LineAudio::~LineAudio()
{
    auto& list = platform::WaveDeviceList::Instance();
    list.RemoveInput(m_in.get());
    list.RemoveInput(m_inAux.get());
    list.RemoveOutput(m_out.get());
}

int LineAudio::WaveInId() const
{
    return platform::WaveDeviceList::Instance().FindInput(m_in.get());
}
int LineAudio::WaveInAuxId() const
{
    return platform::WaveDeviceList::Instance().FindInput(m_inAux.get());
}
int LineAudio::WaveOutId() const
{
    return platform::WaveDeviceList::Instance().FindOutput(m_out.get());
}

void LineAudio::SetPhase(Phase phase)
{
    std::lock_guard lock(m_mutex);
    if (phase == m_phase)
        return;
    // A far-end file starts over with each connection and goes on where it was after a hold.
    if (!(m_phase == Phase::Held && phase == Phase::Connected))
        m_farEndPosition = 0;
    m_phase = phase;
    m_phaseSamples = 0;
    if (phase != Phase::Connected)
        m_generated.clear();
    if (phase != Phase::Quiet)
        m_wake();
}

void LineAudio::SetFarEndSilence()
{
    std::lock_guard lock(m_mutex);
    m_farEnd = FarEnd::Silence;
}

void LineAudio::SetFarEndTone(DWORD frequencyHz, int levelDbm0)
{
    std::lock_guard lock(m_mutex);
    m_farEnd = FarEnd::Tone;
    m_farEndTone = ToneSpec{ { double(frequencyHz) }, 0, 0, levelDbm0 };
}

void LineAudio::SetFarEndSamples(std::vector<std::int16_t> samples)
{
    std::lock_guard lock(m_mutex);
    m_farEnd = FarEnd::Samples;
    m_farEndSamples = std::move(samples);
    m_farEndPosition = 0;
}

void LineAudio::SetCallWaiting(bool waiting)
{
    std::lock_guard lock(m_mutex);
    if (waiting && !m_callWaiting)
        m_waitingSamples = 0; // the first burst at once
    m_callWaiting = waiting;
}

void LineAudio::SetFarEndHolding(bool holding)
{
    std::lock_guard lock(m_mutex);
    m_farEndHolding = holding;
}

void LineAudio::SetCallTone(DWORD callId, DWORD frequencyHz, int levelDbm0)
{
    std::lock_guard lock(m_mutex);
    m_callTones[callId] = ToneSpec{ { double(frequencyHz) }, 0, 0, levelDbm0 };
}

void LineAudio::SetParties(std::vector<DWORD> callIds)
{
    std::lock_guard lock(m_mutex);
    m_parties = std::move(callIds);
}

void LineAudio::SetLink(std::shared_ptr<AudioLink> link)
{
    std::lock_guard lock(m_mutex);
    m_link = std::move(link);
}

void LineAudio::SetCallLink(DWORD callId, std::shared_ptr<AudioLink> link)
{
    std::lock_guard lock(m_mutex);
    if (link)
        m_callLinks[callId] = std::move(link);
    else
        m_callLinks.erase(callId);
}

DWORD LineAudio::QueueDigits(const std::string& digits, DWORD durationMs)
{
    std::lock_guard lock(m_mutex);
    if (m_link && m_phase == Phase::Connected)
        if (const DWORD lengthMs = m_link->QueueDigitEvents(digits, durationMs))
            return lengthMs;
    const std::size_t before = m_generated.size();
    for (char digit : digits) {
        if (digit == '!') {
            m_generated.insert(m_generated.end(), std::size_t(kFlashMs) * kSamplesPerMs, 0);
            continue;
        }
        const auto samples = RenderDigit(digit, durationMs);
        m_generated.insert(m_generated.end(), samples.begin(), samples.end());
    }
    m_wake();
    return static_cast<DWORD>((m_generated.size() - before) / kSamplesPerMs);
}

DWORD LineAudio::QueueTone(const ToneSpec& tone, DWORD durationMs)
{
    const auto samples = tone.Render(durationMs);
    std::lock_guard lock(m_mutex);
    m_generated.insert(m_generated.end(), samples.begin(), samples.end());
    m_wake();
    return durationMs;
}

void LineAudio::CancelGeneration()
{
    std::lock_guard lock(m_mutex);
    m_generated.clear();
    if (m_link)
        m_link->CancelDigitEvents();
}

void LineAudio::AppendLog(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    if (m_log.size() + line.size() + 1 <= kMaxLogBytes)
        m_log += line + "\n";
}

std::vector<std::int16_t> LineAudio::Heard(DWORD callId)
{
    std::lock_guard lock(m_mutex);
    if (!callId)
        return m_heard;
    const auto heard = m_callHeard.find(callId);
    return heard == m_callHeard.end() ? std::vector<std::int16_t>{} : heard->second;
}

std::string LineAudio::DetectedDigits()
{
    std::lock_guard lock(m_mutex);
    return m_detected;
}

std::string LineAudio::Log()
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

void LineAudio::ClearHeard()
{
    std::lock_guard lock(m_mutex);
    m_heard.clear();
    m_callHeard.clear();
    m_detected.clear();
    m_log.clear();
}

std::string LineAudio::Describe()
{
    std::lock_guard lock(m_mutex);
    char heard[64];
    std::snprintf(heard, sizeof heard, "heard %.1f s of audio\n", double(m_heard.size()) / 8000.0);
    std::string text = heard;
    text += "digits detected: " + (m_detected.empty() ? std::string("(none)") : m_detected) + "\n";
    if (!m_log.empty())
        text += m_log;
    return text;
}

void LineAudio::OnDigits(void* self, const char* digits, int count)
{
    // Called from dtmf_rx inside Hear, with m_mutex held.
    auto* audio = static_cast<LineAudio*>(self);
    if (audio->m_detected.size() + static_cast<std::size_t>(count) <= kMaxDetectedDigits)
        audio->m_detected.append(digits, static_cast<std::size_t>(count));
}

void LineAudio::NextFarEndBlock(std::int16_t* out, std::size_t count)
{
    std::fill(out, out + count, 0);
    const ToneSpec* tone = nullptr;
    static const ToneSpec dialTone = ToneSpec::DialTone();
    static const ToneSpec ringback = ToneSpec::Ringback();
    static const ToneSpec busy = ToneSpec::Busy();
    switch (m_phase) {
    case Phase::Quiet:
    case Phase::Held:
        return;
    case Phase::DialTone:
        tone = &dialTone;
        break;
    case Phase::Ringback:
        tone = &ringback;
        break;
    case Phase::Busy:
        tone = &busy;
        break;
    case Phase::Connected:
        NextConnectedFarEndBlock(out, count, m_phaseSamples);
        return;
    }
    if (tone)
        for (std::size_t i = 0; i < count; ++i)
            out[i] = tone->Sample(m_phaseSamples + i);
}

void LineAudio::NextConnectedFarEndBlock(std::int16_t* out, std::size_t count, std::uint64_t position)
{
    std::fill(out, out + count, 0);
    if (m_farEnd == FarEnd::Tone)
        for (std::size_t i = 0; i < count; ++i)
            out[i] = m_farEndTone.Sample(position + i);
    else if (m_farEnd == FarEnd::Samples)
        for (std::size_t i = 0; i < count && m_farEndPosition < m_farEndSamples.size(); ++i)
            out[i] = m_farEndSamples[m_farEndPosition++];
}

void LineAudio::NextGeneratedBlock(std::int16_t* out, std::size_t count)
{
    const std::size_t take = std::min(count, m_generated.size());
    std::copy_n(m_generated.begin(), take, out);
    std::fill(out + take, out + count, 0);
    m_generated.erase(m_generated.begin(), m_generated.begin() + static_cast<std::ptrdiff_t>(take));
}

void LineAudio::MixCallWaitingTone(std::int16_t* out, std::size_t count)
{
    static const ToneSpec tone = ToneSpec::CallWaiting();
    for (std::size_t i = 0; i < count; ++i)
        out[i] = MixSamples(out[i], tone.Sample(m_waitingSamples + i));
    m_waitingSamples += count;
}

std::vector<LineAudio::PartyBlock> LineAudio::NextPartyBlocks(std::size_t count)
{
    std::vector<PartyBlock> blocks;
    for (DWORD id : m_parties) {
        PartyBlock block{ id, std::vector<std::int16_t>(count) };
        const auto tone = m_callTones.find(id);
        if (const auto link = m_callLinks.find(id); link != m_callLinks.end())
            link->second->Receive(block.samples.data(), count);
        else if (tone != m_callTones.end())
            for (std::size_t i = 0; i < count; ++i)
                block.samples[i] = tone->second.Sample(m_phaseSamples + i);
        else
            continue;
        blocks.push_back(std::move(block));
    }
    return blocks;
}

void LineAudio::HearParties(const std::vector<std::int16_t>& sent, const std::vector<std::int16_t>* line,
    const std::vector<PartyBlock>& parties)
{
    const auto mixFor = [&](DWORD listener) {
        std::vector<std::int16_t> heard = sent;
        for (std::size_t i = 0; i < heard.size(); ++i) {
            if (line && listener)
                heard[i] = MixSamples(heard[i], (*line)[i]);
            for (const PartyBlock& party : parties)
                if (party.callId != listener)
                    heard[i] = MixSamples(heard[i], party.samples[i]);
        }
        return heard;
    };
    if (line) {
        const std::vector<std::int16_t> heard = mixFor(0);
        Hear(heard.data(), heard.size());
    }
    for (const PartyBlock& party : parties) {
        const std::vector<std::int16_t> block = mixFor(party.callId);
        if (const auto link = m_callLinks.find(party.callId); link != m_callLinks.end()) {
            link->second->Send(block.data(), block.size());
            continue; // a linked far end (SIP, or another line's) keeps what it heard itself
        }
        KeepCallHeard(party.callId, block.data(), block.size());
    }
}

void LineAudio::KeepCallHeard(DWORD callId, const std::int16_t* samples, std::size_t count)
{
    std::vector<std::int16_t>& heard = m_callHeard[callId];
    const std::size_t room = kMaxHeardSamples - std::min(kMaxHeardSamples, heard.size());
    heard.insert(heard.end(), samples, samples + std::min(room, count));
}

void LineAudio::Hear(const std::int16_t* samples, std::size_t count)
{
    const std::size_t room = kMaxHeardSamples - std::min(kMaxHeardSamples, m_heard.size());
    m_heard.insert(m_heard.end(), samples, samples + std::min(room, count));
    dtmf_rx(m_dtmf.get(), samples, static_cast<int>(count));
}

// A call's far end as the other line's conference hears it (see FarEndLink). The line may be
// gone (the exchange rebuilt its lines): the far end is then silent.
class LineAudio::FarEndOfCall : public AudioLink {
public:
    FarEndOfCall(std::weak_ptr<LineAudio> line, DWORD callId)
        : m_line(std::move(line))
        , m_callId(callId)
    {
    }
    void Receive(std::int16_t* out, std::size_t count) override
    {
        if (const auto line = m_line.lock())
            line->SpeakAsFarEnd(m_callId, out, count, m_position);
        else
            std::fill(out, out + count, 0);
        m_position += count;
    }
    void Send(const std::int16_t* samples, std::size_t count) override
    {
        if (const auto line = m_line.lock())
            line->HearAsFarEnd(m_callId, samples, count);
    }
    // Digits reach a simulated far end in-band.
    DWORD QueueDigitEvents(const std::string&, DWORD) override { return 0; }
    void CancelDigitEvents() override { }

private:
    std::weak_ptr<LineAudio> m_line;
    DWORD m_callId;
    std::uint64_t m_position = 0; // the far end's tone goes on without a jump between blocks
};

std::shared_ptr<AudioLink> LineAudio::FarEndLink(const std::shared_ptr<LineAudio>& line, DWORD callId)
{
    return std::make_shared<FarEndOfCall>(line, callId);
}

void LineAudio::SpeakAsFarEnd(DWORD callId, std::int16_t* out, std::size_t count, std::uint64_t position)
{
    std::lock_guard lock(m_mutex);
    if (const auto tone = m_callTones.find(callId); tone != m_callTones.end())
        for (std::size_t i = 0; i < count; ++i)
            out[i] = tone->second.Sample(position + i);
    else
        NextConnectedFarEndBlock(out, count, position);
}

void LineAudio::HearAsFarEnd(DWORD callId, const std::int16_t* samples, std::size_t count)
{
    std::lock_guard lock(m_mutex);
    // A call with a tone of its own has a far end of its own; the others are the line's.
    if (m_callTones.count(callId))
        KeepCallHeard(callId, samples, count);
    else
        Hear(samples, count);
}

bool LineAudio::NeedsTicks()
{
    std::lock_guard lock(m_mutex);
    return m_phase != Phase::Quiet || !m_generated.empty() || m_in->IsStarted() || m_inAux->IsStarted()
        || m_out->IsStarted();
}

void LineAudio::Tick(std::size_t samples)
{
    std::vector<std::int16_t> played(samples), farEnd(samples), generated(samples), mix(samples);
    m_out->Pull(played.data(), samples);
    {
        std::lock_guard lock(m_mutex);
        // A held call stays on the line: its far end is recorded hearing silence.
        const bool onHold = m_phase == Phase::Held || (m_phase == Phase::Connected && m_farEndHolding);
        const bool connected = m_phase == Phase::Connected && !onHold;
        const bool linked = connected && m_link;
        std::vector<PartyBlock> parties;
        bool lineTalks = true;
        if (linked)
            m_link->Receive(farEnd.data(), samples);
        else if (!onHold)
            NextFarEndBlock(farEnd.data(), samples);
        if (connected && !linked) {
            parties = NextPartyBlocks(samples);
            // The line's far end is on the call unless every party has a far end of its own.
            lineTalks = m_parties.empty() || parties.size() < m_parties.size();
            if (!lineTalks)
                std::fill(farEnd.begin(), farEnd.end(), 0);
        }
        const std::vector<std::int16_t> lineFarEnd = farEnd;
        for (const PartyBlock& party : parties)
            for (std::size_t i = 0; i < samples; ++i)
                farEnd[i] = MixSamples(farEnd[i], party.samples[i]);
        if (m_callWaiting)
            MixCallWaitingTone(farEnd.data(), samples);
        NextGeneratedBlock(generated.data(), samples);
        m_phaseSamples += samples;
        for (std::size_t i = 0; i < samples; ++i) {
            const std::int16_t toFarEnd = connected ? MixSamples(played[i], generated[i]) : 0;
            played[i] = toFarEnd;
            mix[i] = MixSamples(farEnd[i], toFarEnd);
        }
        if (linked)
            m_link->Send(played.data(), samples);
        if (connected || onHold)
            HearParties(played, lineTalks ? &lineFarEnd : nullptr, parties);
    }
    m_in->Feed(farEnd.data(), samples);
    m_inAux->Feed(mix.data(), samples);
}

} // namespace tapi
