#pragma once

#include "telephony/select_call_dialog.h"

#include <QCoreApplication>
#include <QDialog>

class QListWidget;
class QPushButton;

// "Select call:": a list of the candidate calls (control 1226) and the buttons "Selected call"
// (the default), "Drop ALL calls" (1198) and "Cancel".
class QtSelectCallDialog : public QDialog, public SelectCallDialog {
    Q_DECLARE_TR_FUNCTIONS(QtSelectCallDialog)

public:
    explicit QtSelectCallDialog(QWidget* parent = nullptr);

    Result Run(
        const std::vector<std::string>& lines, const std::string& actionText, bool showDropAll) override;
    int ChosenIndex() const override { return m_chosen; }
    void Cancel() override { reject(); }

    QListWidget* List() const { return m_list; }
    QPushButton* SelectedButton() const { return m_selected; }
    QPushButton* DropAllButton() const { return m_dropAll; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    void SetupList();
    void SetupButtons();
    void AcceptSelection();

    QListWidget* m_list = nullptr;
    QPushButton* m_selected = nullptr;
    QPushButton* m_dropAll = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_chosen = -1;
};
