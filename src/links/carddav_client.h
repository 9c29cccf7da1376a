#pragma once

#include "links/dav_multistatus.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <functional>
#include <map>
#include <string>
#include <vector>

// The CardDAV requests of the address book sync (RFC 6352, RFC 6578), each sent with Qt Network
// and waited for: the calling thread's event loop runs meanwhile. Redirects are followed (at most
// five) with the same method; credentials go with every request (basic authentication, and
// what else the server asks for through Qt's authentication).
class CardDavClient {
    Q_DECLARE_TR_FUNCTIONS(CardDavClient)

public:
    struct Reply {
        int status = 0; // the HTTP status; 0 when no answer came
        QByteArray body;
        QString etag; // the ETag header
        QString error; // why no answer came, or the server's status text
        QUrl url; // where the answer came from (after redirects)

        bool Answered() const { return status != 0; }
        bool Ok() const { return status >= 200 && status <= 299; }
    };

    // The changes of the collection since a sync token (or all of it without one).
    struct Changes {
        std::vector<DavResponse> changed; // href, etag and, where the server gave it, text of each card
        std::vector<std::string> removed; // hrefs of removed cards (only from a token)
        std::string syncToken;
        bool complete = false; // every card of the collection is listed (no token was given)
    };

    // A card's href, etag and text as the server holds it.
    struct Card {
        std::string href;
        std::string etag;
        std::string text;
    };

    // How long a request may go without an answer: a listing of a whole address book can keep a
    // server busy for minutes the first time it reads its storage.
    static constexpr int kTimeoutMs = 30'000;
    static constexpr int kListingTimeoutMs = 600'000;
    static constexpr int kMultigetBatch = 500;

    CardDavClient(QString user, QString password);

    Reply Send(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
        const std::map<QByteArray, QByteArray>& headers = {}, int timeoutMs = kTimeoutMs);

    // The address book that `server` leads to: the URL itself when it is one, else through the
    // current user's principal and address-book home, from the URL and from /.well-known/carddav.
    // On failure `book` stays empty and `error` says why.
    bool Discover(const QUrl& server, QUrl& book, QString& error);

    // sync-collection (RFC 6578) from `token`, with the cards' text. `unsupported` is set when the
    // server does not know
    // the report; an expired token gives a complete listing.
    bool SyncCollection(
        const QUrl& book, const std::string& token, Changes& changes, bool& unsupported, QString& error);
    // Every card's href and etag (PROPFIND, depth 1): for servers without sync-collection.
    bool ListCards(const QUrl& book, Changes& changes, QString& error);
    // addressbook-multiget of `hrefs`, in batches; `progress` gets the count read so far.
    bool Multiget(const QUrl& book, const std::vector<std::string>& hrefs, std::vector<Card>& cards,
        QString& error, const std::function<void(std::size_t)>& progress);
    Reply Get(const QUrl& url) { return Send("GET", url); }
    // PUT with If-Match (`etag` given) or If-None-Match: * (a new card).
    Reply Put(const QUrl& url, const QByteArray& card, const std::string& etag);
    // DELETE with If-Match.
    Reply Delete(const QUrl& url, const std::string& etag);

    // Why a reply failed, in words for the user.
    static QString Describe(const Reply& reply);

private:
    Reply Propfind(const QUrl& url, int depth, const QByteArray& props);
    bool FindAddressBook(const QUrl& start, QUrl& book, QString& error, bool& hardFailure);

    QNetworkAccessManager m_network;
    QString m_user;
    QString m_password;
};
