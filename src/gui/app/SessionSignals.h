#pragma once

#include <QObject>

namespace quillbox {

// What the desktop says over D-Bus about the session: the screen saver locking the screen, the
// machine about to sleep. Where a bus is missing (no desktop, a test, a system without D-Bus) it
// simply hears nothing.
class SessionSignals : public QObject {
    Q_OBJECT
public:
    explicit SessionSignals(QObject* parent = nullptr);
    // Subscribes on the session and system buses that can be reached.
    void listen();

Q_SIGNALS:
    // The program should lock now.
    void lockWanted();

private Q_SLOTS:
    void screenSaverActiveChanged(bool active);
    void prepareForSleep(bool sleeping);
};

} // namespace quillbox
