// Line manager: what the call rows and the status bar show between call events.
#include "telephony/line_manager.h"

#include "telephony/main_window_link.h"

void LineManager::RefreshCallDisplay()
{
    bool expired = false;
    for (auto& slot : m_slots)
        expired = slot->ExpireEndedCalls(Now()) || expired;
    if (MainWindowLink* window = ReadyWindow()) {
        if (CallTreeView* tree = window->CallTree()) {
            if (expired)
                RebuildCallTree(*tree);
            else
                RefreshCallNodes(*tree, 0);
        }
        // The last call went idle while its outcome showed: back to the first tab, as going idle
        // does otherwise.
        if (expired && !HasCallsToShow() && window->CurrentPage() == WindowPage::Calls)
            window->ShowPage(WindowPage::Contacts);
        window->ShowCallStatus(StatusText());
    }
    if (NeedsDisplayTimer() != m_displayTimer.isActive()) {
        if (m_displayTimer.isActive())
            m_displayTimer.stop();
        else
            m_displayTimer.start();
    }
}

void LineManager::RebuildCallDisplay()
{
    if (MainWindowLink* window = ReadyWindow(); window && window->CallTree())
        RebuildCallTree(*window->CallTree());
    RefreshCallDisplay();
}

void LineManager::Tick()
{
    for (auto& slot : m_slots)
        slot->SendQueuedDigits();
    m_logger.RefreshJournal();
    RefreshCallDisplay();
}

// The latest outcome while one shows; else the first connected call, or else the first call.
std::string LineManager::StatusText()
{
    const LineSlot::EndedCall* latest = nullptr;
    for (auto& slot : m_slots)
        for (const LineSlot::EndedCall& ended : slot->EndedCalls())
            if (!latest || ended.until >= latest->until)
                latest = &ended;
    if (latest)
        return latest->outcome.StatusText();
    std::string first;
    for (auto& slot : m_slots) {
        for (int record = 0; slot->IsOpen() && record < LineSlot::kMaxCalls; ++record) {
            CallDescription description;
            if (slot->CallAt(record).call == 0 || !slot->DescribeCallRow(record, description))
                continue;
            if (description.state == LINECALLSTATE_CONNECTED)
                return description.text;
            if (first.empty())
                first = description.text;
        }
    }
    return first;
}

bool LineManager::HasCallsToShow()
{
    for (auto& slot : m_slots)
        if (slot->IsBusy() || !slot->EndedCalls().empty())
            return true;
    return false;
}

// A connected call's time runs, an outcome waits to go, or digits wait for a warning tone.
bool LineManager::NeedsDisplayTimer() const
{
    for (const auto& slot : m_slots) {
        if (!slot->EndedCalls().empty())
            return true;
        for (int record = 0; record < LineSlot::kMaxCalls; ++record) {
            const CallRecord& call = slot->CallAt(record);
            if (call.call != 0 && (call.connectedAt || !call.digitsQueued.empty()))
                return true;
        }
    }
    return false;
}
