#include "ui/desktop/notifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

namespace {

constexpr const char* kInterface = "org.freedesktop.Notifications";
constexpr const char* kOpenAction = "default";
// The service's own time-out.
constexpr int kDefaultTimeout = -1;
// A service that does not answer holds the window up no longer than this.
constexpr int kCallTimeoutMs = 2000;

} // namespace

DesktopNotifications::DesktopNotifications() = default;

DesktopNotifications::~DesktopNotifications() = default;

// The service is looked for at the first notification, so a desktop whose service starts late
// still gets them; a bus without the service costs one question each time.
bool DesktopNotifications::Connect()
{
    if (m_service && m_service->isValid())
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService).value())
        return false;
    delete m_service;
    m_service = new QDBusInterface(kService, kPath, kInterface, bus, this);
    if (!m_service->isValid())
        return false;
    m_service->setTimeout(kCallTimeoutMs);
    const QDBusReply<QStringList> capabilities = m_service->call("GetCapabilities");
    m_markup = capabilities.isValid() && capabilities.value().contains("body-markup");
    bus.connect(kService, kPath, kInterface, "ActionInvoked", this, SLOT(OnActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, "NotificationClosed", this, SLOT(OnClosed(uint, uint)));
    return true;
}

bool DesktopNotifications::Notify(const Notification& notification)
{
    if (!Connect())
        return false;
    const QString body = m_markup ? notification.body.toHtmlEscaped() : notification.body;
    const QStringList actions{ kOpenAction, tr("Open") };
    const QVariantMap hints{ { "category", "call.unanswered" }, { "desktop-entry", "kestrium" } };
    const QDBusReply<uint> id = m_service->call("Notify", QString("Kestrium"), uint(0), QString("kestrium"),
        notification.summary, body, actions, hints, kDefaultTimeout);
    if (!id.isValid())
        return false;
    m_keys[id.value()] = notification.key;
    return true;
}

void DesktopNotifications::OnActionInvoked(uint id, const QString& action)
{
    const auto found = m_keys.find(id);
    if (found != m_keys.end() && action == kOpenAction)
        Opened(found->second);
}

void DesktopNotifications::OnClosed(uint id, uint)
{
    m_keys.erase(id);
}
