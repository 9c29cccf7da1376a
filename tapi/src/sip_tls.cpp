#include "sip_line.h"

#include <arpa/inet.h>
#include <openssl/ssl.h>

// How a SIP line's TLS transport checks the server's certificate.

namespace tapi {

namespace {

// The host a TLS connection of the account must prove to be: the outbound proxy's when there is
// one (every request goes through it), else the registrar's; without the port. Empty when the
// URI does not decode.
std::string TlsServerHost(const SipAccount& account)
{
    const std::string uri = !account.outboundProxy.empty() ? account.outboundProxy
        : !account.registrar.empty()                        ? account.registrar
                                                            : "sip:" + account.domain;
    pl text{};
    pl_set_str(&text, uri.c_str());
    struct uri decoded {};
    if (uri_decode(&decoded, &text) != 0)
        return {};
    return std::string(decoded.host.p, decoded.host.l);
}

// Where a TLS context keeps its SIP line, for the certificate check.
int TlsLineIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

bool IsIpAddress(const std::string& host)
{
    in6_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1 || ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

} // namespace

// OpenSSL checks the server's certificate chain against the system's CA list and the account's
// ca-file, and that it names the server's host; a handshake that does not verify fails, so
// nothing is sent to a server that cannot prove who it is.
bool SipLine::StartTls(std::string& error)
{
    if (const int err = tls_alloc(&m_tls, TLS_METHOD_SSLV23, nullptr, nullptr)) {
        error = "cannot set up TLS: " + ErrorText(err);
        return false;
    }
    SSL_CTX* context = tls_openssl_context(m_tls);
    const std::string host = TlsServerHost(m_account);
    if (!context || host.empty()) {
        error = "cannot set up TLS: no server host to check certificates against";
        return false;
    }
    if (SSL_CTX_set_default_verify_paths(context) != 1) {
        error = "cannot load the system's list of certificate authorities";
        return false;
    }
    const std::string& caFile = m_account.caFile;
    if (!caFile.empty() && SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr) != 1) {
        error = "the ca-file " + caFile + " holds no PEM certificate that can be read";
        return false;
    }
    if (SSL_CTX_set_ex_data(context, TlsLineIndex(), this) != 1) {
        error = "cannot set up TLS";
        return false;
    }
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, OnVerify);
    X509_VERIFY_PARAM* verify = SSL_CTX_get0_param(context);
    const int named = IsIpAddress(host) ? X509_VERIFY_PARAM_set1_ip_asc(verify, host.c_str())
                                        : X509_VERIFY_PARAM_set1_host(verify, host.c_str(), host.size());
    if (named != 1) {
        error = "cannot check TLS certificates for the host " + host;
        return false;
    }
    return true;
}

// Keeps OpenSSL's verdict on each certificate of the chain and notes why one was refused, so the
// line's state can say it.
int SipLine::OnVerify(int ok, X509_STORE_CTX* store)
{
    if (ok)
        return ok;
    const auto* ssl = static_cast<const SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl ? static_cast<SipLine*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), TlsLineIndex())) : nullptr;
    if (self) {
        self->m_certificateError = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
        self->ReportFailure({});
    }
    return ok;
}

} // namespace tapi
