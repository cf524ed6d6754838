#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "settings/KeyCaptureField.h"
#include "settings/PasswordWindow.h"
#include "settings/ProgramSettings.h"
#include "settings/ShortcutEditor.h"
#include "settings/Shortcuts.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QPushButton>
#include <QShortcut>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {
constexpr int Ctrl = 0x20000;
constexpr int Shift = 0x10000;
constexpr int Alt = 0x40000;

ShortcutEditor* openEditor(TestEnv& env) {
    env.program->command(Id::MenuItemOfSlot[Id::Slot::ShortcutKeys]);
    return env.program->options()->shortcutEditor();
}

QString duplicateText(const QString& label) {
    return QStringLiteral("This shortcut has already been assigned to \r\n\r\n\"") + label +
           QStringLiteral("\"\r\n\r\nPlease try another combination.");
}

QList<QKeySequence> registeredKeys(MainWindow* main) {
    QList<QKeySequence> keys;
    for (const QShortcut* s : main->findChildren<QShortcut*>()) {
        keys << s->key();
    }
    return keys;
}
} // namespace

class ShortcutEditorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensWithTheTable();
    void guardedWithMessage();
    void captureField_data();
    void captureField();
    void duplicateCheck_data();
    void duplicateCheck();
    void duplicateNamesLastHolderAndIgnoresNoKey();
    void saveTakesEffectAtOnce();
    void restoreDefaults();
    void closingDiscards_data();
    void closingDiscards();
};

void ShortcutEditorTest::opensWithTheTable() {
    TestEnv env;
    QVERIFY(env.start());
    ShortcutEditor* editor = openEditor(env);
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("<°)))o><²³  Edit keyboard shortcut key definitions."));
    QCOMPARE(editor->size(), QSize(665, 580)); // the panels grow with their commands
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Now editing the keyboard shortcuts list."));
    QVERIFY(env.program->guard().isOpen());
    QCOMPARE(env.program->guard().caption(), QStringLiteral("Edit key list"));
    QCOMPARE(editor->values(), env.state.settings.shortcutCodes);
    QCOMPARE(editor->box(Id::Slot::Exit)->text(), QStringLiteral("Alt +X"));
    QCOMPARE(editor->focusWidget(), editor->box(Id::Slot::Exit));
    QCOMPARE(ShortcutEditor::boxOfSlot(Id::Slot::PrintRecords), 69);
    QCOMPARE(ShortcutEditor::slotOfBox(87), Id::Slot::ResetFields);
    QCOMPARE(ShortcutEditor::slotOfBox(114), Id::Slot::CopyPassword);
    QCOMPARE(ShortcutEditor::labelOfSlot(Id::Slot::ShowPrivate), QStringLiteral("Password/keys hide"));
}

void ShortcutEditorTest::guardedWithMessage() {
    TestEnv env;
    QVERIFY(env.start());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::EditPassword]);
    QVERIFY(!openEditor(env));
    QCOMPARE(env.main()->message(), QStringLiteral("Error: Another program window is already opened."));
    QTest::keyClick(env.program->security().window(Id::Window::PasswordEditor)->field(118), Qt::Key_Escape);
    ShortcutEditor* editor = openEditor(env);
    QVERIFY(editor);
    env.program->command(Id::FirstShortcutEvent + Id::Slot::ShortcutKeys);
    QCOMPARE(env.program->options()->shortcutEditor(), editor);
    QCOMPARE(env.main()->message(), QStringLiteral("Error: Another program window is already opened."));
}

void ShortcutEditorTest::captureField_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("Ctrl+Shift+A") << int(Qt::Key_A) << int(Qt::ControlModifier | Qt::ShiftModifier) << Ctrl + Shift + 65
                                  << "Ctrl +Shift +A";
    QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier) << 116 << "F5";
    QTest::newRow("Alt+Page Up") << int(Qt::Key_PageUp) << int(Qt::AltModifier) << Alt + 0x800 + 33 << "Alt +Page Up";
    QTest::newRow("Ctrl+keypad 5") << int(Qt::Key_5) << int(Qt::ControlModifier | Qt::KeypadModifier) << Ctrl + 101
                                   << "Ctrl +Num 5";
    QTest::newRow("Backspace clears") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << 0 << "None";
    QTest::newRow("Tab is not taken") << int(Qt::Key_Tab) << int(Qt::NoModifier) << Alt + 72 << "Alt +H";
}

void ShortcutEditorTest::captureField() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, value);
    QFETCH(QString, text);
    TestEnv env;
    QVERIFY(env.start());
    ShortcutEditor* editor = openEditor(env);
    KeyCaptureField* box = editor->box(Id::Slot::ShowHelp);
    QSignalSpy captured(box, &KeyCaptureField::captured);
    QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(box->value(), value);
    QCOMPARE(box->text(), text);
    QCOMPARE(captured.size(), key == Qt::Key_Tab ? 0 : 1);
    QVERIFY(env.boxes.isEmpty());
    QCOMPARE(env.state.settings.shortcutCodes[Id::Slot::ShowHelp], Alt + 72); // nothing saved yet
}

void ShortcutEditorTest::duplicateCheck_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("holder"); // empty: accepted; "-": refused as a typing or editing key
    QTest::newRow("another command's key")
        << int(Id::Slot::Exit) << int(Qt::Key_A) << int(Qt::ControlModifier) << "Add site";
    QTest::newRow("its own key") << int(Id::Slot::Exit) << int(Qt::Key_X) << int(Qt::AltModifier) << "Exit Quillbox";
    QTest::newRow("Print's key") << int(Id::Slot::HomePage) << int(Qt::Key_P) << int(Qt::ControlModifier)
                                 << "Print site";
    QTest::newRow("free key") << int(Id::Slot::Exit) << int(Qt::Key_Q) << int(Qt::ControlModifier | Qt::ShiftModifier)
                              << "";
    QTest::newRow("bare letter") << int(Id::Slot::HomePage) << int(Qt::Key_A) << int(Qt::NoModifier) << "-";
    QTest::newRow("Shift and a letter") << int(Id::Slot::HomePage) << int(Qt::Key_B) << int(Qt::ShiftModifier) << "-";
    QTest::newRow("bare Home key") << int(Id::Slot::HomePage) << int(Qt::Key_Home) << int(Qt::NoModifier) << "-";
    QTest::newRow("the search key") << int(Id::Slot::TagAll) << int(Qt::Key_F) << int(Qt::ControlModifier) << "-";
    QTest::newRow("paste") << int(Id::Slot::TagAll) << int(Qt::Key_V) << int(Qt::ControlModifier) << "-";
    QTest::newRow("bare F5") << int(Id::Slot::TagAll) << int(Qt::Key_F5) << int(Qt::NoModifier) << "";
    QTest::newRow("Ctrl+Shift+V") << int(Id::Slot::TagAll) << int(Qt::Key_V)
                                  << int(Qt::ControlModifier | Qt::ShiftModifier) << "";
}

void ShortcutEditorTest::duplicateCheck() {
    QFETCH(int, slot);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, holder);
    TestEnv env;
    QVERIFY(env.start());
    ShortcutEditor* editor = openEditor(env);
    KeyCaptureField* box = editor->box(slot);
    const int before = box->value();
    QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    if (holder.isEmpty()) {
        QVERIFY(env.boxes.isEmpty());
        QVERIFY(box->value() != before);
    } else if (holder == QLatin1String("-")) {
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].title, QStringLiteral("Key refused"));
        QVERIFY2(env.boxes[0].text.startsWith(shortcutDisplayText(
                     valueForKeyCombination(QKeyCombination(Qt::KeyboardModifiers(modifiers), Qt::Key(key))))),
                 qPrintable(env.boxes[0].text));
        QCOMPARE(box->value(), before);
    } else {
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].title, QStringLiteral("Duplicate ShortCut"));
        QCOMPARE(env.boxes[0].icon, MessageIcon::Exclamation);
        QCOMPARE(env.boxes[0].text, duplicateText(holder));
        QCOMPARE(box->value(), before);
        QCOMPARE(box->text(), shortcutDisplayText(before));
    }
}

void ShortcutEditorTest::restoreDefaults() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("System"));
    ProgramSettings saved = defaultSettings();
    saved.shortcutCodes[Id::Slot::Exit] = Ctrl + Shift + 81;
    saved.shortcutCodes[Id::Slot::Undo] = 0;
    QVERIFY(saveSettings(env.state.files.settingsFile, saved).ok());
    QVERIFY(env.start());
    ShortcutEditor* editor = openEditor(env);
    // A command may have its own default back, editing key or not.
    QTest::keyClick(editor->box(Id::Slot::Undo), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(env.boxes.isEmpty());
    QCOMPARE(editor->box(Id::Slot::Undo)->value(), Ctrl + 90);
    for (const QString& answer : {QStringLiteral("Cancel"), QStringLiteral("Restore")}) {
        env.askAnswers << answer;
        QTest::mouseClick(editor->button(ShortcutEditor::RestoreButton), Qt::LeftButton);
        QCOMPARE(editor->box(Id::Slot::Exit)->value(), answer == "Cancel" ? Ctrl + Shift + 81 : Alt + 88);
    }
    QCOMPARE(env.questions.size(), 2);
    QCOMPARE(env.state.settings.shortcutCodes[Id::Slot::Exit], Ctrl + Shift + 81); // not before a save
    QTest::mouseClick(editor->button(ShortcutEditor::SaveButton), Qt::LeftButton);
    QCOMPARE(env.state.settings.shortcutCodes, defaultShortcutCodes());
}

void ShortcutEditorTest::duplicateNamesLastHolderAndIgnoresNoKey() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("System"));
    ProgramSettings saved = defaultSettings();
    saved.shortcutCodes[Id::Slot::TagAll] = Ctrl + 67; // Ctrl+C, as "Copy site" has
    saved.shortcutCodes[Id::Slot::ShowHelp] = 0;
    QVERIFY(saveSettings(env.state.files.settingsFile, saved).ok());
    QVERIFY(env.start());
    ShortcutEditor* editor = openEditor(env);
    QTest::keyClick(editor->box(Id::Slot::Exit), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(env.boxes.size(), 1);
    QCOMPARE(env.boxes[0].text, duplicateText("Tag all sites"));
    // No key is never a clash, even with a command already without one.
    QTest::keyClick(editor->box(Id::Slot::About), Qt::Key_Backspace);
    QCOMPARE(env.boxes.size(), 1);
    QCOMPARE(editor->box(Id::Slot::About)->value(), 0);
}

void ShortcutEditorTest::saveTakesEffectAtOnce() {
    TestEnv env;
    QVERIFY(env.start());
    ShortcutEditor* editor = openEditor(env);
    // Two boxes given the same new key: the check looks only at the saved table.
    QTest::keyClick(editor->box(Id::Slot::PrintRecords), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(editor->box(Id::Slot::ShowHelp), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(editor->box(Id::Slot::CopyToOwner), Qt::Key_Delete);
    QVERIFY(env.boxes.isEmpty());
    QTest::mouseClick(editor->button(ShortcutEditor::SaveButton), Qt::LeftButton);

    const int value = Ctrl + Shift + 80;
    QCOMPARE(env.main()->message(), QStringLiteral("Info: KeyBoard ShortCut changes saved, changes reloaded."));
    QVERIFY(!env.program->options()->shortcutEditor());
    QVERIFY(!env.program->guard().isOpen());
    QCOMPARE(env.state.settings.shortcutCodes[Id::Slot::PrintRecords], value);
    QCOMPARE(env.state.settings.shortcutCodes[Id::Slot::ShowHelp], value);
    QCOMPARE(readSetting(env.state.files.settingsFile, SettingsKey::KeyboardShortcuts, "Print Site"),
             QString::number(value));
    QCOMPARE(readSetting(env.state.files.settingsFile, SettingsKey::KeyboardShortcuts, "Copy To"), QStringLiteral("0"));
    for (QAction* action :
         {env.main()->menuAction(Id::Slot::PrintRecords), env.main()->popupAction(Id::Slot::PrintRecords)}) {
        QCOMPARE(action->text(), QStringLiteral("Print selected record\tCtrl +Shift +P"));
    }
    QCOMPARE(env.main()->popupAction(Id::Slot::CopyToOwner)->text(),
             QStringLiteral("Copy selected record to a new owner\tNone"));
    const QList<QKeySequence> keys = registeredKeys(env.main());
    QVERIFY(keys.contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)));
    QVERIFY(!keys.contains(QKeySequence(Qt::CTRL | Qt::Key_P)));
    QVERIFY(!keys.contains(QKeySequence(Qt::CTRL | Qt::Key_O)));
}

void ShortcutEditorTest::closingDiscards_data() {
    QTest::addColumn<int>("how"); // 0 Escape, 1 close button, 2 close box
    QTest::newRow("Escape") << 0;
    QTest::newRow("close button") << 1;
    QTest::newRow("close box") << 2;
}

void ShortcutEditorTest::closingDiscards() {
    QFETCH(int, how);
    TestEnv env;
    QVERIFY(env.start());
    const QByteArray before = [&] {
        QFile f(env.state.files.settingsFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ShortcutEditor* editor = openEditor(env);
    QTest::keyClick(editor->box(Id::Slot::PrintRecords), Qt::Key_F9);
    if (how == 0) {
        QTest::keyClick(editor->box(Id::Slot::PrintRecords), Qt::Key_Escape);
    } else if (how == 1) {
        QTest::mouseClick(editor->button(ShortcutEditor::CloseButton), Qt::LeftButton);
    } else {
        editor->close();
    }
    QVERIFY(!env.program->options()->shortcutEditor());
    QVERIFY(!env.program->guard().isOpen());
    QCOMPARE(env.state.settings.shortcutCodes[Id::Slot::PrintRecords], Ctrl + 80);
    QCOMPARE(env.main()->menuAction(Id::Slot::PrintRecords)->text(), QStringLiteral("Print selected record\tCtrl +P"));
    QFile f(env.state.files.settingsFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

QTEST_MAIN(ShortcutEditorTest)
#include "tst_shortcuteditor.moc"
