// The import's insert step: values arrive in the table exactly as typed, empty ones as empty
// text (never NULL), and a table that cannot take them gives the database's message.
#include "core/NastyTable.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "transfer/RecordInserter.h"
#include "transfer/XmlDump.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

class RecordInserterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valuesArriveAsTheTextStatementStoresThem();
    void valueWithNulIsKeptWhole();
    void failuresGiveTheDatabaseMessage();
    void xmlItemsUseTheirOwnColumns_data();
    void xmlItemsUseTheirOwnColumns();
};

void RecordInserterTest::valuesArriveAsTheTextStatementStoresThem() {
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath("db")).ok);
    RecordInserter inserter(db);
    QStringList numbers;
    for (const SiteRecord& r : nastyTable()) {
        QString number;
        QVERIFY2(inserter.insert(r, number), qPrintable(inserter.errorText()));
        numbers << number;
        // The program's own statement, quoted, stores the same row.
        SiteRecord quoted;
        for (int k = 0; k < Col::TextColumns; ++k) {
            quoted[k] = sqlQuote(r[k]);
        }
        QVERIFY(db.execute(buildInsertStatement(quoted)));
    }
    QCOMPARE(numbers, (QStringList{"1", "3", "5", "7"}));
    QCOMPARE(scalarQuery(db, "SELECT COUNT(*) FROM quillbox WHERE notes IS NULL OR misc9 IS NULL"),
             QStringLiteral("0"));
    QStringList differences;
    for (const QString& column : columnNames().mid(0, Col::TextColumns)) {
        differences << scalarQuery(db, QStringLiteral("SELECT COUNT(*) FROM quillbox a JOIN quillbox b ON b.record = "
                                                      "a.record + 1 WHERE a.record % 2 = 1 AND a.%1 IS NOT b.%1")
                                           .arg(column));
    }
    QCOMPARE(differences, QStringList(Col::TextColumns, QStringLiteral("0")));
}

void RecordInserterTest::valueWithNulIsKeptWhole() {
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath("db")).ok);
    RecordInserter inserter(db);
    SiteRecord r;
    r[Col::Notes] = QStringLiteral("before") + QChar(0) + QStringLiteral("after");
    QString number;
    QVERIFY(inserter.insert(r, number));
    QCOMPARE(scalarQuery(db, "SELECT length(CAST(notes AS BLOB)) FROM quillbox"), QStringLiteral("12"));
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

void RecordInserterTest::xmlItemsUseTheirOwnColumns_data() {
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("error");  // empty: inserted
    QTest::addColumn<QString>("stored"); // sitename|owner|notes of the new row
    QTest::newRow("names in any case and order")
        << QStringList{"notes", "SiteName", "owner"} << QStringList{"n, with comma", "O'Brien", "Ann"} << ""
        << "O'Brien|Ann|n, with comma";
    QTest::newRow("no such column") << QStringList{"sitename", "bogus"} << QStringList{"x", "y"}
                                    << "table quillbox has no column named bogus"
                                    << "";
    QTest::newRow("no columns at all") << QStringList() << QStringList() << "near \")\": syntax error"
                                       << "";
}

void RecordInserterTest::xmlItemsUseTheirOwnColumns() {
    QFETCH(QStringList, columns);
    QFETCH(QStringList, values);
    QFETCH(QString, error);
    QFETCH(QString, stored);
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath("db")).ok);
    RecordInserter inserter(db);
    QString number;
    // A standard record first, so the statement changes in between.
    QVERIFY(inserter.insert(SiteRecord(), number));
    const bool ok = inserter.insert(XmlItem{columns, values}, number);
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(inserter.errorText(), error);
    if (ok) {
        QCOMPARE(number, QStringLiteral("2"));
        QCOMPARE(scalarQuery(db, "SELECT sitename || '|' || owner || '|' || notes FROM quillbox WHERE record=2"),
                 stored);
        QCOMPARE(scalarQuery(db, "SELECT lsitename IS NULL FROM quillbox WHERE record=2"), QStringLiteral("1"));
    }
}

QTEST_GUILESS_MAIN(RecordInserterTest)
#include "tst_recordinserter.moc"
