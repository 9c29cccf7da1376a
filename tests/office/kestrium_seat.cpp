#include "kestrium_seat.h"

#include "audio/sound_file.h"
#include "platform/registry.h"
#include "platform/tone.h"
#include "support/tool_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace office_test {

void WritePasswordFile(const fs::path& file, const std::string& password)
{
    std::ofstream(file) << password << "\n";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
}

KestriumSeat::KestriumSeat(const std::string& user, const std::string& password, std::uint16_t serverPort,
    const std::string& accountKeys)
    : m_socket(m_run / "kestrium-telephony.sock")
{
    fs::permissions(m_run.Path(), fs::perms::owner_all, fs::perm_options::replace);
    WritePasswordFile(m_config / "seat.password", password);
    std::ofstream config(m_config / "exchange.conf");
    for (int i = 1; i <= 4; ++i)
        config << "[line]\nname = Zo-Linka Line " << i << "\n";
    config << "[line]\nname = IP Line 1\nkind = sip\nuser = " << user << "\ndomain = 127.0.0.1:" << serverPort
           << "\nlocal-address = 127.0.0.1\nregister-interval = 60\nring-period-ms = 1500\npassword-file = "
           << (m_config / "seat.password").string() << "\n"
           << accountKeys << "[line]\nname = IP Line 2\nkind = ip\n";
    ChangeSettings([](SettingsStore& settings) {
        settings.Write(Settings::kVoicemailOn, 1);
        settings.Write(Settings::kAnswerAfter, 3);
        const std::int32_t sipRow = kSipLine - 1;
        settings.Write(Settings::kDefaultLine, &sipRow);
    });
    fs::create_directory(m_data / "MiscRecordings");
    // The greeting: a 600 Hz tone of two seconds.
    testing_support::WriteSoundFile(
        (m_data / "MiscRecordings" / "ogm.wav").string(), testing_support::Tone(16000, 600, 12000));
}

KestriumSeat::~KestriumSeat()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        if (::waitpid(m_pid, nullptr, 0) != m_pid)
            ::kill(m_pid, SIGKILL);
    }
}

void KestriumSeat::ChangeSettings(const std::function<void(SettingsStore&)>& change)
{
    platform::RegistryHive hive(m_config / "registry.reg");
    SettingsStore settings(hive);
    change(settings);
}

bool KestriumSeat::Start()
{
    m_pid = ::fork();
    if (m_pid < 0)
        return false;
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int log
            = ::open((m_config / "kestrium.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (::chdir(m_data.Path().c_str()) != 0 || log < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0)
            ::_exit(127);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_RUNTIME_DIR", m_run.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
        ::setenv("KESTRIUM_REGISTRY", (m_config / "registry.reg").c_str(), 1);
        ::setenv("KESTRIUM_EXCHANGE_CONFIG", (m_config / "exchange.conf").c_str(), 1);
        ::unsetenv("KESTRIUM_TELEPHONY_SOCKET");
        ::execl(KESTRIUM_PATH, "kestrium", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return testing_support::WaitUntil([&] { return fs::exists(m_run / "kestrium.sock"); })
        && testing_support::WaitUntil([&] { return !SipLineState().empty(); });
}

std::string KestriumSeat::Linesim(const std::string& arguments) const
{
    return testing_support::RunTool(LINESIM_PATH " --socket " + m_socket.string() + " " + arguments).output;
}

std::string KestriumSeat::Dial(const std::string& number) const
{
    return testing_support::RunTool(
        "KESTRIUM_TELEPHONY_SOCKET=" + m_socket.string() + " " KESTRIUM_DIAL_PATH " " + number)
        .output;
}

std::string KestriumSeat::SipLineState() const
{
    std::istringstream list(Linesim("list"));
    const std::string prefix = "line " + std::to_string(kSipLine) + ": ";
    for (std::string line; std::getline(list, line);)
        if (line.rfind(prefix, 0) == 0)
            return line;
    return {};
}

CallLogStore KestriumSeat::CallLog() const
{
    CallLogStore log;
    log.Load(m_data.Path() / CallLogStore::kFileName);
    return log;
}

std::string KestriumSeat::Output() const
{
    std::ifstream file(m_config / "kestrium.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace office_test
