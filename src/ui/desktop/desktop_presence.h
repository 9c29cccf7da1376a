#pragma once

#include "ui/desktop/notifications.h"

#include <QCoreApplication>
#include <QObject>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CallLogStore;
class QMenu;
class QSystemTrayIcon;
struct CallLogEntry;

// Kestrium's place on the desktop beside its window: a tray icon (where the desktop has a tray)
// showing the missed calls and new voice messages, with a menu to show the window and to quit;
// and a notification for each missed call and each new voice message, which opens its entry.
// Without a tray or a notification service the program works as before.
class DesktopPresence : public QObject {
    Q_DECLARE_TR_FUNCTIONS(DesktopPresence)

public:
    struct Actions {
        std::function<void()> showWindow;
        std::function<void()> quit;
        // Shows the entry at this position of the call log.
        std::function<void(std::size_t position)> openEntry;
    };

    DesktopPresence(const CallLogStore& store, Actions actions, std::unique_ptr<NotificationSink> sink);
    ~DesktopPresence() override;

    void SetSink(std::unique_ptr<NotificationSink> sink);
    // The counters of the main window changed.
    void ShowCounts(std::size_t missed, std::size_t unread);
    // A call was logged at this position: a missed call or a voice message is notified.
    void CallLogged(std::size_t position);
    // Calls of an earlier run that start-up logged (it was killed while they went on): notified as
    // they would have been then.
    void CallsRecovered(const std::vector<CallLogEntry>& entries);

    // Null where the desktop has no tray.
    QSystemTrayIcon* Tray() const { return m_tray; }
    QMenu* TrayMenu() const { return m_menu.get(); }

    // The text that names the caller of an entry in a notification.
    static QString CallerText(const CallLogEntry& entry);

private:
    void CreateTray();
    void Open(const QString& key);
    void Announce(const CallLogEntry& entry);
    static QString KeyOf(const CallLogEntry& entry);

    const CallLogStore& m_store;
    Actions m_actions;
    std::unique_ptr<NotificationSink> m_sink;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray = nullptr;
};
