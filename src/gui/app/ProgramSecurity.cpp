// The program password: the start-up windows and their own loop, the change window, lock and unlock.
#include "app/BalloonTips.h"
#include "app/Ids.h"
#include "app/Program.h"
#include "app/WindowEffects.h"
#include "mainwindow/MainWindow.h"
#include "settings/Password.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordWindow.h"

#include <QApplication>
#include <QLineEdit>

namespace quillbox {

PasswordWindow* Program::passwordWindow(int window) const {
    switch (window) {
    case Id::Window::PasswordEditor:
        return m_passwordEditor;
    case Id::Window::Unlock:
        return m_unlockWindow;
    case Id::Window::FirstRunPassword:
    case Id::Window::StartupPassword:
        return m_passwordStep && m_passwordStep->number() == window ? m_passwordStep.get() : nullptr;
    default:
        return nullptr;
    }
}

bool Program::passwordStep() {
    // Without a way to ask, the main window must not open unguarded.
    if (!m_state.seams.modalLoop) {
        return false;
    }
    const int number =
        m_state.passwordFingerprint.isEmpty() ? Id::Window::FirstRunPassword : Id::Window::StartupPassword;
    auto* window =
        new PasswordWindow(number, [this](int w, int n, Notify kind, int) { handlePasswordStepEvent(w, n, kind); });
    m_passwordStep = window;
    m_passwordOutcome = 0;
    m_checkingPassword = false;
    window->field(window->firstField())->setFocus();
    fadeIn(m_state, window);
    m_state.seams.modalLoop(window, [this] { return m_passwordOutcome != 0; });
    const bool passed = m_passwordOutcome == 1;
    if (passed) {
        fadeOut(m_state, window, 8);
    }
    window->hide();
    delete window;
    return passed;
}

void Program::handlePasswordStepEvent(int window, int number, Notify kind) {
    PasswordWindow* w = m_passwordStep;
    if (!w || m_passwordOutcome != 0) {
        return;
    }
    if (kind == Notify::Closed || (kind == Notify::Command && number == w->escapeKey())) {
        m_passwordOutcome = -1; // the program ends, writing nothing
    } else if (kind == Notify::Command && number == w->returnKey()) {
        runPasswordCheck(w, w->focusedField());
    } else if (kind == Notify::FocusLost && window == Id::Window::FirstRunPassword) {
        runPasswordCheck(w, number);
    }
}

void Program::securityError(PasswordWindow* window, int field, const QString& text) {
    messageBox(QStringLiteral("Security Error"), text, MessageIcon::Exclamation);
    if (QLineEdit* entry = window->field(field)) {
        entry->clear();
        entry->setFocus();
    }
}

SettingsResult Program::storeFingerprint(const QString& fingerprint) {
    // The copy in memory follows the file only once the file holds it: the settings written at
    // exit must not set a password the user was told could not be stored.
    SettingsResult saved =
        writeSetting(m_state.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, fingerprint);
    if (saved.ok) {
        m_state.passwordFingerprint = fingerprint;
    }
    return saved;
}

bool Program::checkStoredPassword(PasswordWindow* window, int field) {
    const PasswordCheck check = checkProgramPassword(m_state.settingsFile, window->field(field)->text());
    if (!check.passed) {
        securityError(window, field, check.error);
        return false;
    }
    if (!check.rewritten.isEmpty()) {
        m_state.passwordFingerprint = check.rewritten;
    } else if (!check.storeError.isEmpty()) {
        messageBox(QStringLiteral("Security Error"), check.storeError, MessageIcon::Exclamation);
    }
    return true;
}

void Program::runPasswordCheck(PasswordWindow* window, int field) {
    // A check's own message box and focus moves must not start another check.
    if (!window || m_checkingPassword) {
        return;
    }
    m_checkingPassword = true;
    QLineEdit* entry = window->field(field);
    const QString text = entry ? entry->text() : QString();
    switch (window->number() * 1000 + field) {
    case Id::Window::FirstRunPassword * 1000 + 124:
        if (text.isEmpty()) {
            securityError(window, 124, PasswordText::NoPasswordChosen);
        } else if (!passwordLengthAllowed(text)) {
            securityError(window, 124, PasswordText::WrongLength);
        } else {
            window->field(126)->setFocus();
        }
        break;
    case Id::Window::FirstRunPassword * 1000 + 126:
        if (!passwordLengthAllowed(window->field(124)->text())) {
            // Only reachable when the first field was never left: its own check decides.
            securityError(window, 124,
                          window->field(124)->text().isEmpty() ? PasswordText::NoPasswordChosen
                                                               : PasswordText::WrongLength);
        } else if (text.isEmpty()) {
            securityError(window, 126, PasswordText::ConfirmationEmpty);
        } else if (text != window->field(124)->text()) {
            securityError(window, 126, PasswordText::NewPasswordsDiffer);
        } else if (const SettingsResult saved = storeFingerprint(passwordFingerprint(text)); !saved.ok) {
            // Without a stored password the program would be unguarded at the next start.
            securityError(window, 124, saved.error);
        } else {
            m_passwordOutcome = 1;
        }
        break;
    case Id::Window::StartupPassword * 1000 + 134:
        if (checkStoredPassword(window, 134)) {
            m_passwordOutcome = 1;
        }
        break;
    case Id::Window::PasswordEditor * 1000 + 118:
        m_oldPasswordConfirmed = false;
        if (text.isEmpty()) {
            securityError(window, 118, PasswordText::OldConfirmationEmpty);
        } else if (matchFingerprint(text, window->field(116)->text()) == FingerprintMatch::None) {
            securityError(window, 118, PasswordText::OldPasswordWrong);
        } else {
            m_oldPasswordConfirmed = true;
            window->field(120)->setFocus();
        }
        break;
    case Id::Window::PasswordEditor * 1000 + 120:
        if (!m_oldPasswordConfirmed) {
            window->field(118)->setFocus(); // the old password first, every time the window opens
        } else if (text.isEmpty()) {
            securityError(window, 120, PasswordText::NewPasswordEmpty);
        } else if (!passwordLengthAllowed(text)) {
            securityError(window, 120, PasswordText::WrongLength);
        } else {
            // A password that could not be stored is not the password: the window stays open.
            const SettingsResult saved = storeFingerprint(passwordFingerprint(text));
            if (!saved.ok) {
                securityError(window, 120, saved.error);
                break;
            }
            m_passwordEditor = nullptr;
            closeSecondaryWindow(window, Id::Window::PasswordEditor);
        }
        break;
    case Id::Window::Unlock * 1000 + 130:
        if (checkStoredPassword(window, 130)) {
            m_state.locked = 0;
            closeUnlockWindow();
            restoreFromTray();
            for (const QPointer<QWidget>& hidden : std::as_const(m_hiddenByLock)) {
                if (hidden) {
                    hidden->show();
                    hidden->raise();
                }
            }
            m_hiddenByLock.clear();
        }
        break;
    default:
        break; // the read-only field 116 has no check
    }
    m_checkingPassword = false;
}

void Program::openPasswordEditor() {
    if (m_state.secondaryWindowOpen == 1 || !m_main) {
        return; // silently, as the command promises nothing else
    }
    auto* window = new PasswordWindow(
        Id::Window::PasswordEditor, [this](int w, int n, Notify kind, int detail) { dispatch(w, n, kind, detail); },
        m_main.get());
    m_passwordEditor = window;
    m_state.secondaryWindowOpen = 1;
    m_oldPasswordConfirmed = false;
    window->field(116)->setText(storedFingerprint(m_state.settingsFile));
    window->field(118)->setFocus();
    fadeIn(m_state, window);
}

void Program::handlePasswordEditorEvent(int number, Notify kind, int) {
    PasswordWindow* w = m_passwordEditor;
    if (!w) {
        return;
    }
    if (kind == Notify::Closed || (kind == Notify::Command && number == w->escapeKey())) {
        m_passwordEditor = nullptr;
        closeSecondaryWindow(w, Id::Window::PasswordEditor);
    } else if (kind == Notify::Command && number == w->returnKey()) {
        runPasswordCheck(w, w->focusedField());
    } else if (kind == Notify::FocusLost && number == 118) {
        runPasswordCheck(w, 118);
    }
}

void Program::lockInterface() {
    if (!m_main || m_state.locked == 1) {
        return;
    }
    // Any other open window would keep showing records while locked: it goes too, and comes
    // back after the unlock.
    m_hiddenByLock.clear();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        const Qt::WindowType type = w->windowType();
        if (w != m_main.get() && w->isVisible() && (type == Qt::Window || type == Qt::Dialog)) {
            m_hiddenByLock.append(w);
            w->hide();
        }
    }
    if (m_tips) {
        m_tips->hideBalloon();
    }
    const bool tray = m_state.seams.trayAvailable && m_state.seams.trayAvailable();
    if (tray) {
        hideToTray();
    } else {
        m_main->hide();
    }
    m_state.locked = 1;
    if (!tray) {
        openUnlockWindow(); // with no tray icon to click, the way back in opens at once
    }
}

void Program::openUnlockWindow() {
    if (m_unlockWindow) {
        m_unlockWindow->raise();
        m_unlockWindow->activateWindow();
        return;
    }
    // Other windows are hidden while locked, so an open one does not stand in the way here.
    auto* window = new PasswordWindow(Id::Window::Unlock,
                                      [this](int w, int n, Notify kind, int detail) { dispatch(w, n, kind, detail); });
    m_unlockWindow = window;
    window->field(130)->setFocus();
    fadeIn(m_state, window);
}

void Program::closeUnlockWindow() {
    PasswordWindow* w = m_unlockWindow;
    m_unlockWindow = nullptr;
    if (w) {
        // Not the one-window guard's close: the unlock window never set the guard.
        dismissWindow(w);
    }
}

void Program::handleUnlockEvent(int number, Notify kind, int) {
    PasswordWindow* w = m_unlockWindow;
    if (!w) {
        return;
    }
    if (kind == Notify::Closed || (kind == Notify::Command && number == w->escapeKey())) {
        // Leaving stays locked; without a tray icon to come back through the window stays.
        if (m_state.seams.trayAvailable && m_state.seams.trayAvailable()) {
            closeUnlockWindow();
        }
    } else if (kind == Notify::Command && number == w->returnKey()) {
        runPasswordCheck(w, 130);
    }
}

} // namespace quillbox
