#pragma once

#include <QCoreApplication>
#include <QDialog>

#include <string>

class QLineEdit;

// "Enter name:": asks for one group name of at most 98 bytes, taken as typed on OK.
class EnterNameDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(EnterNameDialog)

public:
    static constexpr std::size_t kNameLimit = 98;

    explicit EnterNameDialog(const std::string& name, QWidget* parent = nullptr);

    std::string Name() const;
    QLineEdit* NameEdit() const { return m_edit; }

    // Runs the dialog with `name` in the edit; on OK the typed text is put back and true returned.
    static bool Run(std::string& name, QWidget* parent);

private:
    QLineEdit* m_edit = nullptr;
};
