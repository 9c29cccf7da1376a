// vCard import and export of the contact list, on files as address books and phones write them.
#include "store/contact_exchange.h"
#include "store/contact_store.h"
#include "support/temp_dir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::UnorderedElementsAre;
using testing_support::TempDir;

namespace {

// The six default groups and the default labels, no contacts.
class ContactExchangeTest : public testing::Test {
protected:
    ContactExchangeTest() { contacts.Groups().Load(dir / "no-groups.csv"); }

    ContactExchangeResult Import(const std::string& text) { return ContactExchange::Import(text, contacts); }

    const ContactRecord& Contact(std::size_t index) { return *contacts.GetAt(index); }

    // "Mobile: 555 1234" for every number of the contact, slot order.
    std::vector<std::string> Numbers(const ContactRecord& record)
    {
        std::vector<std::string> numbers;
        for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot)
            if (!record.Number(slot).empty())
                numbers.push_back(std::string(contacts.Labels().GetLabel(record.LabelIndex(slot))) + ": "
                    + std::string(record.Number(slot)));
        return numbers;
    }

    TempDir dir;
    ContactStore contacts;
};

// An address book's 3.0 export: grouped properties, folded lines, escapes, a TYPE list with pref.
const char* const kAddressBook30
    = "BEGIN:VCARD\r\n"
      "VERSION:3.0\r\n"
      "PRODID:-//Address Book//EN\r\n"
      "N:Smith;John;Quincy;Dr.;Jr.\r\n"
      "FN:Dr. John Quincy Smith Jr.\r\n"
      "ORG:Acme\\, Inc.;Sales\r\n"
      "EMAIL;type=INTERNET;type=WORK;type=pref:john@acme.example\r\n"
      "item1.TEL;type=CELL;type=VOICE;type=pref:+1 (555) 010-0001\r\n"
      "item1.X-ABLabel:_$!<Mobile>!$_\r\n"
      "TEL;type=WORK;type=FAX:+1 555 010 0002\r\n"
      "TEL;TYPE=HOME,VOICE:555-0003\r\n"
      "item2.ADR;type=HOME;type=pref:;Apt 4;12 Main Street\\nBack door;Spring\r\n"
      " field;IL;62701;USA\r\n"
      "ADR;TYPE=WORK:;;1 Acme Way;Shelbyville;IL;;\r\n"
      "NOTE:Met at the fair.\\nLikes C:\\\\Temp\\; and commas\\, too.\r\n"
      "CATEGORIES:Clients,Friends\r\n"
      "END:VCARD\r\n"
      "BEGIN:VCARD\r\n"
      "VERSION:3.0\r\n"
      "ORG:Globex\r\n"
      "TEL;TYPE=MAIN:555 0100\r\n"
      "END:VCARD\r\n";

TEST_F(ContactExchangeTest, ReadsAnAddressBook30Export)
{
    ContactExchangeResult result = Import(kAddressBook30);
    EXPECT_TRUE(result.fileOk);
    EXPECT_EQ(result.added, 2u);
    EXPECT_THAT(result.problems, testing::IsEmpty());
    const ContactRecord& john = Contact(0);
    EXPECT_EQ(john.FirstName(), "John");
    EXPECT_EQ(john.MiddleName(), "Quincy");
    EXPECT_EQ(john.LastName(), "Smith Jr.");
    EXPECT_EQ(john.Title(), "Dr.");
    EXPECT_EQ(john.Company(), "Acme, Inc., Sales");
    // Each number in the slot whose default label it has; the preferred phone is dialled.
    EXPECT_THAT(Numbers(john),
        testing::ElementsAre("Home: 555-0003", "Mobile: +1 (555) 010-0001", "Email: john@acme.example",
            "Fax: +1 555 010 0002"));
    EXPECT_EQ(john.DefaultNumber(), "+1 (555) 010-0001");
    EXPECT_EQ(john.DisplayName(), "John Quincy Smith Jr. (Mobile)");
    EXPECT_EQ(john.Street(), "12 Main Street");
    EXPECT_EQ(john.Street2(), "Apt 4, Back door");
    EXPECT_EQ(john.City(), "Springfield");
    EXPECT_EQ(john.Zip(), "62701");
    EXPECT_EQ(john.Country(), "USA");
    EXPECT_EQ(john.Note(),
        "Met at the fair.\nLikes C:\\Temp; and commas, too.\nAddress (work): 1 Acme Way, Shelbyville, IL");
    EXPECT_EQ(john.Group(), "Friends"); // the first category the groups know
    // A company alone names the contact.
    EXPECT_EQ(Contact(1).Company(), "Globex");
    EXPECT_EQ(Contact(1).DisplayName(), "Globex (Main)");
}

// A phone's 2.1 export: bare TEL types, quoted-printable UTF-8 with soft line breaks, Latin-1, LF.
TEST_F(ContactExchangeTest, ReadsAPhone21ExportWithQuotedPrintableNames)
{
    const std::string file = "BEGIN:VCARD\n"
                             "VERSION:2.1\n"
                             "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C5=A0koda;Ji=C5=99=C3=\n"
                             "=AD\n"
                             "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Ji=C5=99=C3=AD =C5=A0koda\n"
                             "TEL;CELL;PREF:+420 601 000 001\n"
                             "TEL;HOME;VOICE:+420 2 0000 0002\n"
                             "TEL;VOICE:+420 2 0000 0003\n"
                             "NOTE;ENCODING=QUOTED-PRINTABLE:Line one=0D=0ALine two; C:\\path=\n"
                             " end\n"
                             "END:VCARD\n"
                             "BEGIN:VCARD\n"
                             "VERSION:2.1\n"
                             "N;CHARSET=ISO-8859-1:Ren\xE9;Andr\xE9\n"
                             "TEL;WORK:555 0200\n"
                             "END:VCARD\n";
    ContactExchangeResult result = Import(file);
    EXPECT_EQ(result.added, 2u);
    EXPECT_THAT(result.problems, testing::IsEmpty());
    EXPECT_EQ(Contact(0).DisplayName(), "Jiří Škoda (Mobile)");
    EXPECT_THAT(Numbers(Contact(0)),
        testing::ElementsAre(
            "Home: +420 2 0000 0002", "Mobile: +420 601 000 001", "Other: +420 2 0000 0003"));
    EXPECT_EQ(Contact(0).Note(), "Line one\nLine two; C:\\path end");
    EXPECT_EQ(Contact(1).DisplayName(), "André René (Work)");
}

// A 4.0 file: quoted TYPE lists, tel: URIs, PREF=1, messengers, and more numbers than fit.
TEST_F(ContactExchangeTest, Reads40NumbersWithTheirTypes)
{
    const std::string file = "BEGIN:VCARD\r\nVERSION:4.0\r\n"
                             "FN:Mary Ann Lee\r\n"
                             "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-000-0001\r\n"
                             "TEL;VALUE=uri;TYPE=\"work,fax\":tel:+1-555-000-0002\r\n"
                             "TEL;TYPE=cell;PREF=1:+1 555 000 0003\r\n"
                             "TEL;TYPE=pager:+1 555 000 0004\r\n"
                             "TEL;TYPE=main:+1 555 000 0005\r\n"
                             "TEL;TYPE=x-ipphone:10.0.0.7\r\n"
                             "TEL;TYPE=textphone:+1 555 000 0006\r\n"
                             "IMPP:skype:mary.lee\r\n"
                             "IMPP;PREF=2:sip:mary@voip.example\r\n"
                             "EMAIL:mary@example.org\r\n"
                             "TEL;TYPE=work:+1 555 000 0008\r\n"
                             "TEL;TYPE=home:+1 555 000 0009\r\n"
                             "END:VCARD\r\n";
    ContactExchangeResult result = Import(file);
    EXPECT_EQ(result.added, 1u);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_THAT(result.problems[0], HasSubstr("Card 1 \"Mary Ann Lee\" (line 1)"));
    EXPECT_THAT(result.problems[0], HasSubstr("first 10 of its 12 numbers"));
    const ContactRecord& mary = Contact(0);
    EXPECT_EQ(mary.FirstName(), "Mary");
    EXPECT_EQ(mary.MiddleName(), "Ann");
    EXPECT_EQ(mary.LastName(), "Lee");
    EXPECT_THAT(Numbers(mary),
        UnorderedElementsAre("Home: +1-555-000-0001", "Fax: +1-555-000-0002", "Mobile: +1 555 000 0003",
            "Pager: +1 555 000 0004", "Main: +1 555 000 0005", "IPPhone: 10.0.0.7", "SIP: mary@voip.example",
            "Skype: mary.lee", "Email: mary@example.org",
            // An unknown type keeps the default label of the slot it lands in.
            testing::EndsWith(": +1 555 000 0006")));
    EXPECT_EQ(mary.DefaultNumber(), "+1 555 000 0003");
}

// A broken card between good ones costs only itself; each refusal names the card.
TEST_F(ContactExchangeTest, KeepsTheGoodCardsAroundBrokenOnes)
{
    const std::string file = "BEGIN:VCARD\nVERSION:3.0\nFN:Good One\nTEL:111\nEND:VCARD\n"
                             "BEGIN:VCARD\nVERSION:3.0\nFN:No End\nTEL:222\n"
                             "BEGIN:VCARD\nVERSION:3.0\nFN:Good Two\nTEL:333\nEND:VCARD\n"
                             "VERSION:3.0\nFN:No Begin\nTEL:444\nEND:VCARD\n"
                             "BEGIN:VCARD\nVERSION:3.0\nNOTE:nothing else\nEND:VCARD\n"
                             "BEGIN:VCARD\nVERSION:3.0\nFN:Good Three\nTEL:555\nEND:VCARD\n";
    ContactExchangeResult result = Import(file);
    EXPECT_EQ(result.cards, 6u);
    EXPECT_EQ(result.added, 3u);
    EXPECT_EQ(result.refused, 3u);
    EXPECT_EQ(Contact(0).DisplayName(), "Good One (Home)");
    EXPECT_EQ(Contact(1).DisplayName(), "Good Two (Home)");
    EXPECT_EQ(Contact(2).DisplayName(), "Good Three (Home)");
    EXPECT_THAT(result.problems,
        testing::ElementsAre(HasSubstr("Card 2 \"No End\" (line 6): the card is broken"),
            HasSubstr("Card 4 \"No Begin\" (line 15): the card is broken"),
            HasSubstr("Card 5 (line 19): the card has no name and no number")));

    EXPECT_FALSE(Import("just text\n").fileOk);
}

// Nothing already in the contacts is lost or doubled; a known contact gains the numbers it lacks.
TEST_F(ContactExchangeTest, ImportingAgainAddsOnlyWhatIsNew)
{
    ASSERT_EQ(Import(kAddressBook30).added, 2u);
    ContactExchangeResult again = Import(kAddressBook30);
    EXPECT_EQ(again.duplicates, 2u);
    EXPECT_EQ(contacts.Count(), 2u);

    const std::string file
        = "BEGIN:VCARD\nVERSION:3.0\nFN:globex\nTEL:5550100\nTEL;TYPE=CELL:555 0101\nEND:VCARD\n"
          "BEGIN:VCARD\nVERSION:3.0\nFN:Globex\nTEL:555 0999\nEND:VCARD\n";
    ContactExchangeResult update = Import(file);
    EXPECT_EQ(update.merged, 1u); // same name and a shared number: the mobile is added
    EXPECT_EQ(update.added, 1u); // same name, no shared number: another Globex
    EXPECT_THAT(Numbers(Contact(1)), testing::ElementsAre("Main: 555 0100", "Mobile: 555 0101"));
    EXPECT_EQ(Contact(2).Number(0), "555 0999");
}

TEST_F(ContactExchangeTest, EnforcesTheLimitsOfTheContactList)
{
    // Texts are cut to what the fields hold, never inside a character.
    const std::string longName(97, 'a');
    const std::string longNote(2000, 'n');
    ContactExchangeResult cut = Import("BEGIN:VCARD\nVERSION:3.0\nN:;" + longName
        + "\xC3\xA9\xC3\xA9;\nNOTE:" + longNote + "\nTEL:1\nEND:VCARD\n");
    EXPECT_THAT(cut.problems, testing::ElementsAre(HasSubstr("was shortened")));
    EXPECT_EQ(Contact(0).FirstName(), longName + "\xC3\xA9");
    EXPECT_EQ(Contact(0).Note(), std::string(999, 'n'));

    // 32 groups at most: a card of a group that does not fit goes to "Unfiled", reported once.
    std::string file;
    for (int i = 0; i < 30; ++i)
        file += "BEGIN:VCARD\nFN:P" + std::to_string(i) + "\nTEL:1\nCATEGORIES:G" + std::to_string(i)
            + "\nEND:VCARD\n";
    ContactExchangeResult groups = Import(file);
    EXPECT_EQ(contacts.Groups().Count(), GroupStore::kMaxGroups);
    EXPECT_EQ(Contact(contacts.Count() - 1).Group(), "Unfiled");
    ASSERT_EQ(groups.problems.size(), 4u); // G26 to G29, each named once
    EXPECT_THAT(groups.problems[0], HasSubstr("the group \"G26\" could not be created"));

    // 65,535 contacts at most.
    ContactRecord filler;
    while (contacts.Count() < ContactStore::kMaxRecords - 1)
        contacts.Append(filler);
    ContactExchangeResult full = Import("BEGIN:VCARD\nFN:Last\nTEL:1\nEND:VCARD\n"
                                        "BEGIN:VCARD\nFN:Too Many\nTEL:2\nEND:VCARD\n"
                                        "BEGIN:VCARD\nFN:Way Too Many\nTEL:3\nEND:VCARD\n");
    EXPECT_EQ(full.added, 1u);
    EXPECT_EQ(full.refused, 2u);
    EXPECT_THAT(full.problems,
        testing::ElementsAre("The contact list is full (65535 contacts): 2 cards were not imported."));
}

TEST_F(ContactExchangeTest, ControlCharactersAreDroppedAndTheRoundTripAddsNothing)
{
    using namespace std::string_literals;
    const std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Sm\x1bith;Jo\x07hn;\0;;\r\n"
                             "TEL;TYPE=cell:\x1b[31m555\r\nTEL;TYPE=home:555 0100\r\n"
                             "ORG:Ac\rme\r\nNOTE:one\\ntwo\x7F\tthree\r\nEND:VCARD\r\n"s;
    ContactExchangeResult result = Import(card);
    EXPECT_EQ(result.added, 1u);
    EXPECT_THAT(
        result.problems, testing::ElementsAre(HasSubstr("1 number with control characters was left out")));
    EXPECT_EQ(Contact(0).FirstName(), "John");
    EXPECT_EQ(Contact(0).MiddleName(), "");
    EXPECT_EQ(Contact(0).LastName(), "Smith");
    EXPECT_EQ(Contact(0).Company(), "Acme");
    EXPECT_EQ(Contact(0).Note(), "one\ntwo\tthree"); // line ends and tabs are text
    EXPECT_THAT(Numbers(Contact(0)), testing::ElementsAre("Home: 555 0100"));

    // Our own export, read back, is the contact it came from.
    for (VCardVersion version : { VCardVersion::V3, VCardVersion::V4 }) {
        ContactExchangeResult again = Import(ContactExchange::ExportText(contacts, version));
        EXPECT_EQ(again.duplicates, 1u);
        EXPECT_EQ(contacts.Count(), 1u);
    }
}

bool IsUtf8(std::string_view text)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    [[maybe_unused]] const QString decoded
        = decoder.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    return !decoder.hasError();
}

TEST_F(ContactExchangeTest, UnknownCharsetReadsLikeNone)
{
    // Not UTF-8: Windows-1252, as without a CHARSET; valid UTF-8 stays as it is.
    Import("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=x-klingon:M\xFCller;J\x80rg\nTEL:1\nEND:VCARD\n"
           "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=\"klingon\";ENCODING=QUOTED-PRINTABLE:=C3=A9t=C3=A9;L\n"
           "TEL:2\nEND:VCARD\n"
           "BEGIN:VCARD\nVERSION:3.0\nFN;CHARSET=UTF-16:\xFF\xFE\xFF\nTEL:3\nEND:VCARD\n");
    ASSERT_EQ(contacts.Count(), 3u);
    EXPECT_EQ(Contact(0).LastName(), "M\xC3\xBCller");
    EXPECT_EQ(Contact(0).FirstName(), "J\xE2\x82\xACrg");
    EXPECT_EQ(Contact(1).LastName(), "\xC3\xA9t\xC3\xA9");
    for (std::size_t i = 0; i < contacts.Count(); ++i)
        for (std::size_t field = 0; field < kContactFieldCount; ++field)
            EXPECT_TRUE(IsUtf8(Contact(i).Text(ContactField(field)))) << i << " " << field;
    EXPECT_TRUE(IsUtf8(ContactExchange::ExportText(contacts, VCardVersion::V4)));
}

// ---- Export ---------------------------------------------------------------------------------------

// What python3-vobject reads from a file, as JSON (scripts/tests/read_vcards.py).
QJsonArray ReadWithVobject(const fs::path& file)
{
    const std::string command = std::string(KESTRIUM_PYTHON3) + " " + KESTRIUM_SOURCE_DIR
        + "/scripts/tests/read_vcards.py '" + file.string() + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        output += buffer;
    const int status = pipe ? pclose(pipe.release()) : -1;
    // Fails, never skips, without Debian's python3 and python3-vobject (scripts/install-deps).
    EXPECT_EQ(status, 0) << command << "\n" << output;
    return QJsonDocument::fromJson(QByteArray::fromStdString(output)).array();
}

std::vector<std::string> Strings(const QJsonValue& value)
{
    std::vector<std::string> strings;
    for (const QJsonValue& item : value.toArray())
        strings.push_back(item.toString().toStdString());
    return strings;
}

// "TEL [cell,pref] 555": one number as vobject reads it.
std::vector<std::string> NumbersOf(const QJsonObject& card)
{
    std::vector<std::string> numbers;
    for (const QJsonValue& number : card["numbers"].toArray()) {
        const QJsonArray parts = number.toArray();
        std::string types;
        for (const QJsonValue& type : parts[1].toArray())
            types += (types.empty() ? "" : ",") + type.toString().toStdString();
        numbers.push_back(
            parts[0].toString().toStdString() + " [" + types + "] " + parts[2].toString().toStdString());
    }
    return numbers;
}

TEST_F(ContactExchangeTest, ExportIsReadByAnIndependentParser)
{
    Import(kAddressBook30);
    ContactRecord& john = *contacts.GetAt(0);
    // "ë" straddles the 75th byte of the NOTE line.
    john.SetNote(std::string(67, 'x') + "Zoë, \"quoted\"; ž\r\nsecond line");
    john.SetNumber(9, "555,,123#"); // a number with pauses, label Other
    const struct {
        VCardVersion version;
        const char* mobile;
        const char* email;
    } versions[] = { { VCardVersion::V4, "TEL [cell,pref=1] +1 (555) 010-0001",
                         "EMAIL [] john@acme.example" },
        { VCardVersion::V3, "TEL [cell,pref] +1 (555) 010-0001", "EMAIL [internet] john@acme.example" } };
    for (const auto& version : versions) {
        SCOPED_TRACE(version.mobile);
        const fs::path file = dir / "export.vcf";
        ContactExchangeResult result = ContactExchange::ExportFile(file, contacts, version.version);
        EXPECT_EQ(result.exported, 2u);
        EXPECT_EQ(result.summary, "2 contacts exported to \"" + file.string() + "\".");
        const QJsonArray cards = ReadWithVobject(file);
        ASSERT_EQ(cards.size(), 2);
        const QJsonObject card = cards[0].toObject();
        EXPECT_EQ(card["fn"].toString().toStdString(), "John Quincy Smith Jr.");
        EXPECT_THAT(Strings(card["n"]), testing::ElementsAre("Smith Jr.", "John", "Quincy"));
        EXPECT_THAT(Strings(card["org"]), testing::ElementsAre("Acme, Inc., Sales"));
        EXPECT_EQ(card["title"].toString().toStdString(), "Dr.");
        EXPECT_THAT(Strings(card["categories"]), testing::ElementsAre("Friends"));
        EXPECT_EQ(
            card["note"].toString().toStdString(), std::string(67, 'x') + "Zoë, \"quoted\"; ž\nsecond line");
        EXPECT_THAT(Strings(card["adr"]),
            testing::ElementsAre("12 Main Street", "Apt 4, Back door", "Springfield", "IL", "62701", "USA"));
        EXPECT_THAT(NumbersOf(card),
            UnorderedElementsAre("TEL [home] 555-0003", version.mobile, version.email,
                "TEL [fax] +1 555 010 0002", "TEL [voice] 555,,123#"));
        EXPECT_THAT(NumbersOf(cards[1].toObject()), testing::ElementsAre(HasSubstr("TEL [main")));
        EXPECT_FALSE(cards[1].toObject()["categories"].toArray().size());

        // On disk: CR LF line ends, no line over 75 bytes, none splitting a character.
        const std::string bytes = testing_support::ReadBytes(file);
        std::size_t lines = 0;
        for (std::size_t begin = 0, end; (end = bytes.find("\r\n", begin)) != std::string::npos;
             begin = end + 2) {
            const QByteArray line = QByteArray::fromStdString(bytes.substr(begin, end - begin));
            EXPECT_LE(line.size(), 75);
            EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line) << "a split character";
            ++lines;
        }
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::ptrdiff_t(lines));
    }
}

// Import, export, import: the same contacts, and nothing added to the list it came from.
TEST_F(ContactExchangeTest, RoundTripIsStable)
{
    Import(kAddressBook30);
    contacts.GetAt(1)->SetLabelIndex(0, 9); // IPPhone: no vCard type of its own
    contacts.GetAt(1)->ComposeDisplayName(&contacts.Labels());
    for (VCardVersion version : { VCardVersion::V3, VCardVersion::V4 }) {
        const std::string text = ContactExchange::ExportText(contacts, version);
        EXPECT_EQ(Import(text).duplicates, contacts.Count());
        ContactStore copy;
        copy.Groups().Load(dir / "no-groups.csv");
        ContactExchange::Import(text, copy);
        ASSERT_EQ(copy.Count(), contacts.Count());
        for (std::size_t i = 0; i < copy.Count(); ++i) {
            const ContactRecord& a = *copy.GetAt(i);
            const ContactRecord& b = *contacts.GetAt(i);
            for (std::size_t field = 0; field < kContactFieldCount; ++field)
                EXPECT_EQ(a.Text(ContactField(field)), b.Text(ContactField(field))) << "field " << field;
            EXPECT_EQ(Numbers(a), Numbers(b));
            EXPECT_EQ(a.DefaultNumberIndex(), b.DefaultNumberIndex());
        }
        EXPECT_EQ(ContactExchange::ExportText(copy, version), text);
    }
}

} // namespace
