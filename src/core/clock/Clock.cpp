#include "clock/Clock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace quillbox {

namespace {

class SteadyClock : public Clock {
public:
    SteadyClock() { m_start.start(); }
    qint64 now() const override { return m_start.elapsed(); }

protected:
    void schedule(Alarm& alarm, qint64 due) override {
        std::unique_ptr<QTimer>& timer = m_timers[&alarm];
        if (!timer) {
            timer = std::make_unique<QTimer>();
            timer->setSingleShot(true);
            // Never early: a lock that comes sooner than the user chose would be a surprise.
            timer->setTimerType(Qt::PreciseTimer);
            QObject::connect(timer.get(), &QTimer::timeout, [&alarm] { ring(alarm); });
        }
        timer->start(static_cast<int>(std::clamp<qint64>(due - now(), 0, std::numeric_limits<int>::max())));
    }
    void cancel(Alarm& alarm) override {
        if (const auto it = m_timers.find(&alarm); it != m_timers.end()) {
            it->second->stop();
        }
    }
    void release(Alarm& alarm) override { m_timers.erase(&alarm); }

private:
    QElapsedTimer m_start;
    std::unordered_map<Alarm*, std::unique_ptr<QTimer>> m_timers;
};

} // namespace

Clock& Clock::steady() {
    static SteadyClock clock;
    return clock;
}

void Clock::ring(Alarm& alarm) {
    alarm.m_clock.cancel(alarm);
    alarm.m_active = false;
    alarm.m_action();
}

void Alarm::start(qint64 milliseconds) {
    m_clock.cancel(*this);
    m_active = true;
    m_clock.schedule(*this, m_clock.now() + std::max<qint64>(milliseconds, 0));
}

void Alarm::stop() {
    if (m_active) {
        m_active = false;
        m_clock.cancel(*this);
    }
}

void ManualClock::advance(qint64 milliseconds) {
    const qint64 target = m_now + std::max<qint64>(milliseconds, 0);
    while (!m_due.empty() && m_due.begin()->first <= target) {
        const auto first = m_due.begin();
        m_now = std::max(m_now, first->first);
        ring(*first->second); // may start it, or another, again
    }
    m_now = target;
}

void ManualClock::schedule(Alarm& alarm, qint64 due) {
    m_due.emplace(due, &alarm);
}

void ManualClock::cancel(Alarm& alarm) {
    for (auto it = m_due.begin(); it != m_due.end();) {
        it = it->second == &alarm ? m_due.erase(it) : std::next(it);
    }
}

} // namespace quillbox
