// Exporting the table: the bytes of each format against hand-written files, the extension
// rule, empty tables, and failures that must leave no half-written file.
#include "store/SiteStore.h"
#include "support/Files.h"
#include "support/NastyTable.h"
#include "support/TestEnv.h"
#include "transfer/CsvFormat.h"
#include "transfer/ExportCheck.h"
#include "transfer/TableExport.h"
#include "transfer/TextFormat.h"
#include "transfer/XmlLayout.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace quillbox;
using namespace quillbox::test;

Q_DECLARE_METATYPE(quillbox::ExportFormat)

namespace {

QList<SiteRecord> layoutTable() {
    SiteRecord a = makeRecord("Bank & Co", "ann", "p\"w'd", "https://bank.example/?a=1&b=2", "Money", "Ann",
                              "first line\r\nsecond <line>");
    a[Col::FirstMisc + 1] = QStringLiteral("Crème");
    SiteRecord b = makeRecord("Mail", "", "", "", "Work", "Ann");
    b[Col::FirstMisc + 3] = QStringLiteral("say \"hi\", then \"bye\"");
    b[Col::FirstMisc + 17] = QStringLiteral("x|y");
    return {a, b};
}

// The file as the formatters of text write it, from the values as the program reads them, and
// what fieldsNotKept() finds the format cannot carry.
QByteArray formattedTable(const Database& db, ExportFormat format, ExportLoss& loss) {
    QString out;
    if (format == ExportFormat::Xml) {
        out = XmlLayout::declaration();
        XmlLayout::startTag(out, 0, xmlDocumentName);
    }
    QList<bool> seen(Col::TextColumns, false);
    Query query(db, QStringLiteral("SELECT * FROM quillbox"));
    SiteRecord r;
    while (query.next()) {
        readFullRow(query, r);
        if (format == ExportFormat::Xml) {
            XmlLayout::startTag(out, 1, xmlItemName);
            for (int c = 0; c < Col::Count; ++c) {
                XmlLayout::valueElement(out, 2, columnNames()[c], r[c]);
            }
            XmlLayout::endTag(out, 1, xmlItemName);
        } else {
            out += (format == ExportFormat::Csv ? csvLine(r) : textLine(r)) + QLatin1String("\r\n");
        }
        const QList<int> fields = fieldsNotKept(r, format);
        loss.records += fields.isEmpty() ? 0 : 1;
        for (int k : fields) {
            seen[k] = true;
        }
    }
    if (format == ExportFormat::Xml) {
        XmlLayout::endTag(out, 0, xmlDocumentName);
    }
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (seen[k]) {
            loss.fields << columnNames()[k];
        }
    }
    return out.toUtf8();
}

} // namespace

class TableExportTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void bytesMatchHandWrittenFiles_data();
    void bytesMatchHandWrittenFiles();
    void bytesMatchTheTextFormatters_data();
    void bytesMatchTheTextFormatters();
    void extensionRule_data();
    void extensionRule();
    void emptyTable_data();
    void emptyTable();
    void uncreatableFile_data();
    void uncreatableFile();
    void failedQueryLeavesExistingFile_data();
    void failedQueryLeavesExistingFile();
    void failedWriteLeavesExistingFile_data();
    void failedWriteLeavesExistingFile();
    void progressHoldsSiteNameAsTheLineHasIt();
    void newFileIsPrivate_data();
    void newFileIsPrivate();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    Database m_db;
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void seed(const QList<SiteRecord>& records);
};

void TableExportTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(openDatabase(m_db, path("db.ptk")).ok);
}

void TableExportTest::seed(const QList<SiteRecord>& records) {
    m_db.execute(QStringLiteral("BEGIN"));
    for (const SiteRecord& r : records) {
        insertRecord(m_db, r);
    }
    m_db.execute(QStringLiteral("COMMIT"));
}

void TableExportTest::bytesMatchHandWrittenFiles_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text") << ExportFormat::Text << "export-layout.txt";
    QTest::newRow("csv") << ExportFormat::Csv << "export-layout.csv";
    QTest::newRow("xml") << ExportFormat::Xml << "export-layout.xml";
}

void TableExportTest::bytesMatchHandWrittenFiles() {
    QFETCH(ExportFormat, format);
    QFETCH(QString, expected);
    seed(layoutTable());
    const ExportResult result = exportTable(m_db, format, path("out"));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.count, 2);
    QCOMPARE(readAll(result.path), readAll(dataPath(expected)));
}

void TableExportTest::bytesMatchTheTextFormatters_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::newRow("text") << ExportFormat::Text;
    QTest::newRow("csv") << ExportFormat::Csv;
    QTest::newRow("xml") << ExportFormat::Xml;
}

void TableExportTest::bytesMatchTheTextFormatters() {
    QFETCH(ExportFormat, format);
    QList<SiteRecord> table = nastyTable();
    SiteRecord odd = makeRecord("|a~b|", "tab\tcr\r\rlf\n\ncrlf\r\n", "\x01\x1B\x7F\x1F", "\uFFFE\uFFFF\uFFFD",
                                "<&>'\"", "O", "~\r\r\n\n\r\n~");
    odd[Col::FirstMisc] = QStringLiteral("&amp;<![CDATA[x]]>\u00A0\u2028\U0001F600\U0010FFFD");
    table << odd;
    SiteRecord longOne = makeRecord(QString(70000, QLatin1Char('s')), "", "", "", "C", "O",
                                    QStringLiteral("\"a|b\r\n<&>\u00E9\U0001F642\x02").repeated(20000));
    table << longOne;
    seed(table);
    // Values the data form never writes but a table may hold: bytes that are no UTF-8 (a lone
    // continuation, a cut sequence, an overlong form, a surrogate, beyond U+10FFFF), NUL inside
    // text, a blob, a number, NULL.
    QVERIFY(m_db.execute(QStringLiteral(
        "INSERT INTO quillbox(sitename, username, password, homepage, misc1, misc2, misc3, category, owner, notes) "
        "VALUES (CAST(X'80414243' AS TEXT), CAST(X'E282' AS TEXT), CAST(X'C0AF3C' AS TEXT), CAST(X'EDA080267A' AS "
        "TEXT), CAST(X'F4908080' AS TEXT), CAST(X'61006200' AS TEXT), X'0D0A22EFBFBE00', 42, NULL, CAST(X'EFBBBF"
        "7E0D0A' AS TEXT))")));
    ExportLoss expectedLoss;
    const QByteArray expected = formattedTable(m_db, format, expectedLoss);
    const ExportResult result = exportTable(m_db, format, path("out"));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.count, table.size() + 1);
    QCOMPARE(readAll(result.path), expected);
    QCOMPARE(result.loss.records, expectedLoss.records);
    QCOMPARE(result.loss.fields, expectedLoss.fields);
}

void TableExportTest::newFileIsPrivate_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::newRow("text") << ExportFormat::Text;
    QTest::newRow("csv") << ExportFormat::Csv;
    QTest::newRow("xml") << ExportFormat::Xml;
}

void TableExportTest::newFileIsPrivate() {
    QFETCH(ExportFormat, format);
    seed(layoutTable());
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // The passwords go into a file that only its owner can read.
    const ExportResult fresh = exportTable(m_db, format, path("fresh"));
    QVERIFY2(fresh.error.isEmpty(), qPrintable(fresh.error));
    QCOMPARE(QFile::permissions(fresh.path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), owner);
    // A file the user already has keeps the permissions given to it.
    const QFileDevice::Permissions shared = owner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(fresh.path, shared));
    QVERIFY(exportTable(m_db, format, fresh.path).error.isEmpty());
    QCOMPARE(QFile::permissions(fresh.path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), shared);
}

void TableExportTest::extensionRule_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("asc gets txt") << ExportFormat::Text << "sites.asc"
                                  << "sites.asc.txt";
    QTest::newRow("upper-case TXT stays") << ExportFormat::Text << "LIST.TXT"
                                          << "LIST.TXT";
    QTest::newRow("no extension") << ExportFormat::Text << "list"
                                  << "list.txt";
    QTest::newRow("CSV stays") << ExportFormat::Csv << "sites.CSV"
                               << "sites.CSV";
    QTest::newRow("txt is no csv") << ExportFormat::Csv << "sites.txt"
                                   << "sites.txt.csv";
    QTest::newRow("xml") << ExportFormat::Xml << "dump.xml.bak"
                         << "dump.xml.bak.xml";
}

void TableExportTest::extensionRule() {
    QFETCH(ExportFormat, format);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    seed(layoutTable());
    const ExportResult result = exportTable(m_db, format, path(chosen));
    QCOMPARE(result.path, path(written));
    QVERIFY(QFile::exists(path(written)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2); // the database and the export
}

void TableExportTest::emptyTable_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<bool>("fileWritten");
    QTest::newRow("text") << ExportFormat::Text << true;
    QTest::newRow("csv") << ExportFormat::Csv << true;
    QTest::newRow("xml") << ExportFormat::Xml << false;
}

void TableExportTest::emptyTable() {
    QFETCH(ExportFormat, format);
    QFETCH(bool, fileWritten);
    int calls = 0;
    const ExportResult result = exportTable(m_db, format, path("empty"), [&](const ExportStep&) { ++calls; });
    QCOMPARE(result.error, QString());
    QCOMPARE(result.count, 0);
    QCOMPARE(calls, 0);
    QCOMPARE(QFile::exists(result.path), fileWritten);
    if (fileWritten) {
        QCOMPARE(QFileInfo(result.path).size(), 0);
    }
}

void TableExportTest::uncreatableFile_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << ExportFormat::Text << "Cannot create the text export file.";
    QTest::newRow("csv") << ExportFormat::Csv << "Cannot create the csv export file.";
    QTest::newRow("xml") << ExportFormat::Xml << "Cannot create the xml export file.";
}

void TableExportTest::uncreatableFile() {
    QFETCH(ExportFormat, format);
    QFETCH(QString, message);
    seed(layoutTable());
    const ExportResult result = exportTable(m_db, format, path("no such folder/out"));
    QVERIFY2(result.error.startsWith(message), qPrintable(result.error));
    QVERIFY(!result.written);
}

void TableExportTest::failedQueryLeavesExistingFile_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << ExportFormat::Text << "old.txt"
                          << "Cannot retrieve data, database error.";
    QTest::newRow("csv") << ExportFormat::Csv << "old.csv"
                         << "Cannot retrieve data, database error.";
    QTest::newRow("xml") << ExportFormat::Xml << "old.xml"
                         << "The database query has failed to retrieve any data";
}

void TableExportTest::failedQueryLeavesExistingFile() {
    QFETCH(ExportFormat, format);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QVERIFY(m_db.execute(QStringLiteral("DROP TABLE quillbox")));
    QFile old(path(name));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("keep me");
    old.close();
    const ExportResult result = exportTable(m_db, format, path(name));
    QVERIFY2(result.error.startsWith(message), qPrintable(result.error));
    QCOMPARE(readAll(path(name)), QByteArray("keep me"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);
}

void TableExportTest::failedWriteLeavesExistingFile_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << ExportFormat::Text << "full.txt"
                          << "Cannot write the text export file.";
    QTest::newRow("csv") << ExportFormat::Csv << "full.csv"
                         << "Cannot write the csv export file.";
    QTest::newRow("xml") << ExportFormat::Xml << "full.xml"
                         << "Cannot write the xml export file.";
}

void TableExportTest::failedWriteLeavesExistingFile() {
    QFETCH(ExportFormat, format);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QList<SiteRecord> many;
    for (int i = 0; i < 200; ++i) {
        many << makeRecord(QStringLiteral("Site %1").arg(i), "user", "pw", "https://example.com", "Cat", "Owner");
    }
    seed(many);
    QFile old(path(name));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("keep me");
    old.close();
    // A disk that fills up: files may grow to 4 KB, writes beyond fail.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ExportResult result = exportTable(m_db, format, path(name));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY2(result.error.startsWith(message), qPrintable(result.error));
    QVERIFY(!result.written);
    QCOMPARE(readAll(path(name)), QByteArray("keep me"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);
}

void TableExportTest::progressHoldsSiteNameAsTheLineHasIt() {
    seed(layoutTable());
    for (ExportFormat format : {ExportFormat::Text, ExportFormat::Csv}) {
        QStringList held;
        const ExportResult result = exportTable(m_db, format, path("p"), [&](const ExportStep& step) {
            held << step.heldSiteName() + QLatin1Char('#') + QString::number(step.count());
        });
        const QStringList expected = format == ExportFormat::Csv ? QStringList{"\"Bank & Co\",#1", "\"Mail\",#2"}
                                                                 : QStringList{"Bank & Co#1", "Mail#2"};
        QCOMPARE(held, expected);
        QCOMPARE(result.lastSiteName + QLatin1Char('#') + QString::number(result.count), expected.last());
    }
}

QTEST_GUILESS_MAIN(TableExportTest)
#include "tst_tableexport.moc"
