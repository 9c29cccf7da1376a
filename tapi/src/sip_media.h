#pragma once

#include "line_audio.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct jbuf;
struct mbuf;
struct rtp_header;
struct rtp_sock;
struct sa;
struct telev;

namespace tapi {

// The two G.711 laws every SIP phone and exchange speaks; nothing else is offered (see
// docs/telephony.md: the line devices carry 8 kHz audio, so a wide-band codec would gain nothing).
enum class G711Law { Ulaw, Alaw };

// The payload types of a call, as the offer and answer settled them.
struct MediaFormat {
    int payloadType = 0;
    G711Law law = G711Law::Ulaw;
    int eventType = -1; // telephone-event, -1 when the far end takes none
};

// One call's audio over RTP: G.711 both ways, a jitter buffer for what arrives, RFC 4733
// telephone events both ways. We send to the address the SDP names; the first packet after each
// SDP latches the far end's source (symmetric RTP: a NAT may have moved it), and from then on
// packets from any other address or port are dropped: they are neither played nor keep the call
// alive, and they never move where our audio goes.
// The SIP thread opens, starts and closes it and hands it packets; the exchange clock pulls and
// pushes audio through the AudioLink side. Everything that both touch is under one mutex.
class SipMedia : public AudioLink {
public:
    // Opens the RTP socket (and RTCP on the next port) on `local`, with a free port.
    static std::shared_ptr<SipMedia> Open(const sa& local, std::string& error);
    // A media object without a socket, for tests that feed it packets directly.
    static std::shared_ptr<SipMedia> Detached();
    ~SipMedia() override;
    SipMedia(const SipMedia&) = delete;
    SipMedia& operator=(const SipMedia&) = delete;

    std::uint16_t LocalPort() const;
    // Where to send and how to encode: from the offer/answer. May be called again (re-INVITE).
    void Start(const sa& remote, const MediaFormat& format);
    // Where RTCP reports go: the far end's RTCP address (its RTP port + 1 unless its SDP names
    // another), or with `mux` its RTP address, RTCP then also arriving on our RTP port (RFC 5761).
    void StartRtcp(const sa& remote, bool mux);
    // Whether our audio goes out: not while either side holds the call (a=sendonly, a=inactive,
    // or a far end at 0.0.0.0).
    void SetSending(bool sending);
    // Stops sending and receiving and closes the socket (SIP thread).
    void Close();
    // Milliseconds since the last packet of the far end arrived, or since Start when none did.
    std::uint64_t SilentForMs() const;

    // A packet as the network delivered it, after the RTP header was parsed.
    void OnPacket(const sa& source, const rtp_header& header, mbuf* payload);

    // AudioLink, on the exchange clock.
    void Receive(std::int16_t* out, std::size_t count) override;
    void Send(const std::int16_t* samples, std::size_t count) override;
    DWORD QueueDigitEvents(const std::string& digits, DWORD durationMs) override;
    void CancelDigitEvents() override;

private:
    struct Frame {
        std::uint32_t timestamp = 0;
        std::vector<std::int16_t> samples;
    };
    struct EventStep {
        int code = -1; // -1: a pause
        std::size_t samples = 0;
        bool started = false;
    };

    SipMedia();
    bool NextFrame();
    // Forgets what arrived and was not played; the next frame starts playing afresh.
    void DropReceived();
    // A frame was taken from the jitter buffer: true when it is skipped to catch up.
    bool CatchUp();
    void Resync(const Frame& frame);
    bool IsFarEnd(const sa& source);
    void ReceiveEvent(mbuf* payload);
    bool SendEvent(std::size_t count);
    void SendPacket(
        int payloadType, bool marker, std::uint32_t timestamp, const std::uint8_t* bytes, std::size_t size);

    mutable std::mutex m_mutex;
    struct rtp_sock* m_rtp = nullptr;
    jbuf* m_jitter = nullptr;
    telev* m_events = nullptr;
    std::unique_ptr<sa> m_remote; // where we send
    std::unique_ptr<sa> m_source; // the far end's latched source; unset until its first packet
    std::optional<MediaFormat> m_format;
    // Receiving.
    std::optional<Frame> m_held; // taken from the jitter buffer, not yet due
    std::deque<std::int16_t> m_decoded;
    std::deque<std::int16_t> m_eventTones; // received telephone events, as tones
    bool m_playing = false;
    std::uint32_t m_playTimestamp = 0;
    int m_lateInARow = 0;
    std::atomic<std::uint64_t> m_lastPacketMs{ 0 };
    std::uint64_t m_lastReceiveMs = 0;
    std::uint32_t m_buffered = 0; // frames in the jitter buffer, as far as we know
    bool m_catchingUp = false;
    // Sending.
    bool m_sending = true;
    bool m_firstSent = false;
    std::uint32_t m_sendTimestamp = 0;
    std::uint32_t m_eventTimestamp = 0;
    std::deque<EventStep> m_eventSteps;
};

// The clock the media times packets on, in ms.
std::uint64_t MediaClockMs();

} // namespace tapi
