#pragma once

#include "clock/Clock.h"
#include "crypt/FileKey.h"
#include "settings/ProgramSettings.h"
#include "store/Database.h"
#include "store/SiteRecord.h"
#include "store/WorkingFolder.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <array>
#include <functional>
#include <optional>

class QIODevice;
class QTextDocument;
class QWidget;

namespace quillbox {

class ImportPreview;
struct ImportOptions;
enum class PreviewAnswer;

enum class MessageIcon { None, Exclamation };

// Everything that would block a test or reach outside the program goes through here.
// Production values use Qt; tests put in their own.
struct Seams {
    std::function<void(const QString& title, const QString& text, MessageIcon icon)> messageBox;
    // Asks a question with the given buttons; the index of the one chosen, -1 when the box was
    // dismissed without a choice.
    std::function<int(const QString& title, const QString& text, const QStringList& buttons)> ask;
    // Asks for a file name; empty when the user cancels. patterns are the toolkit's filters joined
    // by ";;"; selectedFilter is in/out.
    std::function<QString(const QString& title, const QString& proposedName, const QString& patterns,
                          QString* selectedFilter, bool save)>
        fileRequester;
    // Asks for a whole number between minimum and maximum, offering value; empty when cancelled.
    std::function<std::optional<int>(const QString& title, const QString& label, int value, int minimum, int maximum)>
        askNumber;
    std::function<QDateTime()> now;
    std::function<bool(const QUrl& url)> openUrl;
    std::function<bool()> trayAvailable;
    // Prints a document to the default printer without asking, or shows its print preview (from which the
    // user may print). Returns the error for the status line, empty when done.
    std::function<QString(QTextDocument* document, bool preview, QWidget* parent)> printDocument;
    // Runs the modal loop of a start-up password window until done() is true or the window
    // was left; tests fill the window and press its keys here instead of waiting.
    std::function<void(QWidget* window, const std::function<bool()>& done)> modalLoop;
    // The user's home folder; its last part names the owner of imported bookmarks.
    std::function<QString()> homeFolder;
    // Shows what an import file holds before anything is stored, and what the user chose to do:
    // import it, cancel, or (columnsStep) go back and say what a CSV file's columns hold.
    std::function<PreviewAnswer(const ImportPreview& preview, bool columnsStep, QWidget* parent)> importPreview;
    // Asks what each column of a CSV file holds (the file is read from its start and put back);
    // false when the user cancels, else options hold the choice.
    std::function<bool(QIODevice& file, ImportOptions& options, QWidget* parent)> csvColumns;
    // What deriving a new key or password fingerprint may cost (production: about 0.75 s on this
    // machine, worked out the first time it is needed).
    std::function<KdfCost()> kdfCost;
    // What the clipboard's clearing and the idle lock time themselves by.
    Clock* clock = &Clock::steady();

    static Seams production();
};

// What the whole program shares, made once in main and handed around by reference: the settings,
// the working files, the database and the working record. What a window needs of its own, its
// controller keeps.
struct AppState {
    ProgramSettings settings;
    WorkingFolder files;
    Database database;
    // The program's single working record: the last row listed, saved or imported.
    SiteRecord currentRecord;
    Seams seams;

    // Fills the folder and file names from a working folder.
    void setWorkingFolder(const QString& folder) { files = WorkingFolder::at(folder); }
};

} // namespace quillbox
