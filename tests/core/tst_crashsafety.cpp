// A process killed at any moment of a write leaves a sound file holding exactly what was there
// before or exactly what the write made. The writes run in a child process (this program started
// again with a command), which is killed with SIGKILL at a random moment.
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/SampleRecords.h"
#include "transfer/RecordInserter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;

namespace {

constexpr int seedRecords = 10000;
constexpr int importRecords = 20000;
constexpr int rounds = 12;

using sample::keyOf;

// The table's content in record order, as one digest.
QByteArray tableDigest(const QString& file) {
    Database db;
    if (!db.open(file, keyOf(file))) {
        return "<no database>";
    }
    if (scalarQuery(db, QStringLiteral("PRAGMA integrity_check")) != QLatin1String("ok")) {
        return "<damaged>";
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    Query query(db, QStringLiteral("SELECT * FROM quillbox ORDER BY record"));
    while (query.next()) {
        for (int k = 0; k < Col::Count; ++k) {
            hash.addData(query.field(k).toUtf8());
            hash.addData(QByteArrayView("\x1f", 1));
        }
    }
    return query.failed() ? QByteArray("<unreadable>") : hash.result().toHex();
}

// What the child does: the program's own write paths.
int runChild(const QString& command, const QString& file, const QString& target) {
    Database db;
    if (!openDatabase(db, file, keyOf(file)).ok) {
        return 2;
    }
    if (command == QLatin1String("import")) {
        Transaction transaction(db);
        RecordInserter inserter(db);
        QString number;
        bool ok = transaction.begin();
        for (const SiteRecord& record : sample::generateRecords(importRecords, 7)) {
            ok = ok && inserter.insert(record, number);
        }
        return ok && transaction.commit() ? 0 : 1;
    }
    if (command == QLatin1String("save")) {
        // One save, as the data form makes it: every column of every record rewritten.
        Query rows(db, QStringLiteral("SELECT * FROM quillbox"));
        QList<SiteRecord> records;
        while (rows.next()) {
            SiteRecord record;
            readFullRow(rows, record);
            records.append(record);
        }
        rows.finish();
        Transaction transaction(db);
        bool ok = transaction.begin();
        for (SiteRecord& record : records) {
            for (int k = 0; k < Col::TextColumns; ++k) {
                record[k] += QStringLiteral("*saved");
            }
            ok = ok && db.execute(buildUpdateStatement(quotedFields(record), record[Col::Record]));
        }
        return ok && transaction.commit() ? 0 : 1;
    }
    if (command == QLatin1String("backup")) {
        return backupDatabase(db, target) ? 0 : 1;
    }
    return 3;
}

} // namespace

class CrashSafetyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void killedMidWrite_data();
    void killedMidWrite();

private:
    QTemporaryDir m_dir;
};

void CrashSafetyTest::killedMidWrite_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("encrypted");
    for (const char* command : {"import", "save", "backup"}) {
        QTest::addRow("%s", command) << command << false;
        QTest::addRow("%s, encrypted", command) << command << true;
    }
}

void CrashSafetyTest::killedMidWrite() {
    QFETCH(QString, command);
    QFETCH(bool, encrypted);
    const QDir dir(m_dir.path());
    const QString seed = dir.filePath(encrypted ? QStringLiteral("seed-encrypted.ptk") : QStringLiteral("seed.ptk"));
    if (!QFile::exists(seed)) {
        QCOMPARE(sample::writeDatabase(seed, sample::generateRecords(seedRecords)), QString());
        QVERIFY(!encrypted || sample::encryptFile(seed));
    }
    const QString file = dir.filePath(QStringLiteral("work.ptk"));
    const QString target = file + QStringLiteral(".Tue");
    const bool backup = command == QLatin1String("backup");
    // The file the write changes, and the two states it may be found in.
    const QString watched = backup ? target : file;
    auto reset = [&] {
        for (const QString& name : dir.entryList({QStringLiteral("work.ptk*")}, QDir::Files)) {
            QFile::remove(dir.filePath(name));
        }
        QVERIFY(QFile::copy(seed, file));
        if (backup) {
            QVERIFY(QFile::copy(seed, target)); // yesterday's backup: the seed as it was
            Database db;
            QVERIFY(db.open(file, keyOf(file)));
            QVERIFY(db.execute(QStringLiteral("DELETE FROM quillbox WHERE record > 1000")));
        }
    };
    auto run = [&](int killAfterMs) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {command, file, target});
        if (!child.waitForStarted()) {
            return -1;
        }
        if (killAfterMs >= 0 && !child.waitForFinished(killAfterMs)) {
            child.kill();
        }
        child.waitForFinished(-1);
        return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 9;
    };

    reset();
    const QByteArray before = tableDigest(watched);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(run(-1), 0);
    const int duration = static_cast<int>(timer.elapsed());
    const QByteArray after = tableDigest(watched);
    QVERIFY(before != after);

    int killed = 0;
    for (int round = 0; round < rounds; ++round) {
        reset();
        const int delay = static_cast<int>(QRandomGenerator::global()->bounded(duration + 1));
        killed += run(delay) == 9;
        // The next start clears what a killed backup left; the program's own file is untouched by it.
        removeBackupLeftovers(file);
        const QByteArray found = tableDigest(watched);
        QVERIFY2(found == before || found == after,
                 qPrintable(QStringLiteral("killed after %1 ms: %2").arg(delay).arg(QString::fromLatin1(found))));
        QCOMPARE(tableDigest(file).startsWith('<'), false);
        QCOMPARE(dir.entryList({QStringLiteral("*.partial*")}, QDir::Files), QStringList());
    }
    qInfo("%s: %d of %d rounds killed mid-write (a write takes about %d ms)", qPrintable(command), killed, rounds,
          duration);
}

int main(int argc, char** argv) {
    const QByteArrayView first = argc > 1 ? QByteArrayView(argv[1]) : QByteArrayView();
    if (argc == 4 && (first == "import" || first == "save" || first == "backup")) {
        return runChild(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                        QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    CrashSafetyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
