#include "settings/IdleWatch.h"

#include <QEvent>

namespace quillbox {

IdleWatch::IdleWatch(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    // Never early: a lock that comes sooner than the user chose would be a surprise.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IdleWatch::timeUp);
    m_sinceInput.start();
}

void IdleWatch::setTimeout(int milliseconds) {
    m_timeout = std::max(milliseconds, 0);
    m_timer.stop();
    restart();
}

void IdleWatch::restart() {
    // Input comes in bursts (every mouse move): it only notes the time, and the timer, once
    // running, finds out at its end whether it has to wait on.
    m_sinceInput.start();
    if (m_timeout > 0 && !m_timer.isActive()) {
        m_timer.start(m_timeout);
    }
}

void IdleWatch::timeUp() {
    const qint64 left = m_timeout - m_sinceInput.elapsed();
    if (m_timeout <= 0) {
        return;
    }
    if (left > 0) {
        m_timer.start(static_cast<int>(left));
        return;
    }
    Q_EMIT idle();
}

bool IdleWatch::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
        restart();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillbox
