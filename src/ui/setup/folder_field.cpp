#include "ui/setup/folder_field.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FolderField::FolderField(
    const QString& caption, const QString& title, const std::string& setting, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
    , m_setting(QString::fromStdString(setting))
    , m_edit(new QLineEdit(m_setting, this))
{
    m_edit->setMaxLength(kMaxPathLength);
    auto* browse = new QPushButton(tr("Browse ..."), this);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(caption, this);
    label->setBuddy(m_edit);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(m_edit, 1, 0);
    layout->addWidget(browse, 1, 1);
    connect(browse, &QPushButton::clicked, this, &FolderField::Browse);
}

std::string FolderField::Folder() const
{
    return m_edit->text().toStdString();
}

// The chooser shows folders only and leaves the working directory alone.
void FolderField::Browse()
{
    const QString start = m_edit->text().isEmpty() ? m_setting : m_edit->text();
    const QString chosen = QFileDialog::getExistingDirectory(this, m_title, start, QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty() && chosen.size() <= kMaxPathLength)
        m_edit->setText(chosen);
}
