#include "sip_service.h"

#include "sip_line.h"

#include <pthread.h>

#include <cstdlib>
#include <iostream>
#include <map>

// The SIP lines' thread: one thread runs libre's loop with a SIP stack per line (sip_line.h).
// SipService's public methods run on the exchange's side and only queue commands and take
// events; everything else here runs on that thread.

namespace tapi {

namespace {

constexpr std::uint64_t kStopGraceMs = 300; // for BYE, CANCEL and un-REGISTER to leave

// OpenSSL (under libre) cleans up in an exit handler; the SIP thread must be gone before that
// runs, so the running service is stopped by an exit handler registered after libre started.
std::mutex g_runningMutex;
SipService* g_running = nullptr;

void StopAtExit()
{
    std::lock_guard lock(g_runningMutex);
    if (g_running)
        g_running->StopThread();
}

int StartLibre()
{
    const int err = libre_init();
    if (!err)
        std::atexit(StopAtExit);
    return err;
}

} // namespace

std::string ErrorText(int err)
{
    return std::strerror(err);
}

class SipService::Stack {
public:
    Stack(SipService& service, const std::vector<LineSetup>& setups)
    {
        sa servers[4];
        std::uint32_t count = 4;
        char domain[256] = "";
        if (dns_srv_get(domain, sizeof domain, servers, &count) != 0)
            count = 0;
        dnsc_alloc(&m_dns, nullptr, servers, count);
        for (const auto& setup : setups)
            m_lines.emplace(setup.line, std::make_unique<SipLine>(service, setup, m_dns));
        tmr_init(&m_stop);
    }
    ~Stack()
    {
        tmr_cancel(&m_stop);
        m_lines.clear();
        mem_deref(m_dns);
    }

    SipLine* Line(DWORD line)
    {
        auto it = m_lines.find(line);
        return it == m_lines.end() ? nullptr : it->second.get();
    }
    std::map<DWORD, std::unique_ptr<SipLine>>& Lines() { return m_lines; }

    void Stop()
    {
        for (auto& [id, line] : m_lines)
            line->Shutdown();
        tmr_start(
            &m_stop, kStopGraceMs, [](void*) { re_cancel(); }, nullptr);
    }

private:
    dnsc* m_dns = nullptr;
    std::map<DWORD, std::unique_ptr<SipLine>> m_lines;
    tmr m_stop{};
};

SipService::SipService(std::vector<LineSetup> lines, std::function<void()> onEvent)
    : m_onEvent(std::move(onEvent))
{
    m_thread = std::thread([this, lines = std::move(lines)]() mutable { ThreadMain(std::move(lines)); });
    std::lock_guard lock(g_runningMutex);
    g_running = this;
}

SipService::~SipService()
{
    StopThread();
    std::lock_guard lock(g_runningMutex);
    if (g_running == this)
        g_running = nullptr;
}

void SipService::StopThread()
{
    std::lock_guard lock(m_joinMutex);
    if (!m_thread.joinable())
        return;
    Push(Command{ Command::Kind::Stop, 0, 0, {} });
    m_thread.join();
}

void SipService::Push(Command command)
{
    std::lock_guard lock(m_mutex);
    m_commands.push_back(std::move(command));
    if (m_wake)
        mqueue_push(m_wake, 0, nullptr);
}

void SipService::Dial(DWORD line, std::uint64_t call, const std::string& target)
{
    Push(Command{ Command::Kind::Dial, line, call, target });
}

void SipService::Answer(std::uint64_t call)
{
    Push(Command{ Command::Kind::Answer, 0, call, {} });
}

void SipService::Hangup(std::uint64_t call)
{
    Push(Command{ Command::Kind::Hangup, 0, call, {} });
}

void SipService::Hold(std::uint64_t call, bool hold)
{
    Push(Command{ hold ? Command::Kind::Hold : Command::Kind::Unhold, 0, call, {} });
}

void SipService::Transfer(std::uint64_t call, const std::string& target)
{
    Push(Command{ Command::Kind::Transfer, 0, call, target });
}

void SipService::TransferAttended(std::uint64_t call, std::uint64_t consultation)
{
    Push(Command{ Command::Kind::TransferAttended, 0, call, {}, consultation });
}

void SipService::Pickup(DWORD line, std::uint64_t call, const RingingCall& ringing)
{
    Push(Command{ Command::Kind::Pickup, line, call, ringing.callerUri, 0, {}, ringing.replaces });
}

void SipService::Watch(DWORD line, std::vector<std::string> addresses)
{
    Push(Command{ Command::Kind::Watch, line, 0, {}, 0, std::move(addresses) });
}

void SipService::SetOwned(DWORD line, bool owned)
{
    if (line < m_owned.size())
        m_owned[line] = owned;
}

bool SipService::Owned(DWORD line) const
{
    return line < m_owned.size() && m_owned[line];
}

void SipService::Post(SipEvent event)
{
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_onEvent();
}

std::vector<SipEvent> SipService::TakeEvents()
{
    std::lock_guard lock(m_mutex);
    std::vector<SipEvent> events(
        std::make_move_iterator(m_events.begin()), std::make_move_iterator(m_events.end()));
    m_events.clear();
    return events;
}

void SipService::OnWake(int, void*, void* arg)
{
    static_cast<SipService*>(arg)->RunCommands();
}

void SipService::RunCommands()
{
    for (;;) {
        Command command;
        {
            std::lock_guard lock(m_mutex);
            if (m_commands.empty())
                return;
            command = std::move(m_commands.front());
            m_commands.pop_front();
        }
        switch (command.kind) {
        case Command::Kind::Stop:
            m_stack->Stop();
            return;
        case Command::Kind::Dial:
            if (SipLine* line = m_stack->Line(command.line))
                line->Dial(command.call, command.target);
            break;
        case Command::Kind::Pickup:
            if (SipLine* line = m_stack->Line(command.line))
                line->Pickup(command.call, RingingCall{ command.target, command.replaces });
            break;
        case Command::Kind::Answer:
            // Each line has at most one call, so asking every line is cheap.
            for (auto& [id, line] : m_stack->Lines())
                line->Answer(command.call);
            break;
        case Command::Kind::Hangup:
            for (auto& [id, line] : m_stack->Lines())
                line->Hangup(command.call);
            break;
        case Command::Kind::Watch:
            if (SipLine* line = m_stack->Line(command.line))
                line->Watch(command.addresses);
            break;
        case Command::Kind::Hold:
        case Command::Kind::Unhold:
            for (auto& [id, line] : m_stack->Lines())
                line->Hold(command.call, command.kind == Command::Kind::Hold);
            break;
        case Command::Kind::TransferAttended:
            for (auto& [id, line] : m_stack->Lines())
                if (command.target.empty())
                    command.target = line->AttendedTarget(command.other);
            [[fallthrough]];
        case Command::Kind::Transfer:
            for (auto& [id, line] : m_stack->Lines())
                line->Transfer(command.call, command.target);
            break;
        }
    }
}

void SipService::ThreadMain(std::vector<LineSetup> lines)
{
    pthread_setname_np(pthread_self(), "tapi-sip");
    // libre's process-wide parts (sockets, random numbers, TLS) are set up once and kept.
    static const int initError = StartLibre();
    if (initError) {
        std::cerr << "kestrium telephony: the SIP lines cannot start: " << ErrorText(initError) << std::endl;
        return;
    }
    mqueue* wake = nullptr;
    if (mqueue_alloc(&wake, OnWake, this) == 0) {
        m_stack = std::make_unique<Stack>(*this, lines);
        {
            std::lock_guard lock(m_mutex);
            m_wake = wake;
        }
        RunCommands();
        re_main(nullptr);
        {
            std::lock_guard lock(m_mutex);
            m_wake = nullptr;
        }
        m_stack.reset();
    }
    mem_deref(wake);
}

} // namespace tapi
