// Locking by itself when nobody uses the program. The buses are pointed at nothing here, as on a
// machine without a desktop: the program must neither complain nor lock for that.
#include "mainwindow/MainWindow.h"
#include "settings/IdleWatch.h"
#include "support/TestEnv.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableView>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

class IdleLockTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void locksWhenIdle_data();
    void locksWhenIdle();

private:
    QTemporaryDir m_noBus;
};

void IdleLockTest::initTestCase() {
    for (const char* bus : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"}) {
        qputenv(bus, "unix:path=" + QFile::encodeName(m_noBus.filePath("none")));
    }
}

void IdleLockTest::init() {
    // Apart from what the offscreen platform says of itself (no raise, no tray window), not a word.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(
        "^(?!This plugin does not support raise|QObject::connect: No such signal QPlatformNativeInterface::)")));
}

void IdleLockTest::locksWhenIdle_data() {
    QTest::addColumn<int>("timeout");   // milliseconds; 0 never
    QTest::addColumn<QString>("input"); // what the user does before the time is up
    QTest::addColumn<int>("earliest");  // the lock comes no sooner (milliseconds); -1 no lock
    QTest::newRow("left alone: locks") << 300 << "" << 300;
    QTest::newRow("a key postpones it") << 300 << "key" << 500;
    QTest::newRow("the mouse postpones it") << 300 << "mouse" << 500;
    QTest::newRow("0 never locks") << 0 << "" << -1;
}

void IdleLockTest::locksWhenIdle() {
    QFETCH(int, timeout);
    QFETCH(QString, input);
    QFETCH(int, earliest);
    TestEnv env;
    QVERIFY(env.start());
    IdleWatch* watch = env.program->security().idleWatch();
    QCOMPARE(watch->timeout(), 10 * 60 * 1000); // the default: ten minutes
    watch->setTimeout(timeout);
    QCOMPARE(watch->isArmed(), timeout > 0);
    if (!input.isEmpty()) {
        env.clock.advance(200);
        QWidget* list = env.main()->recordList()->viewport();
        if (input == QLatin1String("key")) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
            QApplication::sendEvent(list, &key);
        } else {
            QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), list->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(list, &move);
        }
    }
    const qint64 passed = input.isEmpty() ? 0 : 200;
    if (earliest < 0) {
        env.clock.advance(24 * 60 * 60 * 1000);
        QVERIFY(!env.program->security().isLocked());
        QVERIFY(env.main()->isVisible());
        return;
    }
    env.clock.advance(earliest - passed - 1);
    QVERIFY(!env.program->security().isLocked());
    env.clock.advance(1);
    QVERIFY(env.program->security().isLocked());
    QVERIFY(!env.main()->isVisible());
    QVERIFY(env.program->security().isInTray());
}

QTEST_MAIN(IdleLockTest)
#include "tst_idlelock.moc"
