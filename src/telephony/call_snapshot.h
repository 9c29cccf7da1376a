#pragma once

#include "telephony/call_description.h"
#include "telephony/tapi_block.h"

class TapiBinding;

// LINECALLSTATUS and LINECALLINFO of one call, read fresh from TAPI in the sizes the program
// always asks for.
class CallSnapshot {
public:
    static constexpr std::size_t kStatusSize = 1056;
    static constexpr std::size_t kInfoSize = 1324;

    CallSnapshot();

    // False when either query fails.
    bool Fetch(TapiBinding& tapi, HCALL call);

    const LINECALLSTATUS& Status() const { return *m_status.Get(); }
    const LINECALLINFO& Info() const { return *m_info.Get(); }
    // The caller-id and party texts of the call information.
    CallParty Party() const;

private:
    TapiBlock<LINECALLSTATUS> m_status;
    TapiBlock<LINECALLINFO> m_info;
};
