// Locking when the desktop says so over D-Bus: a private bus daemon stands in for both the session
// bus (screen saver) and the system bus (logind).
#include "app/SessionSignals.h"
#include "mainwindow/MainWindow.h"
#include "support/TestEnv.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

class DesktopLockTest : public QObject {
    Q_OBJECT
public Q_SLOTS:
    // A marker signal sent after the one under test: once it has come in on both buses, so has
    // everything sent before it.
    void sessionMarker(int n) { m_sessionMarker = n; }
    void systemMarker(int n) { m_systemMarker = n; }

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void signalsLock_data();
    void signalsLock();

private:
    QTemporaryDir m_busDir;
    QProcess m_bus;
    QString m_address;
    int m_sessionMarker = -1;
    int m_systemMarker = -1;
};

void DesktopLockTest::initTestCase() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        QSKIP("dbus-daemon is not installed");
    }
    m_bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                         QStringLiteral("--address=unix:dir=") + m_busDir.path()});
    QVERIFY(m_bus.waitForReadyRead(10000));
    m_address = QString::fromLocal8Bit(m_bus.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
    // Before the program's first look at either bus, which it then keeps.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toLocal8Bit());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toLocal8Bit());
    QDBusConnection desktop = QDBusConnection::connectToBus(m_address, QStringLiteral("desktop"));
    QVERIFY(desktop.isConnected());
    QVERIFY(desktop.registerService(QStringLiteral("org.freedesktop.login1")));
}

void DesktopLockTest::cleanupTestCase() {
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.kill();
        m_bus.waitForFinished();
    }
}

void DesktopLockTest::signalsLock_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("argument");
    QTest::addColumn<bool>("locks");
    const QString saver = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString login = QStringLiteral("org.freedesktop.login1.Manager");
    QTest::newRow("screen locked") << "/org/freedesktop/ScreenSaver" << saver << "ActiveChanged" << true << true;
    QTest::newRow("screen saver at another path") << "/ScreenSaver" << saver << "ActiveChanged" << true << true;
    QTest::newRow("screen unlocked") << "/org/freedesktop/ScreenSaver" << saver << "ActiveChanged" << false << false;
    QTest::newRow("GNOME screen locked") << "/org/gnome/ScreenSaver"
                                         << "org.gnome.ScreenSaver"
                                         << "ActiveChanged" << true << true;
    QTest::newRow("going to sleep") << "/org/freedesktop/login1" << login << "PrepareForSleep" << true << true;
    QTest::newRow("waking up") << "/org/freedesktop/login1" << login << "PrepareForSleep" << false << false;
}

void DesktopLockTest::signalsLock() {
    QFETCH(QString, path);
    QFETCH(QString, interface);
    QFETCH(QString, member);
    QFETCH(bool, argument);
    QFETCH(bool, locks);
    TestEnv env;
    QVERIFY(env.start());
    QDBusConnection desktop(QStringLiteral("desktop"));
    const QString markerPath = QStringLiteral("/test/marker");
    const QString markerInterface = QStringLiteral("test.Marker");
    QDBusConnection::sessionBus().connect(QString(), markerPath, markerInterface, "Marker", this,
                                          SLOT(sessionMarker(int)));
    QDBusConnection::systemBus().connect(QString(), markerPath, markerInterface, "Marker", this,
                                         SLOT(systemMarker(int)));
    auto mark = [&](int n) {
        QDBusMessage marker = QDBusMessage::createSignal(markerPath, markerInterface, "Marker");
        marker << n;
        return desktop.send(marker);
    };
    // The program subscribed before the test did: once a marker comes in, its subscriptions hold.
    m_sessionMarker = m_systemMarker = -1;
    QTRY_VERIFY_WITH_TIMEOUT((mark(0), m_sessionMarker == 0 && m_systemMarker == 0), 10000);

    QSignalSpy wanted(env.program->security().sessionSignals(), &SessionSignals::lockWanted);
    QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
    signal << argument;
    QVERIFY(desktop.send(signal));
    QVERIFY(mark(1));
    QTRY_VERIFY_WITH_TIMEOUT(m_sessionMarker == 1 && m_systemMarker == 1, 10000);
    QCOMPARE(wanted.size(), locks ? 1 : 0);
    QCOMPARE(env.program->security().isLocked(), locks);
    QCOMPARE(env.main()->isVisible(), !locks);
    QDBusConnection::sessionBus().disconnect(QString(), markerPath, markerInterface, "Marker", this,
                                             SLOT(sessionMarker(int)));
    QDBusConnection::systemBus().disconnect(QString(), markerPath, markerInterface, "Marker", this,
                                            SLOT(systemMarker(int)));
}

QTEST_MAIN(DesktopLockTest)
#include "tst_desktoplock.moc"
