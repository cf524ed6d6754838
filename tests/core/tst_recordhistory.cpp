// The recycle bin, the history of every record and undo, on the second table: each slip taken
// back leaves the table exactly as it was, byte for byte; a full disk or a lock leaves both tables
// as they were.
#include "store/RecordHistory.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "store/UndoStep.h"
#include "support/SampleRecords.h"
#include "support/SmallDisk.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;

namespace {

const QDateTime when(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC);

// Every row of a table, every column, as stored (typeof included), in rowid order.
QByteArray rowsOf(const Database& db, const QString& table) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    Query query(db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
    while (query.next()) {
        for (int c = 0; c < query.columnCount(); ++c) {
            hash.addData(query.text(c).toUtf8());
            hash.addData(QByteArrayView("\x1f", 1));
        }
    }
    return query.failed() ? QByteArray("<failed>") : hash.result().toHex();
}

QStringList numbersOf(const Database& db, const QString& where) {
    QStringList numbers;
    Query query(db, QStringLiteral("SELECT record FROM quillbox WHERE %1 ORDER BY record").arg(where));
    while (query.next()) {
        numbers << query.text(0);
    }
    return numbers;
}

int count(const Database& db, const QString& statement) {
    return scalarQuery(db, statement).toInt();
}

} // namespace

class RecordHistoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void slipsAreUndone_data();
    void slipsAreUndone();
    void restoreKeepsOrRenumbers();
    void historyKeepsTheNewestVersions_data();
    void historyKeepsTheNewestVersions();
    void aFileWithoutTheSecondTable();
    void refusedMovesLeaveBothTables_data();
    void refusedMovesLeaveBothTables();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    Database m_db;
};

void RecordHistoryTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("history.ptk"));
    QCOMPARE(sample::writeDatabase(m_file, sample::generateRecords(300, 3)), QString());
    QVERIFY(openDatabase(m_db, m_file).ok);
}

void RecordHistoryTest::slipsAreUndone_data() {
    QTest::addColumn<QString>("slip");
    QTest::newRow("delete one") << "delete one";
    QTest::newRow("delete many") << "delete many";
    QTest::newRow("tag all of an owner and delete") << "delete owner";
    QTest::newRow("import") << "import";
    QTest::newRow("add") << "add";
    QTest::newRow("edit twice, undo both") << "edit twice";
}

void RecordHistoryTest::slipsAreUndone() {
    QFETCH(QString, slip);
    const QByteArray before = rowsOf(m_db, QStringLiteral("quillbox"));
    QList<UndoStep> steps;
    if (slip.startsWith(QLatin1String("delete"))) {
        const QStringList numbers = slip == QLatin1String("delete one") ? QStringList{QStringLiteral("17")}
                                    : slip == QLatin1String("delete many")
                                        ? numbersOf(m_db, QStringLiteral("record % 3 = 0"))
                                        : numbersOf(m_db, QStringLiteral("owner = '%1'").arg(sample::mainOwner));
        UndoStep step;
        QCOMPARE(moveToBin(m_db, numbers, when, &step.binEntries).error(), QString());
        QCOMPARE(step.binEntries.size(), numbers.size());
        QCOMPARE(count(m_db, QStringLiteral("SELECT count(*) FROM quillbox")), 300 - numbers.size());
        QCOMPARE(binEntries(m_db)->size(), numbers.size());
        steps << step;
    } else if (slip == QLatin1String("import") || slip == QLatin1String("add")) {
        UndoStep step;
        step.kind = slip == QLatin1String("import") ? UndoStep::Import : UndoStep::Add;
        for (const SiteRecord& r : sample::generateRecords(slip == QLatin1String("import") ? 40 : 1, 9)) {
            QVERIFY(m_db.execute(buildInsertStatement(quotedFields(r))));
            const QString made = lastInsertedRecord(m_db);
            if (step.kind == UndoStep::Import) {
                step.numbers << made.toLongLong(); // as the import keeps them
            } else {
                step.records << made;
            }
        }
        steps << step;
    } else {
        for (const char* password : {"first-new", "second-new"}) {
            SiteRecord record = *storedRecord(m_db, QStringLiteral("42"));
            record[Col::Password] = QString::fromLatin1(password);
            UndoStep step;
            step.kind = UndoStep::Edit;
            step.records = {QStringLiteral("42")};
            QCOMPARE(saveWithHistory(m_db, quotedFields(record), QStringLiteral("42"), when, 10, &step.version).error(),
                     QString());
            QVERIFY(step.version > 0);
            steps << step;
        }
        QCOMPARE(storedRecord(m_db, QStringLiteral("42")).value()[Col::Password], QStringLiteral("second-new"));
    }
    QVERIFY(rowsOf(m_db, QStringLiteral("quillbox")) != before);
    // Undone newest first, as Ctrl+Z does.
    while (!steps.isEmpty()) {
        const UndoResult result = undo(m_db, steps.takeLast(), when, 10);
        QCOMPARE(result.error, QString());
        QVERIFY(!result.message.isEmpty());
    }
    if (slip.startsWith(QLatin1String("delete")) || slip == QLatin1String("edit twice")) {
        QCOMPARE(rowsOf(m_db, QStringLiteral("quillbox")), before);
        QCOMPARE(binEntries(m_db)->size(), 0);
    } else {
        // What was imported or added lies in the bin; the list is as it was.
        QCOMPARE(count(m_db, QStringLiteral("SELECT count(*) FROM quillbox")), 300);
        QCOMPARE(binEntries(m_db)->size(), slip == QLatin1String("import") ? 40 : 1);
        QCOMPARE(emptyBin(m_db).error(), QString());
        QCOMPARE(binEntries(m_db)->size(), 0);
        const QByteArray after = rowsOf(m_db, QStringLiteral("quillbox"));
        QCOMPARE(after, before);
    }
}

void RecordHistoryTest::restoreKeepsOrRenumbers() {
    QList<qint64> entries;
    QCOMPARE(moveToBin(m_db, {QStringLiteral("5"), QStringLiteral("6")}, when, &entries).error(), QString());
    const std::optional<QList<HistoryEntry>> bin = binEntries(m_db);
    QCOMPARE(bin->size(), 2);
    QCOMPARE(bin->first().when, when);
    QCOMPARE(bin->first().event, HistoryEvent::Deleted);
    // Another program made a record under number 6 meanwhile.
    QVERIFY(m_db.execute(QStringLiteral("INSERT INTO quillbox(sitename, record) VALUES('Someone else', 6)")));
    QList<Restored> restored;
    QCOMPARE(restoreFromBin(m_db, entries, &restored).error(), QString());
    QCOMPARE(restored.size(), 2);
    for (const Restored& r : restored) {
        if (r.from == QLatin1String("5")) {
            QCOMPARE(r.to, QStringLiteral("5"));
        } else {
            QCOMPARE(r.from, QStringLiteral("6"));
            QCOMPARE(r.to, QStringLiteral("301")); // the next number never given out
            QCOMPARE(storedRecord(m_db, r.to).value()[Col::SiteName], bin->first().values[Col::SiteName]);
        }
    }
    QCOMPARE(storedRecord(m_db, QStringLiteral("6")).value()[Col::SiteName], QStringLiteral("Someone else"));
    QCOMPARE(binEntries(m_db)->size(), 0);
    // Restoring what is no longer in the bin does nothing.
    QCOMPARE(restoreFromBin(m_db, entries, &restored).error(), QString());
    QVERIFY(restored.isEmpty());
}

void RecordHistoryTest::historyKeepsTheNewestVersions_data() {
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("saves");
    QTest::newRow("default, fewer saves") << 10 << 4;
    QTest::newRow("three kept of five") << 3 << 5;
    QTest::newRow("none kept") << 0 << 3;
    QTest::newRow("the most") << 100 << 12;
}

void RecordHistoryTest::historyKeepsTheNewestVersions() {
    QFETCH(int, keep);
    QFETCH(int, saves);
    for (int i = 1; i <= saves; ++i) {
        SiteRecord record = *storedRecord(m_db, QStringLiteral("8"));
        record[Col::Password] = QStringLiteral("password %1").arg(i);
        QCOMPARE(saveWithHistory(m_db, quotedFields(record), QStringLiteral("8"), when.addSecs(i), keep).error(),
                 QString());
    }
    // A save that changes nothing keeps no version.
    QCOMPARE(saveWithHistory(m_db, quotedFields(*storedRecord(m_db, QStringLiteral("8"))), QStringLiteral("8"),
                             when.addSecs(99), keep)
                 .error(),
             QString());
    const QList<HistoryEntry> versions = recordVersions(m_db, QStringLiteral("8")).value();
    QCOMPARE(versions.size(), std::min(keep, saves));
    for (qsizetype v = 0; v < versions.size(); ++v) {
        // Newest first: the version replaced by the last save holds the one before it.
        const int replacedBy = saves - static_cast<int>(v);
        QCOMPARE(versions[v].values[Col::Password], replacedBy == 1
                                                        ? sample::generateRecords(300, 3)[7][Col::Password]
                                                        : QStringLiteral("password %1").arg(replacedBy - 1));
        QCOMPARE(versions[v].when, when.addSecs(replacedBy));
        QCOMPARE(differingColumns(versions[v].values, *storedRecord(m_db, QStringLiteral("8"))),
                 QStringList{QStringLiteral("password")});
    }
    // Other records keep their own histories.
    QVERIFY(recordVersions(m_db, QStringLiteral("9"))->isEmpty());
}

void RecordHistoryTest::aFileWithoutTheSecondTable() {
    QVERIFY(!historyTableExists(m_db));
    QVERIFY(binEntries(m_db)->isEmpty());
    QVERIFY(recordVersions(m_db, QStringLiteral("3"))->isEmpty());
    QVERIFY(binEntriesOfRecords(m_db, {QStringLiteral("3")}).isEmpty());
    QCOMPARE(restoreFromBin(m_db, {1, 2}).error(), QString());
    qsizetype erased = -1;
    QCOMPARE(emptyBin(m_db, &erased).error(), QString());
    QCOMPARE(erased, 0);
    QVERIFY(!historyTableExists(m_db)); // reading made nothing
    QCOMPARE(moveToBin(m_db, {QStringLiteral("3")}, when).error(), QString());
    QVERIFY(historyTableExists(m_db));
    QCOMPARE(missingColumns(m_db), QStringList());
}

void RecordHistoryTest::refusedMovesLeaveBothTables_data() {
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("operation");
    for (const char* refusal : {"full disk", "locked"}) {
        for (const char* operation : {"move to bin", "restore", "save"}) {
            QTest::addRow("%s, %s", refusal, operation) << refusal << operation;
        }
    }
}

void RecordHistoryTest::refusedMovesLeaveBothTables() {
    QFETCH(QString, refusal);
    QFETCH(QString, operation);
    const QString folder = m_dir->filePath(QStringLiteral("small"));
    QDir().mkpath(folder);
    test::SmallDisk disk(folder, 3 << 20);
    if (refusal == QLatin1String("full disk")) {
        QUILLBOX_REQUIRE_MOUNTED(disk);
    }
    const QString file = folder + QStringLiteral("/refused.ptk");
    QCOMPARE(sample::writeDatabase(file, sample::generateRecords(3000, 4)), QString());
    Database db;
    QVERIFY(openDatabase(db, file).ok);
    QList<qint64> entries;
    QCOMPARE(moveToBin(db, numbersOf(db, QStringLiteral("record <= 10")), when, &entries).error(), QString());
    const QByteArray list = rowsOf(db, QStringLiteral("quillbox"));
    const QByteArray history = rowsOf(db, historyTable);
    Database other;
    if (refusal == QLatin1String("full disk")) {
        disk.fill();
    } else {
        db.setBusyTimeout(50);
        QVERIFY(other.open(file));
        QVERIFY(other.execute(QStringLiteral("BEGIN IMMEDIATE")));
    }
    Result done;
    if (operation == QLatin1String("move to bin")) {
        done = moveToBin(db, numbersOf(db, QStringLiteral("record > 10")), when);
    } else if (operation == QLatin1String("restore")) {
        done = restoreFromBin(db, entries);
    } else {
        SiteRecord record = *storedRecord(db, QStringLiteral("20"));
        record[Col::Notes] = QString(300000, QLatin1Char('n'));
        done = saveWithHistory(db, quotedFields(record), QStringLiteral("20"), when, 10);
    }
    QVERIFY(!done);
    if (refusal == QLatin1String("locked")) {
        QCOMPARE(done.error(), QStringLiteral("the database is locked by another program"));
        QVERIFY(other.execute(QStringLiteral("ROLLBACK")));
    }
    disk.release();
    QVERIFY(!db.inTransaction());
    QCOMPARE(rowsOf(db, QStringLiteral("quillbox")), list);
    QCOMPARE(rowsOf(db, historyTable), history);
}

QTEST_GUILESS_MAIN(RecordHistoryTest)
#include "tst_recordhistory.moc"
