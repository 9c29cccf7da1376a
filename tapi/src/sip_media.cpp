#include "sip_media.h"

#include "libre.h"

#include <spandsp.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <netinet/in.h>

namespace tapi {

namespace {

constexpr std::uint16_t kRtpPortMin = 10000;
constexpr std::uint16_t kRtpPortMax = 60000;
// Frames the jitter buffer keeps before it plays (1: a swapped pair of packets is put back in
// order) and at most (20 ms each).
constexpr std::uint32_t kJitterMinFrames = 1;
constexpr std::uint32_t kJitterMaxFrames = 10;
// At most 60 ms of G.711 in one packet; larger payloads are not audio we asked for.
constexpr std::size_t kMaxPayloadBytes = 480;
// A jump of the timestamp by more than a second is a new stream, not a gap to fill.
constexpr std::int32_t kMaxGapSamples = 8000;
// Audio nobody took for this long (the call was held, waited, or waited for its conference) is
// stale: playing starts again from what arrives next.
constexpr std::uint64_t kStaleAfterMs = 300;
constexpr std::size_t kEventToneMs = 100;
constexpr std::size_t kSamplesPerMs = 8;
constexpr std::uint32_t kEventPacketMs = 20;

std::int16_t Decode(G711Law law, std::uint8_t byte)
{
    return law == G711Law::Ulaw ? ulaw_to_linear(byte) : alaw_to_linear(byte);
}

std::uint8_t Encode(G711Law law, std::int16_t sample)
{
    return law == G711Law::Ulaw ? linear_to_ulaw(sample) : linear_to_alaw(sample);
}

void RecvHandler(const struct sa* source, const struct rtp_header* header, struct mbuf* payload, void* arg)
{
    static_cast<SipMedia*>(arg)->OnPacket(*source, *header, payload);
}

std::vector<std::int16_t> RenderDigitTone(char digit)
{
    std::vector<std::int16_t> samples(kEventToneMs * kSamplesPerMs * 2, 0);
    dtmf_tx_state_t* tx = dtmf_tx_init(nullptr);
    dtmf_tx_set_timing(tx, int(kEventToneMs), int(kEventToneMs));
    const char text[2] = { digit, 0 };
    dtmf_tx_put(tx, text, 1);
    dtmf_tx(tx, samples.data(), int(kEventToneMs * kSamplesPerMs));
    dtmf_tx_free(tx);
    return samples; // the tone, then as much silence
}

} // namespace

std::uint64_t MediaClockMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

SipMedia::SipMedia()
    : m_remote(std::make_unique<sa>())
    , m_source(std::make_unique<sa>())
{
    jbuf_alloc(&m_jitter, kJitterMinFrames, kJitterMaxFrames);
    telev_alloc(&m_events, kEventPacketMs);
    m_lastPacketMs = MediaClockMs();
}

SipMedia::~SipMedia()
{
    Close();
    mem_deref(m_jitter);
    mem_deref(m_events);
}

std::shared_ptr<SipMedia> SipMedia::Open(const sa& local, std::string& error)
{
    std::shared_ptr<SipMedia> media(new SipMedia);
    if (!media->m_jitter || !media->m_events) {
        error = "out of memory";
        return nullptr;
    }
    const int err = rtp_listen(&media->m_rtp, IPPROTO_UDP, &local, kRtpPortMin, kRtpPortMax, true,
        RecvHandler, nullptr, media.get());
    if (err) {
        error = std::string("cannot open an RTP port: ") + std::strerror(err);
        return nullptr;
    }
    return media;
}

std::shared_ptr<SipMedia> SipMedia::Detached()
{
    return std::shared_ptr<SipMedia>(new SipMedia);
}

std::uint16_t SipMedia::LocalPort() const
{
    std::lock_guard lock(m_mutex);
    return m_rtp ? sa_port(rtp_local(m_rtp)) : 0;
}

void SipMedia::Start(const sa& remote, const MediaFormat& format)
{
    std::lock_guard lock(m_mutex);
    *m_remote = remote;
    *m_source = sa{}; // a new SDP: the next packet may come from a new source
    if (!m_format || m_format->payloadType != format.payloadType)
        DropReceived();
    m_format = format;
    m_lastPacketMs = MediaClockMs();
}

void SipMedia::StartRtcp(const sa& remote, bool mux)
{
    std::lock_guard lock(m_mutex);
    if (!m_rtp)
        return;
    rtcp_enable_mux(m_rtp, mux);
    rtcp_start(m_rtp, "kestrium", &remote);
}

void SipMedia::SetSending(bool sending)
{
    std::lock_guard lock(m_mutex);
    m_sending = sending;
}

void SipMedia::Close()
{
    struct rtp_sock* rtp = nullptr;
    {
        std::lock_guard lock(m_mutex);
        rtp = m_rtp;
        m_rtp = nullptr;
        m_format.reset();
    }
    mem_deref(rtp);
}

std::uint64_t SipMedia::SilentForMs() const
{
    const std::uint64_t now = MediaClockMs();
    const std::uint64_t last = m_lastPacketMs.load();
    return now > last ? now - last : 0;
}

bool SipMedia::IsFarEnd(const sa& source)
{
    if (sa_isset(m_source.get(), SA_ALL))
        return sa_cmp(&source, m_source.get(), SA_ALL);
    if (!sa_isset(&source, SA_ALL))
        return false;
    // The start of the media: the far end sends from here, and hears us here.
    *m_source = source;
    *m_remote = source;
    return true;
}

void SipMedia::OnPacket(const sa& source, const rtp_header& header, mbuf* payload)
{
    std::lock_guard lock(m_mutex);
    if (!m_format || !payload)
        return;
    const std::size_t size = mbuf_get_left(payload);
    const bool event = header.pt == m_format->eventType;
    const bool audio = header.pt == m_format->payloadType && size > 0 && size <= kMaxPayloadBytes;
    // Another payload type (comfort noise, video...) is not ours to play, and it does not latch.
    if ((!event && !audio) || !IsFarEnd(source))
        return;
    if (event) {
        ReceiveEvent(payload);
    } else {
        mbuf* copy = mbuf_alloc(size);
        if (!copy)
            return;
        mbuf_write_mem(copy, mbuf_buf(payload), size);
        copy->pos = 0;
        if (jbuf_put(m_jitter, &header, copy) == 0)
            m_buffered = std::min(m_buffered + 1, kJitterMaxFrames);
        mem_deref(copy);
    }
    m_lastPacketMs = MediaClockMs();
}

void SipMedia::ReceiveEvent(mbuf* payload)
{
    int event = 0;
    bool end = false;
    if (telev_recv(m_events, payload, &event, &end) != 0 || end)
        return;
    const int digit = telev_code2digit(event);
    if (digit <= 0)
        return;
    const auto tone = RenderDigitTone(static_cast<char>(digit));
    m_eventTones.insert(m_eventTones.end(), tone.begin(), tone.end());
}

void SipMedia::DropReceived()
{
    jbuf_flush(m_jitter);
    m_buffered = 0;
    m_catchingUp = false;
    m_held.reset();
    m_decoded.clear();
    m_playing = false;
}

bool SipMedia::CatchUp()
{
    m_buffered -= m_buffered ? 1 : 0;
    // A full buffer means we fell behind (frames came before anybody listened, or the far end's
    // clock runs fast); played on, each frame it drops for a new one would be a gap of silence.
    // Older frames are skipped down to half of it, and playing goes on from the next one.
    if (m_buffered + 1 >= kJitterMaxFrames)
        m_catchingUp = true;
    if (m_catchingUp && m_buffered > kJitterMaxFrames / 2)
        return true;
    if (m_catchingUp)
        m_playing = false; // starts again from the frame taken
    m_catchingUp = false;
    return false;
}

void SipMedia::Resync(const Frame& frame)
{
    m_playTimestamp = frame.timestamp;
    m_lateInARow = 0;
}

bool SipMedia::NextFrame()
{
    // Plays frames in timestamp order on our own clock: a missing frame (lost, or not yet there)
    // is silence, a frame that comes after its time is dropped. Two late frames in a row mean
    // the far end's clock or the network slipped behind ours: playing resumes from its frames.
    for (int guard = 0; guard < int(kJitterMaxFrames) + 2; ++guard) {
        if (!m_held) {
            rtp_header header{};
            void* memory = nullptr;
            if (jbuf_get(m_jitter, &header, &memory) != 0)
                return false;
            auto* buffer = static_cast<mbuf*>(memory);
            if (CatchUp()) {
                mem_deref(buffer);
                continue;
            }
            Frame frame{ header.ts, {} };
            frame.samples.reserve(mbuf_get_left(buffer));
            for (const std::uint8_t* byte = mbuf_buf(buffer); byte < buffer->buf + buffer->end; ++byte)
                frame.samples.push_back(Decode(m_format->law, *byte));
            mem_deref(buffer);
            m_held = std::move(frame);
        }
        if (!m_playing) {
            m_playing = true;
            Resync(*m_held);
        }
        const auto ahead = static_cast<std::int32_t>(m_held->timestamp - m_playTimestamp);
        if (ahead < -kMaxGapSamples || ahead > kMaxGapSamples) {
            Resync(*m_held);
        } else if (ahead < 0) {
            if (++m_lateInARow < 2) {
                m_held.reset();
                continue;
            }
            Resync(*m_held);
        } else if (ahead > 0) {
            m_decoded.insert(m_decoded.end(), static_cast<std::size_t>(ahead), 0);
            m_playTimestamp += static_cast<std::uint32_t>(ahead);
            return true;
        }
        m_lateInARow = 0;
        m_decoded.insert(m_decoded.end(), m_held->samples.begin(), m_held->samples.end());
        m_playTimestamp += static_cast<std::uint32_t>(m_held->samples.size());
        m_held.reset();
        return true;
    }
    return false;
}

void SipMedia::Receive(std::int16_t* out, std::size_t count)
{
    std::lock_guard lock(m_mutex);
    const std::uint64_t now = MediaClockMs();
    if (m_playing && now - m_lastReceiveMs > kStaleAfterMs)
        DropReceived();
    m_lastReceiveMs = now;
    std::size_t filled = 0;
    while (m_format && filled < count) {
        if (m_decoded.empty() && !NextFrame())
            break;
        const std::size_t take = std::min(count - filled, m_decoded.size());
        std::copy_n(m_decoded.begin(), take, out + filled);
        m_decoded.erase(m_decoded.begin(), m_decoded.begin() + static_cast<std::ptrdiff_t>(take));
        filled += take;
    }
    std::fill(out + filled, out + count, 0);
    if (m_playing)
        m_playTimestamp += static_cast<std::uint32_t>(count - filled); // the gap was played as silence
    const std::size_t tones = std::min(count, m_eventTones.size());
    for (std::size_t i = 0; i < tones; ++i)
        out[i] = MixSamples(out[i], m_eventTones[i]);
    m_eventTones.erase(m_eventTones.begin(), m_eventTones.begin() + static_cast<std::ptrdiff_t>(tones));
}

void SipMedia::SendPacket(
    int payloadType, bool marker, std::uint32_t timestamp, const std::uint8_t* bytes, std::size_t size)
{
    mbuf* buffer = mbuf_alloc(RTP_HEADER_SIZE + size);
    if (!buffer)
        return;
    buffer->pos = buffer->end = RTP_HEADER_SIZE;
    mbuf_write_mem(buffer, bytes, size);
    buffer->pos = RTP_HEADER_SIZE;
    rtp_send(m_rtp, m_remote.get(), false, marker, static_cast<std::uint8_t>(payloadType), timestamp, buffer);
    mem_deref(buffer);
}

bool SipMedia::SendEvent(std::size_t count)
{
    // Moves the digit plan on by one packet and sends the event packet it makes, if any.
    if (!m_eventSteps.empty()) {
        EventStep& step = m_eventSteps.front();
        if (step.code >= 0 && !step.started)
            telev_send(m_events, step.code, false);
        step.started = true;
        step.samples -= std::min(step.samples, count);
        if (step.samples == 0) {
            if (step.code >= 0)
                telev_send(m_events, step.code, true);
            m_eventSteps.pop_front();
        }
    }
    std::uint8_t payload[16];
    mbuf buffer{};
    buffer.buf = payload;
    buffer.size = sizeof payload;
    bool marker = false;
    if (telev_poll(m_events, &marker, &buffer) != 0)
        return false;
    if (marker)
        m_eventTimestamp = m_sendTimestamp;
    SendPacket(m_format->eventType, marker, m_eventTimestamp, payload, buffer.end);
    return true;
}

void SipMedia::Send(const std::int16_t* samples, std::size_t count)
{
    std::lock_guard lock(m_mutex);
    if (!m_rtp || !m_format || !m_sending || !sa_isset(m_remote.get(), SA_ALL))
        return;
    if (m_format->eventType < 0 || !SendEvent(count)) {
        std::vector<std::uint8_t> encoded(count);
        for (std::size_t i = 0; i < count; ++i)
            encoded[i] = Encode(m_format->law, samples[i]);
        SendPacket(m_format->payloadType, !m_firstSent, m_sendTimestamp, encoded.data(), count);
        m_firstSent = true;
    }
    m_sendTimestamp += static_cast<std::uint32_t>(count);
}

DWORD SipMedia::QueueDigitEvents(const std::string& digits, DWORD durationMs)
{
    std::lock_guard lock(m_mutex);
    if (!m_format || m_format->eventType < 0)
        return 0;
    DWORD totalMs = 0;
    for (char digit : digits) {
        const int code
            = digit == '!' ? 16 : telev_digit2code(std::toupper(static_cast<unsigned char>(digit)));
        if (code < 0)
            continue;
        // A flash lasts 500 ms; a digit sounds for the duration and pauses as long.
        const DWORD onMs = digit == '!' ? 500 : durationMs;
        m_eventSteps.push_back({ code, onMs * kSamplesPerMs, false });
        m_eventSteps.push_back({ -1, durationMs * kSamplesPerMs, false });
        totalMs += onMs + durationMs;
    }
    return totalMs;
}

void SipMedia::CancelDigitEvents()
{
    std::lock_guard lock(m_mutex);
    if (!m_eventSteps.empty() && m_eventSteps.front().code >= 0 && m_eventSteps.front().started)
        telev_send(m_events, m_eventSteps.front().code, true);
    m_eventSteps.clear();
}

} // namespace tapi
