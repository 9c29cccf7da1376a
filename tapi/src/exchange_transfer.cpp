#include "exchange.h"

#include <string>

// Blind transfer on the simulated voice lines: the exchange hands the far end of a connected call
// to another number at once, and the call ends for us.

namespace tapi {

namespace {

constexpr std::size_t kMaxAddress = 255;
constexpr std::size_t kTransfersShown = 8;

} // namespace

LONG Exchange::BlindTransfer(HCALL handle, const std::string& destination)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (!CarriesSeveralCalls(call.device) || call.sipCall)
        return LINEERR_OPERATIONUNAVAIL;
    if (destination.empty() || destination.size() > kMaxAddress
        || DialPlan::DialledDigits(destination).empty())
        return LINEERR_INVALADDRESS;
    if (!Holdable(call))
        return LINEERR_INVALCALLSTATE;
    const std::string farEnd = call.incoming ? call.callerNumber : call.dialled;
    std::vector<std::string>& transferred = m_lines[call.device].transferred;
    transferred.push_back((farEnd.empty() ? std::string("(no number)") : farEnd) + " to "
        + DialPlan::DialledDigits(destination));
    if (transferred.size() > kTransfersShown)
        transferred.erase(transferred.begin());
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog("transferred to " + DialPlan::DialledDigits(destination));
    const DWORD request = NewRequest();
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    SetState(call, LINECALLSTATE_IDLE, 0);
    return static_cast<LONG>(request);
}

} // namespace tapi
