// The shared address book against a real Radicale: first sync, changes both ways, conflicts,
// deletions and offline work, with the data folder's files checked on disk.
#include "links/address_book_sync.h"
#include "links/password_vault.h"
#include "radicale_server.h"
#include "store/contact_store.h"
#include "store/data_folder.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;
using testing_support::ReadBytes;

namespace {

class QtApp : public ::testing::Environment {
public:
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[8] = "links";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QCoreApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_qt = ::testing::AddGlobalTestEnvironment(new QtApp);

ContactRecord Contact(std::string_view first, std::string_view last, std::string_view number)
{
    ContactRecord record;
    record.SetFirstName(first);
    record.SetLastName(last);
    record.SetNumber(0, number);
    return record;
}

bool HasNumber(const ContactRecord& record, std::string_view number)
{
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        if (record.Number(slot) == number)
            return true;
    }
    return false;
}

// Positions of the contacts whose first name is `first`.
std::vector<std::size_t> Named(const ContactStore& contacts, std::string_view first)
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < contacts.Count(); ++i) {
        if (contacts.GetAt(i)->FirstName() == first)
            found.push_back(i);
    }
    return found;
}

class AddressBookSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_contacts = OpenContactStore(m_data.Path());
        m_contacts.Append(Contact("Ada", "Local", "+44 20 7946 0001"));
        m_contacts.Append(Contact("Bob", "Local", "+44 20 7946 0002"));
        ASSERT_TRUE(SaveContacts(m_contacts, m_data.Path()));
    }

    AddressBookAccount Account() const
    {
        return { m_server.ServerUrl().toString().toStdString(), RadicaleServer::kUser,
            RadicaleServer::kPassword };
    }

    AddressBookReport Sync() { return m_sync->SyncNow(Account()); }
    // Three cards on the server, synced here; then First1's note edited here ("Edited here").
    void SyncThreeThenEditFirst1Here()
    {
        m_server.Seed(3);
        ASSERT_TRUE(m_server.Start());
        ASSERT_TRUE(Sync().ok);
        ContactRecord edited(*m_contacts.GetAt(Only("First1")));
        edited.SetNote("Edited here");
        m_contacts.Replace(Only("First1"), edited);
    }

    std::size_t Only(std::string_view first)
    {
        const std::vector<std::size_t> found = Named(m_contacts, first);
        EXPECT_EQ(found.size(), 1u) << first;
        return found.empty() ? 0 : found.front();
    }

    testing_support::TempDir m_data;
    RadicaleServer m_server;
    ContactStore m_contacts;
    std::unique_ptr<AddressBookSync> m_sync = std::make_unique<AddressBookSync>(m_contacts, m_data.Path());
};

TEST_F(AddressBookSyncTest, FirstSyncOfAThousandThenChangesBothWays)
{
    m_server.Seed(1000);
    ASSERT_TRUE(m_server.Start());

    std::vector<qint64> progress;
    QObject::connect(
        m_sync.get(), &AddressBookSync::Progress, [&](qint64 done, qint64) { progress.push_back(done); });
    AddressBookReport report = Sync();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.received, 1000u);
    EXPECT_EQ(report.sent, 2u);
    EXPECT_EQ(report.pending, 0u);
    EXPECT_EQ(m_contacts.Count(), 1002u);
    EXPECT_EQ(m_server.CardCount(), 1002);
    EXPECT_GE(progress.size(), 3u);
    EXPECT_EQ(m_sync->Map().bookUrl, m_server.BookUrl().toString().toStdString());
    EXPECT_FALSE(m_sync->Map().syncToken.empty());
    const std::size_t seed17 = Only("First17");
    EXPECT_TRUE(HasNumber(*m_contacts.GetAt(seed17), "+1 555 0000017"));
    EXPECT_EQ(m_contacts.GetAt(seed17)->Group(), "Business");

    // What was saved is what a restart loads; a sync without changes leaves the files alone.
    ContactStore reloaded = OpenContactStore(m_data.Path());
    LoadContacts(reloaded, m_data.Path());
    EXPECT_EQ(reloaded.Count(), 1002u);
    const std::string contactsBytes = ReadBytes(m_data / "KestriumContacts200.csv");
    EXPECT_EQ(contactsBytes.find("seed-"), std::string::npos) << "no card ids in the contacts file";
    report = Sync();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.received + report.sent, 0u);
    EXPECT_EQ(ReadBytes(m_data / "KestriumContacts200.csv"), contactsBytes);

    // A colleague changes a number on the server: the next sync brings it.
    std::string card = RadicaleServer::SeedCard(17);
    card.replace(card.find("+1 555 0000017"), 14, "+1 555 7777777");
    ASSERT_EQ(m_server.Put("seed-17.vcf", card), 201);
    report = Sync();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.received, 1u);
    EXPECT_TRUE(HasNumber(*m_contacts.GetAt(Only("First17")), "+1 555 7777777"));
    EXPECT_FALSE(HasNumber(*m_contacts.GetAt(Only("First17")), "+1 555 0000017"));

    // An edit here reaches the server, and the card keeps what the contact does not hold.
    ContactRecord edited(*m_contacts.GetAt(Only("First42")));
    edited.SetNote("Prefers mornings");
    m_contacts.Replace(Only("First42"), edited);
    SaveContacts(m_contacts, m_data.Path());
    EXPECT_EQ(m_sync->PendingChanges(), 1u);
    report = Sync();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.sent, 1u);
    std::string body;
    ASSERT_EQ(m_server.Get("seed-42.vcf", &body), 200);
    EXPECT_NE(body.find("NOTE:Prefers mornings"), std::string::npos) << body;
    EXPECT_NE(body.find("BDAY:1980-01-01"), std::string::npos) << body;
    EXPECT_NE(body.find("UID:seed-42"), std::string::npos) << body;
}

TEST_F(AddressBookSyncTest, ConflictingEditKeepsBothVersions)
{
    ASSERT_NO_FATAL_FAILURE(SyncThreeThenEditFirst1Here());
    std::string card = RadicaleServer::SeedCard(1);
    card.replace(card.find("+1 555 0000001"), 14, "+1 555 2222222");
    ASSERT_EQ(m_server.Put("seed-1.vcf", card), 201);

    const AddressBookReport report = Sync();
    ASSERT_TRUE(report.ok) << report.error;
    ASSERT_EQ(report.conflicts.size(), 1u);
    EXPECT_NE(report.conflicts[0].find("First1 Last1"), std::string::npos) << report.conflicts[0];
    const std::vector<std::size_t> both = Named(m_contacts, "First1");
    ASSERT_EQ(both.size(), 2u);
    const ContactRecord& first = *m_contacts.GetAt(both[0]);
    const ContactRecord& second = *m_contacts.GetAt(both[1]);
    const ContactRecord& mine = first.Note().empty() ? second : first;
    const ContactRecord& theirs = first.Note().empty() ? first : second;
    EXPECT_EQ(mine.Note(), "Edited here");
    EXPECT_TRUE(HasNumber(mine, "+1 555 0000001"));
    EXPECT_EQ(theirs.Note(), "");
    EXPECT_TRUE(HasNumber(theirs, "+1 555 2222222"));
    EXPECT_EQ(m_server.CardCount(), 6); // 3 seeded, 2 from here, the local version of First1
    std::string body;
    ASSERT_EQ(m_server.Get("seed-1.vcf", &body), 200);
    EXPECT_NE(body.find("+1 555 2222222"), std::string::npos) << "the colleague's card stays as it was";
    EXPECT_NE(report.Summary().find("conflict"), std::string::npos) << report.Summary();

    // Settled: the next sync finds nothing to do.
    const AddressBookReport again = Sync();
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.received + again.sent + again.conflicts.size(), 0u);
}

TEST_F(AddressBookSyncTest, DeletionsGoBothWays)
{
    m_server.Seed(3);
    ASSERT_TRUE(m_server.Start());
    ASSERT_TRUE(Sync().ok);
    ASSERT_EQ(m_server.CardCount(), 5);

    ASSERT_EQ(m_server.Delete("seed-2.vcf"), 200);
    AddressBookReport report = Sync();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.removedHere, 1u);
    EXPECT_TRUE(Named(m_contacts, "First2").empty());
    EXPECT_EQ(m_contacts.Count(), 4u);

    m_contacts.RemoveAt(Only("First0"));
    m_contacts.RemoveAt(Only("Ada"));
    report = Sync();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.removedThere, 2u);
    EXPECT_EQ(m_server.Get("seed-0.vcf"), 404);
    EXPECT_EQ(m_server.CardCount(), 2);
    EXPECT_EQ(m_contacts.Count(), 2u);
}

TEST_F(AddressBookSyncTest, OfflineEditIsSentOnceTheServerIsBack)
{
    m_server.Seed(2);
    ASSERT_TRUE(m_server.Start());
    ASSERT_TRUE(Sync().ok);
    m_server.Stop();

    ContactRecord edited(*m_contacts.GetAt(Only("First0")));
    edited.SetTitle("Night shift");
    m_contacts.Replace(Only("First0"), edited);
    m_contacts.Append(Contact("Cleo", "Offline", "+44 20 7946 0003"));
    ASSERT_TRUE(SaveContacts(m_contacts, m_data.Path()));
    AddressBookReport report = Sync();
    EXPECT_FALSE(report.ok);
    EXPECT_FALSE(report.reached);
    EXPECT_EQ(report.pending, 2u);
    EXPECT_NE(report.Summary().find("offline"), std::string::npos) << report.Summary();

    // The queue is the contacts file against the map: it survives a restart of the program.
    m_sync.reset();
    ContactStore restarted = OpenContactStore(m_data.Path());
    LoadContacts(restarted, m_data.Path());
    AddressBookSync sync(restarted, m_data.Path());
    EXPECT_EQ(sync.PendingChanges(), 2u);
    ASSERT_TRUE(m_server.Start());
    report = sync.SyncNow(Account());
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.sent, 2u);
    EXPECT_EQ(report.pending, 0u);
    std::string body;
    ASSERT_EQ(m_server.Get("seed-0.vcf", &body), 200);
    EXPECT_NE(body.find("TITLE:Night shift"), std::string::npos) << body;
    EXPECT_EQ(m_server.CardCount(), 5);
}

TEST_F(AddressBookSyncTest, SyncOnAWorkerThreadAndWrongPassword)
{
    m_server.Seed(5);
    ASSERT_TRUE(m_server.Start());
    int finished = 0;
    QObject::connect(m_sync.get(), &AddressBookSync::Finished, [&] { ++finished; });
    ASSERT_TRUE(m_sync->Start(Account()));
    EXPECT_FALSE(m_sync->Start(Account())) << "one sync at a time";
    EXPECT_TRUE(testing_support::WaitUntil([&] {
        QCoreApplication::processEvents();
        return finished == 1;
    }));
    EXPECT_TRUE(m_sync->LastReport().ok) << m_sync->LastReport().error;
    EXPECT_EQ(m_contacts.Count(), 7u);

    AddressBookAccount wrong = Account();
    wrong.password = "wrong";
    const AddressBookReport report = m_sync->SyncNow(wrong);
    EXPECT_FALSE(report.ok);
    EXPECT_FALSE(report.reached);
    EXPECT_NE(report.error.find("password"), std::string::npos) << report.error;
    EXPECT_EQ(m_contacts.Count(), 7u);
}

// A colleague writes between this seat's reading of the changes and its own writes: the server
// refuses the edit and the removal with 412 (If-Match), the edit keeps both versions and the
// removed card comes back.
TEST_F(AddressBookSyncTest, WritesRefusedWith412KeepBothVersions)
{
    ASSERT_NO_FATAL_FAILURE(SyncThreeThenEditFirst1Here());
    m_contacts.RemoveAt(Only("First2"));
    bool written = false;
    QObject::connect(m_sync.get(), &AddressBookSync::Progress, [&] {
        if (std::exchange(written, true))
            return;
        std::string card = RadicaleServer::SeedCard(1);
        card.replace(card.find("+1 555 0000001"), 14, "+1 555 2222222");
        EXPECT_EQ(m_server.Put("seed-1.vcf", card), 201);
        card = RadicaleServer::SeedCard(2);
        card.insert(card.find("END:VCARD"), "NOTE:Kept by a colleague\r\n");
        EXPECT_EQ(m_server.Put("seed-2.vcf", card), 201);
    });

    const AddressBookReport report = Sync();
    ASSERT_TRUE(written);
    ASSERT_TRUE(report.ok) << report.error;
    ASSERT_EQ(report.conflicts.size(), 2u);
    const std::vector<std::size_t> both = Named(m_contacts, "First1");
    ASSERT_EQ(both.size(), 2u);
    const ContactRecord& first = *m_contacts.GetAt(both[0]);
    const ContactRecord& mine = first.Note().empty() ? *m_contacts.GetAt(both[1]) : first;
    const ContactRecord& theirs = first.Note().empty() ? first : *m_contacts.GetAt(both[1]);
    EXPECT_EQ(mine.Note(), "Edited here");
    EXPECT_TRUE(HasNumber(mine, "+1 555 0000001"));
    EXPECT_TRUE(HasNumber(theirs, "+1 555 2222222"));
    EXPECT_EQ(m_contacts.GetAt(Only("First2"))->Note(), "Kept by a colleague");
    std::string body;
    ASSERT_EQ(m_server.Get("seed-1.vcf", &body), 200);
    EXPECT_EQ(body.find("Edited here"), std::string::npos) << "the colleague's card is not overwritten";
    EXPECT_EQ(m_server.Get("seed-2.vcf"), 200);
    EXPECT_EQ(m_server.CardCount(), 6); // 3 seeded, 2 from here, the local version of First1

    const AddressBookReport again = Sync();
    EXPECT_TRUE(again.ok) << again.error;
    EXPECT_EQ(again.received + again.sent + again.removedThere + again.conflicts.size(), 0u);
}

// A server without sync-collection, refusing it with 403 or 501: every sync lists the ETags and
// fetches only the cards whose ETag changed.
class AddressBookWithoutSyncCollectionTest : public AddressBookSyncTest,
                                             public ::testing::WithParamInterface<int> {
protected:
    AddressBookReport SyncThroughProxy()
    {
        AddressBookAccount account = Account();
        account.url = m_proxy.ServerUrl().toString().toStdString();
        return m_sync->SyncNow(account);
    }

    NoSyncProxy m_proxy{ m_server, GetParam() };
};

TEST_P(AddressBookWithoutSyncCollectionTest, ETagsFindChangesAndDeletionsBothWays)
{
    m_server.Seed(3);
    ASSERT_TRUE(m_server.Start());
    ASSERT_TRUE(m_proxy.Start());
    AddressBookReport report = SyncThroughProxy();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.received, 3u);
    EXPECT_EQ(report.sent, 2u);
    EXPECT_EQ(m_proxy.Refused(), 1);
    EXPECT_TRUE(m_sync->Map().syncToken.empty());
    EXPECT_EQ(m_server.CardCount(), 5);

    // A colleague changes one card and removes another; this seat edits a third.
    std::string card = RadicaleServer::SeedCard(1);
    card.replace(card.find("+1 555 0000001"), 14, "+1 555 3333333");
    ASSERT_EQ(m_server.Put("seed-1.vcf", card), 201);
    ASSERT_EQ(m_server.Delete("seed-2.vcf"), 200);
    ContactRecord edited(*m_contacts.GetAt(Only("First0")));
    edited.SetNote("Edited without sync-collection");
    m_contacts.Replace(Only("First0"), edited);
    report = SyncThroughProxy();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(m_proxy.Refused(), 2);
    EXPECT_EQ(report.received, 1u);
    EXPECT_EQ(report.removedHere, 1u);
    EXPECT_EQ(report.sent, 1u);
    EXPECT_TRUE(HasNumber(*m_contacts.GetAt(Only("First1")), "+1 555 3333333"));
    EXPECT_TRUE(Named(m_contacts, "First2").empty());
    std::string body;
    ASSERT_EQ(m_server.Get("seed-0.vcf", &body), 200);
    EXPECT_NE(body.find("NOTE:Edited without sync-collection"), std::string::npos) << body;

    // Unchanged ETags: nothing is fetched or sent.
    report = SyncThroughProxy();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.received + report.removedHere + report.sent + report.removedThere, 0u);

    // A contact removed here is removed on the server.
    m_contacts.RemoveAt(Only("Bob"));
    report = SyncThroughProxy();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.removedThere, 1u);
    EXPECT_EQ(m_server.CardCount(), 3);
    EXPECT_EQ(m_contacts.Count(), 3u);
}

INSTANTIATE_TEST_SUITE_P(RefusedWith, AddressBookWithoutSyncCollectionTest, ::testing::Values(403, 501));

TEST(PasswordVaultTest, WithoutSecretServiceThePasswordGoesToAPrivateFile)
{
    testing_support::TempDir folder;
    PasswordVault vault("kestrium-test", folder / "secrets");
    std::string error;
    ASSERT_TRUE(vault.Store("office@http://dav", "s3cret", error)) << error;
    const fs::path file = vault.FallbackFile("office@http://dav");
    struct stat info { };
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((folder / "secrets").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(vault.Read("office@http://dav"), "s3cret");
    EXPECT_EQ(vault.Read("other@http://dav"), "");
    ASSERT_TRUE(vault.Store("office@http://dav", "changed", error));
    EXPECT_EQ(vault.Read("office@http://dav"), "changed");
    vault.Forget("office@http://dav");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(vault.Read("office@http://dav"), "");
}

} // namespace
