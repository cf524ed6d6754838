// The bar-separated text and CSV formats: the lines written, the readers' refusals and edges,
// encodings, and round trips over the nasty table.
#include "support/NastyTable.h"
#include "support/RecordingSink.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"
#include "transfer/CsvFormat.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportRead.h"
#include "transfer/ImportText.h"
#include "transfer/TextFormat.h"
#include "transfer/XmlImport.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>
#include <thread>

#include <unistd.h>

using namespace quillbox;
using namespace quillbox::test;

namespace {

const QString noDelimiter = QStringLiteral("Data delimiter not found, invalid line format.");
const QString missing = QStringLiteral("Missing columns of data, invalid line format.");

QString at(int line, const QString& reason) {
    return QStringLiteral("%1: ").arg(line) + reason;
}

QString whole(const QString& reason) {
    return QStringLiteral("whole: ") + reason;
}

// What a reader reports on a file's bytes, read as the program reads a file; a file refused whole
// ends the list with "whole: " and the reason.
template <typename Read> QStringList readBytes(const QByteArray& bytes, Read read) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    DeviceLines lines(buffer);
    RecordingSink sink;
    read(lines, sink);
    if (!lines.failure().isEmpty()) {
        sink.events << QStringLiteral("whole: ") + lines.failure();
    }
    return sink.events;
}

// Reads a file as the program reads a pipe: another thread writes it in, the reader takes a piece
// at a time and never knows the size.
QString readThroughPipe(const QByteArray& file, ImportFormat format, ImportSink& sink) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return QStringLiteral("no pipe");
    }
    std::thread writer([&] {
        for (qsizetype at = 0; at < file.size();) {
            const ssize_t n = ::write(ends[1], file.constData() + at, static_cast<size_t>(file.size() - at));
            if (n <= 0) {
                break;
            }
            at += n;
        }
        ::close(ends[1]);
    });
    QFile pipe;
    pipe.open(ends[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QString refusal = readImport(pipe, format, QStringLiteral("Jo"), sink);
    pipe.readAll(); // what a refusal left unread, so the writer can finish
    writer.join();
    return refusal;
}

QStringList readText(const QByteArray& bytes) {
    return readBytes(bytes, [](LineSource& lines, ImportSink& sink) { readTextRecords(lines, sink); });
}

// Read in the program's own column order, as a file of its 29 columns is.
QStringList readCsv(const QByteArray& bytes) {
    return readBytes(bytes, [](LineSource& lines, ImportSink& sink) {
        readCsvRecords(lines, sink, "Owner", positionalCsvLayout(QLatin1Char(',')));
    });
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
    void everyWayOfReadingGivesTheSameEvents_data();
    void everyWayOfReadingGivesTheSameEvents();
    void textLineKeepsRecordOnOneLine_data();
    void textLineKeepsRecordOnOneLine();
    void textReader_data();
    void textReader();
    void csvLineQuotesAndDoubles_data();
    void csvLineQuotesAndDoubles();
    void csvReader_data();
    void csvReader();
    void csvHeaders_data();
    void csvHeaders();
    void roundTripText();
    void roundTripCsv();
    void formatFromContent_data();
    void formatFromContent();
    void linesEndAtEveryKindOfBreak();
    void unreadableRestRefusesTheFile();
    void watchedReadingCountsAndStops();
    void secondReadingWithAnotherRefusalIsRefused();
    void spilledPreviewStoresWhatTheFileHolds_data();
    void spilledPreviewStoresWhatTheFileHolds();
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
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{at(1, noDelimiter)};
    QTest::newRow("no bar") << QByteArray("just text") << QStringList{at(1, noDelimiter)};
    QTest::newRow("five bars") << pieces(6, "|") << QStringList{at(1, missing)};
    QTest::newRow("four bars") << pieces(5, "|") << QStringList{numbers(5)};
    QTest::newRow("six bars") << pieces(7, "|") << QStringList{numbers(7)};
    QTest::newRow("surplus pieces") << pieces(35, "|") << QStringList{numbers(35)};
    QTest::newRow("refused lines do not stop the file")
        << QByteArray("x\r\n1|2|3|4|5|6\r\na|b\r\n") << QStringList{at(1, noDelimiter), at(2, missing), "R:a|b"};
    QTest::newRow("tilde in notes only") << QByteArray("~|x") + QByteArray(27, '|') + "n~o~|extra"
                                         << QStringList{"R:~|x" + QString(27, '|') + "n\r\no\r\n"};
    QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBF"
                                                           "a|b")
                                             << QStringList{"R:a|b"};
    QTest::newRow("invalid UTF-8") << QByteArray("a|b\r\na\xFF|\xC3") << QStringList{whole(notUtf8Message(2))};
    QTest::newRow("Latin-1 on line 3") << QByteArray("a|b\nc|d\r\nCaf\xE9|x\n")
                                       << QStringList{whole(notUtf8Message(3))};
    QTest::newRow("cut off at the end") << QByteArray("a|\xC3") << QStringList{whole(notUtf8Message(1))};
    QTest::newRow("encoded surrogate") << QByteArray("a|\xED\xA0\x80") << QStringList{whole(notUtf8Message(1))};
    QTest::newRow("replacement character in the file kept")
        << QByteArray("a|\xEF\xBF\xBD") << QStringList{"R:a|\uFFFD"};
    QTest::newRow("NUL") << QByteArray("a\0b|c", 5) << QStringList{whole(nulBytesMessage)};
    QTest::newRow("UTF-16 LE with mark") << QByteArray("\xFF\xFE"
                                                       "C\0r\0\xE8\0m\0e\0|\0x\0\r\0\n\0",
                                                       20)
                                         << QStringList{"R:Crème|x"};
    QTest::newRow("UTF-16 BE with mark") << QByteArray("\xFE\xFF\0a\0|\0\xE9", 8) << QStringList{"R:a|é"};
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
    QTest::newRow("one field") << QByteArray("\"a\"\r\n") << QStringList{at(1, noDelimiter)};
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{at(1, noDelimiter)};
    QTest::newRow("five fields") << pieces(5, "\",\"", "\"", "\"") << QStringList{at(1, missing)};
    QTest::newRow("four fields") << pieces(4, "\",\"", "\"", "\"") << QStringList{numbers(4)};
    QTest::newRow("six fields") << pieces(6, "\",\"", "\"", "\"") << QStringList{numbers(6)};
    QTest::newRow("surplus fields") << pieces(31, "\",\"", "\"", "\"") << QStringList{numbers(31)};
    QTest::newRow("29 fields as written before") << pieces(29, "\",\"", "\"", "\"\r\n") << QStringList{numbers(29)};
    QTest::newRow("doubled quotes") << QByteArray("\"say \"\"hi\"\"\",\"x\"") << QStringList{"R:say \"hi\"|x"};
    QTest::newRow("comma inside") << QByteArray("\"a,b\",\"c\"") << QStringList{"R:a,b|c"};
    QTest::newRow("quote comma quote inside") << QByteArray("\"a\"\",\"\"b\",\"c\"") << QStringList{"R:a\",\"b|c"};
    QTest::newRow("multi-line notes") << QByteArray("\"a\",\"line1\r\nline2\rline3\nend\"\r\n\"b\",\"c\"\r\n")
                                      << QStringList{"R:a|line1\r\nline2\rline3\nend", "R:b|c"};
    // A file cut inside a quoted value: its later lines are that value, not records.
    QTest::newRow("quote never closed refuses the file")
        << QByteArray("\"a\",\"b\r\nc,d\r\n") << QStringList{whole(unclosedQuoteAtEndMessage(1))};
    QTest::newRow("own file cut inside a note")
        << QByteArray("\"a\",\"b\"\r\n\"Site\",\"line 1\r\nline 2\r\n still note")
        << QStringList{"R:a|b", whole(unclosedQuoteAtEndMessage(2))};
    QTest::newRow("a later quote closes a value over lines")
        << QByteArray("\"a\",\"b\r\n\"c\",\"d\"\r\n") << QStringList{"R:a|b\r\n\"c|d"};
    QTest::newRow("unquoted fields") << QByteArray("a,b,c\r\n") << QStringList{"R:a|b|c"};
    QTest::newRow("undoubled quote inside") << QByteArray("\"p\"w\",\"x\"") << QStringList{"R:p\"w|x"};
    QTest::newRow("undoubled quotes around a word")
        << QByteArray("\"He said \"hi\" to me\",\"x\"") << QStringList{"R:He said \"hi\" to me|x"};
    QTest::newRow("doubled quote before the closing one") << QByteArray("\"a\"\"\",\"x\"") << QStringList{"R:a\"|x"};
    QTest::newRow("trailing comma") << QByteArray("\"a\",\"b\",\r\n") << QStringList{"R:a|b"};
    QTest::newRow("refused records do not stop the file")
        << QByteArray("x\r\n\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\"a\",\"b\"")
        << QStringList{at(1, noDelimiter), at(2, missing), "R:a|b"};
    QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBF\"a\",\"b\"") << QStringList{"R:a|b"};
    // U+FEFF is a character like any other inside the text: only the file's own mark is skipped.
    QTest::newRow("mark then a value's U+FEFF") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF"
                                                              "a,\"\xEF\xBB\xBF"
                                                              "b\"\r\n\xEF\xBB\xBF"
                                                              "c,d")
                                                << QStringList{"R:\uFEFFa|\uFEFFb", "R:\uFEFFc|d"};
    QTest::newRow("UTF-16 mark then a value's U+FEFF") << QByteArray("\xFF\xFE\xFF\xFE"
                                                                     "a\0,\0b\0",
                                                                     10)
                                                       << QStringList{"R:\uFEFFa|b"};
    QTest::newRow("invalid UTF-8") << QByteArray("\"\xFF\",\"\xC3\"") << QStringList{whole(notUtf8Message(1))};
    // Half a surrogate pair is no text; a whole pair cut by the end of a piece of reading is.
    const auto utf16 = [](const QString& text) {
        return "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    QTest::newRow("UTF-16 lone surrogate") << utf16("\"a\",\"b\"\r\n\"c\",\"" + QString(QChar(0xD800)) + "\"")
                                           << QStringList{whole(loneSurrogateMessage(2))};
    const QString longValue = QString(524284, QLatin1Char('x')) + QStringLiteral("\U0001F600");
    QTest::newRow("UTF-16 pair across pieces")
        << utf16("\"" + longValue + "\",\"b\"") << QStringList{"R:" + longValue + "|b"};
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << QStringList{whole(nulBytesMessage)};
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
    readCsvRecords(file, sink);
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

void LineFormatsTest::csvHeaders_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("records"); // non-empty fields, the four usual labels left out
    QTest::addColumn<QString>("mapping");     // the command line's choice of columns, if any
    QTest::newRow("browser: name,url,username,password,note")
        << QByteArray("name,url,username,password,note\r\nBank,https://bank.example/login,ann,pw,my note\r\n")
        << QStringList{"sitename=Bank; username=ann; password=pw; homepage=https://bank.example/login; "
                       "category=Imported; owner=Owner; notes=my note"}
        << QString();
    QTest::newRow("logins without a title: the host names the site")
        << QByteArray(
               "url,username,password,httpRealm,formActionOrigin,guid,timeCreated,timeLastUsed,"
               "timePasswordChanged\r\nhttps://mail.example:8443/x,bob,\"p,w\",,https://mail.example,{g1},17,18,19\r\n")
        << QStringList{"sitename=mail.example; username=bob; password=p,w; homepage=https://mail.example:8443/x; "
                       "lmisc1=formActionOrigin; misc1=https://mail.example; lmisc2=guid; misc2={g1}; "
                       "lmisc3=timeCreated; misc3=17; lmisc4=timeLastUsed; misc4=18; lmisc5=timePasswordChanged; "
                       "misc5=19; category=Imported; owner=Owner"}
        << QString();
    QTest::newRow("folder becomes the category")
        << QByteArray("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,"
                      "login_totp\r\nWork,1,login,Git,,,0,https://git.example,dev,s3cret,otpauth://totp/x\r\n"
                      ",,login,Blog,hi,,0,https://blog.example,me,pw,\r\n")
        << QStringList{"sitename=Git; username=dev; password=s3cret; homepage=https://git.example; lmisc1=favorite; "
                       "misc1=1; lmisc2=type; misc2=login; lmisc3=reprompt; misc3=0; lmisc4=login_totp; "
                       "misc4=otpauth://totp/x; category=Work; owner=Owner",
                       "sitename=Blog; username=me; password=pw; homepage=https://blog.example; lmisc1=type; "
                       "misc1=login; lmisc2=reprompt; misc2=0; category=Imported; owner=Owner; notes=hi"}
        << QString();
    QTest::newRow("semicolons, recognised by the header")
        << QByteArray("Group;Title;Username;Password;URL;Notes;TOTP;Icon;Last Modified;Created\r\n"
                      "Root/Mail;Mail;me;\"p;w\";https://m.example;;;0;2024-01-01;2023-01-01\r\n\r\n")
        << QStringList{"sitename=Mail; username=me; password=p;w; homepage=https://m.example; lmisc1=Icon; misc1=0; "
                       "lmisc2=Last Modified; misc2=2024-01-01; lmisc3=Created; misc3=2023-01-01; category=Root/Mail; "
                       "owner=Owner"}
        << QString();
    QTest::newRow("Title,URL,Username,Password,Notes,OTPAuth")
        << QByteArray("Title,URL,Username,Password,Notes,OTPAuth\r\nShop,https://shop.example,me,pw,,\r\n")
        << QStringList{"sitename=Shop; username=me; password=pw; homepage=https://shop.example; category=Imported; "
                       "owner=Owner"}
        << QString();
    // Other keepers' exports, as their header lines name the columns.
    QTest::newRow("type,name,url,email,username,password,note,totp,...,vault")
        << QByteArray("type,name,url,email,username,password,note,totp,createTime,modifyTime,vault\r\n"
                      "login,Bank,https://bank.example,a@x.example,ann,pw,hi,,1700,1800,Personal\r\n")
        << QStringList{"sitename=Bank; username=ann; password=pw; homepage=https://bank.example; lmisc1=type; "
                       "misc1=login; lmisc2=email; misc2=a@x.example; lmisc3=createTime; misc3=1700; "
                       "lmisc4=modifyTime; misc4=1800; category=Personal; owner=Owner; notes=hi"}
        << QString();
    QTest::newRow("Name,Url,MatchUrl,Login,Pwd,Note,Folder,RfFieldsV2")
        << QByteArray("Name,Url,MatchUrl,Login,Pwd,Note,Folder,RfFieldsV2\r\n"
                      "Mail,https://mail.example,https://mail.example,bob,s3cret,n,/Work,\r\n")
        << QStringList{"sitename=Mail; username=bob; password=s3cret; homepage=https://mail.example; "
                       "lmisc1=MatchUrl; misc1=https://mail.example; category=/Work; owner=Owner; notes=n"}
        << QString();
    QTest::newRow("url,username,password,totp,extra,name,grouping,fav")
        << QByteArray("url,username,password,totp,extra,name,grouping,fav\r\n"
                      "https://shop.example,me,pw,,\"line 1\nline 2\",Shop,Fun,0\r\n")
        << QStringList{"sitename=Shop; username=me; password=pw; homepage=https://shop.example; lmisc1=fav; misc1=0; "
                       "category=Fun; owner=Owner; notes=line 1\nline 2"}
        << QString();
    QTest::newRow("username,username2,username3,title,password,note,url,category,otpSecret")
        << QByteArray("username,username2,username3,title,password,note,url,category,otpSecret\r\n"
                      "jo,,,Forum,pw,,https://forum.example,Social,\r\n")
        << QStringList{"sitename=Forum; username=jo; password=pw; homepage=https://forum.example; category=Social; "
                       "owner=Owner"}
        << QString();
    QTest::newRow("name,url,additional_urls,username,password,note,...,folder")
        << QByteArray("name,url,additional_urls,username,password,note,cardholdername,cardnumber,cvc,pin,expirydate,"
                      "zipcode,folder,full_name,phone_number,email,address1,address2,city,country,state,type,"
                      "custom_fields\r\nWiki,https://wiki.example,,kim,pw,,,,,,,,Docs,,,,,,,,,password,\r\n")
        << QStringList{"sitename=Wiki; username=kim; password=pw; homepage=https://wiki.example; lmisc1=type; "
                       "misc1=password; category=Docs; owner=Owner"}
        << QString();
    QTest::newRow("own column names, in any order")
        << QByteArray("notes,owner,category,sitename,lsitename,password\r\n\"a\r\nb\",Jo,,Bank,Label,pw\r\n")
        << QStringList{"lsitename=Label; sitename=Bank; password=pw; owner=Jo; notes=a\r\nb"} << QString();
    QTest::newRow("more columns than free fields: the rest in the notes")
        << QByteArray("name,password,c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11\r\nS,p,1,2,3,4,5,6,7,8,9,10,11,12\r\n")
        << QStringList{"sitename=S; password=p; lmisc1=c1; misc1=1; lmisc2=c2; misc2=2; lmisc3=c3; misc3=3; "
                       "lmisc4=c4; misc4=4; lmisc5=c5; misc5=5; lmisc6=c6; misc6=6; lmisc7=c7; misc7=7; lmisc8=c8; "
                       "misc8=8; lmisc9=c9; misc9=9; category=Imported; owner=Owner; "
                       "notes=c10: 10\r\nc11: 11\r\nColumn 14: 12"}
        << QString();
    // Files without a header: the first record tells the layout, or the columns have to be named.
    QTest::newRow("no header, the program's 29 columns")
        << QByteArray("Site name,Bank,User name,ann") + QByteArray(25, ',') + "\r\n"
        << QStringList{"sitename=Bank; username=ann"} << QString();
    QTest::newRow("no header, 31 columns")
        << pieces(31, ",") << QStringList{whole(csvUnknownLayoutMessage(31))} << QString();
    QTest::newRow("no header, 3 columns")
        << QByteArray("a;b;c\r\n") << QStringList{whole(csvUnknownLayoutMessage(3))} << QString();
    QTest::newRow("folder,title,login,password,address,notes,pairs")
        << QByteArray("Work,Bank,ann,pw,https://bank.example,\"my\nnote\",PIN,1234,Security Q,blue\n"
                      ",Shop,me,pw2,,,,\n")
        << QStringList{"sitename=Bank; username=ann; password=pw; homepage=https://bank.example; lmisc1=PIN; "
                       "misc1=1234; lmisc2=Security Q; misc2=blue; category=Work; owner=Owner; notes=my\nnote",
                       "sitename=Shop; username=me; password=pw2; category=Imported; owner=Owner"}
        << QString();
    QTest::newRow("title, then label and value pairs, then the note")
        << QByteArray("Mail,Username,bob,Password,s3cret,Website,https://mail.example,Security question,pet,a note\n"
                      "Forum,Password,x,E-mail,jo@forum.example\n")
        << QStringList{"sitename=Mail; username=bob; password=s3cret; homepage=https://mail.example; "
                       "lmisc1=Security question; misc1=pet; category=Imported; owner=Owner; notes=a note",
                       "sitename=Forum; username=jo@forum.example; password=x; category=Imported; owner=Owner"}
        << QString();
    QTest::newRow("another keeper's export cut inside a note")
        << QByteArray("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,"
                      "login_totp\n,,login,Bank,\"first\nsecond\nthird")
        << QStringList{whole(unclosedQuoteAtEndMessage(2))} << QString();
    // The columns as the user names them: by header, by number, the rest kept under their names.
    QTest::newRow("named by header, one left out")
        << QByteArray("Site;Login;Secret;Extra;More\r\nBank;ann;pw;x;y\r\n")
        << QStringList{"sitename=Bank; username=ann; password=pw; lmisc1=More; misc1=y; category=Imported; "
                       "owner=Owner"}
        << QStringLiteral("Site=sitename,login=username,4=ignore,Secret=password");
    QTest::newRow("columns the header's words suggest")
        << QByteArray("Site;User;Pass phrase;Web;Extra\r\nBank;ann;pw;https://b.example;x\r\n")
        << QStringList{"sitename=Bank; username=ann; password=pw; homepage=https://b.example; category=Imported; "
                       "owner=Owner; notes=x"}
        << QStringLiteral("Extra=notes");
    QTest::newRow("no header, by number")
        << QByteArray("Bank,ann,https://b.example,9\n")
        << QStringList{"sitename=Bank; homepage=https://b.example; lmisc1=Column 2; misc1=ann; lmisc2=Column 4; "
                       "misc2=9; category=Imported; owner=Owner"}
        << QStringLiteral("--no-header 1=sitename,3=homepage");
    QTest::newRow("a known header, one column moved")
        << QByteArray("name,url,username,password,note\r\nBank,https://bank.example/login,ann,pw,my note\r\n")
        << QStringList{"sitename=Bank; username=ann; password=pw; homepage=https://bank.example/login; "
                       "lmisc3=note; misc3=my note; category=Imported; owner=Owner"}
        << QStringLiteral("note=misc3");
    QTest::newRow("the program's 29 columns, one moved")
        << QByteArray("Site name,Bank,User name,ann") + QByteArray(25, ',') + "\r\n"
        << QStringList{"sitename=Bank; notes=ann"} << QStringLiteral("4=notes");
    QTest::newRow("no such field") << QByteArray("a,b\n")
                                   << QStringList{"whole: \"nosuch\" is no field; the fields "
                                                  "are " +
                                                  csvTargetNames().join(", ") + "."}
                                   << QStringLiteral("--no-header 2=nosuch");
    QTest::newRow("a header whose quote never closes")
        << QByteArray("\"Site;Login\r\nBank;ann\r\n") << QStringList{whole(unclosedQuoteAtEndMessage(1))}
        << QStringLiteral("1=sitename");
    QTest::newRow("no such column") << QByteArray("a,b\n") << QStringList{"whole: The file has no column \"c\"."}
                                    << QStringLiteral("c=notes");
}

void LineFormatsTest::csvHeaders() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, records);
    QFETCH(QString, mapping);
    QByteArray copy = input;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QStringList got;
    ImportOptions options;
    if (!mapping.isEmpty()) {
        // As the command line gives it: applied to the layout the file shows, once it is read.
        const QString noHeader = QStringLiteral("--no-header ");
        if (mapping.startsWith(noHeader)) {
            options.csvChoice.header = false;
        }
        options.csvChoice.mapping = mapping.remove(noHeader);
    }
    RecordingSink sink;
    const QString refusal = readImport(buffer, ImportFormat::Csv, QStringLiteral("Owner"), sink, options);
    const QStringList usualLabels{"Site name", "User name", "Password", "Home page"};
    for (const SiteRecord& r : sink.records) {
        QStringList fields;
        for (int k = 0; k < Col::TextColumns; ++k) {
            if (!r[k].isEmpty() && !(k < 8 && k % 2 == 0 && r[k] == usualLabels[k / 2])) {
                fields << columnNames()[k] + QLatin1Char('=') + r[k];
            }
        }
        got << fields.join(QStringLiteral("; "));
    }
    if (!refusal.isEmpty()) {
        got << whole(refusal);
    }
    QCOMPARE(got, records);
    QCOMPARE(sink.events.size(), sink.records.size()); // nothing refused, the header no record
    // The layout used is told, but for the program's own order.
    if (!sink.records.isEmpty()) {
        QCOMPARE(sink.columns.isEmpty(),
                 QTest::currentDataTag() == QLatin1String("no header, the program's 29 columns"));
    }
}

void LineFormatsTest::everyWayOfReadingGivesTheSameEvents_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("format");
    // Long enough for many hand-overs, with refused lines among the records.
    QByteArray text;
    QByteArray csv = "Site name,User name,Password\n";
    for (int i = 0; i < 2000; ++i) {
        text += i % 7 == 0 ? QByteArray("no delimiter here\n") : "a|Site " + QByteArray::number(i) + "|x\n";
        csv += "Site " + QByteArray::number(i) + (i % 9 == 0 ? ",\"unclosed\n" : ",u,p\n");
    }
    QTest::newRow("text") << text << int(ImportFormat::Text);
    QTest::newRow("csv") << csv << int(ImportFormat::Csv);
    QTest::newRow("xml broken in the middle")
        << QByteArray("<Quillbox><record><sitename>a</sitename></record><record><sitename>b</site></record>")
        << int(ImportFormat::Xml);
    QByteArray xml = "<?xml version=\"1.0\"?>\r\n<Quillbox>\r\n";
    for (int i = 0; i < 1000; ++i) {
        xml += "<SiteItem><sitename>\r\n      Caf\xC3\xA9 " + QByteArray::number(i) + "\r\n    </sitename>" +
               (i % 11 == 0 ? "<nosuch>x</nosuch>" : "<notes>a &amp; b\r\n c</notes>") +
               "<record>1</record></SiteItem>";
    }
    QTest::newRow("xml") << xml + "</Quillbox>" << int(ImportFormat::Xml);
    QTest::newRow("bookmarks") << QByteArray("<DL><p><DT><A HREF=\"https://a.example/\">A \xE2\x86\x92</A>\n"
                                             "<DD>about a\n<DT><A HREF=\"https://b.example/\">B</A>\n</DL>")
                               << int(ImportFormat::Bookmarks);
    // Values whose lengths take more than one byte, and more than two, in what the preview keeps.
    QTest::newRow("text, long values") << "a|" + QByteArray(200, 'b') + "|" + QByteArray(20000, 'c') + "|d\n" + text
                                       << int(ImportFormat::Text);
    // Longer than one piece of reading: a pipe must be read to its end, not to where it ran dry.
    QTest::newRow("text, several pieces") << text.repeated(100) << int(ImportFormat::Text);
    QTest::newRow("xml, several pieces")
        << "<Quillbox>" +
               QByteArray("<SiteItem><sitename>s</sitename><notes>n</notes><record>1</record></SiteItem>\n")
                   .repeated(40000) +
               "</Quillbox>"
        << int(ImportFormat::Xml);
}

void LineFormatsTest::everyWayOfReadingGivesTheSameEvents() {
    QFETCH(QByteArray, file);
    QFETCH(int, format);
    RecordingSink direct;
    RecordingSink alongside;
    QBuffer one(&file);
    QBuffer two(&file);
    QVERIFY(one.open(QIODevice::ReadOnly) && two.open(QIODevice::ReadOnly));
    const QString refusal = readImport(one, ImportFormat(format), QStringLiteral("Jo"), direct);
    QCOMPARE(readImportAlongside(two, ImportFormat(format), QStringLiteral("Jo"), alongside), refusal);
    QCOMPARE(alongside.events, direct.events);
    QCOMPARE(alongside.columns, direct.columns);
    RecordingSink piped;
    QCOMPARE(readThroughPipe(file, ImportFormat(format), piped), refusal);
    QCOMPARE(piped.events.size(), direct.events.size());
    QCOMPARE(piped.events, direct.events);
    if (!refusal.isEmpty()) {
        return;
    }
    // Storing after a preview: from what the preview kept, even when the file has changed since;
    // from a second reading when the preview could keep too little.
    for (const qsizetype limit : {ImportPreview::defaultKeepLimit, qsizetype{1000}}) {
        ImportPreview preview(limit);
        QVERIFY(one.seek(0));
        QCOMPARE(readImport(one, ImportFormat(format), QStringLiteral("Jo"), preview), refusal);
        QCOMPARE(preview.keptAll(), limit > 1000);
        QByteArray changed = file.first(file.size() / 2);
        QBuffer later(&changed);
        QVERIFY(later.open(QIODevice::ReadOnly));
        RecordingSink stored;
        const QString read = replayImport(preview, later, ImportFormat(format), QStringLiteral("Jo"), stored, false);
        if (preview.keptAll()) {
            QCOMPARE(read, QString());
            QCOMPARE(stored.events, direct.events);
        } else {
            QVERIFY(!read.isEmpty()); // read again, the file no longer gives what the preview showed
            QBuffer same(&file);
            QVERIFY(same.open(QIODevice::ReadOnly));
            RecordingSink again;
            QCOMPARE(replayImport(preview, same, ImportFormat(format), QStringLiteral("Jo"), again, false), QString());
            QCOMPARE(again.events, direct.events);
            // A stream cannot be read a second time: refused, nothing handed on.
            int ends[2];
            QVERIFY(::pipe(ends) == 0);
            ::close(ends[1]);
            QFile stream;
            QVERIFY(stream.open(ends[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
            RecordingSink none;
            QCOMPARE(replayImport(preview, stream, ImportFormat(format), QStringLiteral("Jo"), none, false),
                     streamTooLongMessage);
            QVERIFY(none.events.isEmpty());
        }
    }
}

// The second reading must find what the preview found: as many records, and as many refused
// lines. A line turned into junk since (the records the same) is a changed file too.
void LineFormatsTest::secondReadingWithAnotherRefusalIsRefused() {
    QByteArray file;
    for (int i = 0; i < 20; ++i) {
        file += textLine(makeRecord(QStringLiteral("Site %1").arg(i), "u", "p", "h", "C", "Jo")).toUtf8() + "\r\n";
    }
    ImportPreview preview(100); // too little to keep it all: storing reads the file again
    QBuffer first(&file);
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(readImport(first, ImportFormat::Text, QString(), preview), QString());
    QVERIFY(!preview.keptAll());
    QByteArray changed = file + "junk that is no record\r\n";
    QBuffer later(&changed);
    QVERIFY(later.open(QIODevice::ReadOnly));
    RecordingSink stored;
    QCOMPARE(replayImport(preview, later, ImportFormat::Text, QString(), stored, false), changedSincePreviewMessage);
}

// Past its memory limit a preview keeps what it read in a scratch file that no one else can
// reach: it hands over exactly what a direct reading gives, an XML file's two halves included,
// and leaves nothing in the folder. A full disk falls back to reading the file again; a file
// broken late is refused as it always was.
void LineFormatsTest::spilledPreviewStoresWhatTheFileHolds_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("spill"); // "folder", "full disk" or none
    QTest::addColumn<bool>("kept");
    QTest::addColumn<int>("limit"); // of what the preview keeps in memory
    QByteArray text;
    for (int i = 0; i < 100000; ++i) {
        text += i % 7 == 0 ? QByteArray("no delimiter here\n") : "a|Site " + QByteArray::number(i) + "|x|\xC3\xA9\n";
    }
    QByteArray items;
    for (int i = 0; i < 100000; ++i) {
        items += "<SiteItem><sitename>\r\n      Site " + QByteArray::number(i) + "\r\n    </sitename>" +
                 (i % 11 == 0 ? "<nosuch>x</nosuch>" : "<notes>a &amp; b</notes>") + "</SiteItem>\r\n";
    }
    const QByteArray xml = "<?xml version=\"1.0\"?>\r\n<Quillbox>\r\n" + items + "</Quillbox>\r\n";
    const QByteArray brokenLate = "<Quillbox>\r\n" + items + "<SiteItem><sitename>z</site></SiteItem></Quillbox>";
    QTest::newRow("text") << text << int(ImportFormat::Text) << "folder" << true << 1000;
    QTest::newRow("text, no folder") << text << int(ImportFormat::Text) << "" << false << 1000;
    QTest::newRow("text, full disk") << text << int(ImportFormat::Text) << "full disk" << false << 1000;
    QTest::newRow("xml, both halves") << xml << int(ImportFormat::Xml) << "folder" << true << 1000;
    QTest::newRow("xml, both halves in memory") << xml << int(ImportFormat::Xml) << "folder" << true << (64 << 20);
    QTest::newRow("xml, full disk") << xml << int(ImportFormat::Xml) << "full disk" << false << 1000;
    QTest::newRow("xml broken late") << brokenLate << int(ImportFormat::Xml) << "folder" << true << 1000;
    QTest::newRow("xml broken late, full disk") << brokenLate << int(ImportFormat::Xml) << "full disk" << false << 1000;
}

void LineFormatsTest::spilledPreviewStoresWhatTheFileHolds() {
    QFETCH(QByteArray, file);
    QFETCH(int, format);
    QFETCH(QString, spill);
    QFETCH(bool, kept);
    QFETCH(int, limit);
    QTemporaryDir dir;
    const QString folder = spill.isEmpty() ? QString() : dir.filePath(QStringLiteral("Temporary"));
    std::optional<SmallDisk> disk;
    if (spill == QLatin1String("full disk")) {
        disk.emplace(folder, 256 * 1024); // less than what is kept: the disk fills while spilling
        QUILLBOX_REQUIRE_MOUNTED(*disk);
    }
    // An XML file is cut in its middle, and its second half spills too.
    const auto read = [&](QBuffer& device, ImportSink& sink) {
        if (format != int(ImportFormat::Xml)) {
            return readImport(device, ImportFormat(format), QStringLiteral("Jo"), sink);
        }
        const XmlReadResult result = readXmlRecords(device, sink, {file.size() / 2, 1 << 16, limit});
        return result.wellFormed ? QString() : xmlNotWellFormedMessage(result);
    };
    QBuffer one(&file);
    QVERIFY(one.open(QIODevice::ReadOnly));
    RecordingSink direct;
    const QString refusal = readImport(one, ImportFormat(format), QStringLiteral("Jo"), direct);
    const auto leftInFolder = [&] {
        return folder.isEmpty() ? QStringList() : QDir(folder).entryList(QDir::Files | QDir::Hidden);
    };
    {
        ImportPreview preview(limit, folder);
        QVERIFY(one.seek(0));
        QCOMPARE(read(one, preview), refusal);
        QCOMPARE(preview.keptAll(), kept);
        QCOMPARE(preview.spilled(), kept && limit == 1000);
        // What it tells before storing: the counts, and the lines refused (the second half's
        // counted on from the cut).
        QStringList refused;
        for (const QString& event : direct.events) {
            if (!event.startsWith(QLatin1String("R:"))) {
                refused << event;
            }
        }
        QCOMPARE(preview.recordCount(), direct.records.size());
        QCOMPARE(preview.refusedCount(), refused.size());
        QStringList told;
        for (const RefusedLine& line : preview.refusals()) {
            told << QStringLiteral("%1: ").arg(line.line) + line.reason;
        }
        QCOMPARE(told, refused.mid(0, ImportPreview::refusalsKept));
        QCOMPARE(leftInFolder(), QStringList()); // nameless, or owner-only and gone
        if (refusal.isEmpty()) {
            QBuffer again(&file);
            QVERIFY(again.open(QIODevice::ReadOnly));
            RecordingSink stored;
            QCOMPARE(replayImport(preview, again, ImportFormat(format), QStringLiteral("Jo"), stored, true), QString());
            QCOMPARE(stored.events, direct.events);
        } else {
            QVERIFY(refusal.startsWith(QLatin1String("The XML file is not well-formed")));
        }
    }
    if (disk) {
        disk.reset(); // nothing left on it either
    }
    QCOMPARE(leftInFolder(), QStringList());
}

// A file whose first lines read and whose rest cannot (a failing disk) is refused whole, not
// taken as ending where the reading failed.
void LineFormatsTest::unreadableRestRefusesTheFile() {
    struct FailingAfter : QIODevice {
        QByteArray head = "a|b\r\nc|d\r\n";
        qint64 size() const override { return 1000; }
        qint64 readData(char* to, qint64 n) override {
            if (pos() >= head.size()) {
                setErrorString(QStringLiteral("Input/output error"));
                return -1;
            }
            n = std::min(n, head.size() - pos());
            std::memcpy(to, head.constData() + pos(), static_cast<size_t>(n));
            return n;
        }
        qint64 writeData(const char*, qint64) override { return -1; }
    };
    for (const ImportFormat format : {ImportFormat::Text, ImportFormat::Csv, ImportFormat::Bookmarks}) {
        FailingAfter device;
        QVERIFY(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        RecordingSink sink;
        ImportOptions options; // the bars are no CSV layout, but read as the program's own columns
        options.csvLayout = positionalCsvLayout(QLatin1Char(','));
        QCOMPARE(readImport(device, format, QStringLiteral("Jo"), sink, options),
                 QStringLiteral("The file could not be read: Input/output error"));
    }
}

// The window's first reading runs on a thread of its own, through a device that tells how far it
// has come and stops when the user cancels.
void LineFormatsTest::watchedReadingCountsAndStops() {
    QByteArray text = QByteArray("a|Site|x\n").repeated(400000); // several pieces of reading
    for (const bool stop : {false, true}) {
        QBuffer buffer(&text);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        WatchedDevice device(buffer);
        QVERIFY(device.openToRead());
        RecordingSink sink;
        if (stop) {
            device.stop();
        }
        const QString refusal = readImport(device, ImportFormat::Text, QString(), sink);
        QCOMPARE(refusal, stop ? "The file could not be read: " + readingStoppedMessage : QString());
        QCOMPARE(sink.records.size(), stop ? 0 : 400000);
        QCOMPARE(device.bytesRead(), stop ? 0 : text.size());
    }
}

void LineFormatsTest::formatFromContent_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("named");
    QTest::addColumn<int>("found");
    const int text = int(ImportFormat::Text), csv = int(ImportFormat::Csv), xml = int(ImportFormat::Xml),
              bookmarks = int(ImportFormat::Bookmarks);
    QTest::newRow("XML declaration") << QByteArray("<?xml version=\"1.0\"?>\r\n<Quillbox>") << csv << xml;
    QTest::newRow("XML root element after a mark") << QByteArray("\xEF\xBB\xBF\r\n<Quillbox><SiteItem>") << text << xml;
    QTest::newRow("bookmark DOCTYPE") << QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL>") << csv << bookmarks;
    QTest::newRow("bookmark links without DOCTYPE") << QByteArray("<dl><dt><a href=\"x\">X</a>") << xml << bookmarks;
    QTest::newRow("UTF-16 with tabs") << QByteArray("\xFF\xFE"
                                                    "a\0\t\0b\0\t\0c\0",
                                                    12)
                                      << xml << csv;
    QTest::newRow("semicolons, no header") << QByteArray("\"a\";\"b\";\"c\"\r\n") << text << csv;
    QTest::newRow("own text named CSV") << QByteArray("Site name|Bank|User name|ann|\r\n") << csv << text;
    QTest::newRow("own CSV named text") << QByteArray("\"Site name\",\"Bank\",\"User name\"\r\n") << text << csv;
    QTest::newRow("bars and commas alike keep the name") << QByteArray("a|b,c\n") << text << text;
    QTest::newRow("words only keep the name") << QByteArray("just words\n") << text << text;
    QTest::newRow("empty keeps the name") << QByteArray() << xml << xml;
}

void LineFormatsTest::formatFromContent() {
    QFETCH(QByteArray, head);
    QFETCH(int, named);
    QFETCH(int, found);
    QCOMPARE(int(detectImportFormat(head, ImportFormat(named))), found);
}

QTEST_GUILESS_MAIN(LineFormatsTest)
#include "tst_lineformats.moc"
