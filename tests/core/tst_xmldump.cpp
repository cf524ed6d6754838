// The XML dump: the layout of a value, reading it back, the document tree over Expat, the walk
// that finds the items, and the refusal of hostile files.
#include "core/NastyTable.h"
#include "core/RecordingSink.h"
#include "store/SqlText.h"
#include "transfer/XmlDump.h"
#include "transfer/XmlImport.h"
#include "transfer/XmlLayout.h"
#include "transfer/XmlTree.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

QByteArray dataFile(const char* name) {
    QFile file(QStringLiteral(QUILLBOX_TEST_DATA "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<XmlItem> itemsOf(const QByteArray& xml) {
    XmlTree tree;
    tree.load(xml);
    return collectXmlItems(tree);
}

QString describe(const QList<XmlItem>& items) {
    QStringList out;
    for (const XmlItem& item : items) {
        QStringList pairs;
        for (qsizetype i = 0; i < item.columns.size(); ++i) {
            pairs << item.columns[i] + QLatin1Char('=') + item.values[i];
        }
        out << pairs.join(QLatin1Char(','));
    }
    return out.join(QLatin1Char(';'));
}

} // namespace

class XmlDumpTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valueLayout_data();
    void valueLayout();
    void readValueStripsOnlyTheLayout_data();
    void readValueStripsOnlyTheLayout();
    void lineBreaksAndReferencesStayApart();
    void treeKeepsCommentsCdataAndPositions();
    void declaredEncodingIsUsed();
    void parseErrorKeepsWhatWasRead();
    void entityBombEndsTheLoad();
    void externalEntitiesAreNeverRead();
    void deepNestingIsWalkedWithoutRecursion();
    void walkFindsItems_data();
    void walkFindsItems();
    void earlierVersionFile();
    void insertStatementNamesColumnsAsTheyStand();
    void itemRecordPlacesValuesByName();
    void streamedRecords_data();
    void streamedRecords();
};

void XmlDumpTest::valueLayout_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("empty") << ""
                           << "    <misc1/>\r\n";
    QTest::newRow("one line") << "Bank"
                              << "    <misc1>\r\n      Bank\r\n    </misc1>\r\n";
    QTest::newRow("blanks kept") << "  a  b  "
                                 << "    <misc1>\r\n        a  b  \r\n    </misc1>\r\n";
    QTest::newRow("CR LF is a line of the file") << "a\r\n\r\nb"
                                                 << "    <misc1>\r\n      a\r\n      \r\n      b\r\n    </misc1>\r\n";
    QTest::newRow("lone CR and LF as references") << "a\rb\nc"
                                                  << "    <misc1>\r\n      a&#13;b&#10;c\r\n    </misc1>\r\n";
    QTest::newRow("markup escaped, quotes not") << "&<>\"'"
                                                << "    <misc1>\r\n      &amp;&lt;&gt;\"'\r\n    </misc1>\r\n";
    QTest::newRow("character no XML file can hold") << QString(QChar(1)) + "x"
                                                    << "    <misc1>\r\n      \uFFFDx\r\n    </misc1>\r\n";
    QTest::newRow("pair kept, lone halves replaced")
        << QStringLiteral("a\U0001F511b") + QChar(0xD800) + "c" + QChar(0xDC00)
        << QStringLiteral("    <misc1>\r\n      a\U0001F511b\uFFFDc\uFFFD\r\n    </misc1>\r\n");
    QTest::newRow("entities between plain runs") << "x&y<z>\tw"
                                                 << "    <misc1>\r\n      x&amp;y&lt;z&gt;\tw\r\n    </misc1>\r\n";
}

void XmlDumpTest::valueLayout() {
    QFETCH(QString, value);
    QFETCH(QString, written);
    QString out;
    XmlLayout::valueElement(out, 2, u"misc1", value);
    QCOMPARE(out, written);
}

void XmlDumpTest::readValueStripsOnlyTheLayout_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");
    QTest::newRow("our layout") << "\r\n      Bank\r\n    "
                                << "Bank";
    QTest::newRow("value's own blanks") << "\r\n        a  b  \r\n    "
                                        << "  a  b  ";
    QTest::newRow("two lines") << "\r\n      a\r\n      b\r\n    "
                               << "a\r\nb";
    QTest::newRow("empty last line") << "\r\n      a\r\n      \r\n    "
                                     << "a\r\n";
    QTest::newRow("on one line") << "  Bank  "
                                 << "  Bank  ";
    QTest::newRow("fewer blanks") << "\r\n  a\r\nb"
                                  << "a\r\nb";
    QTest::newRow("only the layout") << "\r\n"
                                     << "";
    QTest::newRow("an editor's tabs") << "\r\n\t\t\tJo\r\n\t\t"
                                      << "Jo";
    QTest::newRow("only the end tag on its own line") << "Jo\r\n\t\t"
                                                      << "Jo";
    QTest::newRow("eight blanks, two lines") << "\r\n                a  b\r\n                c\r\n            "
                                             << "a  b\r\nc";
    QTest::newRow("tabs, inner blanks and tabs kept") << "\r\n\t\t\ta \t b \r\n\t\t"
                                                      << "a \t b ";
}

void XmlDumpTest::readValueStripsOnlyTheLayout() {
    QFETCH(QString, text);
    QFETCH(QString, value);
    QCOMPARE(XmlLayout::readValue(text), value);
}

void XmlDumpTest::lineBreaksAndReferencesStayApart() {
    XmlTree tree;
    QVERIFY(tree.load("<a>1\r\n2\n3\r4&#10;5&#13;6&#xD;&#xA;7</a>").parsed);
    QCOMPARE(tree.text(tree.documentElement()), QStringLiteral("1\r\n2\r\n3\r\n4\n5\r6\r\n7"));
}

void XmlDumpTest::treeKeepsCommentsCdataAndPositions() {
    XmlTree tree;
    QVERIFY(tree.load("<?xml version=\"1.0\"?><r>ab<!--note--><c/>d<![CDATA[<x>&]]><?pi data?></r>").parsed);
    const int root = tree.documentElement();
    QCOMPARE(tree.name(root), QStringLiteral("r"));
    QCOMPARE(tree.text(root), QStringLiteral("abd<x>&"));
    QList<int> children;
    for (int c = tree.firstChild(root); c != XmlTree::None; c = tree.nextSibling(c)) {
        children << c;
    }
    QCOMPARE(children.size(), 4);
    QCOMPARE(tree.type(children[0]), XmlNodeType::Comment);
    QCOMPARE(tree.text(children[0]), QStringLiteral("note"));
    QCOMPARE(tree.type(children[1]), XmlNodeType::Element);
    QCOMPARE(tree.position(children[1]), 2);
    QCOMPARE(tree.type(children[2]), XmlNodeType::Cdata);
    QCOMPARE(tree.text(children[2]), QStringLiteral("<x>&"));
    QCOMPARE(tree.position(children[2]), 3);
    QCOMPARE(tree.type(children[3]), XmlNodeType::Other);
    QCOMPARE(tree.name(children[3]), QStringLiteral("pi"));
}

void XmlDumpTest::declaredEncodingIsUsed() {
    XmlTree tree;
    QVERIFY(tree.load("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Cr\xE8me</a>").parsed);
    QCOMPARE(tree.text(tree.documentElement()), QStringLiteral("Crème"));
}

void XmlDumpTest::parseErrorKeepsWhatWasRead() {
    const QByteArray xml = "<Q><S><sitename>One</sitename><record>1</record></S>"
                           "<S><sitename>Two</sitename><record>2</record></S><S><sitename>Three<";
    XmlTree tree;
    QVERIFY(!tree.load(xml).parsed);
    QCOMPARE(describe(collectXmlItems(tree)), QStringLiteral("sitename=One;sitename=Two"));
}

void XmlDumpTest::entityBombEndsTheLoad() {
    QByteArray xml = "<?xml version=\"1.0\"?><!DOCTYPE Q [<!ENTITY l0 \"lollollollol\">";
    for (int i = 1; i < 10; ++i) {
        xml += "<!ENTITY l" + QByteArray::number(i) + " \"" +
               QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
    }
    xml += "]><Q><S><sitename>Before</sitename><record>1</record></S>"
           "<S><sitename>&l9;</sitename><record>2</record></S></Q>";
    XmlTree tree;
    const XmlTree::LoadResult result = tree.load(xml);
    QVERIFY(!result.parsed);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(describe(collectXmlItems(tree)), QStringLiteral("sitename=Before"));
}

void XmlDumpTest::externalEntitiesAreNeverRead() {
    QTemporaryDir dir;
    QFile secret(dir.filePath("secret.txt"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("TOP SECRET");
    secret.close();
    const QByteArray url = QUrl::fromLocalFile(secret.fileName()).toEncoded();
    const QByteArray xml = "<!DOCTYPE Q [<!ENTITY x SYSTEM \"" + url + "\"><!ENTITY % p SYSTEM \"" + url +
                           "\"> %p;]><Q><S><sitename>a&x;b</sitename><record/></S></Q>";
    const QList<XmlItem> items = itemsOf(xml);
    QVERIFY(!describe(items).contains(QLatin1String("SECRET")));
}

void XmlDumpTest::deepNestingIsWalkedWithoutRecursion() {
    const int depth = 200000;
    const QByteArray xml =
        QByteArray("<a>").repeated(depth) + "<sitename>deep</sitename><record/>" + QByteArray("</a>").repeated(depth);
    QCOMPARE(describe(itemsOf(xml)), QStringLiteral("sitename=deep"));
}

void XmlDumpTest::walkFindsItems_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("items");
    QTest::newRow("item without record") << QByteArray("<Q><S><sitename>x</sitename></S></Q>") << "";
    QTest::newRow("element after record ignored")
        << QByteArray("<Q><S><sitename>x</sitename><record>5</record><notes>n</notes></S></Q>") << "sitename=x";
    QTest::newRow("names as they stand") << QByteArray(
                                                "<Any><Thing><SiteName>x</SiteName><bogus/><record/></Thing></Any>")
                                         << "SiteName=x,bogus=";
    QTest::newRow("comments are no columns")
        << QByteArray("<Q><S><!-- c --><sitename>x</sitename><record/></S></Q>") << "sitename=x";
    QTest::newRow("items in file order, nested ones too")
        << QByteArray("<Q><S><a>1</a><record/></S><G><S><a>2</a><record/></S></G><S><a>3</a><record/></S></Q>")
        << "a=1;a=2;a=3";
    QTest::newRow("record element in the document element") << QByteArray("<Q><a>top</a><record/></Q>") << "a=top";
    QTest::newRow("not a document") << QByteArray("plain text") << "";
}

void XmlDumpTest::walkFindsItems() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, items);
    QCOMPARE(describe(itemsOf(xml)), items);
}

void XmlDumpTest::earlierVersionFile() {
    // Written in the layout of earlier versions: items come back as before, but a value on
    // several lines keeps its line breaks instead of being joined.
    QCOMPARE(describe(itemsOf(dataFile("xml-earlier-version.xml"))),
             QStringLiteral("lsitename=Site name,sitename=Fish & Chips,username=,category=Food,owner=Ann,"
                            "notes=first line\r\nsecond line;sitename=Second,owner=Bob"));
}

void XmlDumpTest::insertStatementNamesColumnsAsTheyStand() {
    QCOMPARE(xmlInsertStatement({{"SiteName", "notes"}, {"O'Brien", "a, b"}}),
             QStringLiteral("INSERT INTO quillbox (SiteName,notes) VALUES('O''Brien','a, b')"));
    QCOMPARE(xmlInsertStatement({{"misc1--", "_x9"}, {"", ""}}),
             QStringLiteral("INSERT INTO quillbox (\"misc1--\",_x9) VALUES('','')"));
}

void XmlDumpTest::itemRecordPlacesValuesByName() {
    const XmlItem item{{"notes", "SITENAME", "owner"}, {"x, y, z", "a,b", "Ann"}};
    const SiteRecord r = xmlItemRecord(item);
    QCOMPARE(r[Col::SiteName], QStringLiteral("a,b"));
    QCOMPARE(r[Col::Owner], QStringLiteral("Ann"));
    QCOMPARE(r[Col::Notes], QStringLiteral("x, y, z"));
    QCOMPARE(r[Col::UserName], QString());
}

void XmlDumpTest::streamedRecords_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("events"); // non-empty fields of each record, or a refused item
    QTest::addColumn<QString>("error");      // the parser's reason and line; empty when well-formed
    const QByteArray head = "<?xml version=\"1.0\"?>\n<Quillbox>\n";
    QTest::newRow("re-indented with tabs, LF line ends")
        << head + "\t<SiteItem>\n\t\t<sitename>\n\t\t\tJo\n\t\t</sitename>\n\t\t<owner>\n\t\t\tAnn\n\t\t</owner>\n"
                  "\t\t<notes>\n\t\t\tone\n\t\t\t  "
                  "two\n\t\t</notes>\n\t\t<record>\n\t\t\t7\n\t\t</record>\n\t</SiteItem>\n"
                  "</Quillbox>\n"
        << QStringList{"sitename=Jo,owner=Ann,notes=one\r\n  two"} << QString();
    QTest::newRow("missing elements are empty")
        << head + "<SiteItem><sitename>Only</sitename><record>1</record></SiteItem></Quillbox>"
        << QStringList{"sitename=Only"} << QString();
    QTest::newRow("unknown element refuses its item")
        << head + "<SiteItem><bogus>x</bogus><record/></SiteItem>\n<SiteItem><sitename>B</sitename><record/>"
                  "</SiteItem></Quillbox>"
        << QStringList{"3: table quillbox has no column named bogus", "sitename=B"} << QString();
    QTest::newRow("broken in the middle")
        << head + "<SiteItem><sitename>A</sitename><record/></SiteItem>\n<SiteItem><sitename>B</site></SiteItem>"
        << QStringList{"sitename=A"} << "mismatched tag @4";
    QTest::newRow("truncated") << head + "<SiteItem><sitename>A</sitename><record/></SiteItem>\n<SiteItem><sitena"
                               << QStringList{"sitename=A"} << "unclosed token @4";
    QTest::newRow("entity bomb")
        << QByteArray(
               "<?xml version=\"1.0\"?>\n<!DOCTYPE q [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;"
               "&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
               "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>\n"
               "<Quillbox><SiteItem><sitename>&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;</sitename>"
               "<record/></SiteItem></Quillbox>")
        << QStringList() << "limit on input amplification factor (from DTD and entities) breached @3";
    QTest::newRow("nesting without end") << QByteArray("<a>").repeated(100000) << QStringList()
                                         << "elements nested too deeply @1";
    QTest::newRow("undeclared Latin-1") << head +
                                               "<SiteItem><sitename>Caf\xE9</sitename><record/></SiteItem></Quillbox>"
                                        << QStringList() << "not UTF-8 @3";
    QTest::newRow("declared windows-1252")
        << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Quillbox><SiteItem><sitename>Caf\xE9 \x80"
                      "</sitename><record/></SiteItem></Quillbox>")
        << QStringList{"sitename=Café €"} << QString();
    QTest::newRow("UTF-16 with mark")
        << QByteArray("\xFF\xFE<\0Q\0>\0<\0S\0>\0<\0s\0i\0t\0e\0n\0a\0m\0e\0>\0\xE9\0<\0/\0s\0i\0t\0e\0n\0a\0m\0e\0>\0"
                      "<\0r\0e\0c\0o\0r\0d\0/\0>\0<\0/\0S\0>\0<\0/\0Q\0>\0",
                      92)
        << QStringList{"sitename=é"} << QString();
}

void XmlDumpTest::streamedRecords() {
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, events);
    QFETCH(QString, error);
    RecordingSink sink;
    const XmlReadResult result = readXmlRecords(xml, sink);
    QStringList got;
    for (const QString& event : sink.events) {
        if (!event.startsWith(QLatin1String("R:"))) {
            got << event;
        }
    }
    for (const SiteRecord& r : sink.records) {
        QStringList fields;
        for (int k = 0; k < Col::TextColumns; ++k) {
            QVERIFY(!r[k].isNull() || r[k].isEmpty());
            if (!r[k].isEmpty()) {
                fields << columnNames()[k] + QLatin1Char('=') + r[k];
            }
        }
        got.insert(sink.events.indexOf(QStringLiteral("R:") + summary(r)), fields.join(QLatin1Char(',')));
    }
    QCOMPARE(got, events);
    const QString reason = result.notUtf8 ? QStringLiteral("not UTF-8") : result.error;
    QCOMPARE(result.wellFormed ? QString() : reason + QStringLiteral(" @%1").arg(result.line), error);
}

QTEST_GUILESS_MAIN(XmlDumpTest)
#include "tst_xmldump.moc"
