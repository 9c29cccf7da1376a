#include "ui/telephony_widgets/qt_screen_area.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

ScreenRect QtScreenArea::AvailableArea() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect area = screen->availableGeometry();
    return { area.left(), area.top(), area.left() + area.width(), area.top() + area.height() };
}
