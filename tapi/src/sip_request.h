#pragma once

#include "sip_watch.h"

#include "libre.h"

#include <string>

// An in-dialog request of ours that libre does not send for us (REFER, NOTIFY), on the SIP
// service's thread.

namespace tapi {

// One such request: when the far end or a proxy challenges it (401, 407), it is sent once more
// with the line's credentials, as libre does for the session's own requests (re-INVITE, BYE).
// Freeing it forgets the request: its answer then reaches nobody.
class DialogRequest {
public:
    // `headers`: the request's header lines and body after those of the dialog; `answer` hears
    // every answer but a challenge that was answered (with `arg`); it may free the request.
    // `contactUser`: the user part of our Contact.
    DialogRequest(sip* stack, sip_dialog* dialog, std::string method, std::string headers,
        std::string contactUser, SipCredentials credentials, sip_resp_h* answer, void* arg);
    ~DialogRequest();
    DialogRequest(const DialogRequest&) = delete;
    DialogRequest& operator=(const DialogRequest&) = delete;

    // Sends the request; libre's error number when it could not.
    int Send();
    // The final answer came (or none will).
    bool Done() const { return m_done; }

private:
    static int OnContact(sip_transp transport, const sa* source, const sa*, mbuf* message, void* arg);
    static void OnAnswer(int err, const sip_msg* msg, void* arg);

    sip* m_stack;
    sip_dialog* m_dialog; // referenced: it outlives a session that ends before the answer
    std::string m_method;
    std::string m_headers;
    std::string m_contactUser;
    sip_auth* m_auth = nullptr;
    sip_resp_h* m_answer;
    void* m_arg;
    struct sip_request* m_request = nullptr; // "struct": libre also has a function of that name
    bool m_challenged = false;
    bool m_done = false;
};

} // namespace tapi
