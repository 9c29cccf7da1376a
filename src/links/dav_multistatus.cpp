#include "links/dav_multistatus.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

bool Is(const QXmlStreamReader& xml, const QString& ns, const char* name)
{
    return xml.namespaceUri() == ns && xml.name() == QLatin1String(name);
}

// The text of the element the reader stands on; child elements are read through.
std::string Text(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString();
}

// The first <href> inside the element the reader stands on.
std::string InnerHref(QXmlStreamReader& xml)
{
    std::string href;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, "href") && href.empty())
            href = xml.readElementText().trimmed().toStdString();
        else
            xml.skipCurrentElement();
    }
    return href;
}

void ReadResourceType(QXmlStreamReader& xml, DavResponse& response)
{
    while (xml.readNextStartElement()) {
        if (Is(xml, kCardDav, "addressbook"))
            response.addressBook = true;
        xml.skipCurrentElement();
    }
}

void ReadProp(QXmlStreamReader& xml, DavResponse& props)
{
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, "getetag"))
            props.etag = Text(xml);
        else if (Is(xml, kCardDav, "address-data"))
            props.addressData = Text(xml);
        else if (Is(xml, kDav, "current-user-principal"))
            props.principal = InnerHref(xml);
        else if (Is(xml, kCardDav, "addressbook-home-set"))
            props.homeSet = InnerHref(xml);
        else if (Is(xml, kDav, "resourcetype"))
            ReadResourceType(xml, props);
        else
            xml.skipCurrentElement();
    }
}

// A propstat's properties count only when its status is a success.
void ReadPropstat(QXmlStreamReader& xml, DavResponse& response)
{
    DavResponse props;
    int status = 200;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, "prop"))
            ReadProp(xml, props);
        else if (Is(xml, kDav, "status"))
            status = StatusCode(xml.readElementText());
        else
            xml.skipCurrentElement();
    }
    if (status < 200 || status > 299)
        return;
    if (!props.etag.empty())
        response.etag = props.etag;
    if (!props.addressData.empty())
        response.addressData = std::move(props.addressData);
    if (!props.principal.empty())
        response.principal = props.principal;
    if (!props.homeSet.empty())
        response.homeSet = props.homeSet;
    response.addressBook = response.addressBook || props.addressBook;
}

DavResponse ReadResponse(QXmlStreamReader& xml)
{
    DavResponse response;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, "href"))
            response.href = xml.readElementText().trimmed().toStdString();
        else if (Is(xml, kDav, "status"))
            response.status = StatusCode(xml.readElementText());
        else if (Is(xml, kDav, "propstat"))
            ReadPropstat(xml, response);
        else
            xml.skipCurrentElement();
    }
    return response;
}

} // namespace

int StatusCode(const QString& statusLine)
{
    const QStringList parts = statusLine.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

DavMultistatus ParseMultistatus(const QByteArray& body)
{
    DavMultistatus result;
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !Is(xml, kDav, "multistatus"))
        return result;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, "response"))
            result.responses.push_back(ReadResponse(xml));
        else if (Is(xml, kDav, "sync-token"))
            result.syncToken = xml.readElementText().trimmed().toStdString();
        else
            xml.skipCurrentElement();
    }
    result.valid = !xml.hasError();
    return result;
}
