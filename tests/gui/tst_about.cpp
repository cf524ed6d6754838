#include "about/AboutWindow.h"
#include "app/Ids.h"
#include "dataform/DataForm.h"
#include "mainwindow/MainWindow.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QLabel>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

class AboutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensWithBannerAndReadOnlyText();
    void isNotGuardedAndLeavesTheGuardAlone_data();
    void isNotGuardedAndLeavesTheGuardAlone();
};

void AboutTest::opensWithBannerAndReadOnlyText() {
    TestEnv env;
    QVERIFY(env.start());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::About]);
    AboutWindow* about = env.program->about()->window();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("<°)))o><²³  About Quillbox"));
    QCOMPARE(about->size(), QSize(340, 550));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: <°)))o><²³  About Quillbox"));
    QCOMPARE(about->banner()->pixmap().size(), QSize(320, 80));
    QTextEdit* text = about->text();
    QVERIFY(text->isReadOnly());
    QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
    QVERIFY(text->toPlainText().contains("SQLite"));
    QVERIFY(!env.program->guard().isOpen());
    // Typing changes nothing.
    const QString before = text->toPlainText();
    QTest::keyClicks(text, "xyz");
    QCOMPARE(text->toPlainText(), before);
}

void AboutTest::isNotGuardedAndLeavesTheGuardAlone_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Escape") << true;
    QTest::newRow("close box") << false;
}

void AboutTest::isNotGuardedAndLeavesTheGuardAlone() {
    QFETCH(bool, escape);
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "pw", "", "Money", "Home")});
    QVERIFY(env.start());
    env.main()->selectRow(0);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
    QVERIFY(env.program->dataForms()->window());

    env.program->command(Id::MenuItemOfSlot[Id::Slot::About]);
    QPointer<AboutWindow> about = env.program->about()->window();
    QVERIFY(about);
    if (escape) {
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(about->text(), Qt::Key_Escape);
    } else {
        about->windowHandle()->close();
    }
    QTRY_VERIFY(!env.program->about()->window());
    QTRY_VERIFY(!about);

    // The data form is still open, still guarded, and still saves its own record.
    QVERIFY(env.program->dataForms()->window());
    QVERIFY(env.program->guard().isOpen());
    QCOMPARE(env.program->dataForms()->editedRecord(), QStringLiteral("1"));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: The [Edit Old Site] window is still open."));
    env.program->dataForms()->window()->valueBox(Col::SiteName)->setEditText("Big Bank");
    env.program->dispatch(Id::Window::DataForm, Id::DataForm::Save, Notify::Command, 0);
    QVERIFY(!env.program->dataForms()->window());
    QCOMPARE(env.column(0), QStringList{"Big Bank"});

    env.program->command(Id::MenuItemOfSlot[Id::Slot::About]);
    QVERIFY(env.program->about()->window());
}

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
