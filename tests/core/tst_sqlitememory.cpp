// SQLite's allocator: blocks keep what they hold through every kind of resize, freed small
// blocks are handed out again, a thread's kept blocks go back when it ends, and SQLite works on
// it with values of every length.
#include "store/Database.h"
#include "store/SiteStore.h"
#include "store/SqliteMemory.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <malloc.h>

#include <thread>
#include <vector>

using namespace quillbox;

class SqliteMemoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void resizeKeepsContents_data();
    void resizeKeepsContents();
    void freedBlocksAreReused();
    void endedThreadsGiveTheirBlocksBack();
    void databaseWorksOnIt();
};

void SqliteMemoryTest::initTestCase() {
    // First use of SQLite in this process: the allocator must be taken.
    QVERIFY(configureSqliteMemory());
    QVERIFY(configureSqliteMemory()); // a second call changes nothing
}

void SqliteMemoryTest::resizeKeepsContents_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("tiny to tiny") << 1 << 15;
    QTest::newRow("same class") << 17 << 32;
    QTest::newRow("small grows") << 40 << 300;
    QTest::newRow("small shrinks") << 300 << 40;
    QTest::newRow("small to large") << 500 << 5000;
    QTest::newRow("edge of the kept sizes") << 512 << 513;
    QTest::newRow("large to small") << 5000 << 100;
    QTest::newRow("large grows") << 5000 << 70000;
    QTest::newRow("large shrinks") << 70000 << 600;
}

void SqliteMemoryTest::resizeKeepsContents() {
    QFETCH(int, from);
    QFETCH(int, to);
    auto* block = static_cast<unsigned char*>(sqlite3_malloc(from));
    QVERIFY(block);
    QVERIFY(sqliteBlockSize(block) >= from);
    QCOMPARE(sqliteBlockSize(block) % 16, 0);
    QCOMPARE(reinterpret_cast<quintptr>(block) % 16, quintptr(0));
    for (int i = 0; i < from; ++i) {
        block[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    auto* resized = static_cast<unsigned char*>(sqlite3_realloc(block, to));
    QVERIFY(resized);
    QVERIFY(sqliteBlockSize(resized) >= to);
    QCOMPARE(static_cast<int>(sqlite3_msize(resized)), sqliteBlockSize(resized));
    for (int i = 0; i < std::min(from, to); ++i) {
        QCOMPARE(resized[i], static_cast<unsigned char>(i * 7 + 3));
    }
    sqlite3_free(resized);
}

void SqliteMemoryTest::freedBlocksAreReused() {
    void* first = sqlite3_malloc(100);
    sqlite3_free(first);
    void* second = sqlite3_malloc(110); // same size class of 16 bytes
    QCOMPARE(second, first);
    sqlite3_free(second);
    sqlite3_free(nullptr); // allowed, does nothing
}

void SqliteMemoryTest::endedThreadsGiveTheirBlocksBack() {
    // One arena for every thread, so the heap's figures see what the threads leave behind. (Under
    // AddressSanitizer the figures stay still, and LeakSanitizer checks the same at exit.)
    mallopt(M_ARENA_MAX, 1);
    const std::size_t before = mallinfo2().uordblks;
    for (int t = 0; t < 8; ++t) {
        std::thread([] {
            std::vector<void*> blocks;
            for (int i = 0; i < 256; ++i) {
                blocks.push_back(sqlite3_malloc(500));
            }
            for (void* block : blocks) {
                sqlite3_free(block); // each kept by this thread for reuse
            }
        }).join();
    }
    // Kept past their threads' end, the blocks would hold 8 × 256 × 528 bytes, about 1 MB.
    QVERIFY2(mallinfo2().uordblks < before + 256 * 1024, qPrintable(QString::number(mallinfo2().uordblks - before)));
}

void SqliteMemoryTest::databaseWorksOnIt() {
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath("db")).ok);
    QVERIFY(db.execute("Begin Transaction"));
    QStringList expected;
    for (int length : {0, 1, 15, 16, 17, 255, 511, 512, 513, 4000, 100000}) {
        const QString value = QString(length, QLatin1Char('x')) + QStringLiteral("é");
        expected << QString::number(value.size());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO quillbox(sitename) VALUES('%1')").arg(value)));
    }
    QVERIFY(db.execute("Commit"));
    QStringList lengths;
    Query query(db, QStringLiteral("SELECT length(sitename) FROM quillbox ORDER BY record"));
    while (query.next()) {
        lengths << query.text(0);
    }
    QCOMPARE(lengths, expected);
}

QTEST_GUILESS_MAIN(SqliteMemoryTest)
#include "tst_sqlitememory.moc"
