#include "exchange.h"

// Applying a changed configuration file to the running exchange: the lines' SIP accounts (a line
// may also become a SIP line or stop being one) and ring periods. The device set itself (names,
// order, kinds the applications see, phones) is fixed while applications use it; a file that
// changes it takes effect at the next start.

namespace tapi {

namespace {

bool SameAccount(const SipAccount& a, const SipAccount& b)
{
    return a.displayName == b.displayName && a.user == b.user && a.domain == b.domain
        && a.registrar == b.registrar && a.outboundProxy == b.outboundProxy && a.authUser == b.authUser
        && a.passwordFile == b.passwordFile && a.localAddress == b.localAddress && a.caFile == b.caFile
        && a.transport == b.transport && a.localPort == b.localPort && a.registers == b.registers
        && a.registerIntervalS == b.registerIntervalS && a.rtpTimeoutS == b.rtpTimeoutS
        && a.allowCallsFrom == b.allowCallsFrom;
}

bool SipChanged(const LineConfig& old, const LineConfig& fresh)
{
    const bool wasSip = old.kind == LineKind::Sip;
    const bool isSip = fresh.kind == LineKind::Sip;
    return wasSip != isSip || (isSip && !SameAccount(old.sip, fresh.sip));
}

// Why the running device set cannot take the new configuration; empty when it can.
std::string DeviceSetChange(const std::vector<LineConfig>& old, const std::vector<LineConfig>& fresh)
{
    if (old.size() != fresh.size())
        return "the number of lines changed";
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (old[i].name != fresh[i].name)
            return "line " + std::to_string(i + 1) + " is now \"" + fresh[i].name + "\"";
        if (old[i].hasPhone != fresh[i].hasPhone || old[i].BearerModes() != fresh[i].BearerModes()
            || old[i].MediaModes() != fresh[i].MediaModes())
            return old[i].name + " changed its kind or phone";
    }
    return {};
}

} // namespace

LONG Exchange::ReloadConfig(std::string& message)
{
    std::lock_guard lock(m_mutex);
    DeviceConfig fresh = DeviceConfig::BuiltIn();
    if (!ReadConfigFile(fresh, message))
        return TAPISIM_E_CONFIG;
    if (std::string change = DeviceSetChange(m_config.lines, fresh.lines); !change.empty()) {
        message = change + "; the new device set is used from the next start";
        return TAPISIM_E_CONFIG;
    }
    bool sipChanged = false;
    for (DWORD i = 0; i < m_lines.size(); ++i)
        sipChanged = sipChanged || SipChanged(m_lines[i].config, fresh.lines[i]);
    // The SIP stack runs every SIP line on one thread and is restarted as a whole, which would end
    // the calls of all SIP lines (and a simulated call of a line that becomes one).
    if (sipChanged)
        for (DWORD i = 0; i < m_lines.size(); ++i)
            if (m_lines[i].activeCall != 0
                && (m_lines[i].config.kind == LineKind::Sip || fresh.lines[i].kind == LineKind::Sip)) {
                message = m_lines[i].config.name + " has a call; try again when it has ended";
                return TAPISIM_E_BUSY;
            }
    m_config.lines = fresh.lines;
    for (DWORD i = 0; i < m_lines.size(); ++i)
        m_lines[i].config = fresh.lines[i];
    if (sipChanged)
        RestartSipLines();
    message.clear();
    return TAPISIM_OK;
}

// Lines that stopped being SIP lines are in service; the others start as StartSipLines sets them,
// and whoever asked is told of every change.
void Exchange::RestartSipLines()
{
    m_sip.reset();
    std::vector<std::pair<bool, std::string>> before;
    for (Line& line : m_lines) {
        before.emplace_back(line.inService, line.serviceText);
        line.inService = true;
        line.serviceText.clear();
    }
    StartSipLines();
    for (DWORD i = 0; i < m_lines.size(); ++i) {
        const bool inService = m_lines[i].inService;
        const std::string text = m_lines[i].serviceText;
        m_lines[i].inService = before[i].first;
        m_lines[i].serviceText = before[i].second;
        SetInService(i, inService, text);
    }
}

} // namespace tapi
