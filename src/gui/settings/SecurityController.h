#pragma once

#include "app/AppState.h"
#include "app/Controller.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <optional>

class QSystemTrayIcon;

namespace quillbox {

class DatabaseController;
class FileKey;
class IdleWatch;
class MainWindow;
class PasswordWindow;
class SessionSignals;

// The program password and what it guards: the start-up windows and their own loop, the change
// window, locking (by command, when idle, when the desktop locks) and unlocking, and the tray.
class SecurityController : public Controller {
    Q_OBJECT
public:
    explicit SecurityController(const ControllerContext& context);
    ~SecurityController() override;

    // Asks for the program password (or has one chosen on a first start) in a window of its own
    // loop. True when the user passed; false when the window was left (the program ends).
    bool passwordStep();
    // The key an encrypted database's password made in the password step; handed over once.
    std::shared_ptr<const FileKey> takeStartupKey() { return std::move(m_startupKey); }
    // Asks for the program password again in a window of its own loop (before the database is
    // rewritten), saying what for. The password typed once it passed the check, with the key it
    // opens an encrypted database with; nothing when the window was left.
    std::optional<QString> askProgramPassword(const QString& prompt, std::shared_ptr<const FileKey>* key = nullptr);
    // What closes and opens the database when the program locks and unlocks, and re-keys it.
    void attachDatabase(DatabaseController* database) { m_database = database; }
    // From here on the main window is the one locked, hidden and brought back; locking by itself
    // starts (idle time, desktop lock and sleep).
    void attach(MainWindow* main);
    // Puts the idle lock's minutes into effect.
    void applyIdleLock();
    // At exit: no tray icon, no idle lock.
    void shutDown();

    void handleEvent(int window, int number, Notify kind, int detail);
    void openPasswordEditor();
    void lock();
    void hideToTray();
    void restoreFromTray();
    void openUnlockWindow();

    bool isLocked() const { return m_locked; }
    bool isInTray() const { return m_inTray; }
    // The open password window of a number (4 to 7), or null.
    PasswordWindow* window(int number) const;
    IdleWatch* idleWatch() const { return m_idle; }
    SessionSignals* sessionSignals() const { return m_session; }

private:
    void handleStepEvent(int window, int number, Notify kind);
    void handleEditorEvent(int number, Notify kind);
    void handleUnlockEvent(int number, Notify kind);
    void runCheck(PasswordWindow* window, int field);
    void securityError(PasswordWindow* window, int field, const QString& text);
    bool checkStoredPassword(PasswordWindow* window, int field);
    KdfCost newCost() const;
    void changePassword(PasswordWindow* window);
    Result storeFingerprint(const QString& fingerprint);
    void closeEditor();
    void closeUnlockWindow();
    void unlock();
    bool trayAvailable() const;

    MainWindow* m_main = nullptr;
    DatabaseController* m_database = nullptr;
    std::shared_ptr<const FileKey> m_startupKey;
    std::shared_ptr<const FileKey> m_checkedKey; // the key the last passed check opened
    QString m_confirmed;                         // the confirm window's password once it passed
    QSystemTrayIcon* m_tray = nullptr;
    IdleWatch* m_idle = nullptr;
    SessionSignals* m_session = nullptr;
    QPointer<PasswordWindow> m_step;
    QPointer<PasswordWindow> m_editor;
    QPointer<PasswordWindow> m_unlock;
    int m_stepOutcome = 0; // start-up windows: 1 passed, -1 left
    bool m_oldPasswordConfirmed = false;
    bool m_checking = false;
    bool m_locked = false;
    bool m_inTray = false;
    QList<QPointer<QWidget>> m_hiddenByLock;
};

} // namespace quillbox
