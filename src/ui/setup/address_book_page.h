#pragma once

#include "ui/setup/setup_page.h"

#include <string>

class QLineEdit;

// The setup dialog's address book page: the CardDAV server URL, user and password of the shared
// address book. The URL and user go to the settings, the password to the PasswordVault (the
// desktop's secret store, else a private file). An empty URL turns the shared address book off
// and forgets the password.
class AddressBookPage : public SetupPage {
    Q_OBJECT

public:
    AddressBookPage(SetupContext& context, QWidget* parent);

    void StoreValues() override;

    QLineEdit* UrlField() const { return m_url; }
    QLineEdit* UserField() const { return m_user; }
    QLineEdit* PasswordField() const { return m_password; }

    // The secret store's entry of an account ("user@url").
    static std::string PasswordKey(const std::string& url, const std::string& user);

private:
    SetupContext& m_context;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    std::string m_storedKey;
};
