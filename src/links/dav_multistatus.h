#pragma once

#include <QByteArray>

#include <string>
#include <vector>

// One <response> of a WebDAV multistatus (RFC 4918) with the properties the address book sync
// asks for. Properties come only from a propstat whose status is a success.
struct DavResponse {
    std::string href; // as the server wrote it (a path, percent-encoded)
    int status = 200; // the response's own <status>, 200 when it has none (404: a removed member)
    std::string etag;
    std::string addressData; // the card (CardDAV address-data)
    std::string principal; // current-user-principal
    std::string homeSet; // addressbook-home-set
    bool addressBook = false; // resourcetype holds <addressbook/>
};

struct DavMultistatus {
    bool valid = false; // a <multistatus> document was read to its end
    std::string syncToken; // RFC 6578's token of a sync-collection report
    std::vector<DavResponse> responses;
};

// Reads a multistatus body with QXmlStreamReader; namespaces are honoured, unknown elements
// passed over.
DavMultistatus ParseMultistatus(const QByteArray& body);

// "HTTP/1.1 404 Not Found" gives 404; 0 when it is no status line.
int StatusCode(const QString& statusLine);
