#include "exchange.h"

// Applying a changed configuration file to the running exchange: the lines' SIP accounts (a line
// may also become a SIP line or stop being one) and ring periods. The device set itself (names,
// order, kinds the applications see, phones) is fixed while applications use it; a file that
// changes it takes effect at the next start.

namespace tapi {

namespace {

bool IsOrBecomesSip(const LineConfig& old, const LineConfig& fresh)
{
    return old.kind == LineKind::Sip || fresh.kind == LineKind::Sip;
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
    // The SIP stack runs every SIP line on one thread and is started again as a whole, so that
    // each line also reads its password file again (a new password changes nothing in this file).
    // That would end the calls of the SIP lines (and a simulated call of a line that becomes one).
    bool anySip = false;
    for (DWORD i = 0; i < m_lines.size(); ++i) {
        if (!IsOrBecomesSip(m_lines[i].config, fresh.lines[i]))
            continue;
        anySip = true;
        if (m_lines[i].activeCall != 0) {
            message = m_lines[i].config.name + " has a call; try again when it has ended";
            return TAPISIM_E_BUSY;
        }
    }
    m_config.lines = fresh.lines;
    for (DWORD i = 0; i < m_lines.size(); ++i)
        m_lines[i].config = fresh.lines[i];
    if (anySip)
        RestartSipLines();
    message.clear();
    return TAPISIM_OK;
}

// Lines that stopped being SIP lines are in service; the others start as StartSipLines sets them,
// and whoever asked is told of every change.
void Exchange::RestartSipLines()
{
    m_sip.reset();
    // A pickup under way went with the old stack: its request fails.
    for (const SipPickup& pickup : m_sipPickups)
        PostReply(pickup.reply, LINEERR_OPERATIONFAILED);
    m_sipPickups.clear();
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
