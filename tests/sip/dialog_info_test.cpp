// The reader of dialog-event documents (untrusted XML from the wire) and the book that keeps a
// watched line's dialogs across full and partial notifications.
#include "dialog_info.h"

#include <gtest/gtest.h>

namespace tapi {
namespace {

const std::string kNs = "xmlns=\"urn:ietf:params:xml:ns:dialog-info\"";

DialogInfo Parsed(const std::string& xml)
{
    std::string error;
    auto info = ParseDialogInfo(xml, error);
    EXPECT_TRUE(info) << error << "\n" << xml;
    return info.value_or(DialogInfo{});
}

std::string Doc(int version, const char* state, const std::string& body)
{
    return "<dialog-info " + kNs + " version=\"" + std::to_string(version) + "\" state=\"" + state
        + "\" entity=\"sip:201@pbx\">" + body + "</dialog-info>";
}

std::string Dialog(const char* id, const char* state, const char* direction = "recipient")
{
    return std::string("<dialog id=\"") + id + "\" call-id=\"call-" + id
        + "\" local-tag=\"lt\" remote-tag=\"rt\"" + " direction=\"" + direction + "\"><state event=\"x\">\n  "
        + state
        + " \n</state><local><identity>sip:local@pbx</identity></local><remote><identity>sip:300@pbx</"
          "identity>"
          "<target uri=\"sip:300@10.0.0.3\"/></remote></dialog>";
}

TEST(DialogInfo, ReadsDialogsAndIgnoresForeignElements)
{
    const DialogInfo info = Parsed("<?xml version=\"1.0\"?>"
        + Doc(4, "full",
            Dialog("a", "early") + "<x:extra xmlns:x=\"urn:other\"><state>confirmed</state></x:extra>"));
    EXPECT_EQ(info.version, 4u);
    EXPECT_TRUE(info.full);
    EXPECT_EQ(info.entity, "sip:201@pbx");
    ASSERT_EQ(info.dialogs.size(), 1u);
    const DialogInfoDialog& dialog = info.dialogs[0];
    EXPECT_EQ(dialog.callId, "call-a");
    EXPECT_EQ(dialog.localTag, "lt");
    EXPECT_EQ(dialog.remoteTag, "rt");
    EXPECT_EQ(dialog.direction, DialogInfoDialog::Direction::Recipient);
    EXPECT_EQ(dialog.remoteIdentity, "sip:300@pbx") << "the local identity is not the caller";
    EXPECT_EQ(dialog.remoteTarget, "sip:300@10.0.0.3");
}

TEST(DialogInfo, RefusesWhatIsNotADocumentToTake)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "<dialog-info " + kNs + " version=\"1\" state=\"full\">", "not well-formed" },
        { "<presence " + kNs + " version=\"1\" state=\"full\"/>", "root element" },
        { "<dialog-info version=\"1\" state=\"full\"/>", "root element" }, // no namespace
        { "<dialog-info " + kNs + " state=\"full\"/>", "version" },
        { "<dialog-info " + kNs + " version=\"-1\" state=\"full\"/>", "version" },
        { "<dialog-info " + kNs + " version=\"1\" state=\"most\"/>", "full nor partial" },
        { Doc(1, "full", "<dialog><state>early</state></dialog>"), "no id" },
        { "<!DOCTYPE d [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>" + Doc(1, "full", "&e;"),
            "document type" },
        { "<!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
          "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
                + Doc(1, "full", "<dialog id=\"&c;&c;&c;&c;\"><state>early</state></dialog>"),
            "document type" },
        { "", "not well-formed" },
        { Doc(1, "full", std::string(kMaxDialogInfoBytes, ' ')), "larger than" },
    };
    for (const auto& [xml, reason] : cases) {
        std::string error;
        EXPECT_FALSE(ParseDialogInfo(xml, error)) << xml.substr(0, 120);
        EXPECT_NE(error.find(reason), std::string::npos) << error << " / " << xml.substr(0, 120);
    }
    std::string many;
    for (std::size_t i = 0; i <= kMaxDialogInfoDialogs; ++i)
        many += Dialog(std::to_string(i).c_str(), "confirmed");
    std::string error;
    EXPECT_FALSE(ParseDialogInfo(Doc(1, "full", many), error));
    EXPECT_NE(error.find("more than"), std::string::npos) << error;
    // Long texts are cut, not refused.
    const DialogInfo info = Parsed(Doc(1, "full",
        "<dialog id=\"" + std::string(1000, 'i') + "\"><state>early</state><remote><identity>"
            + std::string(1000, 'n') + "</identity></remote></dialog>"));
    EXPECT_EQ(info.dialogs.at(0).id.size(), 256u);
    EXPECT_EQ(info.dialogs.at(0).remoteIdentity.size(), 256u);
}

TEST(DialogBook, FollowsFullAndPartialNotificationsInVersionOrder)
{
    DialogBook book;
    EXPECT_EQ(book.Activity(), LineActivity::Idle);
    ASSERT_TRUE(book.Apply(Parsed(Doc(0, "full", ""))));
    EXPECT_EQ(book.Activity(), LineActivity::Idle);
    ASSERT_TRUE(book.Apply(Parsed(Doc(1, "partial", Dialog("a", "early")))));
    EXPECT_EQ(book.Activity(), LineActivity::Ringing);
    // A second call rings while the first is answered: in a call wins over ringing.
    ASSERT_TRUE(book.Apply(Parsed(Doc(2, "partial", Dialog("a", "confirmed") + Dialog("b", "early")))));
    EXPECT_EQ(book.Activity(), LineActivity::InCall);
    EXPECT_FALSE(book.Apply(Parsed(Doc(2, "full", "")))) << "not newer";
    EXPECT_FALSE(book.Apply(Parsed(Doc(1, "full", ""))));
    EXPECT_EQ(book.Activity(), LineActivity::InCall);
    ASSERT_TRUE(book.Apply(Parsed(Doc(3, "partial", Dialog("a", "terminated")))));
    EXPECT_EQ(book.Activity(), LineActivity::Ringing);
    // The line places a call: early as initiator is busy, not ringing.
    ASSERT_TRUE(book.Apply(Parsed(Doc(4, "full", Dialog("c", "early", "initiator")))));
    EXPECT_EQ(book.Activity(), LineActivity::InCall);
    ASSERT_TRUE(book.Apply(Parsed(Doc(5, "full", Dialog("d", "proceeding", "initiator")))));
    EXPECT_EQ(book.Activity(), LineActivity::InCall);
    ASSERT_TRUE(book.Apply(Parsed(Doc(6, "full", ""))));
    EXPECT_EQ(book.Activity(), LineActivity::Idle);
    // A new subscription starts its versions again.
    book.Clear();
    EXPECT_TRUE(book.Apply(Parsed(Doc(0, "full", Dialog("e", "early")))));
    EXPECT_EQ(book.Activity(), LineActivity::Ringing);
}

// The ringing call a pickup names: the caller's address and the caller's dialog (its own tag is
// the line's remote tag). Dialogs the server describes only in part, or with text that would break
// a header, are not offered; neither is a call the line places.
TEST(DialogBook, NamesTheRingingCallForAPickup)
{
    DialogBook book;
    ASSERT_TRUE(book.Apply(Parsed(Doc(1, "full", Dialog("a", "confirmed")))));
    EXPECT_FALSE(book.Ringing()) << "nothing rings";
    ASSERT_TRUE(book.Apply(Parsed(Doc(2, "full", Dialog("a", "confirmed") + Dialog("b", "early")))));
    ASSERT_TRUE(book.Ringing());
    EXPECT_EQ(book.Ringing()->callerUri, "sip:300@pbx");
    EXPECT_EQ(book.Ringing()->replaces, "call-b;to-tag=rt;from-tag=lt");
    ASSERT_TRUE(book.Apply(Parsed(Doc(3, "full", Dialog("c", "early", "initiator")))));
    EXPECT_FALSE(book.Ringing()) << "the line's own call";

    const std::string noTags = "<dialog id=\"d\" call-id=\"x\" direction=\"recipient\"><state>early</state>"
                               "<remote><identity>sip:300@pbx</identity></remote></dialog>";
    ASSERT_TRUE(book.Apply(Parsed(Doc(4, "full", noTags))));
    EXPECT_EQ(book.Activity(), LineActivity::Ringing);
    EXPECT_FALSE(book.Ringing()) << "no tags: no dialog to name";
    const std::string badCallId = "<dialog id=\"e\" call-id=\"x&#13;&#10;Foo: bar\" local-tag=\"l\" "
                                  "remote-tag=\"r\"><state>early</state><remote><identity>sip:300@pbx"
                                  "</identity></remote></dialog>";
    ASSERT_TRUE(book.Apply(Parsed(Doc(5, "full", badCallId))));
    EXPECT_FALSE(book.Ringing()) << "a call id that would add a header";
    const std::string telCaller = "<dialog id=\"f\" call-id=\"x\" local-tag=\"l\" remote-tag=\"r\">"
                                  "<state>early</state><remote><identity>tel:+15550100</identity>"
                                  "<target uri=\"sip:300@10.0.0.3\"/></remote></dialog>";
    ASSERT_TRUE(book.Apply(Parsed(Doc(6, "full", telCaller))));
    ASSERT_TRUE(book.Ringing());
    EXPECT_EQ(book.Ringing()->callerUri, "sip:300@10.0.0.3")
        << "the caller's contact when its identity is no SIP address";
}

} // namespace
} // namespace tapi
