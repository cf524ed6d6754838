// What the program copies: the log-in parts of the selected record, marked secret, and taken off the
// system clipboard again after the delay unless something else was copied since. The real
// clipboard throughout.
#include "app/ClipboardKeeper.h"
#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "settings/Shortcuts.h"
#include "support/TestEnv.h"

#include <QClipboard>
#include <QMimeData>
#include <QTableView>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
enum class Way { Menu, Popup, ShortcutEvent, Key };

// Bank, Licence (labels renamed) and Mail (no user name) of the owner Ann, listed in that order.
bool startWithLogins(TestEnv& env, int clearSeconds = 30, int clearing = 1) {
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("System"));
    ProgramSettings saved = defaultSettings();
    saved.clipboardSeconds = clearSeconds;
    saved.optClearClipboard = clearing;
    if (!saveSettings(env.state.files.settingsFile, saved).ok()) {
        return false;
    }
    SiteRecord licence = makeRecord("Licence", "Ann Smith", "ABCD-1234", "", "Software", "Ann");
    licence[Col::UserNameLabel] = "Licensee";
    licence[Col::PasswordLabel] = "Serial key";
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "pw'1", "", "Money", "Ann"), licence,
                                                makeRecord("Mail", "", "s3cret", "", "Work", "Ann")});
    return env.start();
}

void give(TestEnv& env, int slot, Way way) {
    switch (way) {
    case Way::Menu:
        env.program->command(Id::MenuItemOfSlot[slot]);
        break;
    case Way::Popup:
        env.program->command(Id::PopupItemOfSlot[slot]);
        break;
    case Way::ShortcutEvent:
        env.program->command(shortcutEventNumber(slot));
        break;
    case Way::Key: {
        // The default keys, pressed where the user would press them.
        QApplication::setActiveWindow(env.main());
        const auto keys = keyCombinationForValue(defaultShortcutCodes()[static_cast<size_t>(slot)]);
        QTest::keyClick(env.main()->recordList(), keys.key(), keys.keyboardModifiers());
        break;
    }
    }
}

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}
} // namespace

Q_DECLARE_METATYPE(Way)

class ClipboardTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void copiesALoginPart_data();
    void copiesALoginPart();
    void clearedOnlyWhenUnchanged_data();
    void clearedOnlyWhenUnchanged();
};

void ClipboardTest::copiesALoginPart_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<Way>("way");
    QTest::addColumn<int>("row"); // -1: none selected
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("message");
    const int user = Id::Slot::CopyUserName;
    const int password = Id::Slot::CopyPassword;
    QTest::newRow("user name, menu") << user << Way::Menu << 0 << "ann"
                                     << "Info: User name of Bank copied to the clipboard, cleared in 30 seconds.";
    QTest::newRow("password, Ctrl+Shift+C") << password << Way::Key << 0 << "pw'1"
                                            << "Info: Password of Bank copied to the clipboard, cleared in 30 seconds.";
    QTest::newRow("user name, Ctrl+U") << user << Way::Key << 0 << "ann"
                                       << "Info: User name of Bank copied to the clipboard, cleared in 30 seconds.";
    QTest::newRow("renamed labels, pop-up")
        << password << Way::Popup << 1 << "ABCD-1234"
        << "Info: Serial key of Licence copied to the clipboard, cleared in 30 seconds.";
    QTest::newRow("renamed user label, shortcut event")
        << user << Way::ShortcutEvent << 1 << "Ann Smith"
        << "Info: Licensee of Licence copied to the clipboard, cleared in 30 seconds.";
    QTest::newRow("empty value keeps the clipboard") << user << Way::Menu << 2 << ""
                                                     << "Error: There is no User name on this record to copy.";
    QTest::newRow("no row selected") << password << Way::Menu << -1 << ""
                                     << "Error: There is no current line selected.";
}

void ClipboardTest::copiesALoginPart() {
    QFETCH(int, slot);
    QFETCH(Way, way);
    QFETCH(int, row);
    QFETCH(QString, copied);
    QFETCH(QString, message);
    TestEnv env;
    QVERIFY(startWithLogins(env));
    QCOMPARE(env.listRows().value(0).value(2), QStringLiteral("****")); // masked in the list, copied plain
    env.main()->selectRow(row);
    clipboard()->setText("old text");
    give(env, slot, way);
    QCOMPARE(env.main()->message(), message);
    QCOMPARE(clipboard()->text(), copied.isEmpty() ? QStringLiteral("old text") : copied);
    // What the program copied asks clipboard histories to leave it out.
    QCOMPARE(clipboard()->mimeData()->data(ClipboardKeeper::SecretHint),
             copied.isEmpty() ? QByteArray() : QByteArray("secret"));
}

void ClipboardTest::clearedOnlyWhenUnchanged_data() {
    QTest::addColumn<int>("clearing"); // the option
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("copiedSince"); // what the user copies before the time is up; empty: nothing
    QTest::addColumn<bool>("exitFirst");      // the program ends before the time is up
    QTest::addColumn<QString>("left");        // what the clipboard holds in the end
    QTest::newRow("password left alone: cleared") << 1 << int(Id::Slot::CopyPassword) << "" << false << "";
    QTest::newRow("record text left alone: cleared") << 1 << int(Id::Slot::CopyRecords) << "" << false << "";
    QTest::newRow("something copied since: kept") << 1 << int(Id::Slot::CopyPassword) << "mine" << false << "mine";
    QTest::newRow("option off: kept") << 0 << int(Id::Slot::CopyUserName) << "" << false << "ann";
    QTest::newRow("program ends first: cleared") << 1 << int(Id::Slot::CopyPassword) << "" << true << "";
    QTest::newRow("program ends after a copy since: kept")
        << 1 << int(Id::Slot::CopyPassword) << "mine" << true << "mine";
}

void ClipboardTest::clearedOnlyWhenUnchanged() {
    QFETCH(int, clearing);
    QFETCH(int, slot);
    QFETCH(QString, copiedSince);
    QFETCH(bool, exitFirst);
    QFETCH(QString, left);
    TestEnv env;
    QVERIFY(startWithLogins(env, 1, clearing)); // the shortest delay: one second
    env.main()->selectRow(0);
    give(env, slot, Way::Menu);
    QVERIFY(!clipboard()->text().isEmpty());
    ClipboardKeeper* keeper = &env.program->clipboard();
    QCOMPARE(keeper->isPending(), clearing == 1);
    if (!copiedSince.isEmpty()) {
        clipboard()->setText(copiedSince);
    }
    if (exitFirst) {
        env.program->shutDown();
        QVERIFY(!keeper->isPending());
    }
    env.clock.advance(999);
    QCOMPARE(keeper->isPending(), clearing == 1 && !exitFirst);
    env.clock.advance(1);
    QVERIFY(!keeper->isPending());
    QCOMPARE(clipboard()->text(), left);
}

QTEST_MAIN(ClipboardTest)
#include "tst_clipboard.moc"
