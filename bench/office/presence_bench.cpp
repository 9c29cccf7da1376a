// A colleague's line state shown after its call state changes, through Kamailio's presence on the
// loopback, on the real clock. One service runs two seats: 201 watches 202 (dialog events) and
// calls it. Each round times three changes from the moment the change happened at 202 to the
// LINE_DEVSPECIFIC that reports it on 201's line: ringing (from 202's 180 reaching 201 as ring-back;
// 202's own program sees the call only 300 ms later, by design), in a call (202 answers) and idle
// (201 hangs up).
//   presence_bench [rounds]
#include "kamailio_server.h"

#include "tapi.h"
#include "tapisim.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kWatcher = 0; // seat 201
constexpr DWORD kColleague = 1; // seat 202

struct Seen {
    Clock::time_point ringBack; // when 201's call heard 202 ring
    Clock::time_point shownRinging;
    HCALL offered = 0; // 202's new call
    DWORD watched = TAPIWATCH_UNKNOWN; // 202 as 201's line reports it
    DWORD callState = 0; // of 201's call
    DWORD offeredState = 0; // of 202's call
};
Seen g_seen;

void OnMessage(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3)
{
    if (message == LINE_APPNEWCALL && instance == kColleague)
        g_seen.offered = HCALL(p2);
    else if (message == LINE_DEVSPECIFIC && instance == kWatcher && p1 == TAPIDEVSPECIFIC_WATCHEDLINE
        && p2 == 0) {
        g_seen.watched = DWORD(p3);
        if (p3 == TAPIWATCH_RINGING)
            g_seen.shownRinging = Clock::now();
    } else if (message == LINE_CALLSTATE && instance == kWatcher) {
        g_seen.callState = DWORD(p1);
        if (p1 == LINECALLSTATE_RINGBACK)
            g_seen.ringBack = Clock::now();
    } else if (message == LINE_CALLSTATE && instance == kColleague && HCALL(device) == g_seen.offered)
        g_seen.offeredState = DWORD(p1);
    (void)device;
}

// Dispatches messages until `done` holds; the time it held, or none after 5 s.
bool WaitFor(const std::function<bool()>& done, Clock::time_point& when)
{
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(5)) {
        tapiDispatchEvents();
        if (done()) {
            when = Clock::now();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

bool InService(HLINE line)
{
    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    return lineGetLineDevStatus(line, &status) == 0
        && (status.dwDevStatusFlags & LINEDEVSTATUSFLAGS_INSERVICE);
}

double Ms(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::string Seat(const std::string& user, std::uint16_t port, const std::filesystem::path& folder)
{
    const auto password = folder / (user + ".password");
    std::ofstream(password) << "secret-" << user << "\n";
    std::filesystem::permissions(password,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
        std::filesystem::perm_options::replace);
    return "[line]\nname = Seat " + user + "\nkind = sip\nuser = " + user + "\ndomain = 127.0.0.1:"
        + std::to_string(port) + "\nlocal-address = 127.0.0.1\npassword-file = " + password.string() + "\n";
}

struct Times {
    std::vector<double> ringing, inCall, idle;
};

// One round; false (with the reason on standard error) when a step did not happen within 5 s.
bool Round(HLINE watcher, Times& times)
{
    Clock::time_point changed, shown;
    g_seen.offered = 0;
    HCALL call = 0;
    if (lineMakeCallA(watcher, &call, "202", 0, nullptr) <= 0)
        return false;
    g_seen.offeredState = 0;
    g_seen.ringBack = g_seen.shownRinging = {};
    if (!WaitFor(
            [] { return g_seen.offered != 0 && g_seen.offeredState == LINECALLSTATE_OFFERING; }, changed)) {
        std::fprintf(stderr, "202 did not ring (201's call state 0x%lx, 202's 0x%lx)\n",
            static_cast<unsigned long>(g_seen.callState), static_cast<unsigned long>(g_seen.offeredState));
        return false;
    }
    if (g_seen.shownRinging == Clock::time_point() || g_seen.ringBack == Clock::time_point()) {
        std::fprintf(
            stderr, "202 was not shown ringing (shown: %lu)\n", static_cast<unsigned long>(g_seen.watched));
        return false;
    }
    times.ringing.push_back(std::max(0.0, Ms(g_seen.ringBack, g_seen.shownRinging)));
    changed = Clock::now();
    if (const LONG answer = lineAnswer(g_seen.offered, nullptr, 0); answer <= 0) {
        std::fprintf(stderr, "202 cannot answer: %lx\n", static_cast<unsigned long>(answer));
        return false;
    }
    if (!WaitFor([] { return g_seen.watched == TAPIWATCH_INCALL; }, shown)) {
        std::fprintf(stderr, "202 was not shown in a call (shown: %lu, 201's call state 0x%lx)\n",
            static_cast<unsigned long>(g_seen.watched), static_cast<unsigned long>(g_seen.callState));
        return false;
    }
    times.inCall.push_back(Ms(changed, shown));
    changed = Clock::now();
    lineDrop(call, nullptr, 0);
    if (!WaitFor([] { return g_seen.watched == TAPIWATCH_IDLE; }, shown)) {
        std::fprintf(stderr, "202 was not shown idle again\n");
        return false;
    }
    times.idle.push_back(Ms(changed, shown));
    // 202's call stays disconnected until its line drops it, as an application does.
    Clock::time_point ignored;
    WaitFor(
        [] {
            return g_seen.callState == LINECALLSTATE_IDLE
                && g_seen.offeredState == LINECALLSTATE_DISCONNECTED;
        },
        ignored);
    lineDrop(g_seen.offered, nullptr, 0);
    WaitFor([] { return g_seen.offeredState == LINECALLSTATE_IDLE; }, ignored);
    lineDeallocateCall(call);
    lineDeallocateCall(g_seen.offered);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    tapiDispatchEvents();
    return true;
}

void Print(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("  %-10s median %6.1f ms, max %6.1f ms\n", what, times[times.size() / 2], times.back());
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::filesystem::path folder
        = std::filesystem::temp_directory_path() / ("presence_bench." + std::to_string(::getpid()));
    office_test::KamailioServer server(folder / "server", { "201:secret-201", "202:secret-202" }, "", 3600);
    if (!server.Start()) {
        std::fprintf(stderr, "Kamailio did not start:\n%s\n", server.Log().c_str());
        return 1;
    }
    tapisimUseManualClock(0);
    const std::string config = Seat("201", server.Port(), folder) + Seat("202", server.Port(), folder);
    if (tapisimConfigure(config.c_str()) != TAPISIM_OK) {
        std::fprintf(stderr, "configuration refused: %s\n", tapisimLastError());
        return 1;
    }
    HLINEAPP app = 0;
    DWORD lines = 0;
    DWORD version = 0x00020000;
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    std::array<HLINE, 2> line{};
    if (lineInitializeExA(&app, nullptr, OnMessage, "presence_bench", &lines, &version, &params) != 0)
        return 1;
    for (DWORD i : { kWatcher, kColleague })
        if (lineOpenA(app, i, &line[i], version, 0, i, LINECALLPRIVILEGE_OWNER,
                LINEMEDIAMODE_INTERACTIVEVOICE, nullptr)
            != 0)
            return 1;
    Clock::time_point ready;
    if (!WaitFor([&] { return InService(line[kWatcher]) && InService(line[kColleague]); }, ready)) {
        std::fprintf(stderr, "the seats did not register\n%s\n", server.Log().c_str());
        return 1;
    }
    if (const LONG result = tapiWatchLines(line[kWatcher], "202"); result != 0) {
        std::fprintf(stderr, "tapiWatchLines answered %lx\n", static_cast<unsigned long>(result));
        return 1;
    }
    if (!WaitFor([] { return g_seen.watched == TAPIWATCH_IDLE; }, ready)) {
        std::fprintf(stderr, "202 was never shown idle\n%s\n", server.Log().c_str());
        return 1;
    }
    Times times;
    for (int i = 0; i < rounds; ++i)
        if (!Round(line[kWatcher], times))
            return 1;
    lineShutdown(app);
    tapisimReset();
    server.Stop();
    std::filesystem::remove_all(folder);
    std::printf("a colleague's line state shown after its call state changed, %d rounds:\n", rounds);
    Print("ringing", times.ringing);
    Print("in a call", times.inCall);
    Print("idle", times.idle);
    const double worst = std::max({ *std::max_element(times.ringing.begin(), times.ringing.end()),
        *std::max_element(times.inCall.begin(), times.inCall.end()),
        *std::max_element(times.idle.begin(), times.idle.end()) });
    return worst < 500 ? 0 : 2;
}
