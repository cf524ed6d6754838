#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;
using quillbox::test::insertRecord;
using quillbox::test::makeRecord;

namespace {
// The comparison the panel's box lists under this caption.
Comparison byCaption(const QString& caption) {
    const auto comparison = comparisonAt(static_cast<int>(searchTypeEntries().indexOf(caption)));
    [&] { QVERIFY2(comparison, qPrintable(caption)); }();
    return comparison.value_or(Comparison::Contains);
}
} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quoting_data();
    void quoting();
    void createAndInsertAndUpdateStatements();
    void storedValuesReadBackUnchanged();
    void recordNumbersAreNeverReused();
    void openKeepsExistingFileAndTable();
    void openFailsOnFolder();
    void distinctValues();
    void scalarQueryOfFailingQueryIsEmpty();
    void searchStatements_data();
    void searchStatements();
    void searchRows_data();
    void searchRows();
    void backupIsAConsistentCopy();
    void backupNamePerWeekday();

private:
    QTemporaryDir m_dir;
};

void StoreTest::quoting_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("one quote") << "O'Brien"
                               << "O''Brien";
    QTest::newRow("two quotes") << "a''b"
                                << "a''''b";
    QTest::newRow("three quotes") << "'''"
                                  << "''''''";
    QTest::newRow("wildcards and doubles untouched") << "50% \"x\" _\\"
                                                     << "50% \"x\" _\\";
}

void StoreTest::quoting() {
    QFETCH(QString, text);
    QFETCH(QString, quoted);
    QCOMPARE(sqlQuote(text), quoted);
    QCOMPARE(sqlUnquote(sqlQuote(text)), text); // exactly, two quotes in a row included
}

void StoreTest::createAndInsertAndUpdateStatements() {
    QCOMPARE(createTableStatement(),
             QStringLiteral("CREATE TABLE IF NOT EXISTS quillbox(lsitename TEXT, sitename TEXT, lusername TEXT, "
                            "username TEXT, lpassword TEXT, password TEXT, lhomepage TEXT, homepage TEXT, lmisc1 TEXT, "
                            "misc1 TEXT, lmisc2 TEXT, misc2 TEXT, lmisc3 TEXT, misc3 TEXT, lmisc4 TEXT, misc4 TEXT, "
                            "lmisc5 TEXT, misc5 TEXT, lmisc6 TEXT, misc6 TEXT, lmisc7 TEXT, misc7 TEXT, lmisc8 TEXT, "
                            "misc8 TEXT, lmisc9 TEXT, misc9 TEXT, category TEXT, owner TEXT, notes TEXT, record "
                            "INTEGER PRIMARY KEY AUTOINCREMENT)"));
    SiteRecord r;
    for (int k = 0; k < Col::TextColumns; ++k) {
        r[k] = QString::number(k);
    }
    QString values;
    for (int k = 0; k < Col::TextColumns; ++k) {
        values += (k ? "','" : "") + QString::number(k);
    }
    QCOMPARE(buildInsertStatement(r),
             "INSERT INTO quillbox(lsitename, sitename, lusername, username, lpassword, password, lhomepage, homepage, "
             "lmisc1, misc1, lmisc2, misc2, lmisc3, misc3, lmisc4, misc4, lmisc5, misc5, lmisc6, misc6, lmisc7, misc7, "
             "lmisc8, misc8, lmisc9, misc9, category, owner, notes)VALUES('" +
                 values + "')");
    const QString update = buildUpdateStatement(r, "17");
    QVERIFY(update.startsWith("UPDATE quillbox SET  lsitename='0',sitename='1',lusername='2',username='3',"));
    QVERIFY(update.contains("',lmisc9='24',misc9='25',category='26',owner='27',notes='28' Where record='17'"));
    QVERIFY(update.endsWith("notes='28' Where record='17'"));
}

void StoreTest::storedValuesReadBackUnchanged() {
    Database db;
    QVERIFY(openDatabase(db, m_dir.filePath("roundtrip.db")).ok);
    const SiteRecord original =
        makeRecord("O'Brien's", "50%_x", "\"quoted\"", "http://a.b/?q=1&r=2", "Cat", "Ann", "line1\r\nline2");
    insertRecord(db, original);
    Query q(db, "SELECT * FROM quillbox");
    QVERIFY(q.next());
    SiteRecord back;
    readFullRow(q, back);
    for (int k = 0; k < Col::TextColumns; ++k) {
        QCOMPARE(back[k], original[k]);
    }
    QCOMPARE(back[Col::Record], QStringLiteral("1"));
}

void StoreTest::recordNumbersAreNeverReused() {
    Database db;
    QVERIFY(openDatabase(db, m_dir.filePath("numbers.db")).ok);
    insertRecord(db, makeRecord("a", "", "", "", "c", "o"));
    insertRecord(db, makeRecord("b", "", "", "", "c", "o"));
    QCOMPARE(lastInsertedRecord(db), QStringLiteral("2"));
    QVERIFY(db.execute(deleteRecordsStatement({"2"})));
    QCOMPARE(changedRowCount(db), 1);
    QVERIFY(db.execute(deleteRecordsStatement({"2"}))); // gone already: the statement succeeds, changing nothing
    QCOMPARE(changedRowCount(db), 0);
    insertRecord(db, makeRecord("c", "", "", "", "c", "o"));
    QCOMPARE(lastInsertedRecord(db), QStringLiteral("3"));
}

void StoreTest::openKeepsExistingFileAndTable() {
    const QString file = m_dir.filePath("keep.db");
    {
        Database db;
        QVERIFY(openDatabase(db, file).ok);
        insertRecord(db, makeRecord("kept", "", "", "", "c", "o"));
    }
    Database db;
    QVERIFY(openDatabase(db, file).ok);
    QCOMPARE(scalarQuery(db, "SELECT sitename FROM quillbox"), QStringLiteral("kept"));
}

void StoreTest::openFailsOnFolder() {
    Database db;
    const OpenResult result = openDatabase(db, m_dir.path());
    QVERIFY(!result.ok);
    QCOMPARE(result.title, QStringLiteral("Database open error"));
    QCOMPARE(result.text,
             QStringLiteral("There was a serious problem attempting to open the system database, try another one"));
    QVERIFY(!db.isOpen());
}

void StoreTest::distinctValues() {
    Database db;
    QVERIFY(openDatabase(db, m_dir.filePath("distinct.db")).ok);
    insertRecord(db, makeRecord("Bank", "", "", "", "", "o"));
    insertRecord(db, makeRecord("bank", "", "", "", "", "o"));
    insertRecord(db, makeRecord("Bank", "", "", "", "", "o"));
    insertRecord(db, makeRecord("O'Brien", "", "", "", "", "o"));
    QVERIFY(db.execute("INSERT INTO quillbox(sitename) VALUES('O''''Brien')")); // stored with two quotes
    // Values come back as they are stored, two quotes in a row as two.
    QCOMPARE(quillbox::distinctValues(db, "SELECT DISTINCT sitename  FROM quillbox ORDER BY sitename"),
             (QStringList{"Bank", "O''Brien", "O'Brien", "bank"}));
    QCOMPARE(quillbox::distinctValues(db, "SELECT DISTINCT category  FROM quillbox ORDER BY category"), QStringList());
    QCOMPARE(quillbox::distinctValues(db, "SELECT nonsense"), QStringList());
}

void StoreTest::scalarQueryOfFailingQueryIsEmpty() {
    Database closed;
    QCOMPARE(scalarQuery(closed, "SELECT 1"), QString());
    Database db;
    QVERIFY(openDatabase(db, m_dir.filePath("scalar.db")).ok);
    QCOMPARE(scalarQuery(db, "SELECT COUNT(record) AS totalrecs FROM quillbox"), QStringLiteral("0"));
    QCOMPARE(scalarQuery(db, "SELECT * FROM nowhere"), QString());
    QVERIFY(!db.errorText().isEmpty());
}

void StoreTest::searchStatements_data() {
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("comparison");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("statement");
    const QString all = allCategories;
    QTest::newRow("site name sounds like") << "Home" << all << 1 << "Sounds like"
                                           << "bank"
                                           << "SELECT * FROM quillbox WHERE sitename LIKE '%bank%' AND owner='Home' "
                                              "ORDER BY sitename";
    QTest::newRow("with category") << "Home"
                                   << "Mail" << 1 << "Sounds like"
                                   << "bank"
                                   << "SELECT * FROM quillbox WHERE sitename LIKE '%bank%' AND owner='Home' And "
                                      "category='Mail' ORDER BY sitename";
    QTest::newRow("quotes everywhere") << "O'Brien"
                                       << "Bob's" << 16 << "Equal to"
                                       << "O'Neil"
                                       << "SELECT * FROM quillbox WHERE notes = 'O''Neil' AND owner='O''Brien' And "
                                          "category='Bob''s' ORDER BY sitename";
    QTest::newRow("starts with") << "H" << all << 4 << "Starts with"
                                 << "com"
                                 << "SELECT * FROM quillbox WHERE homepage LIKE 'com%' AND owner='H' ORDER BY sitename";
    QTest::newRow("ends with") << "H" << all << 4 << "Ends with"
                               << "com"
                               << "SELECT * FROM quillbox WHERE homepage LIKE '%com' AND owner='H' ORDER BY sitename";
    QTest::newRow("misc 9") << "H" << all << 13 << "Does not equal"
                            << "x"
                            << "SELECT * FROM quillbox WHERE misc9 <> 'x' AND owner='H' ORDER BY sitename";
    QTest::newRow("category field") << "H" << all << 14 << "Greater than"
                                    << "x"
                                    << "SELECT * FROM quillbox WHERE category > 'x' AND owner='H' ORDER BY sitename";
    QTest::newRow("owner field") << "H" << all << 15 << "Less than or equal to"
                                 << "x"
                                 << "SELECT * FROM quillbox WHERE owner <= 'x' AND owner='H' ORDER BY sitename";
    QString chain;
    for (const char* c : {"lsitename", "sitename", "username", "password", "homepage", "misc1", "misc2", "misc3",
                          "misc4", "misc5", "misc6", "misc7", "misc8", "misc9", "category", "owner", "notes"}) {
        chain += QString(chain.isEmpty() ? "" : " OR ") + c + " >= 'k'";
    }
    QTest::newRow("all fields") << "H"
                                << "C" << 0 << "Greater than or equal to"
                                << "k"
                                << "SELECT * FROM quillbox WHERE (" + chain +
                                       ") AND owner='H' And category='C' ORDER BY sitename";
    QTest::newRow("field out of range") << "H" << all << 17 << "Less than"
                                        << "k"
                                        << "SELECT * FROM quillbox WHERE  < 'k' AND owner='H' ORDER BY sitename";
}

void StoreTest::searchStatements() {
    QFETCH(QString, owner);
    QFETCH(QString, category);
    QFETCH(int, field);
    QFETCH(QString, comparison);
    QFETCH(QString, text);
    QFETCH(QString, statement);
    QCOMPARE(searchStatement({owner, category, field, byCaption(comparison), text}), statement);
}

void StoreTest::searchRows_data() {
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("comparison");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("sites");
    const QString all = allCategories;
    QTest::newRow("sounds like is contains, any case") << all << 1 << "Sounds like"
                                                       << "AN" << QStringList{"Bank", "Candy"};
    QTest::newRow("empty sounds like keeps all") << all << 1 << "Sounds like"
                                                 << "" << QStringList{"Bank", "Candy", "Mail", "computer"};
    QTest::newRow("equal") << all << 1 << "Equal to"
                           << "Mail" << QStringList{"Mail"};
    QTest::newRow("equal empty finds empty") << all << 2 << "Equal to"
                                             << "" << QStringList{"computer"};
    QTest::newRow("not equal") << all << 1 << "Does not equal"
                               << "Mail" << QStringList{"Bank", "Candy", "computer"};
    QTest::newRow("greater") << all << 1 << "Greater than"
                             << "Candy" << QStringList{"Mail", "computer"};
    QTest::newRow("greater or equal") << all << 1 << "Greater than or equal to"
                                      << "Candy" << QStringList{"Candy", "Mail", "computer"};
    QTest::newRow("less") << all << 1 << "Less than"
                          << "Candy" << QStringList{"Bank"};
    QTest::newRow("less or equal") << all << 1 << "Less than or equal to"
                                   << "Candy" << QStringList{"Bank", "Candy"};
    QTest::newRow("starts with com") << all << 1 << "Starts with"
                                     << "com" << QStringList{"computer"};
    QTest::newRow("home page ends with com") << all << 4 << "Ends with"
                                             << "com" << QStringList{"Bank"};
    QTest::newRow("home page starts with com") << all << 4 << "Starts with"
                                               << "com" << QStringList{"Mail"};
    QTest::newRow("all fields finds site-name label") << all << 0 << "Sounds like"
                                                      << "name" << QStringList{"Bank", "Candy", "Mail", "computer"};
    QTest::newRow("all fields finds notes") << all << 0 << "Sounds like"
                                            << "vault" << QStringList{"Candy"};
    QTest::newRow("other labels are not searched") << all << 0 << "Sounds like"
                                                   << "User" << QStringList{};
    QTest::newRow("category narrows") << "Work" << 0 << "Sounds like"
                                      << "" << QStringList{"Mail", "computer"};
    QTest::newRow("percent is a wildcard") << all << 1 << "Equal to"
                                           << "M%" << QStringList{};
    QTest::newRow("like wildcard") << all << 1 << "Sounds like"
                                   << "a_k" << QStringList{"Bank"};
    QTest::newRow("quote in text") << all << 2 << "Equal to"
                                   << "o'neil" << QStringList{"Candy"};
}

void StoreTest::searchRows() {
    QFETCH(QString, category);
    QFETCH(int, field);
    QFETCH(QString, comparison);
    QFETCH(QString, text);
    QFETCH(QStringList, sites);
    const QString file = m_dir.filePath("search.db");
    Database db;
    const bool fresh = !QFile::exists(file);
    QVERIFY(openDatabase(db, file).ok);
    if (fresh) {
        insertRecord(db, makeRecord("Bank", "ann", "pw", "www.bank.com", "Money", "Home"));
        insertRecord(db, makeRecord("Candy", "o'neil", "pw", "", "Fun", "Home", "In the vault"));
        insertRecord(db, makeRecord("Mail", "bob", "pw", "com.mail.example", "Work", "Home"));
        insertRecord(db, makeRecord("computer", "", "pw", "", "Work", "Home"));
        insertRecord(db, makeRecord("Bank", "x", "pw", "", "Money", "Office"));
    }
    Query q(db, searchStatement({"Home", category, field, byCaption(comparison), text}));
    QVERIFY(q.isValid());
    QStringList found;
    SiteRecord r;
    while (q.next()) {
        readListRow(q, r);
        found << r[Col::SiteName];
    }
    QVERIFY(!q.failed());
    QCOMPARE(found, sites);
}

void StoreTest::backupIsAConsistentCopy() {
    Database db;
    QVERIFY(openDatabase(db, m_dir.filePath("source.db")).ok);
    insertRecord(db, makeRecord("one", "", "", "", "c", "o"));
    const QString target = m_dir.filePath("source.db.Tue");
    QVERIFY(backupDatabase(db, target));
    insertRecord(db, makeRecord("two", "", "", "", "c", "o"));
    QVERIFY(backupDatabase(db, target)); // overwrites the same weekday
    Database copy;
    QVERIFY(copy.open(target));
    QCOMPARE(scalarQuery(copy, "SELECT COUNT(*) FROM quillbox"), QStringLiteral("2"));
    QCOMPARE(QFileInfo(target).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    Database closed;
    QVERIFY(!backupDatabase(closed, target));
    QCOMPARE(scalarQuery(copy, "SELECT COUNT(*) FROM quillbox"), QStringLiteral("2"));
}

void StoreTest::backupNamePerWeekday() {
    QCOMPARE(backupFileName("db.ptk", "Monday"), QStringLiteral("db.ptk.Mon"));
    QCOMPARE(backupFileName("db.ptk", "Sunday"), QStringLiteral("db.ptk.Sun"));
}

QTEST_MAIN(StoreTest)
#include "tst_store.moc"
