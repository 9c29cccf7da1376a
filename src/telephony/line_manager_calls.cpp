// Line manager: the tree of lines and calls, line images, and turning typed numbers into calls.
#include "telephony/line_manager.h"

#include "store/redial_store.h"
#include "telephony/call_tree_view.h"
#include "telephony/number_rules.h"
#include "telephony/tapi_binding.h"
#include "telephony/tapi_block.h"

#include <QCoreApplication>

namespace {

constexpr std::size_t kTranslateOutputSize = 70;
// Slack after the structure, as the first request's block has it.
constexpr std::size_t kTranslateSlack = 16;
// A translation that claims to need more than this is refused rather than allocated.
constexpr std::size_t kMaxTranslateOutputSize = 64 * 1024;

// Line images: on hook, off hook, default on hook, default off hook, not open.
struct LineImages {
    int idle, busy, defaultIdle, defaultBusy, closed;
};
constexpr LineImages kPstnImages{ 15, 16, 17, 18, 19 };
constexpr LineImages kIpImages{ 20, 21, 22, 23, 24 };

} // namespace

int LineManager::GetLineImage(int slotIndex)
{
    LineSlot& slot = *m_slots[slotIndex];
    const LineImages& images = slot.IsIpSlot() ? kIpImages : kPstnImages;
    if (!slot.IsOpen())
        return images.closed;
    const bool busy = slot.IsBusy();
    if (slotIndex == m_defaultLine)
        return busy ? images.defaultBusy : images.defaultIdle;
    return busy ? images.busy : images.idle;
}

void LineManager::RebuildCallTree(CallTreeView& tree)
{
    tree.Clear();
    CallTreeView::Node firstBusy = nullptr;
    CallTreeView::Node defaultLine = nullptr;
    for (auto& slot : m_slots) {
        if (!slot->IsOpen())
            continue;
        const int index = slot->Index();
        CallTreeView::Node node
            = tree.AddNode(nullptr, GetDisplayName(index), GetLineImage(index), LineTreeValue(index));
        if (index == m_defaultLine)
            defaultLine = node;
        const bool busy = slot->IsBusy();
        if (busy)
            AddCallNodes(tree, node, *slot);
        AddEndedCallNodes(tree, node, *slot);
        if (busy || !slot->EndedCalls().empty())
            tree.Expand(node);
        if (busy && !firstBusy)
            firstBusy = node;
    }
    CallTreeView::Node selected = firstBusy ? firstBusy : defaultLine ? defaultLine : tree.FirstTopLevel();
    if (selected) {
        tree.Select(selected);
        tree.Expand(selected);
    }
}

void LineManager::AddCallNodes(CallTreeView& tree, CallTreeView::Node lineNode, LineSlot& slot)
{
    for (int record = 0; record < LineSlot::kMaxCalls; ++record) {
        if (slot.CallAt(record).call == 0)
            continue;
        CallDescription description;
        slot.DescribeCallRow(record, description);
        tree.AddNode(lineNode, description.text, description.image, CallTreeValue(slot.Index(), record));
    }
}

// The rows of calls that have gone carry record numbers past the table's end: selecting one selects
// no call, and no menu opens on it.
void LineManager::AddEndedCallNodes(CallTreeView& tree, CallTreeView::Node lineNode, const LineSlot& slot)
{
    int row = LineSlot::kMaxCalls;
    for (const LineSlot::EndedCall& ended : slot.EndedCalls())
        tree.AddNode(
            lineNode, ended.outcome.RowText(), ended.outcome.image, CallTreeValue(slot.Index(), row++));
}

bool LineManager::UpdateCallNode(CallTreeView& tree, int, HCALL call)
{
    return call != 0 && RefreshCallNodes(tree, call) > 0;
}

// Sets the text and image of the visible nodes of `onlyCall`, or of every call when it is 0.
int LineManager::RefreshCallNodes(CallTreeView& tree, HCALL onlyCall)
{
    int refreshed = 0;
    for (CallTreeView::Node node = tree.FirstVisible(); node; node = tree.NextVisible(node)) {
        const std::uint32_t value = tree.Value(node);
        const int slotIndex = SlotOfTreeValue(value);
        const int record = RecordOfTreeValue(value);
        if (record < 0 || record >= LineSlot::kMaxCalls || slotIndex >= kSlotCount)
            continue;
        LineSlot& slot = *m_slots[slotIndex];
        const HCALL call = slot.CallAt(record).call;
        if (call == 0 || (onlyCall != 0 && call != onlyCall))
            continue;
        CallDescription description;
        slot.DescribeCallRow(record, description);
        tree.SetNode(node, description.text, description.image);
        ++refreshed;
    }
    return refreshed;
}

bool LineManager::TranslateNumber(
    std::string& number, DWORD deviceId, std::string* displayable, std::string* dialable)
{
    NumberRules::CleanBrackets(number);
    if (!NumberRules::ApplyPlusRule(number))
        return false;
    auto output = std::make_unique<TapiBlock<LINETRANSLATEOUTPUT>>(kTranslateOutputSize);
    LONG result = m_tapi.lineTranslateAddressA(
        m_lineApp, deviceId, m_apiVersion, number.c_str(), 0, 0, output->Get());
    const std::size_t needed = (*output)->dwNeededSize;
    if (result == 0 && needed > kTranslateOutputSize) {
        if (needed > kMaxTranslateOutputSize)
            return false;
        output = std::make_unique<TapiBlock<LINETRANSLATEOUTPUT>>(needed + kTranslateSlack);
        (*output)->dwTotalSize = DWORD(needed);
        result = m_tapi.lineTranslateAddressA(
            m_lineApp, deviceId, m_apiVersion, number.c_str(), 0, 0, output->Get());
    }
    if (result != 0)
        return false;
    const LINETRANSLATEOUTPUT& out = *output->Get();
    if (displayable)
        *displayable = output->Text(out.dwDisplayableStringSize, out.dwDisplayableStringOffset);
    if (dialable)
        *dialable = NumberRules::StripDialModePrefix(
            output->Text(out.dwDialableStringSize, out.dwDialableStringOffset));
    return true;
}

// The destination is the dialable string; the number as typed is the displayable address and the
// name the called party.
// The redial entry gets the name and number apart, so that dialling a redial item ("name, number")
// again moves that entry to the top instead of adding the whole text as a number.
bool LineManager::DialAndRemember(RedialStore& redial, const std::string& name, const std::string& number)
{
    std::string calledParty = name;
    std::string typed = number;
    NumberRules::SplitNameAndNumber(calledParty, typed);
    redial.AddRedial(calledParty, typed);
    redial.Save(m_dataFolder / RedialStore::kFileName);
    return DialNumber(calledParty, typed);
}

bool LineManager::DialNumber(const std::string& name, const std::string& number)
{
    std::string calledParty = name;
    std::string typed = number;
    NumberRules::SplitNameAndNumber(calledParty, typed);
    const int slotIndex = FindFreeLine();
    if (slotIndex < 0)
        return false;
    LineSlot& slot = *m_slots[slotIndex];
    std::string translated = typed;
    std::string dialable;
    if (!TranslateNumber(translated, slot.GetDeviceId(), nullptr, &dialable))
        return false;
    return slot.PlaceCall(dialable, typed, calledParty, false) == 1;
}

void LineManager::PickUpColleague(std::string_view number, std::string_view name)
{
    const HLINE watching = m_colleagues.WatchingLine();
    for (auto& slot : m_slots)
        if (watching != 0 && slot->GetLine() == watching) {
            slot->PickUp(number, name);
            return;
        }
    ShowMessage(QT_TRANSLATE_NOOP("LineManager", "No open SIP line watches colleagues' lines."));
}
