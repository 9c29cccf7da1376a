#include "telephony/call_snapshot.h"

#include "telephony/tapi_binding.h"

CallSnapshot::CallSnapshot()
    : m_status(kStatusSize)
    , m_info(kInfoSize)
{
}

bool CallSnapshot::Fetch(TapiBinding& tapi, HCALL call)
{
    return tapi.lineGetCallStatus(call, m_status.Get()) == 0
        && tapi.lineGetCallInfoA(call, m_info.Get()) == 0;
}

CallParty CallSnapshot::Party() const
{
    const LINECALLINFO& info = Info();
    CallParty party;
    party.origin = info.dwOrigin;
    party.callerIdFlags = info.dwCallerIDFlags;
    party.callerName = m_info.Text(info.dwCallerIDNameSize, info.dwCallerIDNameOffset);
    party.callerNumber = m_info.Text(info.dwCallerIDSize, info.dwCallerIDOffset);
    party.calledParty = m_info.Text(info.dwCalledPartySize, info.dwCalledPartyOffset);
    party.displayableAddress = m_info.Text(info.dwDisplayableAddressSize, info.dwDisplayableAddressOffset);
    // A call dialled without call parameters (a consultation call) has no displayable address:
    // the number it dialled stands in for it.
    if (party.displayableAddress.empty() && (info.dwCalledIDFlags & LINECALLPARTYID_ADDRESS))
        party.displayableAddress = m_info.Text(info.dwCalledIDSize, info.dwCalledIDOffset);
    if ((info.dwRedirectingIDFlags & LINECALLPARTYID_ADDRESS)
        && (info.dwConnectedIDFlags & LINECALLPARTYID_ADDRESS))
        party.transferredTo = m_info.Text(info.dwConnectedIDSize, info.dwConnectedIDOffset);
    return party;
}
