#pragma once

#include "store/contact_record.h"

#include <QCoreApplication>
#include <QDialog>

class QLineEdit;

// "Edit entry:": edits the display name and the default number of a speed-dial slot or a keypad
// macro. It works on a copy of the record: the caller hands one in with Assign and, after OK,
// takes it back with Record. Both texts are kept to 99 bytes; nothing else is checked.
class EditEntryDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(EditEntryDialog)

public:
    static constexpr std::size_t kTextLimit = 99;

    explicit EditEntryDialog(QWidget* parent = nullptr);

    void Assign(const ContactRecord& record);
    const ContactRecord& Record() const { return m_record; }

    // Runs the dialog modally on a copy of `record`; on OK the copy is written back and the
    // result is true.
    static bool Run(ContactRecord& record, QWidget* parent);

    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* NumberEdit() const { return m_number; }

    void accept() override;

private:
    ContactRecord m_record;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_number = nullptr;
};
