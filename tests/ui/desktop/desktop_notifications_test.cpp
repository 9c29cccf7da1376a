// Desktop notifications over a private session bus, against a notification service of the test's
// own: what reaches the service, and opening a notification.
#include "ui/desktop/notifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <mutex>
#include <semaphore>

#include <gtest/gtest.h>

namespace {

// Takes notifications as a desktop's service would, and remembers them.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit FakeNotificationService(QStringList capabilities)
        : m_capabilities(std::move(capabilities))
    {
    }

    struct Shown {
        QString summary;
        QString body;
        QStringList actions;
    };
    std::vector<Shown> Taken()
    {
        std::lock_guard lock(m_mutex);
        return m_shown;
    }

    // The user opens notification `id`: the service says so on the bus.
    void Open(uint id)
    {
        QDBusMessage invoked = QDBusMessage::createSignal(
            DesktopNotifications::kPath, DesktopNotifications::kService, "ActionInvoked");
        invoked << id << QString("default");
        QDBusConnection("service").send(invoked);
    }

public slots:
    QStringList GetCapabilities() { return m_capabilities; }
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
        const QStringList& actions, const QVariantMap&, int)
    {
        std::lock_guard lock(m_mutex);
        m_shown.push_back({ summary, body, actions });
        return uint(m_shown.size());
    }

private:
    QStringList m_capabilities;
    std::mutex m_mutex;
    std::vector<Shown> m_shown;
};

// A session bus of the test's own (dbus-daemon), so the desktop's bus is never touched.
class PrivateBus {
public:
    PrivateBus()
    {
        m_daemon.start("dbus-daemon", { "--session", "--nofork", "--print-address=1" });
        if (m_daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QString address;

private:
    QProcess m_daemon;
};

// The service answers on a thread of its own: the program's calls wait for their replies.
class ServiceThread : public QThread {
public:
    ServiceThread(QString address, FakeNotificationService& service)
        : m_address(std::move(address))
        , m_service(service)
    {
    }
    // Registered on the bus once this returns true.
    bool StartService()
    {
        m_service.moveToThread(this);
        start();
        m_ready.acquire();
        return m_registered;
    }
    void Stop()
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        {
            QDBusConnection bus = QDBusConnection::connectToBus(m_address, "service");
            m_registered
                = bus.registerObject(DesktopNotifications::kPath, &m_service, QDBusConnection::ExportAllSlots)
                && bus.registerService(DesktopNotifications::kService);
            m_ready.release();
            exec();
            bus.unregisterService(DesktopNotifications::kService);
        }
        QDBusConnection::disconnectFromBus("service");
    }

private:
    QString m_address;
    FakeNotificationService& m_service;
    std::binary_semaphore m_ready{ 0 };
    bool m_registered = false;
};

void Process()
{
    for (int round = 0; round < 20; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(DesktopNotifications, ReachTheServiceAsPlainTextAndOpenTheirEntry)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toUtf8());

    DesktopNotifications notifications;
    QString opened;
    notifications.SetOpenHandler([&opened](const QString& key) { opened = key; });
    EXPECT_FALSE(notifications.Notify({ "Missed call", "From Ann", "a" })) << "no service yet";

    FakeNotificationService fake({ "body", "body-markup", "actions" });
    ServiceThread thread(bus.address, fake);
    ASSERT_TRUE(thread.StartService());

    ASSERT_TRUE(notifications.Notify({ "Missed call", "From <b>Ann</b> & Bob", "key-1" }));
    ASSERT_TRUE(notifications.Notify({ "New voice message", "From Cid", "key-2" }));
    const std::vector<FakeNotificationService::Shown> shown = fake.Taken();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].summary, "Missed call");
    EXPECT_EQ(shown[0].body, "From &lt;b&gt;Ann&lt;/b&gt; &amp; Bob") << "markup shown as text";
    EXPECT_EQ(shown[0].actions, (QStringList{ "default", "Open" }));

    fake.Open(2); // sent on the service's connection, which may be used from any thread
    QDeadlineTimer deadline(5000);
    while (opened.isEmpty() && !deadline.hasExpired()) {
        Process();
        QThread::msleep(5);
    }
    EXPECT_EQ(opened, "key-2");
    thread.Stop();
}

} // namespace

#include "desktop_notifications_test.moc"
