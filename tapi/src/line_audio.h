#pragma once

#include "tapi.h"
#include "tone.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct dtmf_rx_state_s;

namespace tapi {

class LineWaveIn;
class LineWaveOut;

// The far end of a real line (a SIP call's RTP stream): what it sends replaces the simulated far
// end while the call is connected, and what the line sends goes to it. A conference's party of
// another line is linked the same way (LineAudio::FarEndLink). Called on the exchange clock.
class AudioLink {
public:
    virtual ~AudioLink() = default;
    // Fills `count` samples of what the far end sent; silence where nothing arrived in time.
    virtual void Receive(std::int16_t* out, std::size_t count) = 0;
    virtual void Send(const std::int16_t* samples, std::size_t count) = 0;
    // Sends digits as telephone events and answers their length in ms; 0 when the far end takes
    // none (they are then sent in-band).
    virtual DWORD QueueDigitEvents(const std::string& digits, DWORD durationMs) = 0;
    virtual void CancelDigitEvents() = 0;
};

// The audio of one line: its three wave devices in the platform's lists, the far end's sound,
// and what the far end hears (with DTMF detection). The exchange sets the phase and queues
// generated digits and tones; the clock moves audio one block at a time with Tick. A quiet line
// with no device started needs no ticks; `wake` runs whenever that may have changed (a phase, a
// device started, generated audio queued), so that a sleeping clock starts moving audio again.
class LineAudio {
public:
    // Held: the line's calls are all on hold; both ends hear silence.
    enum class Phase { Quiet, DialTone, Ringback, Busy, Connected, Held };

    LineAudio(const std::string& lineName, int lineIndex, std::function<void()> wake);
    ~LineAudio();
    LineAudio(const LineAudio&) = delete;
    LineAudio& operator=(const LineAudio&) = delete;

    // Device ids in the platform's lists (-1 when not listed).
    int WaveInId() const;
    int WaveInAuxId() const;
    int WaveOutId() const;

    void SetPhase(Phase phase);
    void SetFarEndSilence();
    void SetFarEndTone(DWORD frequencyHz, int levelDbm0);
    void SetFarEndSamples(std::vector<std::int16_t> samples);
    // The call-waiting tone, heard on the wave-in devices while a second caller waits.
    void SetCallWaiting(bool waiting);
    // The far end put the connected call on hold: neither end hears the other.
    void SetFarEndHolding(bool holding);
    // A call's own far end, a party apart from the line's far end (which every other call has).
    void SetCallTone(DWORD callId, DWORD frequencyHz, int levelDbm0);
    // The calls whose far ends talk with us now: the active call, or a conference's parties.
    // Each party hears us and the others; we hear them all.
    void SetParties(std::vector<DWORD> callIds);
    // A real far end (null: the simulated one again).
    void SetLink(std::shared_ptr<AudioLink> link);
    // A call's own linked far end (null: none), heard and spoken to while the call is a party: a SIP
    // call's audio, or the far end of a call of another line (FarEndLink).
    void SetCallLink(DWORD callId, std::shared_ptr<AudioLink> link);
    // The simulated far end of `callId`, a call of `line`, as a link for a conference mixed on
    // another line: it speaks the call's own tone (or the line's far end) and what it is sent is
    // kept as what that far end heard. Used only by the other line's Tick, which holds that line's
    // lock while it takes this one (ticks run one after the other, so the order cannot cross).
    static std::shared_ptr<AudioLink> FarEndLink(const std::shared_ptr<LineAudio>& line, DWORD callId);

    // Queue generated audio towards the far end; each returns its length in ms.
    DWORD QueueDigits(const std::string& digits, DWORD durationMs);
    DWORD QueueTone(const ToneSpec& tone, DWORD durationMs);
    void CancelGeneration();

    void AppendLog(const std::string& line);
    // What the line's far end heard; with a callId, what that call's own far end heard.
    std::vector<std::int16_t> Heard(DWORD callId = 0);
    std::string DetectedDigits();
    std::string Log();
    void ClearHeard();
    std::string Describe();

    // One block of the exchange clock; runs device callbacks without holding the exchange.
    void Tick(std::size_t samples);
    // False while a tick would neither make a sound nor reach a device.
    bool NeedsTicks();

private:
    class FarEndOfCall;
    struct DtmfDeleter {
        void operator()(dtmf_rx_state_s* state) const;
    };
    enum class FarEnd { Silence, Tone, Samples };
    struct PartyBlock {
        DWORD callId;
        std::vector<std::int16_t> samples;
    };

    void NextFarEndBlock(std::int16_t* out, std::size_t count);
    // The connected far end's sound (tone, samples or silence), whatever the line's phase.
    void NextConnectedFarEndBlock(std::int16_t* out, std::size_t count, std::uint64_t position);
    // What the far end of `callId` says and hears while it talks in another line's conference.
    void SpeakAsFarEnd(DWORD callId, std::int16_t* out, std::size_t count, std::uint64_t position);
    void HearAsFarEnd(DWORD callId, const std::int16_t* samples, std::size_t count);
    void KeepCallHeard(DWORD callId, const std::int16_t* samples, std::size_t count);
    void NextGeneratedBlock(std::int16_t* out, std::size_t count);
    void MixCallWaitingTone(std::int16_t* out, std::size_t count);
    // One block of each party with its own far end: a real one (its link) or a tone.
    std::vector<PartyBlock> NextPartyBlocks(std::size_t count);
    // Each party hears what we send and the other parties (a linked party is sent it); `line` is
    // the line's far end's block, null when it is not a party.
    void HearParties(const std::vector<std::int16_t>& sent, const std::vector<std::int16_t>* line,
        const std::vector<PartyBlock>& parties);
    void Hear(const std::int16_t* samples, std::size_t count);
    static void OnDigits(void* self, const char* digits, int count);

    std::mutex m_mutex;
    std::shared_ptr<LineWaveIn> m_in;
    std::shared_ptr<LineWaveIn> m_inAux;
    std::shared_ptr<LineWaveOut> m_out;
    Phase m_phase = Phase::Quiet;
    std::uint64_t m_phaseSamples = 0;
    bool m_callWaiting = false;
    std::uint64_t m_waitingSamples = 0;
    bool m_farEndHolding = false;
    FarEnd m_farEnd = FarEnd::Silence;
    ToneSpec m_farEndTone;
    std::vector<std::int16_t> m_farEndSamples;
    std::size_t m_farEndPosition = 0;
    std::deque<std::int16_t> m_generated;
    std::vector<std::int16_t> m_heard;
    std::map<DWORD, ToneSpec> m_callTones;
    std::map<DWORD, std::shared_ptr<AudioLink>> m_callLinks;
    std::map<DWORD, std::vector<std::int16_t>> m_callHeard;
    std::vector<DWORD> m_parties;
    std::string m_detected;
    std::string m_log;
    std::unique_ptr<dtmf_rx_state_s, DtmfDeleter> m_dtmf;
    std::shared_ptr<AudioLink> m_link;
    std::function<void()> m_wake;
};

} // namespace tapi
