#pragma once

// Kestrium telephony service: control of the simulated exchange behind libtapi32.so.
//
// Tests drive the exchange in-process through these functions; the control socket and the
// `linesim` tool reach the same operations from another process. Lines and phones are named by
// their device ids (0 .. number of devices - 1); phone n belongs to line n.
//
// Every function returns TAPISIM_OK (0) or a negative TAPISIM_E code, and never calls an
// application callback itself: the messages it causes are queued and run by tapiDispatchEvents.

#include "tapi.h"

#ifdef __cplusplus
extern "C" {
#endif

#define TAPISIM_OK 0
#define TAPISIM_E_BADLINE (-1) // no line or phone with that id
#define TAPISIM_E_NOCALL (-2) // the line has no call in a state the command needs
#define TAPISIM_E_BADARG (-3) // null pointer, empty or malformed argument
#define TAPISIM_E_BUSY (-4) // the line already has a call, or applications are running
#define TAPISIM_E_FILE (-5) // a file cannot be read or is not in a supported format
#define TAPISIM_E_CONFIG (-6) // a configuration text has mistakes (see tapisimLastError)
#define TAPISIM_E_CLOCK (-7) // the operation needs the other clock mode
#define TAPISIM_E_TOOSMALL (-8) // the output buffer is too small; nothing was written
#define TAPISIM_E_FAILED (-9) // the service could not carry the command out (out of memory...)

/* ---- clock, configuration, reset -------------------------------------------------------- */

// Puts the exchange on the manual clock (1) or on real time (0). Time then only moves in
// tapisimAdvance. Resets the exchange first, as tapisimReset does.
TAPI_EXPORT LONG tapisimUseManualClock(int manual);
// Moves the manual clock forward: rings, dial-plan steps, tone and digit ends, far-end audio and
// wave-device buffers happen in order on the calling thread. TAPISIM_E_CLOCK in real-time mode.
TAPI_EXPORT LONG tapisimAdvance(DWORD milliseconds);
// Milliseconds since the exchange started (either clock).
TAPI_EXPORT uint64_t tapisimNow(void);
// Ends every application, call and request, drops queued messages, clears the dial plan, far-end
// settings and what the far ends heard, and restores the device set of the configuration (the
// built-in default unless tapisimConfigure replaced it). The clock mode stays.
TAPI_EXPORT LONG tapisimReset(void);
// Replaces the device set with the one described by a configuration text (format in
// docs/telephony.md). Only while no application is initialised (TAPISIM_E_BUSY). A text with
// mistakes is refused with TAPISIM_E_CONFIG and leaves the built-in default; tapisimLastError
// names the first bad line ("line 3: ..."). A null text restores the built-in default.
TAPI_EXPORT LONG tapisimConfigure(const char* configText);
// The message of the last failed tapisimConfigure or control-socket start, "" when none.
TAPI_EXPORT const char* tapisimLastError(void);

/* ---- incoming calls ---------------------------------------------------------------------- */

#define TAPISIM_CALLER_BLOCKED 0x1 // caller id withheld
#define TAPISIM_CALLER_OUTOFAREA 0x2 // caller id not available from the network
// The caller's cancel (giving up or hanging up before the call connected) reaches the line as
// DISCONNECTED (LINEDISCONNECTMODE_NORMAL) before the application drops it, as many real lines
// report it; without the flag the offered call goes IDLE at once.
#define TAPISIM_CALLER_DISCONNECTS 0x4

typedef struct tapisim_caller_tag {
    const char* number; // caller number, null or "" for none
    const char* name; // caller name, null or "" for none
    DWORD flags; // TAPISIM_CALLER_*
    DWORD giveUpAfterRings; // the caller hangs up after this many rings; 0 = rings on
    DWORD hangUpAfterMs; // once answered, the caller hangs up after this long; 0 = stays
} TAPISIM_CALLER;

// A call arrives on the line: LINE_APPNEWCALL and OFFERING at once, then a ring every ring period
// (LINE_LINEDEVSTATE RINGING with counts 0, 1, 2, ...). On a voice line of the simulated exchange
// that has calls (talking or held) the caller waits: offered the same way, with the call-waiting
// tone on the line's wave-in devices. TAPISIM_E_BUSY while another caller is offered, when the line
// has four calls, or on a SIP or modem line that has a call.
TAPI_EXPORT LONG tapisimRing(DWORD lineId, const TAPISIM_CALLER* caller);

/* ---- the far end of a call --------------------------------------------------------------- */

// The far end hangs up the line's current call (the active one, else the newest): a talking or
// dialled call goes DISCONNECTED (mode NORMAL), an offered call IDLE (the caller gave up;
// DISCONNECTED with TAPISIM_CALLER_DISCONNECTS). "hangup LINE CALL" (tapisimCommand) names the call.
TAPI_EXPORT LONG tapisimHangUp(DWORD lineId);
// For a dialled call waiting on a TAPISIM_OUTCOME_MANUAL rule: answer it, or refuse it
// (DISCONNECTED with LINEDISCONNECTMODE_REJECT).
TAPI_EXPORT LONG tapisimAnswerDialled(DWORD lineId);
TAPI_EXPORT LONG tapisimRefuseDialled(DWORD lineId);

#define TAPISIM_OUTCOME_ANSWER 0 // ring back for delayMs, then answer
#define TAPISIM_OUTCOME_BUSY 1 // BUSY after delayMs, then DISCONNECTED (BUSY)
#define TAPISIM_OUTCOME_NOANSWER 2 // ring back for delayMs, then DISCONNECTED (NOANSWER)
#define TAPISIM_OUTCOME_BADADDRESS 3 // DISCONNECTED (BADADDRESS) after delayMs
#define TAPISIM_OUTCOME_REJECT 4 // ring back for delayMs, then DISCONNECTED (REJECT)
#define TAPISIM_OUTCOME_MANUAL 5 // ring back until tapisimAnswerDialled / tapisimRefuseDialled

typedef struct tapisim_dialrule_tag {
    const char* pattern; // dialled digits to match: exact, or a prefix ending in "*"; "*" is any
    DWORD outcome; // TAPISIM_OUTCOME_*
    DWORD delayMs; // see the outcomes
    DWORD hangUpAfterMs; // once answered, the far end hangs up after this long; 0 = stays
} TAPISIM_DIALRULE;

// Adds a rule after the existing ones; the first rule whose pattern matches the dialled digits
// (every character but 0-9, *, #, A-D dropped) decides. Without a match the number rings back
// for 3 s and is answered.
TAPI_EXPORT LONG tapisimAddDialRule(const TAPISIM_DIALRULE* rule);
TAPI_EXPORT LONG tapisimClearDialPlan(void);

// What the far end of the line sends while a call is connected: silence (the default), a sine
// tone (frequency in Hz, level in dBm0, e.g. -10), or a WAVE file (PCM 16-bit mono 8,000 Hz or
// 8-bit/16-bit mono at 8,000 Hz; played once, then silence). The audio reaches the line's wave-in
// devices in real time on the exchange clock.
TAPI_EXPORT LONG tapisimSetFarEndSilence(DWORD lineId);
TAPI_EXPORT LONG tapisimSetFarEndTone(DWORD lineId, DWORD frequencyHz, int levelDbm0);
TAPI_EXPORT LONG tapisimSetFarEndWave(DWORD lineId, const char* wavePath);

// What the far end heard on the line since the last tapisimClearHeard (or reset): the audio of
// the line's wave-out device and the generated digits and tones, as 8,000 Hz 16-bit mono samples.
// Copies at most maxSamples (samples may be null to ask for the count) and returns the total
// number heard, or a negative TAPISIM_E code.
TAPI_EXPORT LONG tapisimGetHeardAudio(DWORD lineId, int16_t* samples, DWORD maxSamples);
// DTMF digits the far end detected in what it heard (spandsp), as a NUL-terminated text.
TAPI_EXPORT LONG tapisimGetDetectedDigits(DWORD lineId, char* digits, DWORD size);
// Everything generated towards the far end, one event per line: "digits 123", "flash",
// "tone beep 500" (mode and duration in ms), "tone custom 600".
TAPI_EXPORT LONG tapisimGetGeneratedLog(DWORD lineId, char* text, DWORD size);
TAPI_EXPORT LONG tapisimClearHeard(DWORD lineId);
// Several parties on a line (a consultation call, a conference): a call (its LINECALLINFO
// dwCallID) can have a far end of its own, a steady tone; calls without one have the line's far
// end. What such a far end heard (us and, in a conference, the other parties) is kept apart.
TAPI_EXPORT LONG tapisimSetCallFarEndTone(DWORD lineId, DWORD callId, DWORD frequencyHz, int levelDbm0);
TAPI_EXPORT LONG tapisimGetCallHeardAudio(DWORD lineId, DWORD callId, int16_t* samples, DWORD maxSamples);

/* ---- phones ------------------------------------------------------------------------------ */

// Lifts (1) or puts down (0) the handset of the phone: PHONE_STATE HANDSETHOOKSWITCH with
// PHONEHOOKSWITCHMODE_MICSPEAKER or PHONEHOOKSWITCHMODE_ONHOOK to the phone's openers. While the
// line has the hook switch (lineSetTerminal LINETERMMODE_HOOKSWITCH, the default), lifting the
// handset answers an offered call (CONNECTED), and putting it down ends the call it answered
// (DISCONNECTED, LINEDISCONNECTMODE_NORMAL).
TAPI_EXPORT LONG tapisimSetHandset(DWORD phoneId, int offHook);

/* ---- text commands ------------------------------------------------------------------------ */

// Runs one command of the control socket ("help", "list", "ring 1 5551234 Bob", ...; line numbers
// are 1-based there) and writes the reply text (NUL-terminated, cut to fit). Returns TAPISIM_OK
// when the command succeeded, else a negative code; the reply then starts with "error: ".
TAPI_EXPORT LONG tapisimCommand(const char* command, char* reply, DWORD replySize);
// The control socket's path, "" while the service runs without one.
TAPI_EXPORT const char* tapisimControlSocketPath(void);

#ifdef __cplusplus
}
#endif
