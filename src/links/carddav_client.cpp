#include "links/carddav_client.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr int kMaxRedirects = 5;

const QByteArray kXmlHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

QByteArray Quoted(const std::string& text)
{
    return QString::fromStdString(text).toHtmlEscaped().toUtf8();
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The collection's own response in a listing: same path as the collection, with or without the
// final slash.
bool IsCollectionItself(const QUrl& book, const std::string& href)
{
    const QUrl url = book.resolved(QUrl(QString::fromStdString(href)));
    return url.path(QUrl::FullyEncoded).chopped(url.path().endsWith('/') ? 1 : 0)
        == book.path(QUrl::FullyEncoded).chopped(book.path().endsWith('/') ? 1 : 0);
}

// Asks for the cards' text with their ETags: one request reads a whole address book from servers
// that give it there; members that come without it are fetched with addressbook-multiget.
QByteArray SyncCollectionBody(const std::string& token)
{
    return kXmlHead
        + "<d:sync-collection xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:sync-token>"
        + Quoted(token)
        + "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/><c:address-data/></d:prop>"
          "</d:sync-collection>";
}

QByteArray MultigetBody(const std::vector<std::string>& hrefs, std::size_t begin, std::size_t end)
{
    QByteArray body = kXmlHead
        + "<c:addressbook-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
          "<d:prop><d:getetag/><c:address-data/></d:prop>";
    for (std::size_t i = begin; i < end; ++i)
        body += "<d:href>" + Quoted(hrefs[i]) + "</d:href>";
    return body + "</c:addressbook-multiget>";
}

} // namespace

CardDavClient::CardDavClient(QString user, QString password)
    : m_user(std::move(user))
    , m_password(std::move(password))
{
    // Answers a server that wants more than the basic credentials sent with each request once;
    // a second request for the same reply means they were refused.
    QObject::connect(&m_network, &QNetworkAccessManager::authenticationRequired,
        [this](QNetworkReply* reply, QAuthenticator* authenticator) {
            if (reply->property("kestrium.authenticated").toBool())
                return;
            reply->setProperty("kestrium.authenticated", true);
            authenticator->setUser(m_user);
            authenticator->setPassword(m_password);
        });
}

CardDavClient::Reply CardDavClient::Send(const QByteArray& method, const QUrl& url, const QByteArray& body,
    const std::map<QByteArray, QByteArray>& headers, int timeoutMs)
{
    Reply result;
    result.url = url;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        QNetworkRequest request(result.url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setTransferTimeout(timeoutMs);
        request.setRawHeader("Authorization", "Basic " + (m_user + ':' + m_password).toUtf8().toBase64());
        if (!body.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                method == "PUT" ? "text/vcard; charset=utf-8" : "application/xml; charset=utf-8");
        for (const auto& [name, value] : headers)
            request.setRawHeader(name, value);
        QNetworkReply* reply = m_network.sendCustomRequest(request, method, body);
        QEventLoop wait;
        QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.body = reply->readAll();
        result.etag = QString::fromUtf8(reply->rawHeader("ETag"));
        result.error = result.status != 0
            ? reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()
            : reply->errorString();
        const QUrl location = reply->header(QNetworkRequest::LocationHeader).toUrl();
        reply->deleteLater();
        if (!IsRedirect(result.status) || !location.isValid())
            return result;
        result.url = result.url.resolved(location);
    }
    return result;
}

QString CardDavClient::Describe(const Reply& reply)
{
    if (!reply.Answered())
        return tr("the server cannot be reached (%1)").arg(reply.error);
    if (reply.status == 401 || reply.status == 403)
        return tr("the server refused the user name or password (%1 %2)").arg(reply.status).arg(reply.error);
    return tr("the server answered %1 %2").arg(reply.status).arg(reply.error);
}

CardDavClient::Reply CardDavClient::Propfind(const QUrl& url, int depth, const QByteArray& props)
{
    const QByteArray body = kXmlHead
        + "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop>" + props
        + "</d:prop></d:propfind>";
    return Send("PROPFIND", url, body, { { "Depth", QByteArray::number(depth) } },
        depth == 0 ? kTimeoutMs : kListingTimeoutMs);
}

bool CardDavClient::FindAddressBook(const QUrl& start, QUrl& book, QString& error, bool& hardFailure)
{
    const Reply first
        = Propfind(start, 0, "<d:resourcetype/><d:current-user-principal/><c:addressbook-home-set/>");
    if (first.status != 207) {
        error = Describe(first);
        hardFailure = !first.Answered() || first.status == 401;
        return false;
    }
    const DavMultistatus about = ParseMultistatus(first.body);
    if (about.responses.empty())
        return false;
    const DavResponse& here = about.responses.front();
    if (here.addressBook) {
        book = first.url;
        return true;
    }
    std::string home = here.homeSet;
    if (home.empty() && !here.principal.empty()) {
        const QUrl principal = first.url.resolved(QUrl(QString::fromStdString(here.principal)));
        const Reply asked = Propfind(principal, 0, "<c:addressbook-home-set/>");
        const DavMultistatus homes = ParseMultistatus(asked.body);
        if (!homes.responses.empty())
            home = homes.responses.front().homeSet;
    }
    if (home.empty())
        return false;
    const QUrl homeUrl = first.url.resolved(QUrl(QString::fromStdString(home)));
    const Reply listing = Propfind(homeUrl, 1, "<d:resourcetype/>");
    for (const DavResponse& member : ParseMultistatus(listing.body).responses) {
        if (member.addressBook) {
            book = homeUrl.resolved(QUrl(QString::fromStdString(member.href)));
            return true;
        }
    }
    error = tr("the user's address-book home holds no address book");
    return false;
}

bool CardDavClient::Discover(const QUrl& server, QUrl& book, QString& error)
{
    book.clear();
    error.clear();
    if (!server.isValid() || (server.scheme() != "http" && server.scheme() != "https")) {
        error = tr("\"%1\" is no http or https address").arg(server.toString());
        return false;
    }
    // An unreachable server or refused credentials end the search; a URL that leads nowhere is
    // followed by the well-known one.
    bool hardFailure = false;
    for (const QUrl& start : { server, server.resolved(QUrl("/.well-known/carddav")) }) {
        if (FindAddressBook(start, book, error, hardFailure))
            return true;
        if (hardFailure)
            return false;
    }
    if (error.isEmpty())
        error = tr("no address book was found there");
    return false;
}

bool CardDavClient::SyncCollection(
    const QUrl& book, const std::string& token, Changes& changes, bool& unsupported, QString& error)
{
    changes = Changes{};
    unsupported = false;
    Reply reply = Send("REPORT", book, SyncCollectionBody(token), { { "Depth", "1" } }, kListingTimeoutMs);
    // An expired or unknown token (403 or 409 with valid-sync-token): start again without one.
    if (!token.empty() && (reply.status == 403 || reply.status == 409)
        && reply.body.contains("valid-sync-token"))
        return SyncCollection(book, {}, changes, unsupported, error);
    if (reply.status != 207) {
        unsupported = reply.Answered() && reply.status != 401;
        error = Describe(reply);
        return false;
    }
    DavMultistatus status = ParseMultistatus(reply.body);
    if (!status.valid || status.syncToken.empty()) {
        unsupported = true;
        return false;
    }
    changes.syncToken = std::move(status.syncToken);
    changes.complete = token.empty();
    for (DavResponse& member : status.responses) {
        if (IsCollectionItself(book, member.href))
            continue;
        if (member.status == 404)
            changes.removed.push_back(std::move(member.href));
        else if (member.status >= 200 && member.status <= 299)
            changes.changed.push_back(std::move(member));
    }
    return true;
}

bool CardDavClient::ListCards(const QUrl& book, Changes& changes, QString& error)
{
    changes = Changes{};
    const Reply reply = Propfind(book, 1, "<d:getetag/><d:resourcetype/>");
    if (reply.status != 207) {
        error = Describe(reply);
        return false;
    }
    changes.complete = true;
    for (DavResponse& member : ParseMultistatus(reply.body).responses) {
        if (!IsCollectionItself(book, member.href) && !member.etag.empty())
            changes.changed.push_back(std::move(member));
    }
    return true;
}

bool CardDavClient::Multiget(const QUrl& book, const std::vector<std::string>& hrefs,
    std::vector<Card>& cards, QString& error, const std::function<void(std::size_t)>& progress)
{
    for (std::size_t begin = 0; begin < hrefs.size(); begin += kMultigetBatch) {
        const std::size_t end = std::min(hrefs.size(), begin + kMultigetBatch);
        const Reply reply
            = Send("REPORT", book, MultigetBody(hrefs, begin, end), { { "Depth", "1" } }, kListingTimeoutMs);
        if (reply.status != 207) {
            error = Describe(reply);
            return false;
        }
        for (DavResponse& member : ParseMultistatus(reply.body).responses) {
            if (member.status == 200 && !member.addressData.empty())
                cards.push_back(
                    { std::move(member.href), std::move(member.etag), std::move(member.addressData) });
        }
        if (progress)
            progress(end);
    }
    return true;
}

CardDavClient::Reply CardDavClient::Put(const QUrl& url, const QByteArray& card, const std::string& etag)
{
    if (etag.empty())
        return Send("PUT", url, card, { { "If-None-Match", "*" } });
    return Send("PUT", url, card, { { "If-Match", QByteArray::fromStdString(etag) } });
}

CardDavClient::Reply CardDavClient::Delete(const QUrl& url, const std::string& etag)
{
    return Send("DELETE", url, {}, { { "If-Match", QByteArray::fromStdString(etag) } });
}
