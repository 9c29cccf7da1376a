#pragma once

#include "settings/prompter.h"

class QWidget;

// The program's message boxes, as QMessageBox windows over `parent`.
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr);

    void ShowMessage(std::string_view text, std::string_view title, Icon icon) override;
    bool AskYesNo(std::string_view text, std::string_view title) override;

private:
    QWidget* m_parent;
};
