// The windows as a desktop user drives them from the keyboard: a box keeps its editing keys, a
// program key never types into a box, the password box stays masked, the search drives the list,
// and the list is always what the panel says, whoever changed the file.
#include "app/Ids.h"
#include "app/SecondaryWindow.h"
#include "app/SecretLineEdit.h"
#include "dataform/DataForm.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/Database.h"
#include "store/SiteStore.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

bool startWithRecords(TestEnv& env) {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "secret", "", "Money", "Ann"),
                                                makeRecord("Mail", "bob", "pw", "", "Work", "Ann"),
                                                makeRecord("Shop", "cy", "pw2", "", "Money", "Ann"),
                                                makeRecord("Club", "dee", "pw3", "", "Work", "Bob")});
    return env.start();
}

void key(QWidget* widget, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QApplication::setActiveWindow(widget->window());
    widget->setFocus();
    QTest::keyClick(widget, k, mods);
    QCoreApplication::processEvents();
}

DataForm* form(TestEnv& env) {
    return env.program->dataForms()->window();
}

QLineEdit* formEdit(TestEnv& env, int column) {
    return form(env)->valueBox(column)->lineEdit();
}

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void programKeysNeverTypeInTheForm_data();
    void programKeysNeverTypeInTheForm();
    void searchTextKeepsItsEditingKeys_data();
    void searchTextKeepsItsEditingKeys();
    void passwordBoxIsMaskedWithAnEye();
    void searchDrivesTheList();
    void listFollowsOtherPrograms();
    void helpOpensTheGuide_data();
    void helpOpensTheGuide();
    void formBoxesCompleteFromValuesReadOnce();
    void windowsFitASmallScreen_data();
    void windowsFitASmallScreen();
    void mainWindowFitsAndRemembers_data();
    void mainWindowFitsAndRemembers();
};

void WindowsTest::programKeysNeverTypeInTheForm_data() {
    QTest::addColumn<int>("column"); // -1: the notes
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("exits");
    QTest::newRow("Alt+X, password box") << int(Col::Password) << int(Qt::Key_X) << true;
    QTest::newRow("Alt+X, notes") << -1 << int(Qt::Key_X) << true;
    QTest::newRow("Alt+P, site name") << int(Col::SiteName) << int(Qt::Key_P) << false;
    QTest::newRow("Alt+R, category") << int(Col::Category) << int(Qt::Key_R) << false;
}

void WindowsTest::programKeysNeverTypeInTheForm() {
    QFETCH(int, column);
    QFETCH(int, key);
    QFETCH(bool, exits);
    TestEnv env;
    QVERIFY(startWithRecords(env));
    env.main()->selectRow(0);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
    QVERIFY(form(env));
    QWidget* box = column < 0 ? static_cast<QWidget*>(form(env)->notes()) : formEdit(env, column);
    const auto text = [&] { return column < 0 ? form(env)->notes()->toPlainText() : formEdit(env, column)->text(); };
    ::key(box, Qt::Key_End);
    QTest::keyClicks(box, "!");
    const QString typed = text();
    env.askAnswers << QStringLiteral("Cancel");
    ::key(box, Qt::Key(key), Qt::AltModifier);
    QCOMPARE(text(), typed);
    // The exit key asks about the unsaved edit (Cancel keeps the form and the program).
    QCOMPARE(env.questions.size(), exits ? 1 : 0);
    QVERIFY(form(env));
    QVERIFY(!env.program->quitRequested());
}

void WindowsTest::searchTextKeepsItsEditingKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");      // the search text after the key
    QTest::addColumn<QString>("clipboard"); // what the clipboard holds after it
    QTest::addColumn<bool>("selection");    // "bank" selected before the key
    // The search text holds "bank"; the clipboard "pasted".
    QTest::newRow("Ctrl+A selects, no form") << int(Qt::Key_A) << "bank"
                                             << "pasted" << false;
    QTest::newRow("Ctrl+C copies the selection") << int(Qt::Key_C) << "bank"
                                                 << "bank" << true;
    QTest::newRow("Ctrl+X cuts, no export") << int(Qt::Key_X) << ""
                                            << "bank" << true;
    QTest::newRow("Ctrl+V pastes") << int(Qt::Key_V) << "bankpasted"
                                   << "pasted" << false;
    QTest::newRow("Ctrl+Z undoes typing") << int(Qt::Key_Z) << ""
                                          << "pasted" << false;
}

void WindowsTest::searchTextKeepsItsEditingKeys() {
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, clipboard);
    QFETCH(bool, selection);
    TestEnv env;
    QVERIFY(startWithRecords(env));
    QLineEdit* search = env.main()->searchText();
    ::key(search, Qt::Key_B);
    QTest::keyClicks(search, "ank");
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    if (selection) {
        search->selectAll();
    }
    ::key(search, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(search->text(), text);
    QCOMPARE(QApplication::clipboard()->text(), clipboard);
    if (key == Qt::Key_A) {
        QCOMPARE(search->selectedText(), QStringLiteral("bank"));
    }
    QVERIFY(!form(env));
    QVERIFY(env.fileRequests.isEmpty());
    QVERIFY(!env.main()->message().contains(QStringLiteral("copied")));
    // Where no box wants it, the key is the command's: Ctrl+C in the list copies the chosen record.
    search->clear();
    QCoreApplication::sendPostedEvents();
    env.main()->selectRow(0);
    ::key(env.main()->recordList(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY2(QApplication::clipboard()->text().contains(env.main()->model()->cell(0, RecordModel::SiteName)),
             qPrintable(QApplication::clipboard()->text()));
}

void WindowsTest::passwordBoxIsMaskedWithAnEye() {
    TestEnv env;
    QVERIFY(startWithRecords(env));
    env.main()->selectRow(0);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
    auto* password = static_cast<SecretLineEdit*>(formEdit(env, Col::Password));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QVERIFY(password->eyeAction()->isVisible());
    password->eyeAction()->trigger();
    QCOMPARE(password->echoMode(), QLineEdit::Normal);
    QCOMPARE(password->text(), QStringLiteral("secret"));
    // Shown, it still selects and edits with the text masked underneath, which is what keeps a line
    // edit from putting the selection on the primary selection (or the clipboard).
    QList<QLineEdit::EchoMode> whileSelecting;
    connect(password, &QLineEdit::selectionChanged, password, [&] { whileSelecting << password->echoMode(); });
    QApplication::clipboard()->setText(QStringLiteral("before"));
    key(password, Qt::Key_Home);
    QTest::keyClick(password, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(password, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(password, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(!whileSelecting.isEmpty());
    QVERIFY(!whileSelecting.contains(QLineEdit::Normal));
    QCOMPARE(password->echoMode(), QLineEdit::Normal);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    // Other boxes are plain; with private data shown the password is shown with no eye.
    QCOMPARE(formEdit(env, Col::UserName)->echoMode(), QLineEdit::Normal);
    env.askAnswers << QStringLiteral("Discard");
    key(password, Qt::Key_Escape);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::ShowPrivate]);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
    password = static_cast<SecretLineEdit*>(formEdit(env, Col::Password));
    QCOMPARE(password->echoMode(), QLineEdit::Normal);
    QVERIFY(!password->eyeAction()->isVisible());
}

void WindowsTest::searchDrivesTheList() {
    TestEnv env;
    QVERIFY(startWithRecords(env));
    MainWindow* main = env.main();
    QLineEdit* search = main->searchText();
    key(search, Qt::Key_S);
    QTest::keyClicks(search, "hop");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(env.column(RecordModel::SiteName), QStringList{"Shop"});
    QCOMPARE(main->currentRow(), 0);
    QCOMPARE(main->selectedRows(), QList<int>{0});
    // Return from the search text opens the hit.
    key(search, Qt::Key_Return);
    QVERIFY(form(env));
    QCOMPARE(formEdit(env, Col::SiteName)->text(), QStringLiteral("Shop"));
    key(formEdit(env, Col::SiteName), Qt::Key_Escape);
    QVERIFY(!form(env));
    // Down goes into the list; Escape in the search text clears it and lists everything again.
    key(search, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), main->recordList());
    key(search, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(search->text(), QString());
    QCOMPARE(main->model()->rowCount(), 3);
    QCOMPARE(main->currentRow(), 0);
    // A category chosen with a search typed lists the category and clears the text.
    key(search, Qt::Key_M);
    QCoreApplication::sendPostedEvents();
    main->categoryBox()->setCurrentText(QStringLiteral("Money"));
    env.program->dispatch(Id::Window::Main, Id::Main::CategoryBox, Notify::Chosen, 0);
    QCOMPARE(search->text(), QString());
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Shop"}));
    // A record saved under a new category of the shown owner: listed where it was, the category
    // offered at once.
    main->categoryBox()->setCurrentText(QStringLiteral("All Categories"));
    env.program->dispatch(Id::Window::Main, Id::Main::CategoryBox, Notify::Chosen, 0);
    main->selectRow(0);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
    form(env)->valueBox(Col::Category)->setEditText(QStringLiteral("Travel"));
    env.program->dispatch(Id::Window::DataForm, Id::DataForm::Save, Notify::Command, 0);
    QVERIFY(!form(env));
    QVERIFY(main->categoryBox()->findText(QStringLiteral("Travel")) >= 0);
    QCOMPARE(main->categoryBox()->currentText(), QStringLiteral("All Categories"));
    QCOMPARE(main->model()->rowCount(), 3);
}

void WindowsTest::listFollowsOtherPrograms() {
    TestEnv env;
    QVERIFY(startWithRecords(env));
    MainWindow* main = env.main();
    main->selectRow(1);
    const QString chosen = main->model()->cell(1, RecordModel::Record);
    {
        // Another program adds a record for a new owner and deletes one of Ann's.
        Database other;
        QVERIFY(other.open(env.state.files.databaseFile));
        insertRecord(other, makeRecord("Zoo", "zed", "pw", "", "Fun", "Cy"));
        insertRecord(other, makeRecord("Post", "ann", "pw", "", "Work", "Ann"));
        QVERIFY(other.execute(QStringLiteral("DELETE FROM quillbox WHERE sitename = 'Bank'")));
    }
    // Coming back to the window shows what the file now holds.
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(main);
    QCoreApplication::processEvents();
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Mail", "Post", "Shop"}));
    QCOMPARE(main->count(), QStringLiteral("3 Records"));
    QCOMPARE(main->ownerBox()->count(), 3); // Ann, Bob, Cy
    QCOMPARE(main->model()->cell(main->currentRow(), RecordModel::Record), chosen);
}

void WindowsTest::helpOpensTheGuide_data() {
    QTest::addColumn<bool>("fromForm"); // the form's "?" button, else Alt+H
    QTest::addColumn<bool>("browser");
    QTest::newRow("Alt+H") << false << true;
    QTest::newRow("the form's button") << true << true;
    QTest::newRow("no browser") << false << false;
}

void WindowsTest::helpOpensTheGuide() {
    QFETCH(bool, fromForm);
    QFETCH(bool, browser);
    TestEnv env;
    env.urlsOpen = browser;
    QVERIFY(startWithRecords(env));
    if (fromForm) {
        env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
        QVERIFY(!form(env)->gadget(Id::DataForm::Spare)->isVisibleTo(form(env))); // nothing to do, not shown
        env.program->dispatch(Id::Window::DataForm, Id::DataForm::Help, Notify::Command, 0);
    } else {
        key(env.main()->recordList(), Qt::Key_H, Qt::AltModifier);
    }
    QCOMPARE(env.openedUrls.size(), 1);
    const QString guide = env.openedUrls[0].toLocalFile();
    QVERIFY2(guide.endsWith(QLatin1String("share/doc/quillbox/guide.html")), qPrintable(guide));
    QFile file(guide);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Import and export formats"));
    QCOMPARE(env.main()->message().startsWith(QLatin1String("Error: ")), !browser);
}

void WindowsTest::formBoxesCompleteFromValuesReadOnce() {
    TestEnv env;
    QVERIFY(startWithRecords(env));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    // Typing any part of a value, in any case, offers it.
    QComboBox* site = form(env)->valueBox(Col::SiteName);
    QVERIFY(site->completer());
    site->completer()->setCompletionPrefix(QStringLiteral("HO"));
    QCOMPARE(site->completer()->completionCount(), 1);
    QCOMPARE(site->completer()->currentCompletion(), QStringLiteral("Shop"));
    QCOMPARE(site->count(), 4);
    // Open again with the table unchanged: nothing is read again; after a change, the lists are.
    QSignalSpy reads(site->model(), &QAbstractItemModel::modelReset);
    env.askAnswers << QStringLiteral("Discard");
    key(site->lineEdit(), Qt::Key_Escape);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QCOMPARE(reads.count(), 0);
    QCOMPARE(form(env)->valueBox(Col::SiteName)->count(), 4);
    key(form(env)->valueBox(Col::SiteName)->lineEdit(), Qt::Key_Escape);
    QVERIFY(env.state.database.execute(QStringLiteral("UPDATE quillbox SET sitename = 'Bank2' WHERE record = 1")));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QVERIFY(reads.count() > 0);
    QVERIFY(form(env)->valueBox(Col::SiteName)->findText(QStringLiteral("Bank2")) >= 0);
}

void WindowsTest::windowsFitASmallScreen_data() {
    QTest::addColumn<int>("slot"); // the command that opens the window
    QTest::newRow("shortcut editor") << int(Id::Slot::ShortcutKeys);
    QTest::newRow("print window") << int(Id::Slot::PrintRecords);
    QTest::newRow("about") << int(Id::Slot::About);
    QTest::newRow("health report") << int(Id::Slot::PasswordHealth);
}

void WindowsTest::windowsFitASmallScreen() {
    QFETCH(int, slot);
    TestEnv env;
    QVERIFY(startWithRecords(env));
    env.main()->selectRow(0);
    const QWidgetList existing = QApplication::topLevelWidgets();
    const QSet<QWidget*> before(existing.cbegin(), existing.cend());
    env.program->command(Id::MenuItemOfSlot[slot]);
    SecondaryWindow* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!before.contains(w) && qobject_cast<SecondaryWindow*>(w) && w->isVisible()) {
            window = static_cast<SecondaryWindow*>(w);
        }
    }
    QVERIFY(window);
    // A screen at 200 % of 1280 x 1024 leaves about this much room.
    const QSize room(600, 440);
    const QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
    QList<bool> shown;
    for (const QAbstractButton* b : buttons) {
        shown << b->isVisibleTo(window);
    }
    window->fitInto(room);
    QVERIFY(window->width() <= room.width() && window->height() <= room.height());
    auto* scroll = window->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(scroll);
    // Every button is still there and can be scrolled to.
    QCOMPARE(window->findChildren<QAbstractButton*>().size(), buttons.size());
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons[i]->isVisibleTo(window), shown[i]);
        scroll->ensureWidgetVisible(buttons[i]);
        const QRect place(buttons[i]->mapTo(window, QPoint(0, 0)), buttons[i]->size());
        QVERIFY(!shown[i] || window->rect().intersects(place));
    }
}

void WindowsTest::mainWindowFitsAndRemembers_data() {
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("taken"); // the saved place and size are used as they are
    QTest::newRow("none saved") << "" << false;
    QTest::newRow("a smaller window") << "200,150,500,340" << true; // away from the edges it snaps to
    QTest::newRow("on no screen") << "9000,9000,560,400" << false;
    QTest::newRow("bigger than the screen") << "0,0,5000,4000" << false;
    QTest::newRow("not numbers") << "a,b,c,d" << false;
}

void WindowsTest::mainWindowFitsAndRemembers() {
    QFETCH(QString, saved);
    QFETCH(bool, taken);
    TestEnv env;
    QVERIFY(startWithRecords(env));
    MainWindow* main = env.main();
    main->restoreGeometryText(saved);
    const QRect area = main->screen()->availableGeometry();
    QVERIFY(area.contains(main->geometry()));
    QVERIFY(main->width() >= main->minimumWidth() && main->height() >= main->minimumHeight());
    if (taken) {
        QCOMPARE(main->geometryText(), saved);
    }
    // The list grows with the window, the search panel stays whole below it.
    main->resize(main->minimumSize());
    const int small = main->recordList()->height();
    main->resize(area.size() - QSize(20, 40));
    QVERIFY(main->recordList()->height() > small);
    QVERIFY(main->searchText()->geometry().right() < main->searchText()->parentWidget()->width());
    // Category and notes can be shown; both and the place are kept in the settings file.
    main->setShownColumns(QStringLiteral("0,4,6"));
    QVERIFY(!main->recordList()->isColumnHidden(RecordModel::Notes));
    QVERIFY(main->recordList()->columnWidth(RecordModel::Category) > 0);
    QVERIFY(main->recordList()->columnWidth(RecordModel::Notes) > 0);
    QVERIFY(main->recordList()->isColumnHidden(RecordModel::Password));
    const QString place = main->geometryText();
    env.program->shutDown();
    ProgramSettings written;
    QVERIFY(loadSettings(env.state.files.settingsFile, written).ok());
    QCOMPARE(written.listColumns, QStringLiteral("0,4,6"));
    QCOMPARE(written.mainWindowGeometry, place);
}

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
