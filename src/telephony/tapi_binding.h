#pragma once

#include "tapi/include/tapi.h"

#include <array>
#include <memory>
#include <string>

class QSocketNotifier;

// The telephony service, bound at run time: the library is loaded by name the first time any entry
// point is called, and each entry point is looked up by name the first time it is called. Without
// the library, or without one of its exports, the program still runs: the wrappers that cannot be
// served return LINEERR_OPERATIONUNAVAIL (PHONEERR_OPERATIONUNAVAIL for a phone function whose
// export is known to be missing), which callers treat like any refused request.
//
// Each wrapper has the name, arguments and result of the entry point it stands for, so callers read
// as ordinary TAPI code. Only the main thread calls in; there is no locking.
class TapiBinding {
public:
    static constexpr const char* kLibraryName = "libtapi32.so";

    // `libraryName` is looked up like any shared library: beside the executable (RUNPATH $ORIGIN),
    // then on the usual paths. Tests name libraries that are missing or lack exports.
    explicit TapiBinding(std::string libraryName = kLibraryName);
    // The library is never unloaded: callbacks and buffers of the service may outlive any owner.
    ~TapiBinding();
    TapiBinding(const TapiBinding&) = delete;
    TapiBinding& operator=(const TapiBinding&) = delete;

    // clang-format off
    template <typename... A> LONG lineAddToConference(A... a) { return Call<decltype(::lineAddToConference)>(kLineAddToConference, a...); }
    template <typename... A> LONG lineAnswer(A... a) { return Call<decltype(::lineAnswer)>(kLineAnswer, a...); }
    template <typename... A> LONG lineBlindTransferA(A... a) { return Call<decltype(::lineBlindTransferA)>(kLineBlindTransferA, a...); }
    template <typename... A> LONG lineClose(A... a) { return Call<decltype(::lineClose)>(kLineClose, a...); }
    template <typename... A> LONG lineCompleteTransfer(A... a) { return Call<decltype(::lineCompleteTransfer)>(kLineCompleteTransfer, a...); }
    template <typename... A> LONG lineConfigDialogA(A... a) { return Call<decltype(::lineConfigDialogA)>(kLineConfigDialogA, a...); }
    template <typename... A> LONG lineDeallocateCall(A... a) { return Call<decltype(::lineDeallocateCall)>(kLineDeallocateCall, a...); }
    template <typename... A> LONG lineDialA(A... a) { return Call<decltype(::lineDialA)>(kLineDialA, a...); }
    template <typename... A> LONG lineDrop(A... a) { return Call<decltype(::lineDrop)>(kLineDrop, a...); }
    template <typename... A> LONG lineGenerateDigitsA(A... a) { return Call<decltype(::lineGenerateDigitsA)>(kLineGenerateDigitsA, a...); }
    template <typename... A> LONG lineGenerateTone(A... a) { return Call<decltype(::lineGenerateTone)>(kLineGenerateTone, a...); }
    template <typename... A> LONG lineGetCallInfoA(A... a) { return Call<decltype(::lineGetCallInfoA)>(kLineGetCallInfoA, a...); }
    template <typename... A> LONG lineGetCallStatus(A... a) { return Call<decltype(::lineGetCallStatus)>(kLineGetCallStatus, a...); }
    template <typename... A> LONG lineGetDevCapsA(A... a) { return Call<decltype(::lineGetDevCapsA)>(kLineGetDevCapsA, a...); }
    template <typename... A> LONG lineGetNewCalls(A... a) { return Call<decltype(::lineGetNewCalls)>(kLineGetNewCalls, a...); }
    template <typename... A> LONG lineGetIconA(A... a) { return Call<decltype(::lineGetIconA)>(kLineGetIconA, a...); }
    template <typename... A> LONG lineGetIDA(A... a) { return Call<decltype(::lineGetIDA)>(kLineGetIDA, a...); }
    template <typename... A> LONG lineGetLineDevStatus(A... a) { return Call<decltype(::lineGetLineDevStatus)>(kLineGetLineDevStatus, a...); }
    template <typename... A> LONG lineGetRequestA(A... a) { return Call<decltype(::lineGetRequestA)>(kLineGetRequestA, a...); }
    template <typename... A> LONG lineHold(A... a) { return Call<decltype(::lineHold)>(kLineHold, a...); }
    template <typename... A> LONG lineInitializeExA(A... a) { return Call<decltype(::lineInitializeExA)>(kLineInitializeExA, a...); }
    template <typename... A> LONG lineMakeCallA(A... a) { return Call<decltype(::lineMakeCallA)>(kLineMakeCallA, a...); }
    template <typename... A> LONG lineNegotiateAPIVersion(A... a) { return Call<decltype(::lineNegotiateAPIVersion)>(kLineNegotiateAPIVersion, a...); }
    template <typename... A> LONG lineOpenA(A... a) { return Call<decltype(::lineOpenA)>(kLineOpenA, a...); }
    template <typename... A> LONG linePickupA(A... a) { return Call<decltype(::linePickupA)>(kLinePickupA, a...); }
    template <typename... A> LONG lineRegisterRequestRecipient(A... a) { return Call<decltype(::lineRegisterRequestRecipient)>(kLineRegisterRequestRecipient, a...); }
    template <typename... A> LONG lineRemoveFromConference(A... a) { return Call<decltype(::lineRemoveFromConference)>(kLineRemoveFromConference, a...); }
    template <typename... A> LONG lineSetupConferenceA(A... a) { return Call<decltype(::lineSetupConferenceA)>(kLineSetupConferenceA, a...); }
    template <typename... A> LONG lineSetupTransferA(A... a) { return Call<decltype(::lineSetupTransferA)>(kLineSetupTransferA, a...); }
    template <typename... A> LONG lineSetStatusMessages(A... a) { return Call<decltype(::lineSetStatusMessages)>(kLineSetStatusMessages, a...); }
    template <typename... A> LONG lineSetTerminal(A... a) { return Call<decltype(::lineSetTerminal)>(kLineSetTerminal, a...); }
    template <typename... A> LONG lineShutdown(A... a) { return Call<decltype(::lineShutdown)>(kLineShutdown, a...); }
    template <typename... A> LONG lineTranslateAddressA(A... a) { return Call<decltype(::lineTranslateAddressA)>(kLineTranslateAddressA, a...); }
    template <typename... A> LONG lineTranslateDialogA(A... a) { return Call<decltype(::lineTranslateDialogA)>(kLineTranslateDialogA, a...); }
    template <typename... A> LONG lineUnhold(A... a) { return Call<decltype(::lineUnhold)>(kLineUnhold, a...); }
    template <typename... A> LONG phoneClose(A... a) { return Call<decltype(::phoneClose)>(kPhoneClose, a...); }
    template <typename... A> LONG phoneDevSpecific(A... a) { return Call<decltype(::phoneDevSpecific)>(kPhoneDevSpecific, a...); }
    template <typename... A> LONG phoneGetMessage(A... a) { return Call<decltype(::phoneGetMessage)>(kPhoneGetMessage, a...); }
    template <typename... A> LONG phoneGetStatusA(A... a) { return Call<decltype(::phoneGetStatusA)>(kPhoneGetStatusA, a...); }
    template <typename... A> LONG phoneGetVolume(A... a) { return Call<decltype(::phoneGetVolume)>(kPhoneGetVolume, a...); }
    template <typename... A> LONG phoneInitializeExA(A... a) { return Call<decltype(::phoneInitializeExA)>(kPhoneInitializeExA, a...); }
    template <typename... A> LONG phoneOpen(A... a) { return Call<decltype(::phoneOpen)>(kPhoneOpen, a...); }
    template <typename... A> LONG phoneSetHookSwitch(A... a) { return Call<decltype(::phoneSetHookSwitch)>(kPhoneSetHookSwitch, a...); }
    template <typename... A> LONG phoneSetStatusMessages(A... a) { return Call<decltype(::phoneSetStatusMessages)>(kPhoneSetStatusMessages, a...); }
    template <typename... A> LONG phoneSetVolume(A... a) { return Call<decltype(::phoneSetVolume)>(kPhoneSetVolume, a...); }
    template <typename... A> LONG tapiReportRequestOutcome(A... a) { return Call<decltype(::tapiReportRequestOutcome)>(kTapiReportRequestOutcome, a...); }
    template <typename... A> LONG tapiReloadConfig(A... a) { return Call<decltype(::tapiReloadConfig)>(kTapiReloadConfig, a...); }
    template <typename... A> LONG tapiWatchLines(A... a) { return Call<decltype(::tapiWatchLines)>(kTapiWatchLines, a...); }
    template <typename... A> LONG tapiGetWatchedLine(A... a) { return Call<decltype(::tapiGetWatchedLine)>(kTapiGetWatchedLine, a...); }
    // clang-format on

    // Why the library could not be loaded, naming the files looked for; empty while it is loaded
    // or has not been tried yet.
    const std::string& LoadError() const { return m_loadError; }

    // Event delivery: the service queues line and phone messages and makes a descriptor readable;
    // from here on each readable moment runs the queued callbacks on this thread, from whatever
    // event loop is running (the main loop, a modal dialog's, a menu's). False when the service
    // offers no event descriptor.
    bool StartEventDelivery();
    // Runs the queued callbacks now (what the descriptor's notifier does); how many ran.
    LONG DispatchEvents();

private:
    enum Export : int {
        kLineAddToConference,
        kLineAnswer,
        kLineBlindTransferA,
        kLineClose,
        kLineCompleteTransfer,
        kLineConfigDialogA,
        kLineDeallocateCall,
        kLineDialA,
        kLineDrop,
        kLineGenerateDigitsA,
        kLineGenerateTone,
        kLineGetCallInfoA,
        kLineGetCallStatus,
        kLineGetDevCapsA,
        kLineGetNewCalls,
        kLineGetIconA,
        kLineGetIDA,
        kLineGetLineDevStatus,
        kLineGetRequestA,
        kLineHold,
        kLineInitializeExA,
        kLineMakeCallA,
        kLineNegotiateAPIVersion,
        kLineOpenA,
        kLinePickupA,
        kLineRegisterRequestRecipient,
        kLineRemoveFromConference,
        kLineSetupConferenceA,
        kLineSetupTransferA,
        kLineSetStatusMessages,
        kLineSetTerminal,
        kLineShutdown,
        kLineTranslateAddressA,
        kLineTranslateDialogA,
        kLineUnhold,
        kPhoneClose,
        kPhoneDevSpecific,
        kPhoneGetMessage,
        kPhoneGetStatusA,
        kPhoneGetVolume,
        kPhoneInitializeExA,
        kPhoneOpen,
        kPhoneSetHookSwitch,
        kPhoneSetStatusMessages,
        kPhoneSetVolume,
        kTapiGetEventFd,
        kTapiDispatchEvents,
        kTapiReportRequestOutcome,
        kTapiReloadConfig,
        kTapiWatchLines,
        kTapiGetWatchedLine,
        kExportCount
    };

    enum class LibraryState { NotLoaded, Loaded, Failed };
    enum class EntryState { Unresolved, Resolved, Missing };
    struct Entry {
        EntryState state = EntryState::Unresolved;
        void* address = nullptr;
    };

    // The address of the export, or null with the code the wrapper returns.
    void* Resolve(Export which, LONG& error);
    void* LoadLibraryOnce();

    template <typename Fn, typename... A> LONG Call(Export which, A... args)
    {
        LONG error = 0;
        void* address = Resolve(which, error);
        return address ? reinterpret_cast<Fn*>(address)(args...) : error;
    }

    std::string m_libraryName;
    LibraryState m_libraryState = LibraryState::NotLoaded;
    void* m_library = nullptr;
    std::string m_loadError;
    std::array<Entry, kExportCount> m_entries{};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
