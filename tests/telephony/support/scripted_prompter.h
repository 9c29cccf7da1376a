#pragma once

#include "app/prompter.h"

#include <string>
#include <vector>

// Records every message box instead of showing it.
class ScriptedPrompter : public Prompter {
public:
    struct Message {
        std::string text;
        std::string title;
        Icon icon;
    };

    void ShowMessage(std::string_view text, std::string_view title, Icon icon) override
    {
        messages.push_back({ std::string(text), std::string(title), icon });
    }

    std::vector<Message> messages;
};
