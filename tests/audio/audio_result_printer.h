#pragma once

#include "audio/audio_result.h"

#include <ostream>

// Names a result in a failed expectation instead of dumping its bytes.
inline void PrintTo(const AudioResult& result, std::ostream* out)
{
    if (const auto error = result.Error())
        *out << "AudioError " << int(*error);
    else if (result.PlatformCode() != 0)
        *out << "platform code " << result.PlatformCode();
    else
        *out << "success";
}
