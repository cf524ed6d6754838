#pragma once

#include "settings/Commands.h"

// The program's fixed numbers: windows, gadgets, menu items and events. The commands' own are in
// their table (settings/Commands.h).
namespace quillbox::Id {

namespace Window {
constexpr int Main = 1;
constexpr int About = 2;
constexpr int ShortcutEditor = 3;
constexpr int PasswordEditor = 4;
constexpr int FirstRunPassword = 5;
constexpr int Unlock = 6;
constexpr int StartupPassword = 7;
constexpr int Print = 8;
constexpr int DataForm = 9;
constexpr int RecycleBin = 11;
constexpr int History = 12;
constexpr int Health = 13;
constexpr int ConfirmPassword = 10; // the program password again, before the database is rewritten
} // namespace Window

// Gadgets of the main window.
namespace Main {
constexpr int ListPanel = 29;
constexpr int RecordList = 31;
constexpr int SearchPanel = 32;
constexpr int SearchHeader = 34;
constexpr int OwnerBox = 35;
constexpr int CategoryBox = 36;
constexpr int FieldBox = 37;
constexpr int SearchTypeBox = 38;
constexpr int SearchText = 39;
constexpr int PopupMenu = 207;
constexpr int TrayIcon = 206;
constexpr int ClockTimer = 111;
constexpr int IdleTimer = 112;     // no input for the chosen minutes
constexpr int SessionLocked = 113; // the screen locked or the machine is going to sleep
} // namespace Main

// Gadgets and keys of the print window.
namespace Print {
constexpr int PrintButton = 140;
constexpr int PreviewButton = 141;
constexpr int ExitButton = 144;
constexpr int EscapeKey = 265;
} // namespace Print
// Gadgets and keys of the data form (window 9).
namespace DataForm {
constexpr int FieldPanel = 145;
constexpr int SiteNameBox = 149;
constexpr int NotesPanel = 159;
constexpr int BoxPanel = 161;
constexpr int Notes = 163;
constexpr int CategoryLabel = 164;
constexpr int CategoryBox = 165;
constexpr int OwnerLabel = 166;
constexpr int OwnerBox = 167;
constexpr int ButtonPanel = 168;
constexpr int Save = 170;
constexpr int Spare = 171;
constexpr int Clear = 172;
constexpr int Help = 173;
constexpr int LabelButtons = 174;
constexpr int RecordCaption = 175;
constexpr int RecordNumber = 176;
constexpr int Exit = 177;
constexpr int LabelEditor = 205;
constexpr int Generator = 206;        // the button beside the password box
constexpr int History = 208;          // the button that lists the record's kept versions
constexpr int PasswordStrength = 207; // the estimate beside it
constexpr int OneTimeCode = 209;      // the code beside the free field that holds its secret
constexpr int ReturnKey = 261;
constexpr int EscapeKey = 262;
} // namespace DataForm

// Gadgets and keys of the recycle bin (window 11) and of a record's history (window 12).
namespace RecycleBin {
constexpr int Restore = 302;
constexpr int Empty = 303;
constexpr int Close = 304;
constexpr int EscapeKey = 305;
} // namespace RecycleBin
namespace History {
constexpr int Restore = 312;
constexpr int Close = 314;
constexpr int EscapeKey = 315;
} // namespace History

// Gadgets and keys of the password health report (window 13).
namespace Health {
constexpr int Open = 330;
constexpr int Owners = 331;
constexpr int BreachList = 332;
constexpr int Close = 333;
constexpr int EscapeKey = 334;
} // namespace Health

// Gadgets and keys of the About window (window 2).
namespace About {
constexpr int BannerPanel = 40;
constexpr int TextPanel = 42;
constexpr int Banner = 44;
constexpr int Text = 45;
constexpr int EscapeKey = 264;
} // namespace About

// Entry fields of the password windows (4 change, 5 create, 6 unlock, 7 start-up, 10 confirm).
namespace PasswordField {
constexpr int NewConfirmed = 114;      // window 4: the new password again
constexpr int StoredFingerprint = 116; // window 4, read-only
constexpr int OldPassword = 118;       // window 4
constexpr int NewPassword = 120;       // window 4
constexpr int Chosen = 124;            // window 5
constexpr int Confirmed = 126;         // window 5
constexpr int Unlock = 130;            // window 6
constexpr int Startup = 134;           // window 7
constexpr int Confirm = 136;           // window 10
} // namespace PasswordField
// The first shortcut event: the first 22 commands' events are 230 on (the table gives each).
constexpr int FirstShortcutEvent = 230;
constexpr int ReturnKey = 252;
// Ctrl+F, where no command holds it: the search text gets the focus.
constexpr int FindKey = 266;
// Options menu entries that are not commands of their own: they have no shortcut.
constexpr int ClearClipboardItem = 271;
constexpr int ClipboardDelayItem = 272;
constexpr int IdleLockItem = 273;
constexpr int EncryptItem = 274; // shown on a plain database
constexpr int DecryptItem = 275; // shown on an encrypted one
// 276 and 277 are the Return and Escape keys of window 10.
constexpr int RecycleBinItem = 278; // Site tools menu: the recycle bin window
constexpr int HistoryItem = 279;    // Options menu: how many versions a record keeps

// Menu-bar and pop-up item numbers, by command slot.
inline constexpr std::array<int, CommandCount> MenuItemOfSlot = [] {
    std::array<int, CommandCount> numbers{};
    for (const CommandRow& row : commandTable) {
        numbers[static_cast<size_t>(row.slot)] = row.menuItem;
    }
    return numbers;
}();
inline constexpr std::array<int, CommandCount> PopupItemOfSlot = [] {
    std::array<int, CommandCount> numbers{};
    for (const CommandRow& row : commandTable) {
        numbers[static_cast<size_t>(row.slot)] = row.popupItem;
    }
    return numbers;
}();

// The window's numbers that are no command's.
static_assert(
    [] {
        for (const CommandRow& row : commandTable) {
            for (int number : {ReturnKey, FindKey, ClearClipboardItem, ClipboardDelayItem, IdleLockItem, EncryptItem,
                               DecryptItem, 276, 277, RecycleBinItem, HistoryItem, Main::PopupMenu, Main::TrayIcon}) {
                if (number == row.menuItem || number == row.popupItem || number == row.event) {
                    return false;
                }
            }
        }
        return true;
    }(),
    "a command's number is its own");

// Images by number.
namespace Image {
constexpr int Banner = 18;
constexpr int FirstLabelEdit = 25; // 25 to 37, one per label-edit button
constexpr int Save = 38;
constexpr int Spare = 39;
constexpr int Clear = 40;
constexpr int Help = 41;
constexpr int Exit = 42;
constexpr int History = 49;
constexpr int StatusLeft = 44;
constexpr int StatusMiddle = 45;
constexpr int Program = 46;
constexpr int PrintButton = 19;
constexpr int PreviewButton = 20;
constexpr int PrintWindowExit = 21;
} // namespace Image

// Command slots.
namespace Slot = quillbox::CommandSlot;

} // namespace quillbox::Id
