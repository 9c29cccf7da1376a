#include "kamailio_server.h"

#include "sip/sipp.h"
#include "support/tool_run.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

namespace office_test {

namespace {

// Closes a descriptor when it goes out of scope.
struct Socket {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

bool KamailioServer::Installed()
{
    return testing_support::RunTool(
               "command -v kamailio sqlite3 >/dev/null"
               " && dpkg -L kamailio-sqlite-modules kamailio-presence-modules >/dev/null")
               .status
        == 0;
}

KamailioServer::KamailioServer(
    std::filesystem::path folder, std::vector<std::string> users, std::string domain, unsigned maxExpiresS)
    : m_folder(std::move(folder))
    , m_users(std::move(users))
    , m_domain(std::move(domain))
    , m_maxExpiresS(maxExpiresS)
    , m_port(sip_test::FreePort())
{
}

KamailioServer::~KamailioServer()
{
    Stop();
}

bool KamailioServer::Start()
{
    std::filesystem::create_directories(m_folder);
    std::vector<std::string> words
        = { OFFICE_SCRIPTS_DIR "/start-kamailio", "--foreground", "--dir", m_folder.string(), "--port",
              std::to_string(m_port), "--min-expires", "1", "--max-expires", std::to_string(m_maxExpiresS) };
    if (!m_domain.empty()) {
        words.push_back("--domain");
        words.push_back(m_domain);
    }
    for (const std::string& user : m_users) {
        words.push_back("--user");
        words.push_back(user);
    }
    m_pid = ::fork();
    if (m_pid < 0)
        return false;
    if (m_pid == 0) {
        // Ends with the test even if the test dies; its output goes to a file, since an inherited
        // pipe would keep CTest waiting.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int log
            = ::open((m_folder / "kamailio.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (log < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0)
            ::_exit(127);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < limit) {
        if (Answers())
            return true;
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
    }
    return false;
}

void KamailioServer::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

// An OPTIONS to the server itself, which it answers with 200 (the seats' keep-alive).
bool KamailioServer::Answers() const
{
    Socket socket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket.fd < 0 || ::bind(socket.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;
    socklen_t length = sizeof address;
    ::getsockname(socket.fd, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string local = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    const std::string request = "OPTIONS " + Uri() + " SIP/2.0\r\nVia: SIP/2.0/UDP " + local
        + ";branch=z9hG4bK-probe\r\nMax-Forwards: 70\r\nFrom: <sip:probe@" + local + ">;tag=probe\r\nTo: <"
        + Uri() + ">\r\nCall-ID: probe@" + local + "\r\nCSeq: 1 OPTIONS\r\nContent-Length: 0\r\n\r\n";
    address.sin_port = htons(m_port);
    timeval wait{ 0, 200000 };
    ::setsockopt(socket.fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::sendto(socket.fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&address),
            sizeof address)
        < 0) {
        ::usleep(200000);
        return false;
    }
    char answer[2048];
    const ssize_t got = ::recv(socket.fd, answer, sizeof answer, 0);
    return got > 12 && std::string(answer, 12) == "SIP/2.0 200 ";
}

std::string KamailioServer::RegisteredUsers() const
{
    return testing_support::RunTool("sqlite3 '" + (m_folder / "office.sqlite").string()
        + "' 'SELECT username FROM location ORDER BY username'")
        .output;
}

std::string KamailioServer::Log() const
{
    std::ifstream file(m_folder / "kamailio.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace office_test
