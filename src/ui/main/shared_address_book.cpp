#include "ui/main/shared_address_book.h"

#include "links/password_vault.h"
#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "ui/main/main_window.h"
#include "ui/panels/contacts_panel.h"
#include "ui/setup/address_book_page.h"

#include <QAction>
#include <QApplication>
#include <QLabel>

#include <utility>

SharedAddressBook::SharedAddressBook(ContactStore& contacts, SettingsStore& settings,
    PasswordVault& passwords, MainWindow& window, Prompter& prompter, const std::filesystem::path& dataFolder)
    : m_settings(settings)
    , m_passwords(passwords)
    , m_window(window)
    , m_prompter(prompter)
    , m_sync(contacts, dataFolder)
{
    // A dialog may hold a contact's position: the server's changes wait until it is closed.
    m_sync.SetApplyGate([] { return QApplication::activeModalWidget() == nullptr; });
    connect(&m_sync, &AddressBookSync::Progress, this,
        [this](qint64 done, qint64 total) { m_window.ShowAddressBookProgress(done, total); });
    connect(&m_sync, &AddressBookSync::Finished, this, &SharedAddressBook::ShowResult);
    connect(&m_timer, &QTimer::timeout, this, &SharedAddressBook::SyncSoon);
    connect(m_window.Action("actionSyncAddressBook"), &QAction::triggered, this,
        &SharedAddressBook::SyncOnRequest);
    m_timer.start(kIntervalMs);
    UpdateSyncAction();
}

AddressBookAccount SharedAddressBook::Account() const
{
    AddressBookAccount account;
    account.url = m_settings.Read(Settings::kAddressBookUrl);
    account.user = m_settings.Read(Settings::kAddressBookUser);
    if (!account.url.empty())
        account.password = m_passwords.Read(AddressBookPage::PasswordKey(account.url, account.user));
    return account;
}

void SharedAddressBook::SyncSoon()
{
    const AddressBookAccount account = Account();
    if (!account.IsSet()) {
        m_window.ShowAddressBookStatus({});
    } else if (m_sync.Start(account)) {
        m_window.ShowAddressBookStatus(tr("Address book: synchronising ..."));
        m_window.ShowAddressBookProgress(0, -1);
    }
    UpdateSyncAction();
}

void SharedAddressBook::SyncOnRequest()
{
    if (m_sync.IsRunning())
        return;
    m_requested = true;
    SyncSoon();
    m_requested = m_sync.IsRunning();
}

void SharedAddressBook::UpdateSyncAction()
{
    m_window.Action("actionSyncAddressBook")
        ->setEnabled(!m_settings.Read(Settings::kAddressBookUrl).empty() && !m_sync.IsRunning());
}

void SharedAddressBook::AccountChanged()
{
    // Another account's map is replaced by the next sync; without an account it is dropped.
    if (!Account().IsSet() && !m_sync.IsRunning())
        m_sync.Forget();
    SyncSoon();
}

void SharedAddressBook::ShowResult()
{
    const AddressBookReport& report = m_sync.LastReport();
    const bool requested = std::exchange(m_requested, false);
    UpdateSyncAction();
    m_window.ShowAddressBookProgress(0, 0);
    m_window.ShowAddressBookStatus(QString::fromStdString(report.Summary()));
    m_window.AddressBookStatus()->setToolTip(QString::fromStdString(report.error));
    if (report.received + report.removedHere != 0)
        m_window.Contacts()->FillContactTree(true);
    if (!report.conflicts.empty()) {
        std::string text
            = tr("Contacts changed on the address book server and here at the same time:").toStdString();
        for (const std::string& conflict : report.conflicts)
            text += "\n" + conflict;
        m_prompter.ShowMessage(text, "Kestrium", Prompter::Icon::Information);
    }
    // A sync the user asked for says why it failed; the automatic ones only in the status bar.
    if (requested && !report.ok)
        m_prompter.ShowMessage(tr("The address book could not be synchronised: %1")
                                   .arg(QString::fromStdString(report.error))
                                   .toStdString(),
            "Kestrium", Prompter::Icon::Exclamation);
}
