#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QDBusInterface;

// One desktop notification: a title, a body of plain text, and what opening it means.
struct Notification {
    QString summary;
    QString body;
    // Handed back to the window when the user opens the notification.
    QString key;
};

// Where notifications go. Opening one (its default action) reports its key.
class NotificationSink {
public:
    virtual ~NotificationSink() = default;
    // False when no notification service takes it; the program then goes on without.
    virtual bool Notify(const Notification& notification) = 0;
    void SetOpenHandler(std::function<void(const QString& key)> open) { m_open = std::move(open); }

protected:
    void Opened(const QString& key) const
    {
        if (m_open)
            m_open(key);
    }

private:
    std::function<void(const QString& key)> m_open;
};

// The freedesktop notification service on the session bus (org.freedesktop.Notifications).
// Without a session bus or a service every Notify answers false. Bodies are escaped where the
// service reads markup, so caller names always show as they are.
class DesktopNotifications : public QObject, public NotificationSink {
    Q_OBJECT

public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

    DesktopNotifications();
    ~DesktopNotifications() override;

    bool Notify(const Notification& notification) override;

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    bool Connect();

    QDBusInterface* m_service = nullptr;
    bool m_markup = false;
    std::map<uint, QString> m_keys;
};
