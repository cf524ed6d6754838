#pragma once

#include "Result.h"
#include "settings/Commands.h"

#include <QString>

#include <array>

namespace quillbox {

// Everything the settings file holds.
struct ProgramSettings {
    int optToolTips = 1;
    int optFading = 1;
    int optSnap = 1;
    int optShowPrivate = 0;
    int optTitleClock = 1;
    QString passwordFingerprint;
    // Options added since the first files were written: a file without their keys reads these.
    int optClearClipboard = 1; // take what the program copied off the clipboard again
    int clipboardSeconds = 30; // after this many seconds
    int idleLockMinutes = 10;  // lock after this many minutes without input; 0 never
    int historyVersions = 10;  // versions of each record kept when it is saved; 0 none

    QString lastOwner;
    QString lastCategory;
    int lastSearchField = 0;
    int lastSearchType = 0;
    QString lastSearchText;
    // The main window's place and size ("x,y,width,height"; empty: its designed size, centred) and
    // the list's columns shown, by number ("0,1,2,3": site name, user name, password, home page;
    // 4 is the category, 6 the notes).
    QString mainWindowGeometry;
    QString listColumns = QStringLiteral("0,1,2,3");

    std::array<int, CommandCount> shortcutCodes{};
};

ProgramSettings defaultSettings();

// The timed options within the ranges their dialogs offer (a hand-edited file may hold any value).
constexpr int MaxClipboardSeconds = 3600;
constexpr int MaxIdleMinutes = 24 * 60;
int clipboardDelaySeconds(const ProgramSettings& settings);
int idleLockMinutes(const ProgramSettings& settings);
constexpr int MaxKeptVersions = 100;
int historyVersions(const ProgramSettings& settings);

// The bytes of a new settings file.
QByteArray defaultSettingsBytes();

// Creates the file with its defaults when missing, then reads every key. A file that cannot be
// read leaves every value at 0 or empty, as an empty file would.
Result loadSettings(const QString& fileName, ProgramSettings& settings);

// Creates the file with its defaults when missing, then writes every key in one atomic save. A
// password fingerprint already in the file is kept: it is only ever changed by writeSetting().
Result saveSettings(const QString& fileName, const ProgramSettings& settings);

// Reads or writes one key (the password fingerprint is written alone when it changes).
QString readSetting(const QString& fileName, const QString& group, const QString& key);
Result writeSetting(const QString& fileName, const QString& group, const QString& key, const QString& value);

namespace SettingsKey {
inline const QString ProgramOptions = QStringLiteral("Program Options");
inline const QString SavedSearches = QStringLiteral("Saved Searches");
inline const QString KeyboardShortcuts = QStringLiteral("Keyboard Shortcuts");
inline const QString Fingerprint = QStringLiteral("MD5 FingerPrint");
inline const QString ClearClipboard = QStringLiteral("Clear clipboard On or Off");
inline const QString ClipboardSeconds = QStringLiteral("Clear clipboard after seconds");
inline const QString IdleLockMinutes = QStringLiteral("Lock after idle minutes");
inline const QString HistoryVersions = QStringLiteral("Versions kept of each record");
inline const QString LastOwner = QStringLiteral("Last Owner Displayed");
} // namespace SettingsKey

// Settings keys of the shortcut slots, in slot order.
const std::array<QString, CommandCount>& shortcutKeys();

} // namespace quillbox
