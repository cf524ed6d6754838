// The windows from the keyboard: edits are never lost to a stray Escape, the list never acts on a
// row nobody chose, and a drop-down's own keys stay with the drop-down.
#include "app/Ids.h"
#include "dataform/DataForm.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/SiteStore.h"
#include "support/TestEnv.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

bool startWithThree(TestEnv& env) {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.databaseFile, {makeRecord("Bank", "ann", "secret", "", "Money", "Home"),
                                          makeRecord("Mail", "bob", "pw", "", "Work", "Home"),
                                          makeRecord("Shop", "cy", "pw2", "", "Money", "Home")});
    return env.start();
}

void command(TestEnv& env, int slot) {
    env.program->command(Id::MenuItemOfSlot[slot]);
}

// A key as the user presses it: window shortcuts act only in the active window.
void press(QWidget* widget, Qt::Key key) {
    if (!QApplication::activePopupWidget()) {
        QApplication::setActiveWindow(widget->window());
    }
    QTest::keyClick(widget, key);
    QCoreApplication::processEvents();
}

QComboBox* formBox(TestEnv& env, int column) {
    return env.program->dataForm()->valueBox(column);
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void escapeClosesAnOpenListOnly_data();
    void escapeClosesAnOpenListOnly();
    void unsavedEditsAreAskedFor_data();
    void unsavedEditsAreAskedFor();
    void savedRecordIsTheSelectedRow();
    void noRowActsWithoutASelection();
    void returnInAMainListChoosesOnly();
};

void KeyboardTest::escapeClosesAnOpenListOnly_data() {
    QTest::addColumn<bool>("labelEditor");
    QTest::newRow("value box") << false;
    QTest::newRow("label editor") << true;
}

void KeyboardTest::escapeClosesAnOpenListOnly() {
    QFETCH(bool, labelEditor);
    TestEnv env;
    QVERIFY(startWithThree(env));
    command(env, Id::Slot::AddRecord);
    DataForm* form = env.program->dataForm();
    QVERIFY(form);
    QTest::keyClicks(formBox(env, Col::SiteName)->lineEdit(), "Typed");
    QComboBox* box = formBox(env, Col::Category);
    if (labelEditor) {
        env.program->dispatch(Id::Window::DataForm, DataForm::gadgetOfColumn(Col::SiteNameLabel) + 1, Notify::Command,
                              0);
        box = form->labelEditor();
        QVERIFY(box->isVisible());
    }
    QApplication::setActiveWindow(form);
    box->showPopup();
    QWidget* popup = QApplication::activePopupWidget();
    QVERIFY(popup);
    press(box->view(), Qt::Key_Escape);
    QVERIFY(!box->view()->isVisible());
    QCOMPARE(env.program->dataForm(), form);
    if (labelEditor) {
        // A second Escape leaves the label editor and still not the form.
        press(box->lineEdit(), Qt::Key_Escape);
        QVERIFY(!box->isVisible());
        QCOMPARE(env.program->dataForm(), form);
    }
    QCOMPARE(formBox(env, Col::SiteName)->currentText(), QStringLiteral("Typed"));
    QVERIFY(env.questions.isEmpty());
}

void KeyboardTest::unsavedEditsAreAskedFor_data() {
    QTest::addColumn<int>("how"); // 0 Escape, 1 close box, 2 Alt+X
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("formOpen");
    QTest::addColumn<int>("stored");
    for (int how : {0, 1, 2}) {
        const QByteArray name = how == 0 ? "Escape" : how == 1 ? "close box" : "Alt+X";
        QTest::newRow(name + ", cancel") << how << "Cancel" << true << 3;
        QTest::newRow(name + ", discard") << how << "Discard" << false << 3;
        QTest::newRow(name + ", save") << how << "Save" << false << 4;
    }
}

void KeyboardTest::unsavedEditsAreAskedFor() {
    QFETCH(int, how);
    QFETCH(QString, answer);
    QFETCH(bool, formOpen);
    QFETCH(int, stored);
    TestEnv env;
    QVERIFY(startWithThree(env));
    command(env, Id::Slot::AddRecord);
    DataForm* form = env.program->dataForm();
    // Nothing typed yet: leaving asks nothing.
    press(formBox(env, Col::SiteName)->lineEdit(), Qt::Key_Escape);
    QVERIFY(!env.program->dataForm());
    QVERIFY(env.questions.isEmpty());

    command(env, Id::Slot::AddRecord);
    form = env.program->dataForm();
    QTest::keyClicks(formBox(env, Col::SiteName)->lineEdit(), "New");
    formBox(env, Col::Category)->setEditText("Cat");
    formBox(env, Col::Owner)->setEditText("Home");
    env.askAnswers << answer;
    if (how == 0) {
        press(formBox(env, Col::SiteName)->lineEdit(), Qt::Key_Escape);
    } else if (how == 1) {
        form->close();
    } else {
        command(env, Id::Slot::Exit);
    }
    QCOMPARE(env.questions.size(), 1);
    QCOMPARE(bool(env.program->dataForm()), formOpen);
    QCOMPARE(scalarQuery(env.state.database, "SELECT count(*) FROM quillbox").toInt(), stored);
    // The program goes on while the form stays; otherwise Alt+X ends it.
    QCOMPARE(env.state.quitRequested, how == 2 && !formOpen ? 1 : 0);
}

void KeyboardTest::savedRecordIsTheSelectedRow() {
    TestEnv env;
    QVERIFY(startWithThree(env));
    env.main()->selectRow(0);
    command(env, Id::Slot::AddRecord);
    formBox(env, Col::SiteName)->setEditText("Zebra");
    formBox(env, Col::Category)->setEditText("Cat");
    formBox(env, Col::Owner)->setEditText("Home");
    env.program->dispatch(Id::Window::DataForm, Id::DataForm::Save, Notify::Command, 0);
    QVERIFY(!env.program->dataForm());
    const int row = env.main()->currentRow();
    QCOMPARE(env.main()->model()->cell(row, RecordModel::SiteName), QStringLiteral("Zebra"));
    QCOMPARE(env.main()->selectedRows(), QList<int>{row});
}

void KeyboardTest::noRowActsWithoutASelection() {
    TestEnv env;
    QVERIFY(startWithThree(env));
    command(env, Id::Slot::AddRecord);
    press(formBox(env, Col::SiteName)->lineEdit(), Qt::Key_Escape);
    QVERIFY(!env.program->dataForm());
    // The list has the focus and nothing selected: Return edits nothing.
    env.main()->recordList()->setFocus();
    QCOMPARE(env.main()->selectedRows(), QList<int>());
    QCOMPARE(env.main()->currentRow(), -1);
    command(env, Id::Slot::EditRecord);
    QVERIFY(!env.program->dataForm());
    QCOMPARE(env.main()->message(), QStringLiteral("Info: There is no site/software selected to edit."));
}

void KeyboardTest::returnInAMainListChoosesOnly() {
    TestEnv env;
    QVERIFY(startWithThree(env));
    QComboBox* field = env.main()->fieldBox();
    QApplication::setActiveWindow(env.main());
    field->setFocus();
    field->showPopup();
    QWidget* popup = QApplication::activePopupWidget();
    QVERIFY(popup);
    const QString before = env.main()->message();
    press(field->view(), Qt::Key_Down);
    press(field->view(), Qt::Key_Return);
    QVERIFY(!env.main()->message().isEmpty());
    QVERIFY(!env.program->dataForm());
    QCOMPARE(field->currentIndex(), 1);
    QVERIFY2(!env.main()->message().contains(QStringLiteral("selected to edit")), qPrintable(env.main()->message()));
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
