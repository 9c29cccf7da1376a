#pragma once

#include "telephony/handset_watch.h"

#include <functional>

class LineManager;

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
