#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <future>
#include <optional>

namespace quillbox {

struct OpenResult {
    bool ok = false;
    bool locked = false;  // another program holds the file locked: trying again may work
    bool damaged = false; // the file cannot be read as a database: damaged, or no database at all
    QString title;        // message box title and text when opening failed
    QString text;
};

// Makes sure the database file exists (created private to the user, never truncated),
// connects to it and creates the table when missing. With a key the file is an encrypted one.
// A file that is no database, or whose table lacks any of the thirty columns, is refused.
OpenResult openDatabase(Database& db, const QString& fileName, std::shared_ptr<const FileKey> key = {});
// The names of the thirty columns that the table quillbox lacks.
QStringList missingColumns(const Database& db);
// What in a file would make the program's statements do other than they say: triggers on the
// record tables, a view in a table's place, a value column that does not keep text as text (a
// NUMERIC column turns 007 into 7). One line each, naming them; empty when there is none.
QStringList foreignSchema(const Database& db);

// Column 0 of the last row a query gives; empty text when it fails or gives no row.
QString scalarQuery(const Database& db, const QString& statement);
// The file's data version: it moves when another connection commits a change (-1 without a database).
int dataVersion(const Database& db);
QString lastInsertedRecord(const Database& db);
// How many rows the last insert, update or delete changed.
int changedRowCount(const Database& db);

// Values of column 0 as stored, empty values left out, in the order returned.
// An empty list when the query fails; ok (when given) tells the two apart.
QStringList distinctValues(const Database& db, const QString& statement, bool* ok = nullptr);

// SQLite's quick check of the whole file: empty when it passes, else the first problem it names
// (or why it could not run).
QString integrityProblem(const Database& db);
// The same check on a connection of its own, in a thread of its own.
std::future<QString> checkInBackground(const QString& file, std::shared_ptr<const FileKey> key);

// Deletes the records in one transaction, a few hundred per statement: all of them go or, when
// the database refuses, none does. progress hears how many have gone after each statement.
// Returns the database's reason for the user, empty when done.
Result deleteRecords(Database& db, const QStringList& recordNumbers,
                     const std::function<void(qsizetype deleted)>& progress = {});

// Copies the database into target through SQLite's online backup, via a temporary file
// renamed over the target, so an existing backup survives a failed run. A database that fails
// its check is not copied: a backup is never replaced by a damaged file.
Result backupDatabase(const Database& db, const QString& target);

// The newest weekday backup beside the database that opens (with key, for an encrypted one) and
// passes its check; empty when there is none.
struct SoundBackup {
    QString file;
    QDateTime written;
    qint64 records = 0;
};
std::optional<SoundBackup> newestSoundBackup(const QString& databaseFile, const std::shared_ptr<const FileKey>& key);
// Puts a backup in the place of a damaged database: the damaged file is kept beside it as
// "….damaged" (or "….damaged-2" ...), the backup copied into its place. The reason, empty when done.
Result replaceWithBackup(const QString& databaseFile, const QString& backupFile,
                         const std::shared_ptr<const FileKey>& key);

// Removes what a backup killed or failed half-way left beside the database: the temporary copy
// and its journal.
void removeBackupLeftovers(const QString& databaseFile);

// Name of the weekday backup: the database file plus the first three letters of the day name.
QString backupFileName(const QString& databaseFile, const QString& dayName);

// Fills record from the current row of a SELECT * query the way the list filling reads it:
// columns 0 to 27 and the record number as stored; notes are left alone.
void readListRow(const Query& query, SiteRecord& record);
// Reads every text column, notes included.
void readFullRow(const Query& query, SiteRecord& record);

} // namespace quillbox
