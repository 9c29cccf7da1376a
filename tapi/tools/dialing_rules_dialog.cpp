#include "dialing_rules_dialog.h"

#include "platform/registry.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tapi {

namespace {

constexpr int kMaxNameLength = 63;
constexpr int kMaxCodeLength = 15;

QLineEdit* CodeField(const QString& objectName, const QString& characters, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setMaxLength(kMaxCodeLength);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression("[" + characters + "]*"), field));
    return field;
}

} // namespace

DialingRulesDialog::DialingRulesDialog(
    platform::RegistryHive& hive, const QString& exampleAddress, QWidget* parent)
    : QDialog(parent)
    , m_hive(hive)
    , m_example(exampleAddress.isEmpty() ? QStringLiteral("+1 (415) 555-0100") : exampleAddress)
{
    setWindowTitle(tr("Dialing Rules"));
    SetupFields();
    SetupButtons();
    ShowLocation(DialingRules::Load(hive));
}

void DialingRulesDialog::SetupFields()
{
    auto* form = new QFormLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName("name");
    m_name->setMaxLength(kMaxNameLength);
    m_country = new QSpinBox(this);
    m_country->setObjectName("countryCode");
    m_country->setRange(1, 9999);
    m_area = CodeField("areaCode", "0-9", this);
    m_localAccess = CodeField("localAccess", "0-9*#,", this);
    m_longDistanceAccess = CodeField("longDistanceAccess", "0-9*#,", this);
    m_nationalPrefix = CodeField("nationalPrefix", "0-9", this);
    m_internationalPrefix = CodeField("internationalPrefix", "0-9", this);
    m_tone = new QRadioButton(tr("Tone"), this);
    m_tone->setObjectName("tone");
    m_pulse = new QRadioButton(tr("Pulse"), this);
    m_pulse->setObjectName("pulse");
    auto* mode = new QHBoxLayout;
    mode->addWidget(m_tone);
    mode->addWidget(m_pulse);
    mode->addStretch();
    m_preview = new QLabel(this);
    m_preview->setObjectName("preview");
    m_preview->setTextFormat(Qt::PlainText);

    form->addRow(tr("Location name:"), m_name);
    form->addRow(tr("Country code:"), m_country);
    form->addRow(tr("Area code:"), m_area);
    form->addRow(tr("To reach an outside line for local calls, dial:"), m_localAccess);
    form->addRow(tr("To reach an outside line for long-distance calls, dial:"), m_longDistanceAccess);
    form->addRow(tr("Long-distance prefix:"), m_nationalPrefix);
    form->addRow(tr("International prefix:"), m_internationalPrefix);
    form->addRow(tr("Dial using:"), mode);
    form->addRow(tr("%1 is dialled as:").arg(m_example), m_preview);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);

    for (QLineEdit* field :
        { m_name, m_area, m_localAccess, m_longDistanceAccess, m_nationalPrefix, m_internationalPrefix })
        connect(field, &QLineEdit::textChanged, this, &DialingRulesDialog::UpdatePreview);
    connect(m_country, &QSpinBox::valueChanged, this, &DialingRulesDialog::UpdatePreview);
    connect(m_tone, &QRadioButton::toggled, this, &DialingRulesDialog::UpdatePreview);
}

void DialingRulesDialog::SetupButtons()
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &DialingRulesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DialingRulesDialog::reject);
    layout()->addWidget(buttons);
}

void DialingRulesDialog::ShowLocation(const Location& location)
{
    m_name->setText(QString::fromStdString(location.name));
    m_country->setValue(static_cast<int>(location.countryCode));
    m_area->setText(QString::fromStdString(location.areaCode));
    m_localAccess->setText(QString::fromStdString(location.localAccess));
    m_longDistanceAccess->setText(QString::fromStdString(location.longDistanceAccess));
    m_nationalPrefix->setText(QString::fromStdString(location.nationalPrefix));
    m_internationalPrefix->setText(QString::fromStdString(location.internationalPrefix));
    (location.toneDialing ? m_tone : m_pulse)->setChecked(true);
    UpdatePreview();
}

Location DialingRulesDialog::CurrentLocation() const
{
    Location location;
    location.name = m_name->text().trimmed().toStdString();
    location.countryCode = static_cast<DWORD>(m_country->value());
    location.areaCode = m_area->text().toStdString();
    location.localAccess = m_localAccess->text().toStdString();
    location.longDistanceAccess = m_longDistanceAccess->text().toStdString();
    location.nationalPrefix = m_nationalPrefix->text().toStdString();
    location.internationalPrefix = m_internationalPrefix->text().toStdString();
    location.toneDialing = m_tone->isChecked();
    return location;
}

QString DialingRulesDialog::DialsAsText() const
{
    return m_preview->text();
}

void DialingRulesDialog::UpdatePreview()
{
    Translation translation;
    if (DialingRules::Translate(CurrentLocation(), m_example.toStdString(), translation) == 0)
        m_preview->setText(QString::fromStdString(translation.dialable));
    else
        m_preview->setText(tr("(not a number that can be dialled)"));
}

void DialingRulesDialog::accept()
{
    if (m_name->text().trimmed().isEmpty()) {
        m_name->setText(QString::fromStdString(Location{}.name));
    }
    if (!DialingRules::Save(m_hive, CurrentLocation())) {
        QMessageBox::warning(this, windowTitle(), tr("The dialing rules could not be saved."));
        return;
    }
    QDialog::accept();
}

} // namespace tapi
