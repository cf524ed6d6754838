// The one-time code in the list and the form, by the program's clock, and the password health
// report, whose rows open their records.
#include "app/Ids.h"
#include "dataform/DataForm.h"
#include "dataform/DataFormController.h"
#include "health/HealthController.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "recovery/EntryWindow.h"
#include "support/TestEnv.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

// Record 1 holds the RFC 6238 SHA-1 key as a TOTP secret; record 2 a weak password, used twice.
bool startWithCodes(TestEnv& env) {
    SiteRecord coded = makeRecord("Code", "ann", "v7#Qm2!pLx9@Rt4&Wz", "", "Work", "Ann");
    coded[Col::FirstMisc] = QStringLiteral("TOTP");
    coded[Col::FirstMisc + 1] = QStringLiteral("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ");
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {coded, makeRecord("Bank", "ann", "password", "", "Money", "Ann"),
                                                makeRecord("Shop", "ann", "password", "", "Fun", "Ann")});
    return env.start();
}

int rowOf(TestEnv& env, const QString& record) {
    for (int r = 0; r < env.main()->model()->rowCount(); ++r) {
        if (env.main()->model()->cell(r, RecordModel::Record) == record) {
            return r;
        }
    }
    return -1;
}

QDateTime at(qint64 unixSeconds) {
    return QDateTime::fromSecsSinceEpoch(unixSeconds, Qt::UTC);
}

} // namespace

class KeeperToolsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneTimeCodeCopiedAndShown();
    void healthReportOpensItsRecords();
};

void KeeperToolsTest::oneTimeCodeCopiedAndShown() {
    TestEnv env;
    QVERIFY(startWithCodes(env));
    env.now = at(59); // RFC 6238: 94287082, its last six digits the code
    env.main()->selectRow(rowOf(env, "1"));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::CopyOneTimeCode]);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("287082"));
    env.main()->selectRow(rowOf(env, "2"));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::CopyOneTimeCode]);
    QVERIFY2(env.main()->message().contains("no one-time code"), qPrintable(env.main()->message()));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("287082")); // left as it was

    env.main()->selectRow(rowOf(env, "1"));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditRecord]);
    DataForm* form = env.program->dataForms()->window();
    QVERIFY(form);
    QCOMPARE(form->oneTimeCodeLabel()->text(), QStringLiteral("287082  1 s"));
    QCOMPARE(form->valueBox(Col::FirstMisc + 1)->lineEdit()->echoMode(), QLineEdit::Password);
    env.now = at(1111111111); // 14050471, 29 s left in its period
    env.program->dataForms()->updateOneTimeCode();
    QCOMPARE(form->oneTimeCodeLabel()->text(), QStringLiteral("050471  29 s"));
    // A secret typed wrong says so; a field that no longer holds one takes the code away.
    form->valueBox(Col::FirstMisc + 1)->setEditText(QStringLiteral("GEZ!"));
    env.program->dataForms()->updateOneTimeCode();
    QVERIFY(form->oneTimeCodeLabel()->toolTip().contains("not Base32"));
    form->label(Col::FirstMisc)->setText(QStringLiteral("Branch"));
    env.program->dataForms()->updateOneTimeCode();
    QVERIFY(!form->oneTimeCodeLabel()->isVisible());
    QCOMPARE(form->valueBox(Col::FirstMisc + 1)->lineEdit()->echoMode(), QLineEdit::Normal);
}

void KeeperToolsTest::healthReportOpensItsRecords() {
    TestEnv env;
    QVERIFY(startWithCodes(env));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::PasswordHealth]);
    EntryWindow* window = env.program->health()->window();
    QVERIFY(window);
    QStringList findings;
    for (int i = 0; i < window->list()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = window->list()->topLevelItem(i);
        findings << item->text(0) + ' ' + item->text(4);
    }
    QCOMPARE(findings, (QStringList{"Weak 2", "Weak 3", "Reused 2", "Reused 3"}));
    // Another window cannot open over it; a row opens its record in the data form.
    env.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
    QVERIFY(!env.program->dataForms()->window());
    window->list()->setCurrentItem(window->list()->topLevelItem(1));
    env.program->dispatch(Id::Window::Health, 0, Notify::DoubleClick, 0);
    QVERIFY(!env.program->health()->window());
    QVERIFY(env.program->dataForms()->window());
    QCOMPARE(env.program->dataForms()->editedRecord(), QStringLiteral("3"));
}

QTEST_MAIN(KeeperToolsTest)
#include "tst_keepertools.moc"
