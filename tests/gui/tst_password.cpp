#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "settings/Password.h"
#include "settings/PasswordWindow.h"
#include "settings/ProgramSettings.h"
#include "support/Files.h"
#include "support/TestEnv.h"

#include <QLineEdit>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
const QString Good = QStringLiteral("Quill-test-01");
const QString Title = QStringLiteral("Security Error");
const QString NoPasswordChosen = QStringLiteral(
    "No password has been selected for this program.\n\r\n\rYou have to choose a password so that you will be able "
    "to lock the program.\n\r\n\rThe program will now exit.");
const QString TooShort =
    QStringLiteral("This password is too short.\n\r\n\rIt must be between 8 and 128 characters in length.");
const QString TooLong =
    QStringLiteral("This password is too long.\n\r\n\rIt must be between 8 and 128 characters in length.");
const QString ConfirmationEmpty = QStringLiteral(
    "The confirmation password is empty.\n\r\n\rYou must type one in to continue.\n\r\n\rPlease try again.");
const QString NewPasswordsDiffer = QStringLiteral("The passwords do not match.\n\r\n\rPlease try again.");
const QString PasswordEmpty = QStringLiteral("The password field must not be empty.\n\r\n\rYou have to type in a "
                                             "password to unlock the program.\n\r\n\rTry again.");
const QString PasswordWrong = QStringLiteral("The passwords do not match.\n\r\n\rTry again.");

QString storedFingerprint(const TestEnv& env) {
    return readSetting(env.state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint);
}

// Whether a fingerprint is the current form's, of this password.
bool holds(const QString& fingerprint, const QString& password) {
    return fingerprint.startsWith(QStringLiteral("$argon2id$")) &&
           matchFingerprint(password, fingerprint) == FingerprintMatch::Current;
}

QString fingerprintOf(const QString& password) {
    return passwordFingerprint(password, {1, MinKdfMemoryMiB});
}

// Writes a settings file holding a fingerprint, so the start-up window asks for it.
void storeFingerprint(TestEnv& env, const QString& fingerprint) {
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("System"));
    ProgramSettings saved = defaultSettings();
    saved.passwordFingerprint = fingerprint;
    QVERIFY(saveSettings(env.state.files.settingsFile, saved).ok());
}

using Steps = QList<QPair<int, QString>>;

struct Seen {
    QString box;
    QString fieldText;
    int focused = 0;
};
} // namespace

class PasswordTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createWindowChecksNewPassword_data();
    void createWindowChecksNewPassword();
    void createWindowChecksConfirmation_data();
    void createWindowChecksConfirmation();
    void leavingNewFieldChecksItOnce();
    void startupWindowChecks_data();
    void startupWindowChecks();
    void leavingStartupWindowEndsWritingNothing_data();
    void leavingStartupWindowEndsWritingNothing();
    void legacyFingerprintAcceptedAndRewritten_data();
    void legacyFingerprintAcceptedAndRewritten();
    void changeWindow_data();
    void changeWindow();
    void changeWindowIsGuardedSilently();
    void lockAndUnlock();
    void lockHidesOpenWindowsUntilUnlocked();
    void lockWithoutTrayOpensUnlockAtOnce();
};

void PasswordTest::createWindowChecksNewPassword_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::newRow("empty") << "" << NoPasswordChosen;
    QTest::newRow("7") << "1234567" << TooShort;
    QTest::newRow("8") << "12345678"
                       << "";
    QTest::newRow("a passphrase of 40") << QStringLiteral("correct horse battery staple sun moon 12") << "";
    QTest::newRow("128") << QString(128, QLatin1Char('p')) << "";
    QTest::newRow("129") << QString(129, QLatin1Char('p')) << TooLong;
}

void PasswordTest::createWindowChecksNewPassword() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TestEnv env;
    Seen seen;
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        QCOMPARE(w->number(), Id::Window::FirstRunPassword);
        QCOMPARE(w->windowTitle(), QStringLiteral("<°)))o><²³   Create a new program password."));
        QCOMPARE(w->focusedField(), 124);
        enterPassword(w, 124, typed);
        seen = {env.boxes.isEmpty() ? QString() : env.boxes.last().text, w->field(124)->text(), w->focusedField()};
        if (!message.isEmpty()) {
            QVERIFY(!done()); // the window stays, for another try
            enterPassword(w, 124, Good);
            typed = Good;
        }
        enterPassword(w, 126, typed);
        QVERIFY(done());
    };
    QVERIFY(env.start());
    QCOMPARE(seen.box, message);
    if (message.isEmpty()) {
        QCOMPARE(seen.focused, 126);
        QVERIFY(env.boxes.isEmpty());
    } else {
        QCOMPARE(env.boxes.last().title, Title);
        QCOMPARE(env.boxes.last().icon, MessageIcon::Exclamation);
        QCOMPARE(seen.fieldText, QString());
        QCOMPARE(seen.focused, 124);
    }
    QVERIFY(holds(storedFingerprint(env), typed));
    QCOMPARE(env.state.settings.passwordFingerprint, storedFingerprint(env));
    QVERIFY(env.main()->isVisible());
}

void PasswordTest::createWindowChecksConfirmation_data() {
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << ConfirmationEmpty;
    QTest::newRow("different") << "Quill-test-02" << NewPasswordsDiffer;
    QTest::newRow("shares first half only") << "Quill-tXXXXXX" << NewPasswordsDiffer;
}

void PasswordTest::createWindowChecksConfirmation() {
    QFETCH(QString, confirmation);
    QFETCH(QString, message);
    TestEnv env;
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        enterPassword(w, 124, Good);
        enterPassword(w, 126, confirmation);
        QVERIFY(!done());
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].title, Title);
        QCOMPARE(env.boxes[0].text, message);
        QCOMPARE(w->field(126)->text(), QString());
        QCOMPARE(w->field(124)->text(), Good);
        QCOMPARE(w->focusedField(), 126);
        QCOMPARE(storedFingerprint(env), QString()); // nothing stored yet
        QTest::keyClick(w->field(126), Qt::Key_Escape);
        QVERIFY(done());
    };
    QVERIFY(!env.start());
}

void PasswordTest::leavingNewFieldChecksItOnce() {
    TestEnv env;
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>&) {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(QApplication::focusWidget(), w->field(124));
        QTest::keyClicks(w->field(124), "short");
        w->field(126)->setFocus(Qt::MouseFocusReason); // the user clicks the second field
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, TooShort);
        QCOMPARE(w->field(124)->text(), QString());
        QCOMPARE(QApplication::focusWidget(), w->field(124));
    };
    QVERIFY(!env.start());
    QCOMPARE(env.boxes.size(), 1);
}

void PasswordTest::startupWindowChecks_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << PasswordEmpty;
    QTest::newRow("wrong") << "Quill-test-02" << PasswordWrong;
    QTest::newRow("shares first half only") << "Quill-tXXXXXX" << PasswordWrong;
    QTest::newRow("right") << Good << "";
}

void PasswordTest::startupWindowChecks() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TestEnv env;
    storeFingerprint(env, fingerprintOf(Good));
    bool mainBuiltTooEarly = false;
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        mainBuiltTooEarly = env.program->mainWindow() != nullptr;
        QCOMPARE(w->number(), Id::Window::StartupPassword);
        QCOMPARE(w->windowTitle(), QStringLiteral("<°)))o><²³   Type the program startup password."));
        QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        enterPassword(w, 134, typed);
        QCOMPARE(done(), message.isEmpty());
        if (!done()) {
            QCOMPARE(w->field(134)->text(), QString());
            QCOMPARE(w->focusedField(), 134);
            enterPassword(w, 134, Good); // unlimited tries
        }
    };
    QVERIFY(env.start());
    QVERIFY(!mainBuiltTooEarly);
    QCOMPARE(env.passwordPrompts, QList<int>{Id::Window::StartupPassword});
    QCOMPARE(env.boxes.isEmpty(), message.isEmpty());
    if (!message.isEmpty()) {
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].title, Title);
        QCOMPARE(env.boxes[0].text, message);
    }
}

void PasswordTest::leavingStartupWindowEndsWritingNothing_data() {
    QTest::addColumn<bool>("firstRun");
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("create, Escape") << true << false;
    QTest::newRow("create, close box") << true << true;
    QTest::newRow("start-up, Escape") << false << false;
    QTest::newRow("start-up, close box") << false << true;
}

void PasswordTest::leavingStartupWindowEndsWritingNothing() {
    QFETCH(bool, firstRun);
    QFETCH(bool, closeBox);
    TestEnv env;
    storeFingerprint(env, firstRun ? QString() : fingerprintOf(Good));
    ProgramSettings changed = defaultSettings();
    changed.optFading = 0;
    changed.lastOwner = QStringLiteral("Home");
    changed.passwordFingerprint = firstRun ? QString() : fingerprintOf(Good);
    QVERIFY(saveSettings(env.state.files.settingsFile, changed).ok());
    const QByteArray before = readAll(env.state.files.settingsFile);
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        QTest::keyClicks(w->field(w->focusedField()), "12345678");
        if (closeBox) {
            w->close();
        } else {
            QTest::keyClick(w->field(w->focusedField()), Qt::Key_Escape);
        }
        QVERIFY(done());
    };
    QVERIFY(!env.start());
    QVERIFY(!env.program->mainWindow());
    QVERIFY(env.boxes.isEmpty());
    QCOMPARE(readAll(env.state.files.settingsFile), before);
    QVERIFY(!QFile::exists(env.state.files.databaseFile));
    QCOMPARE(QDir(env.path("Database")).entryList(QDir::Files), QStringList());
}

void PasswordTest::legacyFingerprintAcceptedAndRewritten_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("whole MD5") << md5Fingerprint(Good) << Good << true;
    QTest::newRow("half MD5") << halfMd5Fingerprint(Good) << Good << true;
    QTest::newRow("half MD5, first half shared") << halfMd5Fingerprint(Good) << "Quill-tXXXXXX" << true;
    // The whole form of a password is the half form of that password typed twice.
    QTest::newRow("whole MD5, typed twice") << md5Fingerprint(Good) << Good + Good << false;
    QTest::newRow("whole MD5, doubled and changed") << md5Fingerprint(Good) << Good + "Quill-tXXXXXX" << false;
    QTest::newRow("Argon2id, typed twice") << fingerprintOf(Good) << Good + Good << false;
}

void PasswordTest::legacyFingerprintAcceptedAndRewritten() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    TestEnv env;
    storeFingerprint(env, stored);
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        enterPassword(w, 134, typed);
        QCOMPARE(done(), accepted);
        if (!done()) {
            QCOMPARE(env.boxes.last().text, PasswordWrong);
            QTest::keyClick(w->field(134), Qt::Key_Escape);
        }
    };
    QCOMPARE(env.start(), accepted);
    if (!accepted) {
        QCOMPARE(storedFingerprint(env), stored); // nothing rewritten
        return;
    }
    QVERIFY(holds(storedFingerprint(env), typed));
    QCOMPARE(env.state.settings.passwordFingerprint, storedFingerprint(env));

    // Once rewritten, a text sharing only the first half no longer opens the program.
    env.program.reset();
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        enterPassword(w, 134, QStringLiteral("Quill-tYYYYYY"));
        QVERIFY(!done());
        QTest::keyClick(w->field(134), Qt::Key_Escape);
    };
    QVERIFY(!env.start());
    QCOMPARE(env.boxes.last().text, PasswordWrong);
}

void PasswordTest::changeWindow_data() {
    // Steps in the change window: the field Return is pressed in and the text typed there.
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("focused"); // after the last step; 0 when the window closed
    QTest::addColumn<QString>("stored");
    const QString fresh = QStringLiteral("Brand-new-99");
    QTest::newRow("old then new twice") << Steps{{118, Good}, {120, fresh}, {114, fresh}} << QStringList() << 0
                                        << fresh;
    QTest::newRow("old empty") << Steps{{118, ""}} << QStringList{"The confirmation password is empty, Try again."}
                               << 118 << Good;
    QTest::newRow("old wrong") << Steps{{118, "Quill-test-02"}}
                               << QStringList{"The old and confirmation passwords do not match. try again."} << 118
                               << Good;
    QTest::newRow("old right moves on") << Steps{{118, Good}} << QStringList() << 120 << Good;
    QTest::newRow("new moves on to its confirmation")
        << Steps{{118, Good}, {120, fresh}} << QStringList() << 114 << Good;
    QTest::newRow("new before old saves nothing") << Steps{{120, fresh}, {114, fresh}} << QStringList() << 118 << Good;
    QTest::newRow("new after a failed old")
        << Steps{{118, Good}, {118, "nope-nope"}, {120, fresh}, {114, fresh}}
        << QStringList{"The old and confirmation passwords do not match. try again."} << 118 << Good;
    QTest::newRow("new empty") << Steps{{118, Good}, {120, ""}}
                               << QStringList{"The password field is empty, nothing was saved."} << 120 << Good;
    QTest::newRow("new 7") << Steps{{118, Good}, {120, "1234567"}} << QStringList{TooShort} << 120 << Good;
    QTest::newRow("new 129") << Steps{{118, Good}, {120, QString(129, QLatin1Char('n'))}} << QStringList{TooLong} << 120
                             << Good;
    QTest::newRow("confirmation empty") << Steps{{118, Good}, {120, fresh}, {114, ""}} << QStringList{ConfirmationEmpty}
                                        << 114 << Good;
    QTest::newRow("confirmation differs")
        << Steps{{118, Good}, {120, fresh}, {114, "Brand-new-98"}} << QStringList{NewPasswordsDiffer} << 114 << Good;
    QTest::newRow("new 8") << Steps{{118, Good}, {120, "12345678"}, {114, "12345678"}} << QStringList() << 0
                           << "12345678";
    QTest::newRow("new 128") << Steps{{118, Good},
                                      {120, QString(128, QLatin1Char('n'))},
                                      {114, QString(128, QLatin1Char('n'))}}
                             << QStringList() << 0 << QString(128, QLatin1Char('n'));
}

void PasswordTest::changeWindow() {
    QFETCH(Steps, steps);
    QFETCH(QStringList, messages);
    QFETCH(int, focused);
    QFETCH(QString, stored);
    TestEnv env;
    QVERIFY(env.start());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditPassword]);
    PasswordWindow* w = env.program->security().window(Id::Window::PasswordEditor);
    QVERIFY(w);
    QVERIFY(env.program->guard().isOpen());
    QCOMPARE(w->windowTitle(), QStringLiteral("<°)))o><²³   Edit your current password."));
    QCOMPARE(w->field(116)->text(), storedFingerprint(env));
    QVERIFY(w->field(116)->isReadOnly());
    QCOMPARE(w->field(116)->echoMode(), QLineEdit::Password);
    QCOMPARE(w->focusedField(), 118);
    for (const auto& [field, text] : steps) {
        QPointer<PasswordWindow> alive(w);
        enterPassword(w, field, text);
        QVERIFY(alive);
    }
    QStringList shown;
    for (const RecordedBox& box : env.boxes) {
        QCOMPARE(box.title, Title);
        shown << box.text;
    }
    QCOMPARE(shown, messages);
    if (focused == 0) {
        QVERIFY(!env.program->security().window(Id::Window::PasswordEditor));
        QVERIFY(!env.program->guard().isOpen());
    } else {
        QCOMPARE(w->focusedField(), focused);
        if (!messages.isEmpty()) {
            QCOMPARE(w->field(focused)->text(), QString()); // the refused field is emptied
        }
    }
    QVERIFY(holds(storedFingerprint(env), stored));
    QCOMPARE(env.state.settings.passwordFingerprint, storedFingerprint(env));
}

void PasswordTest::changeWindowIsGuardedSilently() {
    TestEnv env;
    QVERIFY(env.start());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditPassword]);
    PasswordWindow* first = env.program->security().window(Id::Window::PasswordEditor);
    const QString message = env.main()->message();
    env.program->command(Id::PopupItemOfSlot[Id::Slot::EditPassword]);
    QCOMPARE(env.program->security().window(Id::Window::PasswordEditor), first);
    QCOMPARE(env.main()->message(), message);
    // Escape leaves without saving and frees the guard.
    QTest::keyClick(first->field(118), Qt::Key_Escape);
    QVERIFY(!env.program->guard().isOpen());
    QVERIFY(!env.program->security().window(Id::Window::PasswordEditor));
    QVERIFY(holds(storedFingerprint(env), Good));
}

void PasswordTest::lockAndUnlock() {
    TestEnv env;
    QVERIFY(env.start());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::Lock]);
    QVERIFY(env.program->security().isLocked());
    QVERIFY(env.program->security().isInTray());
    QVERIFY(!env.main()->isVisible());
    QVERIFY(!env.program->security().window(Id::Window::Unlock));

    // The tray icon opens the unlock window; Escape leaves the program locked in the tray.
    env.program->dispatch(Id::Window::Main, Id::Main::TrayIcon, Notify::TrayClick);
    PasswordWindow* w = env.program->security().window(Id::Window::Unlock);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("<°)))o><²³   Type your unlocking password."));
    QTest::keyClick(w->field(130), Qt::Key_Escape);
    QVERIFY(!env.program->security().window(Id::Window::Unlock));
    QVERIFY(env.program->security().isLocked());
    QVERIFY(env.program->security().isInTray());
    QVERIFY(!env.main()->isVisible());

    env.program->dispatch(Id::Window::Main, Id::Main::TrayIcon, Notify::TrayClick);
    w = env.program->security().window(Id::Window::Unlock);
    QVERIFY(w);
    enterPassword(w, 130, QString());
    enterPassword(w, 130, QStringLiteral("Quill-tXXXXXX"));
    QCOMPARE(env.boxes.size(), 2);
    QCOMPARE(env.boxes[0].text, PasswordEmpty);
    QCOMPARE(env.boxes[1].text, PasswordWrong);
    QVERIFY(env.program->security().isLocked());
    enterPassword(w, 130, Good);
    QVERIFY(!env.program->security().isLocked());
    QVERIFY(!env.program->security().isInTray());
    QVERIFY(env.main()->isVisible());
    QVERIFY(!env.program->security().window(Id::Window::Unlock));
}

void PasswordTest::lockHidesOpenWindowsUntilUnlocked() {
    TestEnv env;
    QVERIFY(env.start());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditPassword]);
    PasswordWindow* editor = env.program->security().window(Id::Window::PasswordEditor);
    QVERIFY(editor->isVisible());
    env.program->command(Id::FirstShortcutEvent + Id::Slot::Lock);
    QVERIFY(!editor->isVisible());
    env.program->dispatch(Id::Window::Main, Id::Main::TrayIcon, Notify::TrayClick);
    enterPassword(env.program->security().window(Id::Window::Unlock), 130, Good);
    QVERIFY(!env.program->security().isLocked());
    QVERIFY(editor->isVisible());
    QVERIFY(env.program->guard().isOpen()); // the editor is still the open window
}

void PasswordTest::lockWithoutTrayOpensUnlockAtOnce() {
    TestEnv env;
    env.trayAvailable = false;
    QVERIFY(env.start());
    env.program->command(Id::PopupItemOfSlot[Id::Slot::Lock]);
    QVERIFY(env.program->security().isLocked());
    QVERIFY(!env.main()->isVisible());
    PasswordWindow* w = env.program->security().window(Id::Window::Unlock);
    QVERIFY(w);
    // With nothing else to bring the program back, the window cannot be left.
    QTest::keyClick(w->field(130), Qt::Key_Escape);
    w->close();
    QCOMPARE(env.program->security().window(Id::Window::Unlock), w);
    QVERIFY(w->isVisible());
    enterPassword(w, 130, Good);
    QVERIFY(!env.program->security().isLocked());
    QVERIFY(env.main()->isVisible());
}

QTEST_MAIN(PasswordTest)
#include "tst_password.moc"
