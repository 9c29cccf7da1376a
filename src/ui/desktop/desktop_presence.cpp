#include "ui/desktop/desktop_presence.h"

#include "res/images.h"
#include "store/call_log_store.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

constexpr int kProgramIcon = 128;
constexpr int kTrayIconSize = 64;

// The program's icon, with a red dot while something waits to be seen.
QIcon TrayIcon(bool waiting)
{
    const QIcon program = Images::Icon(kProgramIcon);
    if (!waiting)
        return program;
    QPixmap pixmap = program.pixmap(kTrayIconSize, kTrayIconSize);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(QColor(0xd9, 0x30, 0x25));
    painter.drawEllipse(QRectF(kTrayIconSize * 0.55, 2, kTrayIconSize * 0.42, kTrayIconSize * 0.42));
    return QIcon(pixmap);
}

} // namespace

DesktopPresence::DesktopPresence(
    const CallLogStore& store, Actions actions, std::unique_ptr<NotificationSink> sink)
    : m_store(store)
    , m_actions(std::move(actions))
{
    SetSink(std::move(sink));
    if (QSystemTrayIcon::isSystemTrayAvailable())
        CreateTray();
}

DesktopPresence::~DesktopPresence() = default;

void DesktopPresence::SetSink(std::unique_ptr<NotificationSink> sink)
{
    m_sink = std::move(sink);
    if (m_sink)
        m_sink->SetOpenHandler([this](const QString& key) { Open(key); });
}

void DesktopPresence::CreateTray()
{
    m_menu = std::make_unique<QMenu>();
    m_menu->addAction(tr("Show Kestrium"), this, [this] { m_actions.showWindow(); });
    m_menu->addSeparator();
    m_menu->addAction(tr("Quit"), this, [this] { m_actions.quit(); });
    m_tray = new QSystemTrayIcon(TrayIcon(false), this);
    m_tray->setContextMenu(m_menu.get());
    m_tray->setToolTip("Kestrium");
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            m_actions.showWindow();
    });
    m_tray->show();
}

void DesktopPresence::ShowCounts(std::size_t missed, std::size_t unread)
{
    if (!m_tray)
        return;
    m_tray->setIcon(TrayIcon(missed + unread > 0));
    m_tray->setToolTip(tr("Kestrium\nMissed calls: %1\nNew voice messages: %2").arg(missed).arg(unread));
}

void DesktopPresence::CallLogged(std::size_t position)
{
    if (const CallLogEntry* entry = m_store.GetAt(position))
        Announce(*entry);
}

void DesktopPresence::CallsRecovered(const std::vector<CallLogEntry>& entries)
{
    for (const CallLogEntry& entry : entries)
        Announce(entry);
}

void DesktopPresence::Announce(const CallLogEntry& entry)
{
    if (!m_sink || (entry.type != kCallTypeMissed && entry.type != kCallTypeVoicemail))
        return;
    const bool message = entry.type == kCallTypeVoicemail;
    m_sink->Notify({ message ? tr("New voice message") : tr("Missed call"),
        tr("From %1").arg(CallerText(entry)), KeyOf(entry) });
}

// "Ann Lee, 5551234", or whichever of the two the caller sent.
QString DesktopPresence::CallerText(const CallLogEntry& entry)
{
    const QString name = QString::fromStdString(entry.callerName);
    const QString number = QString::fromStdString(entry.number);
    if (name.isEmpty() || number.isEmpty() || name == number)
        return name.isEmpty() ? number : name;
    return name + ", " + number;
}

// An entry is found again by its start, number and type: its position changes when entries
// before it are removed.
QString DesktopPresence::KeyOf(const CallLogEntry& entry)
{
    return QString::fromStdString(entry.startTime.DateText() + " " + entry.startTime.TimeText() + "|"
        + entry.number + "|" + std::to_string(entry.type));
}

void DesktopPresence::Open(const QString& key)
{
    for (std::size_t position = m_store.Count(); position-- > 0;)
        if (KeyOf(*m_store.GetAt(position)) == key) {
            m_actions.openEntry(position);
            return;
        }
    m_actions.showWindow();
}
