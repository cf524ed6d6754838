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
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>

#include <cmath>

using namespace quillbox;
using namespace quillbox::test;

namespace {

bool startWithThree(TestEnv& env) {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "secret", "", "Money", "Home"),
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
    return env.program->dataForms()->window()->valueBox(column);
}

// The contrast ratio between the background (the commonest colour) and the pixel that stands out
// most from it: what decides whether the text of a gadget can be read.
double textContrast(QWidget* widget) {
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ++counts[image.pixel(x, y)];
        }
    }
    auto luminance = [](QRgb c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    QRgb background = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > counts.value(background)) {
            background = it.key();
        }
    }
    const double b = luminance(background);
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double l = luminance(it.key());
        best = std::max(best, (std::max(l, b) + 0.05) / (std::min(l, b) + 0.05));
    }
    return best;
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
    void passwordListFollowsShowPrivate_data();
    void passwordListFollowsShowPrivate();
    void deleteAsksOnce_data();
    void deleteAsksOnce();
    void tabLeavesTheListAndCtrlFFinds();
    void readableUnderADarkTheme();
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
    DataForm* form = env.program->dataForms()->window();
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
    QCOMPARE(env.program->dataForms()->window(), form);
    if (labelEditor) {
        // A second Escape leaves the label editor and still not the form.
        press(box->lineEdit(), Qt::Key_Escape);
        QVERIFY(!box->isVisible());
        QCOMPARE(env.program->dataForms()->window(), form);
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
    DataForm* form = env.program->dataForms()->window();
    // Nothing typed yet: leaving asks nothing.
    press(formBox(env, Col::SiteName)->lineEdit(), Qt::Key_Escape);
    QVERIFY(!env.program->dataForms()->window());
    QVERIFY(env.questions.isEmpty());

    command(env, Id::Slot::AddRecord);
    form = env.program->dataForms()->window();
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
    QCOMPARE(bool(env.program->dataForms()->window()), formOpen);
    QCOMPARE(scalarQuery(env.state.database, "SELECT count(*) FROM quillbox").toInt(), stored);
    // The program goes on while the form stays; otherwise Alt+X ends it.
    QCOMPARE(env.program->quitRequested(), how == 2 && !formOpen);
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
    QVERIFY(!env.program->dataForms()->window());
    const int row = env.main()->currentRow();
    QCOMPARE(env.main()->model()->cell(row, RecordModel::SiteName), QStringLiteral("Zebra"));
    QCOMPARE(env.main()->selectedRows(), QList<int>{row});
}

void KeyboardTest::noRowActsWithoutASelection() {
    TestEnv env;
    QVERIFY(startWithThree(env));
    command(env, Id::Slot::AddRecord);
    press(formBox(env, Col::SiteName)->lineEdit(), Qt::Key_Escape);
    QVERIFY(!env.program->dataForms()->window());
    // The list has the focus and nothing selected: Return edits nothing.
    env.main()->recordList()->setFocus();
    QCOMPARE(env.main()->selectedRows(), QList<int>());
    QCOMPARE(env.main()->currentRow(), -1);
    command(env, Id::Slot::EditRecord);
    QVERIFY(!env.program->dataForms()->window());
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
    QVERIFY(!env.program->dataForms()->window());
    QCOMPARE(field->currentIndex(), 1);
    QVERIFY2(!env.main()->message().contains(QStringLiteral("selected to edit")), qPrintable(env.main()->message()));
}

void KeyboardTest::passwordListFollowsShowPrivate_data() {
    QTest::addColumn<bool>("showPrivate");
    QTest::newRow("private data hidden") << false;
    QTest::newRow("private data shown") << true;
}

void KeyboardTest::passwordListFollowsShowPrivate() {
    QFETCH(bool, showPrivate);
    TestEnv env;
    QVERIFY(startWithThree(env));
    if (showPrivate) {
        command(env, Id::Slot::ShowPrivate);
    }
    command(env, Id::Slot::AddRecord);
    QCOMPARE(formBox(env, Col::Password)->count(), showPrivate ? 3 : 0);
    QCOMPARE(formBox(env, Col::UserName)->count(), 3); // user names are offered either way
}

void KeyboardTest::deleteAsksOnce_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("left");
    QTest::newRow("one, delete") << 1 << "Delete" << 2;
    QTest::newRow("all, delete") << 3 << "Delete" << 0;
    QTest::newRow("all, cancel") << 3 << "Cancel" << 3;
}

void KeyboardTest::deleteAsksOnce() {
    QFETCH(int, selected);
    QFETCH(QString, answer);
    QFETCH(int, left);
    TestEnv env;
    QVERIFY(startWithThree(env));
    if (selected == 3) {
        command(env, Id::Slot::TagAll);
    } else {
        env.main()->selectRow(1);
    }
    env.askAnswers << answer;
    command(env, Id::Slot::DeleteRecords);
    QCOMPARE(env.questions.size(), 1);
    QVERIFY(env.questions[0].startsWith(selected == 1 ? "Delete records: Delete 1 record?\n\nMail\n"
                                                      : "Delete records: Delete 3 records?\n\nBank, Mail, Shop\n"));
    QCOMPARE(env.main()->model()->rowCount(), left);
    QCOMPARE(scalarQuery(env.state.database, "SELECT count(*) FROM quillbox").toInt(), left);
    QCOMPARE(env.main()->count(), QStringLiteral("%1 Records").arg(left));
    QVERIFY(!env.main()->message().contains(QStringLiteral("No data to display")));
}

void KeyboardTest::tabLeavesTheListAndCtrlFFinds() {
    TestEnv env;
    QVERIFY(startWithThree(env));
    MainWindow* main = env.main();
    QApplication::setActiveWindow(main);
    main->recordList()->setFocus();
    press(main->recordList(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), main->ownerBox());
    press(main->ownerBox(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), main->recordList());
    main->searchText()->setText("ban");
    QTest::keyClick(main->recordList(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), main->searchText());
    QCOMPARE(main->searchText()->selectedText(), QStringLiteral("ban"));
}

void KeyboardTest::readableUnderADarkTheme() {
    // A dark desktop theme: white text meant for dark backgrounds.
    const QPalette desktop = QApplication::palette();
    QPalette dark;
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase}) {
        dark.setColor(role, QColor(35, 35, 35));
    }
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(role, Qt::white);
    }
    QApplication::setPalette(dark);
    TestEnv env;
    QVERIFY(startWithThree(env));
    MainWindow* main = env.main();
    main->searchText()->setText("Bank");
    command(env, Id::Slot::AddRecord);
    formBox(env, Col::SiteName)->setEditText("Bank");
    const QList<QPair<const char*, QWidget*>> gadgets{{"search text", main->searchText()},
                                                      {"owner box", main->ownerBox()},
                                                      {"record list", main->recordList()->viewport()},
                                                      {"status line", main->statusBar()},
                                                      {"form value box", formBox(env, Col::SiteName)},
                                                      {"form notes", env.program->dataForms()->window()->notes()}};
    env.program->dataForms()->window()->notes()->setPlainText("Notes");
    for (const auto& [name, widget] : gadgets) {
        const double contrast = textContrast(widget);
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1: contrast %2").arg(name).arg(contrast)));
    }
    QApplication::setPalette(desktop);
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
