#pragma once

// Every command of the menus, the pop-up menu and the keyboard shortcuts, one row each: from this
// table the windows build their menus, the pop-up, the shortcuts and the shortcut editor, and the
// settings file takes its keys. A new command is one row here, one slot name and the controller
// that carries it out.

#include <array>
#include <string_view>

namespace quillbox {

// Command slots: where a command's shortcut stands in the settings and in ProgramSettings. The
// first 22 are as they have always been; those added since follow, in the order they came.
namespace CommandSlot {
inline constexpr int Exit = 0;
inline constexpr int EditPassword = 1;
inline constexpr int Lock = 2;
inline constexpr int AddRecord = 3;
inline constexpr int CopyRecords = 4;
inline constexpr int CopyToOwner = 5;
inline constexpr int DeleteRecords = 6;
inline constexpr int EditRecord = 7;
inline constexpr int PrintRecords = 8;
inline constexpr int HomePage = 9;
inline constexpr int TagAll = 10;
inline constexpr int Import = 11;
inline constexpr int Export = 12;
inline constexpr int ToolTips = 13;
inline constexpr int Fading = 14;
inline constexpr int Snap = 15;
inline constexpr int ShowPrivate = 16;
inline constexpr int TitleClock = 17;
inline constexpr int ResetFields = 18;
inline constexpr int About = 19;
inline constexpr int ShortcutKeys = 20;
inline constexpr int ShowHelp = 21;
inline constexpr int CopyUserName = 22;
inline constexpr int CopyPassword = 23;
inline constexpr int Undo = 24;
inline constexpr int CopyOneTimeCode = 25;
inline constexpr int PasswordHealth = 26;
} // namespace CommandSlot

// The menus of the menu bar, left to right; the pop-up lists their commands in the same order,
// a separator between menus.
enum class Menu { Files, SiteTools, ImportExport, Options, Miscellaneous, Help };
inline constexpr std::array<std::u16string_view, 6> menuTitles{u"Files",   u"Site tools",    u"Import and export",
                                                               u"Options", u"Miscellaneous", u"Help wanted"};

struct CommandRow {
    int slot;
    Menu menu;
    std::u16string_view menuText;    // before the tab and the shortcut
    std::u16string_view settingsKey; // in the group "Keyboard Shortcuts"
    int defaultShortcut;             // a shortcut value (settings/Shortcuts)
    int menuItem;                    // the numbers the window reports: its menu-bar item,
    int popupItem;                   // its pop-up item,
    int event;                       // and its shortcut
    int image;                       // the menu's picture; 0: the item is a check box
    // Where the shortcut editor shows it: the panel, its caption's and its key box's gadgets (in a
    // panel the commands stand in the order of their captions' numbers), and the caption.
    int editorPanel;
    int editorLabel;
    int editorBox;
    std::u16string_view editorText;
};

// Shortcut values: a virtual key, Ctrl 0x20000, Alt 0x40000, Shift 0x10000 (settings/Shortcuts).
// In menu order.
inline constexpr std::array<CommandRow, 27> commandTable{{
    // clang-format off
    {CommandSlot::Exit, Menu::Files, u"Exit Quillbox v2.00", u"Exit Quillbox", 262232, 2, 208, 230, 1, 46, 48, 49, u"Exit Quillbox"},
    {CommandSlot::EditPassword, Menu::Files, u"Edit the startup password", u"Edit PassWord", 262213, 3, 209, 231, 2, 50, 54, 55, u"Edit password"},
    {CommandSlot::Lock, Menu::Files, u"Lock the Quillbox interface", u"Lock Quillbox", 262220, 4, 210, 232, 3, 50, 52, 53, u"Lock Quillbox"},
    {CommandSlot::Undo, Menu::SiteTools, u"Undo the last change", u"Undo", 131162, 280, 281, 300, 50, 78, 115, 116, u"Undo change"},
    {CommandSlot::AddRecord, Menu::SiteTools, u"Add a new record", u"Add Site", 131137, 6, 211, 233, 4, 56, 58, 59, u"Add site"},
    {CommandSlot::CopyRecords, Menu::SiteTools, u"Copy record(s) to the clipboard", u"Copy Site", 131139, 7, 212, 234, 5, 56, 60, 61, u"Copy site"},
    // Ctrl+U and Ctrl+Shift+C, which no older command holds.
    {CommandSlot::CopyUserName, Menu::SiteTools, u"Copy user name", u"Copy User Name", 131157, 29, 269, 267, 47, 74, 111, 112, u"Copy user name"},
    {CommandSlot::CopyPassword, Menu::SiteTools, u"Copy password", u"Copy Password", 196675, 30, 270, 268, 48, 74, 113, 114, u"Copy password"},
    // Ctrl+Shift+T.
    {CommandSlot::CopyOneTimeCode, Menu::SiteTools, u"Copy one-time code", u"Copy One-Time Code", 196692, 320, 321, 322, 51, 74, 117, 118, u"Copy one-time code"},
    {CommandSlot::CopyToOwner, Menu::SiteTools, u"Copy selected record to a new owner", u"Copy To", 131151, 8, 213, 235, 6, 56, 62, 63, u"Copy to owner"},
    {CommandSlot::DeleteRecords, Menu::SiteTools, u"Delete the selected record(s)", u"Delete Site", 131140, 9, 214, 236, 7, 56, 64, 65, u"Delete site"},
    {CommandSlot::EditRecord, Menu::SiteTools, u"Edit the selected record", u"Edit Site", 131141, 10, 215, 237, 8, 56, 66, 67, u"Edit site"},
    // Print and home page have always had each other's pop-up and event numbers.
    {CommandSlot::PrintRecords, Menu::SiteTools, u"Print selected record", u"Print Site", 131152, 11, 217, 239, 9, 56, 68, 69, u"Print site"},
    {CommandSlot::HomePage, Menu::SiteTools, u"Go to the home page", u"Site Home Page", 131159, 12, 216, 238, 10, 56, 70, 71, u"Home page"},
    {CommandSlot::TagAll, Menu::SiteTools, u"Tag all records", u"Tag All Sites", 131156, 13, 218, 240, 11, 56, 72, 73, u"Tag all sites"},
    // Ctrl+Shift+H.
    {CommandSlot::PasswordHealth, Menu::SiteTools, u"Password health report", u"Password Health", 196680, 323, 324, 325, 52, 78, 119, 120, u"Password health"},
    {CommandSlot::Import, Menu::ImportExport, u"Import XML record dump", u"Import Sites", 131145, 15, 219, 241, 12, 76, 82, 83, u"Import sites"},
    {CommandSlot::Export, Menu::ImportExport, u"Export XML rcord dump", u"Export Sites", 131160, 16, 220, 242, 13, 76, 84, 85, u"Export sites"},
    {CommandSlot::ToolTips, Menu::Options, u"Tool tips on or off", u"ToolTips", 262228, 18, 221, 243, 0, 80, 88, 89, u"Tool tips"},
    {CommandSlot::Fading, Menu::Options, u"Form fading on or off", u"Form Fade", 262214, 19, 222, 244, 0, 80, 90, 91, u"Form fade"},
    {CommandSlot::Snap, Menu::Options, u"Screen snap on or off", u"Screen Snap", 262227, 20, 223, 245, 0, 80, 92, 93, u"Screen snap"},
    {CommandSlot::ShowPrivate, Menu::Options, u"Password and keys hide on or off", u"Pass Hide", 262224, 21, 224, 246, 0, 80, 94, 95, u"Password/keys hide"},
    {CommandSlot::TitleClock, Menu::Options, u"Titlebar time on or off", u"Titlebar Time", 262212, 22, 225, 247, 0, 80, 96, 97, u"Title time"},
    {CommandSlot::ResetFields, Menu::Miscellaneous, u"Reset fields", u"Reset Fields", 262226, 24, 226, 248, 14, 78, 86, 87, u"Reset fields"},
    {CommandSlot::About, Menu::Help, u"About Quillbox v2.00", u"About Quillbox", 262209, 26, 227, 249, 15, 98, 100, 101, u"About Quillbox"},
    {CommandSlot::ShortcutKeys, Menu::Help, u"Shortcut keys", u"ShortCut Keys", 262219, 27, 228, 250, 16, 98, 102, 103, u"Shortcut keys"},
    {CommandSlot::ShowHelp, Menu::Help, u"Show help", u"Show Help", 262216, 28, 229, 251, 17, 98, 104, 105, u"Help wanted"},
    // clang-format on
}};

// The commands that have a shortcut: the first 22 as they have always been (their settings keys
// and event numbers never change), then those added since.
inline constexpr int CommandCount = static_cast<int>(commandTable.size());
inline constexpr int FirstAddedCommand = CommandSlot::CopyUserName;

// The row of a slot.
constexpr const CommandRow& commandRow(int slot) {
    for (const CommandRow& row : commandTable) {
        if (row.slot == slot) {
            return row;
        }
    }
    return commandTable[0]; // no slot is missing: checked below
}

namespace commandcheck {
// Whether every row's value of a member is its own, and every slot has one row.
template <class T> constexpr bool unique(T CommandRow::*member) {
    for (size_t i = 0; i < commandTable.size(); ++i) {
        for (size_t j = i + 1; j < commandTable.size(); ++j) {
            if (commandTable[i].*member == commandTable[j].*member) {
                return false;
            }
        }
    }
    return true;
}
constexpr bool slotsComplete() {
    for (const CommandRow& row : commandTable) {
        if (row.slot < 0 || row.slot >= CommandCount) {
            return false;
        }
    }
    return unique(&CommandRow::slot);
}
// Every number a command reports is one no command reports in any other way.
constexpr bool numbersUnique() {
    std::array<int, 3 * commandTable.size()> numbers{};
    size_t n = 0;
    for (const CommandRow& row : commandTable) {
        numbers[n++] = row.menuItem;
        numbers[n++] = row.popupItem;
        numbers[n++] = row.event;
    }
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            if (numbers[i] == numbers[j]) {
                return false;
            }
        }
    }
    return true;
}
// The menus stand in order, each command of a menu after the one before.
constexpr bool inMenuOrder() {
    for (size_t i = 1; i < commandTable.size(); ++i) {
        if (commandTable[i].menu < commandTable[i - 1].menu) {
            return false;
        }
    }
    return true;
}
} // namespace commandcheck

static_assert(commandcheck::slotsComplete(), "each slot has exactly one row");
static_assert(commandcheck::numbersUnique(), "no two commands report the same number");
static_assert(commandcheck::unique(&CommandRow::settingsKey), "each command has a settings key of its own");
static_assert(commandcheck::unique(&CommandRow::editorLabel) && commandcheck::unique(&CommandRow::editorBox),
              "each command has its own gadgets in the shortcut editor");
static_assert(commandcheck::unique(&CommandRow::defaultShortcut), "no two commands share a default shortcut");
static_assert(commandcheck::inMenuOrder(), "the rows stand in the menus' order");

} // namespace quillbox
