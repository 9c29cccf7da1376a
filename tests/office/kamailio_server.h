#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace office_test {

// Kamailio with the office configuration, started by scripts/office/start-kamailio in a folder of
// its own on a loopback port, as a child process of the test; stopped when the object goes.
class KamailioServer {
public:
    // Whether Kamailio and its sqlite and presence modules are installed.
    static bool Installed();

    // `users` are NAME:PASSWORD; `domain`, when given, is a SIP domain the server takes as its own
    // besides its address; registrations are granted for at most `maxExpiresS` seconds, so the
    // seats refresh them (and notice a server that is gone) within seconds.
    KamailioServer(std::filesystem::path folder, std::vector<std::string> users, std::string domain = {},
        unsigned maxExpiresS = 2);
    ~KamailioServer();
    KamailioServer(const KamailioServer&) = delete;
    KamailioServer& operator=(const KamailioServer&) = delete;

    // Starts the server and waits until it answers OPTIONS; false (see Log()) when it does not.
    bool Start();
    // Stops it (SIGTERM) and waits until it ended.
    void Stop();
    bool Answers() const;
    std::uint16_t Port() const { return m_port; }
    std::string Uri() const { return "sip:127.0.0.1:" + std::to_string(m_port); }
    // The users the server's location table holds right now.
    std::string RegisteredUsers() const;
    std::string Log() const;

private:
    std::filesystem::path m_folder;
    std::vector<std::string> m_users;
    std::string m_domain;
    unsigned m_maxExpiresS;
    std::uint16_t m_port;
    pid_t m_pid = -1;
};

} // namespace office_test
