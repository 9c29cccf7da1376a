// The exported control functions of the simulated exchange (tapisim.h).

#include "tapisim.h"

#include "command_interpreter.h"
#include "exchange.h"

#include <algorithm>
#include <cstring>

using tapi::Exchange;

namespace {

Exchange& Service()
{
    return Exchange::Instance();
}

LONG CopyOut(const std::string& text, char* out, DWORD size)
{
    if (!out || size == 0)
        return TAPISIM_E_BADARG;
    if (text.size() >= size)
        return TAPISIM_E_TOOSMALL;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return TAPISIM_OK;
}

} // namespace

extern "C" {

LONG tapisimUseManualClock(int manual)
{
    return Service().UseManualClock(manual != 0);
}

LONG tapisimAdvance(DWORD milliseconds)
{
    return Service().Advance(milliseconds);
}

uint64_t tapisimNow(void)
{
    return Service().Now();
}

LONG tapisimReset(void)
{
    return Service().Reset();
}

LONG tapisimConfigure(const char* configText)
{
    return Service().Configure(configText);
}

const char* tapisimLastError(void)
{
    thread_local std::string error;
    error = Service().LastError();
    return error.c_str();
}

LONG tapisimRing(DWORD lineId, const TAPISIM_CALLER* caller)
{
    static const TAPISIM_CALLER kNobody{};
    return Service().Ring(lineId, caller ? *caller : kNobody);
}

LONG tapisimHangUp(DWORD lineId)
{
    return Service().FarEndHangUp(lineId);
}

LONG tapisimAnswerDialled(DWORD lineId)
{
    return Service().AnswerDialled(lineId, true);
}

LONG tapisimRefuseDialled(DWORD lineId)
{
    return Service().AnswerDialled(lineId, false);
}

LONG tapisimAddDialRule(const TAPISIM_DIALRULE* rule)
{
    if (!rule || !rule->pattern)
        return TAPISIM_E_BADARG;
    return Service().AddDialRule(
        tapi::DialRule{ rule->pattern, rule->outcome, rule->delayMs, rule->hangUpAfterMs });
}

LONG tapisimClearDialPlan(void)
{
    return Service().ClearDialPlan();
}

LONG tapisimSetFarEndSilence(DWORD lineId)
{
    return Service().SetFarEndSilence(lineId);
}

LONG tapisimSetFarEndTone(DWORD lineId, DWORD frequencyHz, int levelDbm0)
{
    return Service().SetFarEndTone(lineId, frequencyHz, levelDbm0);
}

LONG tapisimSetCallFarEndTone(DWORD lineId, DWORD callId, DWORD frequencyHz, int levelDbm0)
{
    if (!callId)
        return TAPISIM_E_BADARG;
    return Service().SetFarEndTone(lineId, frequencyHz, levelDbm0, callId);
}

LONG tapisimSetFarEndWave(DWORD lineId, const char* wavePath)
{
    if (!wavePath || !*wavePath)
        return TAPISIM_E_BADARG;
    return Service().SetFarEndWave(lineId, wavePath);
}

LONG tapisimGetHeardAudio(DWORD lineId, int16_t* samples, DWORD maxSamples)
{
    return tapisimGetCallHeardAudio(lineId, 0, samples, maxSamples);
}

LONG tapisimGetCallHeardAudio(DWORD lineId, DWORD callId, int16_t* samples, DWORD maxSamples)
{
    std::vector<std::int16_t> heard;
    if (LONG result = Service().GetHeard(lineId, heard, callId))
        return result;
    if (samples)
        std::copy_n(heard.begin(), std::min<std::size_t>(maxSamples, heard.size()), samples);
    return static_cast<LONG>(heard.size());
}

LONG tapisimGetDetectedDigits(DWORD lineId, char* digits, DWORD size)
{
    std::string text;
    if (LONG result = Service().GetDetectedDigits(lineId, text))
        return result;
    return CopyOut(text, digits, size);
}

LONG tapisimGetGeneratedLog(DWORD lineId, char* text, DWORD size)
{
    std::string log;
    if (LONG result = Service().GetGeneratedLog(lineId, log))
        return result;
    return CopyOut(log, text, size);
}

LONG tapisimClearHeard(DWORD lineId)
{
    return Service().ClearHeard(lineId);
}

LONG tapisimSetHandset(DWORD phoneId, int offHook)
{
    return Service().SetHandset(phoneId, offHook != 0);
}

LONG tapisimCommand(const char* command, char* reply, DWORD replySize)
{
    std::string text;
    LONG result = TAPISIM_E_BADARG;
    if (!command)
        text = "error: no command\n";
    else
        result = tapi::CommandInterpreter(Service()).Run(command, text);
    if (reply && replySize > 0) {
        const std::size_t length = std::min<std::size_t>(text.size(), replySize - 1);
        std::memcpy(reply, text.data(), length);
        reply[length] = 0;
    }
    return result;
}

const char* tapisimControlSocketPath(void)
{
    thread_local std::string path;
    path = Service().ControlSocketPath();
    return path.c_str();
}

} // extern "C"
