#include "ui/panels/call_log_context.h"

#include "settings/prompter.h"
#include "store/call_log_store.h"
#include "telephony/line_manager.h"
#include "ui/panels/call_log_panel.h"

#include <QCoreApplication>

CallLogEntry* CallLogContext::CurrentEntry()
{
    return current ? store.GetAt(*current) : nullptr;
}

std::filesystem::path CallLogContext::File() const
{
    return lines.DataFolder() / CallLogStore::kFileName;
}

bool CallLogContext::Save()
{
    if (store.Save(File()))
        return true;
    prompter.ShowMessage(QCoreApplication::translate("CallLogContext",
                             "The call log could not be saved to \"%1\". Your changes are kept while "
                             "Kestrium runs; it tries again at the next change.")
                             .arg(QString::fromStdString(File().string()))
                             .toStdString(),
        "Kestrium", Prompter::Icon::Stop);
    return false;
}

// A file that could not be written is not read back: that would undo the change in memory.
void CallLogContext::SaveAndReload()
{
    if (Save())
        store.Load(File());
    RefreshLists();
}

void CallLogContext::RefreshLists()
{
    if (callLogPage)
        callLogPage->RefreshUnreadCount();
    if (voiceMailPage)
        voiceMailPage->Refill();
}
