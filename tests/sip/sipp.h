#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sip_test {

// A loopback UDP port nobody uses right now (the system's choice), so parallel tests do not collide.
std::uint16_t FreePort();

// SIPp, the SIP test tool, as a child process: started with a scenario file written by the test,
// its screen output in a log file.
class Sipp {
public:
    Sipp() = default;
    ~Sipp();
    Sipp(const Sipp&) = delete;
    Sipp& operator=(const Sipp&) = delete;

    // Writes the scenario and starts `sipp` with it on 127.0.0.1:`port` (plus `extra` arguments;
    // a client scenario names the host and port it calls there).
    bool Start(const std::filesystem::path& folder, const std::string& scenario, std::uint16_t port,
        const std::vector<std::string>& extra = {});
    // True while it runs; once it ended, ExitCode() tells how (0: every call as the scenario said).
    bool Running();
    int ExitCode() const { return m_exit; }
    // How many messages SIPp sent or received that begin with `startLine` ("SIP/2.0 180").
    int CountMessages(const std::string& startLine) const;
    // The log and error files, for a failure message.
    std::string Log() const;

private:
    pid_t m_pid = -1;
    int m_exit = -1;
    std::filesystem::path m_folder;
};

// A SIPp <send> of a response to the last request: `status` ("180 Ringing"), extra header lines
// (each ending in a line feed) and a body (an SDP gets its Content-Type from the caller).
std::string SippReply(const std::string& status, const std::string& headers = "",
    const std::string& body = "", bool toTag = true);

// A registrar that challenges the first REGISTER and accepts the second only with the right
// credentials; anything else gets 403.
std::string RegistrarScenario(const std::string& user, const std::string& password);

// The SDP of a SIPp message, offering PCMU and telephone events on SIPp's media port.
std::string SippSdp();

// A pcap file of RTP packets (PCMU, 20 ms each) carrying `samples`, as SIPp's play_pcap_audio
// sends them.
void WriteRtpPcap(const std::filesystem::path& path, const std::vector<std::int16_t>& samples);

// SIPp's side of an answered call: ringing, the answer (with `sdp`), `media` while talking, then
// its BYE (or, with `weHangUp`, it waits for ours). It remembers the caller and its contact when
// requests of its own need them ($caller, $contact).
std::string AnsweringScenario(
    const std::string& media, bool weHangUp = false, const std::string& sdp = SippSdp());
// The scenario with SIPp's media port in its SDP replaced by `port` (a socket of the test's own).
std::string WithMediaPort(std::string scenario, std::uint16_t port);
// SIPp, in a call we are in, takes our re-INVITE: it checks that the offer has `direction`
// ("a=sendonly"), answers `status` ("200 OK" with an SDP saying `answer`, or a refusal such as
// "488 Not Acceptable Here") and takes our ACK.
std::string OurReInvite(
    const std::string& direction, const std::string& status, const std::string& answer = "");
// SIPp waits for our BYE and answers it.
std::string WaitsForOurBye();

// SIPp calling line 5 ("IP Line 1") as "Alice Example" 2125550100, with `headers` (lines ending in
// a line feed) added to its INVITE and `sdp` as its offer; `afterRinging` is what it does once it rang.
std::string CallingScenario(
    const std::string& afterRinging, const std::string& headers = "", const std::string& sdp = SippSdp());
// The same call refused with `code` at once, and SIPp's ACK of it.
std::string RefusedCallScenario(
    int code, const std::string& headers = "", const std::string& sdp = SippSdp());
// One call of a flood: cancelled as soon as it rings, or refused with `code` (and acknowledged).
std::string CallRingingOrRefused(int code);
// Answered: the 200 and SIPp's ACK.
std::string AnsweredAndAcked();
// Once answered, the caller transfers us (REFER) to "Bob Example" at `target` as Alice, takes our
// reports (Trying, then `outcome`) and waits for our BYE.
std::string TransfersUsTo(const std::string& target, const std::string& outcome = "200 OK");
// Once answered, the caller hands its side of the call to Bob (2125550199), whose INVITE replaces
// the caller's dialog (its Call-ID, our tag, the caller's tag): Bob is answered at once, the
// caller's dialog gets our BYE, and Bob hangs up 500 ms later.
std::string ReplacedByBob();
// Once answered, Bob asks to replace the caller's dialog only while it rings (early-only, a
// pickup): it was answered, so Bob hears 486; the caller hangs up 500 ms later.
std::string EarlyOnlyReplaceRefused();
// The party we are transferred to: it checks that our INVITE names Alice as the sender, answers,
// and waits for our BYE.
std::string TransferTargetScenario();
// Answered: the ACK, `tone` (a pcap file) played, and SIPp's BYE `thenWaitMs` later.
std::string AnsweredThenTone(const std::string& tone, unsigned thenWaitMs);
// The caller gives up `afterMs` after it rang: CANCEL, and the ACK of the 487.
std::string GivesUp(unsigned afterMs = 600);

} // namespace sip_test
