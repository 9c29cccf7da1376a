// The controls of the phone paired with a line: headset, volume and playing a recording into the
// handset.
#include "telephony/line_slot.h"

#include "telephony/line_manager.h"
#include "telephony/tapi_binding.h"
#include "telephony/tapi_block.h"

#include <array>

namespace {

// The status block the phone is asked with: the fixed part and room for its texts.
constexpr std::size_t kPhoneStatusSize = 1104;
// How long a phone message is waited for around the audio-path switch. The program's phone
// application has callback delivery, so the service answers at once instead of waiting.
constexpr DWORD kPhoneMessageTimeoutMs = 1000;

// The phone's device-specific commands, five bytes each with the terminator: the phone's audio
// goes to the computer, or back to the line.
constexpr std::array<char, 5> kAudioToComputer{ '0', '0', '0', 'a', '\0' };
constexpr std::array<char, 5> kAudioToLine{ '0', '0', '3', 'a', '\0' };

} // namespace

int LineSlot::IsHeadsetOn()
{
    if (!IsOpen() || m_phone == 0)
        return 0;
    TapiBlock<PHONESTATUS> status(kPhoneStatusSize);
    if (Tapi().phoneGetStatusA(m_phone, status.Get()) != 0)
        return 0;
    return status->dwHeadsetHookSwitchMode != PHONEHOOKSWITCHMODE_ONHOOK ? 1 : 0;
}

int LineSlot::GetPhoneVolume(DWORD device, DWORD& volume)
{
    if (!IsOpen() || m_phone == 0)
        return 0;
    return Tapi().phoneGetVolume(m_phone, device, &volume) == 0 ? 1 : 0;
}

// Setting the volume is asynchronous: a request id (positive) means the phone took it.
int LineSlot::SetPhoneVolume(DWORD device, DWORD volume)
{
    if (!IsOpen() || m_phone == 0)
        return 0;
    return Tapi().phoneSetVolume(m_phone, device, volume) >= 0 ? 1 : 0;
}

// While a recording plays into the handset the line gives up the phone's hookswitch, so lifting
// and putting down the handset neither answers nor ends a call; putting it down tells the window.
LONG LineSlot::PlayToPhone(bool on, HandsetListener* window)
{
    if (!IsOpen())
        return 0;
    m_notifyWindow = on ? window : nullptr;
    if (m_phone == 0)
        return 0;
    Tapi().lineSetTerminal(m_line, 0, 0, LINECALLSELECT_LINE, LINETERMMODE_HOOKSWITCH, 0, on ? 0 : 1);
    DiscardPhoneMessage();
    std::array<char, 5> command = on ? kAudioToComputer : kAudioToLine;
    const LONG result = Tapi().phoneDevSpecific(m_phone, command.data(), DWORD(command.size()));
    DiscardPhoneMessage();
    return result;
}

void LineSlot::DiscardPhoneMessage()
{
    PHONEMESSAGE message{};
    Tapi().phoneGetMessage(m_manager.GetPhoneApp(), &message, kPhoneMessageTimeoutMs);
}
