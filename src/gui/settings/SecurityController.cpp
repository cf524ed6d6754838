// The program password: the start-up windows and their own loop, the change window, lock and unlock.
#include "settings/SecurityController.h"

#include "app/BalloonTips.h"
#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/Look.h"
#include "app/SessionSignals.h"
#include "app/StatusLine.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "mainwindow/MainWindow.h"
#include "settings/DatabaseController.h"
#include "settings/IdleWatch.h"
#include "settings/Password.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordWindow.h"
#include "store/DatabaseFile.h"
#include "text/ProgramText.h"

#include <QApplication>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTimer>

namespace quillbox {

namespace Field = Id::PasswordField;

SecurityController::SecurityController(const ControllerContext& context) : Controller(context) {
    m_commands.add(Id::Slot::EditPassword, [this] { openPasswordEditor(); });
    m_commands.add(Id::Slot::Lock, [this] { lock(); });
}

SecurityController::~SecurityController() = default;

void SecurityController::attach(MainWindow* main) {
    m_main = main;
    // Locking by itself: after the chosen quiet minutes, and when the desktop locks or sleeps.
    m_idle = new IdleWatch(*m_state.seams.clock, this);
    qApp->installEventFilter(m_idle);
    connect(m_idle, &IdleWatch::idle, this,
            [this] { m_dispatch(Id::Window::Main, Id::Main::IdleTimer, Notify::Timer, 0); });
    m_session = new SessionSignals(this);
    connect(m_session, &SessionSignals::lockWanted, this,
            [this] { m_dispatch(Id::Window::Main, Id::Main::SessionLocked, Notify::Command, 0); });
    m_session->listen();
    applyIdleLock();
}

void SecurityController::applyIdleLock() {
    if (m_idle) {
        m_idle->setTimeout(idleLockMinutes(m_state.settings) * 60 * 1000);
    }
}

void SecurityController::shutDown() {
    if (m_tray) {
        m_tray->hide();
    }
    if (m_idle) {
        m_idle->setTimeout(0);
    }
}

void SecurityController::handleEvent(int window, int number, Notify kind, int /*detail*/) {
    switch (window) {
    case Id::Window::PasswordEditor:
        handleEditorEvent(number, kind);
        break;
    case Id::Window::Unlock:
        handleUnlockEvent(number, kind);
        break;
    default:
        break; // the start-up windows report to their own loop
    }
}

bool SecurityController::trayAvailable() const {
    return m_state.seams.trayAvailable && m_state.seams.trayAvailable();
}

PasswordWindow* SecurityController::window(int number) const {
    switch (number) {
    case Id::Window::PasswordEditor:
        return m_editor;
    case Id::Window::Unlock:
        return m_unlock;
    case Id::Window::FirstRunPassword:
    case Id::Window::StartupPassword:
    case Id::Window::ConfirmPassword:
        return m_step && m_step->number() == number ? m_step.get() : nullptr;
    default:
        return nullptr;
    }
}

bool SecurityController::passwordStep() {
    // Without a way to ask, the main window must not open unguarded.
    if (!m_state.seams.modalLoop) {
        return false;
    }
    // An encrypted database asks for its own password even when the settings were lost: it is
    // never taken for a missing database and given a new one.
    const int number =
        programPasswordExists(m_state.files) ? Id::Window::StartupPassword : Id::Window::FirstRunPassword;
    auto* window = new PasswordWindow(number, [this](int w, int n, Notify kind, int) { handleStepEvent(w, n, kind); });
    m_step = window;
    m_stepOutcome = 0;
    m_checking = false;
    m_checkedKey.reset();
    window->field(window->firstField())->setFocus();
    fadeIn(m_state.settings, window);
    m_state.seams.modalLoop(window, [this] { return m_stepOutcome != 0; });
    const bool passed = m_stepOutcome == 1;
    if (passed) {
        fadeOut(m_state.settings, window, 8);
        m_startupKey = std::move(m_checkedKey);
    }
    window->clearFields();
    window->hide();
    delete window;
    return passed;
}

std::optional<QString> SecurityController::askProgramPassword(const QString& prompt,
                                                              std::shared_ptr<const FileKey>* key) {
    if (!m_state.seams.modalLoop || m_step) {
        return std::nullopt;
    }
    auto* window = new PasswordWindow(
        Id::Window::ConfirmPassword, [this](int w, int n, Notify kind, int) { handleStepEvent(w, n, kind); }, m_main);
    window->setPrompt(prompt);
    m_step = window;
    m_stepOutcome = 0;
    m_checking = false;
    m_checkedKey.reset();
    m_confirmed.clear();
    window->field(Field::Confirm)->setFocus();
    fadeIn(m_state.settings, window);
    m_state.seams.modalLoop(window, [this] { return m_stepOutcome != 0; });
    std::optional<QString> typed;
    if (m_stepOutcome == 1) {
        typed = std::exchange(m_confirmed, QString());
        if (key) {
            *key = std::move(m_checkedKey);
        }
    }
    m_checkedKey.reset();
    window->clearFields();
    window->hide();
    delete window;
    if (m_main) {
        m_main->activateWindow();
    }
    return typed;
}

void SecurityController::handleStepEvent(int window, int number, Notify kind) {
    PasswordWindow* w = m_step;
    if (!w || m_stepOutcome != 0) {
        return;
    }
    if (kind == Notify::Closed || (kind == Notify::Command && number == w->escapeKey())) {
        m_stepOutcome = -1; // the program ends, writing nothing
    } else if (kind == Notify::Command && number == w->returnKey()) {
        runCheck(w, w->focusedField());
    } else if (kind == Notify::FocusLost && window == Id::Window::FirstRunPassword) {
        runCheck(w, number);
    }
}

void SecurityController::securityError(PasswordWindow* window, int field, const QString& text) {
    m_status.messageBox(QStringLiteral("Security Error"), text, MessageIcon::Exclamation);
    if (QLineEdit* entry = window->field(field)) {
        entry->setText(QString()); // clear() would keep the text in the undo history
        entry->setFocus();
    }
}

Result SecurityController::storeFingerprint(const QString& fingerprint) {
    // The copy in memory follows the file only once the file holds it: the settings written at
    // exit must not set a password the user was told could not be stored.
    Result saved =
        writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, fingerprint);
    if (saved.ok()) {
        m_state.settings.passwordFingerprint = fingerprint;
    }
    return saved;
}

KdfCost SecurityController::newCost() const {
    return m_state.seams.kdfCost ? m_state.seams.kdfCost() : programKdfCost();
}

bool SecurityController::checkStoredPassword(PasswordWindow* window, int field) {
    // Deriving the key takes its time on purpose; the window says it is working.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PasswordCheck check =
        checkProgramPassword(m_state.files, window->field(field)->text(), [this] { return newCost(); });
    QApplication::restoreOverrideCursor();
    if (!check.passed) {
        securityError(window, field, check.error);
        return false;
    }
    m_checkedKey = std::move(check.key);
    if (!check.rewritten.isEmpty()) {
        m_state.settings.passwordFingerprint = check.rewritten;
    } else if (!check.storeError.isEmpty()) {
        m_status.messageBox(QStringLiteral("Security Error"), check.storeError, MessageIcon::Exclamation);
    }
    if (m_checkedKey) {
        m_state.settings.passwordFingerprint.clear(); // an encrypted file keeps none
    }
    return true;
}

void SecurityController::changePassword(PasswordWindow* window) {
    const QString old = window->field(Field::OldPassword)->text();
    const QString chosen = window->field(Field::NewPassword)->text();
    QString failure;
    if (m_database) {
        failure = m_database->changePassword(old, chosen);
    } else if (const QString fingerprint = passwordFingerprint(chosen, newCost()); fingerprint.isEmpty()) {
        failure = QStringLiteral("There is not enough memory to make the password's fingerprint.");
    } else if (const Result saved = storeFingerprint(fingerprint); !saved.ok()) {
        failure = saved.error();
    }
    if (!failure.isEmpty()) {
        // A password that could not be stored is not the password: the window stays open.
        securityError(window, Field::NewPassword, failure);
        return;
    }
    window->clearFields();
    closeEditor();
}

void SecurityController::runCheck(PasswordWindow* window, int field) {
    // A check's own message box and focus moves must not start another check.
    if (!window || m_checking) {
        return;
    }
    m_checking = true;
    QLineEdit* entry = window->field(field);
    const QString text = entry ? entry->text() : QString();
    switch (window->number() * 1000 + field) {
    case Id::Window::FirstRunPassword * 1000 + Field::Chosen:
        if (text.isEmpty()) {
            securityError(window, Field::Chosen, PasswordText::NoPasswordChosen);
        } else if (const QString problem = lengthProblem(text); !problem.isEmpty()) {
            securityError(window, Field::Chosen, problem);
        } else {
            window->field(Field::Confirmed)->setFocus();
        }
        break;
    case Id::Window::FirstRunPassword * 1000 + Field::Confirmed:
        if (const QString chosen = window->field(Field::Chosen)->text(); !passwordLengthAllowed(chosen)) {
            // Only reachable when the first field was never left: its own check decides.
            securityError(window, Field::Chosen,
                          chosen.isEmpty() ? PasswordText::NoPasswordChosen : lengthProblem(chosen));
        } else if (text.isEmpty()) {
            securityError(window, Field::Confirmed, PasswordText::ConfirmationEmpty);
        } else if (text != chosen) {
            securityError(window, Field::Confirmed, PasswordText::NewPasswordsDiffer);
        } else {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const QString fingerprint = passwordFingerprint(text, newCost());
            QApplication::restoreOverrideCursor();
            const Result saved =
                fingerprint.isEmpty()
                    ? Result::failure(QStringLiteral("There is not enough memory to make the password's fingerprint."))
                    : storeFingerprint(fingerprint);
            if (!saved.ok()) {
                // Without a stored password the program would be unguarded at the next start.
                securityError(window, Field::Chosen, saved.error());
            } else {
                m_stepOutcome = 1;
            }
        }
        break;
    case Id::Window::StartupPassword * 1000 + Field::Startup:
        if (checkStoredPassword(window, Field::Startup)) {
            m_stepOutcome = 1;
        }
        break;
    case Id::Window::ConfirmPassword * 1000 + Field::Confirm:
        if (checkStoredPassword(window, Field::Confirm)) {
            m_confirmed = text;
            m_stepOutcome = 1;
        }
        break;
    case Id::Window::PasswordEditor * 1000 + Field::OldPassword: {
        m_oldPasswordConfirmed = false;
        const std::shared_ptr<const FileKey>& key = m_state.database.key();
        if (text.isEmpty()) {
            securityError(window, Field::OldPassword, PasswordText::OldConfirmationEmpty);
            break;
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // An encrypted file's password is the one its key comes from; a plain one's, its fingerprint's.
        const bool right =
            key ? passwordMatchesKey(text, *key)
                : matchFingerprint(text, window->field(Field::StoredFingerprint)->text()) != FingerprintMatch::None;
        QApplication::restoreOverrideCursor();
        if (!right) {
            securityError(window, Field::OldPassword, PasswordText::OldPasswordWrong);
        } else {
            m_oldPasswordConfirmed = true;
            window->field(Field::NewPassword)->setFocus();
        }
        break;
    }
    case Id::Window::PasswordEditor * 1000 + Field::NewPassword:
    case Id::Window::PasswordEditor * 1000 + Field::NewConfirmed: {
        const QString chosen = window->field(Field::NewPassword)->text();
        if (!m_oldPasswordConfirmed) {
            window->field(Field::OldPassword)->setFocus(); // the old password first, every time the window opens
        } else if (chosen.isEmpty()) {
            securityError(window, Field::NewPassword, PasswordText::NewPasswordEmpty);
        } else if (const QString problem = lengthProblem(chosen); !problem.isEmpty()) {
            securityError(window, Field::NewPassword, problem);
        } else if (field == Field::NewPassword) {
            window->field(Field::NewConfirmed)->setFocus();
        } else if (text.isEmpty()) {
            securityError(window, Field::NewConfirmed, PasswordText::ConfirmationEmpty);
        } else if (text != chosen) {
            securityError(window, Field::NewConfirmed, PasswordText::NewPasswordsDiffer);
        } else {
            changePassword(window);
        }
        break;
    }
    case Id::Window::Unlock * 1000 + Field::Unlock:
        if (checkStoredPassword(window, Field::Unlock)) {
            unlock();
        }
        break;
    default:
        break; // the read-only stored fingerprint has no check
    }
    m_checking = false;
}

void SecurityController::unlock() {
    m_locked = false;
    closeUnlockWindow();
    if (m_database) {
        m_database->reopen(std::exchange(m_checkedKey, nullptr));
    }
    restoreFromTray();
    // The windows that were open stay over the main window, the last of them active: a form being
    // filled in is where the keys go on.
    QWidget* last = nullptr;
    for (const QPointer<QWidget>& hidden : std::as_const(m_hiddenByLock)) {
        if (hidden) {
            hidden->show();
            hidden->raise();
            last = hidden;
        }
    }
    if (last) {
        last->activateWindow();
    }
    m_hiddenByLock.clear();
}

void SecurityController::openPasswordEditor() {
    if (m_guard.isOpen() || !m_main) {
        return; // silently, as the command promises nothing else
    }
    auto* window = new PasswordWindow(Id::Window::PasswordEditor, m_dispatch, m_main);
    m_editor = window;
    m_guard.open(QStringLiteral("Edit Password"));
    m_oldPasswordConfirmed = false;
    // An encrypted file keeps no fingerprint: its key is what the old password is checked against.
    window->field(Field::StoredFingerprint)
        ->setText(m_state.database.isEncrypted() ? QString() : storedFingerprint(m_state.files.settingsFile));
    window->field(Field::OldPassword)->setFocus();
    fadeIn(m_state.settings, window);
}

void SecurityController::closeEditor() {
    PasswordWindow* window = m_editor;
    m_editor = nullptr;
    if (window) {
        window->clearFields();
    }
    m_guard.close(window);
}

void SecurityController::handleEditorEvent(int number, Notify kind) {
    PasswordWindow* w = m_editor;
    if (!w) {
        return;
    }
    if (kind == Notify::Closed || (kind == Notify::Command && number == w->escapeKey())) {
        closeEditor();
    } else if (kind == Notify::Command && number == w->returnKey()) {
        runCheck(w, w->focusedField());
    } else if (kind == Notify::FocusLost && number == Field::OldPassword) {
        runCheck(w, Field::OldPassword);
    }
}

void SecurityController::lock() {
    if (!m_main || m_locked) {
        return;
    }
    if (m_state.database.isBusy()) {
        // A long import, export or delete lets timers run between its records: the lock waits
        // until it is done rather than close the database under it.
        QTimer::singleShot(200, this, [this] { lock(); });
        return;
    }
    // Any other open window would keep showing records while locked: it goes too, and comes
    // back after the unlock.
    m_hiddenByLock.clear();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        const Qt::WindowType type = w->windowType();
        if (w != m_main && w->isVisible() && (type == Qt::Window || type == Qt::Dialog)) {
            m_hiddenByLock.append(w);
            w->hide();
        }
    }
    m_tips.hideBalloon();
    const bool tray = trayAvailable();
    if (tray) {
        hideToTray();
    } else {
        m_main->hide();
    }
    m_locked = true;
    if (m_database) {
        m_database->close(); // the records and the key leave memory until the password comes back
    }
    if (!tray) {
        openUnlockWindow(); // with no tray icon to click, the way back in opens at once
    }
}

void SecurityController::openUnlockWindow() {
    if (m_unlock) {
        m_unlock->raise();
        m_unlock->activateWindow();
        return;
    }
    // Other windows are hidden while locked, so an open one does not stand in the way here.
    auto* window = new PasswordWindow(Id::Window::Unlock, m_dispatch);
    m_unlock = window;
    window->field(Field::Unlock)->setFocus();
    fadeIn(m_state.settings, window);
}

void SecurityController::closeUnlockWindow() {
    PasswordWindow* w = m_unlock;
    m_unlock = nullptr;
    if (w) {
        w->clearFields();
        // Not the one-window guard's close: the unlock window never set the guard.
        m_guard.dismiss(w);
    }
}

void SecurityController::handleUnlockEvent(int number, Notify kind) {
    PasswordWindow* w = m_unlock;
    if (!w) {
        return;
    }
    if (kind == Notify::Closed || (kind == Notify::Command && number == w->escapeKey())) {
        // Leaving stays locked; without a tray icon to come back through the window stays.
        if (trayAvailable()) {
            closeUnlockWindow();
        }
    } else if (kind == Notify::Command && number == w->returnKey()) {
        runCheck(w, Field::Unlock);
    }
}

void SecurityController::hideToTray() {
    // Where nothing could bring the window back, it stays minimised in the ordinary way.
    if (!trayAvailable() || !m_main) {
        return;
    }
    m_inTray = true;
    m_main->hide();
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(programImage(Id::Image::Program), this);
        m_tray->setToolTip(titleMarks + QStringLiteral("  ") + programName);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this] { m_dispatch(Id::Window::Main, Id::Main::TrayIcon, Notify::TrayClick, 0); });
    }
    m_tray->show();
}

void SecurityController::restoreFromTray() {
    if (m_locked) {
        openUnlockWindow();
        return;
    }
    m_inTray = false;
    if (m_tray) {
        m_tray->hide();
    }
    if (m_main) {
        m_main->showNormal();
        m_main->activateWindow();
    }
}

} // namespace quillbox
