#pragma once

#include "unique_fd.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tapi {

// The telephony service's control socket: a UNIX-domain stream socket, mode 0600, that takes one
// command line per connection and answers with the handler's reply text. Each client is served on
// its own thread, so a slow or silent client holds up nobody else.
class ControlServer {
public:
    using Handler = std::function<std::string(const std::string& command)>;

    explicit ControlServer(Handler handler);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Creates the socket and starts serving; false with a reason that names the path.
    bool Start(std::string& error);
    bool IsListening() const { return static_cast<bool>(m_listen); }
    const std::string& Path() const { return m_path; }

    // Longest command line accepted.
    static constexpr std::size_t kMaxCommandBytes = 4096;
    // Time a client has from connecting to the end of its command line; then it is dropped. It is
    // well below the clients' reply timeout, so a command is either run promptly or not at all.
    static constexpr int kCommandDeadlineMs = 2000;
    // Clients served at once; more are refused with an error reply.
    static constexpr int kMaxClients = 32;

private:
    void Run();
    void Admit(UniqueFd client);
    void Serve(const UniqueFd& client);
    bool ReadCommand(int client, std::string& line, std::string& refusal) const;

    Handler m_handler;
    std::string m_path;
    UniqueFd m_listen;
    UniqueFd m_stop;
    std::thread m_thread;
    std::mutex m_clientsMutex;
    std::condition_variable m_clientsDone;
    int m_clients = 0; // client threads still running
};

} // namespace tapi
