#include "ui/panels/output_volume.h"

#include "audio/wave_recorder.h"
#include "tapi/include/tapi.h"
#include "telephony/line_manager.h"

#include <algorithm>

namespace OutputVolume {
namespace {

DWORD PhoneDevice(LineSlot& slot)
{
    return slot.IsHeadsetOn() ? PHONEHOOKSWITCHDEV_HEADSET : PHONEHOOKSWITCHDEV_HANDSET;
}

} // namespace

std::optional<int> Read(LineManager& lines, int line)
{
    if (line >= 0) {
        LineSlot& slot = lines.GetLineSlot(line);
        DWORD volume = 0;
        if (!slot.GetPhoneVolume(PhoneDevice(slot), volume))
            return std::nullopt;
        return int(std::min<DWORD>(volume, kMaximum));
    }
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    if (!lines.GetSharedAudioEngine().GetVolume(&left, &right).Ok())
        return std::nullopt;
    return int(std::min<std::uint32_t>(right, kMaximum));
}

// Only a change is sent: a phone takes each volume as a request of its own.
void Write(LineManager& lines, int line, int value)
{
    const std::optional<int> now = Read(lines, line);
    if (!now || *now == value)
        return;
    if (line < 0) {
        lines.GetSharedAudioEngine().SetVolume(value, value);
        return;
    }
    LineSlot& slot = lines.GetLineSlot(line);
    slot.SetPhoneVolume(PhoneDevice(slot), DWORD(value));
}

} // namespace OutputVolume
