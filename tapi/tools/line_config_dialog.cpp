#include "line_config_dialog.h"

#include "line_settings.h"

#include "platform/registry.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tapi {

LineConfigDialog::LineConfigDialog(platform::RegistryHive& hive, const QString& lineName, QWidget* parent)
    : QDialog(parent)
    , m_hive(hive)
    , m_lineName(lineName)
{
    setWindowTitle(tr("%1 Properties").arg(lineName));
    auto* name = new QLabel(lineName, this);
    name->setTextFormat(Qt::PlainText);
    m_noAnswer = new QSpinBox(this);
    m_noAnswer->setObjectName("noAnswerSeconds");
    m_noAnswer->setRange(static_cast<int>(LineSettings::kMinNoAnswerSeconds),
        static_cast<int>(LineSettings::kMaxNoAnswerSeconds));
    m_noAnswer->setSuffix(tr(" seconds"));
    m_noAnswer->setValue(static_cast<int>(LineSettings::NoAnswerSeconds(hive, lineName.toStdString())));
    auto* form = new QFormLayout;
    form->addRow(tr("Line:"), name);
    form->addRow(tr("Cancel the call if not connected within:"), m_noAnswer);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &LineConfigDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LineConfigDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void LineConfigDialog::accept()
{
    if (!LineSettings::SetNoAnswerSeconds(
            m_hive, m_lineName.toStdString(), static_cast<DWORD>(m_noAnswer->value()))) {
        QMessageBox::warning(this, windowTitle(), tr("The line settings could not be saved."));
        return;
    }
    QDialog::accept();
}

} // namespace tapi
