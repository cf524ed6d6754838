#include "settings/Shortcuts.h"
#include "text/ProgramText.h"

#include <QtTest>

using namespace quillbox;

class ShortcutsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayText_data();
    void displayText();
    void eventNumbers();
    void keyCombinationRoundTrip_data();
    void keyCombinationRoundTrip();
    void menuTextsOfDefaults();
    void recordCountWording_data();
    void recordCountWording();
    void titles_data();
    void titles();
    void slotHoldingShortcut_data();
    void slotHoldingShortcut();
};

void ShortcutsTest::slotHoldingShortcut_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("slot");
    std::array<int, CommandCount> codes = defaultShortcutCodes();
    QTest::newRow("a default key") << codes[3] << 3;
    QTest::newRow("a key nobody has") << (0x20000 + 0x51) << -1; // Ctrl+Q
    QTest::newRow("no key never clashes") << 0 << -1;
    QTest::newRow("held twice: the last slot") << 0x20000 + 0x4A << 9;
}

void ShortcutsTest::slotHoldingShortcut() {
    QFETCH(int, value);
    QFETCH(int, slot);
    std::array<int, CommandCount> codes = defaultShortcutCodes();
    codes[5] = 0x20000 + 0x4A; // Ctrl+J, given to two commands
    codes[9] = 0x20000 + 0x4A;
    codes[12] = 0; // a command without a key
    QCOMPARE(quillbox::slotHoldingShortcut(codes, value), slot);
}

void ShortcutsTest::displayText_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << "None";
    QTest::newRow("alt x") << 262232 << "Alt +X";
    QTest::newRow("ctrl a") << 131137 << "Ctrl +A";
    QTest::newRow("ctrl shift a") << (131072 + 65536 + 65) << "Ctrl +Shift +A";
    QTest::newRow("all modifiers in fixed order") << (0x70000 + 0x70) << "Ctrl +Shift +Alt +F1";
    QTest::newRow("page up is always extended") << 33 << "Page Up";
    QTest::newRow("down arrow") << (131072 + 40) << "Ctrl +Down";
    QTest::newRow("delete extended") << (0x800 + 0x2E) << "Delete";
    QTest::newRow("keypad delete") << 0x2E << "Num Del";
    QTest::newRow("digit") << (262144 + 0x31) << "Alt +1";
    QTest::newRow("unknown key with modifier") << (131072 + 0xFF) << "Ctrl +";
}

void ShortcutsTest::displayText() {
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(shortcutDisplayText(value), text);
}

void ShortcutsTest::eventNumbers() {
    QList<int> events;
    for (int slot = 0; slot < CommandCount; ++slot) {
        events << shortcutEventNumber(slot);
        QCOMPARE(slotForShortcutEvent(shortcutEventNumber(slot)), slot);
    }
    QCOMPARE(events[8], 239);
    QCOMPARE(events[9], 238);
    QCOMPARE(events.first(), 230);
    QCOMPARE(events[FirstAddedCommand - 1], 251);
    // Past Return (252) and the others, and past the menu items that came between.
    QCOMPARE(events.mid(FirstAddedCommand), (QList<int>{267, 268, 300, 322, 325}));
    QCOMPARE(slotForShortcutEvent(252), -1);
    QCOMPARE(slotForShortcutEvent(266), -1);
    QCOMPARE(slotForShortcutEvent(229), -1);
}

void ShortcutsTest::keyCombinationRoundTrip_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QKeyCombination>("combination");
    QTest::newRow("alt x") << 262232 << QKeyCombination(Qt::AltModifier, Qt::Key_X);
    QTest::newRow("ctrl shift f5") << (0x30000 + 0x74)
                                   << QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_F5);
    QTest::newRow("ctrl semicolon") << (0x20000 + 0xBA) << QKeyCombination(Qt::ControlModifier, Qt::Key_Semicolon);
    QTest::newRow("alt home") << (0x40000 + 0x800 + 0x24) << QKeyCombination(Qt::AltModifier, Qt::Key_Home);
    QTest::newRow("ctrl insert") << (0x20000 + 0x800 + 0x2D) << QKeyCombination(Qt::ControlModifier, Qt::Key_Insert);
    QTest::newRow("keypad 5") << (0x20000 + 0x65)
                              << QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_5);
}

void ShortcutsTest::keyCombinationRoundTrip() {
    QFETCH(int, value);
    QFETCH(QKeyCombination, combination);
    QCOMPARE(valueForKeyCombination(combination), value);
    QCOMPARE(keyCombinationForValue(value), combination);
}

void ShortcutsTest::menuTextsOfDefaults() {
    const auto codes = defaultShortcutCodes();
    QCOMPARE(menuItemText(0, codes[0]), QStringLiteral("Exit Quillbox v2.00\tAlt +X"));
    QCOMPARE(menuItemText(12, codes[12]), QStringLiteral("Export XML rcord dump\tCtrl +X"));
    QCOMPARE(menuItemText(21, 0), QStringLiteral("Show help\tNone"));
    QCOMPARE(keyCombinationForValue(0).key(), Qt::Key(0));
}

void ShortcutsTest::recordCountWording_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << "0"
                       << "0 Records";
    QTest::newRow("1") << "1"
                       << "1 Record";
    QTest::newRow("2") << "2"
                       << "2 Records";
    QTest::newRow("17") << "17"
                        << "17 Records";
    QTest::newRow("100000") << "100000"
                            << "100000 Records";
}

void ShortcutsTest::recordCountWording() {
    QFETCH(QString, count);
    QFETCH(QString, text);
    QCOMPARE(recordCountText(count), text);
}

void ShortcutsTest::titles_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("dated");
    QTest::addColumn<QString>("clock");
    const QString base = QStringLiteral("<°)))o><²³  Vennholt Quillbox v2.00  --  ");
    QTest::newRow("tuesday noon") << QDate(2026, 12, 8) << QTime(12, 0, 0) << base + "Tuesday, 8 December 2026"
                                  << "  --  Current time: 12:00:00 AM";
    QTest::newRow("sunday after midnight") << QDate(2026, 12, 6) << QTime(0, 30, 0) << base + "Sunday, 6 December 2026"
                                           << "  --  Current time: 00:30:00 AM";
    QTest::newRow("saturday afternoon") << QDate(2027, 1, 2) << QTime(13, 5, 9) << base + "Saturday, 2 January 2027"
                                        << "  --  Current time: 13:05:09 PM";
}

void ShortcutsTest::titles() {
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(QString, dated);
    QFETCH(QString, clock);
    QCOMPARE(datedTitle(date), dated);
    QCOMPARE(clockTitle(dated, time), dated + clock);
}

QTEST_MAIN(ShortcutsTest)
#include "tst_shortcuts.moc"
