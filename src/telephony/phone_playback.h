#pragma once

#include "telephony/handset_watch.h"

#include <cstdint>
#include <functional>
#include <string>

class LineManager;
class WaveRecorder;

// A window's hold on a line's phone while it plays or records through the handset: the line
// gives the phone's hook switch to the window, and putting the handset down runs `onPutDown`
// (after HandsetWatch's delay). Released at the latest when it goes.
class PhonePlayback {
public:
    PhonePlayback(LineManager& lines, std::function<void()> onPutDown);
    ~PhonePlayback();
    PhonePlayback(const PhonePlayback&) = delete;
    PhonePlayback& operator=(const PhonePlayback&) = delete;

    // The first open line whose wave-out device is `device`, -1 for none.
    static int LineOfWaveOut(LineManager& lines, int device);

    // Measures the file and plays it from `positionMs` on wave-out `device`, through the handset
    // when the device is a line's; false (and the phone given back) when it cannot be measured or
    // played.
    bool Play(WaveRecorder& engine, const std::string& path, std::uint32_t positionMs, int device,
        std::uint32_t& lengthMs);
    // Takes the phone of line `line` (nothing for -1), giving back any phone held before.
    void Connect(int line);
    void Release();
    // The line whose phone is held, -1 for none.
    int Line() const { return m_line; }

private:
    LineManager& m_lines;
    HandsetWatch m_watch;
    int m_line = -1;
};
