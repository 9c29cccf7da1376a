// The exported TAPI entry points: argument checks, then the exchange.

#include "tapi.h"

#include "command_words.h"
#include "control_client.h"
#include "dialing_rules.h"
#include "exchange.h"
#include "settings_program.h"
#include "var_struct.h"

#include "platform/registry.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <strings.h>
#include <vector>

using tapi::Exchange;

namespace {

// The fixed part of a TAPI 1.x LINECALLPARAMS, which applications may still pass.
constexpr DWORD kMinCallParamsSize = offsetof(LINECALLPARAMS, dwPredictiveAutoTransferStates);
constexpr std::size_t kMaxDeviceClass = 64;

Exchange& Service()
{
    return Exchange::Instance();
}

// A destination address: at most one character more than the longest valid one is read.
std::string AddressText(LPCSTR address)
{
    return address ? std::string(address, strnlen(address, 256)) : std::string();
}

// A text of a variable part, checked against the structure's own size.
bool ReadText(const void* structure, DWORD total, DWORD size, DWORD offset, std::string& text)
{
    text.clear();
    if (size == 0)
        return true;
    if (offset < kMinCallParamsSize || offset > total || size > total - offset)
        return false;
    const char* start = static_cast<const char*>(structure) + offset;
    text.assign(start, strnlen(start, size));
    return true;
}

LONG ReadCallParams(const LINECALLPARAMS* params, Exchange::CallText& text)
{
    if (!params)
        return 0;
    if (params->dwTotalSize < kMinCallParamsSize)
        return LINEERR_STRUCTURETOOSMALL;
    const DWORD total = params->dwTotalSize;
    if (!ReadText(params, total, params->dwDisplayableAddressSize, params->dwDisplayableAddressOffset,
            text.displayable)
        || !ReadText(params, total, params->dwCalledPartySize, params->dwCalledPartyOffset, text.calledParty)
        || !ReadText(params, total, params->dwCommentSize, params->dwCommentOffset, text.comment))
        return LINEERR_INVALCALLPARAMS;
    if (params->dwBearerMode)
        text.bearerMode = params->dwBearerMode;
    if (params->dwMediaMode)
        text.mediaMode = params->dwMediaMode;
    if (total >= sizeof(LINECALLPARAMS))
        text.noAnswerSeconds = params->dwNoAnswerTimeout;
    return 0;
}

// lineInitializeExA and phoneInitializeExA: the outputs are written only on success.
template <typename Handle, typename Callback, typename Params, typename ExchangeParams>
LONG Initialize(LONG (Exchange::*initialize)(Handle&, Callback, const char*, DWORD&, DWORD&, ExchangeParams),
    LONG invalidPointer, Handle* appOut, Callback callback, LPCSTR name, LPDWORD numDevsOut,
    LPDWORD versionInOut, Params params)
{
    if (!appOut || !numDevsOut || !versionInOut)
        return invalidPointer;
    Handle app = 0;
    DWORD numDevs = 0;
    DWORD version = *versionInOut;
    const LONG result = (Service().*initialize)(app, callback, name, numDevs, version, params);
    if (result == 0) {
        *appOut = app;
        *numDevsOut = numDevs;
        *versionInOut = version;
    }
    return result;
}

bool ClassIs(LPCSTR deviceClass, const char* name)
{
    return strcasecmp(deviceClass, name) == 0;
}

// The service's answer to a dialing request sent through its control socket.
LONG RequestReplyResult(const std::string& reply)
{
    if (reply.starts_with("placed") || reply.starts_with("requested"))
        return 0;
    if (reply.find("too many") != std::string::npos)
        return TAPIERR_REQUESTQUEUEFULL;
    if (reply.find("could not place") != std::string::npos)
        return TAPIERR_REQUESTFAILED;
    if (reply.find("withdrawn") != std::string::npos)
        return TAPIERR_REQUESTCANCELLED;
    return TAPIERR_NOREQUESTRECIPIENT;
}

} // namespace

extern "C" {

LONG lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback,
    LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
    LPLINEINITIALIZEEXPARAMS lpLineInitializeExParams)
{
    return Initialize(&Exchange::LineInitialize, LINEERR_INVALPOINTER, lphLineApp, lpfnCallback,
        lpszFriendlyAppName, lpdwNumDevs, lpdwAPIVersion, lpLineInitializeExParams);
}

LONG lineShutdown(HLINEAPP hLineApp)
{
    return Service().LineShutdown(hLineApp);
}

LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
    DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID lpExtensionID)
{
    if (!lpdwAPIVersion || !lpExtensionID)
        return LINEERR_INVALPOINTER;
    DWORD version = 0;
    const LONG result
        = Service().NegotiateApiVersion(hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, version);
    if (result == 0) {
        *lpdwAPIVersion = version;
        *lpExtensionID = LINEEXTENSIONID{};
    }
    return result;
}

LONG lineGetDevCapsA(
    HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion, LPLINEDEVCAPS lpLineDevCaps)
{
    if (!lpLineDevCaps)
        return LINEERR_INVALPOINTER;
    return Service().GetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, *lpLineDevCaps);
}

LONG lineGetAddressCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
    DWORD dwExtVersion, LPLINEADDRESSCAPS lpAddressCaps)
{
    if (!lpAddressCaps)
        return LINEERR_INVALPOINTER;
    return Service().GetAddressCaps(
        hLineApp, dwDeviceID, dwAddressID, dwAPIVersion, dwExtVersion, *lpAddressCaps);
}

LONG lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
    DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS*)
{
    if (!lphLine)
        return LINEERR_INVALPOINTER;
    HLINE line = 0;
    const LONG result = Service().LineOpen(hLineApp, dwDeviceID, line, dwAPIVersion, dwExtVersion,
        dwCallbackInstance, dwPrivileges, dwMediaModes);
    if (result == 0)
        *lphLine = line;
    return result;
}

LONG lineClose(HLINE hLine)
{
    return Service().LineClose(hLine);
}

LONG lineGetIDA(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
    LPCSTR lpszDeviceClass)
{
    if (!lpDeviceID || !lpszDeviceClass)
        return LINEERR_INVALPOINTER;
    return Service().GetId(hLine, dwAddressID, hCall, dwSelect, *lpDeviceID,
        std::string(lpszDeviceClass, strnlen(lpszDeviceClass, kMaxDeviceClass)));
}

LONG lineGetIconA(DWORD dwDeviceID, LPCSTR lpszDeviceClass, HICON* lphIcon)
{
    if (!lphIcon)
        return LINEERR_INVALPOINTER;
    if (LONG result = Service().CheckDevice(dwDeviceID))
        return result;
    if (lpszDeviceClass && !ClassIs(lpszDeviceClass, "tapi/line"))
        return LINEERR_INVALDEVICECLASS;
    *lphIcon = "phone";
    return 0;
}

LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates)
{
    return Service().SetStatusMessages(hLine, dwLineStates, dwAddressStates);
}

LONG lineGetLineDevStatus(HLINE hLine, LPLINEDEVSTATUS lpLineDevStatus)
{
    if (!lpLineDevStatus)
        return LINEERR_INVALPOINTER;
    return Service().GetLineDevStatus(hLine, *lpLineDevStatus);
}

LONG lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LPLINECALLLIST lpCallList)
{
    if (!lpCallList)
        return LINEERR_INVALPOINTER;
    return Service().GetNewCalls(hLine, dwAddressID, dwSelect, *lpCallList);
}

LONG lineMakeCallA(
    HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD, const LINECALLPARAMS* lpCallParams)
{
    if (!lphCall)
        return LINEERR_INVALPOINTER;
    Exchange::CallText text;
    if (LONG result = ReadCallParams(lpCallParams, text))
        return result;
    return Service().MakeCall(hLine, lphCall, AddressText(lpszDestAddress), text);
}

LONG linePickupA(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress, LPCSTR lpszGroupID)
{
    if (!lphCall)
        return LINEERR_INVALPOINTER;
    return Service().Pickup(
        hLine, dwAddressID, lphCall, AddressText(lpszDestAddress), AddressText(lpszGroupID));
}

LONG lineAnswer(HCALL hCall, LPCSTR, DWORD)
{
    return Service().Answer(hCall);
}

LONG lineDrop(HCALL hCall, LPCSTR, DWORD)
{
    return Service().Drop(hCall);
}

LONG lineDeallocateCall(HCALL hCall)
{
    return Service().Deallocate(hCall);
}

LONG lineHold(HCALL hCall)
{
    return Service().Hold(hCall);
}

LONG lineUnhold(HCALL hCall)
{
    return Service().Unhold(hCall);
}

LONG lineSwapHold(HCALL hActiveCall, HCALL hHeldCall)
{
    return Service().SwapHold(hActiveCall, hHeldCall);
}

LONG lineBlindTransferA(HCALL hCall, LPCSTR lpszDestAddress, DWORD)
{
    if (!lpszDestAddress)
        return LINEERR_INVALPOINTER;
    return Service().BlindTransfer(hCall, AddressText(lpszDestAddress));
}

LONG lineSetupTransferA(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS*)
{
    if (!lphConsultCall)
        return LINEERR_INVALPOINTER;
    return Service().SetupTransfer(hCall, lphConsultCall);
}

LONG lineDialA(HCALL hCall, LPCSTR lpszDestAddress, DWORD)
{
    if (!lpszDestAddress)
        return LINEERR_INVALPOINTER;
    return Service().Dial(hCall, AddressText(lpszDestAddress));
}

LONG lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode)
{
    if (dwTransferMode == LINETRANSFERMODE_CONFERENCE && !lphConfCall)
        return LINEERR_INVALPOINTER;
    return Service().CompleteTransfer(hCall, hConsultCall, lphConfCall, dwTransferMode);
}

LONG lineSetupConferenceA(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall,
    DWORD dwNumParties, const LINECALLPARAMS*)
{
    if (!lphConfCall || !lphConsultCall)
        return LINEERR_INVALPOINTER;
    return Service().SetupConference(hCall, hLine, lphConfCall, lphConsultCall, dwNumParties);
}

LONG lineAddToConference(HCALL hConfCall, HCALL hConsultCall)
{
    return Service().AddToConference(hConfCall, hConsultCall);
}

LONG lineRemoveFromConference(HCALL hCall)
{
    return Service().RemoveFromConference(hCall);
}

LONG lineGetCallInfoA(HCALL hCall, LPLINECALLINFO lpCallInfo)
{
    if (!lpCallInfo)
        return LINEERR_INVALPOINTER;
    return Service().GetCallInfo(hCall, *lpCallInfo);
}

LONG lineGetCallStatus(HCALL hCall, LPLINECALLSTATUS lpCallStatus)
{
    if (!lpCallStatus)
        return LINEERR_INVALPOINTER;
    return Service().GetCallStatus(hCall, *lpCallStatus);
}

LONG lineGenerateDigitsA(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration)
{
    return Service().GenerateDigits(hCall, dwDigitMode, lpszDigits, dwDuration);
}

LONG lineGenerateTone(
    HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones, const LINEGENERATETONE* lpTones)
{
    std::vector<LINEGENERATETONE> tones;
    if (dwToneMode == LINETONEMODE_CUSTOM) {
        if (!lpTones)
            return LINEERR_INVALPOINTER;
        if (dwNumTones == 0 || dwNumTones > 3)
            return LINEERR_INVALTONELIST;
        tones.assign(lpTones, lpTones + dwNumTones);
    }
    return Service().GenerateTone(hCall, dwToneMode, dwDuration, tones);
}

LONG lineTranslateAddressA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, LPCSTR lpszAddressIn,
    DWORD dwCard, DWORD dwTranslateOptions, LPLINETRANSLATEOUTPUT lpTranslateOutput)
{
    if (!lpszAddressIn || !lpTranslateOutput)
        return LINEERR_INVALPOINTER;
    if (LONG result = Service().CheckLineApp(hLineApp))
        return result;
    if (LONG result = Service().CheckDevice(dwDeviceID))
        return result;
    if (dwAPIVersion < TAPI_VERSION_LOWEST || dwAPIVersion > TAPI_VERSION_HIGHEST)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (dwTranslateOptions & ~DWORD(0xF))
        return LINEERR_INVALPARAM;
    if ((dwTranslateOptions & LINETRANSLATEOPTION_CARDOVERRIDE) && dwCard != 0)
        return LINEERR_INVALCARD;
    if (lpTranslateOutput->dwTotalSize < sizeof(LINETRANSLATEOUTPUT))
        return LINEERR_STRUCTURETOOSMALL;
    tapi::Translation translation;
    const auto location = tapi::DialingRules::Load(platform::RegistryHive::CurrentUser());
    if (LONG result = tapi::DialingRules::Translate(
            location, std::string(lpszAddressIn, strnlen(lpszAddressIn, 512)), translation))
        return result;
    tapi::VarStruct var(lpTranslateOutput, sizeof(LINETRANSLATEOUTPUT));
    var.AddText(translation.dialable, lpTranslateOutput->dwDialableStringSize,
        lpTranslateOutput->dwDialableStringOffset);
    var.AddText(translation.displayable, lpTranslateOutput->dwDisplayableStringSize,
        lpTranslateOutput->dwDisplayableStringOffset);
    lpTranslateOutput->dwCurrentCountry = translation.currentCountry;
    lpTranslateOutput->dwDestCountry = translation.destCountry;
    lpTranslateOutput->dwTranslateResults = translation.results;
    return 0;
}

LONG lineTranslateDialogA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND, LPCSTR lpszAddressIn)
{
    if (LONG result = Service().CheckLineApp(hLineApp))
        return result;
    if (LONG result = Service().CheckDevice(dwDeviceID))
        return result;
    // Every 2.x minor version may ask for the dialog, 2.1 included.
    if (dwAPIVersion < TAPI_VERSION_LOWEST || dwAPIVersion > 0x0002FFFF)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    std::vector<std::string> arguments{ "--dialing-rules" };
    if (lpszAddressIn) {
        arguments.push_back("--address");
        arguments.emplace_back(lpszAddressIn, strnlen(lpszAddressIn, 512));
    }
    return tapi::RunSettingsProgram(arguments);
}

LONG lineConfigDialogA(DWORD dwDeviceID, HWND, LPCSTR lpszDeviceClass)
{
    if (LONG result = Service().CheckDevice(dwDeviceID))
        return result;
    if (lpszDeviceClass && *lpszDeviceClass && !ClassIs(lpszDeviceClass, "tapi/line"))
        return LINEERR_INVALDEVICECLASS;
    // The name goes in the option's own argument, so that no platform plugin can take a name such
    // as "-display" for one of its options.
    return tapi::RunSettingsProgram(
        { "--line-config", std::to_string(dwDeviceID), "--line-name=" + Service().LineName(dwDeviceID) });
}

LONG lineRegisterRequestRecipient(
    HLINEAPP hLineApp, DWORD dwRegistrationInstance, DWORD dwRequestMode, DWORD bEnable)
{
    return Service().RegisterRequestRecipient(hLineApp, dwRegistrationInstance, dwRequestMode, bEnable != 0);
}

LONG lineGetRequestA(HLINEAPP hLineApp, DWORD dwRequestMode, LPVOID lpRequestBuffer)
{
    if (!lpRequestBuffer)
        return LINEERR_INVALPOINTER;
    LINEREQMAKECALL request{};
    const LONG result = Service().GetRequest(hLineApp, dwRequestMode, request);
    if (result == 0)
        std::memcpy(lpRequestBuffer, &request, sizeof request);
    return result;
}

LONG lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, DWORD dwTerminalModes,
    DWORD dwTerminalID, DWORD bEnable)
{
    return Service().SetTerminal(
        hLine, dwAddressID, hCall, dwSelect, dwTerminalModes, dwTerminalID, bEnable != 0);
}

LONG phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE, PHONECALLBACK lpfnCallback,
    LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
    LPPHONEINITIALIZEEXPARAMS lpPhoneInitializeExParams)
{
    return Initialize(&Exchange::PhoneInitialize, PHONEERR_INVALPOINTER, lphPhoneApp, lpfnCallback,
        lpszFriendlyAppName, lpdwNumDevs, lpdwAPIVersion, lpPhoneInitializeExParams);
}

LONG phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion,
    DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivilege)
{
    if (!lphPhone)
        return PHONEERR_INVALPOINTER;
    HPHONE phone = 0;
    const LONG result = Service().PhoneOpen(
        hPhoneApp, dwDeviceID, phone, dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivilege);
    if (result == 0)
        *lphPhone = phone;
    return result;
}

LONG phoneClose(HPHONE hPhone)
{
    return Service().PhoneClose(hPhone);
}

LONG phoneSetStatusMessages(HPHONE hPhone, DWORD dwPhoneStates, DWORD dwButtonModes, DWORD dwButtonStates)
{
    return Service().PhoneSetStatusMessages(hPhone, dwPhoneStates, dwButtonModes, dwButtonStates);
}

LONG phoneGetStatusA(HPHONE hPhone, LPPHONESTATUS lpPhoneStatus)
{
    if (!lpPhoneStatus)
        return PHONEERR_INVALPOINTER;
    return Service().PhoneGetStatus(hPhone, *lpPhoneStatus);
}

LONG phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode)
{
    return Service().PhoneSetHookSwitch(hPhone, dwHookSwitchDevs, dwHookSwitchMode);
}

LONG phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume)
{
    if (!lpdwVolume)
        return PHONEERR_INVALPOINTER;
    return Service().PhoneGetVolume(hPhone, dwHookSwitchDev, *lpdwVolume);
}

LONG phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume)
{
    return Service().PhoneSetVolume(hPhone, dwHookSwitchDev, dwVolume);
}

LONG phoneDevSpecific(HPHONE hPhone, LPVOID lpParams, DWORD dwSize)
{
    if (!lpParams)
        return PHONEERR_INVALPOINTER;
    const char* text = static_cast<const char*>(lpParams);
    return Service().PhoneDevSpecific(hPhone, std::string(text, strnlen(text, dwSize)));
}

LONG phoneGetMessage(HPHONEAPP hPhoneApp, LPPHONEMESSAGE lpMessage, DWORD dwTimeout)
{
    if (!lpMessage)
        return PHONEERR_INVALPOINTER;
    return Service().PhoneGetMessage(hPhoneApp, *lpMessage, dwTimeout);
}

LONG tapiRequestMakeCallA(
    LPCSTR lpszDestAddress, LPCSTR lpszAppName, LPCSTR lpszCalledParty, LPCSTR lpszComment)
{
    if (!lpszDestAddress)
        return TAPIERR_INVALPOINTER;
    const std::size_t length = strnlen(lpszDestAddress, TAPIMAXDESTADDRESSSIZE);
    if (length == 0 || length >= TAPIMAXDESTADDRESSSIZE)
        return TAPIERR_INVALDESTADDRESS;
    LINEREQMAKECALL request{};
    const auto copy = [](char* out, std::size_t size, LPCSTR text) {
        if (text)
            std::strncpy(out, text, size - 1);
    };
    copy(request.szDestAddress, sizeof request.szDestAddress, lpszDestAddress);
    copy(request.szAppName, sizeof request.szAppName, lpszAppName);
    copy(request.szCalledParty, sizeof request.szCalledParty, lpszCalledParty);
    copy(request.szComment, sizeof request.szComment, lpszComment);
    if (Exchange::IsRunning())
        return Service().RequestMakeCall(request);
    // The service runs in another process (the application's): ask it through its control socket.
    std::string error;
    const std::string path = tapi::ControlSocketPathFromEnvironment(error);
    std::string command = "request";
    for (const char* field :
        { request.szDestAddress, request.szAppName, request.szCalledParty, request.szComment })
        command += " " + tapi::QuoteCommandWord(field);
    std::string reply;
    if (path.empty() || !tapi::SendControlCommand(path, command, reply, error))
        return TAPIERR_NOREQUESTRECIPIENT;
    return RequestReplyResult(reply);
}

LONG tapiReportRequestOutcome(HLINEAPP hLineApp, LONG lResult)
{
    return Service().ReportRequestOutcome(hLineApp, lResult);
}

LONG tapiReloadConfig(LPSTR lpszMessage, DWORD dwMessageSize)
{
    std::string message;
    const LONG result = Service().ReloadConfig(message);
    if (lpszMessage && dwMessageSize > 0) {
        const std::size_t length = std::min<std::size_t>(message.size(), dwMessageSize - 1);
        message.copy(lpszMessage, length);
        lpszMessage[length] = '\0';
    }
    switch (result) {
    case TAPISIM_OK:
        return 0;
    case TAPISIM_E_BUSY:
        return LINEERR_INUSE;
    default:
        return LINEERR_OPERATIONFAILED;
    }
}

LONG tapiWatchLines(HLINE hLine, LPCSTR lpszAddresses)
{
    std::vector<std::string> addresses;
    std::string_view text = lpszAddresses ? lpszAddresses : "";
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        addresses.emplace_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return Service().WatchLines(hLine, addresses);
}

LONG tapiGetWatchedLine(HLINE hLine, DWORD dwIndex, LPDWORD lpdwState)
{
    if (!lpdwState)
        return LINEERR_INVALPOINTER;
    return Service().GetWatchedLine(hLine, dwIndex, *lpdwState);
}

int tapiGetEventFd(void)
{
    return Service().EventFd();
}

LONG tapiDispatchEvents(void)
{
    return Service().DispatchEvents();
}

} // extern "C"
