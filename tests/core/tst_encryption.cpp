// The encrypted database: what lies on the disk, what a changed byte does, and the rewrites from
// plain to encrypted, back, and from one password to another, on a disk that fills up half-way.
#include "crypt/FileKey.h"
#include "crypt/PageCipher.h"
#include "store/DatabaseFile.h"
#include "store/EncryptedVfs.h"
#include "store/FileConversion.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/Files.h"
#include "support/SampleRecords.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

using namespace quillbox;
using namespace quillbox::test;

namespace {

const QString password = QStringLiteral("Quill-test-01");
// Cheap to derive, so that the tests run quickly; the file says what it costs.
const KdfCost testCost{1, MinKdfMemoryMiB};

std::shared_ptr<const FileKey> newKey(const QString& typed = password) {
    return FileKey::derive(typed, FileHeader::fresh(testCost, 4096));
}

QList<SiteRecord> records(int count) {
    return sample::generateRecords(count, 99);
}

// Every value of the records long enough not to turn up by chance, as the file would hold it in
// the clear: UTF-8 as SQLite stores it, and UTF-16 as the program holds it.
QList<QByteArray> secretsOf(const QList<SiteRecord>& list) {
    QSet<QString> values;
    for (const SiteRecord& r : list) {
        for (int column = 0; column < Col::TextColumns; ++column) {
            if (r[column].size() >= 6) {
                values.insert(r[column]);
            }
        }
    }
    QList<QByteArray> secrets;
    for (const QString& text : std::as_const(values)) {
        secrets << text.toUtf8() << QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    return secrets;
}

// Every file under folder, read whole.
QByteArray everyByteUnder(const QString& folder) {
    QByteArray all;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        all += readAll(it.next());
    }
    return all;
}

// Writes the records into file; encrypted when key is given.
void seed(const QString& file, const QList<SiteRecord>& list, const std::shared_ptr<const FileKey>& key) {
    Database db;
    QVERIFY(openDatabase(db, file, key).ok);
    Transaction transaction(db);
    QVERIFY(transaction.begin());
    for (const SiteRecord& r : list) {
        QVERIFY2(db.execute(buildInsertStatement(quotedFields(r))), qPrintable(db.errorText()));
    }
    QVERIFY(transaction.commit());
}

// The first failure a read of every page meets; empty when the file reads whole.
QString readFailure(const QString& file, const std::shared_ptr<const FileKey>& key) {
    Database db;
    if (!db.open(file, key)) {
        return db.errorText();
    }
    Query query(db, QStringLiteral("PRAGMA quick_check"));
    QStringList problems;
    while (query.next()) {
        problems << query.text(0);
    }
    return query.failed() || !query.isValid()              ? db.errorText()
           : problems == QStringList{QStringLiteral("ok")} ? QString()
                                                           : problems.join(QLatin1Char(' '));
}

} // namespace

class EncryptionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void nothingInTheClear();
    void changedBytesAreRefused_data();
    void changedBytesAreRefused();
    void journalRecovers();
    void changedJournalIsRefused();
    void failedRollbackIsReported();
    void passwordCheck_data();
    void passwordCheck();
    void rewrites_data();
    void rewrites();
    void fullDiskLeavesTheFile_data();
    void fullDiskLeavesTheFile();
    void aConnectionOnTheOldFileCannotWrite();

private:
    QString m_file;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void EncryptionTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("Database/Quillbox.ptk"));
    QDir().mkpath(QFileInfo(m_file).absolutePath());
}

void EncryptionTest::nothingInTheClear() {
    const QList<SiteRecord> list = records(300);
    const auto key = newKey();
    seed(m_file, list, key);
    QCOMPARE(databaseKind(m_file), DatabaseKind::Encrypted);
    const QByteArray disk = readAll(m_file);
    QCOMPARE(disk.size() % 4096, 0);
    QVERIFY(!disk.contains("SQLite format 3"));
    QVERIFY(!disk.contains("CREATE TABLE"));
    for (const QByteArray& secret : secretsOf(list)) {
        QVERIFY2(!disk.contains(secret), secret.constData());
    }
    // It opens again with the key, and with nothing else: SQLite's own VFS sees no database.
    Database db;
    QVERIFY(db.open(m_file, key));
    QCOMPARE(scalarQuery(db, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("300"));
    QVERIFY(!readFailure(m_file, nullptr).isEmpty());
}

void EncryptionTest::changedBytesAreRefused_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("page"); // the page the message names; 0 when it names none
    QTest::newRow("header salt") << "flip 1 10" << 1;
    QTest::newRow("first page body") << "flip 1 2000" << 1;
    QTest::newRow("table page") << "flip 2 100" << 2;
    QTest::newRow("last page") << "flip -1 3000" << -1;
    QTest::newRow("a nonce") << "flip 3 4060" << 3;
    QTest::newRow("a tag") << "flip 3 4090" << 3;
    QTest::newRow("pages swapped") << "swap 2 3" << 3; // the first of them SQLite reads
    QTest::newRow("page of another file") << "foreign 3" << 3;
    QTest::newRow("cut mid-page") << "cut 2500" << -1;
    QTest::newRow("cut at a page") << "cut 4096" << 0;
}

void EncryptionTest::changedBytesAreRefused() {
    QFETCH(QString, change);
    QFETCH(int, page);
    const auto key = newKey();
    seed(m_file, records(400), key);
    QByteArray disk = readAll(m_file);
    const int pages = static_cast<int>(disk.size() / 4096);
    const QStringList words = change.split(QLatin1Char(' '));
    auto pageAt = [&](int number) { return number < 0 ? pages + 1 + number : number; };
    auto offset = [&](int number) { return qsizetype(pageAt(number) - 1) * 4096; };
    if (words[0] == QLatin1String("flip")) {
        disk[offset(words[1].toInt()) + words[2].toInt()] ^= 0x20;
    } else if (words[0] == QLatin1String("swap")) {
        const QByteArray a = disk.mid(offset(words[1].toInt()), 4096);
        disk.replace(offset(words[1].toInt()), 4096, disk.mid(offset(words[2].toInt()), 4096));
        disk.replace(offset(words[2].toInt()), 4096, a);
    } else if (words[0] == QLatin1String("foreign")) {
        // The same records under the same password, but another file and so another salt.
        const QString other = m_dir->filePath(QStringLiteral("other.ptk"));
        seed(other, records(400), newKey());
        disk.replace(offset(words[1].toInt()), 4096, readAll(other).mid(offset(words[1].toInt()), 4096));
    } else {
        const qsizetype cut = words[1].toInt();
        disk.chop(cut);
        page = page < 0 ? pages - static_cast<int>(cut / 4096) : page;
    }
    page = page < 0 ? pageAt(page) : page;
    QVERIFY(writeAll(m_file, disk));
    const QString failure = readFailure(m_file, key);
    QVERIFY2(failure.startsWith(damagedFileText(0, false)), qPrintable(failure + " " + change));
    if (page > 0) {
        QCOMPARE(failure, damagedFileText(static_cast<unsigned>(page), false));
    }
    QCOMPARE(readAll(m_file), disk); // nothing was written to it
}

namespace {
// A write caught half-way, as a crash would leave it: the database with some changed pages
// written and the journal that holds their old images, copied while the transaction is open.
void crashMidWrite(const QString& file, const QString& copy, const std::shared_ptr<const FileKey>& key) {
    Database db;
    QVERIFY(db.open(file, key));
    QVERIFY(db.execute(QStringLiteral("PRAGMA cache_size=2"))); // spills changed pages to the file
    QVERIFY(db.execute(QStringLiteral("BEGIN")));
    QVERIFY(db.execute(
        QStringLiteral("UPDATE quillbox SET password = password || 'changed', notes = hex(randomblob(300))")));
    QVERIFY(QFile::exists(file + QStringLiteral("-journal")));
    QFile::remove(copy);
    QFile::remove(copy + QStringLiteral("-journal"));
    QVERIFY(QFile::copy(file, copy));
    QVERIFY(QFile::copy(file + QStringLiteral("-journal"), copy + QStringLiteral("-journal")));
    QVERIFY(db.execute(QStringLiteral("ROLLBACK")));
}
} // namespace

void EncryptionTest::journalRecovers() {
    const auto key = newKey();
    seed(m_file, records(500), key);
    const QByteArray before = contentDigest(m_file, key);
    const QString copy = m_dir->filePath(QStringLiteral("crashed.ptk"));
    crashMidWrite(m_file, copy, key);
    QVERIFY(readAll(copy) != readAll(m_file)); // the copy holds half a write
    // The journal's images hold no plain text either.
    const QByteArray journal = readAll(copy + QStringLiteral("-journal"));
    QVERIFY(journal.size() > 8 * 4096);
    for (const QByteArray& secret : secretsOf(records(500))) {
        QVERIFY(!journal.contains(secret));
    }
    QCOMPARE(contentDigest(copy, key), before);
    QVERIFY(!QFile::exists(copy + QStringLiteral("-journal")));
}

void EncryptionTest::changedJournalIsRefused() {
    const auto key = newKey();
    seed(m_file, records(500), key);
    const QString copy = m_dir->filePath(QStringLiteral("crashed.ptk"));
    crashMidWrite(m_file, copy, key);
    QByteArray journal = readAll(copy + QStringLiteral("-journal"));
    // The first record follows the header: its page number, then its image.
    const qsizetype image = 512 + 4;
    journal[image + 1000] ^= 0x01;
    QVERIFY(writeAll(copy + QStringLiteral("-journal"), journal));
    const QString failure = readFailure(copy, key);
    QVERIFY2(failure.startsWith(damagedFileText(0, false)), qPrintable(failure));
    QVERIFY(failure.contains(QStringLiteral("journal")));
    QVERIFY(QFile::exists(copy + QStringLiteral("-journal"))); // kept, for whoever can recover it
}

// A rollback that cannot read its journal back says so instead of passing for done.
void EncryptionTest::failedRollbackIsReported() {
    const auto key = newKey();
    seed(m_file, records(500), key);
    Database db;
    QVERIFY(db.open(m_file, key));
    QVERIFY(db.execute(QStringLiteral("PRAGMA cache_size=2"))); // spills changed pages to the file
    Transaction transaction(db);
    QVERIFY(transaction.begin());
    QVERIFY(db.execute(QStringLiteral("UPDATE quillbox SET notes = hex(randomblob(300))")));
    QFile journal(m_file + QStringLiteral("-journal"));
    QVERIFY(journal.open(QIODevice::ReadWrite));
    QByteArray bytes = journal.readAll();
    bytes[512 + 4 + 1000] ^= 0x01;
    QVERIFY(journal.seek(0));
    QCOMPARE(journal.write(bytes), bytes.size());
    journal.close();
    QVERIFY(!transaction.rollback());
    QVERIFY2(transaction.errorText().contains(QStringLiteral("could not be undone")),
             qPrintable(transaction.errorText()));
}

void EncryptionTest::passwordCheck_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("damage"); // "page1": its first page damaged
    QTest::addColumn<int>("status");
    QTest::newRow("right") << password << "" << int(UnlockResult::Opened);
    QTest::newRow("wrong") << "Quill-test-02"
                           << "" << int(UnlockResult::WrongPassword);
    QTest::newRow("doubled") << password + password << "" << int(UnlockResult::WrongPassword);
    QTest::newRow("empty") << ""
                           << "" << int(UnlockResult::WrongPassword);
    QTest::newRow("right, page 1 damaged") << password << "page1" << int(UnlockResult::Opened);
    QTest::newRow("wrong, page 1 damaged") << "Quill-test-02"
                                           << "page1" << int(UnlockResult::WrongPassword);
    QTest::newRow("a plain file") << password << "plain" << int(UnlockResult::NotEncrypted);
}

void EncryptionTest::passwordCheck() {
    QFETCH(QString, typed);
    QFETCH(QString, damage);
    QFETCH(int, status);
    const auto key = newKey();
    seed(m_file, records(50), damage == QLatin1String("plain") ? nullptr : key);
    if (damage == QLatin1String("page1")) {
        QByteArray disk = readAll(m_file);
        disk[3000] ^= 0x10;
        QVERIFY(writeAll(m_file, disk));
    }
    const QByteArray before = readAll(m_file);
    const UnlockResult result = unlockDatabaseFile(m_file, typed);
    QCOMPARE(int(result.status), status);
    QCOMPARE(result.key != nullptr, status == UnlockResult::Opened);
    if (result.key) {
        QVERIFY(result.key->sameAs(*key));
        QVERIFY(passwordMatchesKey(typed, *key));
    }
    QCOMPARE(readAll(m_file), before);
}

void EncryptionTest::rewrites_data() {
    QTest::addColumn<bool>("fromPlain");
    QTest::addColumn<bool>("toPlain");
    QTest::newRow("encrypt") << true << false;
    QTest::newRow("decrypt") << false << true;
    QTest::newRow("new password") << false << false;
}

void EncryptionTest::rewrites() {
    QFETCH(bool, fromPlain);
    QFETCH(bool, toPlain);
    const QList<SiteRecord> list = records(600);
    const auto from = fromPlain ? nullptr : newKey();
    const auto to = toPlain ? nullptr : newKey(QStringLiteral("Another-pass-9"));
    seed(m_file, list, from);
    // Weekday backups as the exit makes them, and one encrypted under the same password before a
    // change of salt.
    Database db;
    QVERIFY(db.open(m_file, from));
    QVERIFY(backupDatabase(db, m_file + QStringLiteral(".Mon")));
    QVERIFY(backupDatabase(db, m_file + QStringLiteral(".Tue")));
    db.close();
    QVERIFY(QFile::copy(m_file, m_file + QStringLiteral(".Wed")));
    const auto older = newKey();
    QCOMPARE(convertDatabaseFile(m_file + QStringLiteral(".Wed"), from, older).error(), QString());
    const QByteArray digest = contentDigest(m_file, from);
    QVERIFY(!digest.isEmpty());
    QCOMPARE(convertDatabaseFile(m_file, from, to).error(), QString());
    QCOMPARE(convertBackups(m_file, password, from, to), QStringList());
    for (const QString& file :
         {m_file, m_file + QStringLiteral(".Mon"), m_file + QStringLiteral(".Tue"), m_file + QStringLiteral(".Wed")}) {
        QCOMPARE(databaseKind(file), toPlain ? DatabaseKind::Plain : DatabaseKind::Encrypted);
        QCOMPARE(contentDigest(file, to), digest);
        if (to) {
            QCOMPARE(int(unlockDatabaseFile(file, password).status), int(UnlockResult::WrongPassword));
        }
    }
    // Nothing of the old file is left: no copy, no journal, and no value in the clear.
    const QStringList left = QDir(QFileInfo(m_file).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, (QStringList{QStringLiteral("Quillbox.ptk"), QStringLiteral("Quillbox.ptk.Mon"),
                                QStringLiteral("Quillbox.ptk.Tue"), QStringLiteral("Quillbox.ptk.Wed")}));
    if (to) {
        const QByteArray disk = everyByteUnder(m_dir->path());
        for (const QByteArray& secret : secretsOf(list)) {
            QVERIFY(!disk.contains(secret));
        }
    }
}

void EncryptionTest::fullDiskLeavesTheFile_data() {
    rewrites_data();
}

void EncryptionTest::fullDiskLeavesTheFile() {
    QFETCH(bool, fromPlain);
    QFETCH(bool, toPlain);
    const QString folder = m_dir->filePath(QStringLiteral("small"));
    QDir().mkpath(folder);
    test::SmallDisk disk(folder, 6 << 20);
    QUILLBOX_REQUIRE_MOUNTED(disk);
    const QString file = folder + QStringLiteral("/Quillbox.ptk");
    const auto from = fromPlain ? nullptr : newKey();
    const auto to = toPlain ? nullptr : newKey();
    seed(file, records(3000), from);
    const QByteArray before = readAll(file);
    disk.fill();
    QVERIFY(!convertDatabaseFile(file, from, to));
    QCOMPARE(readAll(file), before);
    QCOMPARE(QDir(folder).entryList({QStringLiteral("Quillbox.ptk*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Quillbox.ptk")});
    disk.release();
    QCOMPARE(convertDatabaseFile(file, from, to).error(), QString());
}

void EncryptionTest::aConnectionOnTheOldFileCannotWrite() {
    // A connection made before the rewrite (another program's) finds the old file unreadable
    // rather than writing records into a file no one will read again.
    const auto key = newKey();
    seed(m_file, records(100), nullptr);
    Database other;
    QVERIFY(other.open(m_file));
    QCOMPARE(scalarQuery(other, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("100"));
    QCOMPARE(convertDatabaseFile(m_file, nullptr, key).error(), QString());
    QVERIFY(!other.execute(buildInsertStatement(quotedFields(records(1).constFirst()))));
    Database reopened;
    QVERIFY(reopened.open(m_file, key));
    QCOMPARE(scalarQuery(reopened, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("100"));
}

QTEST_GUILESS_MAIN(EncryptionTest)
#include "tst_encryption.moc"
