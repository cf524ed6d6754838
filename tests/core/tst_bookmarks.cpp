// Bookmark files: the lines that count, titles with their tags stripped and text cleaned,
// descriptions directly below, and the owner taken from the home folder.
#include "support/Files.h"
#include "transfer/Bookmarks.h"
#include "transfer/ImportText.h"

#include <QBuffer>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

QStringList describe(const QList<BookmarkEntry>& entries) {
    QStringList out;
    for (const BookmarkEntry& e : entries) {
        out << e.title + QLatin1String(" | ") + e.address + QLatin1String(" | ") + e.description;
    }
    return out;
}

// The bookmarks read from a device as the import reads a file, then "whole: " and the reason
// when the file was refused.
QStringList readDevice(QIODevice& device) {
    DeviceLines lines(device, DeviceLines::Markup::Html);
    QList<BookmarkEntry> entries;
    readBookmarks(lines, QStringLiteral("tester"), [&](const BookmarkEntry& e) { entries.append(e); });
    QStringList out = describe(entries);
    if (!lines.failure().isEmpty()) {
        out << QStringLiteral("whole: ") + lines.failure();
    }
    return out;
}

QStringList readDataFile(const char* name) {
    QFile file(dataPath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return readDevice(file);
}

} // namespace

class BookmarksTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firefoxFile();
    void chromeFile();
    void lowerCaseTagsAreBookmarks();
    void encodings_data();
    void encodings();
    void lines_data();
    void lines();
    void tagStripping_data();
    void tagStripping();
    void cleaning_data();
    void cleaning();
    void owner_data();
    void owner();
    void recordLayout();
};

void BookmarksTest::firefoxFile() {
    QCOMPARE(readDataFile("bookmarks-firefox.html"),
             (QStringList{"Bank & Trust | https://bank.example/login?user=1&lang=en | Main account <savings> \"joint\"",
                          "News | https://news.example/ | ", "Mail | https://mail.example/ | ",
                          "Café – menu | https://café.example/menu | First line of a description\r\nthat goes on",
                          "Recently Used Tags | place:sort=8&maxResults=10 | "}));
    for (const BookmarkEntry& e : readBookmarks(u"<DT><A HREF=\"x\">T</A>", QStringLiteral("tester"))) {
        QCOMPARE(e.category, QStringLiteral("InterNet BookMark"));
        QCOMPARE(e.owner, QStringLiteral("tester"));
    }
}

void BookmarksTest::chromeFile() {
    QCOMPARE(readDataFile("bookmarks-chrome.html"),
             (QStringList{"Example | https://www.example.com/ | ",
                          "Intranet \"Home\" &amp; more | https://intranet.example/a?x=1&y=2 | ",
                          "Shop | https://shop.example/ | ", "O'Brien's page | https://wiki.example/O%27Brien | "}));
}

void BookmarksTest::lowerCaseTagsAreBookmarks() {
    QCOMPARE(readDataFile("bookmarks-lowercase.html"),
             QStringList{"Lower case | https://lower.example/ | Not seen either"});
}

void BookmarksTest::encodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("read");
    const QByteArray line = "<DT><A HREF=\"https://caf\xE9.example/?a=1&amp;b=2\">Caf\xE9 \x80</A>\n";
    QTest::newRow("declared windows-1252")
        << "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n" + line
        << QStringList{"Café € | https://café.example/?a=1&b=2 | "};
    QTest::newRow("declared Shift_JIS, a byte not in it")
        << QByteArray("<META CONTENT=\"text/html; charset=Shift_JIS\">\n<DT><A HREF=\"x\">\x93\xFA</A>\n<DD>\x81\x20")
        << QStringList{"whole: " + notInEncodingMessage(3, "Shift_JIS")};
    QTest::newRow("declared charset unknown")
        << "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=x-klingon\">\n" + line
        << QStringList{"whole: " + unknownEncodingMessage("x-klingon")};
    QTest::newRow("undeclared Latin-1 refused")
        << "<TITLE>Bookmarks</TITLE>\n" + line << QStringList{"whole: " + notUtf8Message(2)};
    QTest::newRow("UTF-16 LE with mark") << QByteArray(
                                                "\xFF\xFE<\0D\0T\0>\0<\0A\0 \0H\0R\0E\0F\0=\0\"\0x\0\"\0>\0\xE9\0", 36)
                                         << QStringList{"é | x | "};
}

void BookmarksTest::encodings() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, read);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QCOMPARE(readDevice(buffer), read);
}

void BookmarksTest::lines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("header lines only") << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>B</H1>"
                                       << QStringList();
    QTest::newRow("title cut of .url in any case")
        << "<DT><A HREF=\"a\">One.Url</A>\r\n<DT><A HREF=\"b\">.url</A>\r<DT><A HREF=\"c\">url</A>"
        << QStringList{"One | a | ", " | b | ", "url | c | "};
    QTest::newRow("markup inside the title")
        << "<DT><A HREF=\"x\"><B>Bold</B> and <I>slanted</I></A>" << QStringList{"Bold and slanted | x | "};
    QTest::newRow("address without a second quote") << "<DT><A HREF=\"open>T" << QStringList{"T | open>T | "};
    QTest::newRow("address without quotes") << "<DT><A HREF=x>T</A>" << QStringList{"T |  | "};
    QTest::newRow("description directly below only once")
        << "<DT><A HREF=\"x\">T</A>\n<DD>first\n<DD>second" << QStringList{"T | x | first"};
    QTest::newRow("description after an empty line ignored")
        << "<DT><A HREF=\"x\">T</A>\n\n<DD>far" << QStringList{"T | x | "};
    QTest::newRow("description goes to the last bookmark")
        << "<DT><A HREF=\"x\">T</A>\n<DT><A HREF=\"y\">U</A>\n<DD>mine" << QStringList{"T | x | ", "U | y | mine"};
    QTest::newRow("tags matched in any case")
        << "<dt><a href=\"x\">t</a>\n<DT><a href=\"y\">u</a>\n<dd>d" << QStringList{"t | x | ", "u | y | d"};
    QTest::newRow("description over lines, to the next bookmark")
        << "<DT><A HREF=\"x\">T</A>\n<DD>one\n\ttwo &amp;\n\n<DT><A HREF=\"y\">U</A>"
        << QStringList{"T | x | one\r\ntwo &", "U | y | "};
    QTest::newRow("description to the end of the list")
        << "<DT><A HREF=\"x\">T</A>\n<DD>one\r\ntwo</DL><p>\n<DT><A HREF=\"y\">U</A>"
        << QStringList{"T | x | one\r\ntwo", "U | y | "};
    QTest::newRow("tabs around a title trimmed")
        << "\t\t<DT><A HREF=\"x\">\t Tabbed\t</A>\t" << QStringList{"Tabbed | x | "};
    QTest::newRow("references in the address decoded once")
        << "<DT><A HREF=\"s?a=1&amp;b=&amp;amp;&#38;\">T</A>" << QStringList{"T | s?a=1&b=&amp;& | "};
}

void BookmarksTest::lines() {
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QCOMPARE(describe(readBookmarks(text, QStringLiteral("o"))), entries);
}

void BookmarksTest::tagStripping_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stripped");
    QTest::newRow("plain") << "no tags"
                           << "no tags";
    QTest::newRow("tags") << "<a href=\"x\">link</a>"
                          << "link";
    QTest::newRow("lone brackets stay") << "a < b > c"
                                        << "a  c";
    QTest::newRow("nested opening, greedy close") << "<<b>>"
                                                  << "<";
    QTest::newRow("unclosed") << "x <b"
                              << "x <b";
    QTest::newRow("beyond the basic plane") << "🙂<b>x</b>😀"
                                            << "🙂x😀";
    QTest::newRow("broken surrogate") << QString(QChar(0xD800)) + "<i>" << QString(QChar(0xD800));
}

void BookmarksTest::tagStripping() {
    QFETCH(QString, text);
    QFETCH(QString, stripped);
    QCOMPARE(TagStripper().strip(text), stripped);
}

void BookmarksTest::cleaning_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("line breaks removed") << "\r\nfirst\r\nsecond\n"
                                         << "firstsecond";
    QTest::newRow("entities decoded once") << "&amp;lt;&lt;&gt;&apos;&quot;&#39;"
                                           << "&lt;<>'\"'";
    QTest::newRow("numeric references") << "&#233;&#xE9;&#128 &#0; &bogus;"
                                        << "éé&#128 &#0; &bogus;";
    QTest::newRow("blanks trimmed, inner kept") << "  a  b  "
                                                << "a  b";
    QTest::newRow("amp twice decoded once more") << "&amp;amp;"
                                                 << "&amp;";
}

void BookmarksTest::cleaning() {
    QFETCH(QString, text);
    QFETCH(QString, cleaned);
    QCOMPARE(cleanImportText(text), cleaned);
}

void BookmarksTest::owner_data() {
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("owner");
    QTest::newRow("unix") << "/home/ann"
                          << "ann";
    QTest::newRow("windows profile") << "C:\\Users\\name"
                                     << "name";
    QTest::newRow("trailing separator") << "/Users/bob/"
                                        << "bob";
    QTest::newRow("root") << "/"
                          << "";
}

void BookmarksTest::owner() {
    QFETCH(QString, home);
    QFETCH(QString, owner);
    QCOMPARE(ownerFromHomeFolder(home), owner);
}

void BookmarksTest::recordLayout() {
    const SiteRecord r = bookmarkRecord({"https://x.example", "Title", "Desc", bookmarkCategory, "ann"});
    QStringList fields;
    for (int k = 0; k < Col::TextColumns; ++k) {
        fields << r[k];
    }
    QStringList expected(29, QString());
    expected[0] = "Site Title";
    expected[1] = "Title";
    expected[2] = "Site Address";
    expected[3] = "https://x.example";
    expected[26] = "InterNet BookMark";
    expected[27] = "ann";
    expected[28] = "Desc";
    QCOMPARE(fields, expected);
}

QTEST_GUILESS_MAIN(BookmarksTest)
#include "tst_bookmarks.moc"
