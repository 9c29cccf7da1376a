#pragma once

#include "links/address_book_sync.h"

#include <QObject>
#include <QTimer>

#include <filesystem>

class ContactStore;
class MainWindow;
class PasswordVault;
class Prompter;
class SettingsStore;

// The shared address book as the program runs it: syncs the contacts with the account of the
// settings at start, every few minutes and when the account changes; shows its state and the
// progress of a long sync in the main window's status bar, refills the contacts tab when the
// server's changes came in, and tells the user of conflicts (both versions were kept). The
// window's "Synchronise address book now" starts a sync at once.
class SharedAddressBook : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 5 * 60 * 1000;

    SharedAddressBook(ContactStore& contacts, SettingsStore& settings, PasswordVault& passwords,
        MainWindow& window, Prompter& prompter, const std::filesystem::path& dataFolder);

    // The account of the settings and the password store; empty URL: none.
    AddressBookAccount Account() const;
    // Starts a sync in the background unless one runs or no account is set.
    void SyncSoon();
    // The user's "Synchronise address book now": like SyncSoon, and a failure is also told in a
    // message.
    void SyncOnRequest();
    // After the setup dialog: a new account starts afresh, a removed one drops the map.
    void AccountChanged();
    AddressBookSync& Sync() { return m_sync; }

private:
    void ShowResult();
    // The window's "Synchronise address book now" is enabled while an account is set and no sync
    // runs.
    void UpdateSyncAction();

    SettingsStore& m_settings;
    PasswordVault& m_passwords;
    MainWindow& m_window;
    Prompter& m_prompter;
    AddressBookSync m_sync;
    QTimer m_timer;
    bool m_requested = false; // the running sync was asked for by the user
};
