#pragma once

#include "clock/Clock.h"

#include <QObject>

namespace quillbox {

// Tells when nobody has pressed a key or moved the mouse for a while. Installed as an
// application-wide event filter, every key and mouse event starts the time again.
class IdleWatch : public QObject {
    Q_OBJECT
public:
    explicit IdleWatch(Clock& clock, QObject* parent = nullptr);

    // 0 or less: never idle. The time starts now.
    void setTimeout(int milliseconds);
    int timeout() const { return m_timeout; }
    // Whether idle() is still to come.
    bool isArmed() const { return m_alarm.isActive(); }
    // Input was seen: the time starts again.
    void restart();

    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    // Once per quiet spell; the next input arms it again.
    void idle();

private:
    void timeUp();

    Alarm m_alarm;
    qint64 m_lastInput = 0; // on the alarm's clock
    int m_timeout = 0;
};

} // namespace quillbox
