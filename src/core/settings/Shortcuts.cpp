#include "settings/Shortcuts.h"

#include <QHash>

namespace quillbox {

const std::array<QString, CommandCount>& commandTexts() {
    static const std::array<QString, CommandCount> texts = [] {
        std::array<QString, CommandCount> list;
        for (const CommandRow& row : commandTable) {
            list[static_cast<size_t>(row.slot)] = QStringView(row.menuText).toString();
        }
        return list;
    }();
    return texts;
}

std::array<int, CommandCount> defaultShortcutCodes() {
    std::array<int, CommandCount> codes{};
    for (const CommandRow& row : commandTable) {
        codes[static_cast<size_t>(row.slot)] = row.defaultShortcut;
    }
    return codes;
}

int slotHoldingShortcut(const std::array<int, CommandCount>& codes, int value) {
    if (value == 0) {
        return -1;
    }
    for (int i = CommandCount - 1; i >= 0; --i) {
        if (codes[static_cast<size_t>(i)] == value) {
            return i;
        }
    }
    return -1;
}

int shortcutEventNumber(int slot) {
    return slot >= 0 && slot < CommandCount ? commandRow(slot).event : -1;
}

int slotForShortcutEvent(int event) {
    for (const CommandRow& row : commandTable) {
        if (row.event == event) {
            return row.slot;
        }
    }
    return -1;
}

namespace {
struct KeyEntry {
    int vk;
    Qt::Key key;
    const char* name;
    const char* extendedName; // the name when the extended flag is set, or nullptr when the same
};

// The virtual keys the program can name and bind. Names follow a US keyboard.
const std::vector<KeyEntry>& keyTable() {
    static const std::vector<KeyEntry> table = [] {
        std::vector<KeyEntry> t{
            {0x08, Qt::Key_Backspace, "Backspace", nullptr},
            {0x09, Qt::Key_Tab, "Tab", nullptr},
            {0x0D, Qt::Key_Return, "Enter", "Num Enter"},
            {0x13, Qt::Key_Pause, "Pause", nullptr},
            {0x14, Qt::Key_CapsLock, "Caps Lock", nullptr},
            {0x1B, Qt::Key_Escape, "Esc", nullptr},
            {0x20, Qt::Key_Space, "Space", nullptr},
            {0x21, Qt::Key_PageUp, "Num 9", "Page Up"},
            {0x22, Qt::Key_PageDown, "Num 3", "Page Down"},
            {0x23, Qt::Key_End, "Num 1", "End"},
            {0x24, Qt::Key_Home, "Num 7", "Home"},
            {0x25, Qt::Key_Left, "Num 4", "Left"},
            {0x26, Qt::Key_Up, "Num 8", "Up"},
            {0x27, Qt::Key_Right, "Num 6", "Right"},
            {0x28, Qt::Key_Down, "Num 2", "Down"},
            {0x2C, Qt::Key_Print, "Sys Req", "Prnt Scrn"},
            {0x2D, Qt::Key_Insert, "Num 0", "Insert"},
            {0x2E, Qt::Key_Delete, "Num Del", "Delete"},
            {0x6A, Qt::Key_Asterisk, "Num *", nullptr},
            {0x6B, Qt::Key_Plus, "Num +", nullptr},
            {0x6D, Qt::Key_Minus, "Num -", nullptr},
            {0x6E, Qt::Key_Period, "Num Del", nullptr},
            {0x6F, Qt::Key_Slash, "Num /", "Num /"},
            {0x90, Qt::Key_NumLock, "Num Lock", "Num Lock"},
            {0x91, Qt::Key_ScrollLock, "Scroll Lock", nullptr},
            {0xBA, Qt::Key_Semicolon, ";", nullptr},
            {0xBB, Qt::Key_Equal, "=", nullptr},
            {0xBC, Qt::Key_Comma, ",", nullptr},
            {0xBD, Qt::Key_Minus, "-", nullptr},
            {0xBE, Qt::Key_Period, ".", nullptr},
            {0xBF, Qt::Key_Slash, "/", nullptr},
            {0xC0, Qt::Key_QuoteLeft, "`", nullptr},
            {0xDB, Qt::Key_BracketLeft, "[", nullptr},
            {0xDC, Qt::Key_Backslash, "\\", nullptr},
            {0xDD, Qt::Key_BracketRight, "]", nullptr},
            {0xDE, Qt::Key_Apostrophe, "'", nullptr},
        };
        static const char* const digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
        for (int d = 0; d < 10; ++d) {
            t.push_back({0x30 + d, static_cast<Qt::Key>(Qt::Key_0 + d), digits[d], nullptr});
        }
        static const char* const letters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                              "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
        for (int l = 0; l < 26; ++l) {
            t.push_back({0x41 + l, static_cast<Qt::Key>(Qt::Key_A + l), letters[l], nullptr});
        }
        static const char* const fkeys[] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",
                                            "F9",  "F10", "F11", "F12", "F13", "F14", "F15", "F16",
                                            "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"};
        for (int f = 0; f < 24; ++f) {
            t.push_back({0x70 + f, static_cast<Qt::Key>(Qt::Key_F1 + f), fkeys[f], nullptr});
        }
        static const char* const numpad[] = {"Num 0", "Num 1", "Num 2", "Num 3", "Num 4",
                                             "Num 5", "Num 6", "Num 7", "Num 8", "Num 9"};
        for (int n = 0; n < 10; ++n) {
            t.push_back({0x60 + n, static_cast<Qt::Key>(Qt::Key_0 + n), numpad[n], nullptr});
        }
        return t;
    }();
    return table;
}

const KeyEntry* entryForVk(int vk) {
    for (const KeyEntry& e : keyTable()) {
        if (e.vk == vk) {
            return &e;
        }
    }
    return nullptr;
}
} // namespace

QString virtualKeyName(int vk, bool extended) {
    const KeyEntry* e = entryForVk(vk);
    if (!e) {
        return QString();
    }
    // Page keys, End, Home and the arrows always count as extended keys.
    if (vk >= 33 && vk <= 40) {
        extended = true;
    }
    return QString::fromLatin1(extended && e->extendedName ? e->extendedName : e->name);
}

QString shortcutDisplayText(int value) {
    QString text;
    if (value & ShortcutBits::Ctrl) {
        text += QStringLiteral("Ctrl +");
    }
    if (value & ShortcutBits::Shift) {
        text += QStringLiteral("Shift +");
    }
    if (value & ShortcutBits::Alt) {
        text += QStringLiteral("Alt +");
    }
    text += virtualKeyName(value & ShortcutBits::KeyMask, (value & ShortcutBits::Extended) != 0);
    return text.isEmpty() ? QStringLiteral("None") : text;
}

QString menuItemText(int slot, int value) {
    return commandTexts()[static_cast<size_t>(slot)] + QLatin1Char('\t') + shortcutDisplayText(value);
}

QKeyCombination keyCombinationForValue(int value) {
    const int vk = value & ShortcutBits::KeyMask;
    const KeyEntry* e = vk ? entryForVk(vk) : nullptr;
    if (!e) {
        return QKeyCombination(Qt::Key(0));
    }
    Qt::KeyboardModifiers mods;
    if (value & ShortcutBits::Ctrl) {
        mods |= Qt::ControlModifier;
    }
    if (value & ShortcutBits::Shift) {
        mods |= Qt::ShiftModifier;
    }
    if (value & ShortcutBits::Alt) {
        mods |= Qt::AltModifier;
    }
    if (vk >= 0x60 && vk <= 0x6F) {
        mods |= Qt::KeypadModifier;
    }
    return QKeyCombination(mods, e->key);
}

int valueForKeyCombination(QKeyCombination combination) {
    const Qt::Key key = combination.key();
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    const bool keypad = mods.testFlag(Qt::KeypadModifier);
    int vk = 0;
    if (key == Qt::Key_Enter) {
        vk = 0x0D;
    } else if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        vk = 0x60 + (key - Qt::Key_0);
    } else if (keypad && (key == Qt::Key_Minus || key == Qt::Key_Period || key == Qt::Key_Slash)) {
        vk = key == Qt::Key_Minus ? 0x6D : key == Qt::Key_Period ? 0x6E : 0x6F;
    } else if (key == Qt::Key_Backtab) {
        vk = 0x09;
    } else {
        for (const KeyEntry& e : keyTable()) {
            // The punctuation entries come after the keypad ones in the table, so the keypad
            // keys win only with the keypad modifier (handled above).
            if (e.key == key && !(e.vk >= 0x60 && e.vk <= 0x6F)) {
                vk = e.vk;
                break;
            }
        }
        if (vk == 0 && keypad) {
            for (const KeyEntry& e : keyTable()) {
                if (e.key == key) {
                    vk = e.vk;
                    break;
                }
            }
        }
    }
    if (vk == 0) {
        return 0;
    }
    int value = vk;
    // Keys that share a code with the keypad carry the extended flag when they are the grey keys.
    if (key == Qt::Key_Enter || key == Qt::Key_NumLock ||
        (!keypad && (vk == 0x2C || vk == 0x2D || vk == 0x2E || (vk >= 0x21 && vk <= 0x28)))) {
        value |= ShortcutBits::Extended;
    }
    return value | shortcutModifierBits(mods);
}

int shortcutModifierBits(Qt::KeyboardModifiers mods) {
    int bits = 0;
    if (mods.testFlag(Qt::ShiftModifier)) {
        bits |= ShortcutBits::Shift;
    }
    if (mods.testFlag(Qt::ControlModifier)) {
        bits |= ShortcutBits::Ctrl;
    }
    if (mods.testFlag(Qt::AltModifier)) {
        bits |= ShortcutBits::Alt;
    }
    return bits;
}

QString shortcutRefusal(int slot, int value) {
    if (value == 0 || (slot >= 0 && slot < CommandCount && commandRow(slot).defaultShortcut == value)) {
        return QString();
    }
    const int vk = value & ShortcutBits::KeyMask;
    const bool functionKey = vk >= 0x70 && vk <= 0x7B;
    if ((value & (ShortcutBits::Ctrl | ShortcutBits::Alt)) == 0 && !functionKey) {
        return QStringLiteral("%1 without Ctrl or Alt would be typed into the text boxes instead.\r\n\r\n"
                              "Please choose a combination with Ctrl or Alt, or one of F1 to F12.")
            .arg(shortcutDisplayText(value));
    }
    if ((value & ~ShortcutBits::KeyMask) == ShortcutBits::Ctrl) {
        static const QHash<int, QString> editingKeys{{'A', QStringLiteral("select all the text of a box")},
                                                     {'C', QStringLiteral("copy the text selected in a box")},
                                                     {'V', QStringLiteral("paste into a box")},
                                                     {'X', QStringLiteral("cut the text selected in a box")},
                                                     {'Z', QStringLiteral("undo typing in a box")},
                                                     {'F', QStringLiteral("go to the search text")}};
        if (const auto use = editingKeys.constFind(vk); use != editingKeys.cend()) {
            return QStringLiteral("%1 is the key to %2.\r\n\r\nPlease try another combination.")
                .arg(shortcutDisplayText(value), *use);
        }
    }
    return QString();
}

bool textBoxKeepsKey(QKeyCombination combination, bool hasSelection) {
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers() & ~Qt::KeypadModifier;
    const Qt::Key key = combination.key();
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        // Everything typed or used to move and edit, but not the keys a box does nothing with.
        const bool functionKey = key >= Qt::Key_F1 && key <= Qt::Key_F35;
        return !functionKey && key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape &&
               key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    if ((mods & ~Qt::ShiftModifier) != Qt::ControlModifier) {
        return false;
    }
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    switch (key) {
    case Qt::Key_Z: // with Shift, redo
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    case Qt::Key_A:
    case Qt::Key_V:
    case Qt::Key_X:
    case Qt::Key_Y:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return !shift;
    case Qt::Key_C:
    case Qt::Key_Insert:
        return hasSelection && !shift;
    default:
        return false;
    }
}

} // namespace quillbox
