#pragma once

#include "telephony/select_call_dialog.h"

#include <functional>
#include <string>
#include <vector>

// "Select call:" without a window: records what it was shown and answers from a script. The script
// runs while the dialog is "open", so it may cause line events that cancel it.
class ScriptedSelectCallDialog : public SelectCallDialog {
public:
    struct Shown {
        std::vector<std::string> lines;
        std::string actionText;
        bool showDropAll = false;
        bool cancelled = false;
    };
    using Script = std::function<Result(ScriptedSelectCallDialog&)>;

    ScriptedSelectCallDialog(Script script, std::vector<Shown>& log)
        : m_script(std::move(script))
        , m_log(log)
    {
    }

    Result Run(
        const std::vector<std::string>& lines, const std::string& actionText, bool showDropAll) override
    {
        m_log.push_back({ lines, actionText, showDropAll, false });
        const Result result = m_script(*this);
        return m_cancelled ? Cancelled : result;
    }
    int ChosenIndex() const override { return m_chosen; }
    void Cancel() override
    {
        m_cancelled = true;
        m_log.back().cancelled = true;
    }

    void Choose(int index) { m_chosen = index; }

private:
    Script m_script;
    std::vector<Shown>& m_log;
    bool m_cancelled = false;
    int m_chosen = -1;
};
