#pragma once

#include "store/Database.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportRead.h"
#include "transfer/ImportSink.h"

#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace quillbox {

// What an import tells whoever runs it (the window, the command line), as it goes. Any may be
// left empty.
struct ImportCallbacks {
    // After a first reading that the file passed: what it found, records or not.
    std::function<void(const ImportPreview&)> previewed;
    // Then, when it found records: whether to store them (no: nothing is stored).
    std::function<bool(const ImportPreview&)> confirm;
    // The storing begins, of this many records.
    std::function<void(qsizetype records)> started;
    // A record stored under its new number (values valid for the call).
    std::function<void(qint64 row, const Utf8Record& values)> stored;
    // A line the reading refused.
    std::function<void(qsizetype line, const QString& reason)> refused;
    // A record the database would not take; the others are still stored.
    std::function<void(const QString& reason)> notStored;
    // After each record and refused line, with how many have been handled.
    std::function<void(qsizetype handled)> progress;
    // Asked after each record and refused line: true ends the import, storing none of it.
    std::function<bool()> cancelled;
    // Whose records a file of this format (as its content shows it) becomes; without it, the
    // owner given.
    std::function<QString(ImportFormat)> ownerFor;
};

struct ImportOutcome {
    enum Status {
        Refused,       // the file is not what it claims (error says why): nothing read, nothing stored
        NoRecords,     // it holds none
        NotConfirmed,  // confirm() said no
        NothingStored, // the database refused the import, the file changed since the first reading,
                       // or it was cancelled (error says which): none of it is stored
        Stored,
    };
    Status status = Refused;
    ImportFormat format = ImportFormat::Text; // as the content showed it
    QString error;
    qsizetype imported = 0;
    qsizetype refused = 0; // lines refused while storing
    qsizetype failed = 0;  // records the database would not take
    QString lastFailure;   // and its reason for the last of them
    QList<qint64> records; // the numbers of the records stored, in order
};

inline const QString importCancelledMessage = QStringLiteral("the import was cancelled");

// What the first reading of an import file found.
struct ImportReading {
    ImportFormat format = ImportFormat::Text; // as the content showed it
    QString owner;                            // whose its records become
    QString error;                            // why the whole file is refused, or nothing
};

// The first reading: the file's content decides its format (detectImportFormat; the preview says
// so when the name said otherwise), and everything is read into the preview. Only ownerFor of
// the callbacks is asked, so this may run on a thread of its own.
ImportReading readImportPreview(QIODevice& file, ImportFormat format, const QString& owner,
                                const ImportCallbacks& callbacks, const ImportOptions& options, ImportPreview& preview);
// Stores what a first reading found, in one transaction, all or none.
ImportOutcome storeImport(Database& db, QIODevice& file, const ImportReading& reading, const ImportPreview& preview,
                          const ImportCallbacks& callbacks, const ImportOptions& options, bool alongside = true);

// One import from a file: a first reading that refuses a file that is not what it claims before
// anything is stored, the confirmation, then the records stored in one transaction, all or none.
// format: what the file's name or the user chose; the file's content decides (detectImportFormat).
// alongside: the second reading (when the first could not keep everything) runs in a thread of
// its own while the records are stored.
ImportOutcome runImport(Database& db, QIODevice& file, ImportFormat format, const QString& owner,
                        const ImportCallbacks& callbacks, bool alongside = true,
                        const ImportOptions& options = ImportOptions());

// Where the preview of an import into db may spill what it keeps past memory (ImportPreview): the
// program's temporary folder for a plain database; none for an encrypted one, so that no record
// reaches the disk in clear.
QString importSpillFolder(const Database& db, const QString& temporaryFolder);

// Whose records a file from another program becomes when the user names no owner: bookmarks the
// user's of the home folder; a CSV of another program the owner listed, or with none listed the
// user's of the home folder. The program's own formats name their owners themselves.
QString importOwner(ImportFormat format, const QString& listedOwner, const QString& homeFolder);
// The owner the list shows first: the one shown when the program last ended, when it still has
// records, else the first.
QString ownerListedFirst(const QStringList& owners, const QString& lastShown);

} // namespace quillbox
