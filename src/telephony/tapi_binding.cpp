#include "telephony/tapi_binding.h"

#include <QSocketNotifier>

#include <dlfcn.h>

#include <filesystem>

#include <string_view>

namespace {

// Export names in the order of the Export enumeration. "lineGetLineDevStatus" has no A suffix.
constexpr std::array<const char*, 51> kExportNames = {
    "lineAddToConference",
    "lineAnswer",
    "lineBlindTransferA",
    "lineClose",
    "lineCompleteTransfer",
    "lineConfigDialogA",
    "lineDeallocateCall",
    "lineDialA",
    "lineDrop",
    "lineGenerateDigitsA",
    "lineGenerateTone",
    "lineGetCallInfoA",
    "lineGetCallStatus",
    "lineGetDevCapsA",
    "lineGetNewCalls",
    "lineGetIconA",
    "lineGetIDA",
    "lineGetLineDevStatus",
    "lineGetRequestA",
    "lineHold",
    "lineInitializeExA",
    "lineMakeCallA",
    "lineNegotiateAPIVersion",
    "lineOpenA",
    "linePickupA",
    "lineRegisterRequestRecipient",
    "lineRemoveFromConference",
    "lineSetupConferenceA",
    "lineSetupTransferA",
    "lineSetStatusMessages",
    "lineSetTerminal",
    "lineShutdown",
    "lineTranslateAddressA",
    "lineTranslateDialogA",
    "lineUnhold",
    "phoneClose",
    "phoneDevSpecific",
    "phoneGetMessage",
    "phoneGetStatusA",
    "phoneGetVolume",
    "phoneInitializeExA",
    "phoneOpen",
    "phoneSetHookSwitch",
    "phoneSetStatusMessages",
    "phoneSetVolume",
    "tapiGetEventFd",
    "tapiDispatchEvents",
    "tapiReportRequestOutcome",
    "tapiReloadConfig",
    "tapiWatchLines",
    "tapiGetWatchedLine",
};

bool IsPhoneExport(const char* name)
{
    return std::string_view(name).starts_with("phone");
}

// The library by name, as the executable's RUNPATH ($ORIGIN) finds it; failing that, from the
// executable's own folder explicitly (a loader whose dlopen runs from another object, as under
// AddressSanitizer, searches without the executable's RUNPATH). On failure `error` says why.
void* OpenLibrary(const std::string& name, std::string& error)
{
    if (void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL))
        return library;
    error = ::dlerror();
    if (name.find('/') != std::string::npos)
        return nullptr;
    std::error_code pathError;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", pathError);
    if (pathError)
        return nullptr;
    const std::filesystem::path besideProgram = executable.parent_path() / name;
    if (void* library = ::dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL))
        return library;
    error = ::dlerror();
    return nullptr;
}

} // namespace

TapiBinding::TapiBinding(std::string libraryName)
    : m_libraryName(std::move(libraryName))
{
    static_assert(kExportNames.size() == kExportCount);
}

TapiBinding::~TapiBinding() = default;

void* TapiBinding::LoadLibraryOnce()
{
    if (m_libraryState == LibraryState::NotLoaded) {
        m_library = OpenLibrary(m_libraryName, m_loadError);
        m_libraryState = m_library ? LibraryState::Loaded : LibraryState::Failed;
        if (m_library)
            m_loadError.clear();
    }
    return m_libraryState == LibraryState::Loaded ? m_library : nullptr;
}

// The call that discovers a gap answers LINEERR_OPERATIONUNAVAIL for every export; later calls of
// a known-missing phone export answer PHONEERR_OPERATIONUNAVAIL.
void* TapiBinding::Resolve(Export which, LONG& error)
{
    Entry& entry = m_entries[which];
    if (entry.state == EntryState::Unresolved) {
        void* library = LoadLibraryOnce();
        entry.address = library ? ::dlsym(library, kExportNames[which]) : nullptr;
        entry.state = entry.address ? EntryState::Resolved : EntryState::Missing;
        if (!entry.address) {
            error = LINEERR_OPERATIONUNAVAIL;
            return nullptr;
        }
    }
    if (entry.state == EntryState::Missing) {
        error = IsPhoneExport(kExportNames[which]) ? LONG(PHONEERR_OPERATIONUNAVAIL)
                                                   : LONG(LINEERR_OPERATIONUNAVAIL);
        return nullptr;
    }
    return entry.address;
}

bool TapiBinding::StartEventDelivery()
{
    if (m_notifier)
        return true;
    const int fd = Call<decltype(::tapiGetEventFd)>(kTapiGetEventFd);
    if (fd < 0)
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { DispatchEvents(); });
    return true;
}

LONG TapiBinding::DispatchEvents()
{
    return Call<decltype(::tapiDispatchEvents)>(kTapiDispatchEvents);
}
