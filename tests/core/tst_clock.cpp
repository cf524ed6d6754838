// The clock the program's timers go by: an alarm rings once, at its time and never before, at the
// new time when started again, and not at all once stopped; on the steady clock and on the one
// tests move by hand.
#include "clock/Clock.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace quillbox;

class ClockTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void alarmsRingAtTheirTime_data();
    void alarmsRingAtTheirTime();
};

void ClockTest::alarmsRingAtTheirTime_data() {
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QString>("then"); // what happens half-way: "", "restart" or "stop"
    QTest::addColumn<int>("rings");
    QTest::newRow("manual") << true << "" << 1;
    QTest::newRow("manual, started again") << true << "restart" << 1;
    QTest::newRow("manual, stopped") << true << "stop" << 0;
    QTest::newRow("steady") << false << "" << 1;
    QTest::newRow("steady, started again") << false << "restart" << 1;
    QTest::newRow("steady, stopped") << false << "stop" << 0;
}

void ClockTest::alarmsRingAtTheirTime() {
    QFETCH(bool, manual);
    QFETCH(QString, then);
    QFETCH(int, rings);
    ManualClock hand;
    Clock& clock = manual ? static_cast<Clock&>(hand) : Clock::steady();
    const auto wait = [&](qint64 ms) {
        if (manual) {
            hand.advance(ms);
        } else {
            QTest::qWait(static_cast<int>(ms));
        }
    };
    constexpr qint64 delay = 60;
    int rung = 0;
    qint64 rungAt = -1;
    qint64 due = clock.now() + delay;
    Alarm alarm(clock, [&] {
        ++rung;
        rungAt = clock.now();
    });
    alarm.start(delay);
    wait(delay / 2);
    if (then == QLatin1String("restart")) {
        due = clock.now() + delay;
        alarm.start(delay);
    } else if (then == QLatin1String("stop")) {
        alarm.stop();
    }
    QCOMPARE(alarm.isActive(), rings > 0);
    wait(3 * delay);
    QCOMPARE(rung, rings);
    QVERIFY(!alarm.isActive());
    if (rings > 0) {
        QVERIFY2(rungAt >= due, qPrintable(QStringLiteral("%1 < %2").arg(rungAt).arg(due)));
        if (manual) {
            QCOMPARE(rungAt, due); // exactly then, not at the end of the advance
        }
    }
}

QTEST_GUILESS_MAIN(ClockTest)
#include "tst_clock.moc"
