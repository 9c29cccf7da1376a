#pragma once

#include "telephony/exchange_config_file.h"

#include <QDialog>

#include <functional>
#include <string>

class Prompter;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The SIP account of an IP line: address, registrar, outbound proxy, transport, registration and
// password. OK writes the account into the exchange configuration file (the rest of the file
// unchanged), the password into the line's private password file, and asks the service to apply
// it at once. Mistakes keep the dialog open with what was typed.
class SipAccountDialog : public QDialog {
    Q_OBJECT

public:
    // Asks the service to apply the configuration file now; false with its reason.
    using Reload = std::function<bool(std::string& error)>;

    // `lineSettings`, when given, shows the line's own settings (its no-answer time-out), as
    // "Config..." does on the other rows.
    SipAccountDialog(const std::string& lineName, Prompter& prompter, Reload reload,
        std::function<void()> lineSettings = {}, QWidget* parent = nullptr);

    void accept() override;

private:
    QGroupBox* CreateAccountGroup();
    void ShowAccount(const SipAccountFields& account);
    // The fields as an account; false (after telling the user) when the address is not user@domain.
    bool ReadFields(SipAccountFields& account);
    std::string PasswordPath() const;
    void Tell(const QString& text);

    std::string m_lineName;
    Prompter& m_prompter;
    Reload m_reload;
    ExchangeConfigFile m_file;
    std::string m_passwordFile; // the account's password-file key; empty: the default file
    QGroupBox* m_account = nullptr;
    QLineEdit* m_displayName = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_authUser = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_registrar = nullptr;
    QLineEdit* m_outboundProxy = nullptr;
    QLineEdit* m_fallbackProxy = nullptr;
    QComboBox* m_transport = nullptr;
    QLineEdit* m_localAddress = nullptr;
    QSpinBox* m_localPort = nullptr;
    QCheckBox* m_register = nullptr;
    QCheckBox* m_presentAsAnalog = nullptr;
    QLabel* m_problem = nullptr;
};
