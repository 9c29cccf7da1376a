// Registration of a seat at the office server on the loopback, on the real clock: Kamailio with
// the office configuration (scripts/office), a SIP line with digest authentication. Each round
// starts the telephony service with the line's account and times from lineInitializeExA to the
// line being in service (REGISTER, 401 challenge, REGISTER with credentials, 200).
//   office_bench [rounds]
#include "kamailio_server.h"

#include "tapi.h"
#include "tapisim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void Ignore(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
}

bool InService(HLINE line)
{
    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    return lineGetLineDevStatus(line, &status) == 0
        && (status.dwDevStatusFlags & LINEDEVSTATUSFLAGS_INSERVICE);
}

// One round: milliseconds until the line registered, -1 when it did not within 5 s.
double RegisterOnce(const std::string& config)
{
    if (tapisimConfigure(config.c_str()) != TAPISIM_OK) {
        std::fprintf(stderr, "configuration refused: %s\n", tapisimLastError());
        return -1;
    }
    const auto start = Clock::now();
    HLINEAPP app = 0;
    DWORD lines = 0;
    DWORD version = 0x00020000;
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    HLINE line = 0;
    if (lineInitializeExA(&app, nullptr, Ignore, "office_bench", &lines, &version, &params) != 0
        || lineOpenA(
               app, 0, &line, version, 0, 0, LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr)
            != 0)
        return -1;
    double ms = -1;
    while (Clock::now() - start < std::chrono::seconds(5)) {
        if (InService(line)) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    lineShutdown(app);
    tapisimReset();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::filesystem::path folder
        = std::filesystem::temp_directory_path() / ("office_bench." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1); // the service's control socket, private to this run
    office_test::KamailioServer server(folder / "server", { "201:secret-201" }, "", 3600);
    if (!server.Start()) {
        std::fprintf(stderr, "Kamailio did not start:\n%s\n", server.Log().c_str());
        return 1;
    }
    {
        std::ofstream(folder / "201.password") << "secret-201\n";
    }
    std::filesystem::permissions(folder / "201.password",
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
        std::filesystem::perm_options::replace);
    const std::string config
        = "[line]\nname = Seat\nkind = sip\nuser = 201\ndomain = 127.0.0.1:" + std::to_string(server.Port())
        + "\nlocal-address = 127.0.0.1\npassword-file = " + (folder / "201.password").string() + "\n";
    tapisimUseManualClock(0);
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double ms = RegisterOnce(config);
        if (ms < 0) {
            std::fprintf(stderr, "round %d: the seat did not register\n%s\n", i + 1, server.Log().c_str());
            return 1;
        }
        times.push_back(ms);
    }
    server.Stop();
    std::filesystem::remove_all(folder);
    std::sort(times.begin(), times.end());
    std::printf("registration of a seat, %d rounds: median %.1f ms, max %.1f ms\n", rounds,
        times[times.size() / 2], times.back());
    return 0;
}
