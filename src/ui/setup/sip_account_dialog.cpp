#include "ui/setup/sip_account_dialog.h"

#include "settings/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

struct Transport {
    const char* key;
    const char* caption;
};
constexpr Transport kTransports[] = {
    { "udp", QT_TRANSLATE_NOOP("SipAccountDialog", "UDP") },
    { "tcp", QT_TRANSLATE_NOOP("SipAccountDialog", "TCP") },
    { "tls", QT_TRANSLATE_NOOP("SipAccountDialog", "TLS (encrypted, the server's certificate checked)") },
};

QString FromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Field(const QLineEdit* edit)
{
    return edit->text().trimmed().toStdString();
}

QLineEdit* NewField(const char* objectName, const QString& placeholder = {})
{
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setPlaceholderText(placeholder);
    return edit;
}

} // namespace

SipAccountDialog::SipAccountDialog(const std::string& lineName, Prompter& prompter, Reload reload,
    std::function<void()> lineSettings, QWidget* parent)
    : QDialog(parent)
    , m_lineName(lineName)
    , m_prompter(prompter)
    , m_reload(std::move(reload))
{
    setWindowTitle(tr("%1: SIP Account").arg(FromStd(lineName)));
    m_problem = new QLabel;
    m_problem->setObjectName("problem");
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SipAccountDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SipAccountDialog::reject);
    // The line's own settings sit apart from OK and Cancel, on the left.
    auto* bottom = new QHBoxLayout;
    if (lineSettings) {
        auto* settings = new QPushButton(tr("&No-answer time-out..."));
        settings->setObjectName("lineSettings");
        connect(settings, &QPushButton::clicked, this, std::move(lineSettings));
        bottom->addWidget(settings);
    }
    bottom->addWidget(buttons, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateAccountGroup());
    layout->addWidget(m_problem);
    layout->addLayout(bottom);

    std::string error;
    if (!m_file.Load(error) || !m_file.HasLine(lineName)) {
        const QString problem = error.empty()
            ? tr("%1 has no line \"%2\"; Kestrium must be started again first.")
                  .arg(FromStd(m_file.Path()), FromStd(lineName))
            : FromStd(error);
        m_problem->setText(
            tr("The exchange configuration cannot be changed here until it is corrected:\n%1").arg(problem));
        m_account->setEnabled(false);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
        return;
    }
    m_problem->hide();
    ShowAccount(m_file.Account(lineName));
}

QGroupBox* SipAccountDialog::CreateAccountGroup()
{
    m_account = new QGroupBox(tr("&Use this line for a SIP account"));
    m_account->setObjectName("sipAccount");
    m_account->setCheckable(true);
    m_displayName = NewField("displayName", tr("none"));
    m_address = NewField("sipAddress", tr("user@sip.example.com"));
    m_authUser = NewField("authUser", tr("the user of the SIP address"));
    m_password = NewField("password");
    m_password->setEchoMode(QLineEdit::Password);
    m_registrar = NewField("registrar", tr("sip:<domain of the address>"));
    m_outboundProxy = NewField("outboundProxy", tr("none"));
    m_fallbackProxy
        = NewField("fallbackOutboundProxy", tr("none; used when the outbound proxy stops answering"));
    m_transport = new QComboBox;
    m_transport->setObjectName("transport");
    for (const Transport& transport : kTransports)
        m_transport->addItem(tr(transport.caption), QString(transport.key));
    m_localAddress = NewField("localAddress", tr("the address of the default route"));
    m_localPort = new QSpinBox;
    m_localPort->setObjectName("localPort");
    m_localPort->setRange(0, 65535);
    m_localPort->setSpecialValueText(tr("any free port"));
    m_register = new QCheckBox(tr("&Register with the registrar (needed to receive calls)"));
    m_register->setObjectName("register");
    m_presentAsAnalog = new QCheckBox(tr("Present the line as a telephone-&network (analog) line"));
    m_presentAsAnalog->setObjectName("presentAsAnalog");
    auto* form = new QFormLayout(m_account);
    form->addRow(tr("SIP &address:"), m_address);
    form->addRow(tr("&Display name:"), m_displayName);
    form->addRow(tr("Authentication &user:"), m_authUser);
    form->addRow(tr("&Password:"), m_password);
    form->addRow(tr("Re&gistrar:"), m_registrar);
    form->addRow(tr("&Outbound proxy:"), m_outboundProxy);
    form->addRow(tr("&Fallback outbound proxy:"), m_fallbackProxy);
    form->addRow(tr("&Transport:"), m_transport);
    form->addRow(tr("&Local address:"), m_localAddress);
    form->addRow(tr("Local p&ort:"), m_localPort);
    form->addRow(m_register);
    form->addRow(m_presentAsAnalog);
    m_address->setMinimumWidth(m_address->fontMetrics().averageCharWidth() * 36);
    return m_account;
}

void SipAccountDialog::ShowAccount(const SipAccountFields& account)
{
    m_account->setChecked(account.enabled);
    m_displayName->setText(FromStd(account.displayName));
    if (!account.user.empty())
        m_address->setText(FromStd(account.user + "@" + account.domain));
    m_authUser->setText(FromStd(account.authUser));
    m_registrar->setText(FromStd(account.registrar));
    m_outboundProxy->setText(FromStd(account.outboundProxy));
    m_fallbackProxy->setText(FromStd(account.fallbackOutboundProxy));
    m_transport->setCurrentIndex(std::max(0, m_transport->findData(FromStd(account.transport))));
    m_localAddress->setText(FromStd(account.localAddress));
    m_localPort->setValue(account.localPort);
    m_register->setChecked(account.registers);
    m_presentAsAnalog->setChecked(account.presentAsAnalog);
    m_passwordFile = account.passwordFile;
    const bool stored = QFileInfo::exists(FromStd(PasswordPath()));
    m_password->setPlaceholderText(stored ? tr("stored; type to change it") : tr("none"));
}

std::string SipAccountDialog::PasswordPath() const
{
    return m_passwordFile.empty() ? ExchangeConfigFile::DefaultPasswordFile(m_lineName) : m_passwordFile;
}

bool SipAccountDialog::ReadFields(SipAccountFields& account)
{
    account.enabled = m_account->isChecked();
    account.passwordFile = m_passwordFile;
    if (!account.enabled)
        return true;
    QString address = m_address->text().trimmed();
    if (address.startsWith("sip:", Qt::CaseInsensitive))
        address = address.mid(4);
    const qsizetype at = address.indexOf('@');
    if (at <= 0 || at == address.size() - 1) {
        Tell(tr("Enter the SIP address as user@domain, for example 4921512345@sip.provider.example."));
        m_address->setFocus();
        return false;
    }
    account.user = address.left(at).toStdString();
    account.domain = address.mid(at + 1).toStdString();
    account.displayName = Field(m_displayName);
    account.authUser = Field(m_authUser);
    account.registrar = Field(m_registrar);
    account.outboundProxy = Field(m_outboundProxy);
    account.fallbackOutboundProxy = Field(m_fallbackProxy);
    account.transport = m_transport->currentData().toString().toStdString();
    account.localAddress = Field(m_localAddress);
    account.localPort = m_localPort->value();
    account.registers = m_register->isChecked();
    account.presentAsAnalog = m_presentAsAnalog->isChecked();
    return true;
}

// The password is written before the configuration, so the service never starts the account
// without it; an empty field keeps the stored password.
void SipAccountDialog::accept()
{
    SipAccountFields account;
    if (!ReadFields(account))
        return;
    std::string error;
    if (!m_file.SetAccount(m_lineName, account, error)) {
        Tell(tr("The account cannot be saved: %1").arg(FromStd(error)));
        return;
    }
    const std::string password = m_password->text().toStdString();
    if (account.enabled && !password.empty() && !WriteSipPassword(PasswordPath(), password, error)) {
        Tell(tr("The password cannot be saved: %1").arg(FromStd(error)));
        return;
    }
    if (!m_file.Save(error)) {
        Tell(tr("The account cannot be saved: %1").arg(FromStd(error)));
        return;
    }
    if (!m_reload(error))
        // The service's reason says when the account takes effect (after a call, at the next start).
        Tell(tr("The account was saved in %1, but the telephony service cannot use it now: %2.")
                 .arg(FromStd(m_file.Path()), FromStd(error)));
    QDialog::accept();
}

void SipAccountDialog::Tell(const QString& text)
{
    m_prompter.ShowMessage(text.toStdString(), windowTitle().toStdString(), Prompter::Icon::Exclamation);
}
