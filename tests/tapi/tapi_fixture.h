#pragma once

#include "tapi.h"
#include "tapisim.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The id of a line's device of `deviceClass` ("wave/in", "wave/out"...), as lineGetIDA answers it.
DWORD LineDeviceId(HLINE line, const char* deviceClass);
// Energy of a frequency in a block (Goertzel), relative to the block's total energy.
double ShareOf(const std::vector<std::int16_t>& samples, double frequency);

// One message as an application's callback received it.
struct Received {
    bool phone = false;
    DWORD device = 0;
    DWORD message = 0;
    DWORD_PTR instance = 0;
    DWORD_PTR p1 = 0, p2 = 0, p3 = 0;
};

// A line and phone application on the manual clock, as Kestrium uses the service: hidden-window
// delivery, messages run by tapiDispatchEvents.
class TapiFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The exchange's configuration text for the test; null: the built-in device set.
    virtual std::string Configuration() const { return {}; }
    // False: the exchange runs on the real clock (its own thread) instead of tapisimAdvance.
    virtual bool ManualClock() const { return true; }

    // Advances the clock and runs the queued callbacks; returns what arrived.
    std::vector<Received> Pump(DWORD ms = 0);
    HLINE OpenLine(DWORD device, DWORD_PTR instance = 0x51);
    HPHONE OpenPhone(DWORD device, DWORD_PTR instance = 0x61);
    // Places a call with Kestrium's call parameters and returns its request id.
    LONG MakeCall(HLINE line, HCALL& call, const char* number, const char* displayable = "",
        const char* calledParty = "");
    // Makes every number (pattern "*") or the prefix of `number` end with the outcome, opens the
    // line and places a call; returns the call once its handle arrived.
    HCALL PlaceUnderRule(DWORD outcome, DWORD delayMs, DWORD device, const char* number = "5551234");
    // Places a call and advances until it is connected; returns the call handle.
    HCALL ConnectedCall(HLINE line, const char* number = "5551234");
    // Rings the line and returns the new call's handle from LINE_APPNEWCALL.
    HCALL IncomingCall(DWORD device, HLINE line, const TAPISIM_CALLER& caller);
    DWORD CallState(HCALL call);
    // The call's LINECALLSTATUS.dwCallFeatures and its LINECALLINFO.dwCallID.
    DWORD Features(HCALL call);
    DWORD CallId(HCALL call);

    // The result of `request` from its LINE_REPLY; none while the reply has not come.
    std::optional<LONG> ReplyTo(LONG request) const;

    static std::vector<DWORD> States(const std::vector<Received>& messages);
    static const Received* Find(const std::vector<Received>& messages, DWORD message);

    HLINEAPP m_lineApp = 0;
    HPHONEAPP m_phoneApp = 0;
    DWORD m_numLines = 0;
    DWORD m_numPhones = 0;
    DWORD m_version = 0;
    std::vector<Received> m_received;
};
