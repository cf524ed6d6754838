// Writes the database refuses, seen from the window: another program holding the file, a full
// disk, a foreign table. Nothing half-done is stored and the list shows what the file holds.
#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/PasswordWindow.h"
#include "settings/ProgramSettings.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/SampleRecords.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"
#include "transfer/TableExport.h"

#include <QtTest>

#include <sqlite3.h>

using namespace quillbox;
using namespace quillbox::test;

namespace {

int storedCount(const Database& db) {
    return scalarQuery(db, QStringLiteral("SELECT count(*) FROM quillbox")).toInt();
}

// A text file of n records of the list's owner.
QString importFile(const QString& folder, int n) {
    Database scratch;
    const QString db = folder + QStringLiteral("/scratch.ptk");
    QFile::remove(db);
    if (!sample::writeDatabase(db, sample::generateRecords(n, 99)).isEmpty() || !openDatabase(scratch, db).ok) {
        return QString();
    }
    const QString path = folder + QStringLiteral("/import.txt");
    return exportTable(scratch, ExportFormat::Text, path).written ? path : QString();
}

void runCommand(TestEnv& env, int slot) {
    env.program->command(Id::MenuItemOfSlot[slot]);
}

int commitCount = 0;
int countCommit(void*) {
    ++commitCount;
    return 0;
}

} // namespace

class FailedWritesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lockedDatabaseChangesNothing_data();
    void lockedDatabaseChangesNothing();
    void importOnFullDiskStoresNothing_data();
    void importOnFullDiskStoresNothing();
    void deleteIsOneTransaction();
    void craftedRecordNumberIsNeverDeleted();
    void tableLackingColumnsIsLeftAlone();
    void fingerprintThatCannotBeStored();
};

void FailedWritesTest::lockedDatabaseChangesNothing_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("message");
    QTest::newRow("import") << int(Id::Slot::Import)
                            << "Error: Nothing was imported: the database is locked by another program.";
    QTest::newRow("delete") << int(Id::Slot::DeleteRecords)
                            << "Error: Nothing was deleted: the database is locked by another program.";
}

void FailedWritesTest::lockedDatabaseChangesNothing() {
    QFETCH(int, slot);
    QFETCH(QString, message);
    TestEnv env;
    seedDatabase(env.path(QStringLiteral("Database/Vennholt Quillbox v2.00.ptk")), sample::generateRecords(40));
    const QString file = importFile(env.path(), 300);
    QVERIFY(!file.isEmpty());
    QVERIFY(env.start());
    env.state.database.setBusyTimeout(20);
    const QList<QStringList> before = env.listRows();
    const int stored = storedCount(env.state.database);

    // Another program reads the file and keeps its read transaction open.
    Database reader;
    QVERIFY(reader.open(env.state.files.databaseFile));
    QVERIFY(reader.execute(QStringLiteral("BEGIN; SELECT count(*) FROM quillbox;")));
    env.filterAnswers << 0;
    env.fileAnswers << file;
    runCommand(env, Id::Slot::TagAll);
    runCommand(env, slot);

    QCOMPARE(env.main()->message(), message);
    QVERIFY(!env.state.database.inTransaction());
    QCOMPARE(env.listRows(), before);
    QCOMPARE(storedCount(env.state.database), stored);

    // Once the other program lets go, the same command works, and what it did stays.
    QVERIFY(reader.execute(QStringLiteral("COMMIT")));
    env.filterAnswers << 0;
    env.fileAnswers << file;
    runCommand(env, Id::Slot::TagAll);
    runCommand(env, slot);
    QCOMPARE(storedCount(reader), slot == Id::Slot::Import ? stored + 300 : stored - before.size());
}

void FailedWritesTest::importOnFullDiskStoresNothing_data() {
    QTest::addColumn<bool>("fullBefore");
    QTest::addColumn<int>("records"); // already stored
    QTest::newRow("full before") << true << 50;
    QTest::newRow("full on the way, into an empty list") << false << 0;
}

void FailedWritesTest::importOnFullDiskStoresNothing() {
    QFETCH(bool, fullBefore);
    QFETCH(int, records);
    TestEnv env;
    const QString file = importFile(env.path(), 3000);
    QVERIFY(!file.isEmpty());
    SmallDisk disk(env.path(QStringLiteral("Database")), 512 * 1024);
    QUILLBOX_REQUIRE_MOUNTED(disk);
    seedDatabase(env.path(QStringLiteral("Database/Vennholt Quillbox v2.00.ptk")), sample::generateRecords(records));
    QVERIFY(env.start());
    const QList<QStringList> before = env.listRows();
    const SiteRecord current = env.state.currentRecord;
    if (fullBefore) {
        disk.fill();
    }
    env.filterAnswers << 0;
    env.fileAnswers << file;
    runCommand(env, Id::Slot::Import);

    QCOMPARE(env.main()->message(), QStringLiteral("Error: Nothing was imported: database or disk is full."));
    QVERIFY(!env.state.database.inTransaction());
    QCOMPARE(env.listRows(), before);
    QCOMPARE(storedCount(env.state.database), records);
    QCOMPARE(env.state.currentRecord.field, current.field); // never a row that was rolled back
    QCOMPARE(scalarQuery(env.state.database, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
}

void FailedWritesTest::deleteIsOneTransaction() {
    TestEnv env;
    seedDatabase(env.path(QStringLiteral("Database/Vennholt Quillbox v2.00.ptk")), sample::generateRecords(2000));
    QVERIFY(env.start());
    const int listed = env.main()->model()->rowCount();
    const int stored = storedCount(env.state.database);
    commitCount = 0;
    sqlite3_commit_hook(env.state.database.handle(), countCommit, nullptr);
    runCommand(env, Id::Slot::TagAll);
    runCommand(env, Id::Slot::DeleteRecords);
    sqlite3_commit_hook(env.state.database.handle(), nullptr, nullptr);
    QCOMPARE(commitCount, 1);
    QCOMPARE(env.main()->model()->rowCount(), 0);
    QCOMPARE(storedCount(env.state.database), stored - listed);
    QVERIFY2(env.main()->count().startsWith(QLatin1Char('0')), qPrintable(env.main()->count()));
}

void FailedWritesTest::craftedRecordNumberIsNeverDeleted() {
    TestEnv env;
    {
        QDir().mkpath(env.path(QStringLiteral("Database")));
        Database db;
        QVERIFY(db.open(env.path(QStringLiteral("Database/Vennholt Quillbox v2.00.ptk"))));
        // All thirty columns, but the record column of another program's making holds text.
        QString create = createTableStatement();
        create.replace(QStringLiteral("record INTEGER PRIMARY KEY AUTOINCREMENT"), QStringLiteral("record TEXT"));
        QVERIFY(db.execute(create));
        for (const QString& number : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3' OR '1'='1")}) {
            QVERIFY(db.execute(QStringLiteral("INSERT INTO quillbox(sitename, owner, category, record) "
                                              "VALUES('s', 'Ann', 'c', '%1')")
                                   .arg(sqlQuote(number))));
        }
    }
    QVERIFY(env.start());
    QCOMPARE(env.main()->model()->rowCount(), 3);
    runCommand(env, Id::Slot::TagAll);
    runCommand(env, Id::Slot::DeleteRecords);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: There is no record number on this line to delete."));
    QCOMPARE(storedCount(env.state.database), 1);
    QCOMPARE(env.column(RecordModel::Record), QStringList{QStringLiteral("3' OR '1'='1")});
}

void FailedWritesTest::tableLackingColumnsIsLeftAlone() {
    TestEnv env;
    const QString file = env.path(QStringLiteral("Database/Vennholt Quillbox v2.00.ptk"));
    {
        QDir().mkpath(env.path(QStringLiteral("Database")));
        Database db;
        QVERIFY(db.open(file));
        QVERIFY(db.execute(QStringLiteral("CREATE TABLE quillbox(sitename TEXT, owner TEXT, record INTEGER)")));
        QVERIFY(db.execute(QStringLiteral("INSERT INTO quillbox VALUES('s', 'Ann', 1)")));
    }
    QFile original(file);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    original.close();
    QVERIFY(env.start());
    QCOMPARE(env.boxes.value(0).title, QStringLiteral("Database open error"));
    const QString text = env.boxes.value(0).text;
    QVERIFY2(text.contains(file) && text.contains(QStringLiteral("lsitename, ")) &&
                 text.contains(QStringLiteral("notes")),
             qPrintable(text));
    runCommand(env, Id::Slot::Exit);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), bytes);
}

void FailedWritesTest::fingerprintThatCannotBeStored() {
    TestEnv env;
    SmallDisk disk(env.path(QStringLiteral("System")), 64 * 1024);
    QUILLBOX_REQUIRE_MOUNTED(disk);
    bool askedAgain = false;
    env.answerPassword = [&](PasswordWindow* window, const std::function<bool()>& done) {
        disk.fill(); // the settings file exists; the fingerprint finds no room
        enterPassword(window, 124, env.password);
        enterPassword(window, 126, env.password);
        askedAgain = !done();
    };
    QVERIFY(!env.start());
    QVERIFY(askedAgain);
    QCOMPARE(env.boxes.value(0).title, QStringLiteral("Security Error"));
    QVERIFY2(env.boxes.value(0).text.contains(QStringLiteral("No space left on device")),
             qPrintable(env.boxes.value(0).text));
    disk.release();
    QVERIFY(env.state.settings.passwordFingerprint.isEmpty());
    QCOMPARE(readSetting(env.state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint),
             QString());
}

QTEST_MAIN(FailedWritesTest)
#include "tst_failedwrites.moc"
