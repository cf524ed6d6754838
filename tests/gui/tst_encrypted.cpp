// The window program on an encrypted database: turning encryption on and off, the password that
// opens the file, a new password, and what locking takes out of memory.
#include "app/Ids.h"
#include "dataform/DataForm.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/DatabaseController.h"
#include "settings/Password.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordWindow.h"
#include "store/DatabaseFile.h"
#include "store/FileConversion.h"
#include "store/SiteStore.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

const QList<SiteRecord> seeded{
    makeRecord("Bank", "ann", "Vault-secret-1", "https://bank.example", "Money", "Ann"),
    makeRecord("Mail", "ann", "Mailbox-secret-2", "https://mail.example", "Work", "Ann"),
    makeRecord("Shop", "ann", "Basket-secret-3", "", "Fun", "Ann"),
};

QString fingerprintIn(const TestEnv& env) {
    return storedFingerprint(env.state.files.settingsFile);
}

// The bytes of every file under the working folder.
QByteArray everyByte(const TestEnv& env) {
    QByteArray all;
    QDirIterator it(env.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly)) {
            all += file.readAll();
        }
    }
    return all;
}

bool anySecretIn(const QByteArray& bytes) {
    for (const SiteRecord& r : seeded) {
        const QString& secret = r[Col::Password];
        if (bytes.contains(secret.toUtf8()) ||
            bytes.contains(QByteArray(reinterpret_cast<const char*>(secret.utf16()), secret.size() * 2))) {
            return true;
        }
    }
    return false;
}

// A working folder whose database holds the records, encrypted with the test's password, and a
// settings file without a fingerprint, as encrypting leaves them.
void encryptedFolder(TestEnv& env) {
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("Database"));
    QDir().mkpath(env.path("System"));
    seedDatabase(env.state.files.databaseFile, seeded);
    const auto key = FileKey::derive(env.password, FileHeader::fresh({1, MinKdfMemoryMiB}, 4096));
    QCOMPARE(convertDatabaseFile(env.state.files.databaseFile, nullptr, key).error(), QString());
    QVERIFY(saveSettings(env.state.files.settingsFile, defaultSettings()).ok());
}

bool itemShown(const TestEnv& env, int number) {
    return env.main()->itemAction(number)->isVisible();
}

} // namespace

class EncryptedTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encryptFromTheOptionsMenu();
    void startUpOpensTheFileWithThePassword_data();
    void startUpOpensTheFileWithThePassword();
    void decryptAsksFirst_data();
    void decryptAsksFirst();
    void newPasswordSealsEveryFileAgain();
    void lockTakesTheRecordsOutOfMemory();
    void lockWaitsForWorkUnderWay();
};

void EncryptedTest::encryptFromTheOptionsMenu() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("Database"));
    seedDatabase(env.state.files.databaseFile, seeded);
    QVERIFY(env.start()); // the first run: a password is chosen
    QVERIFY(backupDatabase(env.state.database, env.state.files.databaseFile + QStringLiteral(".Mon")));
    QVERIFY(itemShown(env, Id::EncryptItem));
    QVERIFY(!itemShown(env, Id::DecryptItem));
    const QList<QStringList> rows = env.listRows();
    QCOMPARE(rows.size(), 3);

    // A wrong password first: nothing happens; then the right one.
    int asked = 0;
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        QCOMPARE(w->number(), Id::Window::ConfirmPassword);
        if (asked++ == 0) {
            enterPassword(w, Id::PasswordField::Confirm, QStringLiteral("Quill-test-02"));
            QVERIFY(!done());
            QTest::keyClick(w->field(Id::PasswordField::Confirm), Qt::Key_Escape);
            QVERIFY(done());
            return;
        }
        enterPassword(w, Id::PasswordField::Confirm, env.password);
        QVERIFY(done());
    };
    env.program->command(Id::EncryptItem);
    QCOMPARE(env.boxes.last().text, PasswordText::PasswordWrong);
    QCOMPARE(databaseKind(env.state.files.databaseFile), DatabaseKind::Plain);
    env.program->command(Id::EncryptItem);

    QCOMPARE(databaseKind(env.state.files.databaseFile), DatabaseKind::Encrypted);
    QCOMPARE(databaseKind(env.state.files.databaseFile + QStringLiteral(".Mon")), DatabaseKind::Encrypted);
    QCOMPARE(fingerprintIn(env), QString()); // the file is the password's only witness now
    QVERIFY(!itemShown(env, Id::EncryptItem));
    QVERIFY(itemShown(env, Id::DecryptItem));
    QCOMPARE(env.main()->message(),
             QStringLiteral("Info: The database and its backups are now encrypted with the program password."));
    QCOMPARE(env.listRows(), rows);
    // The program goes on writing to it, and the exit's backup is encrypted too.
    insertRecord(env.state.database, makeRecord("Club", "ann", "Member-secret-4", "", "Fun", "Ann"));
    env.program->shutDown();
    QCOMPARE(databaseKind(env.state.files.databaseFile + QStringLiteral(".Tue")), DatabaseKind::Encrypted);
    QVERIFY(!anySecretIn(everyByte(env)));
    QVERIFY(!everyByte(env).contains("Member-secret-4"));
}

void EncryptedTest::startUpOpensTheFileWithThePassword_data() {
    QTest::addColumn<bool>("settingsLost");
    QTest::addColumn<QString>("firstTry");
    QTest::newRow("right") << false << "";
    QTest::newRow("wrong first") << false << "Quill-test-02";
    QTest::newRow("doubled first") << false << "Quill-test-01Quill-test-01";
    QTest::newRow("settings deleted") << true << "";
    QTest::newRow("settings deleted, wrong first") << true << "Quill-test-02";
}

void EncryptedTest::startUpOpensTheFileWithThePassword() {
    QFETCH(bool, settingsLost);
    QFETCH(QString, firstTry);
    TestEnv env;
    encryptedFolder(env);
    if (settingsLost) {
        QVERIFY(QFile::remove(env.state.files.settingsFile));
    }
    const QByteArray before = [&] {
        QFile f(env.state.files.databaseFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    env.answerPassword = [&](PasswordWindow* w, const std::function<bool()>& done) {
        QCOMPARE(w->number(), Id::Window::StartupPassword); // never the first-run window
        if (!firstTry.isEmpty()) {
            enterPassword(w, Id::PasswordField::Startup, firstTry);
            QVERIFY(!done());
            QCOMPARE(env.boxes.last().text, PasswordText::PasswordWrong);
            QFile f(env.state.files.databaseFile);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), before); // a wrong password changes nothing
        }
        enterPassword(w, Id::PasswordField::Startup, env.password);
        QVERIFY(done());
    };
    QVERIFY(env.start());
    QVERIFY(env.state.database.isEncrypted());
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Mail", "Shop"}));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Quillbox is ready to work."));
    QCOMPARE(fingerprintIn(env), QString());
}

void EncryptedTest::decryptAsksFirst_data() {
    QTest::addColumn<QString>("answer");
    QTest::newRow("cancelled") << "Cancel";
    QTest::newRow("stored unencrypted") << "Store unencrypted";
}

void EncryptedTest::decryptAsksFirst() {
    QFETCH(QString, answer);
    TestEnv env;
    encryptedFolder(env);
    QVERIFY(env.start());
    env.askAnswers = {answer};
    env.program->command(Id::DecryptItem);
    QCOMPARE(env.questions.size(), 1);
    QVERIFY(env.questions[0].contains(QStringLiteral("without the program password")));
    const bool stored = answer == QLatin1String("Store unencrypted");
    QCOMPARE(databaseKind(env.state.files.databaseFile), stored ? DatabaseKind::Plain : DatabaseKind::Encrypted);
    QCOMPARE(env.passwordPrompts.count(Id::Window::ConfirmPassword), stored ? 1 : 0);
    // A plain file is guarded by a fingerprint again.
    QCOMPARE(matchFingerprint(env.password, fingerprintIn(env)) == FingerprintMatch::Current, stored);
    QCOMPARE(itemShown(env, Id::EncryptItem), stored);
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Mail", "Shop"}));
}

void EncryptedTest::newPasswordSealsEveryFileAgain() {
    TestEnv env;
    encryptedFolder(env);
    QVERIFY(env.start());
    QVERIFY(backupDatabase(env.state.database, env.state.files.databaseFile + QStringLiteral(".Mon")));
    const std::optional<FileHeader> old = readFileHeader(env.state.files.databaseFile);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditPassword]);
    PasswordWindow* w = env.program->security().window(Id::Window::PasswordEditor);
    QCOMPARE(w->field(Id::PasswordField::StoredFingerprint)->text(), QString());
    // The old password is checked against the file's key.
    enterPassword(w, Id::PasswordField::OldPassword, QStringLiteral("Quill-test-02"));
    QCOMPARE(env.boxes.last().text, PasswordText::OldPasswordWrong);
    enterPassword(w, Id::PasswordField::OldPassword, env.password);
    enterPassword(w, Id::PasswordField::NewPassword, QStringLiteral("Another-pass-77"));
    enterPassword(w, Id::PasswordField::NewConfirmed, QStringLiteral("Another-pass-77"));
    QVERIFY(!env.program->security().window(Id::Window::PasswordEditor));
    QVERIFY(readFileHeader(env.state.files.databaseFile) != old); // a new salt
    for (const QString& file : {env.state.files.databaseFile, env.state.files.databaseFile + QStringLiteral(".Mon")}) {
        QCOMPARE(int(unlockDatabaseFile(file, env.password).status), int(UnlockResult::WrongPassword));
        QCOMPARE(int(unlockDatabaseFile(file, QStringLiteral("Another-pass-77")).status), int(UnlockResult::Opened));
    }
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Mail", "Shop"}));
    // The program goes on with the file under its new key.
    insertRecord(env.state.database, makeRecord("Club", "ann", "Member-secret-4", "", "Fun", "Ann"));
    QCOMPARE(scalarQuery(env.state.database, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("4"));
}

void EncryptedTest::lockTakesTheRecordsOutOfMemory() {
    TestEnv env;
    encryptedFolder(env);
    QVERIFY(env.start());
    env.main()->selectRow(1, false);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
    DataForm* form = env.program->dataForms()->window();
    QVERIFY(form);
    form->valueBox(Col::Password)->setEditText(QStringLiteral("Typed-not-saved-5"));

    env.program->command(Id::MenuItemOfSlot[Id::Slot::Lock]);
    QVERIFY(!env.state.database.isOpen());
    QCOMPARE(env.main()->model()->rowCount(), 0);
    QVERIFY(!env.program->list()->searchCopy());
    QCOMPARE(env.state.currentRecord[Col::Password], QString());
    QCOMPARE(form->valueBox(Col::Password)->currentText(), QString());
    QCOMPARE(form->valueBox(Col::SiteName)->count(), 0);
    QCOMPARE(form->typedRecord()[Col::SiteName], QString());

    // A wrong password leaves it all locked; the right one brings it all back.
    env.program->dispatch(Id::Window::Main, Id::Main::TrayIcon, Notify::TrayClick);
    PasswordWindow* unlock = env.program->security().window(Id::Window::Unlock);
    enterPassword(unlock, Id::PasswordField::Unlock, QStringLiteral("Quill-test-02"));
    QVERIFY(env.program->security().isLocked());
    QVERIFY(!env.state.database.isOpen());
    enterPassword(unlock, Id::PasswordField::Unlock, env.password);
    QVERIFY(!env.program->security().isLocked());
    QVERIFY(env.state.database.isEncrypted());
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Mail", "Shop"}));
    QCOMPARE(form->valueBox(Col::SiteName)->currentText(), QStringLiteral("Mail"));
    QCOMPARE(form->valueBox(Col::Password)->currentText(), QStringLiteral("Typed-not-saved-5"));
    QVERIFY(form->valueBox(Col::SiteName)->count() > 0);
    // The edit is still one not saved: leaving asks.
    env.askAnswers = {QStringLiteral("Cancel")};
    QVERIFY(!env.program->dataForms()->leave());
}

void EncryptedTest::lockWaitsForWorkUnderWay() {
    // An idle lock that comes while an import's transaction is open waits for it to end.
    TestEnv env;
    encryptedFolder(env);
    QVERIFY(env.start());
    QVERIFY(env.state.database.execute(QStringLiteral("BEGIN")));
    insertRecord(env.state.database, makeRecord("Club", "ann", "Member-secret-4", "", "Fun", "Ann"));
    env.program->dispatch(Id::Window::Main, Id::Main::IdleTimer, Notify::Timer);
    QVERIFY(!env.program->security().isLocked());
    QVERIFY(env.state.database.isOpen());
    QVERIFY(env.state.database.execute(QStringLiteral("COMMIT")));
    QTRY_VERIFY(env.program->security().isLocked());
    QVERIFY(!env.state.database.isOpen());
}

QTEST_MAIN(EncryptedTest)
#include "tst_encrypted.moc"
