#include "sipp.h"

#include <netinet/in.h>
#include <signal.h>
#include <spandsp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <fstream>
#include <iterator>

namespace sip_test {

namespace {

void Put16(std::string& out, std::uint16_t value, bool big)
{
    out += char(big ? value >> 8 : value);
    out += char(big ? value : value >> 8);
}

void Put32(std::string& out, std::uint32_t value, bool big)
{
    for (int i = 0; i < 4; ++i)
        out += char(value >> (big ? 24 - 8 * i : 8 * i));
}

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

std::uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

Sipp::~Sipp()
{
    if (m_pid > 0 && Running()) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool Sipp::Start(const std::filesystem::path& folder, const std::string& scenario, std::uint16_t port,
    const std::vector<std::string>& extra)
{
    m_folder = folder;
    std::ofstream(folder / "scenario.xml") << scenario;
    std::vector<std::string> args = { "sipp", "-sf", (folder / "scenario.xml").string(), "-i", "127.0.0.1",
        "-p", std::to_string(port), "-m", "1", "-nostdin", "-timeout", "20s", "-timeout_error", "-trace_err",
        "-error_file", (folder / "errors.log").string(), "-trace_msg", "-message_file",
        (folder / "messages.log").string(), "-mi", "127.0.0.1", "-mp", std::to_string(FreePort()) };
    args.insert(args.end(), extra.begin(), extra.end());
    m_pid = ::fork();
    if (m_pid == 0) {
        const int log = ::open((folder / "sipp.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(log, 1);
        ::dup2(log, 2);
        const int none = ::open("/dev/null", O_RDONLY);
        ::dup2(none, 0);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execvp("sipp", argv.data());
        ::_exit(127);
    }
    return m_pid > 0;
}

bool Sipp::Running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == 0)
        return true;
    m_exit = done == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_pid = -1;
    return false;
}

int Sipp::CountMessages(const std::string& startLine) const
{
    const std::string text = ReadText(m_folder / "messages.log");
    const std::string line = "\n" + startLine;
    int count = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++count;
    return count;
}

std::string Sipp::Log() const
{
    return "sipp log:\n" + ReadText(m_folder / "sipp.log") + "\nsipp errors:\n"
        + ReadText(m_folder / "errors.log") + "\nmessages:\n" + ReadText(m_folder / "messages.log");
}

std::string SippReply(
    const std::string& status, const std::string& headers, const std::string& body, bool toTag)
{
    return std::string(body.empty() ? "  <send>" : "  <send retrans=\"500\">") + "<![CDATA[\nSIP/2.0 "
        + status + "\n[last_Via:]\n[last_From:]\n[last_To:]"
        + (toTag ? ";tag=[pid]SIPpTag01[call_number]" : "") + "\n[last_Call-ID:]\n[last_CSeq:]\n" + headers
        + "Content-Length: " + (body.empty() ? "0" : "[len]") + "\n\n" + body + "]]></send>\n";
}

namespace {

const char* const kSendBye = R"(  <send retrans="500"><![CDATA[
BYE [$contact] SIP/2.0
Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]
From: <sip:sipp@[local_ip]:[local_port]>;tag=[pid]SIPpTag01[call_number]
To:[$caller]
[last_Call-ID:]
CSeq: 2 BYE
Max-Forwards: 70
Content-Length: 0

]]></send>
  <recv response="200" crlf="true"/>
)";

} // namespace

std::string WaitsForOurBye()
{
    return "  <recv request=\"BYE\"/>\n" + SippReply("200 OK", "", "", false);
}

std::string AnsweringScenario(const std::string& media, bool weHangUp, const std::string& sdp)
{
    const bool ownRequests = !weHangUp || media.find("[$caller]") != std::string::npos;
    const std::string remember = !ownRequests ? "" : R"(
    <action>
      <ereg regexp=".*" search_in="hdr" header="From:" assign_to="caller"/>
      <ereg regexp="sip:[^>]*" search_in="hdr" header="Contact:" assign_to="contact"/>
    </action>
  )";
    return R"(<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="answer">
  <recv request="INVITE" crlf="true">)"
        + remember + "</recv>\n" + SippReply("180 Ringing") + "  <pause milliseconds=\"300\"/>\n"
        + SippReply(
            "200 OK", "Contact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: application/sdp\n", sdp)
        + "  <recv request=\"ACK\" crlf=\"true\"/>\n" + media
        + (weHangUp ? WaitsForOurBye() : std::string(kSendBye)) + "</scenario>\n";
}

std::string WithMediaPort(std::string scenario, std::uint16_t port)
{
    for (auto at = scenario.find("[media_port]"); at != std::string::npos; at = scenario.find("[media_port]"))
        scenario.replace(at, 12, std::to_string(port));
    return scenario;
}

std::string OurReInvite(const std::string& direction, const std::string& status, const std::string& answer)
{
    // Each check has a variable of its own: SIPp fails a scenario that assigns one twice.
    static int checks = 0;
    const std::string variable = "offer" + std::to_string(++checks);
    const std::string sdp = "v=0\r\no=sipp 1 2 IN IP4 [local_ip]\r\ns=-\r\nc=IN IP4 [media_ip]\r\nt=0 0\r\n"
                            "m=audio [media_port] RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n"
        + answer + (answer.empty() ? "" : "\r\n");
    const bool accepted = status.rfind("2", 0) == 0;
    return "  <recv request=\"INVITE\"><action><ereg regexp=\"" + direction
        + "\" search_in=\"msg\" check_it=\"true\" assign_to=\"" + variable + "\"/><log message=\"[$"
        + variable + "]\"/></action></recv>\n"
        + SippReply(status,
            accepted ? "Contact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: application/sdp\n" : "",
            accepted ? sdp : "", false)
        + "  <recv request=\"ACK\" crlf=\"true\"/>\n";
}

std::string RegistrarScenario(const std::string& user, const std::string& password)
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"registrar\">\n"
           "  <recv request=\"REGISTER\"/>\n"
        + SippReply("401 Unauthorized",
            "WWW-Authenticate: Digest realm=\"kestrium.test\", nonce=\"4f2a9c1b\", algorithm=MD5\n")
        + "  <recv request=\"REGISTER\">\n    <action><verifyauth assign_to=\"valid\" username=\"" + user
        + "\" password=\"" + password + "\"/></action>\n  </recv>\n  <nop test=\"valid\" next=\"accept\"/>\n"
        + SippReply("403 Forbidden") + "  <nop next=\"end\"/>\n  <label id=\"accept\"/>\n"
        + SippReply("200 OK", "[last_Contact:];expires=600\n") + "  <label id=\"end\"/>\n</scenario>\n";
}

std::string SippSdp()
{
    return "v=0\r\n"
           "o=sipp 1 1 IN IP[local_ip_type] [local_ip]\r\n"
           "s=-\r\n"
           "c=IN IP[media_ip_type] [media_ip]\r\n"
           "t=0 0\r\n"
           "m=audio [media_port] RTP/AVP 0 101\r\n"
           "a=rtpmap:0 PCMU/8000\r\n"
           "a=rtpmap:101 telephone-event/8000\r\n"
           "a=fmtp:101 0-15\r\n";
}

void WriteRtpPcap(const std::filesystem::path& path, const std::vector<std::int16_t>& samples)
{
    std::string out;
    Put32(out, 0xa1b2c3d4, false);
    Put16(out, 2, false);
    Put16(out, 4, false);
    Put32(out, 0, false);
    Put32(out, 0, false);
    Put32(out, 65535, false);
    Put32(out, 1, false); // Ethernet
    constexpr std::size_t kFrame = 160;
    for (std::size_t start = 0, index = 0; start < samples.size(); start += kFrame, ++index) {
        std::string rtp;
        rtp += char(0x80);
        rtp += char(index == 0 ? 0x80 : 0x00); // marker on the first, PCMU
        Put16(rtp, static_cast<std::uint16_t>(index), true);
        Put32(rtp, static_cast<std::uint32_t>(start), true);
        Put32(rtp, 0x4b455354, true);
        for (std::size_t i = start; i < start + kFrame; ++i)
            rtp += char(linear_to_ulaw(i < samples.size() ? samples[i] : 0));
        std::string frame(12, '\0');
        Put16(frame, 0x0800, true);
        std::string ip;
        ip += char(0x45);
        ip += char(0);
        Put16(ip, static_cast<std::uint16_t>(20 + 8 + rtp.size()), true);
        Put32(ip, 0, true);
        ip += char(64);
        ip += char(17);
        Put16(ip, 0, true);
        Put32(ip, 0x7f000001, true);
        Put32(ip, 0x7f000001, true);
        frame += ip;
        Put16(frame, 4000, true);
        Put16(frame, 4002, true);
        Put16(frame, static_cast<std::uint16_t>(8 + rtp.size()), true);
        Put16(frame, 0, true);
        frame += rtp;
        const std::uint32_t micros = static_cast<std::uint32_t>(index * 20000);
        Put32(out, micros / 1000000, false);
        Put32(out, micros % 1000000, false);
        Put32(out, static_cast<std::uint32_t>(frame.size()), false);
        Put32(out, static_cast<std::uint32_t>(frame.size()), false);
        out += frame;
    }
    std::ofstream(path, std::ios::binary) << out;
}

namespace {

const char* const kAliceFrom
    = "From: \"Alice Example\" <sip:2125550100@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]";
const char* const kBobFrom = "From: \"Bob Example\" <sip:2125550199@[local_ip]:[local_port]>;tag=bob";

// A request of SIPp calling line 5, by default as "Alice Example" 2125550100 (`from` is the From
// header line). The INVITE's branch is fixed, since its CANCEL and the ACK of the 487 must repeat
// it; `to` is the To header line.
std::string CallerRequest(const std::string& method, int cseq, bool inviteBranch, const std::string& to,
    const std::string& headersAndBody = "Content-Length: 0\n\n", const std::string& from = kAliceFrom)
{
    return std::string(method == "INVITE" || method == "BYE" ? "  <send retrans=\"500\">" : "  <send>")
        + "<![CDATA[\n" + method + " sip:kestrium@[remote_ip]:[remote_port] SIP/2.0\n"
        + "Via: SIP/2.0/[transport] [local_ip]:[local_port];branch="
        + (inviteBranch ? "z9hG4bK-[pid]-[call_number]-invite" : "[branch]") + "\n" + from + "\n" + to
        + "\nCall-ID: [call_id]\nCSeq: " + std::to_string(cseq) + " " + method + "\nMax-Forwards: 70\n"
        + headersAndBody + "]]></send>\n";
}

const char* const kOffer
    = "Contact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: application/sdp\nContent-Length: [len]\n\n";

const char* const kToLine5 = "To: <sip:kestrium@[remote_ip]:[remote_port]>";

std::string CallerInvite(const std::string& headers, const std::string& sdp = SippSdp())
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"call\">\n"
        + CallerRequest("INVITE", 1, true, kToLine5, headers + kOffer + sdp);
}

} // namespace

std::string CallingScenario(
    const std::string& afterRinging, const std::string& headers, const std::string& sdp)
{
    return CallerInvite(headers, sdp)
        + "  <recv response=\"100\" optional=\"true\"/>\n  <recv response=\"180\"/>\n" + afterRinging
        + "</scenario>\n";
}

std::string RefusedCallScenario(int code, const std::string& headers, const std::string& sdp)
{
    return CallerInvite(headers, sdp) + "  <recv response=\"100\" optional=\"true\"/>\n  <recv response=\""
        + std::to_string(code) + "\"/>\n" + CallerRequest("ACK", 1, true, "[last_To:]") + "</scenario>\n";
}

std::string CallRingingOrRefused(int code)
{
    return CallerInvite("") + "  <recv response=\"100\" optional=\"true\"/>\n  <recv response=\""
        + std::to_string(code) + "\" optional=\"true\" next=\"refused\"/>\n  <recv response=\"180\"/>\n"
        + CallerRequest("CANCEL", 1, true, kToLine5)
        + "  <recv response=\"200\"/>\n  <recv response=\"487\"/>\n"
        + CallerRequest("ACK", 1, true, "[last_To:]") + "  <nop next=\"end\"/>\n  <label id=\"refused\"/>\n"
        + CallerRequest("ACK", 1, true, "[last_To:]") + "  <label id=\"end\"/>\n</scenario>\n";
}

std::string AnsweredAndAcked()
{
    return "  <recv response=\"200\" rtd=\"true\"/>\n" + CallerRequest("ACK", 1, false, "[last_To:]");
}

std::string TransfersUsTo(const std::string& target, const std::string& outcome)
{
    const auto report = [](const std::string& status) {
        return "  <recv request=\"NOTIFY\"><action><ereg regexp=\"SIP/2.0 " + status
            + "\" search_in=\"body\" check_it=\"true\" assign_to=\"frag\"/></action></recv>\n"
            + SippReply("200 OK", "", "", false);
    };
    return CallerRequest("REFER", 2, false, "[last_To:]",
               "Contact: <sip:sipp@[local_ip]:[local_port]>\nRefer-To: \"Bob Example\" <" + target
                   + ">\nReferred-By: \"Alice Example\" <sip:2125550100@[local_ip]:[local_port]>\n"
                     "Content-Length: 0\n\n")
        + "  <recv response=\"202\"/>\n" + report("100 Trying") + report(outcome) + WaitsForOurBye();
}

namespace {

// Answered (the 200 names our tag, which Bob's Replaces repeats, and Alice's To is kept as aliceTo),
// then Bob's INVITE sharing the Call-ID replaces Alice's dialog, with `parameters` added to Replaces.
std::string AnsweredThenBobReplaces(const std::string& parameters)
{
    return "  <recv response=\"200\"><action><ereg regexp=\";tag=([^;>]*)\" search_in=\"hdr\" header=\"To:\" "
           "assign_to=\"junk,ours\"/><ereg regexp=\".*\" search_in=\"hdr\" header=\"To:\" "
           "assign_to=\"aliceTo\"/><log message=\"[$junk] [$aliceTo]\"/></action></recv>\n"
        + CallerRequest("ACK", 1, false, "[last_To:]") + "  <pause milliseconds=\"500\"/>\n"
        + CallerRequest("INVITE", 1, false, kToLine5,
            "Replaces: [call_id];to-tag=[$ours];from-tag=[pid]SIPpTag00[call_number]" + parameters + "\n"
                + std::string(kOffer) + SippSdp(),
            kBobFrom)
        + "  <recv response=\"100\" optional=\"true\"/>\n";
}

} // namespace

std::string ReplacedByBob()
{
    return AnsweredThenBobReplaces("")
        + "  <recv response=\"200\"><action><ereg regexp=\".*\" search_in=\"hdr\" header=\"To:\" "
          "assign_to=\"bobTo\"/></action></recv>\n"
        + CallerRequest("ACK", 1, false, "To:[$bobTo]", "Content-Length: 0\n\n", kBobFrom)
        + "  <recv request=\"BYE\"><action><ereg regexp=\"tag=[0-9]+SIPpTag00\" search_in=\"hdr\" "
          "header=\"To:\" check_it=\"true\" assign_to=\"byeTo\"/><log "
          "message=\"[$byeTo]\"/></action></recv>\n"
        + SippReply("200 OK", "", "", false) + "  <pause milliseconds=\"500\"/>\n"
        + CallerRequest("BYE", 2, false, "To:[$bobTo]", "Content-Length: 0\n\n", kBobFrom)
        + "  <recv response=\"200\"/>\n";
}

std::string EarlyOnlyReplaceRefused()
{
    return AnsweredThenBobReplaces(";early-only") + "  <recv response=\"486\"/>\n"
        + CallerRequest("ACK", 1, false, "[last_To:]", "Content-Length: 0\n\n", kBobFrom)
        + "  <pause milliseconds=\"500\"/>\n" + CallerRequest("BYE", 2, false, "To:[$aliceTo]")
        + "  <recv response=\"200\"/>\n";
}

std::string TransferTargetScenario()
{
    return R"(<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="target">
  <recv request="INVITE" crlf="true">
    <action>
      <ereg regexp="Referred-By: .Alice Example. .sip:2125550100@" search_in="msg" check_it="true" assign_to="by"/>
      <log message="[$by]"/>
    </action>
  </recv>
)" + SippReply("180 Ringing")
        + "  <pause milliseconds=\"300\"/>\n"
        + SippReply("200 OK", "Contact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: application/sdp\n",
            SippSdp())
        + "  <recv request=\"ACK\" crlf=\"true\"/>\n  <recv request=\"BYE\"/>\n"
        + SippReply("200 OK", "", "", false) + "</scenario>\n";
}

std::string AnsweredThenTone(const std::string& tone, unsigned thenWaitMs)
{
    return AnsweredAndAcked() + "  <nop><action><exec play_pcap_audio=\"" + tone + "\"/></action></nop>\n"
        + "  <pause milliseconds=\"" + std::to_string(thenWaitMs) + "\"/>\n"
        + CallerRequest("BYE", 2, false, "[last_To:]") + "  <recv response=\"200\"/>\n";
}

std::string GivesUp(unsigned afterMs)
{
    const std::string pause = afterMs ? "  <pause milliseconds=\"" + std::to_string(afterMs) + "\"/>\n" : "";
    return pause + CallerRequest("CANCEL", 1, true, kToLine5)
        + "  <recv response=\"200\"/>\n  <recv response=\"487\"/>\n"
        + CallerRequest("ACK", 1, true, "[last_To:]");
}

} // namespace sip_test
