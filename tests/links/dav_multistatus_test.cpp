// The multistatus reader with the shapes servers write: any namespace prefix, properties split
// over propstats of different status, removed members of a sync report.
#include "links/dav_multistatus.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

TEST(DavMultistatusTest, ReadsPropertiesOnlyFromSuccessfulPropstatsWhateverThePrefixes)
{
    const QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<A:multistatus xmlns:A="DAV:" xmlns:card="urn:ietf:params:xml:ns:carddav" xmlns:x="http://example.org/">
  <A:response>
    <A:href> /dav/office/ </A:href>
    <A:propstat>
      <A:prop>
        <A:current-user-principal><A:href>/dav/principals/office/</A:href></A:current-user-principal>
        <card:addressbook-home-set><A:href>/dav/office/</A:href></card:addressbook-home-set>
        <A:resourcetype><A:collection/><x:addressbook/></A:resourcetype>
      </A:prop>
      <A:status>HTTP/1.1 200 OK</A:status>
    </A:propstat>
    <A:propstat>
      <A:prop><A:getetag>"should-not-count"</A:getetag></A:prop>
      <A:status>HTTP/1.1 404 Not Found</A:status>
    </A:propstat>
  </A:response>
  <A:response>
    <A:href>/dav/office/contacts/</A:href>
    <A:propstat><A:prop><A:resourcetype><A:collection/><card:addressbook/></A:resourcetype></A:prop>
      <A:status>HTTP/1.1 200 OK</A:status></A:propstat>
  </A:response>
  <A:response>
    <A:href>/dav/office/contacts/a%20b.vcf</A:href>
    <A:propstat><A:prop><A:getetag>"e1"</A:getetag>
      <card:address-data>BEGIN:VCARD&#13;
FN:A &amp; B&#13;
END:VCARD&#13;
</card:address-data><x:unknown><x:deep>ignored</x:deep></x:unknown></A:prop>
      <A:status>HTTP/1.1 200 OK</A:status></A:propstat>
  </A:response>
  <A:response><A:href>/dav/office/contacts/gone.vcf</A:href><A:status>HTTP/1.1 404 Not Found</A:status></A:response>
  <A:sync-token>http://example.org/sync/42</A:sync-token>
</A:multistatus>)";
    const DavMultistatus status = ParseMultistatus(body);
    ASSERT_TRUE(status.valid);
    EXPECT_EQ(status.syncToken, "http://example.org/sync/42");
    ASSERT_EQ(status.responses.size(), 4u);
    const DavResponse& home = status.responses[0];
    EXPECT_EQ(home.href, "/dav/office/");
    EXPECT_EQ(home.principal, "/dav/principals/office/");
    EXPECT_EQ(home.homeSet, "/dav/office/");
    EXPECT_FALSE(home.addressBook) << "an addressbook element of another namespace";
    EXPECT_EQ(home.etag, "") << "a property of a 404 propstat";
    EXPECT_TRUE(status.responses[1].addressBook);
    EXPECT_EQ(status.responses[2].etag, "\"e1\"");
    EXPECT_EQ(status.responses[2].addressData, "BEGIN:VCARD\r\nFN:A & B\r\nEND:VCARD\r\n");
    EXPECT_EQ(status.responses[2].status, 200);
    EXPECT_EQ(status.responses[3].status, 404);

    EXPECT_FALSE(ParseMultistatus("<html><body>Not DAV</body></html>").valid);
    EXPECT_FALSE(ParseMultistatus("<d:multistatus xmlns:d=\"DAV:\"><d:response>").valid);
    EXPECT_EQ(StatusCode(QStringLiteral("HTTP/1.1 412 Precondition Failed")), 412);
    EXPECT_EQ(StatusCode(QStringLiteral("garbage")), 0);
}

} // namespace
