// The parts of a SIP line that read what the network sends, in-process: the jitter buffer with
// reordered and lost packets, and random RTP packets, INVITEs and SDP bodies (fixed seeds, bounded
// rounds) that must never crash, hang or break the limits of caller texts.
#include "device_config.h"
#include "libre.h"
#include "sip_media.h"
#include "sip_parse.h"

#include <gtest/gtest.h>

#include <spandsp.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tapi;

struct Packet {
    rtp_header header{};
    std::vector<std::uint8_t> payload;
};

void Deliver(SipMedia& media, const Packet& packet, std::uint16_t fromPort = 4000)
{
    sa source{};
    sa_set_str(&source, "127.0.0.1", fromPort);
    mbuf* buffer = mbuf_alloc(packet.payload.size() + 1);
    mbuf_write_mem(buffer, packet.payload.data(), packet.payload.size());
    buffer->pos = 0;
    media.OnPacket(source, packet.header, buffer);
    mem_deref(buffer);
}

// Frame k of 20 ms holds the level 1000 * (k + 1).
Packet Frame(std::uint16_t k)
{
    Packet packet;
    packet.header.pt = 0;
    packet.header.seq = static_cast<std::uint16_t>(100 + k);
    packet.header.ts = 8000u + 160u * k;
    packet.payload.assign(160, linear_to_ulaw(1000 * (k + 1)));
    return packet;
}

std::shared_ptr<SipMedia> StartedMedia()
{
    auto media = SipMedia::Detached();
    sa remote{};
    sa_set_str(&remote, "127.0.0.1", 9);
    media->Start(remote, MediaFormat{ 0, G711Law::Ulaw, 101 });
    return media;
}

TEST(SipMedia, JitterBufferPutsReorderedPacketsBackInOrderAndPlaysSilenceForALostOne)
{
    auto media = StartedMedia();
    for (std::uint16_t k : { 0, 1, 3, 2, 4, 6, 7, 8, 9 }) // 3 before 2; 5 lost
        Deliver(*media, Frame(k));
    std::vector<int> levels;
    for (int block = 0; block < 8; ++block) {
        std::vector<std::int16_t> out(160);
        media->Receive(out.data(), out.size());
        EXPECT_EQ(std::count(out.begin(), out.end(), out.front()), 160)
            << "block " << block << " is one frame";
        levels.push_back((out.front() + 500) / 1000);
    }
    EXPECT_EQ(levels, (std::vector<int>{ 1, 2, 3, 4, 5, 0, 7, 8 }));
}

// Frames that piled up before anybody listened (or while the call was held) fill the jitter buffer:
// playing skips the oldest and goes on without gaps, instead of a frame of silence each time the
// full buffer drops one for a new one. Audio not taken for a while is dropped as stale.
TEST(SipMedia, FullJitterBufferCatchesUpWithoutGapsAndStaleAudioIsDropped)
{
    auto media = StartedMedia();
    for (std::uint16_t k = 0; k < 12; ++k)
        Deliver(*media, Frame(k));
    std::vector<int> levels;
    for (std::uint16_t k = 12; k < 24; ++k) {
        std::vector<std::int16_t> out(160);
        media->Receive(out.data(), out.size());
        levels.push_back((out.front() + 500) / 1000);
        Deliver(*media, Frame(k));
    }
    EXPECT_EQ(std::count(levels.begin(), levels.end(), 0), 0) << ::testing::PrintToString(levels);
    EXPECT_GT(levels.front(), 4) << "the oldest frames were skipped";
    for (std::size_t i = 1; i < levels.size(); ++i)
        EXPECT_EQ(levels[i], levels[i - 1] + 1) << "in order, none skipped once caught up";

    for (std::uint16_t k = 24; k < 30; ++k)
        Deliver(*media, Frame(k));
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    std::vector<std::int16_t> out(160);
    media->Receive(out.data(), out.size());
    EXPECT_EQ((out.front() + 500) / 1000, 0) << "what came while nobody listened is dropped";
    Deliver(*media, Frame(30));
    Deliver(*media, Frame(31));
    media->Receive(out.data(), out.size());
    EXPECT_EQ((out.front() + 500) / 1000, 31) << "what comes next plays at once";
}

// The first packet latches the far end's source; a stranger's packets (another port and stream)
// are not played and do not count as the far end being alive, until a new SDP starts the media
// again.
TEST(SipMedia, OnlyTheLatchedSourceIsPlayedAndKeepsTheCallAlive)
{
    const auto play = [](SipMedia& media, int blocks) {
        std::vector<int> levels;
        for (int block = 0; block < blocks; ++block) {
            std::vector<std::int16_t> out(160);
            media.Receive(out.data(), out.size());
            levels.push_back((out.front() + 500) / 1000);
        }
        return levels;
    };
    auto media = StartedMedia();
    for (std::uint16_t k : { 0, 1 })
        Deliver(*media, Frame(k));
    for (std::uint16_t k : { 2, 3 }) {
        Packet stranger = Frame(k);
        stranger.header.ssrc = 0x6666;
        Deliver(*media, stranger, 4001);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    Deliver(*media, Frame(9), 4001);
    EXPECT_GE(media->SilentForMs(), 30u) << "the stranger does not keep the call alive";
    for (std::uint16_t k : { 4, 5 })
        Deliver(*media, Frame(k));
    EXPECT_EQ(play(*media, 5), (std::vector<int>{ 1, 2, 0, 0, 5 }));

    sa moved{};
    sa_set_str(&moved, "127.0.0.1", 9);
    media->Start(moved, MediaFormat{ 0, G711Law::Ulaw, 101 });
    Deliver(*media, Frame(6), 4001);
    Deliver(*media, Frame(7), 4000);
    Deliver(*media, Frame(8), 4001);
    EXPECT_EQ(play(*media, 3), (std::vector<int>{ 6, 7, 0 })) << "after a new SDP the media latches again";
}

TEST(SipMedia, RandomPacketsNeverBreakTheStream)
{
    auto media = StartedMedia();
    std::mt19937 random(4733);
    for (int round = 0; round < 3000; ++round) {
        Packet packet;
        packet.header.pt = static_cast<std::uint8_t>(random() % 4 == 0 ? 101
                : random() % 3 == 0                                    ? 0
                                                                       : random() % 128);
        packet.header.seq = static_cast<std::uint16_t>(random());
        packet.header.ts = static_cast<std::uint32_t>(random());
        packet.payload.resize(random() % 3 == 0 ? random() % 2000 : random() % 8);
        for (auto& byte : packet.payload)
            byte = static_cast<std::uint8_t>(random());
        Deliver(*media, packet);
        if (round % 5 == 0) {
            std::vector<std::int16_t> out(160, 1);
            media->Receive(out.data(), out.size());
        }
    }
    // A new offer/answer (A-law now) starts a clean stream that plays as sent.
    sa remote{};
    sa_set_str(&remote, "127.0.0.1", 9);
    media->Start(remote, MediaFormat{ 8, G711Law::Alaw, -1 });
    for (std::uint16_t k = 0; k < 4; ++k) {
        Packet packet = Frame(k);
        packet.header.pt = 8;
        packet.payload.assign(160, linear_to_alaw(1000 * (k + 1)));
        Deliver(*media, packet);
    }
    std::vector<std::int16_t> out(160);
    media->Receive(out.data(), out.size());
    EXPECT_EQ((out.back() + 500) / 1000, 1);
}

const char* kInvite = "INVITE sip:kestrium@127.0.0.1 SIP/2.0\r\n"
                      "Via: SIP/2.0/UDP 127.0.0.1:5070;branch=z9hG4bK1\r\n"
                      "From: \"Ann \\\"A\\\" Example\" <sip:2125550100@example.com>;tag=1\r\n"
                      "To: <sip:kestrium@127.0.0.1>\r\n"
                      "P-Asserted-Identity: \"Ann Example\" <sip:+12125550100@example.com>\r\n"
                      "Call-ID: 1\r\nCSeq: 1 INVITE\r\nContent-Length: 0\r\n\r\n";

bool HasControl(const std::string& text)
{
    return std::any_of(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

TEST(SipParse, CallerIdComesFromTrustedAssertedIdentityAndRandomInvitesStayWithinLimits)
{
    mbuf* buffer = mbuf_alloc(1024);
    mbuf_write_str(buffer, kInvite);
    buffer->pos = 0;
    sip_msg* message = nullptr;
    ASSERT_EQ(sip_msg_decode(&message, buffer), 0);
    const SipCaller caller = CallerOf(*message, true);
    EXPECT_EQ(caller.number, "+12125550100");
    EXPECT_EQ(caller.name, "Ann Example");
    EXPECT_FALSE(caller.blocked);
    const SipCaller untrusted = CallerOf(*message, false);
    EXPECT_EQ(untrusted.number, "2125550100")
        << "P-Asserted-Identity from a sender we do not trust is ignored";
    EXPECT_EQ(untrusted.name, "Ann \"A\" Example");
    mem_deref(message);
    mem_deref(buffer);

    std::mt19937 random(3261);
    int decoded = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text = kInvite;
        const int edits = 1 + int(random() % 8);
        for (int i = 0; i < edits; ++i) {
            const std::size_t at = random() % text.size();
            if (random() % 3 == 0)
                text.insert(at, std::string(random() % 300, static_cast<char>(random())));
            else
                text[at] = static_cast<char>(random());
        }
        mbuf* bytes = mbuf_alloc(text.size() + 1);
        mbuf_write_mem(bytes, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        bytes->pos = 0;
        sip_msg* parsed = nullptr;
        if (sip_msg_decode(&parsed, bytes) == 0) {
            ++decoded;
            const SipCaller random = CallerOf(*parsed, true);
            EXPECT_LE(random.number.size(), kMaxCallerText);
            EXPECT_LE(random.name.size(), kMaxCallerText);
            EXPECT_FALSE(HasControl(random.number) || HasControl(random.name));
        }
        mem_deref(parsed);
        mem_deref(bytes);
    }
    EXPECT_GT(decoded, 100) << "the damaged INVITEs reached the caller-id reader";
}

TEST(SipParse, AnonymousCallersAreBlocked)
{
    for (const char* from :
        { "\"Anonymous\" <sip:anonymous@anonymous.invalid>", "<sip:anonymous@example.com>" }) {
        const std::string text
            = std::string("INVITE sip:k@h SIP/2.0\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\nFrom: ") + from
            + ";tag=1\r\nTo: <sip:k@h>\r\nCall-ID: 1\r\nCSeq: 1 INVITE\r\nContent-Length: 0\r\n\r\n";
        mbuf* bytes = mbuf_alloc(text.size());
        mbuf_write_str(bytes, text.c_str());
        bytes->pos = 0;
        sip_msg* parsed = nullptr;
        ASSERT_EQ(sip_msg_decode(&parsed, bytes), 0);
        const SipCaller caller = CallerOf(*parsed, true);
        EXPECT_TRUE(caller.blocked) << from;
        EXPECT_TRUE(caller.number.empty() && caller.name.empty());
        mem_deref(parsed);
        mem_deref(bytes);
    }
}

// The caller of an INVITE whose From header value is `from`.
SipCaller CallerFrom(const std::string& from)
{
    const std::string text = "INVITE sip:k@h SIP/2.0\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\nFrom: " + from
        + ";tag=1\r\nTo: <sip:k@h>\r\nCall-ID: 1\r\nCSeq: 1 INVITE\r\nContent-Length: 0\r\n\r\n";
    mbuf* bytes = mbuf_alloc(text.size());
    mbuf_write_str(bytes, text.c_str());
    bytes->pos = 0;
    sip_msg* parsed = nullptr;
    SipCaller caller;
    if (sip_msg_decode(&parsed, bytes) == 0)
        caller = CallerOf(*parsed, true);
    else
        ADD_FAILURE() << "does not decode: " << from;
    mem_deref(parsed);
    mem_deref(bytes);
    return caller;
}

TEST(SipParse, QuotedDisplayNamesAreReadWholeAndBidiControlsAreRemoved)
{
    EXPECT_EQ(DisplayNameOf(R"("A<B>C" <sip:1@h>)"), "A<B>C");
    EXPECT_EQ(DisplayNameOf(R"( "<script>x</script>" <sip:1@h>)"), "<script>x</script>");
    EXPECT_EQ(DisplayNameOf(R"("Say \"hi\" \\ <now>" <sip:1@h>;x=1)"), R"(Say "hi" \ <now>)");
    EXPECT_EQ(DisplayNameOf("Ann Example <sip:1@h>"), "Ann Example");
    EXPECT_EQ(DisplayNameOf("<sip:1@h>"), "");
    EXPECT_EQ(DisplayNameOf(R"("unclosed <sip:1@h>)"), "");
    EXPECT_EQ(DisplayNameOf("sip:1@h"), "");

    const SipCaller quoted = CallerFrom(R"("A<B>C" <sip:2125550100@example.com>)");
    EXPECT_EQ(quoted.name, "A<B>C");
    EXPECT_EQ(quoted.number, "2125550100");

    // "Bank" with a right-to-left override and isolates, marks and the Arabic letter mark in it.
    const std::string controls[] = { "\u202A", "\u202B", "\u202C", "\u202D", "\u202E", "\u2066", "\u2067",
        "\u2068", "\u2069", "\u200E", "\u200F", "\u061C" };
    std::string disguised = "B";
    for (const auto& control : controls)
        disguised += control;
    disguised += "ank \u00E9";
    const SipCaller bidi = CallerFrom("\"" + disguised + "\" <sip:21255\u202E50100@example.com>");
    EXPECT_EQ(bidi.name, "Bank \u00E9");
    EXPECT_EQ(bidi.number, "2125550100");
}

TEST(SipParse, FormatIsTheFirstG711TheFarEndListsAndRandomSdpIsSafe)
{
    const auto choose = [](const std::string& sdp) -> std::optional<MediaFormat> {
        sa local{};
        sa_set_str(&local, "127.0.0.1", 0);
        sdp_session* session = nullptr;
        sdp_media* media = nullptr;
        sdp_session_alloc(&session, &local);
        sdp_media_add(&media, session, sdp_media_audio, 4000, sdp_proto_rtpavp);
        sdp_format_add(
            nullptr, media, false, "0", "PCMU", 8000, 1, nullptr, nullptr, nullptr, false, nullptr);
        sdp_format_add(
            nullptr, media, false, "8", "PCMA", 8000, 1, nullptr, nullptr, nullptr, false, nullptr);
        mbuf* bytes = mbuf_alloc(sdp.size() + 1);
        mbuf_write_mem(bytes, reinterpret_cast<const std::uint8_t*>(sdp.data()), sdp.size());
        bytes->pos = 0;
        std::optional<MediaFormat> format;
        if (sdp_decode(session, bytes, true) == 0)
            format = ChooseFormat(*media);
        mem_deref(bytes);
        mem_deref(session);
        return format;
    };
    const std::string offer
        = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
          "m=audio 5000 RTP/AVP 18 8 0 96\r\na=rtpmap:18 G729/8000\r\na=rtpmap:8 PCMA/8000\r\n"
          "a=rtpmap:96 telephone-event/8000\r\n";
    const auto format = choose(offer);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->payloadType, 8);
    EXPECT_EQ(format->law, G711Law::Alaw);
    EXPECT_EQ(format->eventType, 96);
    EXPECT_FALSE(choose("v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio 5000 RTP/AVP 18\r\na=rtpmap:18 G729/8000\r\n"));
    // Static payload types need no rtpmap.
    const auto alaw = choose("v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio 5000 RTP/AVP 18 8 0\r\n");
    ASSERT_TRUE(alaw);
    EXPECT_EQ(alaw->payloadType, 8);
    EXPECT_EQ(alaw->law, G711Law::Alaw);
    const auto ulaw = choose("v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio 5000 RTP/AVP 0\r\n");
    ASSERT_TRUE(ulaw);
    EXPECT_EQ(ulaw->law, G711Law::Ulaw);
    EXPECT_EQ(ulaw->eventType, -1);
    std::mt19937 random(4566);
    for (int round = 0; round < 2000; ++round) {
        std::string text = offer;
        for (int i = 0; i < 1 + int(random() % 6); ++i)
            text[random() % text.size()] = static_cast<char>(random());
        if (const auto chosen = choose(text)) {
            EXPECT_GE(chosen->payloadType, 0);
            EXPECT_LE(chosen->payloadType, 127);
        }
    }
}

TEST(SipParse, AllowListOfCallersIsIpAddresses)
{
    const auto parse = [](const std::string& value, std::string& error) {
        DeviceConfig config;
        const bool parsed = DeviceConfig::Parse(
            "[line]\nname = IP Line 1\nkind = sip\nuser = u\ndomain = d\nallow-calls-from = " + value + "\n",
            config, error);
        return parsed ? config.lines.front().sip.allowCallsFrom : std::vector<std::string>{ "(refused)" };
    };
    std::string error;
    EXPECT_EQ(parse("10.0.0.7, 192.168.1.2 fe80::1", error),
        (std::vector<std::string>{ "10.0.0.7", "192.168.1.2", "fe80::1" }));
    EXPECT_EQ(parse("pbx.example.com", error), std::vector<std::string>{ "(refused)" });
    EXPECT_NE(error.find("pbx.example.com is not one"), std::string::npos) << error;
    EXPECT_EQ(parse(",", error), std::vector<std::string>{ "(refused)" });
}

TEST(SipParse, DialledAddressesBecomeSipUrisAndNothingElse)
{
    SipAccount account;
    account.domain = "sip.example.com";
    EXPECT_EQ(SipTargetUri("T1 (212) 555-0100", account), "sip:12125550100@sip.example.com");
    EXPECT_EQ(SipTargetUri("*97#", account), "sip:*97%23@sip.example.com");
    EXPECT_EQ(SipTargetUri("sip:ann@10.0.0.7:5062", account), "sip:ann@10.0.0.7:5062");
    EXPECT_EQ(SipTargetUri("ann@pbx.example.com", account), "sip:ann@pbx.example.com");
    account.transport = SipTransport::Tcp;
    EXPECT_EQ(SipTargetUri("100", account), "sip:100@sip.example.com;transport=tcp");
    EXPECT_EQ(SipTargetUri("sip:ann@h>\r\nX: y", account), "");
    EXPECT_EQ(SipTargetUri("ann <sip:ann@h>", account), "");
    EXPECT_EQ(SipTargetUri("no digits", account), "");
}

} // namespace
