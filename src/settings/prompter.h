#pragma once

#include <string_view>

// Every message box of the program goes through this seam: the application installs the
// QMessageBox implementation, tests a scripted one that answers without a window.
class Prompter {
public:
    enum class Icon { None, Information, Exclamation, Question, Stop };

    virtual ~Prompter() = default;

    // A plain box with one "OK" button. The text is shown as plain text, never as markup.
    virtual void ShowMessage(std::string_view text, std::string_view title, Icon icon) = 0;
    // A question with the buttons "Yes" and "No", as plain text; true when the answer is Yes.
    virtual bool AskYesNo(std::string_view text, std::string_view title) = 0;
};
