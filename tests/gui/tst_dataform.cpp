#include "app/Ids.h"
#include "dataform/DataForm.h"
#include "dataform/GeneratorWindow.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/SiteStore.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
const QString addTitle = QStringLiteral("<°)))o><²³  Add a new site's details");
const QString editTitle = QStringLiteral("<°)))o><²³  Edit the current site's details");

// Bank, Mail and Shop of the owner Home (records 1 to 3), and Game of the owner Zoe (4).
QList<SiteRecord> fourRecords() {
    SiteRecord bank = makeRecord("Bank", "ann", "secret", "https://bank.example", "Money", "Home", "pin\r\n1234");
    bank[Col::FirstMisc] = "Branch";
    bank[Col::FirstMisc + 1] = "North";
    SiteRecord mail = makeRecord("Mail", "bob", "pw", "", "Work", "Home");
    mail[Col::UserNameLabel] = "Login";
    return {bank, mail, makeRecord("Shop", "cy", "pw2", "", "Money", "Home"),
            makeRecord("Game", "zed", "z", "", "Fun", "Zoe")};
}

bool startWith(TestEnv& env, const QList<SiteRecord>& records) {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, records);
    return env.start();
}

DataForm* form(TestEnv& env) {
    return env.program->dataForms()->window();
}
QComboBox* box(TestEnv& env, int column) {
    return form(env)->valueBox(column);
}

void type(QComboBox* box, const QString& text) {
    box->clearEditText();
    QTest::keyClicks(box->lineEdit(), text);
}

void formEvent(TestEnv& env, int number, Notify kind = Notify::Command) {
    env.program->dispatch(Id::Window::DataForm, number, kind, 0);
}

void editRow(TestEnv& env, int row) {
    env.main()->selectRow(row);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
}

QStringList items(const QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i) {
        list << box->itemText(i);
    }
    return list;
}

// The record as stored, every text column.
SiteRecord stored(TestEnv& env, const QString& record) {
    SiteRecord r;
    Query query(env.state.database, "SELECT * FROM quillbox WHERE record='" + record + "'");
    while (query.next()) {
        for (int k = 0; k < Col::Count; ++k) {
            r[k] = query.text(k);
        }
    }
    return r;
}

QString count(TestEnv& env) {
    return scalarQuery(env.state.database, "SELECT COUNT(*) FROM quillbox");
}
} // namespace

class DataFormTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void generatorAndStrength();
    void addOpensEmptyWithNextNumberAndValueLists();
    void newRecordOfAnotherOwnerIsListedUnderIt();
    void saveChecksShowBoxAndKeepForm_data();
    void saveChecksShowBoxAndKeepForm();
    void quoteSurvivesSaveListAndLoad();
    void editLoadsEveryFieldAndEmptiedFieldsAreWritten();
    void guardKeepsTheEditedRecord();
    void closingReselectsEditedRow_data();
    void closingReselectsEditedRow();
    void labelEditorDropsUnconfirmedEdit();
    void typingCapitalisesButLeavesSelection();
    void clearKeepsTheMode();
    void refusedSaveKeepsTyping_data();
    void refusedSaveKeepsTyping();
    void vanishedRecordIsReported();
    void notesAreStoredWithCrLf();
    void editedRowFollowsItsRecord();
    void copyToNewOwnerStartsFromSelectedRecord();
};

void DataFormTest::addOpensEmptyWithNextNumberAndValueLists() {
    TestEnv env;
    QList<SiteRecord> records = fourRecords();
    records << makeRecord("Extra", "", "x", "", "Money", "Home");
    QVERIFY(startWith(env, records));
    // Two records gone: three are left, the highest number is 5.
    QVERIFY(env.state.database.execute("DELETE FROM quillbox WHERE record IN (1, 4)"));
    env.main()->categoryBox()->setCurrentIndex(1);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);

    QVERIFY(form(env));
    QVERIFY(env.program->guard().isOpen());
    QCOMPARE(env.program->guard().caption(), QStringLiteral("Add New Site"));
    QCOMPARE(form(env)->windowTitle(), addTitle);
    QCOMPARE(env.main()->message(), "Info: " + addTitle);
    QCOMPARE(form(env)->recordNumberField()->text(), QString()); // the database numbers it when saved
    QCOMPARE(env.main()->categoryBox()->currentIndex(), 0);
    QCOMPARE(form(env)->size(), QSize(629, 700));
    const SiteRecord empty = form(env)->typedRecord();
    for (int k = 0; k < Col::TextColumns; ++k) {
        const QString expected = k < Col::FirstMisc && k % 2 == 0
                                     ? QStringList{"Site name", "User name", "Password", "Home page"}[k / 2]
                                     : QString();
        QCOMPARE(empty[k], expected);
    }
    // Every box offers its column's values; category and owner those of all owners.
    QCOMPARE(items(box(env, Col::SiteName)), (QStringList{"Extra", "Mail", "Shop"}));
    QCOMPARE(items(box(env, Col::UserName)).size(), 2);
    QCOMPARE(items(box(env, Col::Category)), (QStringList{"Money", "Work"}));
    QCOMPARE(items(box(env, Col::Owner)), (QStringList{"Home"}));
    QVERIFY(items(box(env, Col::FirstMisc + 1)).isEmpty());
    QVERIFY(!form(env)->gadget(148)->isVisibleTo(form(env)));
    QVERIFY(!form(env)->labelEditor()->isVisibleTo(form(env)));
}

void DataFormTest::newRecordOfAnotherOwnerIsListedUnderIt() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    QCOMPARE(env.main()->ownerBox()->currentText(), QStringLiteral("Home"));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    type(box(env, Col::SiteName), "my new game");
    type(box(env, Col::Password), "p4ss");
    type(box(env, Col::Category), "games");
    type(box(env, Col::Owner), "new york");
    formEvent(env, Id::DataForm::Save);

    QVERIFY(!form(env));
    QVERIFY(!env.program->guard().isOpen());
    QVERIFY(env.boxes.isEmpty());
    // The list is what the panel now shows: the new owner's one record, selected.
    QCOMPARE(env.listRows(), (QList<QStringList>{{"My New Game", "", "****", "", "Games", "5"}}));
    QCOMPARE(env.main()->count(), QStringLiteral("1 Record"));
    QCOMPARE(env.main()->selectedRows(), QList<int>{0});
    QCOMPARE(env.main()->ownerBox()->currentText(), QStringLiteral("New York"));
    QCOMPARE(items(env.main()->ownerBox()), (QStringList{"Home", "New York", "Zoe"}));
    QCOMPARE(items(env.main()->categoryBox()), (QStringList{"All Categories", "Games"}));
    QCOMPARE(env.main()->categoryBox()->currentText(), QStringLiteral("Games"));
    QCOMPARE(env.state.settings.lastOwner, QStringLiteral("New York"));
    const SiteRecord saved = stored(env, "5");
    QCOMPARE(saved[Col::SiteNameLabel], QStringLiteral("Site name"));
    QCOMPARE(saved[Col::SiteName], QStringLiteral("My New Game"));
    QCOMPARE(saved[Col::Password], QStringLiteral("p4ss"));
    QCOMPARE(saved[Col::Owner], QStringLiteral("New York"));
}

void DataFormTest::saveChecksShowBoxAndKeepForm_data() {
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("title");
    QTest::newRow("nothing in the first four") << ""
                                               << "Money"
                                               << "Home"
                                               << "Data Error";
    QTest::newRow("category checked before owner") << "Bank"
                                                   << ""
                                                   << ""
                                                   << "Category Error";
    QTest::newRow("owner") << "Bank"
                           << "Money"
                           << ""
                           << "Owner Error";
}

void DataFormTest::saveChecksShowBoxAndKeepForm() {
    QFETCH(QString, site);
    QFETCH(QString, category);
    QFETCH(QString, owner);
    QFETCH(QString, title);
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    box(env, Col::SiteName)->setEditText(site);
    box(env, Col::FirstMisc + 1)->setEditText("free text does not count");
    form(env)->notes()->setPlainText("nor do notes");
    box(env, Col::Category)->setEditText(category);
    box(env, Col::Owner)->setEditText(owner);
    formEvent(env, Id::DataForm::Save);
    QCOMPARE(env.boxes.size(), 1);
    QCOMPARE(env.boxes[0].title, title);
    QCOMPARE(env.boxes[0].icon, MessageIcon::Exclamation);
    QVERIFY(form(env));
    QCOMPARE(box(env, Col::SiteName)->currentText(), site);
    QCOMPARE(count(env), QStringLiteral("4"));
}

void DataFormTest::quoteSurvivesSaveListAndLoad() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    type(box(env, Col::SiteName), "O'Brien");
    type(box(env, Col::Category), "Pub's");
    type(box(env, Col::Owner), "Home");
    form(env)->notes()->setPlainText("it's here");
    formEvent(env, Id::DataForm::Save);
    const SiteRecord saved = stored(env, "5");
    QCOMPARE(saved[Col::SiteName], QStringLiteral("O'Brien"));
    QCOMPARE(saved[Col::Category], QStringLiteral("Pub's"));
    QCOMPARE(env.listRows().last().at(RecordModel::SiteName), QStringLiteral("O'Brien"));
    QCOMPARE(env.listRows().last().at(RecordModel::Category), QStringLiteral("Pub's"));

    editRow(env, env.main()->model()->rowCount() - 1);
    QCOMPARE(box(env, Col::SiteName)->currentText(), QStringLiteral("O'Brien"));
    QCOMPARE(box(env, Col::Category)->currentText(), QStringLiteral("Pub's"));
    QCOMPARE(form(env)->notes()->toPlainText(), QStringLiteral("it's here"));
    QCOMPARE(form(env)->recordNumberField()->text(), QStringLiteral("5"));
}

void DataFormTest::editLoadsEveryFieldAndEmptiedFieldsAreWritten() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    editRow(env, 0);
    QCOMPARE(env.program->guard().caption(), QStringLiteral("Edit Old Site"));
    QCOMPARE(form(env)->windowTitle(), editTitle);
    QCOMPARE(env.program->dataForms()->editedRow(), 0);
    QCOMPARE(env.program->dataForms()->editedRecord(), QStringLiteral("1"));
    SiteRecord loaded = form(env)->typedRecord();
    loaded[Col::Record] = "1";
    SiteRecord expected = fourRecords()[0];
    expected[Col::Notes] = "pin\n1234";
    expected[Col::Record] = "1";
    QCOMPARE(loaded.field, expected.field);
    QCOMPARE(form(env)->recordNumberField()->text(), QStringLiteral("1"));

    // Everything but the password (and the category and owner a record must have) emptied.
    for (int column = Col::SiteNameLabel; column < Col::Category; ++column) {
        if (column == Col::Password || column == Col::PasswordLabel) {
            continue;
        }
        if (column % 2 == 0) {
            form(env)->label(column)->clear();
        } else {
            box(env, column)->clearEditText();
        }
    }
    form(env)->notes()->clear();
    formEvent(env, Id::DataForm::Save);
    QVERIFY(!form(env));
    const SiteRecord saved = stored(env, "1");
    for (int k = 0; k < Col::TextColumns; ++k) {
        const QString want = k == Col::PasswordLabel ? "Password"
                             : k == Col::Password    ? "secret"
                             : k == Col::Category    ? "Money"
                             : k == Col::Owner       ? "Home"
                                                     : "";
        QCOMPARE(saved[k], want);
    }
    QCOMPARE(env.listRows().first(), (QStringList{"", "", "******", "", "Money", "1"}));
    QCOMPARE(count(env), QStringLiteral("4"));
}

void DataFormTest::guardKeepsTheEditedRecord() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    editRow(env, 0);
    env.main()->selectRow(1);
    env.program->dispatch(Id::Window::Main, Id::Main::RecordList, Notify::DoubleClick, 0);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The [Edit Old Site] window is still open."));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The [Edit Old Site] window is still open."));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::CopyToOwner]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The [Edit Old Site] window is still open."));
    QCOMPARE(env.program->dataForms()->editedRow(), 0);
    QCOMPARE(env.program->dataForms()->editedRecord(), QStringLiteral("1"));
    QCOMPARE(box(env, Col::SiteName)->currentText(), QStringLiteral("Bank"));

    type(box(env, Col::SiteName), "Big Bank");
    formEvent(env, Id::DataForm::Save);
    QCOMPARE(stored(env, "1")[Col::SiteName], QStringLiteral("Big Bank"));
    QCOMPARE(stored(env, "2")[Col::SiteName], QStringLiteral("Mail"));
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Big Bank", "Mail", "Shop"}));
    QCOMPARE(env.main()->currentRow(), 0);

    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The [Add New Site] window is still open."));
}

void DataFormTest::closingReselectsEditedRow_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("exit button") << "button";
    QTest::newRow("Escape key") << "escape";
    QTest::newRow("close box") << "closebox";
}

void DataFormTest::closingReselectsEditedRow() {
    QFETCH(QString, how);
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    editRow(env, 2);
    env.main()->selectRow(0);
    QPointer<DataForm> open = form(env);
    if (how == "button") {
        QTest::mouseClick(static_cast<QWidget*>(open->gadget(Id::DataForm::Exit)), Qt::LeftButton);
    } else if (how == "escape") {
        QVERIFY(QTest::qWaitForWindowActive(open));
        QTest::keyClick(box(env, Col::SiteName)->lineEdit(), Qt::Key_Escape);
    } else {
        open->windowHandle()->close();
    }
    QTRY_VERIFY(!form(env));
    QVERIFY(!env.program->guard().isOpen());
    QCOMPARE(env.program->dataForms()->editedRow(), -1);
    QVERIFY(env.program->dataForms()->editedRecord().isEmpty());
    QCOMPARE(env.main()->currentRow(), 2);
    QCOMPARE(env.main()->selectedRows(), QList<int>{2});
    QCOMPARE(stored(env, "3")[Col::SiteName], QStringLiteral("Shop")); // nothing saved
    QTRY_VERIFY(!open);

    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QVERIFY(form(env));
    QCOMPARE(env.main()->message(), "Info: " + addTitle);
}

void DataFormTest::labelEditorDropsUnconfirmedEdit() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    editRow(env, 0);
    QVERIFY(QTest::qWaitForWindowActive(form(env)));
    QTest::mouseClick(form(env)->labelButtonsSwitch(), Qt::LeftButton, {}, QPoint(5, 10));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Label edit buttons have now been turned on."));
    QVERIFY(form(env)->gadget(203)->isVisible());

    QLabel* userLabel = form(env)->label(Col::UserNameLabel);
    QTest::mouseClick(static_cast<QWidget*>(form(env)->gadget(151)), Qt::LeftButton);
    QComboBox* editor = form(env)->labelEditor();
    QVERIFY(editor->isVisible());
    QVERIFY(!userLabel->isVisible());
    QCOMPARE(editor->geometry(), userLabel->geometry());
    QCOMPARE(editor->currentText(), QStringLiteral("User name"));
    QCOMPARE(items(editor), (QStringList{"Login", "User name"}));
    QTest::keyClicks(editor->lineEdit(), " xyz");

    // A second label's button drops the first edit.
    QTest::mouseClick(static_cast<QWidget*>(form(env)->gadget(154)), Qt::LeftButton);
    QVERIFY(userLabel->isVisible());
    QCOMPARE(userLabel->text(), QStringLiteral("User name"));
    QCOMPARE(env.program->dataForms()->labelEditGadget(), 153);
    QCOMPARE(editor->currentText(), QStringLiteral("Password"));
    type(editor, "pin code");
    QCOMPARE(editor->currentText(), QStringLiteral("Pin Code"));
    QTest::keyClick(editor->lineEdit(), Qt::Key_Return);
    QVERIFY(!editor->isVisible());
    QCOMPARE(form(env)->label(Col::PasswordLabel)->text(), QStringLiteral("Pin Code"));
    QVERIFY(!env.program->dataForms()->labelEditActive());
    QCOMPARE(env.program->dataForms()->labelEditGadget(), -1);
    QCOMPARE(stored(env, "1")[Col::PasswordLabel], QStringLiteral("Password")); // not before saving

    QTest::mouseClick(form(env)->labelButtonsSwitch(), Qt::LeftButton, {}, QPoint(5, 10));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Label edit buttons have now been turned off."));
    QVERIFY(!form(env)->gadget(151)->isVisible());
    formEvent(env, Id::DataForm::Save);
    QCOMPARE(stored(env, "1")[Col::PasswordLabel], QStringLiteral("Pin Code"));
    QCOMPARE(stored(env, "1")[Col::UserNameLabel], QStringLiteral("User name"));
}

void DataFormTest::typingCapitalisesButLeavesSelection() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    type(box(env, Col::Owner), "new york");
    QCOMPARE(box(env, Col::Owner)->currentText(), QStringLiteral("New York"));
    type(box(env, Col::SiteName), "eBay McDonald");
    QCOMPARE(box(env, Col::SiteName)->currentText(), QStringLiteral("EBay McDonald"));
    type(box(env, Col::UserName), "not this one");
    QCOMPARE(box(env, Col::UserName)->currentText(), QStringLiteral("not this one"));

    // Typing in the middle keeps the caret where it was.
    QLineEdit* category = box(env, Col::Category)->lineEdit();
    type(box(env, Col::Category), "bank");
    category->setCursorPosition(0);
    QTest::keyClicks(category, "my ");
    QCOMPARE(category->text(), QStringLiteral("My Bank"));
    QCOMPARE(category->cursorPosition(), 3);

    // With text selected nothing is changed.
    category->setText("my bank");
    category->setSelection(3, 4);
    formEvent(env, Id::DataForm::CategoryBox, Notify::Changed);
    QCOMPARE(category->text(), QStringLiteral("my bank"));
    QCOMPARE(category->selectedText(), QStringLiteral("bank"));
}

void DataFormTest::clearKeepsTheMode() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    editRow(env, 1);
    formEvent(env, Id::DataForm::Clear);
    SiteRecord cleared = form(env)->typedRecord();
    QCOMPARE(cleared[Col::UserNameLabel], QStringLiteral("User name"));
    QVERIFY(cleared[Col::SiteName].isEmpty());
    QVERIFY(cleared[Col::Owner].isEmpty());
    QCOMPARE(form(env)->recordNumberField()->text(), QStringLiteral("2"));
    QCOMPARE(env.program->guard().caption(), QStringLiteral("Edit Old Site"));
    type(box(env, Col::SiteName), "Post");
    type(box(env, Col::Category), "Work");
    type(box(env, Col::Owner), "Home");
    formEvent(env, Id::DataForm::Save);
    QCOMPARE(count(env), QStringLiteral("4"));
    QCOMPARE(stored(env, "2")[Col::SiteName], QStringLiteral("Post"));
    QCOMPARE(stored(env, "2")[Col::UserName], QString());
}

void DataFormTest::refusedSaveKeepsTyping_data() {
    QTest::addColumn<bool>("editing");
    QTest::newRow("insert") << false;
    QTest::newRow("update") << true;
}

void DataFormTest::refusedSaveKeepsTyping() {
    QFETCH(bool, editing);
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    QVERIFY(env.state.database.execute(
        QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON quillbox BEGIN SELECT RAISE(ABORT, 'the disk is full'); END")
            .arg(editing ? "UPDATE" : "INSERT")));
    const QList<QStringList> before = env.listRows();
    if (editing) {
        editRow(env, 1);
    } else {
        env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    }
    type(box(env, Col::SiteName), "Kept");
    type(box(env, Col::Category), "Work");
    type(box(env, Col::Owner), "Home");
    form(env)->notes()->setPlainText("typed notes");
    formEvent(env, Id::DataForm::Save);

    QCOMPARE(env.main()->message(), QStringLiteral("Error: the disk is full"));
    QVERIFY(form(env));
    QVERIFY(env.program->guard().isOpen());
    QCOMPARE(box(env, Col::SiteName)->currentText(), QStringLiteral("Kept"));
    QCOMPARE(form(env)->notes()->toPlainText(), QStringLiteral("typed notes"));
    QCOMPARE(env.listRows(), before);

    // Once the database takes it, the same form saves.
    QVERIFY(env.state.database.execute("DROP TRIGGER refuse"));
    formEvent(env, Id::DataForm::Save);
    QVERIFY(!form(env));
    QCOMPARE(stored(env, editing ? "2" : "5")[Col::SiteName], QStringLiteral("Kept"));
}

void DataFormTest::vanishedRecordIsReported() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    editRow(env, 1);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::DeleteRecords]);
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Shop"}));
    type(box(env, Col::SiteName), "Mail again");
    formEvent(env, Id::DataForm::Save);
    QCOMPARE(env.main()->message(),
             QStringLiteral("Error: The record being edited is no longer in the database; nothing was saved."));
    QVERIFY(form(env));
    QCOMPARE(count(env), QStringLiteral("3"));
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Bank", "Shop"}));
}

void DataFormTest::notesAreStoredWithCrLf() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QVERIFY(QTest::qWaitForWindowActive(form(env)));
    type(box(env, Col::SiteName), "Notes");
    type(box(env, Col::Category), "Work");
    type(box(env, Col::Owner), "Home");
    QTextEdit* notes = form(env)->notes();
    notes->setFocus();
    QTest::keyClicks(notes, "line one");
    QTest::keyClick(notes, Qt::Key_Return); // a new line here, not the form's key
    QTest::keyClicks(notes, "line two");
    formEvent(env, Id::DataForm::Save);
    QCOMPARE(stored(env, "5")[Col::Notes], QStringLiteral("line one\r\nline two"));
    editRow(env, env.main()->model()->rowCount() - 1);
    QCOMPARE(form(env)->notes()->toPlainText(), QStringLiteral("line one\nline two"));
}

void DataFormTest::editedRowFollowsItsRecord() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    editRow(env, 0); // Bank
    // The list is re-sorted while the form is open: Shop, Mail, Bank.
    env.program->dispatch(Id::Window::Main, Id::Main::RecordList, Notify::ColumnClick, 0);
    env.program->dispatch(Id::Window::Main, Id::Main::RecordList, Notify::ColumnClick, 0);
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Shop", "Mail", "Bank"}));
    type(box(env, Col::SiteName), "Bank Two");
    formEvent(env, Id::DataForm::Save);
    QCOMPARE(env.column(RecordModel::SiteName), (QStringList{"Shop", "Mail", "Bank Two"}));
    QCOMPARE(env.column(RecordModel::Record), (QStringList{"3", "2", "1"}));
    QCOMPARE(env.main()->currentRow(), 2);
}

void DataFormTest::copyToNewOwnerStartsFromSelectedRecord() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    env.main()->recordList()->selectionModel()->clear();
    env.program->command(Id::MenuItemOfSlot[Id::Slot::CopyToOwner]);
    QCOMPARE(env.main()->message(), QStringLiteral("Info: There is no site/software selected to edit."));
    QVERIFY(!form(env));

    env.main()->selectRow(0);
    env.program->command(Id::PopupItemOfSlot[Id::Slot::CopyToOwner]);
    QVERIFY(form(env));
    QCOMPARE(env.program->guard().caption(), QStringLiteral("Add New Site"));
    QCOMPARE(form(env)->windowTitle(), addTitle);
    QCOMPARE(form(env)->recordNumberField()->text(), QString());
    QCOMPARE(box(env, Col::SiteName)->currentText(), QStringLiteral("Bank"));
    QCOMPARE(form(env)->label(Col::FirstMisc)->text(), QStringLiteral("Branch"));
    QVERIFY(box(env, Col::Owner)->currentText().isEmpty());
    QVERIFY(QTest::qWaitForWindowActive(form(env)));
    QCOMPARE(QApplication::focusWidget(), box(env, Col::Owner));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The [Add New Site] window is still open."));

    QTest::keyClicks(box(env, Col::Owner)->lineEdit(), "zoe");
    formEvent(env, Id::DataForm::Save);
    SiteRecord copy = stored(env, "5");
    SiteRecord original = stored(env, "1");
    QCOMPARE(copy[Col::Owner], QStringLiteral("Zoe"));
    QCOMPARE(original[Col::Owner], QStringLiteral("Home"));
    copy[Col::Owner] = original[Col::Owner];
    copy[Col::Record] = original[Col::Record];
    QCOMPARE(copy.field, original.field);
}

void DataFormTest::generatorAndStrength() {
    TestEnv env;
    QVERIFY(startWith(env, fourRecords()));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QLabel* strength = form(env)->strengthLabel();
    QCOMPARE(strength->text(), QString());
    type(box(env, Col::Password), "password");
    QVERIFY2(strength->text().startsWith("poor"), qPrintable(strength->text()));

    formEvent(env, Id::DataForm::Generator);
    auto* generator = form(env)->findChild<GeneratorWindow*>();
    QVERIFY(generator && generator->isVisible());
    const QString first = generator->value();
    generator->generate();
    QVERIFY(generator->value() != first);
    QCOMPARE(generator->value().size(), 20);
    generator->passphraseChoice()->setChecked(true);
    QCOMPARE(generator->value().count('-'), 5);
    const QString chosen = generator->value();
    QTest::mouseClick(generator->findChildren<QPushButton*>().at(1), Qt::LeftButton); // Apply
    QCOMPARE(box(env, Col::Password)->currentText(), chosen);
    QVERIFY2(!strength->text().startsWith("poor"), qPrintable(strength->text()));
}

QTEST_MAIN(DataFormTest)
#include "tst_dataform.moc"
