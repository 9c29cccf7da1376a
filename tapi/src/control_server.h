#pragma once

#include "unique_fd.h"

#include <functional>
#include <string>
#include <thread>

namespace tapi {

// The telephony service's control socket: a UNIX-domain stream socket, mode 0600, that takes one
// command line per connection and answers with the handler's reply text.
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

private:
    void Run();
    void Serve(int client);

    Handler m_handler;
    std::string m_path;
    UniqueFd m_listen;
    UniqueFd m_stop;
    std::thread m_thread;
};

} // namespace tapi
