#include "exchange.h"

#include <sys/eventfd.h>

#include <algorithm>

// Line and phone applications: initialize and shutdown, and which API versions the exchange
// speaks.

namespace tapi {

namespace {

constexpr DWORD kMinVersion = TAPI_VERSION_LOWEST;
constexpr DWORD kMaxVersion = TAPI_VERSION_HIGHEST;

} // namespace

bool Exchange::VersionSupported(DWORD version)
{
    return version >= kMinVersion && version <= kMaxVersion;
}

template <typename Apps, typename App> DWORD Exchange::AddApp(Apps& apps, App app)
{
    EnsureStarted();
    const DWORD handle = NewHandle();
    apps[handle] = std::move(app);
    return handle;
}

LONG Exchange::LineInitialize(HLINEAPP& app, LINECALLBACK callback, const char* name, DWORD& numDevs,
    DWORD& version, const LINEINITIALIZEEXPARAMS* params)
{
    if (params) {
        if (params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
            return LINEERR_STRUCTURETOOSMALL;
        // Line messages are delivered only through the callback (there is no lineGetMessage).
        if (params->dwOptions != LINEINITIALIZEEXOPTION_USEHIDDENWINDOW)
            return params->dwOptions == 0 || params->dwOptions > 3 ? LINEERR_INVALPARAM
                                                                   : LINEERR_OPERATIONUNAVAIL;
    }
    if (!callback)
        return LINEERR_INVALPOINTER;
    if (version < kMinVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    std::lock_guard lock(m_mutex);
    app = AddApp(m_lineApps, LineApp{ callback, name ? name : "", std::min(version, kMaxVersion) });
    numDevs = static_cast<DWORD>(m_lines.size());
    version = std::min(version, kMaxVersion);
    return 0;
}

LONG Exchange::LineShutdown(HLINEAPP app)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    std::vector<HLINE> lines;
    for (const auto& [handle, open] : m_openLines)
        if (open.app == app)
            lines.push_back(handle);
    for (HLINE line : lines) {
        RemoveLineHandles(line);
        m_openLines.erase(line);
    }
    UpdateSipOwners();
    ForgetRequestsOf(app);
    m_lineApps.erase(app);
    return 0;
}

LONG Exchange::PhoneInitialize(HPHONEAPP& app, PHONECALLBACK callback, const char* name, DWORD& numDevs,
    DWORD& version, LPPHONEINITIALIZEEXPARAMS params)
{
    bool useEvent = false;
    if (params) {
        if (params->dwTotalSize < sizeof(PHONEINITIALIZEEXPARAMS))
            return PHONEERR_STRUCTURETOOSMALL;
        if (params->dwOptions == PHONEINITIALIZEEXOPTION_USEEVENT)
            useEvent = true;
        else if (params->dwOptions != PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW)
            return params->dwOptions == PHONEINITIALIZEEXOPTION_USECOMPLETIONPORT ? PHONEERR_OPERATIONUNAVAIL
                                                                                  : PHONEERR_INVALPARAM;
    }
    if (!callback && !useEvent)
        return PHONEERR_INVALPOINTER;
    if (version < kMinVersion)
        return PHONEERR_INCOMPATIBLEAPIVERSION;
    std::lock_guard lock(m_mutex);
    PhoneApp entry{ callback, name ? name : "", std::min(version, kMaxVersion), useEvent, {}, {} };
    if (useEvent) {
        entry.event = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        params->Handles.hEvent = static_cast<DWORD>(entry.event.Get());
    }
    app = AddApp(m_phoneApps, std::move(entry));
    numDevs = static_cast<DWORD>(m_phones.size());
    version = std::min(version, kMaxVersion);
    return 0;
}

LONG Exchange::PhoneShutdown(HPHONEAPP app)
{
    std::lock_guard lock(m_mutex);
    if (!m_phoneApps.count(app))
        return PHONEERR_INVALAPPHANDLE;
    std::erase_if(m_openPhones, [&](const auto& entry) { return entry.second.app == app; });
    m_phoneApps.erase(app);
    m_phoneMessages.notify_all();
    return 0;
}

LONG Exchange::CheckLineApp(HLINEAPP app)
{
    std::lock_guard lock(m_mutex);
    return m_lineApps.count(app) ? 0 : LINEERR_INVALAPPHANDLE;
}

LONG Exchange::NegotiateApiVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD& version)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_lines.size())
        return LINEERR_BADDEVICEID;
    if (low > high || high < kMinVersion || low > kMaxVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    version = std::min(high, kMaxVersion);
    return 0;
}

} // namespace tapi
