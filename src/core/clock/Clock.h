#pragma once

#include <QtGlobal>

#include <functional>
#include <map>
#include <memory>

namespace quillbox {

class Alarm;

// The time the program's timers go by (the clipboard's clearing, the idle lock): the system's
// steady clock, or in tests one that moves only when told, so that a test of a ten-minute wait
// takes no time at all.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed point; never goes back.
    virtual qint64 now() const = 0;
    // The steady clock, shared by the whole program.
    static Clock& steady();

protected:
    friend class Alarm;
    virtual void schedule(Alarm& alarm, qint64 due) = 0;
    virtual void cancel(Alarm& alarm) = 0;
    // The alarm is going away.
    virtual void release(Alarm& alarm) { cancel(alarm); }
    static void ring(Alarm& alarm);
};

// Runs an action once, a while after it is started, as a single-shot timer does; on the steady
// clock it never rings early. Started again, it rings only at the new time.
class Alarm {
public:
    Alarm(Clock& clock, std::function<void()> action) : m_clock(clock), m_action(std::move(action)) {}
    ~Alarm() { m_clock.release(*this); }
    Alarm(const Alarm&) = delete;
    Alarm& operator=(const Alarm&) = delete;

    void start(qint64 milliseconds);
    void stop();
    bool isActive() const { return m_active; }
    Clock& clock() const { return m_clock; }

private:
    friend class Clock;
    Clock& m_clock;
    std::function<void()> m_action;
    bool m_active = false;
};

// A clock that stands still until advance() moves it, ringing on the way every alarm that falls
// due, in the order of their times.
class ManualClock : public Clock {
public:
    qint64 now() const override { return m_now; }
    void advance(qint64 milliseconds);

protected:
    void schedule(Alarm& alarm, qint64 due) override;
    void cancel(Alarm& alarm) override;

private:
    qint64 m_now = 0;
    std::multimap<qint64, Alarm*> m_due;
};

} // namespace quillbox
