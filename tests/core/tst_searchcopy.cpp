// The search copy against the statements it stands in for: thousands of random searches over
// awkward values (NULL, empty, quotes, wildcards, non-ASCII case, bytes that are not UTF-8,
// equal site names), with rows inserted, changed and deleted between rounds by the program's
// connection and by another one. One differing row, or one row out of order, fails.
#include "store/Database.h"
#include "store/SearchCopy.h"
#include "store/SiteStore.h"
#include "support/SampleRecords.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

using namespace quillbox;

namespace {

// Pieces that values and search texts are made of; \xff and a cut-off sequence are no UTF-8.
const QList<QByteArray> pieces{
    "a",        "A", "e",  "E",  "z",  "Zq",           "%", "_", "'", "''", " ", "\xc3\xa4", "\xc3\x84",
    "\xc3\x9f", "1", "10", "ab", "AB", "\xe2\x82\xac", "-"};
const QList<QByteArray> oddBytes{"\xff", "\xc3", "a\xe2\x82", "\xed\xa0\x80"};
const QList<QByteArray> owners{"Jo", "jo", "Ann", "", "O'Neil"};
const QList<QByteArray> categories{"Mail", "mail", "Bank", "", "Work%"};

QByteArray randomText(QRandomGenerator& rng, int maxPieces) {
    QByteArray out;
    const int n = rng.bounded(maxPieces + 1);
    for (int i = 0; i < n; ++i) {
        out += pieces[rng.bounded(pieces.size())];
    }
    return out;
}

// A value for a cell: mostly text, sometimes NULL (null QByteArray), sometimes not UTF-8.
QByteArray randomValue(QRandomGenerator& rng) {
    const int kind = rng.bounded(20);
    if (kind == 0) {
        return QByteArray();
    }
    if (kind == 1) {
        return randomText(rng, 2) + oddBytes[rng.bounded(oddBytes.size())] + randomText(rng, 2);
    }
    QByteArray value = randomText(rng, 4);
    return value.isNull() ? QByteArray("") : value;
}

const char* const insertSql = "INSERT INTO quillbox(lsitename, sitename, username, password, homepage, misc1, misc2, "
                              "misc3, misc4, misc5, misc6, misc7, misc8, misc9, category, owner, notes) "
                              "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
const char* const updateSql = "UPDATE quillbox SET sitename=?, username=?, owner=?, category=?, notes=? WHERE record=?";

void bindValue(sqlite3_stmt* stmt, int index, const QByteArray& value) {
    if (value.isNull()) {
        sqlite3_bind_null(stmt, index);
    } else {
        sqlite3_bind_text(stmt, index, value.constData(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
}

void insertRow(sqlite3* db, QRandomGenerator& rng) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, insertSql, -1, &stmt, nullptr);
    for (int i = 1; i <= 14; ++i) {
        // Site names repeat often, so the order of equal names shows, and some share their
        // first twelve or twenty-two bytes, so the order of the bytes around the sixteenth and
        // the twenty-fourth shows too.
        const int name = i == 2 ? rng.bounded(6) : 5;
        bindValue(stmt, i,
                  name == 0   ? QByteArray("same")
                  : name == 1 ? QByteArray("Twelve bytes") + randomValue(rng)
                  : name == 2 ? QByteArray("Twenty-two bytes here.") + randomValue(rng)
                              : randomValue(rng));
    }
    bindValue(stmt, 15, rng.bounded(15) == 0 ? QByteArray() : categories[rng.bounded(categories.size())]);
    bindValue(stmt, 16, rng.bounded(25) == 0 ? QByteArray() : owners[rng.bounded(owners.size())]);
    bindValue(stmt, 17, randomValue(rng));
    sqlite3_step(stmt);
    sqlite3_finalize(stmt);
}

void changeRows(sqlite3* db, QRandomGenerator& rng, int count) {
    for (int i = 0; i < count; ++i) {
        const int what = rng.bounded(3);
        const QByteArray record = QByteArray::number(rng.bounded(1, 400));
        if (what == 0) {
            insertRow(db, rng);
        } else if (what == 1) {
            sqlite3_exec(db, QByteArray("DELETE FROM quillbox WHERE record=" + record).constData(), nullptr, nullptr,
                         nullptr);
        } else {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, updateSql, -1, &stmt, nullptr);
            bindValue(stmt, 1, randomValue(rng));
            bindValue(stmt, 2, randomValue(rng));
            bindValue(stmt, 3, owners[rng.bounded(owners.size())]);
            bindValue(stmt, 4, categories[rng.bounded(categories.size())]);
            bindValue(stmt, 5, randomValue(rng));
            sqlite3_bind_text(stmt, 6, record.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(stmt);
            sqlite3_finalize(stmt);
        }
    }
}

QStringList statementRecords(const Database& db, const ListFilter& filter) {
    QStringList records;
    Query query(db, listStatement(filter));
    while (query.next()) {
        records << query.field(Col::Record);
    }
    return records;
}

QStringList copyRecords(const SearchCopy& copy, const std::vector<int>& slots) {
    QStringList records;
    for (int slot : slots) {
        records << SearchCopy::cellText(*copy.data(), slot, SearchCopy::Record);
    }
    return records;
}

QString describe(const ListFilter& f) {
    return QStringLiteral("owner '%1' category %2'%3' field %4 '%5' text '%6'")
        .arg(f.owner, f.byCategory ? QString() : QStringLiteral("(any) "), f.category)
        .arg(f.field)
        .arg(searchTypeEntries().at(static_cast<int>(f.comparison)), f.text);
}

} // namespace

class SearchCopyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void searchesGiveTheStatementsRows_data();
    void searchesGiveTheStatementsRows();
    void columnsOfNullsAreSearched();
    void tablesItCannotModelAreLeftToTheStatement_data();
    void tablesItCannotModelAreLeftToTheStatement();
};

void SearchCopyTest::searchesGiveTheStatementsRows_data() {
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("changes"); // between rounds
    QTest::newRow("plain") << false << 300 << 40 << 20;
    QTest::newRow("encrypted") << true << 300 << 40 << 20;
    // Enough rows that a search walks its columns a stretch of rows at a time.
    QTest::newRow("many rows") << false << 20000 << 3 << 20;
    // More rows changed than the copy refreshes one by one (as an import makes).
    QTest::newRow("more changes than a refresh takes") << false << 300 << 6 << 15000;
}

void SearchCopyTest::searchesGiveTheStatementsRows() {
    QFETCH(bool, encrypted);
    QFETCH(int, rows);
    QFETCH(int, rounds);
    QFETCH(int, changes);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("copy.db"));
    // The copy's own connections (two threads) read an encrypted file through the same key.
    const auto key = encrypted ? sample::cheapKey() : nullptr;
    Database db;
    QVERIFY(openDatabase(db, file, key).ok);
    Database other;
    QVERIFY(other.open(file, key));
    QRandomGenerator rng(20261208);
    db.execute(QStringLiteral("BEGIN"));
    for (int i = 0; i < rows; ++i) {
        insertRow(db.handle(), rng);
    }
    db.execute(QStringLiteral("COMMIT"));
    SearchCopy copy;
    copy.loadInBackground(file, key);
    copy.attach(db.handle(), key);

    int searches = 0;
    int answered = 0;
    for (int round = 0; round < rounds; ++round) {
        // Every other round searches over all fields in two threads, as long lists are.
        SearchCopy::setParallelRows(round % 2 == 0 ? 0 : 1000000);
        for (int i = 0; i < 150; ++i) {
            ListFilter f;
            f.owner =
                QString::fromUtf8(rng.bounded(10) == 0 ? QByteArray("nobody") : owners[rng.bounded(owners.size())]);
            f.byCategory = rng.bounded(2) == 0;
            f.category = QString::fromUtf8(categories[rng.bounded(categories.size())]);
            f.byText = rng.bounded(8) != 0;
            f.field = rng.bounded(17);
            f.comparison = comparisonTable[rng.bounded(int(comparisonTable.size()))].comparison;
            f.text = QString::fromUtf8(randomText(rng, 3));
            if (rng.bounded(8) == 0) {
                // One run twice around a wildcard: where each may stand shows.
                const QByteArray run = pieces[rng.bounded(pieces.size())];
                f.text = QString::fromUtf8(run + (rng.bounded(2) ? "%" : "_") + run);
            }
            if (rng.bounded(50) == 0) {
                f.text += QChar(u'\0'); // the statement fails: the copy must not answer
            }
            const std::optional<std::vector<int>> slots = copy.search(f);
            ++searches;
            if (!slots) {
                QVERIFY2(f.text.contains(QChar(u'\0')), qPrintable(describe(f)));
                continue;
            }
            ++answered;
            QCOMPARE(copyRecords(copy, *slots), statementRecords(db, f));
        }
        QCOMPARE(copy.owners().value(), distinctValues(db, ownerListStatement()));
        for (const QByteArray& owner : owners) {
            const QString name = QString::fromUtf8(owner);
            QCOMPARE(copy.categoriesOf(name).value(), distinctValues(db, categoriesOfOwnerStatement(name)));
        }
        // The data form's value lists: every column but the site-name label and the notes.
        std::vector<int> held;
        for (int c = SearchCopy::SiteName; c <= SearchCopy::Owner; ++c) {
            held.push_back(c);
        }
        const std::vector<QStringList> lists = copy.distinctValues(held).value();
        for (size_t i = 0; i < held.size(); ++i) {
            const QString column = QString::fromLatin1(searchFieldTable[static_cast<size_t>(held[i])].column);
            QCOMPARE(lists[i],
                     distinctValues(db, QStringLiteral("SELECT DISTINCT %1 FROM quillbox ORDER BY %1").arg(column)));
        }
        // Changes between rounds: the program's own (some inside a transaction that is rolled
        // back), or another program's.
        const int who = round % 3;
        if (who == 0) {
            changeRows(db.handle(), rng, changes);
        } else if (who == 1) {
            db.execute(QStringLiteral("BEGIN"));
            changeRows(db.handle(), rng, changes);
            QVERIFY(copy.search(ListFilter::ownerRecords(QStringLiteral("Jo"))).has_value());
            db.execute(QStringLiteral("ROLLBACK"));
        } else {
            changeRows(other.handle(), rng, changes);
        }
    }
    QVERIFY(answered > searches * 9 / 10);
    qInfo("%d searches, %d answered by the copy, %d loads", searches, answered, copy.loads());
}

void SearchCopyTest::columnsOfNullsAreSearched() {
    // Rows that hold nothing but an owner: no column has a byte of text to keep.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("nulls.db"));
    Database db;
    QVERIFY(openDatabase(db, file).ok);
    for (int i = 0; i < 40; ++i) {
        QVERIFY(db.execute(QStringLiteral("INSERT INTO quillbox(owner) VALUES('Jo')")));
    }
    SearchCopy copy;
    copy.loadInBackground(file);
    copy.attach(db.handle());
    for (const ComparisonEntry& entry : comparisonTable) {
        ListFilter f = ListFilter::ownerRecords(QStringLiteral("Jo"));
        f.byText = true;
        f.comparison = entry.comparison;
        f.text = QStringLiteral("a%");
        QCOMPARE(copyRecords(copy, copy.search(f).value()), statementRecords(db, f));
    }
    QCOMPARE(copyRecords(copy, copy.search(ListFilter::ownerRecords(QStringLiteral("Jo"))).value()).size(), 40);
}

void SearchCopyTest::tablesItCannotModelAreLeftToTheStatement_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("a blob") << "UPDATE quillbox SET notes=X'00ff' WHERE record=1";
    QTest::newRow("another collation") << "ALTER TABLE quillbox RENAME TO old; CREATE TABLE quillbox(lsitename TEXT, "
                                          "sitename TEXT COLLATE NOCASE, lusername, username, lpassword, password, "
                                          "lhomepage, homepage, lmisc1, misc1, lmisc2, misc2, lmisc3, misc3, lmisc4, "
                                          "misc4, lmisc5, misc5, lmisc6, misc6, lmisc7, misc7, lmisc8, misc8, lmisc9, "
                                          "misc9, category, owner, notes, record INTEGER PRIMARY KEY); "
                                          "INSERT INTO quillbox SELECT * FROM old";
}

void SearchCopyTest::tablesItCannotModelAreLeftToTheStatement() {
    QFETCH(QString, change);
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath(QStringLiteral("db"))).ok);
    QRandomGenerator rng(7);
    for (int i = 0; i < 5; ++i) {
        insertRow(db.handle(), rng);
    }
    QVERIFY(db.execute(change));
    SearchCopy copy;
    copy.attach(db.handle());
    QVERIFY(!copy.search(ListFilter::ownerRecords(QStringLiteral("Jo"))).has_value());
    QVERIFY(!copy.owners().has_value());
}

QTEST_GUILESS_MAIN(SearchCopyTest)
#include "tst_searchcopy.moc"
