#include "telephony/handset_watch.h"

#include <utility>

HandsetWatch::HandsetWatch(std::function<void()> onPutDown)
    : m_onPutDown(std::move(onPutDown))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDelayMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (m_onPutDown)
            m_onPutDown();
    });
}

void HandsetWatch::OnHandsetPutDown()
{
    m_timer.start();
}
