#pragma once

#include "tapi.h"

#include <string>
#include <string_view>
#include <vector>

namespace tapi {

enum class LineKind { Analog, Ip, Modem, Sip };

enum class SipTransport { Udp, Tcp, Tls };

// The SIP account of a line of kind sip. The password is not here: it is read from its own file
// (readable by the user only) when the line starts.
struct SipAccount {
    std::string displayName;
    std::string user;
    std::string domain;
    std::string registrar; // a SIP URI; empty: sip:<domain>
    std::string outboundProxy; // a SIP URI or empty
    // A second outbound proxy: the line moves its registration and calls there when the one in use
    // stops answering. Empty: none.
    std::string fallbackOutboundProxy;
    std::string authUser; // empty: the user
    std::string passwordFile; // empty: <config folder>/kestrium/<line name>.password
    std::string localAddress; // empty: the address of the default route
    std::string caFile; // PEM certificates trusted for TLS besides the system's list; empty: none
    SipTransport transport = SipTransport::Udp;
    DWORD localPort = 0; // 0: any free port
    bool registers = true;
    DWORD registerIntervalS = 600;
    DWORD rtpTimeoutS = 30;
    // IP addresses a line without registration takes calls from, besides the configured peer;
    // empty: loopback (127.0.0.1 and ::1).
    std::vector<std::string> allowCallsFrom;
    // present-as = analog: the line shows itself as a telephone-network line (voice only, as a
    // gateway or trunk would), so a program that keeps rows for such lines puts it there.
    bool presentsAsAnalog = false;
};

struct LineConfig {
    std::string name;
    LineKind kind = LineKind::Analog;
    bool hasPhone = true;
    DWORD ringPeriodMs = 6000;
    SipAccount sip;

    DWORD BearerModes() const;
    DWORD MediaModes() const;
};

// A dialled-number rule of the far end's dial plan.
struct DialRule {
    std::string pattern;
    DWORD outcome = 0; // TAPISIM_OUTCOME_*
    DWORD delayMs = 3000;
    DWORD hangUpAfterMs = 0;
};

// The exchange's device set and the dial plan it starts with.
struct DeviceConfig {
    std::vector<LineConfig> lines;
    std::vector<DialRule> dialPlan;

    // Four analog "Zo-Linka Line N", "IP Line 1" and "IP Line 2", one data modem.
    static DeviceConfig BuiltIn();
    // Parses the configuration text; on a mistake returns false with "line N: what" in error.
    static bool Parse(std::string_view text, DeviceConfig& config, std::string& error);
};

// Longest line name a device reports.
inline constexpr std::size_t kMaxLineNameLength = 103;
inline constexpr std::size_t kMaxLines = 32;

// The words of the dial-plan outcomes as the configuration and linesim write them.
bool ParseOutcome(std::string_view word, DWORD& outcome);
const char* OutcomeName(DWORD outcome);

} // namespace tapi
