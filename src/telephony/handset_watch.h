#pragma once

#include "telephony/handset_listener.h"

#include <QTimer>

#include <functional>

// What a playback window gives `LineSlot::PlayToPhone`: when the handset of the phone it plays to
// is put down, `onPutDown` runs 100 ms later, once the phone has settled. Another put-down within
// that time starts the wait again, so one gesture stops the playback once.
class HandsetWatch : public HandsetListener {
public:
    static constexpr int kDelayMs = 100;

    explicit HandsetWatch(std::function<void()> onPutDown);

    void OnHandsetPutDown() override;
    // A put-down waits for its delay.
    bool IsPending() const { return m_timer.isActive(); }

private:
    std::function<void()> m_onPutDown;
    QTimer m_timer;
};
