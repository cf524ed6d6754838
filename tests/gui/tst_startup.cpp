#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/Password.h"
#include "settings/ProgramSettings.h"
#include "store/SiteStore.h"
#include "support/TestEnv.h"
#include "text/ProgramText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

class StartupTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void freshFolderGetsFoldersSettingsAndDatabase();
    void databaseFolderThatIsAFileEndsTheProgram_data();
    void databaseFolderThatIsAFileEndsTheProgram();
    void restoresLastSearchAndListsMasked();
    void unknownSearchIndexes();
    void exitSavesSearchStateAndMakesWeekdayBackup();
    void notADatabaseKeepsRunningAndNeverOverwrites();
};

void StartupTest::freshFolderGetsFoldersSettingsAndDatabase() {
    TestEnv env;
    QVERIFY(env.start());
    for (const char* name : {"Database", "System", "Temporary"}) {
        const QFileInfo info(env.path(QString::fromLatin1(name)));
        QVERIFY(info.isDir());
        QCOMPARE(info.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
    }
    QFile settings(env.state.files.settingsFile);
    QVERIFY(settings.open(QIODevice::ReadOnly));
    // The defaults, with the fingerprint of the password chosen in the first-run window.
    const QString fingerprint =
        readSetting(env.state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint);
    QCOMPARE(matchFingerprint(env.password, fingerprint), FingerprintMatch::Current);
    QCOMPARE(settings.readAll(), defaultSettingsBytes().replace(
                                     "MD5 FingerPrint = \r\n", "MD5 FingerPrint = " + fingerprint.toLatin1() + "\r\n"));
    QCOMPARE(QFileInfo(env.state.files.databaseFile).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Quillbox is ready to work."));
    QCOMPARE(env.main()->count(), QStringLiteral("0 Records"));
    QCOMPARE(env.main()->windowTitle(),
             QStringLiteral("<°)))o><²³  Vennholt Quillbox v2.00  --  Tuesday, 8 December 2026"));
    // The designed size, or as much of it as the screen holds.
    const QSize room = env.main()->screen()->availableGeometry().size();
    QCOMPARE(env.main()->size(), env.main()->designedSize().boundedTo(room - QSize(16, 16)).boundedTo(room));
    QVERIFY(env.main()->screen()->availableGeometry().contains(env.main()->geometry().topLeft()));
    QVERIFY(env.boxes.isEmpty());
    QCOMPARE(env.main()->categoryBox()->currentText(), QStringLiteral("All Categories"));
}

void StartupTest::databaseFolderThatIsAFileEndsTheProgram_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("Database") << "Database"
                              << "The local database directory could not be created.";
    QTest::newRow("System") << "System"
                            << "The local system files directory could not be created";
    QTest::newRow("Temporary") << "Temporary"
                               << "The local temporary files directory could not be created";
}

void StartupTest::databaseFolderThatIsAFileEndsTheProgram() {
    QFETCH(QString, name);
    QFETCH(QString, message);
    TestEnv env;
    QFile blocker(env.path(name));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!env.start());
    QCOMPARE(env.boxes.size(), 1);
    QCOMPARE(env.boxes[0].title, QStringLiteral("Directory creation error"));
    QCOMPARE(env.boxes[0].text, message);
    QVERIFY(!QFile::exists(env.path("System/Vennholt Quillbox v2.00.ptk.Ini")) || name == "Temporary");
    QVERIFY(!QFile::exists(env.path("Database/Vennholt Quillbox v2.00.ptk")));
}

void StartupTest::restoresLastSearchAndListsMasked() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile,
                 {makeRecord("Bank", "ann", "secret", "https://bank.example", "Money", "Home"),
                  makeRecord("Mail", "bob", "", "", "Work", "Home"),
                  makeRecord("Shop", "cy", "pw", "", "Money", "Office")});
    QDir().mkpath(env.path("System"));
    ProgramSettings saved = defaultSettings();
    saved.lastOwner = "Home";
    saved.lastCategory = "Money";
    saved.lastSearchField = 1;
    saved.lastSearchType = 0;
    saved.lastSearchText = "an";
    QVERIFY(saveSettings(env.state.files.settingsFile, saved).ok());
    QVERIFY(env.start());
    QCOMPARE(env.main()->ownerBox()->currentText(), QStringLiteral("Home"));
    QCOMPARE(env.main()->categoryBox()->currentText(), QStringLiteral("Money"));
    QCOMPARE(env.main()->searchText()->text(), QStringLiteral("an"));
    QCOMPARE(env.listRows(), (QList<QStringList>{{"Bank", "***", "******", "********************", "Money", "1"}}));
    QCOMPARE(env.main()->count(), QStringLiteral("1 Record"));
    QCOMPARE(env.main()->currentRow(), 0);
}

void StartupTest::unknownSearchIndexes() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("System"));
    ProgramSettings saved = defaultSettings();
    saved.lastSearchField = 99;
    saved.lastSearchType = -3;
    QVERIFY(saveSettings(env.state.files.settingsFile, saved).ok());
    QVERIFY(env.start());
    // An unknown field number is kept (no entry shown, all fields searched); an unknown
    // comparison selects the first.
    QCOMPARE(env.main()->fieldBox()->currentIndex(), -1);
    QCOMPARE(env.main()->searchTypeBox()->currentIndex(), 0);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::Exit]);
    QCOMPARE(readSetting(env.state.files.settingsFile, SettingsKey::SavedSearches, "Last Search Field Displayed"),
             QStringLiteral("99"));
}

void StartupTest::exitSavesSearchStateAndMakesWeekdayBackup() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "x", "", "Money", "Home")});
    QVERIFY(env.start());
    bool finished = false;
    QObject::connect(env.program.get(), &Program::finished, [&finished] { finished = true; });
    env.main()->searchTypeBox()->setCurrentIndex(1);
    QTest::keyClicks(env.main()->searchText(), "Ba");
    QCoreApplication::sendPostedEvents();
    env.program->command(Id::FirstShortcutEvent); // Alt+X's event
    QVERIFY(finished);
    QCOMPARE(readSetting(env.state.files.settingsFile, "Saved Searches", "Last Search Text Displayed"),
             QStringLiteral("Ba"));
    QCOMPARE(readSetting(env.state.files.settingsFile, "Saved Searches", "Last Search Type Used"), QStringLiteral("1"));
    QCOMPARE(readSetting(env.state.files.settingsFile, "Saved Searches", "Last Owner Displayed"),
             QStringLiteral("Home"));
    QFile file(env.state.files.settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Tool tips On Or Off = 1\r\n"));
    const QString backup = env.state.files.databaseFile + ".Tue";
    QVERIFY(QFile::exists(backup));
    Database copy;
    QVERIFY(copy.open(backup));
    QCOMPARE(scalarQuery(copy, "SELECT sitename FROM quillbox"), QStringLiteral("Bank"));
    QVERIFY(!QFile::exists(env.state.files.databaseFile + ".Mon"));
    QVERIFY(env.boxes.isEmpty());
}

void StartupTest::notADatabaseKeepsRunningAndNeverOverwrites() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("Database"));
    const QByteArray garbage(4096, 'x');
    for (const QString& file : {env.state.files.databaseFile, env.state.files.databaseFile + ".Tue"}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    QVERIFY(env.start());
    // Not "ready to work": the list could not be read, and the status line says so.
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The database query failed to be executed."));
    QCOMPARE(env.boxes.size(), 1);
    QCOMPARE(env.boxes[0].title, QStringLiteral("Database open error"));
    QVERIFY2(env.boxes[0].text.contains(QStringLiteral("file is not a database")), qPrintable(env.boxes[0].text));
    QTest::keyClicks(env.main()->searchText(), "a");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The database query failed to be executed."));
    env.program->command(2);
    QCOMPARE(env.boxes.size(), 2);
    QCOMPARE(env.boxes[1].title, QStringLiteral("Backup Error"));
    QVERIFY(env.boxes[1].text.startsWith(QStringLiteral("The database could not be backed up, disk error?.")));
    for (const QString& file : {env.state.files.databaseFile, env.state.files.databaseFile + ".Tue"}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), garbage);
    }
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
