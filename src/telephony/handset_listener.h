#pragma once

// A window that plays a recording to a line's phone and must stop when the handset is put down.
// It reacts a moment later (its own 100 ms one-shot timer), after the phone has settled.
class HandsetListener {
public:
    virtual ~HandsetListener() = default;
    virtual void OnHandsetPutDown() = 0;
};
