#pragma once

// The program's fixed numbers: windows, gadgets, menu items and events.
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
// The first shortcut event; the tables below and settings/Shortcuts give every number.
constexpr int FirstShortcutEvent = 230;
constexpr int ReturnKey = 252;
// Ctrl+F, where no command holds it: the search text gets the focus.
constexpr int FindKey = 266;
// 267 and 268 are the shortcut events of the two copy commands (settings/Shortcuts).
// Options menu entries that are not commands of their own: they have no shortcut.
constexpr int ClearClipboardItem = 271;
constexpr int ClipboardDelayItem = 272;
constexpr int IdleLockItem = 273;
constexpr int EncryptItem = 274; // shown on a plain database
constexpr int DecryptItem = 275; // shown on an encrypted one
// 276 and 277 are the Return and Escape keys of window 10.
constexpr int RecycleBinItem = 278; // Site tools menu: the recycle bin window
constexpr int HistoryItem = 279;    // Options menu: how many versions a record keeps

// Menu-bar item numbers, by command slot; the commands added after the first 22 come last.
constexpr int MenuItemOfSlot[] = {2,  3,  4,  6,  7,  8,  9,  10, 11, 12, 13, 15, 16,
                                  18, 19, 20, 21, 22, 24, 26, 27, 28, 29, 30, 280};
// Pop-up item numbers, by command slot (print and home page exchanged).
constexpr int PopupItemOfSlot[] = {208, 209, 210, 211, 212, 213, 214, 215, 217, 216, 218, 219, 220,
                                   221, 222, 223, 224, 225, 226, 227, 228, 229, 269, 270, 281};

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

// Command slots, in the order of the command table.
namespace Slot {
constexpr int Exit = 0;
constexpr int EditPassword = 1;
constexpr int Lock = 2;
constexpr int AddRecord = 3;
constexpr int CopyRecords = 4;
constexpr int CopyToOwner = 5;
constexpr int DeleteRecords = 6;
constexpr int EditRecord = 7;
constexpr int PrintRecords = 8;
constexpr int HomePage = 9;
constexpr int TagAll = 10;
constexpr int Import = 11;
constexpr int Export = 12;
constexpr int ToolTips = 13;
constexpr int Fading = 14;
constexpr int Snap = 15;
constexpr int ShowPrivate = 16;
constexpr int TitleClock = 17;
constexpr int ResetFields = 18;
constexpr int About = 19;
constexpr int ShortcutKeys = 20;
constexpr int ShowHelp = 21;
constexpr int CopyUserName = 22;
constexpr int CopyPassword = 23;
constexpr int Undo = 24;
} // namespace Slot

} // namespace quillbox::Id
