#pragma once

#include <string>
#include <vector>

// The modal "Select call:" dialog as the call actions see it. The widgets side implements it with a
// QDialog; tests with a scripted fake.
class SelectCallDialog {
public:
    enum Result { Cancelled = 0, Selected = 1, DropAll = 1198 };

    virtual ~SelectCallDialog() = default;

    // Runs modally with one line per candidate (the first selected), the action's button text, and
    // the "Drop ALL calls" button shown or hidden. Line events may arrive while it runs.
    virtual Result Run(const std::vector<std::string>& lines, const std::string& actionText, bool showDropAll)
        = 0;
    // The chosen line after Run returned Selected.
    virtual int ChosenIndex() const = 0;
    // Ends a running dialog with the cancel result (its list has become stale).
    virtual void Cancel() = 0;
};
