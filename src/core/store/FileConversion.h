#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace quillbox {

class FileKey;

// Rewrites a database file whole: plain to encrypted, encrypted to plain, or from one key to
// another. The new file is written beside the old one, checked to open and to hold the same rows,
// made durable and only then put in its place; the old file's bytes are overwritten with zeros.
// While it runs no other connection can write to the file; one that has it open afterwards finds
// it unreadable (never a silent write into the replaced file). On any failure the old file is
// left as it was and nothing of the new one remains. Returns the reason, empty when done.
// from: the key the file is in now (null: plain); to: the key it is to be in (null: plain).
Result convertDatabaseFile(const QString& file, const std::shared_ptr<const FileKey>& from,
                           const std::shared_ptr<const FileKey>& to);

// The weekday backups beside a database file that exist.
QStringList weekdayBackups(const QString& databaseFile);

// Converts each weekday backup into `to` as convertDatabaseFile() does. A backup already in `to`
// is left alone; one in another key is opened with that key when it is `from`'s, or else derived
// again from `password` (a backup from before a change of password). Returns one line for each
// backup that could not be converted, saying why; empty when all were.
QStringList convertBackups(const QString& databaseFile, const QString& password,
                           const std::shared_ptr<const FileKey>& from, const std::shared_ptr<const FileKey>& to);

// Removes what a conversion killed half-way left beside a file: its new copy and that copy's journal.
void removeConversionLeftovers(const QString& file);

// An order-free digest of every row of every table, with the tables' definitions: two files with
// the same digest hold the same data. Empty when the file could not be read whole.
QByteArray contentDigest(const QString& file, const std::shared_ptr<const FileKey>& key);

} // namespace quillbox
