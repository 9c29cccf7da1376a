#include "ui/panels/edit_entry_dialog.h"

#include "store/text_limit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {

std::string LimitedText(const QLineEdit& edit)
{
    return std::string(CutToLimit(edit.text().toStdString(), EditEntryDialog::kTextLimit));
}

} // namespace

EditEntryDialog::EditEntryDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Edit entry:"));
    m_name = new QLineEdit;
    m_number = new QLineEdit;
    m_name->setMaxLength(int(kTextLimit));
    m_number->setMaxLength(int(kTextLimit));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &EditEntryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &EditEntryDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Display name:"), m_name);
    layout->addRow(tr("Number:"), m_number);
    layout->addRow(buttons);
}

void EditEntryDialog::Assign(const ContactRecord& record)
{
    m_record.Assign(record);
    m_name->setText(QString::fromUtf8(record.DisplayName()));
    m_number->setText(QString::fromUtf8(record.DefaultNumber()));
}

// A record whose default slot lies outside the ten numbers has nowhere to keep a number: only its
// display name changes.
void EditEntryDialog::accept()
{
    m_record.SetDisplayName(LimitedText(*m_name));
    m_record.SetNumber(m_record.DefaultNumberIndex(), LimitedText(*m_number));
    QDialog::accept();
}

bool EditEntryDialog::Run(ContactRecord& record, QWidget* parent)
{
    EditEntryDialog dialog(parent);
    dialog.Assign(record);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    record.Assign(dialog.Record());
    return true;
}
