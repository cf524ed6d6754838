#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "support/TestEnv.h"

#include <QClipboard>
#include <QTableView>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
const QString dashes = QString(79, QLatin1Char('-')) + "\r\n";

// Mail (1) and Bank (2) of the owner Ann, listed in that order.
bool startWithTwo(TestEnv& env, const QString& bankHomePage = "http://bank.example") {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile,
                 {makeRecord("Mail", "", "s3cret", "https://mail.example", "Work", "Ann"),
                  makeRecord("O'Brien Bank", "ann", "pw", bankHomePage, "Money", "Ann", "pin 1234")});
    return env.start();
}

void select(TestEnv& env, const QList<int>& rows) {
    QItemSelectionModel* selection = env.main()->recordList()->selectionModel();
    selection->clear();
    for (int row : rows) {
        selection->select(env.main()->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

const QString mailText = "Site name:                 Mail\r\n"
                         "Password:                  s3cret\r\n"
                         "Home page:                 https://mail.example\r\n"
                         "Category:                  Work\r\n"
                         "Owner name:                Ann\r\n"
                         "\r\n" +
                         dashes;
const QString bankText = "Site name:                 O'Brien Bank\r\n"
                         "User name:                 ann\r\n"
                         "Password:                  pw\r\n"
                         "Home page:                 http://bank.example\r\n"
                         "Category:                  Money\r\n"
                         "Owner name:                Ann\r\n"
                         "\r\n"
                         "Notes:                     pin 1234\r\n" +
                         dashes;
} // namespace

class RowActionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void copiesSelectedRecords_data();
    void copiesSelectedRecords();
    void rowWithoutRecordNumberIsSkipped();
    void opensOnlyWebAddresses_data();
    void opensOnlyWebAddresses();
    void homePageNeedsARowWithANumber();
};

void RowActionsTest::copiesSelectedRecords_data() {
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<int>("count");
    QTest::newRow("one") << QList<int>{0} << mailText << 1;
    QTest::newRow("both, in list order") << QList<int>{1, 0} << mailText + bankText << 2;
    QTest::newRow("none") << QList<int>{} << QString() << 0;
}

void RowActionsTest::copiesSelectedRecords() {
    QFETCH(QList<int>, rows);
    QFETCH(QString, clipboard);
    QFETCH(int, count);
    TestEnv env;
    QVERIFY(startWithTwo(env));
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Mail", "O'Brien Bank"}));
    QGuiApplication::clipboard()->setText("old text");
    select(env, rows);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::CopyRecords]);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    QCOMPARE(env.main()->message(), QStringLiteral("Info: (%1) Have been copied To the program clipboard.").arg(count));
}

void RowActionsTest::rowWithoutRecordNumberIsSkipped() {
    TestEnv env;
    QVERIFY(startWithTwo(env));
    RecordModel* model = env.main()->model();
    model->appendRow({"Loose", "", "", "", "", ""});
    model->appendRow(model->row(0)); // the same record listed twice
    select(env, {0, 2, 3});
    env.program->command(Id::PopupItemOfSlot[Id::Slot::CopyRecords]);
    QCOMPARE(QGuiApplication::clipboard()->text(), mailText + mailText);
    QCOMPARE(env.main()->message(), QStringLiteral("Info: (2) Have been copied To the program clipboard."));

    // A record number that is no plain number never reaches a statement: reported, not counted, the rest copied.
    model->appendRow({"Broken", "", "", "", "", "1'x"});
    select(env, {1, 2, 4});
    env.program->command(Id::PopupItemOfSlot[Id::Slot::CopyRecords]);
    QCOMPARE(QGuiApplication::clipboard()->text(), bankText);
    QCOMPARE(env.main()->message(), QStringLiteral("Info: (1) Have been copied To the program clipboard."));
}

void RowActionsTest::opensOnlyWebAddresses_data() {
    QTest::addColumn<QString>("homePage");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<bool>("browser"); // a browser to open it in
    QTest::newRow("http") << "http://bank.example/login"
                          << "http://bank.example/login" << true;
    QTest::newRow("no browser") << "http://bank.example/login"
                                << "http://bank.example/login" << false;
    QTest::newRow("capital HTTPS") << "HTTPS://Bank.example/"
                                   << "https://bank.example/" << true;
    QTest::newRow("https only") << "https://bank.example"
                                << "https://bank.example" << true;
    QTest::newRow("bare host") << "www.bank.example"
                               << "" << true;
    QTest::newRow("file") << "file:///etc/passwd"
                          << "" << true;
    QTest::newRow("quote read back") << "http://x.example/o'brien"
                                     << "http://x.example/o'brien" << true;
}

void RowActionsTest::opensOnlyWebAddresses() {
    QFETCH(QString, homePage);
    QFETCH(QString, opened);
    QFETCH(bool, browser);
    TestEnv env;
    env.urlsOpen = browser;
    QVERIFY(startWithTwo(env, homePage));
    env.main()->selectRow(1);
    const QString before = env.main()->message();
    env.program->command(238); // the home page's shortcut event
    QCOMPARE(env.openedUrls.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty()) {
        QCOMPARE(env.openedUrls[0].toString(), opened);
    }
    // An address opened says nothing; one that is not opened says why.
    QCOMPARE(env.main()->message() == before, !opened.isEmpty() && browser);
    if (!browser) {
        QCOMPARE(env.main()->message(), QStringLiteral("Error: No web browser could be started for %1.").arg(opened));
    }
}

void RowActionsTest::homePageNeedsARowWithANumber() {
    TestEnv env;
    QVERIFY(startWithTwo(env));
    env.main()->recordList()->selectionModel()->clear();
    env.program->command(Id::MenuItemOfSlot[Id::Slot::HomePage]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: There is no current line selected."));
    env.main()->model()->appendRow({"Loose", "", "", "http://x.example", "", ""});
    env.main()->selectRow(2);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::HomePage]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: There is no record number for this line."));
    env.main()->model()->appendRow({"Broken", "", "", "http://x.example", "", "1'x"});
    env.main()->selectRow(3);
    env.main()->setMessage(QString());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::HomePage]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: There is no record number for this line."));
    QVERIFY(env.openedUrls.isEmpty());
}

QTEST_MAIN(RowActionsTest)
#include "tst_rowactions.moc"
