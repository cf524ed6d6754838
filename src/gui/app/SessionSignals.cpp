#include "app/SessionSignals.h"

#ifdef QUILLBOX_DBUS
#include <QDBusConnection>
#endif

namespace quillbox {

SessionSignals::SessionSignals(QObject* parent) : QObject(parent) {}

void SessionSignals::listen() {
#ifdef QUILLBOX_DBUS
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        // Desktops publish the screen saver under different paths: any sender, any path.
        for (const char* interface : {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"}) {
            session.connect(QString(), QString(), QString::fromLatin1(interface), QStringLiteral("ActiveChanged"), this,
                            SLOT(screenSaverActiveChanged(bool)));
        }
    }
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected()) {
        system.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                       SLOT(prepareForSleep(bool)));
    }
#endif
    // Without a bus there is nothing to hear: the idle lock and the menu still lock.
}

void SessionSignals::screenSaverActiveChanged(bool active) {
    if (active) {
        Q_EMIT lockWanted();
    }
}

void SessionSignals::prepareForSleep(bool sleeping) {
    // Before the machine sleeps, so that it wakes up locked; waking up (false) asks nothing.
    if (sleeping) {
        Q_EMIT lockWanted();
    }
}

} // namespace quillbox
