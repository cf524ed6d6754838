#include "app/BalloonTips.h"
#include "app/Ids.h"
#include "app/WindowSnapper.h"
#include "dataform/DataForm.h"
#include "mainwindow/MainWindow.h"
#include "settings/IdleWatch.h"
#include "settings/ProgramSettings.h"
#include "support/TestEnv.h"
#include "text/ProgramText.h"

#include <QAction>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
enum class Way { Menu, Popup, Shortcut };

int commandNumber(int slot, Way way) {
    switch (way) {
    case Way::Menu:
        return Id::MenuItemOfSlot[slot];
    case Way::Popup:
        return Id::PopupItemOfSlot[slot];
    default:
        return Id::FirstShortcutEvent + slot;
    }
}

const char* const optionKeys[] = {"Tool tips On or Off", "Animate windows", "Screen snap On or Off",
                                  "Show private data in list", "Title bar update On or Off"};

void startWithOption(TestEnv& env, int slot, int value) {
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("System"));
    ProgramSettings saved = defaultSettings();
    const std::array<int*, 5> options{&saved.optToolTips, &saved.optFading, &saved.optSnap, &saved.optShowPrivate,
                                      &saved.optTitleClock};
    *options[static_cast<size_t>(slot - Id::Slot::ToolTips)] = value;
    QVERIFY(saveSettings(env.state.files.settingsFile, saved).ok());
    QVERIFY(env.start());
}

void showTipOn(QWidget* widget) {
    QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), widget->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(widget, &event);
}
} // namespace

Q_DECLARE_METATYPE(Way)

class OptionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void toggle_data();
    void toggle();
    void showPrivateUnmasksTheList();
    void mainToolTipsFollowTheOption();
    void formToolTipsOutliveTheOptionAndComeBackOnReopen();
    void clockTexts_data();
    void clockTexts();
    void clockOffShowsTodaysTitleAndOnBuildsOnStartTitle();
    void snappingFollowsTheOption();
    void valueOptions_data();
    void valueOptions();
};

void OptionsTest::toggle_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<Way>("way");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("message"); // empty: no message
    QTest::newRow("tool tips off, menu") << 13 << Way::Menu << 1 << 0
                                         << "Info: The global form tool tips have now been turned off.";
    QTest::newRow("tool tips on, shortcut")
        << 13 << Way::Shortcut << 0 << 1 << "Info: The global form tool tips have now been turned on.";
    QTest::newRow("fading on, pop-up") << 14 << Way::Popup << 0 << 1
                                       << "Info: Fading of forms in and out of the screen has now been turned on.";
    QTest::newRow("snap off, shortcut") << 15 << Way::Shortcut << 1 << 0
                                        << "Info: Snapping forms to borders has now been turned off.";
    QTest::newRow("private on, menu") << 16 << Way::Menu << 0 << 1
                                      << "Info: Showing passwords in the list been turned on.";
    QTest::newRow("clock off, pop-up") << 17 << Way::Popup << 1 << 0
                                       << "Info: Updating time in window titlebar has been turned off.";
    QTest::newRow("tool tips stored 2") << 13 << Way::Menu << 2 << 2 << "";
    QTest::newRow("clock stored 2") << 17 << Way::Shortcut << 2 << 2 << "";
}

void OptionsTest::toggle() {
    QFETCH(int, slot);
    QFETCH(Way, way);
    QFETCH(int, stored);
    QFETCH(int, expected);
    QFETCH(QString, message);
    TestEnv env;
    startWithOption(env, slot, stored);
    QCOMPARE(env.main()->menuAction(slot)->isChecked(), stored == 1);
    // Saved even when nothing changes: a missing file comes back with every entry.
    QVERIFY(QFile::remove(env.state.files.settingsFile));
    env.program->command(commandNumber(slot, way));
    QCOMPARE(env.program->options()->optionValue(slot), expected);
    QCOMPARE(env.main()->message(), message.isEmpty() ? QStringLiteral("Info: Quillbox is ready to work.") : message);
    QCOMPARE(readSetting(env.state.files.settingsFile, SettingsKey::ProgramOptions,
                         QString::fromLatin1(optionKeys[slot - Id::Slot::ToolTips])),
             QString::number(expected));
    QCOMPARE(readSetting(env.state.files.settingsFile, SettingsKey::KeyboardShortcuts, QStringLiteral("Show Help")),
             QStringLiteral("262216"));
    QCOMPARE(env.main()->menuAction(slot)->isChecked(), expected == 1);
    QCOMPARE(env.main()->popupAction(slot)->isChecked(), expected == 1);
}

void OptionsTest::showPrivateUnmasksTheList() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "s3cret", "", "Money", "Home")});
    QVERIFY(env.start());
    QCOMPARE(env.listRows().value(0).mid(1, 2), (QStringList{"***", "******"}));
    env.program->command(commandNumber(Id::Slot::ShowPrivate, Way::Shortcut));
    QCOMPARE(env.listRows().value(0).mid(1, 2), (QStringList{"ann", "s3cret"}));
    env.program->command(commandNumber(Id::Slot::ShowPrivate, Way::Menu));
    QCOMPARE(env.listRows().value(0).mid(1, 2), (QStringList{"***", "******"}));
}

void OptionsTest::mainToolTipsFollowTheOption() {
    TestEnv env;
    QVERIFY(env.start());
    BalloonTips* tips = &env.program->toolTips();
    QCOMPARE(tips->count(Id::Window::Main), 10); // five gadgets, five menu entries
    QCOMPARE(tips->text(Id::Window::Main, Id::Main::SearchText),
             QStringLiteral("Start typing your search string and matches will be instant if found."));

    // The list sees the mouse through its viewport; the balloon drops the Windows line ends.
    showTipOn(env.main()->recordList()->viewport());
    QVERIFY(tips->balloon());
    QVERIFY(tips->balloon()->text().startsWith(QStringLiteral("Double left click to edit a highlighted record.\n\n")));
    QVERIFY(!tips->balloon()->text().contains(QLatin1Char('\r')));
    QVERIFY(tips->balloon()->width() <= BalloonTip::MaxWidth);
    QVERIFY(tips->balloon()->height() > 4 * tips->balloon()->fontMetrics().height()); // wrapped, not one line
    QTest::mouseClick(env.main()->recordList()->viewport(), Qt::LeftButton);
    QVERIFY(!tips->balloon());

    // Menu entries carry tips of their own, shown for the entry under the mouse.
    QAction* idle = env.main()->itemAction(Id::IdleLockItem);
    auto* options = qobject_cast<QMenu*>(idle->associatedObjects().value(0));
    QVERIFY(options);
    options->popup(QPoint(0, 0));
    const QPoint onEntry = options->actionGeometry(idle).center();
    QHelpEvent help(QEvent::ToolTip, onEntry, options->mapToGlobal(onEntry));
    QApplication::sendEvent(options, &help);
    QVERIFY(tips->balloon());
    QVERIFY(tips->balloon()->text().startsWith(QStringLiteral("Lock Quillbox into the notification area")));
    // Moving on to an entry without a tip takes it away.
    const QPoint offEntry = options->actionGeometry(env.main()->menuAction(Id::Slot::Snap)).center();
    QMouseEvent move(QEvent::MouseMove, offEntry, options->mapToGlobal(offEntry), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(options, &move);
    QVERIFY(!tips->balloon());

    env.program->command(commandNumber(Id::Slot::ToolTips, Way::Menu));
    QCOMPARE(tips->count(Id::Window::Main), 0);
    QApplication::sendEvent(options, &help);
    QVERIFY(!tips->balloon());
    options->close();
    showTipOn(env.main()->searchText());
    QVERIFY(!tips->balloon());

    env.program->command(commandNumber(Id::Slot::ToolTips, Way::Menu));
    QCOMPARE(tips->count(Id::Window::Main), 10);
    showTipOn(env.main()->searchText());
    QVERIFY(tips->balloon());
    QCOMPARE(tips->balloon()->text(),
             QStringLiteral("Start typing your search string and matches will be instant if found."));
}

void OptionsTest::formToolTipsOutliveTheOptionAndComeBackOnReopen() {
    TestEnv env;
    QVERIFY(env.start());
    BalloonTips* tips = &env.program->toolTips();
    auto install = [&env](QWidget* form) {
        const QList<QLineEdit*> fields = form->findChildren<QLineEdit*>();
        env.program->toolTips().installAll(Id::Window::DataForm, DataForm::toolTips(),
                                           {{165, fields.at(0)}, {167, fields.at(1)}, {999, form}});
    };
    auto openForm = [&install] {
        auto* form = new QWidget;
        new QLineEdit(form);
        new QLineEdit(form);
        install(form);
        return form;
    };
    QWidget* form = openForm();
    QCOMPARE(tips->count(Id::Window::DataForm), 2); // only gadgets the table names
    QCOMPARE(tips->text(Id::Window::DataForm, 167), QStringLiteral("The owner of this data record."));
    install(form);
    QCOMPARE(tips->count(Id::Window::DataForm), 2);

    env.program->command(commandNumber(Id::Slot::ToolTips, Way::Popup)); // off: the open form keeps its tips
    QCOMPARE(tips->count(Id::Window::Main), 0);
    QCOMPARE(tips->count(Id::Window::DataForm), 2);
    delete form;
    QCOMPARE(tips->count(Id::Window::DataForm), 0);
    form = openForm(); // opened while tips are off: none
    QCOMPARE(tips->count(Id::Window::DataForm), 0);
    delete form;

    env.program->command(commandNumber(Id::Slot::ToolTips, Way::Popup));
    QWidget* closing = openForm();
    form = openForm(); // a new form while the old one is still being torn down gets its own tips
    QCOMPARE(tips->count(Id::Window::DataForm), 2);
    showTipOn(form->findChildren<QLineEdit*>().at(0));
    QVERIFY(tips->balloon());
    QCOMPARE(tips->balloon()->text(), QStringLiteral("Select the product/sitename category to save."));
    delete closing;
    QCOMPARE(tips->count(Id::Window::DataForm), 2);
    delete form;
}

void OptionsTest::clockTexts_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("clock");
    QTest::newRow("half past midnight") << QTime(0, 30, 0) << "00:30:00 AM";
    QTest::newRow("noon") << QTime(12, 0, 0) << "12:00:00 AM";
    QTest::newRow("five past one") << QTime(13, 5, 0) << "13:05:00 PM";
}

void OptionsTest::clockTexts() {
    QFETCH(QTime, time);
    QFETCH(QString, clock);
    TestEnv env;
    QVERIFY(env.start());
    env.now.setTime(time);
    env.program->dispatch(Id::Window::Main, Id::Main::ClockTimer, Notify::Timer);
    QCOMPARE(env.main()->windowTitle(),
             QStringLiteral("<°)))o><²³  Vennholt Quillbox v2.00  --  Tuesday, 8 December 2026  --  Current time: ") +
                 clock);
}

void OptionsTest::clockOffShowsTodaysTitleAndOnBuildsOnStartTitle() {
    TestEnv env;
    QVERIFY(env.start());
    const QString startTitle = env.main()->windowTitle();
    env.now = QDateTime(QDate(2026, 12, 9), QTime(9, 15, 0));
    env.program->command(commandNumber(Id::Slot::TitleClock, Way::Menu));
    QCOMPARE(env.main()->windowTitle(),
             QStringLiteral("<°)))o><²³  Vennholt Quillbox v2.00  --  Wednesday, 9 December 2026"));
    env.program->command(commandNumber(Id::Slot::TitleClock, Way::Menu));
    env.program->dispatch(Id::Window::Main, Id::Main::ClockTimer, Notify::Timer);
    QCOMPARE(env.main()->windowTitle(), startTitle + QStringLiteral("  --  Current time: 09:15:00 AM"));
}

void OptionsTest::snappingFollowsTheOption() {
    TestEnv env;
    QVERIFY(env.start());
    QVERIFY(env.program->snapper());
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint); // no frame: the platform's margins vary
    window.setGeometry(200, 200, 200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(30, 200);
    QTRY_COMPARE(window.pos(), QPoint(0, 200));
    window.move(40, 200);
    QTest::qWait(20);
    QCOMPARE(window.pos(), QPoint(40, 200));

    env.program->command(commandNumber(Id::Slot::Snap, Way::Menu));
    window.move(-60, 200); // partly off the screen, as asked
    QTest::qWait(20);
    QCOMPARE(window.pos(), QPoint(-60, 200));
}

// The Options entries that take a value: a number asked for (cancelled: nothing changes), put into
// effect, saved and shown in the entry's text.
void OptionsTest::valueOptions_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QList<int>>("expected"); // clearing, seconds, idle minutes, as held and saved
    QTest::addColumn<QString>("message");     // empty: none
    QTest::addColumn<QString>("entry");       // the entry's text afterwards
    QTest::newRow("idle minutes") << int(Id::IdleLockItem) << QList<int>{5} << QList<int>{1, 30, 5}
                                  << "Info: Quillbox now locks after 5 minutes without input."
                                  << "Lock after 5 minutes without input...";
    QTest::newRow("idle never") << int(Id::IdleLockItem) << QList<int>{0} << QList<int>{1, 30, 0}
                                << "Info: Quillbox no longer locks when left alone."
                                << "Lock when idle: never...";
    QTest::newRow("idle cancelled") << int(Id::IdleLockItem) << QList<int>{} << QList<int>{1, 30, 10} << ""
                                    << "Lock after 10 minutes without input...";
    QTest::newRow("clipboard delay") << int(Id::ClipboardDelayItem) << QList<int>{1} << QList<int>{1, 1, 10}
                                     << "Info: Copies are taken off the clipboard after 1 second."
                                     << "Clipboard delay: 1 second...";
    QTest::newRow("clearing off") << int(Id::ClearClipboardItem) << QList<int>{} << QList<int>{0, 30, 10}
                                  << "Info: Copies now stay on the clipboard."
                                  << "Clear the clipboard after a copy";
}

void OptionsTest::valueOptions() {
    QFETCH(int, item);
    QFETCH(QList<int>, answers);
    QFETCH(QList<int>, expected);
    QFETCH(QString, message);
    QFETCH(QString, entry);
    TestEnv env;
    QVERIFY(env.start());
    QAction* action = env.main()->itemAction(item);
    QVERIFY(action);
    env.numberAnswers = answers;
    action->trigger(); // as the menu does
    QCOMPARE(env.numberQuestions.size(), item == Id::ClearClipboardItem ? 0 : 1);
    QCOMPARE(env.main()->message(), message.isEmpty() ? QStringLiteral("Info: Quillbox is ready to work.") : message);
    QCOMPARE(action->text(), entry);
    QCOMPARE(action->isChecked(), item == Id::ClearClipboardItem && expected[0] == 1);
    QCOMPARE((QList<int>{env.state.settings.optClearClipboard, env.state.settings.clipboardSeconds,
                         env.state.settings.idleLockMinutes}),
             expected);
    ProgramSettings saved;
    QVERIFY(loadSettings(env.state.files.settingsFile, saved).ok());
    QCOMPARE((QList<int>{saved.optClearClipboard, saved.clipboardSeconds, saved.idleLockMinutes}), expected);
    QCOMPARE(env.program->security().idleWatch()->timeout(), expected[2] * 60 * 1000);
    QCOMPARE(env.program->security().idleWatch()->isArmed(), expected[2] > 0);
}

QTEST_MAIN(OptionsTest)
#include "tst_options.moc"
