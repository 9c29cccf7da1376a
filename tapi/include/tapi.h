#pragma once

// Kestrium telephony service: the TAPI 2.x interface of libtapi32.so.
//
// Plain C declarations with TAPI's names, numbers and structure layouts. Every DWORD is 32 bits
// wide, so the fixed parts of the structures have the sizes applications expect (LINECALLPARAMS
// 176 bytes, VARSTRING 24, LINEINITIALIZEEXPARAMS 24...).
//
// Variable-size structures: the caller sets dwTotalSize to the size of its buffer. A buffer smaller
// than the fixed part fails with LINEERR_STRUCTURETOOSMALL (PHONEERR_STRUCTURETOOSMALL for phones).
// Otherwise the call succeeds, dwNeededSize tells how much the complete answer needs and dwUsedSize
// how much was filled; variable parts that do not fit are left out (their size and offset are 0).
// Texts in variable parts are ASCII/UTF-8 with their terminating NUL counted in the size; offsets
// are from the start of the structure.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TAPI_EXPORT __attribute__((visibility("default")))

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef DWORD* LPDWORD;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef uintptr_t DWORD_PTR;
typedef void* HWND; // owner window of the dialogs; may be null
typedef void* HINSTANCE; // unused by this service; pass null
// An icon handle of this service is a freedesktop icon name, a static text owned by the library.
typedef const char* HICON;

typedef DWORD HLINEAPP;
typedef DWORD HLINE;
typedef DWORD HCALL;
typedef DWORD HPHONEAPP;
typedef DWORD HPHONE;
typedef HLINEAPP* LPHLINEAPP;
typedef HLINE* LPHLINE;
typedef HCALL* LPHCALL;
typedef HPHONEAPP* LPHPHONEAPP;
typedef HPHONE* LPHPHONE;

// Callbacks. hDevice is the line, call or phone the message is about; dwCallbackInstance the
// instance given to lineOpenA/phoneOpen (LINE_REQUEST: the registration instance).
typedef void (*LINECALLBACK)(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance, DWORD_PTR dwParam1,
    DWORD_PTR dwParam2, DWORD_PTR dwParam3);
typedef void (*PHONECALLBACK)(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance,
    DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

typedef struct systemtime_tag {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
} SYSTEMTIME;

/* ---- versions ---------------------------------------------------------------------------- */

#define TAPI_VERSION1_0 0x00010003
#define TAPI_VERSION1_4 0x00010004
#define TAPI_VERSION2_0 0x00020000
#define TAPI_VERSION_LOWEST TAPI_VERSION1_0
#define TAPI_VERSION_HIGHEST TAPI_VERSION2_0

/* ---- messages ---------------------------------------------------------------------------- */

#define LINE_ADDRESSSTATE 0
#define LINE_CALLINFO 1
#define LINE_CALLSTATE 2
#define LINE_CLOSE 3
#define LINE_DEVSPECIFIC 4
#define LINE_DEVSPECIFICFEATURE 5
#define LINE_GATHERDIGITS 6
#define LINE_GENERATE 7
#define LINE_LINEDEVSTATE 8
#define LINE_MONITORDIGITS 9
#define LINE_MONITORMEDIA 10
#define LINE_MONITORTONE 11
#define LINE_REPLY 12
#define LINE_REQUEST 13
#define PHONE_BUTTON 14
#define PHONE_CLOSE 15
#define PHONE_DEVSPECIFIC 16
#define PHONE_REPLY 17
#define PHONE_STATE 18
#define LINE_CREATE 19
#define PHONE_CREATE 20
#define LINE_AGENTSPECIFIC 21
#define LINE_AGENTSTATUS 22
#define LINE_APPNEWCALL 23
#define LINE_PROXYREQUEST 24
#define LINE_REMOVE 25
#define PHONE_REMOVE 26

/* ---- line error codes (negative LONG results) ------------------------------------------- */

#define LINEERR_ALLOCATED ((LONG)0x80000001)
#define LINEERR_BADDEVICEID ((LONG)0x80000002)
#define LINEERR_BEARERMODEUNAVAIL ((LONG)0x80000003)
#define LINEERR_CALLUNAVAIL ((LONG)0x80000005)
#define LINEERR_COMPLETIONOVERRUN ((LONG)0x80000006)
#define LINEERR_CONFERENCEFULL ((LONG)0x80000007)
#define LINEERR_DIALBILLING ((LONG)0x80000008)
#define LINEERR_DIALDIALTONE ((LONG)0x80000009)
#define LINEERR_DIALPROMPT ((LONG)0x8000000A)
#define LINEERR_DIALQUIET ((LONG)0x8000000B)
#define LINEERR_INCOMPATIBLEAPIVERSION ((LONG)0x8000000C)
#define LINEERR_INCOMPATIBLEEXTVERSION ((LONG)0x8000000D)
#define LINEERR_INIFILECORRUPT ((LONG)0x8000000E)
#define LINEERR_INUSE ((LONG)0x8000000F)
#define LINEERR_INVALADDRESS ((LONG)0x80000010)
#define LINEERR_INVALADDRESSID ((LONG)0x80000011)
#define LINEERR_INVALADDRESSMODE ((LONG)0x80000012)
#define LINEERR_INVALADDRESSSTATE ((LONG)0x80000013)
#define LINEERR_INVALAPPHANDLE ((LONG)0x80000014)
#define LINEERR_INVALAPPNAME ((LONG)0x80000015)
#define LINEERR_INVALBEARERMODE ((LONG)0x80000016)
#define LINEERR_INVALCALLCOMPLMODE ((LONG)0x80000017)
#define LINEERR_INVALCALLHANDLE ((LONG)0x80000018)
#define LINEERR_INVALCALLPARAMS ((LONG)0x80000019)
#define LINEERR_INVALCALLPRIVILEGE ((LONG)0x8000001A)
#define LINEERR_INVALCALLSELECT ((LONG)0x8000001B)
#define LINEERR_INVALCALLSTATE ((LONG)0x8000001C)
#define LINEERR_INVALCALLSTATELIST ((LONG)0x8000001D)
#define LINEERR_INVALCARD ((LONG)0x8000001E)
#define LINEERR_INVALCOMPLETIONID ((LONG)0x8000001F)
#define LINEERR_INVALCONFCALLHANDLE ((LONG)0x80000020)
#define LINEERR_INVALCONSULTCALLHANDLE ((LONG)0x80000021)
#define LINEERR_INVALCOUNTRYCODE ((LONG)0x80000022)
#define LINEERR_INVALDEVICECLASS ((LONG)0x80000023)
#define LINEERR_INVALDEVICEHANDLE ((LONG)0x80000024)
#define LINEERR_INVALDIALPARAMS ((LONG)0x80000025)
#define LINEERR_INVALDIGITLIST ((LONG)0x80000026)
#define LINEERR_INVALDIGITMODE ((LONG)0x80000027)
#define LINEERR_INVALDIGITS ((LONG)0x80000028)
#define LINEERR_INVALEXTVERSION ((LONG)0x80000029)
#define LINEERR_INVALGROUPID ((LONG)0x8000002A)
#define LINEERR_INVALLINEHANDLE ((LONG)0x8000002B)
#define LINEERR_INVALLINESTATE ((LONG)0x8000002C)
#define LINEERR_INVALLOCATION ((LONG)0x8000002D)
#define LINEERR_INVALMEDIALIST ((LONG)0x8000002E)
#define LINEERR_INVALMEDIAMODE ((LONG)0x8000002F)
#define LINEERR_INVALMESSAGEID ((LONG)0x80000030)
#define LINEERR_INVALPARAM ((LONG)0x80000032)
#define LINEERR_INVALPARKID ((LONG)0x80000033)
#define LINEERR_INVALPARKMODE ((LONG)0x80000034)
#define LINEERR_INVALPOINTER ((LONG)0x80000035)
#define LINEERR_INVALPRIVSELECT ((LONG)0x80000036)
#define LINEERR_INVALRATE ((LONG)0x80000037)
#define LINEERR_INVALREQUESTMODE ((LONG)0x80000038)
#define LINEERR_INVALTERMINALID ((LONG)0x80000039)
#define LINEERR_INVALTERMINALMODE ((LONG)0x8000003A)
#define LINEERR_INVALTIMEOUT ((LONG)0x8000003B)
#define LINEERR_INVALTONE ((LONG)0x8000003C)
#define LINEERR_INVALTONELIST ((LONG)0x8000003D)
#define LINEERR_INVALTONEMODE ((LONG)0x8000003E)
#define LINEERR_INVALTRANSFERMODE ((LONG)0x8000003F)
#define LINEERR_LINEMAPPERFAILED ((LONG)0x80000040)
#define LINEERR_NOCONFERENCE ((LONG)0x80000041)
#define LINEERR_NODEVICE ((LONG)0x80000042)
#define LINEERR_NODRIVER ((LONG)0x80000043)
#define LINEERR_NOMEM ((LONG)0x80000044)
#define LINEERR_NOREQUEST ((LONG)0x80000045)
#define LINEERR_NOTOWNER ((LONG)0x80000046)
#define LINEERR_NOTREGISTERED ((LONG)0x80000047)
#define LINEERR_OPERATIONFAILED ((LONG)0x80000048)
#define LINEERR_OPERATIONUNAVAIL ((LONG)0x80000049)
#define LINEERR_RATEUNAVAIL ((LONG)0x8000004A)
#define LINEERR_RESOURCEUNAVAIL ((LONG)0x8000004B)
#define LINEERR_REQUESTOVERRUN ((LONG)0x8000004C)
#define LINEERR_STRUCTURETOOSMALL ((LONG)0x8000004D)
#define LINEERR_TARGETNOTFOUND ((LONG)0x8000004E)
#define LINEERR_TARGETSELF ((LONG)0x8000004F)
#define LINEERR_UNINITIALIZED ((LONG)0x80000050)
#define LINEERR_USERUSERINFOTOOBIG ((LONG)0x80000051)
#define LINEERR_REINIT ((LONG)0x80000052)
#define LINEERR_ADDRESSBLOCKED ((LONG)0x80000053)
#define LINEERR_BILLINGREJECTED ((LONG)0x80000054)
#define LINEERR_INVALFEATURE ((LONG)0x80000055)
#define LINEERR_NOMULTIPLEINSTANCE ((LONG)0x80000056)

/* ---- phone error codes ------------------------------------------------------------------ */

#define PHONEERR_ALLOCATED ((LONG)0x90000001)
#define PHONEERR_BADDEVICEID ((LONG)0x90000002)
#define PHONEERR_INCOMPATIBLEAPIVERSION ((LONG)0x90000003)
#define PHONEERR_INCOMPATIBLEEXTVERSION ((LONG)0x90000004)
#define PHONEERR_INIFILECORRUPT ((LONG)0x90000005)
#define PHONEERR_INUSE ((LONG)0x90000006)
#define PHONEERR_INVALAPPHANDLE ((LONG)0x90000007)
#define PHONEERR_INVALAPPNAME ((LONG)0x90000008)
#define PHONEERR_INVALBUTTONLAMPID ((LONG)0x90000009)
#define PHONEERR_INVALBUTTONMODE ((LONG)0x9000000A)
#define PHONEERR_INVALBUTTONSTATE ((LONG)0x9000000B)
#define PHONEERR_INVALDATAID ((LONG)0x9000000C)
#define PHONEERR_INVALDEVICECLASS ((LONG)0x9000000D)
#define PHONEERR_INVALEXTVERSION ((LONG)0x9000000E)
#define PHONEERR_INVALHOOKSWITCHDEV ((LONG)0x9000000F)
#define PHONEERR_INVALHOOKSWITCHMODE ((LONG)0x90000010)
#define PHONEERR_INVALLAMPMODE ((LONG)0x90000011)
#define PHONEERR_INVALPARAM ((LONG)0x90000012)
#define PHONEERR_INVALPHONEHANDLE ((LONG)0x90000013)
#define PHONEERR_INVALPHONESTATE ((LONG)0x90000014)
#define PHONEERR_INVALPOINTER ((LONG)0x90000015)
#define PHONEERR_INVALPRIVILEGE ((LONG)0x90000016)
#define PHONEERR_INVALRINGMODE ((LONG)0x90000017)
#define PHONEERR_NODEVICE ((LONG)0x90000018)
#define PHONEERR_NODRIVER ((LONG)0x90000019)
#define PHONEERR_NOMEM ((LONG)0x9000001A)
#define PHONEERR_NOTOWNER ((LONG)0x9000001B)
#define PHONEERR_OPERATIONFAILED ((LONG)0x9000001C)
#define PHONEERR_OPERATIONUNAVAIL ((LONG)0x9000001D)
#define PHONEERR_RESOURCEUNAVAIL ((LONG)0x9000001F)
#define PHONEERR_REQUESTOVERRUN ((LONG)0x90000020)
#define PHONEERR_STRUCTURETOOSMALL ((LONG)0x90000021)
#define PHONEERR_UNINITIALIZED ((LONG)0x90000022)
#define PHONEERR_REINIT ((LONG)0x90000023)

/* ---- assisted telephony results --------------------------------------------------------- */

#define TAPIERR_CONNECTED 0
#define TAPIERR_DROPPED (-1)
#define TAPIERR_NOREQUESTRECIPIENT (-2)
#define TAPIERR_REQUESTQUEUEFULL (-3)
#define TAPIERR_INVALDESTADDRESS (-4)
#define TAPIERR_INVALWINDOWHANDLE (-5)
#define TAPIERR_INVALDEVICECLASS (-6)
#define TAPIERR_INVALDEVICEID (-7)
#define TAPIERR_DEVICECLASSUNAVAIL (-8)
#define TAPIERR_DEVICEIDUNAVAIL (-9)
#define TAPIERR_DEVICEINUSE (-10)
#define TAPIERR_DESTBUSY (-11)
#define TAPIERR_DESTNOANSWER (-12)
#define TAPIERR_DESTUNAVAIL (-13)
#define TAPIERR_UNKNOWNWINHANDLE (-14)
#define TAPIERR_UNKNOWNREQUESTID (-15)
#define TAPIERR_REQUESTFAILED (-16)
#define TAPIERR_REQUESTCANCELLED (-17)
#define TAPIERR_INVALPOINTER (-18)

#define TAPIMAXDESTADDRESSSIZE 80
#define TAPIMAXAPPNAMESIZE 40
#define TAPIMAXCALLEDPARTYSIZE 40
#define TAPIMAXCOMMENTSIZE 80

/* ---- line constants --------------------------------------------------------------------- */

#define LINECALLSTATE_IDLE 0x00000001
#define LINECALLSTATE_OFFERING 0x00000002
#define LINECALLSTATE_ACCEPTED 0x00000004
#define LINECALLSTATE_DIALTONE 0x00000008
#define LINECALLSTATE_DIALING 0x00000010
#define LINECALLSTATE_RINGBACK 0x00000020
#define LINECALLSTATE_BUSY 0x00000040
#define LINECALLSTATE_SPECIALINFO 0x00000080
#define LINECALLSTATE_CONNECTED 0x00000100
#define LINECALLSTATE_PROCEEDING 0x00000200
#define LINECALLSTATE_ONHOLD 0x00000400
#define LINECALLSTATE_CONFERENCED 0x00000800
#define LINECALLSTATE_ONHOLDPENDCONF 0x00001000
#define LINECALLSTATE_ONHOLDPENDTRANSFER 0x00002000
#define LINECALLSTATE_DISCONNECTED 0x00004000
#define LINECALLSTATE_UNKNOWN 0x00008000

// lineCompleteTransfer's dwTransferMode; LINEADDRESSCAPS dwTransferModes.
#define LINETRANSFERMODE_TRANSFER 0x00000001
#define LINETRANSFERMODE_CONFERENCE 0x00000002

// Mode of the DIALTONE state (LINE_CALLSTATE parameter 2).
#define LINEDIALTONEMODE_NORMAL 0x00000001
#define LINEDIALTONEMODE_SPECIAL 0x00000002
#define LINEDIALTONEMODE_INTERNAL 0x00000004
#define LINEDIALTONEMODE_EXTERNAL 0x00000008
#define LINEDIALTONEMODE_UNKNOWN 0x00000010
#define LINEDIALTONEMODE_UNAVAIL 0x00000020

// Mode of the BUSY state.
#define LINEBUSYMODE_STATION 0x00000001
#define LINEBUSYMODE_TRUNK 0x00000002
#define LINEBUSYMODE_UNKNOWN 0x00000004
#define LINEBUSYMODE_UNAVAIL 0x00000008

// Mode of the DISCONNECTED state (LINE_CALLSTATE parameter 2, LINECALLSTATUS dwCallStateMode).
#define LINEDISCONNECTMODE_NORMAL 0x00000001
#define LINEDISCONNECTMODE_UNKNOWN 0x00000002
#define LINEDISCONNECTMODE_REJECT 0x00000004
#define LINEDISCONNECTMODE_PICKUP 0x00000008
#define LINEDISCONNECTMODE_FORWARDED 0x00000010
#define LINEDISCONNECTMODE_BUSY 0x00000020
#define LINEDISCONNECTMODE_NOANSWER 0x00000040
#define LINEDISCONNECTMODE_BADADDRESS 0x00000080
#define LINEDISCONNECTMODE_UNREACHABLE 0x00000100
#define LINEDISCONNECTMODE_CONGESTION 0x00000200
#define LINEDISCONNECTMODE_INCOMPATIBLE 0x00000400
#define LINEDISCONNECTMODE_UNAVAIL 0x00000800
#define LINEDISCONNECTMODE_NODIALTONE 0x00001000
#define LINEDISCONNECTMODE_NUMBERCHANGED 0x00002000
#define LINEDISCONNECTMODE_OUTOFORDER 0x00004000
#define LINEDISCONNECTMODE_TEMPFAILURE 0x00008000

#define LINECALLORIGIN_OUTBOUND 0x00000001
#define LINECALLORIGIN_INTERNAL 0x00000002
#define LINECALLORIGIN_EXTERNAL 0x00000004
#define LINECALLORIGIN_UNKNOWN 0x00000010
#define LINECALLORIGIN_UNAVAIL 0x00000020
#define LINECALLORIGIN_CONFERENCE 0x00000040
#define LINECALLORIGIN_INBOUND 0x00000080

// LINE_CALLINFO's dwParam1: what changed in LINECALLINFO.
#define LINECALLINFOSTATE_CONNECTEDID 0x00020000
#define LINECALLINFOSTATE_REDIRECTINGID 0x00080000

#define LINECALLREASON_DIRECT 0x00000001
#define LINECALLREASON_PICKUP 0x00000010
#define LINECALLREASON_TRANSFER 0x00000100
#define LINECALLREASON_UNAVAIL 0x00000800

#define LINECALLPARTYID_BLOCKED 0x00000001
#define LINECALLPARTYID_OUTOFAREA 0x00000002
#define LINECALLPARTYID_NAME 0x00000004
#define LINECALLPARTYID_ADDRESS 0x00000008
#define LINECALLPARTYID_PARTIAL 0x00000010
#define LINECALLPARTYID_UNKNOWN 0x00000020
#define LINECALLPARTYID_UNAVAIL 0x00000040

#define LINEMEDIAMODE_UNKNOWN 0x00000002
#define LINEMEDIAMODE_INTERACTIVEVOICE 0x00000004
#define LINEMEDIAMODE_AUTOMATEDVOICE 0x00000008
#define LINEMEDIAMODE_DATAMODEM 0x00000010
#define LINEMEDIAMODE_G3FAX 0x00000020
#define LINEMEDIAMODE_TDD 0x00000040
#define LINEMEDIAMODE_G4FAX 0x00000080
#define LINEMEDIAMODE_DIGITALDATA 0x00000100

#define LINEBEARERMODE_VOICE 0x00000001
#define LINEBEARERMODE_SPEECH 0x00000002
#define LINEBEARERMODE_MULTIUSE 0x00000004
#define LINEBEARERMODE_DATA 0x00000008
#define LINEBEARERMODE_ALTSPEECHDATA 0x00000010
#define LINEBEARERMODE_NONCALLSIGNALING 0x00000020
#define LINEBEARERMODE_PASSTHROUGH 0x00000040

#define LINECALLPRIVILEGE_NONE 0x00000001
#define LINECALLPRIVILEGE_MONITOR 0x00000002
#define LINECALLPRIVILEGE_OWNER 0x00000004

#define LINECALLSELECT_LINE 0x00000001
#define LINECALLSELECT_ADDRESS 0x00000002
#define LINECALLSELECT_CALL 0x00000004

#define LINEDIGITMODE_PULSE 0x00000001
#define LINEDIGITMODE_DTMF 0x00000002
#define LINEDIGITMODE_DTMFEND 0x00000004

#define LINETONEMODE_CUSTOM 0x00000001
#define LINETONEMODE_RINGBACK 0x00000002
#define LINETONEMODE_BUSY 0x00000004
#define LINETONEMODE_BEEP 0x00000008
#define LINETONEMODE_BILLING 0x00000010

// LINE_GENERATE parameter 1.
#define LINEGENERATETERM_DONE 0x00000001
#define LINEGENERATETERM_CANCEL 0x00000002

#define LINEREQUESTMODE_MAKECALL 0x00000001
#define LINEREQUESTMODE_MEDIACALL 0x00000002
#define LINEREQUESTMODE_DROP 0x00000004

#define LINETERMMODE_BUTTONS 0x00000001
#define LINETERMMODE_LAMPS 0x00000002
#define LINETERMMODE_DISPLAY 0x00000004
#define LINETERMMODE_RINGER 0x00000008
#define LINETERMMODE_HOOKSWITCH 0x00000010
#define LINETERMMODE_MEDIATOLINE 0x00000020
#define LINETERMMODE_MEDIAFROMLINE 0x00000040
#define LINETERMMODE_MEDIABIDIRECT 0x00000080

#define LINEINITIALIZEEXOPTION_USEHIDDENWINDOW 0x00000001
#define LINEINITIALIZEEXOPTION_USEEVENT 0x00000002
#define LINEINITIALIZEEXOPTION_USECOMPLETIONPORT 0x00000003

#define LINEADDRESSMODE_ADDRESSID 0x00000001
#define LINEADDRESSMODE_DIALABLEADDR 0x00000002

#define LINECALLPARAMFLAGS_SECURE 0x00000001
#define LINECALLPARAMFLAGS_IDLE 0x00000002
#define LINECALLPARAMFLAGS_BLOCKID 0x00000004
#define LINECALLPARAMFLAGS_ORIGOFFHOOK 0x00000008
#define LINECALLPARAMFLAGS_DESTOFFHOOK 0x00000010

#define LINESTRINGFORMAT_ASCII 0x00000001
#define LINESTRINGFORMAT_DBCS 0x00000002
#define LINESTRINGFORMAT_UNICODE 0x00000003
#define LINESTRINGFORMAT_BINARY 0x00000004

// Line device states: LINE_LINEDEVSTATE parameter 1 and the mask of lineSetStatusMessages.
#define LINEDEVSTATE_OTHER 0x00000001
#define LINEDEVSTATE_RINGING 0x00000002
#define LINEDEVSTATE_CONNECTED 0x00000004
#define LINEDEVSTATE_DISCONNECTED 0x00000008
#define LINEDEVSTATE_MSGWAITON 0x00000010
#define LINEDEVSTATE_MSGWAITOFF 0x00000020
#define LINEDEVSTATE_INSERVICE 0x00000040
#define LINEDEVSTATE_OUTOFSERVICE 0x00000080
#define LINEDEVSTATE_MAINTENANCE 0x00000100
#define LINEDEVSTATE_OPEN 0x00000200
#define LINEDEVSTATE_CLOSE 0x00000400
#define LINEDEVSTATE_NUMCALLS 0x00000800
#define LINEDEVSTATE_NUMCOMPLETIONS 0x00001000
#define LINEDEVSTATE_TERMINALS 0x00002000
#define LINEDEVSTATE_ROAMMODE 0x00004000
#define LINEDEVSTATE_BATTERY 0x00008000
#define LINEDEVSTATE_SIGNAL 0x00010000
#define LINEDEVSTATE_DEVSPECIFIC 0x00020000
#define LINEDEVSTATE_REINIT 0x00040000
#define LINEDEVSTATE_LOCK 0x00080000
#define LINEDEVSTATE_CAPSCHANGE 0x00100000
#define LINEDEVSTATE_CONFIGCHANGE 0x00200000
#define LINEDEVSTATE_TRANSLATECHANGE 0x00400000
#define LINEDEVSTATE_COMPLCANCEL 0x00800000
#define LINEDEVSTATE_REMOVED 0x01000000
#define LINEDEVSTATE_ALL 0x01FFFFFF

// Address states: the second mask of lineSetStatusMessages.
#define LINEADDRESSSTATE_OTHER 0x00000001
#define LINEADDRESSSTATE_DEVSPECIFIC 0x00000002
#define LINEADDRESSSTATE_INUSEZERO 0x00000004
#define LINEADDRESSSTATE_INUSEONE 0x00000008
#define LINEADDRESSSTATE_INUSEMANY 0x00000010
#define LINEADDRESSSTATE_NUMCALLS 0x00000020
#define LINEADDRESSSTATE_FORWARD 0x00000040
#define LINEADDRESSSTATE_TERMINALS 0x00000080
#define LINEADDRESSSTATE_CAPSCHANGE 0x00000100
#define LINEADDRESSSTATE_ALL 0x000001FF

#define LINEANSWERMODE_NONE 0x00000001
#define LINEANSWERMODE_DROP 0x00000002
#define LINEANSWERMODE_HOLD 0x00000004

#define LINEADDRCAPFLAGS_CONFERENCEHELD 0x00004000
#define LINEADDRCAPFLAGS_CONFERENCEMAKE 0x00008000
#define LINEADDRCAPFLAGS_CONFDROP 0x00200000

#define LINEDEVCAPFLAGS_CROSSADDRCONF 0x00000001
#define LINEDEVCAPFLAGS_HIGHLEVCOMP 0x00000002
#define LINEDEVCAPFLAGS_LOWLEVCOMP 0x00000004
#define LINEDEVCAPFLAGS_MEDIACONTROL 0x00000008
#define LINEDEVCAPFLAGS_MULTIPLEADDR 0x00000010
#define LINEDEVCAPFLAGS_CLOSEDROP 0x00000020
#define LINEDEVCAPFLAGS_DIALBILLING 0x00000040
#define LINEDEVCAPFLAGS_DIALQUIET 0x00000080
#define LINEDEVCAPFLAGS_DIALDIALTONE 0x00000100

#define LINEFEATURE_DEVSPECIFIC 0x00000001
#define LINEFEATURE_MAKECALL 0x00000008
#define LINEFEATURE_SETTERMINAL 0x00000020

#define LINECALLFEATURE_ADDTOCONF 0x00000002
#define LINECALLFEATURE_ANSWER 0x00000004
#define LINECALLFEATURE_BLINDTRANSFER 0x00000008
#define LINECALLFEATURE_COMPLETETRANSF 0x00000020
#define LINECALLFEATURE_DIAL 0x00000040
#define LINECALLFEATURE_DROP 0x00000080
#define LINECALLFEATURE_GENERATEDIGITS 0x00000200
#define LINECALLFEATURE_GENERATETONE 0x00000400
#define LINECALLFEATURE_HOLD 0x00000800
#define LINECALLFEATURE_REMOVEFROMCONF 0x00040000
#define LINECALLFEATURE_SETTERMINAL 0x00800000
#define LINECALLFEATURE_SETUPCONF 0x01000000
#define LINECALLFEATURE_SETUPTRANSFER 0x02000000
#define LINECALLFEATURE_SWAPHOLD 0x04000000
#define LINECALLFEATURE_UNHOLD 0x08000000

// LINEADDRESSCAPS dwAddressFeatures: what may be done at the address.
#define LINEADDRFEATURE_MAKECALL 0x00000002
#define LINEADDRFEATURE_PICKUP 0x00000004
#define LINEADDRFEATURE_PICKUPGROUP 0x00000200
#define LINEADDRFEATURE_PICKUPDIRECT 0x00000400

// LINEADDRESSCAPS dwAddrCapFlags.
#define LINEADDRCAPFLAGS_PICKUPGROUPID 0x00000002

#define LINEADDRESSSHARING_PRIVATE 0x00000001

#define LINETRANSLATEOPTION_CARDOVERRIDE 0x00000001
#define LINETRANSLATEOPTION_CANCELCALLWAITING 0x00000002
#define LINETRANSLATEOPTION_FORCELOCAL 0x00000004
#define LINETRANSLATEOPTION_FORCELD 0x00000008

#define LINETRANSLATERESULT_CANONICAL 0x00000001
#define LINETRANSLATERESULT_INTERNATIONAL 0x00000002
#define LINETRANSLATERESULT_LONGDISTANCE 0x00000004
#define LINETRANSLATERESULT_LOCAL 0x00000008
#define LINETRANSLATERESULT_INTOLLLIST 0x00000010
#define LINETRANSLATERESULT_NOTINTOLLLIST 0x00000020
#define LINETRANSLATERESULT_DIALBILLING 0x00000040
#define LINETRANSLATERESULT_DIALQUIET 0x00000080
#define LINETRANSLATERESULT_DIALDIALTONE 0x00000100
#define LINETRANSLATERESULT_DIALPROMPT 0x00000200

/* ---- phone constants -------------------------------------------------------------------- */

#define PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW 0x00000001
#define PHONEINITIALIZEEXOPTION_USEEVENT 0x00000002
#define PHONEINITIALIZEEXOPTION_USECOMPLETIONPORT 0x00000003

#define PHONEPRIVILEGE_MONITOR 0x00000001
#define PHONEPRIVILEGE_OWNER 0x00000002

#define PHONEHOOKSWITCHDEV_HANDSET 0x00000001
#define PHONEHOOKSWITCHDEV_SPEAKER 0x00000002
#define PHONEHOOKSWITCHDEV_HEADSET 0x00000004

#define PHONEHOOKSWITCHMODE_ONHOOK 0x00000001
#define PHONEHOOKSWITCHMODE_MIC 0x00000002
#define PHONEHOOKSWITCHMODE_SPEAKER 0x00000004
#define PHONEHOOKSWITCHMODE_MICSPEAKER 0x00000008
#define PHONEHOOKSWITCHMODE_UNKNOWN 0x00000010

// Phone states: PHONE_STATE parameter 1 and the mask of phoneSetStatusMessages.
#define PHONESTATE_OTHER 0x00000001
#define PHONESTATE_CONNECTED 0x00000002
#define PHONESTATE_DISCONNECTED 0x00000004
#define PHONESTATE_OWNER 0x00000008
#define PHONESTATE_MONITORS 0x00000010
#define PHONESTATE_DISPLAY 0x00000020
#define PHONESTATE_LAMP 0x00000040
#define PHONESTATE_RINGMODE 0x00000080
#define PHONESTATE_RINGVOLUME 0x00000100
#define PHONESTATE_HANDSETHOOKSWITCH 0x00000200
#define PHONESTATE_HANDSETVOLUME 0x00000400
#define PHONESTATE_HANDSETGAIN 0x00000800
#define PHONESTATE_SPEAKERHOOKSWITCH 0x00001000
#define PHONESTATE_SPEAKERVOLUME 0x00002000
#define PHONESTATE_SPEAKERGAIN 0x00004000
#define PHONESTATE_HEADSETHOOKSWITCH 0x00008000
#define PHONESTATE_HEADSETVOLUME 0x00010000
#define PHONESTATE_HEADSETGAIN 0x00020000
#define PHONESTATE_SUSPEND 0x00040000
#define PHONESTATE_RESUME 0x00080000
#define PHONESTATE_DEVSPECIFIC 0x00100000
#define PHONESTATE_REINIT 0x00200000
#define PHONESTATE_CAPSCHANGE 0x00400000
#define PHONESTATE_REMOVED 0x00800000
#define PHONESTATE_ALL 0x00FFFFFF

#define PHONEBUTTONMODE_DUMMY 0x00000001
#define PHONEBUTTONMODE_CALL 0x00000002
#define PHONEBUTTONMODE_FEATURE 0x00000004
#define PHONEBUTTONMODE_KEYPAD 0x00000008
#define PHONEBUTTONMODE_LOCAL 0x00000010
#define PHONEBUTTONMODE_DISPLAY 0x00000020

#define PHONEBUTTONSTATE_UP 0x00000001
#define PHONEBUTTONSTATE_DOWN 0x00000002

#define PHONESTATUSFLAGS_CONNECTED 0x00000001
#define PHONESTATUSFLAGS_SUSPENDED 0x00000002

// Volumes and gains run from 0 to 0xFFFF.
#define PHONEVOLUME_MAX 0x0000FFFF

/* ---- structures ------------------------------------------------------------------------- */

typedef struct lineinitializeexparams_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwOptions;
    union {
        DWORD hEvent; // USEEVENT: the file descriptor that becomes readable when messages wait
        DWORD hCompletionPort;
    } Handles;
    DWORD dwCompletionKey;
} LINEINITIALIZEEXPARAMS, *LPLINEINITIALIZEEXPARAMS;

typedef struct phoneinitializeexparams_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwOptions;
    union {
        DWORD hEvent;
        DWORD hCompletionPort;
    } Handles;
    DWORD dwCompletionKey;
} PHONEINITIALIZEEXPARAMS, *LPPHONEINITIALIZEEXPARAMS;

typedef struct lineextensionid_tag {
    DWORD dwExtensionID0;
    DWORD dwExtensionID1;
    DWORD dwExtensionID2;
    DWORD dwExtensionID3;
} LINEEXTENSIONID, *LPLINEEXTENSIONID;

typedef struct linedialparams_tag {
    DWORD dwDialPause;
    DWORD dwDialSpeed;
    DWORD dwDigitDuration;
    DWORD dwWaitForDialtone;
} LINEDIALPARAMS, *LPLINEDIALPARAMS;

typedef struct varstring_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwStringFormat;
    DWORD dwStringSize;
    DWORD dwStringOffset;
} VARSTRING, *LPVARSTRING;

typedef struct linedevcaps_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwProviderInfoSize;
    DWORD dwProviderInfoOffset;
    DWORD dwSwitchInfoSize;
    DWORD dwSwitchInfoOffset;
    DWORD dwPermanentLineID;
    DWORD dwLineNameSize;
    DWORD dwLineNameOffset;
    DWORD dwStringFormat;
    DWORD dwAddressModes;
    DWORD dwNumAddresses;
    DWORD dwBearerModes;
    DWORD dwMaxRate;
    DWORD dwMediaModes;
    DWORD dwGenerateToneModes;
    DWORD dwGenerateToneMaxNumFreq;
    DWORD dwGenerateDigitModes;
    DWORD dwMonitorToneMaxNumFreq;
    DWORD dwMonitorToneMaxNumEntries;
    DWORD dwMonitorDigitModes;
    DWORD dwGatherDigitsMinTimeout;
    DWORD dwGatherDigitsMaxTimeout;
    DWORD dwMedCtlDigitMaxListSize;
    DWORD dwMedCtlMediaMaxListSize;
    DWORD dwMedCtlToneMaxListSize;
    DWORD dwMedCtlCallStateMaxListSize;
    DWORD dwDevCapFlags;
    DWORD dwMaxNumActiveCalls;
    DWORD dwAnswerMode;
    DWORD dwRingModes;
    DWORD dwLineStates;
    DWORD dwUUIAcceptSize;
    DWORD dwUUIAnswerSize;
    DWORD dwUUIMakeCallSize;
    DWORD dwUUIDropSize;
    DWORD dwUUISendUserUserInfoSize;
    DWORD dwUUICallInfoSize;
    LINEDIALPARAMS MinDialParams;
    LINEDIALPARAMS MaxDialParams;
    LINEDIALPARAMS DefaultDialParams;
    DWORD dwNumTerminals;
    DWORD dwTerminalCapsSize;
    DWORD dwTerminalCapsOffset;
    DWORD dwTerminalTextEntrySize;
    DWORD dwTerminalTextSize;
    DWORD dwTerminalTextOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwLineFeatures;
    DWORD dwSettableDevStatus;
    DWORD dwDeviceClassesSize;
    DWORD dwDeviceClassesOffset;
    uint8_t PermanentLineGuid[16];
} LINEDEVCAPS, *LPLINEDEVCAPS;

typedef struct lineaddresscaps_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwLineDeviceID;
    DWORD dwAddressSize;
    DWORD dwAddressOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwAddressSharing;
    DWORD dwAddressStates;
    DWORD dwCallInfoStates;
    DWORD dwCallerIDFlags;
    DWORD dwCalledIDFlags;
    DWORD dwConnectedIDFlags;
    DWORD dwRedirectionIDFlags;
    DWORD dwRedirectingIDFlags;
    DWORD dwCallStates;
    DWORD dwDialToneModes;
    DWORD dwBusyModes;
    DWORD dwSpecialInfo;
    DWORD dwDisconnectModes;
    DWORD dwMaxNumActiveCalls;
    DWORD dwMaxNumOnHoldCalls;
    DWORD dwMaxNumOnHoldPendingCalls;
    DWORD dwMaxNumConference;
    DWORD dwMaxNumTransConf;
    DWORD dwAddrCapFlags;
    DWORD dwCallFeatures;
    DWORD dwRemoveFromConfCaps;
    DWORD dwRemoveFromConfState;
    DWORD dwTransferModes;
    DWORD dwParkModes;
    DWORD dwForwardModes;
    DWORD dwMaxForwardEntries;
    DWORD dwMaxSpecificEntries;
    DWORD dwMinFwdNumRings;
    DWORD dwMaxFwdNumRings;
    DWORD dwMaxCallCompletions;
    DWORD dwCallCompletionConds;
    DWORD dwCallCompletionModes;
    DWORD dwNumCompletionMessages;
    DWORD dwCompletionMsgTextEntrySize;
    DWORD dwCompletionMsgTextSize;
    DWORD dwCompletionMsgTextOffset;
    DWORD dwAddressFeatures;
    DWORD dwPredictiveAutoTransferStates;
    DWORD dwNumCallTreatments;
    DWORD dwCallTreatmentListSize;
    DWORD dwCallTreatmentListOffset;
    DWORD dwDeviceClassesSize;
    DWORD dwDeviceClassesOffset;
    DWORD dwMaxCallDataSize;
    DWORD dwCallFeatures2;
    DWORD dwMaxNoAnswerTimeout;
    DWORD dwConnectedModes;
    DWORD dwOfferingModes;
    DWORD dwAvailableMediaModes;
} LINEADDRESSCAPS, *LPLINEADDRESSCAPS;

typedef struct linedevstatus_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwNumOpens;
    DWORD dwOpenMediaModes;
    DWORD dwNumActiveCalls;
    DWORD dwNumOnHoldCalls;
    DWORD dwNumOnHoldPendCalls;
    DWORD dwLineFeatures;
    DWORD dwNumCallCompletions;
    DWORD dwRingMode;
    DWORD dwSignalLevel;
    DWORD dwBatteryLevel;
    DWORD dwRoamMode;
    DWORD dwDevStatusFlags;
    DWORD dwTerminalModesSize;
    DWORD dwTerminalModesOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwAvailableMediaModes;
    DWORD dwAppInfoSize;
    DWORD dwAppInfoOffset;
} LINEDEVSTATUS, *LPLINEDEVSTATUS;

#define LINEDEVSTATUSFLAGS_CONNECTED 0x00000001
#define LINEDEVSTATUSFLAGS_MSGWAIT 0x00000002
#define LINEDEVSTATUSFLAGS_INSERVICE 0x00000004
#define LINEDEVSTATUSFLAGS_LOCKED 0x00000008

typedef struct linecallparams_tag {
    DWORD dwTotalSize;
    DWORD dwBearerMode;
    DWORD dwMinRate;
    DWORD dwMaxRate;
    DWORD dwMediaMode;
    DWORD dwCallParamFlags;
    DWORD dwAddressMode;
    DWORD dwAddressID;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigAddressSize;
    DWORD dwOrigAddressOffset;
    DWORD dwDisplayableAddressSize;
    DWORD dwDisplayableAddressOffset;
    DWORD dwCalledPartySize;
    DWORD dwCalledPartyOffset;
    DWORD dwCommentSize;
    DWORD dwCommentOffset;
    DWORD dwUserUserInfoSize;
    DWORD dwUserUserInfoOffset;
    DWORD dwHighLevelCompSize;
    DWORD dwHighLevelCompOffset;
    DWORD dwLowLevelCompSize;
    DWORD dwLowLevelCompOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwPredictiveAutoTransferStates;
    DWORD dwTargetAddressSize;
    DWORD dwTargetAddressOffset;
    DWORD dwSendingFlowspecSize;
    DWORD dwSendingFlowspecOffset;
    DWORD dwReceivingFlowspecSize;
    DWORD dwReceivingFlowspecOffset;
    DWORD dwDeviceClassSize;
    DWORD dwDeviceClassOffset;
    DWORD dwDeviceConfigSize;
    DWORD dwDeviceConfigOffset;
    DWORD dwCallDataSize;
    DWORD dwCallDataOffset;
    DWORD dwNoAnswerTimeout; // seconds; 0 = the exchange's own time-out
    DWORD dwCallingPartyIDSize;
    DWORD dwCallingPartyIDOffset;
} LINECALLPARAMS, *LPLINECALLPARAMS;

typedef struct linecallinfo_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    HLINE hLine;
    DWORD dwLineDeviceID;
    DWORD dwAddressID;
    DWORD dwBearerMode;
    DWORD dwRate;
    DWORD dwMediaMode;
    DWORD dwAppSpecific;
    DWORD dwCallID;
    DWORD dwRelatedCallID;
    DWORD dwCallParamFlags;
    DWORD dwCallStates;
    DWORD dwMonitorDigitModes;
    DWORD dwMonitorMediaModes;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigin;
    DWORD dwReason;
    DWORD dwCompletionID;
    DWORD dwNumOwners;
    DWORD dwNumMonitors;
    DWORD dwCountryCode;
    DWORD dwTrunk;
    DWORD dwCallerIDFlags;
    DWORD dwCallerIDSize;
    DWORD dwCallerIDOffset;
    DWORD dwCallerIDNameSize;
    DWORD dwCallerIDNameOffset;
    DWORD dwCalledIDFlags;
    DWORD dwCalledIDSize;
    DWORD dwCalledIDOffset;
    DWORD dwCalledIDNameSize;
    DWORD dwCalledIDNameOffset;
    DWORD dwConnectedIDFlags;
    DWORD dwConnectedIDSize;
    DWORD dwConnectedIDOffset;
    DWORD dwConnectedIDNameSize;
    DWORD dwConnectedIDNameOffset;
    DWORD dwRedirectionIDFlags;
    DWORD dwRedirectionIDSize;
    DWORD dwRedirectionIDOffset;
    DWORD dwRedirectionIDNameSize;
    DWORD dwRedirectionIDNameOffset;
    DWORD dwRedirectingIDFlags;
    DWORD dwRedirectingIDSize;
    DWORD dwRedirectingIDOffset;
    DWORD dwRedirectingIDNameSize;
    DWORD dwRedirectingIDNameOffset;
    DWORD dwAppNameSize;
    DWORD dwAppNameOffset;
    DWORD dwDisplayableAddressSize;
    DWORD dwDisplayableAddressOffset;
    DWORD dwCalledPartySize;
    DWORD dwCalledPartyOffset;
    DWORD dwCommentSize;
    DWORD dwCommentOffset;
    DWORD dwDisplaySize;
    DWORD dwDisplayOffset;
    DWORD dwUserUserInfoSize;
    DWORD dwUserUserInfoOffset;
    DWORD dwHighLevelCompSize;
    DWORD dwHighLevelCompOffset;
    DWORD dwLowLevelCompSize;
    DWORD dwLowLevelCompOffset;
    DWORD dwChargingInfoSize;
    DWORD dwChargingInfoOffset;
    DWORD dwTerminalModesSize;
    DWORD dwTerminalModesOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwCallTreatment;
    DWORD dwCallDataSize;
    DWORD dwCallDataOffset;
    DWORD dwSendingFlowspecSize;
    DWORD dwSendingFlowspecOffset;
    DWORD dwReceivingFlowspecSize;
    DWORD dwReceivingFlowspecOffset;
} LINECALLINFO, *LPLINECALLINFO;

typedef struct linecallstatus_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwCallState;
    DWORD dwCallStateMode;
    DWORD dwCallPrivilege;
    DWORD dwCallFeatures;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwCallFeatures2;
    SYSTEMTIME tStateEntryTime;
} LINECALLSTATUS, *LPLINECALLSTATUS;

// The calls: dwCallsNumEntries HCALLs at dwCallsOffset (dwCallsSize bytes).
typedef struct linecalllist_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwCallsNumEntries;
    DWORD dwCallsSize;
    DWORD dwCallsOffset;
} LINECALLLIST, *LPLINECALLLIST;

typedef struct linetranslateoutput_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwDialableStringSize;
    DWORD dwDialableStringOffset;
    DWORD dwDisplayableStringSize;
    DWORD dwDisplayableStringOffset;
    DWORD dwCurrentCountry;
    DWORD dwDestCountry;
    DWORD dwTranslateResults;
} LINETRANSLATEOUTPUT, *LPLINETRANSLATEOUTPUT;

typedef struct linegeneratetone_tag {
    DWORD dwFrequency; // Hz
    DWORD dwCadenceOn; // ms
    DWORD dwCadenceOff;
    DWORD dwVolume;
} LINEGENERATETONE, *LPLINEGENERATETONE;

// lineGetRequestA with LINEREQUESTMODE_MAKECALL fills one of these.
typedef struct linereqmakecall_tag {
    char szDestAddress[TAPIMAXDESTADDRESSSIZE];
    char szAppName[TAPIMAXAPPNAMESIZE];
    char szCalledParty[TAPIMAXCALLEDPARTYSIZE];
    char szComment[TAPIMAXCOMMENTSIZE];
} LINEREQMAKECALL, *LPLINEREQMAKECALL;

typedef struct phonestatus_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwStatusFlags;
    DWORD dwNumOwners;
    DWORD dwNumMonitors;
    DWORD dwRingMode;
    DWORD dwRingVolume;
    DWORD dwHandsetHookSwitchMode;
    DWORD dwHandsetVolume;
    DWORD dwHandsetGain;
    DWORD dwSpeakerHookSwitchMode;
    DWORD dwSpeakerVolume;
    DWORD dwSpeakerGain;
    DWORD dwHeadsetHookSwitchMode;
    DWORD dwHeadsetVolume;
    DWORD dwHeadsetGain;
    DWORD dwDisplaySize;
    DWORD dwDisplayOffset;
    DWORD dwLampModesSize;
    DWORD dwLampModesOffset;
    DWORD dwOwnerNameSize;
    DWORD dwOwnerNameOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwPhoneFeatures;
} PHONESTATUS, *LPPHONESTATUS;

typedef struct phonemessage_tag {
    DWORD hDevice;
    DWORD dwMessageID;
    DWORD_PTR dwCallbackInstance;
    DWORD_PTR dwParam1;
    DWORD_PTR dwParam2;
    DWORD_PTR dwParam3;
} PHONEMESSAGE, *LPPHONEMESSAGE;

/* ---- entry points ----------------------------------------------------------------------- */

// Asynchronous functions (lineAnswer, lineDrop, lineMakeCallA, lineHold, lineUnhold, lineSwapHold,
// lineBlindTransferA) return a positive request id and complete later with LINE_REPLY (parameter 1 the id,
// parameter 2 0 or a LINEERR code).

TAPI_EXPORT LONG lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
    LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
    LPLINEINITIALIZEEXPARAMS lpLineInitializeExParams);
TAPI_EXPORT LONG lineShutdown(HLINEAPP hLineApp);
TAPI_EXPORT LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
    DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID lpExtensionID);
TAPI_EXPORT LONG lineGetDevCapsA(
    HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion, LPLINEDEVCAPS lpLineDevCaps);
// Each line has one address (id 0).
TAPI_EXPORT LONG lineGetAddressCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID,
    DWORD dwAPIVersion, DWORD dwExtVersion, LPLINEADDRESSCAPS lpAddressCaps);
TAPI_EXPORT LONG lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
    DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
    const LINECALLPARAMS* lpCallParams);
TAPI_EXPORT LONG lineClose(HLINE hLine);
TAPI_EXPORT LONG lineGetIDA(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect,
    LPVARSTRING lpDeviceID, LPCSTR lpszDeviceClass);
TAPI_EXPORT LONG lineGetIconA(DWORD dwDeviceID, LPCSTR lpszDeviceClass, HICON* lphIcon);
TAPI_EXPORT LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates);
TAPI_EXPORT LONG lineGetLineDevStatus(HLINE hLine, LPLINEDEVSTATUS lpLineDevStatus);
TAPI_EXPORT LONG lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LPLINECALLLIST lpCallList);
TAPI_EXPORT LONG lineMakeCallA(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
    const LINECALLPARAMS* lpCallParams);
TAPI_EXPORT LONG lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
TAPI_EXPORT LONG lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
TAPI_EXPORT LONG lineDeallocateCall(HCALL hCall);
TAPI_EXPORT LONG lineHold(HCALL hCall);
TAPI_EXPORT LONG lineUnhold(HCALL hCall);
TAPI_EXPORT LONG lineSwapHold(HCALL hActiveCall, HCALL hHeldCall);
// Hands a connected call to another number; the call then goes IDLE. dwCountryCode is not used.
TAPI_EXPORT LONG lineBlindTransferA(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode);
// Consultation transfer: hCall goes ONHOLDPENDTRANSFER and a consultation call is created in
// DIALTONE (its handle arrives with LINE_REPLY); lineDialA dials it. lineCompleteTransfer with
// LINETRANSFERMODE_TRANSFER hands the held far end to the consultation call's and both calls go
// IDLE; with LINETRANSFERMODE_CONFERENCE the two join a new conference call (lphConfCall).
// Dropping the consultation call and lineUnhold cancel. lpCallParams is not used.
TAPI_EXPORT LONG lineSetupTransferA(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams);
TAPI_EXPORT LONG lineDialA(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode);
TAPI_EXPORT LONG lineCompleteTransfer(
    HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode);
// Three-way conference: hCall goes CONFERENCED, the conference call ONHOLDPENDCONF and a
// consultation call DIALTONE; lineAddToConference adds the consultation call once connected.
// A CONFERENCED call's LINE_CALLSTATE carries the conference call's handle as parameter 2.
TAPI_EXPORT LONG lineSetupConferenceA(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall,
    DWORD dwNumParties, const LINECALLPARAMS* lpCallParams);
TAPI_EXPORT LONG lineAddToConference(HCALL hConfCall, HCALL hConsultCall);
TAPI_EXPORT LONG lineRemoveFromConference(HCALL hCall);
// Directed pickup: answers here the call ringing at lpszDestAddress. A SIP line offers it for a
// colleague's line it watches (tapiWatchLines, the entry as given there) when the server's presence
// names the ringing call: the caller's phone is asked to hand its call over (INVITE with Replaces
// of the ringing dialog). The call's handle arrives with LINE_REPLY once the caller took us on,
// CONNECTED, its caller the one who rang the colleague and its reason LINECALLREASON_PICKUP.
// A simulated line picks up the call offered on another simulated line of the exchange, named by
// its line name; that call goes DISCONNECTED with LINEDISCONNECTMODE_PICKUP. Group pickup
// (lpszGroupID without an address) is not offered. LINEERR_OPERATIONUNAVAIL when the line cannot
// know the address's ringing call (not watched, no presence, no call id or tags from the server),
// LINEERR_OPERATIONFAILED when nothing rings there, LINEERR_INUSE while the line has a call or a
// pickup under way; LINE_REPLY carries LINEERR_OPERATIONFAILED when the caller did not hand the
// call over (it was answered or ended meanwhile, or it rang us instead).
TAPI_EXPORT LONG linePickupA(
    HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress, LPCSTR lpszGroupID);
TAPI_EXPORT LONG lineGetCallInfoA(HCALL hCall, LPLINECALLINFO lpCallInfo);
TAPI_EXPORT LONG lineGetCallStatus(HCALL hCall, LPLINECALLSTATUS lpCallStatus);
// Digits "0"-"9", "*", "#", "A"-"D"; "!" is a hook flash. dwDuration 0 means the default.
TAPI_EXPORT LONG lineGenerateDigitsA(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration);
TAPI_EXPORT LONG lineGenerateTone(
    HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones, const LINEGENERATETONE* lpTones);
TAPI_EXPORT LONG lineTranslateAddressA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
    LPCSTR lpszAddressIn, DWORD dwCard, DWORD dwTranslateOptions, LPLINETRANSLATEOUTPUT lpTranslateOutput);
// The two dialogs run the service's settings program and return when it closes.
TAPI_EXPORT LONG lineTranslateDialogA(
    HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner, LPCSTR lpszAddressIn);
TAPI_EXPORT LONG lineConfigDialogA(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass);
TAPI_EXPORT LONG lineRegisterRequestRecipient(
    HLINEAPP hLineApp, DWORD dwRegistrationInstance, DWORD dwRequestMode, DWORD bEnable);
TAPI_EXPORT LONG lineGetRequestA(HLINEAPP hLineApp, DWORD dwRequestMode, LPVOID lpRequestBuffer);
TAPI_EXPORT LONG lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect,
    DWORD dwTerminalModes, DWORD dwTerminalID, DWORD bEnable);

TAPI_EXPORT LONG phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
    LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
    LPPHONEINITIALIZEEXPARAMS lpPhoneInitializeExParams);
TAPI_EXPORT LONG phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion,
    DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivilege);
TAPI_EXPORT LONG phoneClose(HPHONE hPhone);
TAPI_EXPORT LONG phoneSetStatusMessages(
    HPHONE hPhone, DWORD dwPhoneStates, DWORD dwButtonModes, DWORD dwButtonStates);
TAPI_EXPORT LONG phoneGetStatusA(HPHONE hPhone, LPPHONESTATUS lpPhoneStatus);
TAPI_EXPORT LONG phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode);
TAPI_EXPORT LONG phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume);
TAPI_EXPORT LONG phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume);
// Device-specific commands: the NUL-terminated texts "000a" (audio path to the computer) and "003a"
// (audio path back to the line).
TAPI_EXPORT LONG phoneDevSpecific(HPHONE hPhone, LPVOID lpParams, DWORD dwSize);
// Only for applications initialised with PHONEINITIALIZEEXOPTION_USEEVENT; a callback application
// gets its messages through its callback and is answered PHONEERR_OPERATIONUNAVAIL at once.
TAPI_EXPORT LONG phoneGetMessage(HPHONEAPP hPhoneApp, LPPHONEMESSAGE lpMessage, DWORD dwTimeout);

// Assisted telephony: asks the application registered for LINEREQUESTMODE_MAKECALL (in this
// process or in the process that runs the telephony service) to place the call. Returns 0 when the
// request was queued, else a TAPIERR_ code (TAPIERR_NOREQUESTRECIPIENT when nobody serves them).
// From another process it waits up to 4 s for the recipient's answer (tapiReportRequestOutcome):
// TAPIERR_REQUESTFAILED when the call could not be placed, TAPIERR_REQUESTCANCELLED when the
// recipient did not take the request in time (it is then withdrawn).
TAPI_EXPORT LONG tapiRequestMakeCallA(
    LPCSTR lpszDestAddress, LPCSTR lpszAppName, LPCSTR lpszCalledParty, LPCSTR lpszComment);

// Extension for request recipients: after lineGetRequestA, says whether the call of the request
// taken was placed (lResult 0 or the positive request id of lineMakeCallA) or not (a negative
// LINEERR_ code), so that the requester can tell its user.
TAPI_EXPORT LONG tapiReportRequestOutcome(HLINEAPP hLineApp, LONG lResult);

// Extension: re-reads the exchange configuration file and applies the lines' SIP accounts and
// ring periods without a restart. 0 when applied; LINEERR_OPERATIONFAILED when the file has a
// mistake or changes the device set (names, kinds, phones: used from the next start), LINEERR_INUSE
// while a call on a SIP line would be cut. The reason is written to lpszMessage (NUL-terminated,
// cut to dwMessageSize bytes; may be NULL).
TAPI_EXPORT LONG tapiReloadConfig(LPSTR lpszMessage, DWORD dwMessageSize);

// Extension: colleagues' lines in view. A SIP line watches other lines of its server through the
// dialog-event package (RFC 4235): lpszAddresses lists them, one per '\n'-separated entry
// (extensions as dialled, user@host or SIP URIs of the line's domain; a final '\n' starts no entry),
// and replaces the line's earlier list; NULL or "" stops watching. The list is the line's, shared by
// every application that opened it, and dropped once nobody has the line open. An entry's index is
// its place in the list. 0, or LINEERR_INVALLINEHANDLE, LINEERR_OPERATIONUNAVAIL (no SIP line),
// LINEERR_INVALPARAM (more than TAPIWATCH_MAXLINES entries, or one longer than
// TAPIWATCH_MAXADDRESS characters).
#define TAPIWATCH_MAXLINES 500
#define TAPIWATCH_MAXADDRESS 128
TAPI_EXPORT LONG tapiWatchLines(HLINE hLine, LPCSTR lpszAddresses);
// What the watched line at dwIndex is doing: TAPIWATCH_UNKNOWN while the server has not said
// (or has no presence, or the entry is not on the line's server), else idle, ringing or in a call.
#define TAPIWATCH_UNKNOWN 0
#define TAPIWATCH_IDLE 1
#define TAPIWATCH_RINGING 2
#define TAPIWATCH_INCALL 3
TAPI_EXPORT LONG tapiGetWatchedLine(HLINE hLine, DWORD dwIndex, LPDWORD lpdwState);
// A watched line's state changed: LINE_DEVSPECIFIC to every application that opened the line,
// dwParam1 TAPIDEVSPECIFIC_WATCHEDLINE, dwParam2 the entry's index, dwParam3 its new state.
#define TAPIDEVSPECIFIC_WATCHEDLINE 0x4B570001

// Event delivery for callback applications. The descriptor becomes readable when line or phone
// messages wait; it stays the same for the life of the process (it is never closed by the
// library). tapiDispatchEvents runs the callbacks of every waiting message on the calling thread
// and returns how many it ran; it may be called at any time, also from inside a callback.
TAPI_EXPORT int tapiGetEventFd(void);
TAPI_EXPORT LONG tapiDispatchEvents(void);

#ifdef __cplusplus
}
#endif
