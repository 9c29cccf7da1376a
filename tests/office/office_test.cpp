// Seats on a real SIP server: Kamailio with the office configuration (scripts/office), this test's
// own telephony service as seat 201 and the real `kestrium` program in a process of its own as seat
// 202. Both register, call each other by extension through the server, reach voice mail, are seen
// ringing and in a call by a watcher of the dialog event package, survive a restart of the server,
// and a seat with two outbound proxies moves to the second when the first stops answering.
#include "kamailio_server.h"
#include "kestrium_seat.h"

#include "audio/sound_file.h"
#include "sip/sip_fixture.h"
#include "store/call_log_store.h"
#include "store/recording_path.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using office_test::KamailioServer;
using office_test::KestriumSeat;

namespace {

// The longest silent stretch of the samples (quarter seconds under RMS 100): where it ends and how
// long it is, in ms.
std::pair<unsigned, unsigned> LongestSilence(const std::vector<std::int16_t>& samples)
{
    constexpr unsigned kStepMs = 250;
    std::pair<unsigned, unsigned> longest{ 0, 0 };
    unsigned run = 0;
    for (unsigned from = 0; (from + kStepMs) * 8 <= samples.size(); from += kStepMs) {
        double sum = 0;
        for (const std::int16_t sample : Slice(samples, from, kStepMs))
            sum += double(sample) * sample;
        run = std::sqrt(sum / (kStepMs * 8)) < 100 ? run + kStepMs : 0;
        if (run > longest.second)
            longest = { from + kStepMs, run };
    }
    return longest;
}

// dialog_watcher.py as a child process: subscribes to a seat's dialogs at the server and writes
// the states of each NOTIFY to a file, one line each.
class DialogWatcher {
public:
    DialogWatcher(std::uint16_t serverPort, const fs::path& output)
        : m_output(output)
    {
        const std::string port = std::to_string(serverPort);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::execlp("python3", "python3", OFFICE_TESTS_DIR "/dialog_watcher.py", port.c_str(), "201",
                "secret-201", "202", output.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~DialogWatcher()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // What the watcher wrote so far, lines joined with "|".
    std::string Notified() const
    {
        std::ifstream file(m_output);
        std::string text;
        for (std::string line; std::getline(file, line);)
            text += (text.empty() ? "" : "|") + line;
        return text;
    }

private:
    fs::path m_output;
    pid_t m_pid = -1;
};

constexpr DWORD kSeatLine = 4; // "IP Line 1" of this process: extension 201

// This process is seat 201 on "IP Line 1"; the server is started before the service, so the seat
// registers at once.
class OfficeSeats : public SipFixture {
protected:
    void SetUp() override
    {
        if (!KamailioServer::Installed())
            GTEST_SKIP() << "Kamailio is not installed (scripts/install-deps installs it)";
        m_server = StartServer(m_dir / "server");
        office_test::WritePasswordFile(m_dir / "201.password", "secret-201");
        SipFixture::SetUp();
    }
    void TearDown() override
    {
        if (m_lineApp)
            SipFixture::TearDown();
    }

    // Kamailio counts a registration's expiry in whole seconds, so a grant of 2 s can lapse up to a
    // second before the seat refreshes it (at 90 % of the grant), and a call to the seat then gets
    // 404. Seats that call each other keep a minute; tests that watch the server go away use 2 s.
    virtual unsigned GrantedSeconds() const { return 60; }

    std::unique_ptr<KamailioServer> StartServer(const fs::path& folder)
    {
        auto server = std::make_unique<KamailioServer>(folder,
            std::vector<std::string>{ "201:secret-201", "202:secret-202", "203:secret-203" }, "office.test",
            GrantedSeconds());
        EXPECT_TRUE(server->Start()) << server->Log();
        return server;
    }

    // The seat's account keys: registered at the server, unless a test routes it otherwise.
    virtual std::string SeatAccount() const
    {
        return "domain = 127.0.0.1:" + std::to_string(m_server->Port()) + "\n";
    }

    std::string Configuration() const override
    {
        std::string text;
        for (int i = 1; i <= 4; ++i)
            text += "[line]\nname = Zo-Linka Line " + std::to_string(i) + "\n";
        return text + "[line]\nname = IP Line 1\nkind = sip\nuser = 201\n" + SeatAccount()
            + "local-address = 127.0.0.1\nlocal-port = " + std::to_string(m_line1Port)
            + "\nregister-interval = 60\nrtp-timeout = 5\npassword-file = "
            + (m_dir / "201.password").string() + "\n" + SecondIpLine()
            + "[line]\nname = Data Modem\nkind = modem\n";
    }
    // "IP Line 2" of this process: no SIP account unless a test gives it one.
    virtual std::string SecondIpLine() const { return "[line]\nname = IP Line 2\nkind = ip\n"; }

    // A line's row in the exchange's line list (this seat's: line 5).
    std::string SeatState(int row = 5)
    {
        const std::string list = LineList();
        const auto at = list.find("line " + std::to_string(row) + ": ");
        return at == std::string::npos ? std::string() : list.substr(at, list.find('\n', at) - at);
    }
    bool SeatRegistered(int row = 5)
    {
        return SeatState(row).find("in service: registered") != std::string::npos;
    }
    bool ColleagueRegistered() const
    {
        return m_colleague->SipLineState().find("in service: registered") != std::string::npos;
    }

    void StartColleague()
    {
        m_colleague = std::make_unique<KestriumSeat>("202", "secret-202", m_server->Port());
        ASSERT_TRUE(m_colleague->Start()) << m_colleague->Output();
    }

    // RunUntil for checks that start a tool (linesim, sqlite3): asked every 100 ms, not every 20.
    bool RunChecking(const std::function<bool()>& done, DWORD timeoutMs)
    {
        for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
            if (done())
                return true;
            Run(100);
        }
        return done();
    }
    // Runs this seat's clock until the colleague's SIP line shows `text`.
    bool RunUntilColleague(const std::string& text, DWORD timeoutMs)
    {
        return RunChecking(
            [&] { return m_colleague->SipLineState().find(text) != std::string::npos; }, timeoutMs);
    }

    // Places a call from this seat, answers the LINE_REPLY, and returns the call.
    HCALL Call(HLINE line, const char* number)
    {
        HCALL call = 0;
        const LONG request = MakeCall(line, call, number);
        EXPECT_GT(request, 0);
        RunUntil([&] { return call != 0; }, 2000);
        return call;
    }

    CallLogStore ColleagueCallLog() const { return m_colleague->CallLog(); }

    std::unique_ptr<KamailioServer> m_server;
    std::unique_ptr<KestriumSeat> m_colleague;
};

// Each seat registers; each calls the other by extension through the server; either side hangs
// up; a seat whose user is busy on another line lets voice mail take the call, with audio both
// ways; both sides' call states and the colleague's call log say what happened.
TEST_F(OfficeSeats, TwoSeatsCallEachOtherByExtension)
{
    StartColleague();
    const HLINE line = OpenLine(kSeatLine);
    ASSERT_TRUE(RunUntil([&] { return SeatRegistered(); }, 5000)) << SeatState() << m_server->Log();
    ASSERT_TRUE(RunUntilColleague("in service: registered", 5000)) << m_colleague->SipLineState();
    EXPECT_NE(m_server->RegisteredUsers().find("201\n202"), std::string::npos) << m_server->RegisteredUsers();

    // 201 calls 202; the colleague lifts the handset, then puts it down: a hang-up from that side.
    HCALL call = Call(line, "202");
    ASSERT_TRUE(RunUntilColleague("offering", 5000)) << m_colleague->SipLineState() << m_server->Log();
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_RINGBACK); }, 2000));
    m_colleague->Linesim("handset 5 up");
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 3000)) << SeatState();
    Run(500);
    m_colleague->Linesim("handset 5 down");
    EXPECT_TRUE(
        RunUntil([&] { return Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL); }, 3000));
    EXPECT_GT(lineDrop(call, nullptr, 0), 0);
    Run(200);
    lineDeallocateCall(call);

    // 202 dials 201 from the program once it is done with the first call (logged it); this seat
    // answers and hangs up.
    ASSERT_TRUE(RunChecking([&] { return ColleagueCallLog().Count() == 1; }, 5000)) << m_colleague->Output();
    m_received.clear();
    const std::string dialled = m_colleague->Dial("201");
    ASSERT_TRUE(
        RunUntil([&] { return NewCallOn(line) != 0 && Saw(NewCallOn(line), LINECALLSTATE_OFFERING); }, 5000))
        << m_colleague->SipLineState() << "\nkestrium-dial: " << dialled << "\n"
        << m_colleague->Linesim("list") << m_colleague->Output() << m_server->Log();
    call = NewCallOn(line);
    EXPECT_EQ(CallerOf(call).first, "202");
    EXPECT_GT(lineAnswer(call, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 3000));
    EXPECT_TRUE(RunUntilColleague("connected", 3000)) << m_colleague->SipLineState();
    Run(500);
    EXPECT_GT(lineDrop(call, nullptr, 0), 0);
    EXPECT_TRUE(RunUntilColleague("idle", 3000)) << m_colleague->SipLineState();
    lineDeallocateCall(call);

    // The colleague is on another line; 201 calls again, voice mail answers after three rings
    // with the greeting (600 Hz), and this seat's 440 Hz ends up in the message. Halfway this seat
    // holds the call and takes it back: both re-INVITEs go through the proxy, and the message has
    // a silent stretch and the tone again after it.
    m_colleague->Linesim("ring 1 5550100 \"Customer\"");
    m_colleague->Linesim("handset 1 up");
    m_received.clear();
    auto& heard = Record(line);
    call = Call(line, "202");
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 10000))
        << m_colleague->SipLineState();
    PlayTone(line, 440);
    Run(4500); // the greeting, the beep and some of the message
    EXPECT_GT(lineHold(call), 0);
    EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_ONHOLD); }, 1000));
    Run(1500);
    EXPECT_GT(lineUnhold(call), 0);
    Run(2000);
    EXPECT_GT(lineDrop(call, nullptr, 0), 0);
    Run(500);
    EXPECT_GT(BestShareOf(heard, 600), 0.8) << "the colleague's greeting reached this seat";
    m_colleague->Linesim("handset 1 down");

    ASSERT_TRUE(testing_support::WaitUntil([&] { return ColleagueCallLog().Count() >= 4; }))
        << ColleagueCallLog().Count() << m_colleague->Output();
    const CallLogStore log = ColleagueCallLog();
    int answered = 0, outgoing = 0, voiceMail = 0;
    for (std::size_t i = 0; i < log.Count(); ++i) {
        const CallLogEntry& entry = *log.GetAt(i);
        if (entry.number != "201")
            continue;
        answered += entry.TypeCode() == kCallTypeIncoming;
        outgoing += entry.TypeCode() == kCallTypeOutgoing;
        if (entry.TypeCode() == kCallTypeVoicemail) {
            ++voiceMail;
            const auto message
                = testing_support::ReadSoundFile(RecordingPath::ToLocalFile(entry.recordingPath).string());
            const auto [silenceEnd, silenceMs] = LongestSilence(message.samples);
            EXPECT_GE(silenceMs, 1000u) << "silence while held";
            const auto afterHold = Slice(message.samples, silenceEnd, unsigned(message.samples.size() / 8));
            EXPECT_GT(BestShareOf(afterHold, 440, 250), 0.8) << "the tone after the hold";
            EXPECT_GT(BestShareOf(message.samples, 440), 0.8)
                << "this seat's tone is in the colleague's message";
        }
    }
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(outgoing, 1);
    EXPECT_EQ(voiceMail, 1);
}

// Blind transfer through the proxy: REFER and the colleague's reports (NOTIFY) follow the record
// route; the colleague's call to an extension nobody registered fails at the server, so the
// request fails with its reason and the call stays up.
TEST_F(OfficeSeats, BlindTransferToAnUnknownExtensionFailsAndTheCallStays)
{
    StartColleague();
    const HLINE line = OpenLine(kSeatLine);
    ASSERT_TRUE(RunUntil([&] { return SeatRegistered(); }, 5000)) << SeatState();
    ASSERT_TRUE(RunUntilColleague("in service: registered", 5000)) << m_colleague->SipLineState();
    const HCALL call = Call(line, "202");
    ASSERT_TRUE(RunUntilColleague("offering", 5000)) << m_colleague->SipLineState();
    m_colleague->Linesim("handset 5 up");
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 3000));
    const LONG request = lineBlindTransferA(call, "203", 0);
    ASSERT_GT(request, 0);
    ASSERT_TRUE(RunUntil([&] { return ReplyTo(request).has_value(); }, 10000))
        << SeatState() << m_server->Log();
    EXPECT_EQ(ReplyTo(request), LINEERR_OPERATIONFAILED);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_CONNECTED));
    EXPECT_NE(m_colleague->SipLineState().find("connected"), std::string::npos)
        << m_colleague->SipLineState();
    EXPECT_GT(lineDrop(call, nullptr, 0), 0);
    EXPECT_TRUE(RunUntilColleague("idle", 3000)) << m_colleague->SipLineState();
}

// The server's presence: a watcher subscribed to 202's dialogs (RFC 4235) is told when 202's line
// rings, when it is in a call and when the call is over.
TEST_F(OfficeSeats, AWatcherIsToldWhenAColleaguesLineRingsAndIsInACall)
{
    StartColleague();
    const HLINE line = OpenLine(kSeatLine);
    ASSERT_TRUE(RunChecking([&] { return SeatRegistered() && ColleagueRegistered(); }, 5000)) << SeatState();
    DialogWatcher watcher(m_server->Port(), m_dir / "notified.txt");
    ASSERT_TRUE(RunChecking([&] { return watcher.Notified() == "subscribed|terminated"; }, 5000))
        << "an idle line: " << watcher.Notified() << m_server->Log();

    const HCALL call = Call(line, "202");
    ASSERT_TRUE(RunChecking([&] { return watcher.Notified().ends_with("|early"); }, 5000))
        << watcher.Notified();
    ASSERT_TRUE(RunUntilColleague("offering", 5000)) << m_colleague->SipLineState();
    m_colleague->Linesim("handset 5 up");
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 3000));
    EXPECT_TRUE(RunChecking([&] { return watcher.Notified().ends_with("|confirmed"); }, 3000))
        << watcher.Notified();
    EXPECT_GT(lineDrop(call, nullptr, 0), 0);
    EXPECT_TRUE(RunChecking([&] { return watcher.Notified().ends_with("|terminated"); }, 3000))
        << watcher.Notified();
}

// Registrations of 2 s: the seats refresh them within seconds, so they notice a server that is gone.
class OfficeServerLoss : public OfficeSeats {
protected:
    unsigned GrantedSeconds() const override { return 2; }
};

// The server restarts: while it is gone both seats say so and a call fails at once with the
// reason; once it is back both register again and call each other.
TEST_F(OfficeServerLoss, SeatsSurviveARestartOfTheServer)
{
    StartColleague();
    const HLINE line = OpenLine(kSeatLine);
    ASSERT_TRUE(RunUntil([&] { return SeatRegistered(); }, 5000)) << SeatState();
    ASSERT_TRUE(RunUntilColleague("in service: registered", 5000)) << m_colleague->SipLineState();

    m_server->Stop();
    // A refresh within the granted 2 s, then 4 s without an answer.
    ASSERT_TRUE(RunUntil(
        [&] { return SeatState().find("out of service: no answer from the registrar") != std::string::npos; },
        10000))
        << SeatState();
    ASSERT_TRUE(RunUntilColleague("out of service: no answer from the registrar", 10000))
        << m_colleague->SipLineState();
    HCALL call = 0;
    EXPECT_EQ(MakeCall(line, call, "202"), LINEERR_OPERATIONUNAVAIL);

    ASSERT_TRUE(m_server->Start()) << m_server->Log();
    // The unanswered REGISTER is sent again at most every 4 s: back in service within that.
    EXPECT_TRUE(RunUntil([&] { return SeatRegistered(); }, 5000)) << SeatState();
    EXPECT_TRUE(RunUntilColleague("in service: registered", 5000)) << m_colleague->SipLineState();

    call = Call(line, "202");
    ASSERT_TRUE(RunUntilColleague("offering", 5000)) << m_colleague->SipLineState();
    m_colleague->Linesim("handset 5 up");
    EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 3000));
    EXPECT_GT(lineDrop(call, nullptr, 0), 0);
    Run(300);
}

// Two outbound proxies (two servers on one office domain): the seat registers through the first
// and, when it stops answering, through the second.
class OfficeFailover : public OfficeServerLoss {
protected:
    void SetUp() override
    {
        if (!KamailioServer::Installed())
            GTEST_SKIP() << "Kamailio is not installed (scripts/install-deps installs it)";
        m_second = StartServer(m_dir / "second");
        OfficeServerLoss::SetUp();
    }
    std::string SeatAccount() const override
    {
        return "domain = office.test\noutbound-proxy = " + m_server->Uri()
            + "\nfallback-outbound-proxy = " + m_second->Uri() + "\n";
    }
    std::unique_ptr<KamailioServer> m_second;
};

TEST_F(OfficeFailover, TheSeatMovesToTheSecondProxyWhenTheFirstStopsAnswering)
{
    OpenLine(kSeatLine);
    ASSERT_TRUE(RunUntil([&] { return SeatRegistered(); }, 5000)) << SeatState() << m_server->Log();
    EXPECT_EQ(m_server->RegisteredUsers(), "201\n");
    EXPECT_EQ(m_second->RegisteredUsers(), "");

    // A refresh within the granted 2 s, 4 s without an answer, then the second proxy. The server
    // stores the contact before its 200 OK reaches the seat, so both are awaited.
    m_server->Stop();
    EXPECT_TRUE(
        RunChecking([&] { return m_second->RegisteredUsers() == "201\n" && SeatRegistered(); }, 10000))
        << SeatState() << "\n"
        << m_second->RegisteredUsers() << m_second->Log();
}

// Colleagues' lines through the server's presence (dialog events published by the server itself
// from the calls that pass it): this seat watches the colleague and its own extension, which is
// what a colleague watching it sees. The seat sends nothing extra for it.
class OfficePresence : public OfficeSeats {
protected:
    bool Shows(HLINE line, DWORD index, DWORD state)
    {
        DWORD now = TAPIWATCH_UNKNOWN;
        return tapiGetWatchedLine(line, index, &now) == 0 && now == state;
    }
};

TEST_F(OfficePresence, ColleagueAndOwnLineGoRingingBusyAndIdle)
{
    StartColleague();
    const HLINE line = OpenLine(kSeatLine);
    ASSERT_TRUE(RunUntil([&] { return SeatRegistered(); }, 5000)) << SeatState() << m_server->Log();
    ASSERT_TRUE(RunUntilColleague("in service: registered", 5000)) << m_colleague->SipLineState();
    ASSERT_EQ(tapiWatchLines(line, "202\n201"), 0);
    ASSERT_TRUE(
        RunUntil([&] { return Shows(line, 0, TAPIWATCH_IDLE) && Shows(line, 1, TAPIWATCH_IDLE); }, 5000))
        << m_server->Log();

    // 201 calls 202: the colleague's line rings, ours is busy placing the call.
    HCALL call = Call(line, "202");
    ASSERT_TRUE(RunUntil([&] { return Shows(line, 0, TAPIWATCH_RINGING); }, 5000))
        << testing::PrintToString(Reported(line, 0)) << m_server->Log();
    EXPECT_TRUE(RunUntil([&] { return Shows(line, 1, TAPIWATCH_INCALL); }, 2000))
        << testing::PrintToString(Reported(line, 1));
    // The colleague's program is offered the call 300 ms after its line rang; then it lifts the handset.
    ASSERT_TRUE(RunUntilColleague("offering", 5000)) << m_colleague->SipLineState();
    m_colleague->Linesim("handset 5 up");
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 3000)) << SeatState();
    EXPECT_TRUE(RunUntil([&] { return Shows(line, 0, TAPIWATCH_INCALL); }, 2000))
        << testing::PrintToString(Reported(line, 0));
    EXPECT_TRUE(Shows(line, 1, TAPIWATCH_INCALL));

    // This seat hangs up: both lines are idle again.
    EXPECT_GT(lineDrop(call, nullptr, 0), 0);
    EXPECT_TRUE(
        RunUntil([&] { return Shows(line, 0, TAPIWATCH_IDLE) && Shows(line, 1, TAPIWATCH_IDLE); }, 5000))
        << testing::PrintToString(Reported(line, 0)) << testing::PrintToString(Reported(line, 1));
    lineDeallocateCall(call);
    m_colleague->Linesim("handset 5 down");
}

// Directed pickup through the server: this process holds two seats, 201 on "IP Line 1" (the one
// who picks up, watching 202) and 203 on "IP Line 2" (the caller); the colleague's program is 202.
// 203 calls 202; while 202 rings, 201 picks the call up: 203's phone replaces its ringing call
// with 201's (INVITE with Replaces, early-only), so 203 and 201 talk, and 202 stops ringing and
// logs a missed call.
class OfficePickup : public OfficePresence {
protected:
    static constexpr DWORD kCallerLine = 5; // "IP Line 2": extension 203

    void SetUp() override
    {
        office_test::WritePasswordFile(m_dir / "203.password", "secret-203");
        OfficePresence::SetUp();
    }
    // The server's sqlite database answers "locked" to a REGISTER stored at the very moment another
    // is (two seats of one service start together): seat 203 registers through a first proxy that
    // is not there, so it reaches the server through the second one 4 s after seat 201.
    std::string SecondIpLine() const override
    {
        return "[line]\nname = IP Line 2\nkind = sip\nuser = 203\n" + SeatAccount()
            + "outbound-proxy = sip:127.0.0.1:" + std::to_string(m_unusedPort)
            + "\nfallback-outbound-proxy = " + m_server->Uri() + "\nlocal-address = 127.0.0.1\nlocal-port = "
            + std::to_string(m_line2Port) + "\nregister-interval = 60\nrtp-timeout = 5\npassword-file = "
            + (m_dir / "203.password").string() + "\n";
    }
    std::uint16_t m_unusedPort = sip_test::FreePort();
};

TEST_F(OfficePickup, ASeatPicksUpTheCallRingingAtAColleaguesLine)
{
    StartColleague();
    const HLINE picker = OpenLine(kSeatLine);
    const HLINE caller = OpenLine(kCallerLine);
    ASSERT_TRUE(
        RunChecking([&] { return SeatRegistered(5) && SeatRegistered(6) && ColleagueRegistered(); }, 10000))
        << LineList() << m_server->Log();
    LINEADDRESSCAPS caps{};
    caps.dwTotalSize = sizeof caps;
    ASSERT_EQ(lineGetAddressCapsA(m_lineApp, kSeatLine, 0, m_version, 0, &caps), 0);
    EXPECT_EQ(caps.dwAddressFeatures & (LINEADDRFEATURE_PICKUP | LINEADDRFEATURE_PICKUPDIRECT),
        DWORD(LINEADDRFEATURE_PICKUP | LINEADDRFEATURE_PICKUPDIRECT));
    ASSERT_EQ(tapiWatchLines(picker, "202"), 0);
    ASSERT_TRUE(RunUntil([&] { return Shows(picker, 0, TAPIWATCH_IDLE); }, 5000)) << m_server->Log();

    // Nothing rings: refused at once, and so is a number the line does not watch.
    HCALL picked = 0;
    EXPECT_EQ(linePickupA(picker, 0, &picked, "202", nullptr), LINEERR_OPERATIONFAILED);
    EXPECT_EQ(linePickupA(picker, 0, &picked, "204", nullptr), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(linePickupA(picker, 0, &picked, nullptr, "office"), LINEERR_OPERATIONUNAVAIL)
        << "no group pickup";

    // 203 calls 202; 202's line rings and the colleague's program is offered the call.
    const HCALL call = Call(caller, "202");
    ASSERT_TRUE(RunUntil([&] { return Shows(picker, 0, TAPIWATCH_RINGING); }, 5000))
        << testing::PrintToString(Reported(picker, 0)) << m_server->Log();
    ASSERT_TRUE(RunUntilColleague("offering", 3000)) << m_colleague->SipLineState();
    EXPECT_TRUE(Saw(call, LINECALLSTATE_RINGBACK));

    auto& heardByPicker = Record(picker);
    auto& heardByCaller = Record(caller);
    PlayTone(picker, 600);
    PlayTone(caller, 440);
    const LONG request = linePickupA(picker, 0, &picked, "202", nullptr);
    ASSERT_GT(request, 0);
    ASSERT_TRUE(RunUntil([&] { return ReplyTo(request).has_value(); }, 5000))
        << SeatState() << m_server->Log();
    ASSERT_EQ(ReplyTo(request), 0);
    ASSERT_NE(picked, 0u);
    EXPECT_TRUE(RunUntil([&] { return Saw(picked, LINECALLSTATE_CONNECTED); }, 1000));
    EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 2000)) << SeatState(6);
    EXPECT_EQ(CallerOf(picked).first, "203");
    std::vector<std::byte> block(sizeof(LINECALLINFO) + 1024);
    auto* info = reinterpret_cast<LINECALLINFO*>(block.data());
    info->dwTotalSize = DWORD(block.size());
    ASSERT_EQ(lineGetCallInfoA(picked, info), 0);
    EXPECT_EQ(info->dwReason, DWORD(LINECALLREASON_PICKUP));
    info->dwTotalSize = DWORD(block.size());
    ASSERT_EQ(lineGetCallInfoA(call, info), 0);
    ASSERT_EQ(info->dwConnectedIDFlags, DWORD(LINECALLPARTYID_ADDRESS));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()) + info->dwConnectedIDOffset), "201")
        << "the caller talks to the one who picked up";

    // The colleague's phone stops ringing; 203 and 201 hear each other.
    EXPECT_TRUE(RunUntilColleague("idle", 3000)) << m_colleague->SipLineState();
    EXPECT_TRUE(RunUntil([&] { return Shows(picker, 0, TAPIWATCH_IDLE); }, 3000))
        << testing::PrintToString(Reported(picker, 0));
    Run(1500);
    EXPECT_GT(BestShareOf(heardByPicker, 440), 0.8) << "the caller reaches the one who picked up";
    EXPECT_GT(BestShareOf(heardByCaller, 600), 0.8) << "the one who picked up reaches the caller";
    EXPECT_GT(lineDrop(picked, nullptr, 0), 0);
    EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_DISCONNECTED); }, 3000));

    // The colleague's log has the call as missed, from 203; nothing was answered there.
    ASSERT_TRUE(RunChecking([&] { return ColleagueCallLog().Count() == 1; }, 5000)) << m_colleague->Output();
    const CallLogStore log = ColleagueCallLog();
    const CallLogEntry& entry = *log.GetAt(0);
    EXPECT_EQ(entry.number, "203");
    EXPECT_EQ(entry.TypeCode(), kCallTypeMissed);
    lineDeallocateCall(picked);
    lineDeallocateCall(call);
}

} // namespace
