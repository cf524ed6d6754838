// The import and export commands end to end, driven through the dispatch function with the file
// requester's answers, and read back from the status line, the list, the boxes and the files.
#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/Files.h"
#include "support/NastyTable.h"
#include "support/TestEnv.h"
#include "transfer/CsvColumnsWindow.h"
#include "transfer/ImportBatch.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportPreviewWindow.h"
#include "transfer/ImportRead.h"
#include "transfer/ImportText.h"
#include "transfer/TextFormat.h"
#include "transfer/TransferProgress.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace quillbox;
using namespace quillbox::test;

namespace {

enum Pattern { TextPattern = 0, CsvPattern = 1, XmlPattern = 2, BookmarkPattern = 3 };

// Text as a spreadsheet saves it as "Unicode text": UTF-16 LE with its mark.
QByteArray utf16Le(const QString& text) {
    return "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// In a table of files: a FIFO, not a file of this content.
const QByteArray fifoContent = QByteArrayLiteral("<a FIFO>");

// Every row of the table in record order, read back, without the record number.
QList<SiteRecord> storedRecords(const Database& db) {
    QList<SiteRecord> rows;
    Query query(db, QStringLiteral("SELECT * FROM quillbox ORDER BY record"));
    while (query.next()) {
        SiteRecord r;
        readFullRow(query, r);
        r[Col::Record].clear();
        rows << r;
    }
    return rows;
}

QStringList boxItems(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

void runImport(TestEnv& env, Pattern pattern, const QString& path) {
    env.filterAnswers << pattern;
    env.fileAnswers << path;
    env.program->command(Id::MenuItemOfSlot[Id::Slot::Import]);
}

void runExport(TestEnv& env, Pattern pattern, const QString& path) {
    env.filterAnswers << pattern;
    env.fileAnswers << path;
    env.program->command(Id::MenuItemOfSlot[Id::Slot::Export]);
}

int commitCount = 0;
int countCommit(void*) {
    ++commitCount;
    return 0;
}

} // namespace

class TransferTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cancelledRequesters_data();
    void cancelledRequesters();
    void exportWritesChosenFormat_data();
    void exportWritesChosenFormat();
    void exportFailureIsReported();
    void exportWarnsOfWhatItCannotKeep_data();
    void exportWarnsOfWhatItCannotKeep();
    void roundTripThroughTheProgram_data();
    void roundTripThroughTheProgram();
    void importGrowsListAndRefillsBoxes();
    void importIsOneTransaction_data();
    void importIsOneTransaction();
    void refusedLinesAreReportedAndSkipped();
    void unreadableFiles_data();
    void unreadableFiles();
    void xmlItemWithUnknownColumn();
    void bookmarksBecomeRecords();
    void cancelledPreviewStoresNothing();
    void previewWindowAnswers_data();
    void previewWindowAnswers();
    void filesFromElsewhere_data();
    void filesFromElsewhere();
    void progressDialogShowsCountAfterDelay();
    void listGrowsWhileTheDialogIsUp();
    void cancelWhileStoringStoresNothing();
    void columnStepPlacesColumnsAndIsKept();
    void columnStepOffersEncodingOfALateLine();
};

void TransferTest::cancelledRequesters_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::newRow("import") << int(Id::Slot::Import) << "Import file from"
                            << "Error: User cancelled the import process.";
    QTest::newRow("export") << int(Id::Slot::Export) << "Export file to"
                            << "Error: User cancelled the export process.";
}

void TransferTest::cancelledRequesters() {
    QFETCH(int, slot);
    QFETCH(QString, title);
    QFETCH(QString, message);
    TestEnv env;
    QVERIFY(env.start());
    env.program->command(Id::PopupItemOfSlot[slot]);
    QCOMPARE(env.fileRequests, QStringList{title});
    QCOMPARE(env.main()->message(), message);
    QCOMPARE(QDir(env.path()).entryList(QDir::Files), QStringList());
}

void TransferTest::exportWritesChosenFormat_data() {
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << int(TextPattern) << "sites.asc"
                          << "sites.asc.txt"
                          << "export-layout.txt"
                          << "Info: Exported Mail";
    QTest::newRow("csv") << int(CsvPattern) << "sites.CSV"
                         << "sites.CSV"
                         << "export-layout.csv"
                         << "Info: Exported \"Mail\",";
    QTest::newRow("a typed extension picks the format") << int(TextPattern) << "typed.csv"
                                                        << "typed.csv"
                                                        << "export-layout.csv"
                                                        << "Info: Exported \"Mail\",";
    QTest::newRow("xml, no message") << int(XmlPattern) << "dump"
                                     << "dump.xml"
                                     << "export-layout.xml"
                                     << "Info: Quillbox is ready to work.";
}

void TransferTest::exportWritesChosenFormat() {
    QFETCH(int, pattern);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    SiteRecord a = makeRecord("Bank & Co", "ann", "p\"w'd", "https://bank.example/?a=1&b=2", "Money", "Ann",
                              "first line\r\nsecond <line>");
    a[Col::FirstMisc + 1] = QStringLiteral("Crème");
    SiteRecord b = makeRecord("Mail", "", "", "", "Work", "Ann");
    b[Col::FirstMisc + 3] = QStringLiteral("say \"hi\", then \"bye\"");
    b[Col::FirstMisc + 17] = QStringLiteral("x|y");
    seedDatabase(env.state.files.databaseFile, {a, b});
    QVERIFY(env.start());
    env.main()->setCount(QStringLiteral("-"));
    runExport(env, Pattern(pattern), env.path(chosen));
    QCOMPARE(readAll(env.path(written)), readAll(dataPath(expected)));
    QCOMPARE(env.main()->message(), message);
    QCOMPARE(env.main()->count(), pattern == XmlPattern ? QStringLiteral("-") : QStringLiteral("2 Records"));
    QCOMPARE(QDir(env.path()).entryList({QStringLiteral("*.*")}, QDir::Files).size(), 1);
    if (pattern == TextPattern && written.endsWith(QLatin1String(".txt"))) {
        // The warning that the text format loses a value can stop the export.
        env.askAnswers << QStringLiteral("Cancel");
        runExport(env, TextPattern, env.path("cancelled.txt"));
        QVERIFY(env.questions.last().startsWith(QStringLiteral("Export Warning: ")));
        QVERIFY(!QFile::exists(env.path("cancelled.txt")));
        QCOMPARE(env.main()->message(), QStringLiteral("Error: User cancelled the export process."));
    }
}

void TransferTest::exportFailureIsReported() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "", "", "", "Money", "Ann")});
    QVERIFY(env.start());
    runExport(env, TextPattern, env.path("missing folder/out"));
    QVERIFY(env.main()->message().startsWith(QStringLiteral("Error: Cannot create the text export file.")));
}

void TransferTest::exportWarnsOfWhatItCannotKeep_data() {
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QString>("warning"); // empty: no box
    const QString tail = QStringLiteral("; they will not come back exactly when the file is imported. The CSV format "
                                        "keeps them.");
    QTest::newRow("text: bar and tilde") << int(TextPattern) << "a|b"
                                         << "2~3"
                                         << "2 records hold characters the text format cannot carry, in the fields "
                                            "password, notes" +
                                                tail;
    QTest::newRow("text: line breaks in notes kept") << int(TextPattern) << "pw"
                                                     << "a\r\nb"
                                                     << "";
    QTest::newRow("xml: escape character") << int(XmlPattern) << "p\x1Bw"
                                           << "a~|\r\n"
                                           << "1 record holds characters the XML format cannot carry, in the fields "
                                              "password" +
                                                  tail;
    QTest::newRow("csv keeps all") << int(CsvPattern) << "a|\x1B"
                                   << "~"
                                   << "";
}

void TransferTest::exportWarnsOfWhatItCannotKeep() {
    QFETCH(int, pattern);
    QFETCH(QString, password);
    QFETCH(QString, notes);
    QFETCH(QString, warning);
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile,
                 {makeRecord("A", "", password, "", "C", "O"), makeRecord("B", "", "", "", "C", "O", notes),
                  makeRecord("C", "", "", "", "C", "O")});
    QVERIFY(env.start());
    runExport(env, Pattern(pattern), env.path("out"));
    runExport(env, Pattern(pattern), env.path("out"));
    // The first export of a run says the file holds the passwords in plain text; each export says
    // what it cannot keep, asking whether to go on (Export, the first button, here).
    QStringList texts;
    for (const RecordedBox& box : env.boxes) {
        texts << box.text;
    }
    QCOMPARE(texts.size(), 1);
    QVERIFY(texts.value(0).contains(QStringLiteral("plain text")));
    QCOMPARE(env.questions,
             warning.isEmpty() ? QStringList() : QStringList(2, QStringLiteral("Export Warning: ") + warning));
    QCOMPARE(QDir(env.path()).entryList({"out.*"}, QDir::Files).size(), 1); // written all the same
}

void TransferTest::roundTripThroughTheProgram_data() {
    QTest::addColumn<int>("pattern");
    QTest::newRow("text") << int(TextPattern);
    QTest::newRow("csv") << int(CsvPattern);
    QTest::newRow("xml") << int(XmlPattern);
}

void TransferTest::roundTripThroughTheProgram() {
    QFETCH(int, pattern);
    const QList<SiteRecord> table = pattern == TextPattern ? nastyTableWithoutBars() : nastyTable();
    QByteArray exported;
    QList<SiteRecord> original;
    {
        TestEnv env;
        env.state.setWorkingFolder(env.path());
        seedDatabase(env.state.files.databaseFile, table);
        QVERIFY(env.start());
        original = storedRecords(env.state.database);
        runExport(env, Pattern(pattern), env.path("export"));
        const QStringList files = QDir(env.path()).entryList({"export.*"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        exported = readAll(env.path(files.first()));
    }
    TestEnv env;
    QVERIFY(env.start());
    QVERIFY(writeAll(env.path("import"), exported));
    runImport(env, Pattern(pattern), env.path("import"));
    const QList<SiteRecord> back = storedRecords(env.state.database);
    QCOMPARE(back.size(), original.size());
    for (qsizetype i = 0; i < back.size(); ++i) {
        const SiteRecord expected = pattern == TextPattern ? textImage(original[i]) : original[i];
        for (int k = 0; k < Col::TextColumns; ++k) {
            QCOMPARE(back[i][k], expected[k]);
        }
    }
}

void TransferTest::importGrowsListAndRefillsBoxes() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "pw", "", "Money", "Ann")});
    QVERIFY(env.start());
    QCOMPARE(env.listRows().size(), 1);
    QVERIFY(writeAll(env.path("in.txt"),
                     "Site name|Shop|User name|bob|Password|x'y|Home page|https://shop|"
                     "||||||||||||||||||Retail|Zed|note~two|\r\n"
                     "Site name|Club|User name|cy|Password||Home page||||||||||||||||||||Leisure|Ann||\r\n"));
    env.state.settings.lastOwner = QStringLiteral("Ann");
    env.state.settings.lastCategory = QStringLiteral("Money");
    runImport(env, TextPattern, env.path("in.txt"));
    // The list is what the panel gives: Ann's records, Zed's Shop under Zed only.
    QCOMPARE(env.listRows(),
             (QList<QStringList>{{"Bank", "***", "**", "", "Money", "1"}, {"Club", "**", "", "", "Leisure", "3"}}));
    QCOMPARE(boxItems(env.main()->ownerBox()), (QStringList{"Ann", "Zed"}));
    QCOMPARE(env.main()->ownerBox()->currentText(), QStringLiteral("Ann"));
    // The categories are Ann's, after "All Categories".
    QCOMPARE(boxItems(env.main()->categoryBox()), (QStringList{"All Categories", "Leisure", "Money"}));
    QCOMPARE(env.main()->categoryBox()->currentText(), QStringLiteral("All Categories"));
    QCOMPARE(scalarQuery(env.state.database, "SELECT notes FROM quillbox WHERE record=2"),
             QStringLiteral("note\r\ntwo"));
    QCOMPARE(scalarQuery(env.state.database, "SELECT password FROM quillbox WHERE record=2"), QStringLiteral("x'y"));
    QCOMPARE(env.main()->count(), QStringLiteral("2 Records")); // the rows listed, not the count before

    // The same file again adds every record again.
    runImport(env, TextPattern, env.path("in.txt"));
    QCOMPARE(env.listRows().size(), 3);
    QCOMPARE(env.main()->count(), QStringLiteral("3 Records"));
    QCOMPARE(scalarQuery(env.state.database, "SELECT COUNT(*) FROM quillbox"), QStringLiteral("5"));
}

void TransferTest::importIsOneTransaction_data() {
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("file");
    QTest::newRow("text") << int(TextPattern) << "export-layout.txt";
    QTest::newRow("csv") << int(CsvPattern) << "export-layout.csv";
    QTest::newRow("xml") << int(XmlPattern) << "export-layout.xml";
    QTest::newRow("bookmarks") << int(BookmarkPattern) << "bookmarks-firefox.html";
}

void TransferTest::importIsOneTransaction() {
    QFETCH(int, pattern);
    QFETCH(QString, file);
    TestEnv env;
    QVERIFY(env.start());
    commitCount = 0;
    sqlite3_commit_hook(env.state.database.handle(), countCommit, nullptr);
    runImport(env, Pattern(pattern), dataPath(file));
    sqlite3_commit_hook(env.state.database.handle(), nullptr, nullptr);
    QCOMPARE(commitCount, 1);
    // The list is the shown owner's records, every one of them.
    QVERIFY(!env.listRows().isEmpty());
    QCOMPARE(scalarQuery(env.state.database, QStringLiteral("SELECT COUNT(*) FROM quillbox WHERE owner = '%1'")
                                                 .arg(sqlQuote(env.main()->ownerBox()->currentText())))
                 .toInt(),
             env.listRows().size());
}

void TransferTest::refusedLinesAreReportedAndSkipped() {
    TestEnv env;
    QVERIFY(env.start());
    QVERIFY(writeAll(env.path("in.csv"),
                     // The program's own 29 columns, and lines of 5 columns or of one.
                     "\"A\",\"One\"" + QByteArray(27, ',') +
                         "\r\n\"1\",\"2\",\"3\",\"4\",\"5\"\r\nno delimiter\r\n\"B\",\"Two\"\r\n"
                         "\"1\",\"2\",\"3\",\"4\",\"5\"\r\n"));
    runImport(env, CsvPattern, env.path("in.csv"));
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"One", "Two"}));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: 2 records imported, 3 lines refused."));
    // The preview showed every refused line, with its number and reason, before anything was stored.
    QCOMPARE(env.previews.size(), 1);
    const ImportPreview& preview = env.previews.first();
    QCOMPARE(preview.recordCount(), 2);
    QStringList refused;
    for (const RefusedLine& r : preview.refusals()) {
        refused << QStringLiteral("%1 %2").arg(r.line).arg(r.reason);
    }
    QCOMPARE(refused, (QStringList{"2 Missing columns of data, invalid line format.",
                                   "3 Data delimiter not found, invalid line format.",
                                   "5 Missing columns of data, invalid line format."}));
    QCOMPARE(preview.firstRecords().size(), 2);
    QCOMPARE(preview.firstRecords()[1][Col::SiteName], QStringLiteral("Two"));
}

void TransferTest::unreadableFiles_data() {
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << int(TextPattern) << QByteArray() << "Error: Could not open the import file.";
    QTest::newRow("csv") << int(CsvPattern) << QByteArray() << "Error: Could not open the import file.";
    QTest::newRow("xml missing") << int(XmlPattern) << QByteArray()
                                 << "Error: Could not load the XML data file for importing";
    QTest::newRow("xml empty") << int(XmlPattern) << QByteArray("")
                               << "Error: Could not load the XML data file for importing";
    QTest::newRow("bookmarks") << int(BookmarkPattern) << QByteArray() << "Error: The import file could not be read";
    // Opening a FIFO would wait for a writer with the window frozen.
    QTest::newRow("csv FIFO") << int(CsvPattern) << fifoContent << "Error: %1 is not a regular file";
    QTest::newRow("xml FIFO") << int(XmlPattern) << fifoContent << "Error: %1 is not a regular file";
}

void TransferTest::unreadableFiles() {
    QFETCH(int, pattern);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    TestEnv env;
    QVERIFY(env.start());
    if (content == fifoContent) {
        QCOMPARE(::mkfifo(env.path("in").toLocal8Bit().constData(), 0600), 0);
        message = message.arg(env.path("in"));
    } else if (!content.isNull()) {
        QVERIFY(writeAll(env.path("in"), content));
    }
    commitCount = 0;
    sqlite3_commit_hook(env.state.database.handle(), countCommit, nullptr);
    runImport(env, Pattern(pattern), env.path("in"));
    sqlite3_commit_hook(env.state.database.handle(), nullptr, nullptr);
    QCOMPARE(env.main()->message(), message);
    QCOMPARE(commitCount, 0); // no batch was begun
}

void TransferTest::xmlItemWithUnknownColumn() {
    TestEnv env;
    QVERIFY(env.start());
    QVERIFY(writeAll(env.path("in.xml"),
                     "<?xml version=\"1.0\"?>\r\n<Quillbox>\r\n"
                     "  <SiteItem><sitename>First, with comma</sitename><category>C</category>"
                     "<owner>O</owner><record>1</record></SiteItem>\r\n"
                     "  <SiteItem><sitename>Bad</sitename><bogus>x</bogus><record>2</record></SiteItem>\r\n"
                     "  <SiteItem><sitename>Third</sitename><username>u</username><record>3</record>"
                     "</SiteItem>\r\n</Quillbox>\r\n"));
    env.state.settings.optShowPrivate = 1;
    runImport(env, XmlPattern, env.path("in.xml"));
    // Listed under its owner; Third, which has none, is stored but in no owner's list.
    QCOMPARE(env.listRows(), (QList<QStringList>{{"First, with comma", "", "", "", "C", "1"}}));
    QCOMPARE(scalarQuery(env.state.database, "SELECT username FROM quillbox WHERE record=2"), QStringLiteral("u"));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: 2 records imported, 1 line refused."));
    QCOMPARE(env.previews.first().refusals().first().reason,
             QStringLiteral("table quillbox has no column named bogus"));
    QCOMPARE(env.previews.first().refusals().first().line, 4);
}

void TransferTest::bookmarksBecomeRecords() {
    TestEnv env;
    env.homeFolder = QStringLiteral("/home/wren");
    QVERIFY(env.start());
    env.state.settings.optShowPrivate = 1;
    runImport(env, BookmarkPattern, dataPath("bookmarks-chrome.html"));
    QCOMPARE(env.listRows(),
             (QList<QStringList>{{"Example", "https://www.example.com/", "", "", "InterNet BookMark", "1"},
                                 {"Intranet \"Home\" &amp; more", "https://intranet.example/a?x=1&y=2", "", "",
                                  "InterNet BookMark", "2"},
                                 {"O'Brien's page", "https://wiki.example/O%27Brien", "", "", "InterNet BookMark", "4"},
                                 {"Shop", "https://shop.example/", "", "", "InterNet BookMark", "3"}}));
    QCOMPARE(boxItems(env.main()->ownerBox()), QStringList{"wren"});
    QCOMPARE(scalarQuery(env.state.database, "SELECT lusername FROM quillbox WHERE record=4"),
             QStringLiteral("Site Address"));
    QCOMPARE(scalarQuery(env.state.database, "SELECT sitename FROM quillbox WHERE record=4"),
             QStringLiteral("O'Brien's page"));

    // Imported while masking: the rows hold masks, and show their values once private data is shown.
    env.state.settings.optShowPrivate = 0;
    runImport(env, BookmarkPattern, dataPath("bookmarks-chrome.html"));
    const int row = static_cast<int>(env.column(RecordModel::Record).indexOf(QStringLiteral("8")));
    QCOMPARE(env.listRows().at(row).mid(0, 2), (QStringList{"O'Brien's page", "******************************"}));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::ShowPrivate]);
    QCOMPARE(env.listRows().at(row).at(1), QStringLiteral("https://wiki.example/O%27Brien"));
}

void TransferTest::cancelledPreviewStoresNothing() {
    TestEnv env;
    QVERIFY(env.start());
    env.importAnswer = false;
    commitCount = 0;
    sqlite3_commit_hook(env.state.database.handle(), countCommit, nullptr);
    runImport(env, CsvPattern, dataPath("export-layout.csv"));
    sqlite3_commit_hook(env.state.database.handle(), nullptr, nullptr);
    QCOMPARE(env.previews.size(), 1);
    QCOMPARE(env.previews.first().recordCount(), 2);
    QCOMPARE(commitCount, 0);
    QCOMPARE(scalarQuery(env.state.database, "SELECT COUNT(*) FROM quillbox"), QStringLiteral("0"));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Import cancelled, nothing was stored."));
}

void TransferTest::previewWindowAnswers_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer");
    QTest::newRow("Import") << "Import" << int(PreviewAnswer::Import);
    QTest::newRow("Cancel") << "Cancel" << int(PreviewAnswer::Cancel);
    QTest::newRow("Columns") << "Columns..." << int(PreviewAnswer::Columns);
}

void TransferTest::previewWindowAnswers() {
    QFETCH(QString, button);
    QFETCH(int, answer);
    ImportPreview preview;
    preview.record(makeRecord("Bank", "ann", "pw", "", "C", "O"));
    preview.refused(3, QStringLiteral("Data delimiter not found, invalid line format."));
    preview.setFormatNote(formatFoundMessage(ImportFormat::Xml, ImportFormat::Csv));
    QString counts;
    QString note;
    QString refused;
    int rows = -1;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        counts = dialog->findChild<QLabel*>("counts")->text();
        note = dialog->findChild<QLabel*>("formatNote")->text();
        refused = dialog->findChild<QPlainTextEdit*>("refused")->toPlainText();
        rows = dialog->findChild<QTableWidget*>()->rowCount();
        for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons()) {
            if (b->text() == button) {
                b->click();
            }
        }
    });
    QCOMPARE(int(showImportPreview(preview, true, nullptr)), answer);
    QCOMPARE(counts, QStringLiteral("Records read: 1. Lines refused: 1."));
    QCOMPARE(note, QStringLiteral("The file holds XML, not CSV: it is read as XML."));
    QCOMPARE(refused, QStringLiteral("Line 3: Data delimiter not found, invalid line format.\n"));
    QCOMPARE(rows, 1);
}

// Files no one here wrote: what is stored (one value asked of the table) and what the status
// line says. A file refused whole stores nothing and shows no preview.
void TransferTest::filesFromElsewhere_data() {
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("message");
    const QString count = QStringLiteral("SELECT COUNT(*) FROM quillbox WHERE record > 1");
    const QString imported = QStringLiteral("Info: 1 record imported, 0 lines refused.");
    QTest::newRow("CSV with undoubled quotes")
        << int(CsvPattern)
        << QByteArray("\"Site name\",\"He said \"hi\" to me\",\"User name\",\"u\",\"Password\",\"p\"w\"") +
               QByteArray(23, ',') + "\r\n"
        << "SELECT sitename || '/' || password FROM quillbox WHERE record > 1"
        << "He said \"hi\" to me/p\"w" << imported;
    // Not UTF-8: the column step is offered to choose the encoding (cancelled here).
    QTest::newRow("Latin-1 CSV") << int(CsvPattern) << QByteArray("\"a\",\"b\"\r\n\"Caf\xE9\",\"x\"\r\n") << count
                                 << "0"
                                 << "Info: Import cancelled, nothing was stored.";
    QTest::newRow("UTF-16 text with mark") << int(TextPattern)
                                           << QByteArray("\xFF\xFE"
                                                         "C\0\xE8\0|\0x\0\r\0\n\0",
                                                         14)
                                           << "SELECT lsitename FROM quillbox WHERE record > 1"
                                           << "C\u00E8" << imported;
    QTest::newRow("binary read as text") << int(TextPattern) << QByteArray("\x89PNG\r\n\x1A\n\0\0|\0", 12) << count
                                         << "0"
                                         << "Error: " + nulBytesMessage;
    QTest::newRow("text without one record") << int(TextPattern) << QByteArray("just words\r\n") << count << "0"
                                             << "Error: " + noRecordMessage;
    QTest::newRow("XML broken in the middle")
        << int(XmlPattern)
        << QByteArray("<Quillbox>\n<SiteItem><sitename>A</sitename><record/></SiteItem>\n<SiteItem><x></SiteItem>")
        << count << "0"
        << "Error: The XML file is not well-formed: mismatched tag at line 3. Nothing was imported.";
    QTest::newRow("XML item without most elements")
        << int(XmlPattern) << QByteArray("<Quillbox><SiteItem><sitename>A</sitename><record/></SiteItem></Quillbox>")
        << "SELECT COUNT(*) FROM quillbox WHERE record > 1 AND owner = '' AND notes = '' AND misc9 = ''"
        << "1" << imported;
    QTest::newRow("XML re-indented with tabs")
        << int(XmlPattern)
        << QByteArray("<Quillbox>\r\n\t<SiteItem>\r\n\t\t<owner>\r\n\t\t\tJo\r\n\t\t</owner>\r\n\t\t<record/>\r\n"
                      "\t</SiteItem>\r\n</Quillbox>\r\n")
        << "SELECT owner FROM quillbox WHERE record > 1"
        << "Jo" << imported;
    QTest::newRow("bookmark address with two parameters")
        << int(BookmarkPattern) << QByteArray("<dl><dt><a href=\"https://x.example/?a=1&amp;b=2\">X &amp; Y</a>\n</dl>")
        << "SELECT username || ' ' || sitename FROM quillbox WHERE record > 1"
        << "https://x.example/?a=1&b=2 X & Y" << imported;
    // The content decides the format, whatever the pattern chosen.
    QTest::newRow("XML dump chosen as CSV")
        << int(CsvPattern)
        << QByteArray("<?xml version=\"1.0\"?>\r\n<Quillbox><SiteItem><sitename>A</sitename><owner>Jo</owner>"
                      "<record/></SiteItem></Quillbox>")
        << "SELECT sitename || ' ' || owner FROM quillbox WHERE record > 1"
        << "A Jo" << imported;
    QTest::newRow("bookmark file chosen as CSV")
        << int(CsvPattern)
        << QByteArray(
               "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"https://b.example/\">B, c</A>\n</DL>")
        << "SELECT sitename || ' ' || username || ' ' || category FROM quillbox WHERE record > 1"
        << "B, c https://b.example/ InterNet BookMark" << imported;
    QTest::newRow("semicolon CSV without a header chosen as text")
        << int(TextPattern) << QByteArray("\"Site name\";\"Bank\";\"User name\";\"ann\"") + QByteArray(25, ';') + "\r\n"
        << "SELECT sitename || ' ' || username FROM quillbox WHERE record > 1"
        << "Bank ann" << imported;
    QTest::newRow("spreadsheet's Unicode text, tab-separated")
        << int(CsvPattern)
        << utf16Le("Site name\tBank\tUser name\tann\tPassword\tp,w" + QString(23, QLatin1Char('\t')) + "\r\n")
        << "SELECT sitename || ' ' || password FROM quillbox WHERE record > 1"
        << "Bank p,w" << imported;
    QTest::newRow("browser logins CSV")
        << int(CsvPattern)
        << QByteArray("url,username,password,httpRealm,formActionOrigin,guid,timeCreated,timeLastUsed,"
                      "timePasswordChanged\r\nhttps://a.example/,ann,s3cret,,,{1},1,2,3\r\n")
        << "SELECT sitename || ' ' || password || ' ' || owner || ' ' || category FROM quillbox WHERE record > 1"
        << "a.example s3cret Ann Imported" << imported;
}

void TransferTest::filesFromElsewhere() {
    QFETCH(int, pattern);
    QFETCH(QByteArray, content);
    QFETCH(QString, query);
    QFETCH(QString, stored);
    QFETCH(QString, message);
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Seed", "", "", "", "C", "Ann")}); // the list shows Ann
    QVERIFY(env.start());
    QVERIFY(writeAll(env.path("in"), content));
    runImport(env, Pattern(pattern), env.path("in"));
    QCOMPARE(scalarQuery(env.state.database, query), stored);
    QCOMPARE(env.main()->message(), message);
    // A file refused, or cancelled at its column step, shows no preview.
    QCOMPARE(env.previews.size(), message.startsWith(QLatin1String("Error")) || message.contains("cancelled") ? 0 : 1);
    // The preview says so when the content is not what the pattern chosen claimed.
    if (!env.previews.isEmpty()) {
        QCOMPARE(env.previews.first().formatNote().isEmpty(),
                 !QByteArray(QTest::currentDataTag()).contains("chosen as"));
    }
    QCOMPARE(scalarQuery(env.state.database, "SELECT COUNT(*) FROM quillbox WHERE owner IS NULL OR sitename IS NULL"),
             QStringLiteral("0"));
    QVERIFY(!scalarQuery(env.state.database, "SELECT group_concat(notes || sitename || owner) FROM quillbox")
                 .contains(QChar(QChar::ReplacementCharacter)));
}

void TransferTest::progressDialogShowsCountAfterDelay() {
    QWidget parent;
    TransferProgress late(&parent, QStringLiteral("%1 records read"), 60000);
    QVERIFY(!late.due());
    TransferProgress soon(&parent, QStringLiteral("%1 records read"), 0);
    QVERIFY(soon.due());
    soon.show(42);
    QVERIFY(soon.dialog() && soon.dialog()->isVisible());
    QCOMPARE(soon.dialog()->labelText(), QStringLiteral("42 records read"));
    QVERIFY(!soon.due()); // not again within a tenth of a second
}

void TransferTest::listGrowsWhileTheDialogIsUp() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Before", "", "", "", "C", "O")});
    QVERIFY(env.start());
    // 300 records, a line of no record after every hundredth.
    QByteArray text;
    for (int i = 1; i <= 300; ++i) {
        text += textLine(makeRecord(QStringLiteral("R%1").arg(i), "", "", "", "C", "O")).toUtf8() + "\r\n";
        if (i % 100 == 0) {
            text += "no record here\r\n";
        }
    }
    QBuffer file(&text);
    QVERIFY(file.open(QIODevice::ReadOnly));
    ImportOutcome outcome;
    {
        ImportBatch batch(env.state, *env.main(), env.program->status(), *env.program->list(), 0);
        ImportCallbacks callbacks = batch.callbacks();
        qsizetype refusedLine = 0;
        const auto refused = callbacks.refused;
        callbacks.refused = [&](qsizetype line, const QString& reason) {
            QTest::qWait(110); // the refusal finds the dialog due
            refusedLine = line;
            refused(line, reason);
        };
        const auto progress = callbacks.progress;
        callbacks.progress = [&](qsizetype handled) {
            progress(handled);
            if (refusedLine == 0) {
                return;
            }
            // Mid-import, the screen shows the count so far and the latest message.
            const QList<QProgressDialog*> dialogs = env.main()->findChildren<QProgressDialog*>();
            QCOMPARE(dialogs.size(), 1);
            QCOMPARE(dialogs.first()->labelText(),
                     QStringLiteral("%1 of 300 records stored").arg(std::min<qsizetype>(handled, 300)));
            QCOMPARE(env.main()->message(),
                     QStringLiteral("Error: Line %1: %2").arg(refusedLine).arg(noDelimiterMessage));
            // The list holds the rows stored so far, read back by their numbers.
            const RecordModel* model = env.main()->model();
            QCOMPARE(model->cell(model->rowCount() - 1, RecordModel::SiteName),
                     QStringLiteral("R%1").arg(model->rowCount() - 1));
            refusedLine = 0;
        };
        outcome = runImport(env.state.database, file, ImportFormat::Text, QString(), callbacks);
        QCOMPARE(outcome.refused, 3);
        batch.finish(outcome);
    }
    QVERIFY(env.main()->findChildren<QProgressDialog*>().isEmpty());
    QCOMPARE(env.main()->model()->rowCount(), 301);
    QVERIFY(env.column(RecordModel::Record).contains(QStringLiteral("301")));
    QCOMPARE(scalarQuery(env.state.database, "SELECT COUNT(*) FROM quillbox"), QStringLiteral("301"));
    QCOMPARE(env.main()->message(), QStringLiteral("Error: Line 303: %1").arg(noDelimiterMessage));
}

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"

void TransferTest::cancelWhileStoringStoresNothing() {
    TestEnv env;
    QVERIFY(env.start());
    QByteArray text;
    for (int i = 1; i <= 300; ++i) {
        text += textLine(makeRecord(QStringLiteral("R%1").arg(i), "", "", "", "C", "O")).toUtf8() + "\r\n";
    }
    QBuffer file(&text);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const int before = env.main()->model()->rowCount();
    ImportBatch batch(env.state, *env.main(), env.program->status(), *env.program->list(), 0);
    ImportCallbacks callbacks = batch.callbacks();
    const auto progress = callbacks.progress;
    QString label;
    callbacks.progress = [&](qsizetype handled) {
        progress(handled);
        const QList<QProgressDialog*> dialogs = env.main()->findChildren<QProgressDialog*>();
        if (handled == 150 && dialogs.size() == 1) {
            label = dialogs.first()->labelText();
            dialogs.first()->cancel(); // as the Cancel button does
        }
    };
    const ImportOutcome outcome = runImport(env.state.database, file, ImportFormat::Text, QString(), callbacks);
    QCOMPARE(outcome.status, ImportOutcome::NothingStored);
    QCOMPARE(outcome.error, importCancelledMessage);
    QVERIFY2(label.endsWith(QLatin1String(" of 300 records stored")), qPrintable(label));
    QVERIFY(!batch.finish(outcome));
    QCOMPARE(env.main()->message(), QStringLiteral("Error: Nothing was imported: the import was cancelled."));
    QCOMPARE(env.main()->model()->rowCount(), before);
    QCOMPARE(scalarQuery(env.state.database, "SELECT COUNT(*) FROM quillbox"), QString::number(before));
}

// The column step of a CSV file no layout known names, driven as the user does: the encoding
// offered, each column's field, then Read; from the preview back to the step, which shows the
// choice made. A second file of the same header is read the same way without asking.
void TransferTest::columnStepPlacesColumnsAndIsKept() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QVERIFY(env.start());
    struct Step {
        QString problem, encoding, separator, firstCell;
        QStringList headers, fields;
        bool header = false;
    };
    QList<Step> steps;
    const QStringList chosen{"Site name", "User name", "Password", "Leave out"};
    env.state.seams.csvColumns = [&](QIODevice& file, ImportOptions& options, QWidget* parent) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            Step step;
            step.problem = dialog->findChild<QLabel*>("problem")->text();
            step.encoding = dialog->findChild<QComboBox*>("encoding")->currentData().toString();
            step.separator = dialog->findChild<QComboBox*>("separator")->currentData().toString();
            step.header = dialog->findChild<QCheckBox*>("header")->isChecked();
            auto* table = dialog->findChild<QTableWidget*>("columns");
            step.firstCell = table->item(1, 0) ? table->item(1, 0)->text() : QString();
            for (int c = 0; c < table->columnCount(); ++c) {
                step.headers << table->horizontalHeaderItem(c)->text();
                auto* box = dialog->findChild<QComboBox*>(QStringLiteral("column%1").arg(c + 1));
                step.fields << box->currentText();
                if (c < chosen.size()) {
                    box->setCurrentIndex(box->findText(chosen[c]));
                }
            }
            steps << step;
            for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons()) {
                if (b->text() == QLatin1String("Read")) {
                    b->click();
                }
            }
        });
        return steps.size() < 2 && chooseCsvColumns(file, options, parent);
    };
    env.previewAnswers = {PreviewAnswer::Columns};
    const QByteArray sheet = "Site;Login;Secret;Extra;Kind\r\nCaf\xE9;ann;pw;x;shop\r\n";
    QVERIFY(writeAll(env.path("first.csv"), sheet));
    runImport(env, CsvPattern, env.path("first.csv"));
    QCOMPARE(steps.size(), 2);
    // First offered as the header's words suggest, shown as Windows-1252 for its bytes.
    QVERIFY2(steps[0].problem.contains(QLatin1String("not UTF-8")), qPrintable(steps[0].problem));
    const QStringList headers{"Site", "Login", "Secret", "Extra", "Kind"};
    for (const Step& step : steps) {
        QCOMPARE(step.encoding, QStringLiteral("Windows-1252"));
        QCOMPARE(step.separator, QStringLiteral(";"));
        QVERIFY(step.header);
        QCOMPARE(step.firstCell, QStringLiteral("Café"));
        QCOMPARE(step.headers, headers);
    }
    QCOMPARE(steps[0].fields,
             (QStringList{"Site name", "User name", "Password", "Misc, the next free", "Misc, the next free"}));
    QCOMPARE(steps[1].fields, chosen + QStringList{"Misc, the next free"});
    QCOMPARE(env.previews.size(), 2);
    const QString query = "SELECT group_concat(sitename || '/' || username || '/' || password || '/' || lmisc1 || '=' "
                          "|| misc1, ' ') FROM quillbox";
    QCOMPARE(scalarQuery(env.state.database, query), QStringLiteral("Café/ann/pw/Kind=shop"));

    QVERIFY(writeAll(env.path("second.csv"), "Site;Login;Secret;Extra;Kind\r\nB\xE4r;bo;p2;y;pub\r\n"));
    runImport(env, CsvPattern, env.path("second.csv"));
    QCOMPARE(steps.size(), 2);
    QCOMPARE(scalarQuery(env.state.database, query), QStringLiteral("Café/ann/pw/Kind=shop Bär/bo/p2/Kind=pub"));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: 1 record imported, 0 lines refused."));
}

// A CSV whose first line that is not UTF-8 lies past the step's sample and the first piece read:
// the reading's refusal brings the step back, the file shown as Windows-1252, and it is imported.
void TransferTest::columnStepOffersEncodingOfALateLine() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QVERIFY(env.start());
    QStringList problems, encodings;
    env.state.seams.csvColumns = [&](QIODevice& file, ImportOptions& options, QWidget* parent) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            problems << dialog->findChild<QLabel*>("problem")->text();
            encodings << dialog->findChild<QComboBox*>("encoding")->currentData().toString();
            dialog->findChild<QCheckBox*>("header")->setChecked(true);
            for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons()) {
                if (b->text() == QLatin1String("Read")) {
                    b->click();
                }
            }
        });
        return problems.size() < 3 && chooseCsvColumns(file, options, parent);
    };
    QByteArray sheet = "Site,Login,Secret\r\n";
    int rows = 0;
    while (sheet.size() < (1 << 20) + 4096) {
        sheet += "site" + QByteArray::number(++rows) + ",user,pw\r\n";
    }
    sheet += "Caf\xE9,ann,pw\r\n";
    QVERIFY(writeAll(env.path("late.csv"), sheet));
    runImport(env, CsvPattern, env.path("late.csv"));
    QVERIFY(!problems.isEmpty() && problems.size() <= 2);
    const QString line = QStringLiteral("Line %1 holds bytes that are not UTF-8 text;").arg(rows + 2);
    QVERIFY2(problems.last().startsWith(line), qPrintable(problems.last()));
    QCOMPARE(encodings.last(), QStringLiteral("Windows-1252"));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: %1 records imported, 0 lines refused.").arg(rows + 1));
    QCOMPARE(scalarQuery(env.state.database, "SELECT sitename FROM quillbox ORDER BY record DESC LIMIT 1"),
             QStringLiteral("Café"));
}
