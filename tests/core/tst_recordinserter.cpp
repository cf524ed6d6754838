// The import's insert step: values arrive in the table exactly as typed, empty ones as empty
// text (never NULL), and a table that cannot take them gives the database's message.
#include "core/NastyTable.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "transfer/RecordInserter.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

class RecordInserterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valuesArriveAsTheTextStatementStoresThem();
    void failuresGiveTheDatabaseMessage();
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

QTEST_GUILESS_MAIN(RecordInserterTest)
#include "tst_recordinserter.moc"
