#include "app/BalloonTips.h"
#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "print/PrintWindow.h"
#include "support/TestEnv.h"

#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTableView>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
const QString windowTitle = QStringLiteral("<°)))o><²³  Print the selected sites to the default printer.");
const QString guardError = QStringLiteral("Error: Another window is already open, close that one first");

struct PrintCall {
    QString text;
    bool preview;
};

// A running program over three records of one owner, printing into a list instead of onto paper.
struct PrintEnv : TestEnv {
    QList<PrintCall> printed;
    QString printError;

    PrintEnv() {
        state.setWorkingFolder(path());
        seedDatabase(state.files.databaseFile,
                     {makeRecord("Bank", "ann", "a<b&c", "https://bank.example/x?y=1", "Money", "Home", "Zoë's note"),
                      makeRecord("Mail", "bob", "pw", "", "Work", "Home"),
                      makeRecord("Shop", "cy", "pw2", "", "Money", "Home")});
        state.seams.printDocument = [this](QTextDocument* document, bool preview, QWidget*) {
            printed.append({document->toPlainText(), preview});
            return printError;
        };
    }

    void selectRows(const QList<int>& rows) {
        QItemSelection selection;
        for (int r : rows) {
            selection.select(main()->model()->index(r, 0), main()->model()->index(r, RecordModel::ColumnCount - 1));
        }
        main()->recordList()->selectionModel()->select(selection,
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    PrintWindow* window() const { return program->printing()->window(); }
    QByteArray document() const {
        QFile file(state.files.printFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};
} // namespace

class PrintWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void printsTheSelectedRow_data();
    void printsTheSelectedRow();
    void emptyListAndNoSelection();
    void guardedAgainstAnotherWindow_data();
    void guardedAgainstAnotherWindow();
    void closes_data();
    void closes();
    void printAndPreviewGoThroughTheSeam();
    void templateThatCannotBeCreated();
    void toolTipsFollowTheOption_data();
    void toolTipsFollowTheOption();
    void noPrinterIsAnError();
};

void PrintWindowTest::printsTheSelectedRow_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("menu") << 11;
    QTest::newRow("pop-up") << 217;
    QTest::newRow("shortcut") << 239;
}

void PrintWindowTest::printsTheSelectedRow() {
    QFETCH(int, command);
    PrintEnv env;
    QVERIFY(env.start());
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Mail", "Shop"}));
    env.selectRows({1});
    env.program->command(command);

    PrintWindow* window = env.window();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->size(), QSize(750, 591));
    QCOMPARE(window->windowTitle(), windowTitle);
    QCOMPARE(window->countField()->text(), QStringLiteral("1"));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Skipping item 2, not selected."));
    QVERIFY(env.program->guard().isOpen());
    QCOMPARE(env.program->guard().caption(), QStringLiteral("Print Sites"));
    QVERIFY(window->isReady());
    QCOMPARE(window->focusWidget(), window->printButton());

    const QByteArray bytes = env.document();
    QCOMPARE(bytes.count("<table "), 1);
    QVERIFY(bytes.contains(">Mail<br>"));
    QVERIFY(!bytes.contains("Bank"));
    QCOMPARE(QFileInfo(env.state.files.printFile).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFileDevice::Permissions());
    const QString shown = window->browser()->toPlainText();
    QVERIFY2(shown.contains("Mail") && shown.contains("bob") && shown.contains("Work"), qPrintable(shown));
}

void PrintWindowTest::emptyListAndNoSelection() {
    PrintEnv env;
    QVERIFY(env.start());
    // Nothing to print opens no window but says why.
    env.main()->recordList()->clearSelection();
    env.program->command(11);
    QVERIFY(!env.window());
    QCOMPARE(env.main()->message(),
             QStringLiteral("Info: There is nothing to print: select the records to print first."));
    QVERIFY(!env.program->guard().isOpen());

    env.main()->model()->clear();
    env.program->command(11);
    QVERIFY(!env.window());
    QCOMPARE(env.main()->message(), QStringLiteral("Error: There are no items in the list to print."));
}

void PrintWindowTest::guardedAgainstAnotherWindow_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("data form adding") << "Add New Site";
    QTest::newRow("print window") << "Print Sites";
}

void PrintWindowTest::guardedAgainstAnotherWindow() {
    QFETCH(QString, caption);
    PrintEnv env;
    QVERIFY(env.start());
    env.selectRows({0});
    PrintWindow* first = nullptr;
    if (caption == "Print Sites") {
        env.program->command(11);
        first = env.window();
        QVERIFY(QFile::remove(env.state.files.printFile));
    } else {
        env.program->guard().open(caption);
    }
    env.program->command(11);
    QCOMPARE(env.main()->message(), guardError);
    QCOMPARE(env.window(), first);
    QCOMPARE(env.program->guard().caption(), caption);
    QVERIFY(!QFile::exists(env.state.files.printFile));
}

void PrintWindowTest::closes_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("exit button") << "exit button";
    QTest::newRow("Escape key") << "Escape";
    QTest::newRow("close box") << "close box";
    QTest::newRow("event 144") << "144";
    QTest::newRow("event 265") << "265";
}

void PrintWindowTest::closes() {
    QFETCH(QString, how);
    PrintEnv env;
    QVERIFY(env.start());
    env.selectRows({0});
    env.program->command(11);
    QPointer<PrintWindow> window = env.window();
    QVERIFY(window);
    if (how == "exit button") {
        QTest::mouseClick(window->exitButton(), Qt::LeftButton);
    } else if (how == "Escape") {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->printButton(), Qt::Key_Escape);
    } else if (how == "close box") {
        window->close();
    } else {
        env.program->dispatch(Id::Window::Print, how.toInt());
    }
    QVERIFY(!window->isVisible());
    QVERIFY(!env.program->guard().isOpen());
    QVERIFY(!env.program->printing()->window());
    QVERIFY(!QFile::exists(env.state.files.printFile)); // the printed passwords go with the window
    QTRY_VERIFY(window.isNull());
    // The guard is free again.
    env.program->command(11);
    QVERIFY(env.window());
    QVERIFY(env.program->guard().isOpen());
}

void PrintWindowTest::printAndPreviewGoThroughTheSeam() {
    PrintEnv env;
    QVERIFY(env.start());
    env.selectRows({0, 2});
    env.program->command(11);
    PrintWindow* window = env.window();
    QCOMPARE(window->countField()->text(), QStringLiteral("2"));
    QTest::mouseClick(window->printButton(), Qt::LeftButton);
    QTest::mouseClick(window->previewButton(), Qt::LeftButton);
    QCOMPARE(env.printed.size(), 2);
    QVERIFY(!env.printed[0].preview);
    QVERIFY(env.printed[1].preview);
    // The document reads as stored: UTF-8 understood, markup in a value shown as text.
    const QString text = env.printed[0].text;
    QVERIFY2(text.contains("a<b&c") && text.contains("Zoë's note") && text.contains("https://bank.example/x?y=1") &&
                 text.contains("Shop"),
             qPrintable(text));
    QVERIFY(!text.contains("wbr"));

    env.printError = "No printer is installed, nothing was printed.";
    env.program->dispatch(Id::Window::Print, Id::Print::PrintButton);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: No printer is installed, nothing was printed."));
    QVERIFY(window->isVisible());
}

void PrintWindowTest::templateThatCannotBeCreated() {
    PrintEnv env;
    QVERIFY(env.start());
    QVERIFY(QDir(env.path("Temporary")).removeRecursively());
    env.selectRows({0});
    env.program->command(11);
    PrintWindow* window = env.window();
    QVERIFY(window && window->isVisible());
    QCOMPARE(env.main()->message(), QStringLiteral("Error: Could not create the web print template."));
    QCOMPARE(window->countField()->text(), QString());
    QVERIFY(!window->isReady());
    env.program->dispatch(Id::Window::Print, Id::Print::PrintButton);
    env.program->dispatch(Id::Window::Print, Id::Print::PreviewButton);
    QVERIFY(env.printed.isEmpty());
}

void PrintWindowTest::toolTipsFollowTheOption_data() {
    QTest::addColumn<int>("option");
    QTest::newRow("on") << 1;
    QTest::newRow("off") << 0;
}

void PrintWindowTest::toolTipsFollowTheOption() {
    QFETCH(int, option);
    PrintEnv env;
    QVERIFY(env.start());
    env.state.settings.optToolTips = option;
    env.program->command(11);
    PrintWindow* window = env.window();
    const bool on = option == 1;
    QVERIFY(window);
    BalloonTips* tips = &env.program->toolTips();
    QCOMPARE(tips->text(Id::Window::Print, Id::Print::PrintButton),
             on ? QStringLiteral("Click this button to print the selected sites immediately.") : QString());
    QCOMPARE(tips->text(Id::Window::Print, Id::Print::PreviewButton),
             on ? QStringLiteral("Click this button to see how the sites should look when printed.") : QString());
    QCOMPARE(tips->text(Id::Window::Print, Id::Print::ExitButton),
             on ? QStringLiteral("Click this button to exit this form immediately") : QString());
}

void PrintWindowTest::noPrinterIsAnError() {
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        QSKIP("this machine has a printer");
    }
    QTextDocument document(QStringLiteral("text"));
    const Seams seams = Seams::production();
    QCOMPARE(seams.printDocument(&document, false, nullptr),
             QStringLiteral("No printer is installed, nothing was printed."));
}

QTEST_MAIN(PrintWindowTest)
#include "tst_printwindow.moc"
