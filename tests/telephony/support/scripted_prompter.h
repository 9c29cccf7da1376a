#pragma once

#include "settings/prompter.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Records every message box instead of showing it; questions take the scripted answers in order
// (No once they run out). `whileShown`, when set, runs while a message is "on screen", as the event
// loop of a modal box would.
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
        if (whileShown)
            whileShown();
    }

    bool AskYesNo(std::string_view text, std::string_view title) override
    {
        questions.push_back({ std::string(text), std::string(title), Icon::Question });
        if (answers.empty())
            return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }

    std::vector<Message> messages;
    std::vector<Message> questions;
    std::deque<bool> answers;
    std::function<void()> whileShown;
};
