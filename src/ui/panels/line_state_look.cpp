#include "ui/panels/line_state_look.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int kIconSize = 16;

QIcon Mark(const QColor& color)
{
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color.darker(150), 1));
    painter.setBrush(color);
    painter.drawEllipse(QRectF(3.5, 3.5, kIconSize - 7, kIconSize - 7));
    return QIcon(pixmap);
}

} // namespace

QIcon LineStateIcon(ColleagueLines::State state)
{
    static const QIcon idle = Mark(QColor(0x2e, 0xa0, 0x43));
    static const QIcon ringing = Mark(QColor(0xf0, 0xa0, 0x20));
    static const QIcon inCall = Mark(QColor(0xd0, 0x30, 0x30));
    switch (state) {
    case ColleagueLines::State::Idle:
        return idle;
    case ColleagueLines::State::Ringing:
        return ringing;
    case ColleagueLines::State::InCall:
        return inCall;
    case ColleagueLines::State::Unknown:
        break;
    }
    return {};
}

QString LineStateText(ColleagueLines::State state)
{
    switch (state) {
    case ColleagueLines::State::Idle:
        return QCoreApplication::translate("LineStateLook", "Idle");
    case ColleagueLines::State::Ringing:
        return QCoreApplication::translate("LineStateLook", "Ringing");
    case ColleagueLines::State::InCall:
        return QCoreApplication::translate("LineStateLook", "In a call");
    case ColleagueLines::State::Unknown:
        break;
    }
    return {};
}
