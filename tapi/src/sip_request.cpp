#include "sip_request.h"

#include <utility>

namespace tapi {

DialogRequest::DialogRequest(sip* stack, sip_dialog* dialog, std::string method, std::string headers,
    std::string contactUser, SipCredentials credentials, sip_resp_h* answer, void* arg)
    : m_stack(stack)
    , m_dialog(static_cast<sip_dialog*>(mem_ref(dialog)))
    , m_method(std::move(method))
    , m_headers(std::move(headers))
    , m_contactUser(std::move(contactUser))
    , m_answer(answer)
    , m_arg(arg)
{
    sip_auth_alloc(&m_auth, credentials.handler, credentials.arg, false);
}

DialogRequest::~DialogRequest()
{
    mem_deref(m_request); // an answer still due reaches nobody
    mem_deref(m_auth);
    mem_deref(m_dialog);
}

int DialogRequest::Send()
{
    if (!m_dialog || !m_auth)
        return ENOMEM;
    m_done = false;
    return sip_drequestf(&m_request, m_stack, true, m_method.c_str(), m_dialog, 0, m_auth, OnContact,
        OnAnswer, this, "%s", m_headers.c_str());
}

int DialogRequest::OnContact(sip_transp transport, const sa* source, const sa*, mbuf* message, void* arg)
{
    // REFER starts a subscription and NOTIFY reports on one: both need our Contact.
    sip_contact contact{};
    sip_contact_set(&contact, static_cast<DialogRequest*>(arg)->m_contactUser.c_str(), source, transport);
    return mbuf_printf(message, "%H", sip_contact_print, &contact);
}

void DialogRequest::OnAnswer(int err, const sip_msg* msg, void* arg)
{
    auto* self = static_cast<DialogRequest*>(arg);
    const bool challenge = !err && msg && (msg->scode == 401 || msg->scode == 407);
    // A second challenge is the answer: the credentials were refused (or there are none).
    if (challenge && !self->m_challenged) {
        self->m_challenged = true;
        if (sip_auth_authenticate(self->m_auth, msg) == 0 && self->Send() == 0)
            return;
    }
    self->m_done = !msg || msg->scode >= 200;
    if (self->m_answer)
        self->m_answer(err, msg, self->m_arg); // last: it may free the request
}

} // namespace tapi
