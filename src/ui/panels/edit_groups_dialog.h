#pragma once

#include <QCoreApplication>
#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>

class ContactStore;
class Prompter;
class QListWidget;

// "Edit groups:": adds, renames and deletes contact groups. Every change is stored at once: the
// groups file, and the contacts file when contacts move to another group.
class EditGroupsDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(EditGroupsDialog)

public:
    // Asks for a name, given the initial text; false when cancelled.
    using NameSource = std::function<bool(std::string&)>;

    EditGroupsDialog(ContactStore& contacts, std::filesystem::path dataFolder, Prompter& prompter,
        QWidget* parent = nullptr);

    // Where the names come from; "Enter name:" unless replaced.
    void SetNameSource(NameSource source) { m_askName = std::move(source); }

    void NewGroup();
    void EditGroup();
    void DeleteGroup();

    QListWidget* List() const { return m_list; }

    static void Run(
        ContactStore& contacts, const std::filesystem::path& dataFolder, Prompter& prompter, QWidget* parent);

private:
    void Refresh();
    std::string SelectedName() const;
    // True (after telling the user) when the selected group is "Unfiled", which stays as it is.
    bool RefusedForUnfiled(const std::string& name, const char* message);
    void SaveGroups();

    ContactStore& m_contacts;
    std::filesystem::path m_dataFolder;
    Prompter& m_prompter;
    NameSource m_askName;
    QListWidget* m_list = nullptr;
};
