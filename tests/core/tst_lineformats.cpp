// The bar-separated text and CSV formats: the lines written, the readers' refusals and edges,
// encodings, and round trips over the nasty table.
#include "core/NastyTable.h"
#include "core/RecordingSink.h"
#include "transfer/CsvFormat.h"
#include "transfer/ImportText.h"
#include "transfer/TextFormat.h"

#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

const QString noDelimiter = QStringLiteral("Data delimiter not found, invalid line format.");
const QString missing = QStringLiteral("Missing columns of data, invalid line format.");

QStringList readText(const QByteArray& bytes) {
    RecordingSink sink;
    readTextRecords(decodeImportBytes(bytes), sink);
    return sink.events;
}

QStringList readCsv(const QByteArray& bytes) {
    RecordingSink sink;
    readCsvRecords(decodeImportBytes(bytes), sink);
    return sink.events;
}

// n pieces joined by the delimiter: "1|2|...".
QByteArray pieces(int n, const char* delimiter, const char* open = "", const char* close = "") {
    QByteArray line;
    for (int i = 1; i <= n; ++i) {
        line += (i > 1 ? QByteArray(delimiter) : QByteArray(open)) + QByteArray::number(i);
    }
    return line + close;
}

QString numbers(int n) {
    QStringList list;
    for (int i = 1; i <= std::min(n, 29); ++i) {
        list << QString::number(i);
    }
    return QStringLiteral("R:") + list.join(QLatin1Char('|'));
}

} // namespace

class LineFormatsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textLineKeepsRecordOnOneLine_data();
    void textLineKeepsRecordOnOneLine();
    void textReader_data();
    void textReader();
    void csvLineQuotesAndDoubles_data();
    void csvLineQuotesAndDoubles();
    void csvReader_data();
    void csvReader();
    void roundTripText();
    void roundTripCsv();
    void linesEndAtEveryKindOfBreak();
};

void LineFormatsTest::textLineKeepsRecordOnOneLine_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("notes CR LF") << int(Col::Notes) << "a\r\nb"
                                 << "a~b";
    QTest::newRow("notes lone CR and LF") << int(Col::Notes) << "a\rb\nc"
                                          << "a~b~c";
    QTest::newRow("notes blank lines") << int(Col::Notes) << "a\r\n\r\nb"
                                       << "a~~b";
    QTest::newRow("break elsewhere is a blank") << int(Col::SiteName) << "a\r\nb\rc\nd"
                                                << "a b c d";
    QTest::newRow("bar and tilde unchanged") << int(Col::Password) << "p|w~x"
                                             << "p|w~x";
    QTest::newRow("quotes unchanged") << int(Col::UserName) << "O'Brien \"x\""
                                      << "O'Brien \"x\"";
}

void LineFormatsTest::textLineKeepsRecordOnOneLine() {
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, written);
    SiteRecord r;
    r[field] = value;
    const QString line = textLine(r);
    QVERIFY(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
    QStringList expected(29, QString());
    expected[field] = written;
    QCOMPARE(line, expected.join(QLatin1Char('|')) + QLatin1Char('|'));
}

void LineFormatsTest::textReader_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("three bars fill four fields") << QByteArray("a|b|c|d\r\n") << QStringList{"R:a|b|c|d"};
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{noDelimiter};
    QTest::newRow("no bar") << QByteArray("just text") << QStringList{noDelimiter};
    QTest::newRow("five bars") << pieces(6, "|") << QStringList{missing};
    QTest::newRow("four bars") << pieces(5, "|") << QStringList{numbers(5)};
    QTest::newRow("six bars") << pieces(7, "|") << QStringList{numbers(7)};
    QTest::newRow("surplus pieces") << pieces(35, "|") << QStringList{numbers(35)};
    QTest::newRow("refused lines do not stop the file")
        << QByteArray("x\r\n1|2|3|4|5|6\r\na|b\r\n") << QStringList{noDelimiter, missing, "R:a|b"};
    QTest::newRow("tilde in notes only") << QByteArray("~|x") + QByteArray(27, '|') + "n~o~|extra"
                                         << QStringList{"R:~|x" + QString(27, '|') + "n\r\no\r\n"};
    QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBF"
                                                           "a|b")
                                             << QStringList{"R:a|b"};
    QTest::newRow("invalid UTF-8") << QByteArray("a\xFF|\xC3") << QStringList{"R:a\uFFFD|\uFFFD"};
    QTest::newRow("NUL") << QByteArray("a\0b|c", 5) << QStringList{"R:a\uFFFDb|c"};
    QTest::newRow("UTF-8 text") << QByteArray("Cr\xC3\xA8me|\xE6\x97\xA5") << QStringList{"R:Crème|日"};
}

void LineFormatsTest::textReader() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, events);
    QCOMPARE(readText(input), events);
}

void LineFormatsTest::csvLineQuotesAndDoubles_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "Bank"
                           << "\"Bank\"";
    QTest::newRow("empty") << ""
                           << "\"\"";
    QTest::newRow("quotes doubled") << "say \"hi\""
                                    << "\"say \"\"hi\"\"\"";
    QTest::newRow("sequence quote comma quote") << "a\",\"b"
                                                << "\"a\"\",\"\"b\"";
    QTest::newRow("line break kept") << "a\r\nb"
                                     << "\"a\r\nb\"";
}

void LineFormatsTest::csvLineQuotesAndDoubles() {
    QFETCH(QString, value);
    QFETCH(QString, field);
    QCOMPARE(csvField(value), field);
    SiteRecord r;
    r[Col::Notes] = value;
    QCOMPARE(csvLine(r), QStringLiteral("\"\",").repeated(28) + field);
}

void LineFormatsTest::csvReader_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("quoted fields") << QByteArray("\"a\",\"b\",\"c\"\r\n") << QStringList{"R:a|b|c"};
    QTest::newRow("one field") << QByteArray("\"a\"\r\n") << QStringList{noDelimiter};
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{noDelimiter};
    QTest::newRow("five fields") << pieces(5, "\",\"", "\"", "\"") << QStringList{missing};
    QTest::newRow("four fields") << pieces(4, "\",\"", "\"", "\"") << QStringList{numbers(4)};
    QTest::newRow("six fields") << pieces(6, "\",\"", "\"", "\"") << QStringList{numbers(6)};
    QTest::newRow("surplus fields") << pieces(31, "\",\"", "\"", "\"") << QStringList{numbers(31)};
    QTest::newRow("29 fields as written before") << pieces(29, "\",\"", "\"", "\"\r\n") << QStringList{numbers(29)};
    QTest::newRow("doubled quotes") << QByteArray("\"say \"\"hi\"\"\",\"x\"") << QStringList{"R:say \"hi\"|x"};
    QTest::newRow("comma inside") << QByteArray("\"a,b\",\"c\"") << QStringList{"R:a,b|c"};
    QTest::newRow("quote comma quote inside") << QByteArray("\"a\"\",\"\"b\",\"c\"") << QStringList{"R:a\",\"b|c"};
    QTest::newRow("multi-line notes") << QByteArray("\"a\",\"line1\r\nline2\rline3\nend\"\r\n\"b\",\"c\"\r\n")
                                      << QStringList{"R:a|line1\r\nline2\rline3\nend", "R:b|c"};
    QTest::newRow("open quote ends at its line")
        << QByteArray("\"a\",\"b\r\n\"c\",\"d\",\"e") << QStringList{"R:a|b", "R:c|d|e"};
    QTest::newRow("unquoted fields") << QByteArray("a,b,c\r\n") << QStringList{"R:a|b|c"};
    QTest::newRow("text after closing quote kept") << QByteArray("\"a\"x,\"b\"") << QStringList{"R:ax|b"};
    QTest::newRow("trailing comma") << QByteArray("\"a\",\"b\",\r\n") << QStringList{"R:a|b"};
    QTest::newRow("refused records do not stop the file")
        << QByteArray("x\r\n\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\"a\",\"b\"")
        << QStringList{noDelimiter, missing, "R:a|b"};
    QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBF\"a\",\"b\"") << QStringList{"R:a|b"};
    QTest::newRow("invalid UTF-8") << QByteArray("\"\xFF\",\"\xC3\"") << QStringList{"R:\uFFFD|\uFFFD"};
}

void LineFormatsTest::csvReader() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, events);
    QCOMPARE(readCsv(input), events);
}

void LineFormatsTest::roundTripText() {
    // The text format has no way to carry a "|" inside a value: it would split the field.
    const QList<SiteRecord> table = nastyTableWithoutBars();
    QString file;
    for (const SiteRecord& r : table) {
        file += textLine(r) + QLatin1String("\r\n");
    }
    RecordingSink sink;
    readTextRecords(file, sink);
    QCOMPARE(sink.records.size(), table.size());
    for (qsizetype i = 0; i < table.size(); ++i) {
        const SiteRecord expected = textImage(table[i]);
        for (int k = 0; k < Col::TextColumns; ++k) {
            QCOMPARE(sink.records[i][k], expected[k]);
        }
    }
}

void LineFormatsTest::roundTripCsv() {
    const QList<SiteRecord> table = nastyTable();
    QString file;
    for (const SiteRecord& r : table) {
        file += csvLine(r) + QLatin1String("\r\n");
    }
    RecordingSink sink;
    readCsvRecords(decodeImportBytes(file.toUtf8()), sink);
    QCOMPARE(sink.records.size(), table.size());
    for (qsizetype i = 0; i < table.size(); ++i) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            QCOMPARE(sink.records[i][k], table[i][k]);
        }
    }
}

void LineFormatsTest::linesEndAtEveryKindOfBreak() {
    QStringList lines;
    QStringView line;
    LineCursor cursor(u"a\r\nb\rc\nd\n\re\r\n");
    while (cursor.next(line)) {
        lines << line.toString();
    }
    QCOMPARE(lines, (QStringList{"a", "b", "c", "d", "", "e"}));
}

QTEST_GUILESS_MAIN(LineFormatsTest)
#include "tst_lineformats.moc"
