#include "print/PrintDocument.h"
#include "store/SiteStore.h"
#include "support/TestEnv.h"

#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
// The document's fixed blocks, spelled out line by line as the printed page expects them.
QByteArray lines(const QStringList& list) {
    QByteArray out;
    for (const QString& line : list) {
        out += line.toUtf8() + "\r\n";
    }
    return out;
}

const QByteArray header =
    lines({"<!DOCTYPE HTML PUBLIC '-//W3C//DTD HTML 4.01 Transitional//EN'><html lang='en-au'><head> ", "",
           "  <meta content='text/html; charset=UTF-8' http-equiv='content-type'><title>Vennholt Quillbox</title>", "",
           "  <meta content='Vennholt, 2010' name='author'>",
           "  <meta content='Quillbox HTML Print Template' name='description'></head><body>"});
const QByteArray tableStart = lines(
    {"<table style='text-align: left; width: 660px;' border='0'", " cellpadding='2' cellspacing='5'>", "  <tbody>"});
const QByteArray tableClose =
    lines({"    <tr>", "      <td",
           " style='vertical-align: top; width: 160px; text-align: left; background-color: white;'><span",
           " style='font-weight: bold; color: rgb(0, 0, 102);'></span><br>", "      </td>", "      <td",
           " style='vertical-align: top; width: 500px; text-align: left; background-color: white;'><br>", "      </td>",
           "    </tr>", "  </tbody>", "</table>", "  </tbody>", "</table>"});
const QByteArray footer = lines({"<br>", "</body></html>"});

QByteArray row(const QString& label, const QString& content) {
    return lines({"    <tr>", "      <td",
                  " style='vertical-align: top; width: 160px; text-align: left; background-color: rgb(237, 237, "
                  "237);'><span",
                  " style='font-weight: bold; color: rgb(0, 0, 102);'>" + label + "</span><br>", "      </td>",
                  "      <td",
                  " style='vertical-align: top; width: 500px; text-align: left; background-color: rgb(247, 247, "
                  "247);'>" +
                      content + "<br>",
                  "      </td>", "    </tr>"});
}

using Rows = QList<std::pair<QString, QString>>;

QByteArray table(const Rows& rows) {
    QByteArray out = tableStart;
    for (const auto& [label, content] : rows) {
        out += row(label, content);
    }
    return out + tableClose;
}

// A database in the test's folder holding the given records as record numbers 1, 2, ...
struct Store {
    TestEnv env;
    Database db;

    explicit Store(const QList<SiteRecord>& records) {
        const QString file = env.path("Database/test.ptk");
        seedDatabase(file, records);
        openDatabase(db, file);
    }
};
} // namespace

class PrintDocumentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneRecord_data();
    void oneRecord();
    void lineBreakHints_data();
    void lineBreakHints();
    void selection_data();
    void selection();
    void failedQueryLeavesTableOpen();
    void printFileIsPrivateAndReplaced();
    void printFileInMissingFolderFails();
};

void PrintDocumentTest::oneRecord_data() {
    QTest::addColumn<SiteRecord>("record");
    QTest::addColumn<Rows>("rows");

    SiteRecord plain = makeRecord("Bank", "ann", "secret", "bank.example", "", "");
    plain[Col::FirstMisc] = "PIN";  // label set, value empty: a row with an empty value cell
    plain[Col::FirstMisc + 4] = ""; // misc3 without label: no row, whatever it holds
    plain[Col::FirstMisc + 5] = "hidden";
    QTest::newRow("labels set and unset, empty category and owner, no notes")
        << plain
        << Rows{{"Site name", "Bank"}, {"User name", "ann"}, {"Password", "secret"}, {"Home page", "bank.<wbr>example"},
                {"PIN", ""},           {"Category", ""},     {"Owner", ""}};

    SiteRecord noted = makeRecord("Mail", "bob", "pw", "", "Web/Mail", "Home", "first line\nsecond: line");
    noted[Col::UserNameLabel] = "";
    noted[Col::FirstMisc + 16] = "Last"; // misc9
    noted[Col::FirstMisc + 17] = "9";
    QTest::newRow("notes, category without hints, last free field")
        << noted
        << Rows{{"Site name", "Mail"},
                {"Password", "pw"},
                {"Home page", ""},
                {"Last", "9"},
                {"Category", "Web/Mail"},
                {"Owner", "Home"},
                {"Notes", "first line<br>\r\nsecond:<wbr> line"}};

    SiteRecord escaped = makeRecord("O'Brien's", "<b>me</b>", "a<b&c", "", "R&D", "Zoë");
    escaped[Col::SiteNameLabel] = "Shop & Co";
    QTest::newRow("read back, escaped, not UTF-8 garbled")
        << escaped << Rows{{"Shop &amp; Co", "O'Brien's"},    {"User name", "&lt;b&gt;me&lt;/<wbr>b&gt;"},
                           {"Password", "a&lt;b&amp;<wbr>c"}, {"Home page", ""},
                           {"Category", "R&amp;D"},           {"Owner", "Zoë"}};
}

void PrintDocumentTest::oneRecord() {
    QFETCH(SiteRecord, record);
    QFETCH(Rows, rows);
    Store store({record});
    const PrintDocument doc = buildPrintDocument(store.db, {{"1", true}});
    QCOMPARE(doc.bytes, header + table(rows) + footer);
    QCOMPARE(doc.printed, 1);
    QVERIFY(doc.messages.isEmpty());
}

void PrintDocumentTest::lineBreakHints_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("address with path and query")
        << "https://www.example.com/a/b.php?x=1&y=2"
        << "https:<wbr>/<wbr>/<wbr>www.<wbr>example.<wbr>com/<wbr>a/<wbr>b.<wbr>php?<wbr>x=<wbr>1&amp;<wbr>y=<wbr>2";
    QTest::newRow("plain") << "plain words"
                           << "plain words";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("tag shown as text") << "<b>bold</b>"
                                       << "&lt;b&gt;bold&lt;/<wbr>b&gt;";
    QTest::newRow("typed entity stays text") << "a&amp;b"
                                             << "a&amp;<wbr>amp;b";
    QTest::newRow("double quotes") << "say \"hi\""
                                   << "say &quot;hi&quot;";
    QTest::newRow("line breaks become CR LF") << "a\r\nb\rc\nd"
                                              << "a\r\nb\r\nc\r\nd";
    QTest::newRow("outside ASCII") << "Zoë/𝄞."
                                   << "Zoë/<wbr>𝄞.<wbr>";
}

void PrintDocumentTest::lineBreakHints() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(withLineBreakHints(text), expected);
}

void PrintDocumentTest::selection_data() {
    QTest::addColumn<QList<PrintRow>>("rows");
    QTest::addColumn<QList<int>>("tables"); // site numbers printed, in order; 0 for a record that is gone
    QTest::addColumn<int>("printed");
    QTest::addColumn<QList<StatusMessage>>("messages");

    QTest::newRow("second of three") << QList<PrintRow>{{"1", false}, {"2", true}, {"3", false}} << QList<int>{2} << 1
                                     << QList<StatusMessage>{{1, "Skipping item 0, not selected."},
                                                             {1, "Skipping item 2, not selected."}};
    QTest::newRow("none selected") << QList<PrintRow>{{"1", false}, {"2", false}} << QList<int>{} << 0
                                   << QList<StatusMessage>{{1, "Skipping item 0, not selected."},
                                                           {1, "Skipping item 1, not selected."}};
    QTest::newRow("empty list") << QList<PrintRow>{} << QList<int>{} << -1
                                << QList<StatusMessage>{{2, "There are no items in the list to print."}};
    QTest::newRow("list order, not record order")
        << QList<PrintRow>{{"3", true}, {"1", true}} << QList<int>{3, 1} << 2 << QList<StatusMessage>{};
    QTest::newRow("record gone meanwhile")
        << QList<PrintRow>{{"7", true}, {"2", true}} << QList<int>{0, 2} << 2 << QList<StatusMessage>{};
}

void PrintDocumentTest::selection() {
    QFETCH(QList<PrintRow>, rows);
    QFETCH(QList<int>, tables);
    QFETCH(int, printed);
    QFETCH(QList<StatusMessage>, messages);
    Store store({makeRecord("Site1", "", "", "", "C", "O"), makeRecord("Site2", "", "", "", "C", "O"),
                 makeRecord("Site3", "", "", "", "C", "O")});
    QByteArray expected = header;
    for (int n : tables) {
        expected += n == 0 ? table({})
                           : table({{"Site name", QStringLiteral("Site%1").arg(n)},
                                    {"User name", ""},
                                    {"Password", ""},
                                    {"Home page", ""},
                                    {"Category", "C"},
                                    {"Owner", "O"}});
    }
    expected += footer;
    const PrintDocument doc = buildPrintDocument(store.db, rows);
    QCOMPARE(doc.bytes, expected);
    QCOMPARE(doc.printed, printed);
    QCOMPARE(doc.messages, messages);
}

void PrintDocumentTest::failedQueryLeavesTableOpen() {
    Store store({makeRecord("Site1", "", "", "", "C", "O")});
    QVERIFY(store.db.execute("DROP TABLE quillbox"));
    const PrintDocument doc = buildPrintDocument(store.db, {{"1", true}, {"1", false}});
    QCOMPARE(doc.bytes, header + tableStart + footer);
    QCOMPARE(doc.printed, 1);
    QCOMPARE(doc.messages, (QList<StatusMessage>{{2, "The current site failed to be retrieved."},
                                                 {1, "Skipping item 1, not selected."}}));
}

void PrintDocumentTest::printFileIsPrivateAndReplaced() {
    TestEnv env;
    const QString name = env.path("Quillbox.htm");
    const QFileDevice::Permissions otherBits =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QVERIFY(writePrintFile(name, "first, and longer"));
    QCOMPARE(QFileInfo(name).permissions() & otherBits, QFileDevice::Permissions());
    // A file someone made readable is made private again and replaced whole.
    QVERIFY(QFile::setPermissions(name, QFileInfo(name).permissions() | QFile::ReadOther | QFile::ReadGroup));
    QVERIFY(writePrintFile(name, "second"));
    QCOMPARE(QFileInfo(name).permissions() & otherBits, QFileDevice::Permissions());
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("second"));
}

void PrintDocumentTest::printFileInMissingFolderFails() {
    TestEnv env;
    QVERIFY(!writePrintFile(env.path("Temporary/Quillbox.htm"), "x"));
}

QTEST_GUILESS_MAIN(PrintDocumentTest)
#include "tst_printdocument.moc"
