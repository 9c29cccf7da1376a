#pragma once

// Notifications as the desktop would show them, kept for the test; Open is the user clicking one.
// Tests give this sink to the application, so no test reaches the desktop's session bus.
#include "ui/desktop/notifications.h"

#include <vector>

class RecordingSink : public NotificationSink {
public:
    bool Notify(const Notification& notification) override
    {
        shown.push_back(notification);
        return true;
    }
    void Open(const QString& key) const { Opened(key); }
    std::vector<Notification> shown;
};
