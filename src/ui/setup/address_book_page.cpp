#include "ui/setup/address_book_page.h"

#include "links/password_vault.h"
#include "settings/prompter.h"
#include "settings/settings_store.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

AddressBookPage::AddressBookPage(SetupContext& context, QWidget* parent)
    : SetupPage(parent)
    , m_context(context)
{
    const std::string url = m_context.settings.Read(Settings::kAddressBookUrl);
    const std::string user = m_context.settings.Read(Settings::kAddressBookUser);
    m_storedKey = url.empty() ? std::string() : PasswordKey(url, user);
    m_url = new QLineEdit(QString::fromStdString(url));
    m_url->setObjectName("addressBookUrl");
    m_url->setPlaceholderText("https://dav.example.com/");
    m_user = new QLineEdit(QString::fromStdString(user));
    m_user->setObjectName("addressBookUser");
    m_password = new QLineEdit;
    m_password->setObjectName("addressBookPassword");
    m_password->setEchoMode(QLineEdit::Password);
    if (!m_storedKey.empty() && m_context.passwords != nullptr)
        m_password->setText(QString::fromStdString(m_context.passwords->Read(m_storedKey)));
    auto* note = new QLabel(tr("The contacts are kept in step with this CardDAV address book (shared with "
                               "colleagues) at start-up and every few minutes; changes made while the "
                               "server cannot be reached are sent later. The server's address, the "
                               "user's principal or the address book itself will do. Leave the address "
                               "empty for no shared address book."));
    note->setWordWrap(true);
    note->setTextFormat(Qt::PlainText);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Server &URL:"), m_url);
    layout->addRow(tr("&User:"), m_user);
    layout->addRow(tr("&Password:"), m_password);
    layout->addRow(note);
}

std::string AddressBookPage::PasswordKey(const std::string& url, const std::string& user)
{
    return user + '@' + url;
}

void AddressBookPage::StoreValues()
{
    const std::string url = m_url->text().trimmed().toStdString();
    const std::string user = m_user->text().trimmed().toStdString();
    const QUrl parsed(QString::fromStdString(url));
    if (!url.empty() && (!parsed.isValid() || (parsed.scheme() != "http" && parsed.scheme() != "https"))) {
        m_context.prompter.ShowMessage(
            tr("The address book was not changed: \"%1\" is no http:// or https:// "
               "address.")
                .arg(QString::fromStdString(url))
                .toStdString(),
            "Kestrium", Prompter::Icon::Exclamation);
        return;
    }
    m_context.settings.Write(Settings::kAddressBookUrl, url);
    m_context.settings.Write(Settings::kAddressBookUser, user);
    if (m_context.passwords == nullptr)
        return;
    const std::string key = url.empty() ? std::string() : PasswordKey(url, user);
    if (!m_storedKey.empty() && m_storedKey != key)
        m_context.passwords->Forget(m_storedKey);
    m_storedKey = key;
    if (key.empty())
        return;
    std::string error;
    if (!m_context.passwords->Store(key, m_password->text().toStdString(), error))
        m_context.prompter.ShowMessage(tr("The address book password could not be kept: %1.")
                                           .arg(QString::fromStdString(error))
                                           .toStdString(),
            "Kestrium", Prompter::Icon::Exclamation);
}
