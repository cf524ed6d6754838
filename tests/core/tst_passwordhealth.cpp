// The health report on a table of records, and the breach list looked up both ways: by binary
// search for a few passwords, in one pass for many.
#include "health/BreachList.h"
#include "health/PasswordHealth.h"
#include "store/RecordHistory.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/Files.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QtTest>

#include <map>

using namespace quillbox;
using namespace quillbox::test;

namespace {

const QDateTime now(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC);

QStringList numbers(const QList<HealthRecord>& records) {
    QStringList out;
    for (const HealthRecord& r : records) {
        out << r.record;
    }
    return out;
}

// A sorted breach list of `lines` made-up hashes, plus the given passwords with their counts.
QByteArray breachList(int lines, const std::map<QString, qint64>& known, const char* newline = "\r\n") {
    std::map<QByteArray, qint64> entries;
    for (int i = 0; i < lines; ++i) {
        entries[breachHash(QStringLiteral("filler-%1").arg(i))] = i + 1;
    }
    for (const auto& [password, count] : known) {
        entries[breachHash(password)] = count;
    }
    QByteArray out;
    for (const auto& [hash, count] : entries) {
        out += hash + ':' + QByteArray::number(count) + newline;
    }
    return out;
}

} // namespace

class PasswordHealthTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reportGroupsTheRecords();
    void staleByTheKeptVersions();
    void breachLookup_data();
    void breachLookup();
};

void PasswordHealthTest::reportGroupsTheRecords() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Quillbox.ptk"));
    const QString strong = QStringLiteral("v7#Qm2!pLx9@Rt4&Wz");
    seedDatabase(file, {makeRecord("Bank", "ann", "password", "", "", "Ann"),             // 1 weak
                        makeRecord("Mail", "ann", strong, "", "", "Ann"),                 // 2 reused
                        makeRecord("Shop", "ann", strong, "", "", "Ann"),                 // 3 reused
                        makeRecord("Forum", "ann", "", "", "", "Ann"),                    // 4 empty
                        makeRecord("Club", "bob", strong, "", "", "Bob"),                 // 5 reused, other owner
                        makeRecord("Game", "bob", "x9!Kd#2mQz&7Lp@4Rv", "", "", "Bob")}); // 6 fine
    Database db;
    QVERIFY(openDatabase(db, file).ok);

    const HealthReport all = checkPasswordHealth(db, {QString(), now, QString()});
    QCOMPARE(all.error, QString());
    QCOMPARE(all.checked, 6);
    QCOMPARE(all.weak.size(), 1);
    QCOMPARE(all.weak[0].record.record, QStringLiteral("1"));
    QVERIFY(all.weak[0].strength.bits < 40);
    QCOMPARE(all.reused.size(), 1);
    QCOMPARE(numbers(all.reused[0]), (QStringList{"2", "3", "5"}));
    QCOMPARE(numbers(all.empty), QStringList{"4"});
    QVERIFY(all.stale.isEmpty());
    QVERIFY(!all.breachChecked);

    const HealthReport ann = checkPasswordHealth(db, {QStringLiteral("Ann"), now, QString()});
    QCOMPARE(ann.checked, 4);
    QCOMPARE(numbers(ann.reused.value(0)), (QStringList{"2", "3"}));
}

void PasswordHealthTest::staleByTheKeptVersions() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Quillbox.ptk"));
    seedDatabase(file, {makeRecord("Changed lately", "", "old-one-Q7!x", "", "", "Ann"),
                        makeRecord("Notes edited", "", "kept-Q7!xLm2", "", "", "Ann"),
                        makeRecord("Never saved", "", "never-Q7!xLm", "", "", "Ann")});
    Database db;
    QVERIFY(openDatabase(db, file).ok);
    const auto save = [&](const QString& number, int column, const QString& value, const QDateTime& when) {
        SiteRecord r = *storedRecord(db, number);
        r[column] = value;
        return saveWithHistory(db, quotedFields(r), number, when, 10).error();
    };
    // 1: the password replaced two years ago, then again a month ago.
    QCOMPARE(save("1", Col::Password, "newer-Q7!xLm", now.addYears(-2)), QString());
    QCOMPARE(save("1", Col::Password, "newest-Q7!xL", now.addMonths(-1)), QString());
    // 2: only the notes changed, twice, the first time two years ago: the password is older.
    QCOMPARE(save("2", Col::Notes, "first", now.addYears(-2)), QString());
    QCOMPARE(save("2", Col::Notes, "second", now.addDays(-3)), QString());

    const HealthReport report = checkPasswordHealth(db, {QString(), now, QString()});
    QCOMPARE(report.stale.size(), 1);
    QCOMPARE(report.stale[0].record.record, QStringLiteral("2"));
    QCOMPARE(report.stale[0].since, now.addYears(-2));
}

void PasswordHealthTest::breachLookup_data() {
    QTest::addColumn<int>("asked"); // how many passwords: past 2000 the lookup goes in one pass
    QTest::addColumn<QByteArray>("newline");
    QTest::addColumn<bool>("lowerCase");
    QTest::newRow("a few, binary search") << 5 << QByteArray("\r\n") << false;
    QTest::newRow("a few, LF, lower case") << 5 << QByteArray("\n") << true;
    QTest::newRow("many, one pass") << 2600 << QByteArray("\r\n") << false;
    QTest::newRow("many, LF, lower case") << 2600 << QByteArray("\n") << true;
}

void PasswordHealthTest::breachLookup() {
    QFETCH(int, asked);
    QFETCH(QByteArray, newline);
    QFETCH(bool, lowerCase);
    // Every third password asked about is in the list, each with its own count.
    std::map<QString, qint64> known;
    QList<QByteArray> hashes;
    QList<qint64> expected;
    for (int i = 0; i < asked; ++i) {
        const QString password = QStringLiteral("asked-%1").arg(i);
        hashes << breachHash(password);
        expected << (i % 3 == 0 ? 1000 + i : 0);
        if (i % 3 == 0) {
            known[password] = 1000 + i;
        }
    }
    QByteArray list = breachList(20000, known, newline.constData());
    list = lowerCase ? list.toLower() : list;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("breaches.txt"));
    QVERIFY(writeAll(file, list));
    const BreachLookup lookup = lookUpBreaches(file, hashes);
    QCOMPARE(lookup.error, QString());
    QCOMPARE(lookup.counts, expected);

    // A file out of order, or with a line of another layout, is refused rather than half read.
    QByteArray unsorted = list;
    const qsizetype second = unsorted.indexOf('\n') + 1;
    std::swap_ranges(unsorted.begin(), unsorted.begin() + 40, unsorted.begin() + second);
    QVERIFY(writeAll(file, unsorted));
    QVERIFY(asked < 2000 || !lookUpBreaches(file, hashes).error.isEmpty());
    QVERIFY(writeAll(file, "not a breach list\n" + list));
    QVERIFY(!lookUpBreaches(file, hashes).error.isEmpty());
}

QTEST_GUILESS_MAIN(PasswordHealthTest)
#include "tst_passwordhealth.moc"
