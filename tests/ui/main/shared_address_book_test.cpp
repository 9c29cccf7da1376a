// The shared address book in the running program: the account from the settings and the password
// store, the sync at start-up on its worker thread, the status bar, the contacts tab and the
// message about a conflict.
#include "links/password_vault.h"
#include "links/radicale_server.h"
#include "running_app.h"
#include "store/contact_store.h"
#include "store/data_folder.h"
#include "support/tool_run.h"
#include "ui/main/shared_address_book.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/contacts_panel.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>

namespace {

class SharedAddressBookTest : public RunningApp {
protected:
    void Configure()
    {
        const std::string url = m_server.ServerUrl().toString().toStdString();
        m_settings.Write(Settings::kAddressBookUrl, url);
        m_settings.Write(Settings::kAddressBookUser, RadicaleServer::kUser);
        PasswordVault vault("Kestrium", m_dir / "KestriumSecrets");
        std::string error;
        ASSERT_TRUE(
            vault.Store(std::string(RadicaleServer::kUser) + "@" + url, RadicaleServer::kPassword, error))
            << error;
    }

    // Waits for the sync under way (the network works on a thread of its own).
    bool WaitForSync(MainWindow& window)
    {
        return testing_support::WaitUntil([&] {
            Settle();
            return !m_app->AddressBook()->Sync().IsRunning()
                && window.AddressBookStatus()->text().contains("synchronised");
        });
    }

    RadicaleServer m_server;
};

TEST_F(SharedAddressBookTest, StartUpSyncFillsTheContactsTabAndTheStatusBar)
{
    m_server.Seed(3);
    ASSERT_TRUE(m_server.Start());
    Configure();
    {
        ContactStore contacts = OpenContactStore(m_dir.Path());
        ContactRecord local;
        local.SetFirstName("Local");
        local.SetNumber(0, "555 0100");
        contacts.Append(local);
        ASSERT_TRUE(SaveContacts(contacts, m_dir.Path()));
    }
    MainWindow& window = Start();
    ASSERT_TRUE(WaitForSync(window)) << window.AddressBookStatus()->text().toStdString();
    EXPECT_EQ(window.AddressBookStatus()->text(), "Address book synchronised: 3 received, 1 sent");
    EXPECT_TRUE(window.AddressBookStatus()->isVisible());
    EXPECT_FALSE(window.AddressBookProgress()->isVisible());
    EXPECT_EQ(window.Contacts()->Model()->ShownCount(), 4u);
    EXPECT_EQ(m_server.CardCount(), 4);
    EXPECT_TRUE(m_prompter.messages.empty());

    // A colleague and this seat change the same card: both versions stay, and the user is told.
    ContactStore& contacts = m_app->Contacts();
    for (std::size_t i = 0; i < contacts.Count(); ++i) {
        if (contacts.GetAt(i)->FirstName() == "First2") {
            ContactRecord edited(*contacts.GetAt(i));
            edited.SetNote("Edited at this seat");
            contacts.Replace(i, edited);
        }
    }
    std::string card = RadicaleServer::SeedCard(2);
    card.insert(card.find("END:VCARD"), "NOTE:Edited by a colleague\r\n");
    ASSERT_EQ(m_server.Put("seed-2.vcf", card), 201);
    m_app->AddressBook()->SyncSoon();
    EXPECT_EQ(window.AddressBookStatus()->text(), "Address book: synchronising ...");
    ASSERT_TRUE(WaitForSync(window));
    EXPECT_EQ(window.Contacts()->Model()->ShownCount(), 5u);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_NE(m_prompter.messages[0].text.find("\"First2 Last2\" was changed on the server and here"),
        std::string::npos)
        << m_prompter.messages[0].text;
    EXPECT_NE(window.AddressBookStatus()->text().indexOf("1 conflict"), -1)
        << window.AddressBookStatus()->text().toStdString();
    Stop();
}

TEST_F(SharedAddressBookTest, AnUnreachableServerLeavesTheChangesWaiting)
{
    Configure();
    {
        ContactStore contacts = OpenContactStore(m_dir.Path());
        ContactRecord local;
        local.SetFirstName("Waiting");
        contacts.Append(local);
        ASSERT_TRUE(SaveContacts(contacts, m_dir.Path()));
    }
    MainWindow& window = Start();
    ASSERT_TRUE(testing_support::WaitUntil([&] {
        Settle();
        return window.AddressBookStatus()->text().contains("offline");
    }));
    EXPECT_EQ(window.AddressBookStatus()->text(), "Address book offline: 1 change waiting");
    EXPECT_NE(window.AddressBookStatus()->toolTip().indexOf("cannot be reached"), -1)
        << window.AddressBookStatus()->toolTip().toStdString();
    EXPECT_TRUE(m_prompter.messages.empty()) << "no message box for a server that is away";
    Stop();
}

TEST_F(SharedAddressBookTest, SyncNowFromTheMenuIsEnabledOnlyWithAnAccountAndWhileIdle)
{
    MainWindow& window = Start();
    QAction* syncNow = window.Action("actionSyncAddressBook");
    ASSERT_NE(syncNow, nullptr);
    EXPECT_FALSE(syncNow->isEnabled()) << "no account set";

    m_server.Seed(2);
    ASSERT_TRUE(m_server.Start());
    Configure();
    m_app->AddressBook()->AccountChanged();
    EXPECT_FALSE(syncNow->isEnabled()) << "disabled while the sync runs";
    ASSERT_TRUE(WaitForSync(window));
    EXPECT_TRUE(syncNow->isEnabled());
    EXPECT_EQ(window.Contacts()->Model()->ShownCount(), 2u);

    // A colleague adds a card: "Synchronise now" brings it at once, with the progress shown.
    ASSERT_EQ(m_server.Put("colleague.vcf",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:colleague\r\nN:Added;Just;;;\r\nFN:Just Added\r\n"
                  "TEL:+1 555 0100\r\nEND:VCARD\r\n"),
        201);
    syncNow->trigger();
    EXPECT_FALSE(syncNow->isEnabled());
    EXPECT_EQ(window.AddressBookStatus()->text(), "Address book: synchronising ...");
    EXPECT_TRUE(window.AddressBookProgress()->isVisible());
    ASSERT_TRUE(WaitForSync(window));
    EXPECT_EQ(window.AddressBookStatus()->text(), "Address book synchronised: 1 received, 0 sent");
    EXPECT_EQ(window.Contacts()->Model()->ShownCount(), 3u);
    EXPECT_TRUE(m_prompter.messages.empty());

    // With the server away, the sync the user asked for says why it failed.
    m_server.Stop();
    syncNow->trigger();
    ASSERT_TRUE(testing_support::WaitUntil([&] {
        Settle();
        return syncNow->isEnabled();
    }));
    EXPECT_EQ(window.AddressBookStatus()->text(), "Address book offline");
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_NE(m_prompter.messages[0].text.find("could not be synchronised"), std::string::npos)
        << m_prompter.messages[0].text;
    EXPECT_NE(m_prompter.messages[0].text.find("cannot be reached"), std::string::npos)
        << m_prompter.messages[0].text;

    // Without an account the command is off again.
    m_settings.Write(Settings::kAddressBookUrl, "");
    m_app->AddressBook()->AccountChanged();
    EXPECT_FALSE(syncNow->isEnabled());
    Stop();
}

} // namespace
