#pragma once

#include "store/contact_record.h"

#include <QCoreApplication>
#include <QDialog>

#include <array>
#include <filesystem>

class ContactStore;
class Prompter;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class SpeedDialStore;

// "Contact:": edits a copy of one contact. OK only closes the dialog when the input names the
// contact and has a non-empty default number; "Add to speed-dial..." puts the same collected
// input on a speed-dial slot without closing.
class ContactDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(ContactDialog)

public:
    static constexpr std::size_t kTextLimit = 99;
    static constexpr const char* kCaption = "Kestrium";

    ContactDialog(ContactStore& contacts, SpeedDialStore& speedDials, std::filesystem::path speedDialFile,
        Prompter& prompter, QWidget* parent = nullptr);

    void Assign(const ContactRecord& record);
    const ContactRecord& Record() const { return m_record; }

    // Reads the controls into `record` and checks them; false (after telling the user) when the
    // input cannot be taken.
    bool CollectContact(ContactRecord& record);
    // "Add to speed-dial 1" to "10" (slot 0 to 9).
    void AddToSpeedDial(int slot);
    QMenu* CreateSpeedDialMenu(QWidget* parent);

    // Runs the dialog on `record`; on OK the edited record is written back and true returned.
    static bool Run(ContactRecord& record, ContactStore& contacts, SpeedDialStore& speedDials,
        const std::filesystem::path& speedDialFile, Prompter& prompter, QWidget* parent);

    QLineEdit* Edit(ContactField field) const { return m_edits[std::size_t(field)]; }
    QLineEdit* NumberEdit(int slot) const { return m_numbers[std::size_t(slot)]; }
    QComboBox* LabelBox(int slot) const { return m_labels[std::size_t(slot)]; }
    QButtonGroup* DefaultButtons() const { return m_defaults; }
    QComboBox* GroupBox() const { return m_group; }
    QPlainTextEdit* NoteEdit() const { return m_note; }
    QPushButton* SpeedDialButton() const { return m_speedDialButton; }

    void accept() override;

private:
    QWidget* CreateNamesBox();
    QWidget* CreateNumbersBox();
    QWidget* CreateAddressBox();
    QLineEdit* CreateEdit(ContactField field);
    std::string Text(ContactField field) const;
    bool CheckInput(ContactRecord& record);
    void ReadDetails(ContactRecord& record, int defaultSlot);
    void OpenSpeedDialMenu();

    ContactStore& m_contacts;
    SpeedDialStore& m_speedDials;
    std::filesystem::path m_speedDialFile;
    Prompter& m_prompter;
    ContactRecord m_record;

    // Edits by field (Group, DisplayName and Note have none).
    std::array<QLineEdit*, kContactFieldCount> m_edits{};
    std::array<QLineEdit*, ContactRecord::kNumberCount> m_numbers{};
    std::array<QComboBox*, ContactRecord::kNumberCount> m_labels{};
    QButtonGroup* m_defaults = nullptr;
    QComboBox* m_group = nullptr;
    QPlainTextEdit* m_note = nullptr;
    QPushButton* m_speedDialButton = nullptr;
};
