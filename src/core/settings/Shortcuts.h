#pragma once

#include "settings/ProgramSettings.h"

#include <QKeyCombination>
#include <QString>

#include <array>

namespace quillbox {

// A shortcut value: virtual-key code in bits 0-7, extended-key flag in bit 11,
// Shift, Ctrl and Alt in bits 16, 17 and 18. 0 means no key.
namespace ShortcutBits {
constexpr int KeyMask = 0xFF;
constexpr int Extended = 0x800;
constexpr int Shift = 0x10000;
constexpr int Ctrl = 0x20000;
constexpr int Alt = 0x40000;
} // namespace ShortcutBits

const std::array<QString, CommandCount>& commandTexts();
std::array<int, CommandCount> defaultShortcutCodes();
// The command that already has the shortcut value: the last slot holding it, -1 when none does.
// No key (0) never clashes with anything.
int slotHoldingShortcut(const std::array<int, CommandCount>& codes, int value);

// Event number under which the main window reports the shortcut of a command slot (the command
// table's), or -1.
int shortcutEventNumber(int slot);
// The slot for a shortcut event number, or -1.
int slotForShortcutEvent(int event);

// Key name as the menus show it ("X", "F5", "Page Up"); empty for an unknown code.
QString virtualKeyName(int virtualKey, bool extended);
// "Ctrl +Shift +A" style text; "None" when empty.
QString shortcutDisplayText(int value);
// Menu item text: command name, a tab, the display text.
QString menuItemText(int slot, int value);

// Translation between shortcut values and the toolkit's key combinations.
// A value of 0 or a key the toolkit cannot name gives an empty combination (key 0).
QKeyCombination keyCombinationForValue(int value);
// 0 when the key has no virtual-key code.
int valueForKeyCombination(QKeyCombination combination);
// The Shift, Ctrl and Alt bits of a shortcut value for the held modifiers (others count for nothing).
int shortcutModifierBits(Qt::KeyboardModifiers mods);

// Why the shortcut editor refuses a value for a command slot, or empty when it takes it. A key
// without Ctrl or Alt (F1 to F12 aside) types or edits text, and Ctrl+A, C, V, X, Z and F are what
// the text boxes select, copy, paste, cut, undo and search with. A command may always have its own
// default key back.
QString shortcutRefusal(int slot, int value);

// Whether a text box keeps a key for its own editing instead of letting a command have it: typing
// and moving keys, Ctrl+A, V, X, Y, Z always, and Ctrl+C while the box has a selection.
bool textBoxKeepsKey(QKeyCombination combination, bool hasSelection);

} // namespace quillbox
