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
    // XML names may hold "-": unquoted, "misc1--" would start a comment and the value on the next
    // line would be read as SQL.
    QTest::newRow("name that would start a comment")
        << QStringList{"sitename", "misc1--"} << QStringList{"x", "\n) VALUES('a','b'); DROP TABLE quillbox; --"}
        << "table quillbox has no column named misc1--"
        << "";
    QTest::newRow("name with a dot") << QStringList{"site.name"} << QStringList{"x"}
                                     << "table quillbox has no column named site.name"
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
    QCOMPARE(scalarQuery(db, "SELECT COUNT(*) FROM quillbox"), ok ? QStringLiteral("2") : QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(RecordInserterTest)
#include "tst_recordinserter.moc"
