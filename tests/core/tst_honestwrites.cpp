// What the program says is what the disk holds: writers on a really full disk, settings values
// that try to start a line of their own, foreign database files, record numbers that are no numbers.
#include "print/PrintDocument.h"
#include "settings/ProgramSettings.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "store/WorkingFolder.h"
#include "support/Files.h"
#include "support/SampleRecords.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"
#include "transfer/TableExport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

// The thirty columns in another order, with one of the file's own, or with some missing.
void makeTable(const QString& file, const QStringList& columns, const QList<QStringList>& rows) {
    Database db;
    QVERIFY(db.open(file));
    QStringList defs;
    for (const QString& c : columns) {
        defs << c + (c == QLatin1String("record") ? QStringLiteral(" INTEGER PRIMARY KEY") : QStringLiteral(" TEXT"));
    }
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE quillbox(%1)").arg(defs.join(QLatin1Char(',')))));
    for (const QStringList& row : rows) {
        QStringList quoted;
        for (const QString& v : row) {
            quoted << QLatin1Char('\'') + sqlQuote(v) + QLatin1Char('\'');
        }
        QVERIFY(db.execute(QStringLiteral("INSERT INTO quillbox(%1) VALUES(%2)")
                               .arg(columns.mid(0, row.size()).join(QLatin1Char(',')), quoted.join(QLatin1Char(',')))));
    }
}

} // namespace

class HonestWritesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullDiskLeavesOldFile_data();
    void fullDiskLeavesOldFile();
    void settingsValuesStayOnTheirLine_data();
    void settingsValuesStayOnTheirLine();
    void foreignTables_data();
    void foreignTables();
    void recordNumbers_data();
    void recordNumbers();
    void lockedCommitRollsBack_data();
    void lockedCommitRollsBack();
    void backupLeftoversRemoved();
    void nameTakenByLinkOrFolder_data();
    void nameTakenByLinkOrFolder();

private:
    QTemporaryDir m_dir;
};

enum Writer { Settings, TextExport, CsvExport, XmlExport, PrintFile, Backup, Encryption };

namespace {
// Runs one of the program's writers on target; false and the reason when it failed.
bool runWriter(int writer, const Database& db, const QString& target, QString* error) {
    switch (writer) {
    case Settings: {
        ProgramSettings settings = defaultSettings();
        settings.lastOwner = QStringLiteral("Someone new");
        const Result saved = saveSettings(target, settings);
        *error = saved.error();
        return saved.ok();
    }
    case TextExport:
    case CsvExport:
    case XmlExport: {
        const ExportFormat format =
            writer == TextExport ? ExportFormat::Text : (writer == CsvExport ? ExportFormat::Csv : ExportFormat::Xml);
        const ExportResult result = exportTable(db, format, target);
        *error = result.error;
        return result.written;
    }
    case PrintFile:
    case Backup: {
        const Result written =
            writer == PrintFile ? writePrintFile(target, QByteArray(300 * 1024, 'p')) : backupDatabase(db, target);
        *error = written.error();
        return written.ok();
    }
    case Encryption:
        return sample::encryptFile(target) != nullptr;
    }
    return false;
}
} // namespace

void HonestWritesTest::fullDiskLeavesOldFile_data() {
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    const QString noSpace = QStringLiteral("No space left on device");
    QTest::newRow("settings") << int(Settings) << "Quillbox.ptk.Ini" << noSpace;
    QTest::newRow("text export") << int(TextExport) << "export.txt" << noSpace;
    QTest::newRow("csv export") << int(CsvExport) << "export.csv" << noSpace;
    QTest::newRow("xml export") << int(XmlExport) << "export.xml" << noSpace;
    QTest::newRow("print document") << int(PrintFile) << "Quillbox.htm" << noSpace;
    QTest::newRow("backup") << int(Backup) << "Quillbox.ptk.Tue"
                            << "database or disk is full";
    QTest::newRow("backup, encrypted") << int(Backup) << "Quillbox.ptk.Tue"
                                       << "database or disk is full";
}

void HonestWritesTest::fullDiskLeavesOldFile() {
    QFETCH(int, writer);
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const bool encrypted = QByteArray(QTest::currentDataTag()).endsWith("encrypted");
    const QString databaseFile =
        m_dir.filePath(encrypted ? QStringLiteral("records-encrypted.ptk") : QStringLiteral("records.ptk"));
    if (!QFile::exists(databaseFile)) {
        QCOMPARE(sample::writeDatabase(databaseFile, sample::generateRecords(600)), QString());
        QVERIFY(!encrypted || sample::encryptFile(databaseFile));
    }
    Database db;
    QVERIFY(db.open(databaseFile, sample::keyOf(databaseFile)));

    QTemporaryDir mountPoint;
    test::SmallDisk disk(mountPoint.path(), 256 * 1024);
    QUILLBOX_REQUIRE_MOUNTED(disk);
    const QString target = QDir(mountPoint.path()).filePath(name);
    // The file as an earlier, successful run left it.
    QByteArray old = "an earlier file\r\n";
    if (writer == Settings) {
        old = defaultSettingsBytes();
    } else if (writer == Backup) {
        QVERIFY(backupDatabase(db, target));
        old = readAll(target);
    }
    if (writer != Backup) {
        QVERIFY(writeAll(target, old));
    }
    disk.fill();

    QString error;
    QVERIFY(!runWriter(writer, db, target, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(readAll(target), old);
    // Nothing half-written is left beside it.
    QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral(".filler"), name}));
    if (writer == Settings) {
        ProgramSettings read;
        QVERIFY(loadSettings(target, read).ok());
        QCOMPARE(read.shortcutCodes, defaultSettings().shortcutCodes);
    }
}

void HonestWritesTest::settingsValuesStayOnTheirLine_data() {
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("stored");
    QTest::newRow("CR LF and a group") << "Jo\r\n[Keyboard Shortcuts]\r\nExit Quillbox = 0"
                                       << "Jo  [Keyboard Shortcuts]  Exit Quillbox = 0";
    QTest::newRow("lone LF") << "Jo\nAdd Site = 0"
                             << "Jo Add Site = 0";
    QTest::newRow("escape and tab") << "a\x1b"
                                       "b\tc"
                                    << "a b c";
    QTest::newRow("line separator") << QString::fromUtf8("a\u2028b") << "a b";
}

void HonestWritesTest::settingsValuesStayOnTheirLine() {
    QFETCH(QString, owner);
    QFETCH(QString, stored);
    const QString file = m_dir.filePath(QStringLiteral("lines.Ini"));
    QFile::remove(file);
    ProgramSettings settings = defaultSettings();
    settings.lastOwner = owner;
    settings.lastSearchText = owner;
    QVERIFY(saveSettings(file, settings).ok());
    ProgramSettings read;
    QVERIFY(loadSettings(file, read).ok());
    QCOMPARE(read.lastOwner, stored);
    QCOMPARE(read.lastSearchText, stored);
    QCOMPARE(read.shortcutCodes, defaultSettings().shortcutCodes);
}

void HonestWritesTest::foreignTables_data() {
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QString>("extra");   // statements run on the file after its table is made
    QTest::addColumn<QString>("missing"); // empty: the file is usable
    QStringList reordered = columnNames();
    std::reverse(reordered.begin(), reordered.end());
    reordered.insert(5, QStringLiteral("extra"));
    QTest::newRow("reordered, one extra") << reordered << ""
                                          << "";
    QStringList lacking = columnNames();
    lacking.removeAll(QStringLiteral("misc9"));
    lacking.removeAll(QStringLiteral("notes"));
    QTest::newRow("two missing") << lacking << ""
                                 << "misc9, notes";
    QTest::newRow("no database") << QStringList() << ""
                                 << "file is not a database";
    // A crafted file is not obeyed: what would change the records behind the program's back.
    const QStringList all = columnNames();
    QTest::newRow("a trigger that eats new rows")
        << all << "CREATE TRIGGER eat AFTER INSERT ON quillbox BEGIN DELETE FROM quillbox WHERE record=new.record; END"
        << "triggers on quillbox would change records behind its back (eat)";
    QTest::newRow("a trigger on the history")
        << all
        << "CREATE TABLE quillbox_history(entry INTEGER PRIMARY KEY, record INTEGER, changed TEXT, event TEXT); "
           "CREATE TRIGGER keep AFTER INSERT ON quillbox_history BEGIN DELETE FROM quillbox; END"
        << "triggers on quillbox_history";
    QTest::newRow("a view in the table's place") << QStringList()
                                                 << QString(createTableStatement()).replace("quillbox(", "real(") +
                                                        QStringLiteral("; CREATE VIEW quillbox AS SELECT * FROM real")
                                                 << "quillbox is a view";
    QTest::newRow("a NUMERIC column") << QStringList()
                                      << QString(createTableStatement()).replace(", misc1 TEXT", ", misc1 NUMERIC")
                                      << "do not keep text as text: misc1 (NUMERIC)";
    QTest::newRow("a column of no type") << QStringList()
                                         << QString(createTableStatement()).replace(", notes TEXT", ", notes")
                                         << "notes (no type)";
}

void HonestWritesTest::foreignTables() {
    QFETCH(QStringList, columns);
    QFETCH(QString, extra);
    QFETCH(QString, missing);
    const QString file = m_dir.filePath(QStringLiteral("foreign-%1.ptk").arg(QTest::currentDataTag()));
    if (columns.isEmpty() && extra.isEmpty()) {
        QVERIFY(writeAll(file, QByteArray(4096, '\x7f')));
    } else if (!columns.isEmpty()) {
        QStringList row;
        for (const QString& c : columns) {
            row << (c == QLatin1String("record") ? QStringLiteral("7") : QStringLiteral("v-") + c);
        }
        makeTable(file, columns, {row});
    }
    if (!extra.isEmpty()) {
        Database db;
        QVERIFY(db.open(file));
        QVERIFY2(db.execute(extra), qPrintable(db.errorText()));
    }
    const QByteArray before = readAll(file);
    Database db;
    const OpenResult opened = openDatabase(db, file);
    if (!missing.isEmpty()) {
        QVERIFY(!opened.ok);
        QVERIFY(!db.isOpen()); // nothing can be written to it
        QVERIFY2(opened.text.contains(file) && opened.text.contains(missing), qPrintable(opened.text));
        QCOMPARE(readAll(file), before);
        return;
    }
    QVERIFY(opened.ok);
    // Every reader places the values by name.
    Query query(db, QStringLiteral("SELECT * FROM quillbox"));
    QVERIFY(query.next());
    SiteRecord record;
    readFullRow(query, record);
    for (int k = 0; k < Col::TextColumns; ++k) {
        QCOMPARE(record[k], QStringLiteral("v-") + columnNames()[k]);
    }
    QCOMPARE(record[Col::Record], QStringLiteral("7"));
    const QString exported = m_dir.filePath(QStringLiteral("foreign.xml"));
    QVERIFY(exportTable(db, ExportFormat::Xml, exported).written);
    const QByteArray xml = readAll(exported);
    QVERIFY(!xml.contains("extra"));
    QVERIFY(xml.indexOf("<lsitename>") < xml.indexOf("<notes>"));
}

void HonestWritesTest::recordNumbers_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("plain");
    QTest::newRow("digits") << "42" << true;
    QTest::newRow("negative") << "-3" << true;
    QTest::newRow("injection") << "3' OR '1'='1" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank before") << " 3" << false;
    QTest::newRow("plus sign") << "+3" << false;
    QTest::newRow("other digits") << QString::fromUtf8("\u0663") << false;
    QTest::newRow("too long") << QString(30, QLatin1Char('9')) << false;
}

void HonestWritesTest::recordNumbers() {
    QFETCH(QString, number);
    QFETCH(bool, plain);
    QCOMPARE(isRecordNumber(number), plain);
    // Whatever the text, a statement built from it touches no other record.
    const QString file = m_dir.filePath(QStringLiteral("numbers.ptk"));
    QFile::remove(file);
    Database db;
    QVERIFY(db.open(file));
    // A foreign file whose record column is text: "3' OR '1'='1" would once have matched every row.
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE quillbox(sitename TEXT, record TEXT)")));
    QVERIFY(db.execute(QStringLiteral("INSERT INTO quillbox VALUES('a', '1'), ('b', '2'), ('c', '3'' OR ''1''=''1')")));
    QVERIFY(db.execute(deleteRecordsStatement({QStringLiteral("1"), number})));
    // Record 1 goes; whatever the other text, nothing else does.
    QCOMPARE(scalarQuery(db, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("2"));
}

void HonestWritesTest::lockedCommitRollsBack_data() {
    QTest::addColumn<bool>("encrypted");
    QTest::newRow("plain") << false;
    QTest::newRow("encrypted") << true;
}

void HonestWritesTest::lockedCommitRollsBack() {
    QFETCH(bool, encrypted);
    const QString file =
        m_dir.filePath(encrypted ? QStringLiteral("locked-encrypted.ptk") : QStringLiteral("locked.ptk"));
    QCOMPARE(sample::writeDatabase(file, sample::generateRecords(3)), QString());
    const auto key = encrypted ? sample::encryptFile(file) : nullptr;
    Database db;
    QVERIFY(openDatabase(db, file, key).ok);
    db.setBusyTimeout(50);
    Database reader;
    QVERIFY(reader.open(file, key));
    QVERIFY(reader.execute(QStringLiteral("BEGIN; SELECT count(*) FROM quillbox;")));
    QCOMPARE(scalarQuery(reader, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("3"));
    {
        Transaction transaction(db);
        QVERIFY(transaction.begin());
        test::insertRecord(db, test::makeRecord("a", "b", "c", "d", "e", "f"));
        QVERIFY(!transaction.commit());
        QCOMPARE(transaction.errorText(), QStringLiteral("the database is locked by another program"));
        QVERIFY(!db.inTransaction());
    }
    QVERIFY(reader.execute(QStringLiteral("COMMIT")));
    QCOMPARE(scalarQuery(db, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("3"));
    {
        // Not committed: gone when it goes out of scope, and the connection writes again.
        Transaction transaction(db);
        QVERIFY(transaction.begin());
        test::insertRecord(db, test::makeRecord("a", "b", "c", "d", "e", "f"));
    }
    QVERIFY(!db.inTransaction());
    QVERIFY(db.execute(QStringLiteral("DELETE FROM quillbox WHERE record='1'")));
    QCOMPARE(scalarQuery(reader, QStringLiteral("SELECT count(*) FROM quillbox")), QStringLiteral("2"));
}

void HonestWritesTest::backupLeftoversRemoved() {
    QTemporaryDir folder;
    const QString database = QDir(folder.path()).filePath(QStringLiteral("db.ptk"));
    const QStringList leftovers{QStringLiteral("db.ptk.Tue.partial"), QStringLiteral("db.ptk.Tue.partial-journal"),
                                QStringLiteral("db.ptk.Sun.partial")};
    const QStringList kept{QStringLiteral("db.ptk"), QStringLiteral("db.ptk.Mon"), QStringLiteral("other.partial")};
    for (const QString& name : leftovers + kept) {
        QVERIFY(writeAll(QDir(folder.path()).filePath(name), "x"));
    }
    removeBackupLeftovers(database);
    QStringList expected = kept;
    expected.sort();
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files, QDir::Name), expected);
}

enum Planted { LinkToOutside, Folder };

void HonestWritesTest::nameTakenByLinkOrFolder_data() {
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("name");    // under the working folder
    QTest::addColumn<QString>("planted"); // the name taken, when it is not the file's own
    QTest::addColumn<int>("what");
    const QString settings = QStringLiteral("System/") + settingsFileName;
    const QString print = QStringLiteral("Temporary/") + printFileName;
    const QString backup = QStringLiteral("Database/") + databaseFileName + QStringLiteral(".Tue");
    const QString exported = QStringLiteral("Database/records.csv");
    QTest::newRow("settings, link") << int(Settings) << settings << QString() << int(LinkToOutside);
    QTest::newRow("print document, link") << int(PrintFile) << print << QString() << int(LinkToOutside);
    QTest::newRow("text export, link") << int(TextExport) << QStringLiteral("Database/records.txt") << QString()
                                       << int(LinkToOutside);
    QTest::newRow("csv export, link") << int(CsvExport) << exported << QString() << int(LinkToOutside);
    QTest::newRow("xml export, link") << int(XmlExport) << QStringLiteral("Database/records.xml") << QString()
                                      << int(LinkToOutside);
    QTest::newRow("backup, link") << int(Backup) << backup << QString() << int(LinkToOutside);
    QTest::newRow("backup's partial copy, link")
        << int(Backup) << backup << backup + QStringLiteral(".partial") << int(LinkToOutside);
    QTest::newRow("backup's partial journal, link")
        << int(Backup) << backup << backup + QStringLiteral(".partial-journal") << int(LinkToOutside);
    QTest::newRow("encryption's new file, link")
        << int(Encryption) << QStringLiteral("Database/") + databaseFileName
        << QStringLiteral("Database/") + databaseFileName + QStringLiteral(".rewrite") << int(LinkToOutside);
    QTest::newRow("settings, folder") << int(Settings) << settings << QString() << int(Folder);
    QTest::newRow("print document, folder") << int(PrintFile) << print << QString() << int(Folder);
    QTest::newRow("csv export, folder") << int(CsvExport) << exported << QString() << int(Folder);
    QTest::newRow("backup, folder") << int(Backup) << backup << QString() << int(Folder);
}

// A link planted in the program's folders (a shared or removable disk) must not make it write
// the file the link points to: the link is replaced. A name it cannot replace fails the write and
// leaves nothing behind.
void HonestWritesTest::nameTakenByLinkOrFolder() {
    QFETCH(int, writer);
    QFETCH(QString, name);
    QFETCH(QString, planted);
    QFETCH(int, what);
    if (planted.isEmpty()) {
        planted = name;
    }
    QTemporaryDir outside;
    QTemporaryDir working;
    const WorkingFolder folder = WorkingFolder::at(working.path());
    for (const QString& sub : {folder.databaseFolder, folder.systemFolder, folder.temporaryFolder}) {
        QVERIFY(QDir().mkpath(sub));
    }
    QCOMPARE(sample::writeDatabase(folder.databaseFile, sample::generateRecords(20)), QString());
    Database db;
    QVERIFY(db.open(folder.databaseFile));
    const QDir root(working.path());
    const QString victim = QDir(outside.path()).filePath(QStringLiteral("victim"));
    const QByteArray victimBytes = "someone else's file\n";
    QVERIFY(writeAll(victim, victimBytes));
    QFile::setPermissions(victim, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    if (what == LinkToOutside) {
        QVERIFY(QFile::link(victim, root.filePath(planted)));
    } else {
        QVERIFY(root.mkpath(planted));
        QVERIFY(writeAll(root.filePath(planted) + QStringLiteral("/inside"), "kept"));
    }
    const QStringList before = QDir(QFileInfo(root.filePath(name)).absolutePath())
                                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);

    QString error;
    const bool written = runWriter(writer, db, root.filePath(name), &error);
    QCOMPARE(readAll(victim), victimBytes);
    QCOMPARE(QFile::permissions(victim) & QFileDevice::ReadOther, QFileDevice::ReadOther);
    const QFileInfo result(root.filePath(name));
    if (what == LinkToOutside) {
        QVERIFY2(written, qPrintable(error));
        QVERIFY(!result.isSymLink());
        QVERIFY(result.isFile());
        QVERIFY(result.size() > 0);
        QCOMPARE(result.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
    } else {
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QVERIFY(result.isDir());
        QCOMPARE(readAll(root.filePath(planted) + QStringLiteral("/inside")), QByteArray("kept"));
        // Nothing half-written is left beside it.
        QCOMPARE(QDir(result.absolutePath())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 before);
    }
}

QTEST_GUILESS_MAIN(HonestWritesTest)
#include "tst_honestwrites.moc"
