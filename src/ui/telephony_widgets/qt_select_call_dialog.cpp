#include "ui/telephony_widgets/qt_select_call_dialog.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

QtSelectCallDialog::QtSelectCallDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Select call:"));
    setModal(true);
    SetupList();
    SetupButtons();
}

void QtSelectCallDialog::SetupList()
{
    m_list = new QListWidget(this);
    m_list->setObjectName("1226");
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { AcceptSelection(); });
}

void QtSelectCallDialog::SetupButtons()
{
    m_selected = new QPushButton(tr("Selected call"), this);
    m_selected->setDefault(true);
    m_dropAll = new QPushButton(tr("Drop ALL calls"), this);
    m_cancel = new QPushButton(tr("Cancel"), this);
    connect(m_selected, &QPushButton::clicked, this, [this] { AcceptSelection(); });
    connect(m_dropAll, &QPushButton::clicked, this, [this] { done(DropAll); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_selected);
    buttons->addWidget(m_dropAll);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
}

SelectCallDialog::Result QtSelectCallDialog::Run(
    const std::vector<std::string>& lines, const std::string& actionText, bool showDropAll)
{
    m_list->clear();
    for (const std::string& line : lines)
        m_list->addItem(QString::fromStdString(line));
    m_list->setCurrentRow(0);
    m_selected->setText(QString::fromStdString(actionText));
    m_dropAll->setVisible(showDropAll);
    m_chosen = -1;
    const int result = exec();
    if (result == DropAll)
        return DropAll;
    return result == QDialog::Accepted ? Selected : Cancelled;
}

// With no line selected the dialog stays open.
void QtSelectCallDialog::AcceptSelection()
{
    const int row = m_list->currentRow();
    if (row < 0 || !m_list->currentItem()->isSelected())
        return;
    m_chosen = row;
    accept();
}
