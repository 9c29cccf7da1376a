#include "ui/panels/edit_groups_dialog.h"

#include "settings/prompter.h"
#include "store/contact_store.h"
#include "ui/panels/enter_name_dialog.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr const char* kCaption = QT_TRANSLATE_NOOP("EditGroupsDialog", "Edit groups");

} // namespace

EditGroupsDialog::EditGroupsDialog(
    ContactStore& contacts, std::filesystem::path dataFolder, Prompter& prompter, QWidget* parent)
    : QDialog(parent)
    , m_contacts(contacts)
    , m_dataFolder(std::move(dataFolder))
    , m_prompter(prompter)
    , m_askName([this](std::string& name) { return EnterNameDialog::Run(name, this); })
{
    setWindowTitle(tr("Edit groups:"));
    m_list = new QListWidget;
    auto* ok = new QPushButton(tr("OK"));
    auto* add = new QPushButton(tr("New"));
    auto* edit = new QPushButton(tr("Edit"));
    auto* remove = new QPushButton(tr("Delete"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(add, &QPushButton::clicked, this, &EditGroupsDialog::NewGroup);
    connect(edit, &QPushButton::clicked, this, &EditGroupsDialog::EditGroup);
    connect(remove, &QPushButton::clicked, this, &EditGroupsDialog::DeleteGroup);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : { ok, add, edit, remove })
        buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    Refresh();
}

void EditGroupsDialog::Refresh()
{
    m_list->clear();
    for (const std::string& name : m_contacts.Groups().ListItems())
        m_list->addItem(QString::fromStdString(name));
}

std::string EditGroupsDialog::SelectedName() const
{
    const QListWidgetItem* item = m_list->currentItem();
    return item ? item->text().toStdString() : std::string();
}

void EditGroupsDialog::SaveGroups()
{
    m_contacts.Groups().Save(m_dataFolder / GroupStore::kFileName);
    Refresh();
}

// An empty name would take one of the 32 places as a group that no list shows, so it is ignored.
void EditGroupsDialog::NewGroup()
{
    if (!m_contacts.Groups().CanAdd())
        return;
    std::string name;
    if (!m_askName(name) || name.empty())
        return;
    m_contacts.Groups().Add(name);
    SaveGroups();
}

bool EditGroupsDialog::RefusedForUnfiled(const std::string& name, const char* message)
{
    if (!GroupStore::NamesEqual(name, GroupStore::kUnfiled))
        return false;
    m_prompter.ShowMessage(tr(message).toStdString(), tr(kCaption).toStdString(), Prompter::Icon::None);
    return true;
}

void EditGroupsDialog::EditGroup()
{
    const std::string selected = SelectedName();
    if (selected.empty() || RefusedForUnfiled(selected, QT_TR_NOOP("Can not change \"Unfiled\" group name.")))
        return;
    std::string name = selected;
    if (!m_askName(name) || name.empty())
        return;
    m_contacts.RenameGroup(selected, name, m_dataFolder / ContactStore::kFileName);
    SaveGroups();
}

void EditGroupsDialog::DeleteGroup()
{
    const std::string selected = SelectedName();
    if (selected.empty() || RefusedForUnfiled(selected, QT_TR_NOOP("Can not delete \"Unfiled\" group.")))
        return;
    if (!m_prompter.AskYesNo(tr("Are you sure ?").toStdString(), tr("Delete group").toStdString()))
        return;
    m_contacts.DeleteGroup(selected, m_dataFolder / ContactStore::kFileName);
    SaveGroups();
}

void EditGroupsDialog::Run(
    ContactStore& contacts, const std::filesystem::path& dataFolder, Prompter& prompter, QWidget* parent)
{
    EditGroupsDialog dialog(contacts, dataFolder, prompter, parent);
    dialog.exec();
}
