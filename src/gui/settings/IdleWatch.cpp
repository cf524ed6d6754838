#include "settings/IdleWatch.h"

#include <QEvent>

namespace quillbox {

IdleWatch::IdleWatch(Clock& clock, QObject* parent) : QObject(parent), m_alarm(clock, [this] { timeUp(); }) {
    m_lastInput = clock.now();
}

void IdleWatch::setTimeout(int milliseconds) {
    m_timeout = std::max(milliseconds, 0);
    m_alarm.stop();
    restart();
}

void IdleWatch::restart() {
    // Input comes in bursts (every mouse move): it only notes the time, and the timer, once
    // running, finds out at its end whether it has to wait on.
    m_lastInput = m_alarm.clock().now();
    if (m_timeout > 0 && !m_alarm.isActive()) {
        m_alarm.start(m_timeout);
    }
}

void IdleWatch::timeUp() {
    const qint64 left = m_timeout - (m_alarm.clock().now() - m_lastInput);
    if (m_timeout <= 0) {
        return;
    }
    if (left > 0) {
        m_alarm.start(left);
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
