// Bookmark files: the lines that count, titles with their tags stripped and text cleaned,
// descriptions directly below, and the owner taken from the home folder.
#include "transfer/Bookmarks.h"
#include "transfer/ImportText.h"

#include <QtTest>

using namespace quillbox;

namespace {

QStringList describe(const QList<BookmarkEntry>& entries) {
    QStringList out;
    for (const BookmarkEntry& e : entries) {
        out << e.title + QLatin1String(" | ") + e.address + QLatin1String(" | ") + e.description;
    }
    return out;
}

QList<BookmarkEntry> readDataFile(const char* name) {
    QFile file(QStringLiteral(QUILLBOX_TEST_DATA "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return readBookmarks(decodeImportBytes(file.readAll()), QStringLiteral("tester"));
}

} // namespace

class BookmarksTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firefoxFile();
    void chromeFile();
    void lowerCaseTagsAreNotBookmarks();
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
    const QList<BookmarkEntry> entries = readDataFile("bookmarks-firefox.html");
    QCOMPARE(
        describe(entries),
        (QStringList{"Bank & Trust | https://bank.example/login?user=1&amp;lang=en | Main account <savings> \"joint\"",
                     "News | https://news.example/ | ", "Mail | https://mail.example/ | ",
                     "Café – menu | https://caf&#233;.example/menu | First line of a description",
                     "Recently Used Tags | place:sort=8&amp;maxResults=10 | "}));
    for (const BookmarkEntry& e : entries) {
        QCOMPARE(e.category, QStringLiteral("InterNet BookMark"));
        QCOMPARE(e.owner, QStringLiteral("tester"));
    }
}

void BookmarksTest::chromeFile() {
    QCOMPARE(describe(readDataFile("bookmarks-chrome.html")),
             (QStringList{"Example | https://www.example.com/ | ",
                          "Intranet \"Home\" &amp; more | https://intranet.example/a?x=1&amp;y=2 | ",
                          "Shop | https://shop.example/ | ", "O'Brien's page | https://wiki.example/O%27Brien | "}));
}

void BookmarksTest::lowerCaseTagsAreNotBookmarks() {
    QVERIFY(readDataFile("bookmarks-lowercase.html").isEmpty());
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
    QTest::newRow("tags matched in upper case only")
        << "<dt><a href=\"x\">t</a>\n<DT><a href=\"y\">u</a>" << QStringList();
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
    QTest::newRow("entities in order") << "&amp;lt;&lt;&gt;&apos;&quot;&#39;"
                                       << "<<>'\"'";
    QTest::newRow("&#128 without semicolon") << "a&#128b"
                                             << "a\u0080b";
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
