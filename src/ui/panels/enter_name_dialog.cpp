#include "ui/panels/enter_name_dialog.h"

#include "store/text_limit.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QVBoxLayout>

EnterNameDialog::EnterNameDialog(const std::string& name, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Enter name:"));
    m_edit = new QLineEdit(QString::fromStdString(std::string(CutToLimit(name, kNameLimit))));
    m_edit->setMaxLength(int(kNameLimit));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

std::string EnterNameDialog::Name() const
{
    return std::string(CutToLimit(m_edit->text().toStdString(), kNameLimit));
}

bool EnterNameDialog::Run(std::string& name, QWidget* parent)
{
    EnterNameDialog dialog(name, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.Name();
    return true;
}
