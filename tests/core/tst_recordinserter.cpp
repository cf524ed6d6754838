// The import's insert step: values arrive in the table exactly as typed, empty ones as empty
// text (never NULL), and a table that cannot take them gives the database's message; and the
// import job around it, which stores all of a file or none.
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/NastyTable.h"
#include "support/TestEnv.h"
#include "transfer/ImportJob.h"
#include "transfer/RecordInserter.h"
#include "transfer/TextFormat.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

using namespace quillbox;
using namespace quillbox::test;

class RecordInserterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valuesArriveAsTheTextStatementStoresThem();
    void failuresGiveTheDatabaseMessage();
    void boundValuesStoreWhatTheTextStatementStores();
    void importJobEnds_data();
    void importJobEnds();
    void batchesStoreWhatOneByOneStores_data();
    void batchesStoreWhatOneByOneStores();
};

void RecordInserterTest::importJobEnds_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("ending"); // "": stored; "no": confirm says no; a number: cancelled then
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("stored");
    QByteArray three;
    for (const char* site : {"A", "B", "C"}) {
        three += textLine(makeRecord(site, "u", "p", "h", "Cat", "Jo")).toUtf8() + "\r\n";
    }
    QTest::newRow("stored") << three << "" << int(ImportOutcome::Stored) << "" << 3;
    QTest::newRow("a refused line among them") << three + "no record\r\n"
                                               << "" << int(ImportOutcome::Stored) << "" << 3;
    QTest::newRow("not confirmed") << three << "no" << int(ImportOutcome::NotConfirmed) << "" << 0;
    QTest::newRow("cancelled half-way") << three << "2" << int(ImportOutcome::NothingStored) << importCancelledMessage
                                        << 0;
    QTest::newRow("no record") << QByteArray("no record\r\n") << "" << int(ImportOutcome::NoRecords) << noRecordMessage
                               << 0;
    QTest::newRow("not text") << QByteArray("A|\0|B\r\n", 7) << "" << int(ImportOutcome::Refused) << "*" << 0;
}

void RecordInserterTest::importJobEnds() {
    QFETCH(QByteArray, file);
    QFETCH(QString, ending);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(int, stored);
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath("db")).ok);
    QBuffer device(&file);
    QVERIFY(device.open(QIODevice::ReadOnly));
    ImportCallbacks callbacks;
    callbacks.confirm = [&](const ImportPreview&) { return ending != QLatin1String("no"); };
    QList<qint64> told;
    callbacks.stored = [&](qint64 row, const Utf8Record&) { told << row; };
    callbacks.cancelled = [&] { return told.size() == ending.toInt() && ending.toInt() > 0; };
    const ImportOutcome outcome = runImport(db, device, ImportFormat::Text, QString(), callbacks);
    QCOMPARE(int(outcome.status), status);
    QVERIFY2(error == QLatin1String("*") ? !outcome.error.isEmpty() : outcome.error == error,
             qPrintable(outcome.error));
    QCOMPARE(outcome.imported, stored);
    QCOMPARE(outcome.records.size(), stored);
    QCOMPARE(scalarQuery(db, QStringLiteral("SELECT count(*) FROM quillbox")), QString::number(stored));
    if (stored > 0) {
        QCOMPARE(told, outcome.records);
    }
}

void RecordInserterTest::valuesArriveAsTheTextStatementStoresThem() {
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath("db")).ok);
    RecordInserter inserter(db);
    QStringList numbers;
    QStringList differences;
    for (const SiteRecord& r : nastyTable()) {
        QString number;
        QVERIFY2(inserter.insert(r, number), qPrintable(inserter.errorText()));
        numbers << number;
        for (int k = 0; k < Col::TextColumns; ++k) {
            const QString stored = scalarQuery(
                db, QStringLiteral("SELECT %1 FROM quillbox WHERE record=%2").arg(columnNames()[k], number));
            if (stored != r[k]) {
                differences << columnNames()[k] + QLatin1Char(':') + stored;
            }
        }
    }
    QCOMPARE(numbers, (QStringList{"1", "2", "3", "4"}));
    QCOMPARE(differences, QStringList());
    QCOMPARE(scalarQuery(db, "SELECT COUNT(*) FROM quillbox WHERE notes IS NULL OR misc9 IS NULL"),
             QStringLiteral("0"));
}

void RecordInserterTest::failuresGiveTheDatabaseMessage() {
    QTemporaryDir dir;
    Database db;
    QVERIFY(db.open(dir.filePath("db"))); // no table
    RecordInserter inserter(db);
    QString number = QStringLiteral("x");
    QVERIFY(!inserter.insert(SiteRecord(), number));
    QCOMPARE(number, QString());
    QCOMPARE(inserter.errorText(), QStringLiteral("no such table: quillbox"));

    Database closed;
    RecordInserter none(closed);
    QVERIFY(!none.insert(SiteRecord(), number));
    QCOMPARE(none.errorText(), QStringLiteral("No database connection is open."));
}

namespace {
// Every cell of every row with its storage class and bytes, in rowid order.
QStringList dump(const Database& db) {
    QString columns;
    for (const QString& name : columnNames()) {
        columns += (columns.isEmpty() ? QString() : QStringLiteral("||'|'||")) +
                   QStringLiteral("typeof(%1)||':'||hex(%1)").arg(name);
    }
    QStringList rows;
    Query query(db, QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM quillbox ORDER BY rowid"));
    while (query.next()) {
        rows << query.text(0);
    }
    return rows;
}
} // namespace

void RecordInserterTest::boundValuesStoreWhatTheTextStatementStores() {
    // Awkward pieces: quotes, doubled quotes, a lone surrogate, a pair, line breaks, SQL.
    const QStringList pieces{QStringLiteral("'"),    QStringLiteral("''"),
                             QStringLiteral("a"),    QStringLiteral("\u00e9"),
                             QString(QChar(0xD800)), QStringLiteral("\U0001F600"),
                             QStringLiteral("\r\n"), QStringLiteral("\t"),
                             QStringLiteral("%_"),   QStringLiteral("');DROP TABLE quillbox;--"),
                             QStringLiteral(" "),    QString()};
    QRandomGenerator rng(42);
    QList<SiteRecord> records = nastyTable();
    for (int i = 0; i < 3000; ++i) {
        SiteRecord r;
        for (int k = 0; k < Col::TextColumns; ++k) {
            for (int n = rng.bounded(4); n > 0; --n) {
                r[k] += pieces[rng.bounded(pieces.size())];
            }
        }
        records << r;
    }
    QTemporaryDir dir;
    Database bound;
    Database literal;
    QVERIFY(openDatabase(bound, dir.filePath("bound")).ok);
    QVERIFY(openDatabase(literal, dir.filePath("literal")).ok);
    RecordInserter inserter(bound);
    QVERIFY(bound.execute(QStringLiteral("BEGIN")) && literal.execute(QStringLiteral("BEGIN")));
    for (const SiteRecord& r : records) {
        QString number;
        QVERIFY2(inserter.insert(r, number), qPrintable(inserter.errorText()));
        QVERIFY(literal.execute(buildInsertStatement(quotedFields(r))));
        QCOMPARE(number, lastInsertedRecord(literal));
    }
    QVERIFY(bound.execute(QStringLiteral("COMMIT")) && literal.execute(QStringLiteral("COMMIT")));
    QCOMPARE(dump(bound), dump(literal));

    // U+0000 cuts the text statement short; the bound one refuses it the same way.
    SiteRecord withNul = records.first();
    withNul[Col::Notes] = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
    QString number;
    QVERIFY(!inserter.insert(withNul, number));
    QVERIFY(!literal.execute(buildInsertStatement(quotedFields(withNul))));
    QCOMPARE(inserter.errorText(), literal.errorText());
    QCOMPARE(dump(bound), dump(literal));
}

void RecordInserterTest::batchesStoreWhatOneByOneStores_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<QList<int>>("tooLong"); // records the database refuses: a value past its length limit
    const auto batch = [](int first) {
        QList<int> all;
        for (int i = first; i < first + static_cast<int>(RecordInserter::batchRows); ++i) {
            all << i;
        }
        return all;
    };
    QTest::newRow("fewer than a batch") << 5 << QList<int>();
    QTest::newRow("batches and a tail") << 100 << QList<int>();
    QTest::newRow("one refused in a batch") << 100 << QList<int>{40};
    QTest::newRow("the first and one in the tail") << 100 << QList<int>{0, 97};
    QTest::newRow("a whole batch refused") << 70 << batch(32);
}

void RecordInserterTest::batchesStoreWhatOneByOneStores() {
    QFETCH(int, records);
    QFETCH(QList<int>, tooLong);
    QTemporaryDir dir;
    Database imported;
    Database oneByOne;
    QVERIFY(openDatabase(imported, dir.filePath("imported")).ok);
    QVERIFY(openDatabase(oneByOne, dir.filePath("one")).ok);
    QByteArray file;
    QList<SiteRecord> list;
    for (int i = 0; i < records; ++i) {
        SiteRecord r = makeRecord(QStringLiteral("Site %1").arg(i), "u\u00e9", "p'q", "h", "Cat", "Jo");
        r[Col::Notes] = tooLong.contains(i) ? QString(600, QLatin1Char('x')) : QStringLiteral("n%1").arg(i);
        list << r;
        file += textLine(r).toUtf8() + "\r\n";
    }
    for (Database* db : {&imported, &oneByOne}) {
        sqlite3_limit(db->handle(), SQLITE_LIMIT_LENGTH, 500);
    }
    QStringList expected;
    RecordInserter inserter(oneByOne);
    QVERIFY(oneByOne.execute(QStringLiteral("BEGIN")));
    for (int i = 0; i < records; ++i) {
        QString number;
        QCOMPARE(inserter.insert(list[i], number), !tooLong.contains(i));
        if (!number.isEmpty()) {
            expected << number;
        }
    }
    QVERIFY(oneByOne.execute(QStringLiteral("COMMIT")));

    QBuffer device(&file);
    QVERIFY(device.open(QIODevice::ReadOnly));
    ImportCallbacks callbacks;
    QStringList told;
    QStringList reasons;
    callbacks.stored = [&](qint64 row, const Utf8Record&) { told << QString::number(row); };
    callbacks.notStored = [&](const QString& reason) { reasons << reason; };
    const ImportOutcome outcome = runImport(imported, device, ImportFormat::Text, QString(), callbacks);
    QCOMPARE(int(outcome.status), int(ImportOutcome::Stored));
    QCOMPARE(outcome.failed, tooLong.size());
    QCOMPARE(reasons, QStringList(tooLong.size(), QStringLiteral("string or blob too big")));
    QCOMPARE(told, expected);
    QStringList numbers;
    for (qint64 row : outcome.records) {
        numbers << QString::number(row);
    }
    QCOMPARE(numbers, expected);
    QCOMPARE(dump(imported), dump(oneByOne));
}

QTEST_GUILESS_MAIN(RecordInserterTest)
#include "tst_recordinserter.moc"
