#include "ui/desktop/cursor_blink_timeout.h"

#include <QApplication>
#include <QEvent>

CursorBlinkTimeout::CursorBlinkTimeout(std::chrono::milliseconds timeout)
    : m_flashTime(QApplication::cursorFlashTime())
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(timeout);
    connect(&m_timeout, &QTimer::timeout, this, [] { QApplication::setCursorFlashTime(0); });
    qApp->installEventFilter(this);
    Blink();
}

CursorBlinkTimeout::~CursorBlinkTimeout()
{
    qApp->removeEventFilter(this);
    QApplication::setCursorFlashTime(m_flashTime);
}

bool CursorBlinkTimeout::IsBlinking() const
{
    return QApplication::cursorFlashTime() != 0;
}

bool CursorBlinkTimeout::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::FocusIn:
    case QEvent::InputMethod:
        Blink();
        break;
    default:
        break;
    }
    return false;
}

void CursorBlinkTimeout::Blink()
{
    if (QApplication::cursorFlashTime() != m_flashTime)
        QApplication::setCursorFlashTime(m_flashTime);
    m_timeout.start();
}
