#pragma once

#include "dialog_info.h"
#include "sip_service.h"

#include "libre.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The lines a SIP line watches (colleagues' extensions on its server): one dialog-event
// subscription each, on the SIP service's thread.

namespace tapi {

// Lets a watch answer the server's digest challenge with the line's credentials.
struct SipCredentials {
    sip_auth_h* handler = nullptr;
    void* arg = nullptr;
};

class DialogWatch {
public:
    // `routes`: the outbound proxy's Route, as the line's other requests carry it.
    DialogWatch(SipService& service, DWORD line, sip* stack, const SipAccount& account,
        std::vector<std::string> routes, SipCredentials credentials);
    ~DialogWatch();
    DialogWatch(const DialogWatch&) = delete;
    DialogWatch& operator=(const DialogWatch&) = delete;

    // Watches these addresses (each once) from now on: the subscriptions of addresses no longer
    // listed are ended (SUBSCRIBE with Expires: 0), the new ones start. An address that is not on
    // the line's server stays Unknown and is not subscribed. Changes go to the exchange as events.
    void SetAddresses(const std::vector<std::string>& addresses);
    // Ends every subscription (the line shuts down).
    void Shutdown();

private:
    struct Watched;

    static void OnNotify(sip* stack, const sip_msg* msg, void* arg);
    static void OnClosed(int err, const sip_msg* msg, const sipevent_substate* substate, void* arg);
    static void OnRetry(void* arg);

    bool Listen();
    void Subscribe(Watched& watched);
    // Tells the exchange when the line's state or the call that may be picked up there changed.
    void Report(Watched& watched, LineActivity activity, std::optional<RingingCall> ringing);

    SipService& m_service;
    DWORD m_line;
    sip* m_sip;
    SipAccount m_account;
    std::vector<std::string> m_routes;
    SipCredentials m_credentials;
    sipevent_sock* m_events = nullptr;
    std::vector<std::unique_ptr<Watched>> m_watched;
};

} // namespace tapi
