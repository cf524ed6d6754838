#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillbox {

// The recycle bin and the history of every record live in a second table of the same file,
// quillbox_history, made when first needed: each row a record's 29 values and its number, when,
// and what happened to it: "deleted" (it lies in the bin) or "version" (a save replaced it). The
// table quillbox itself and every statement on it stay as they were.
namespace HistoryEvent {
inline const QString Deleted = QStringLiteral("deleted");
inline const QString Version = QStringLiteral("version");
} // namespace HistoryEvent

inline const QString historyTable = QStringLiteral("quillbox_history");

struct HistoryEntry {
    qint64 entry = 0;  // the row's own number in quillbox_history
    QString record;    // the record number it had
    QDateTime when;    // when it was deleted or replaced (UTC)
    QString event;     // HistoryEvent
    SiteRecord values; // its 29 values as stored (the record number in field 29 too)
};

// Makes the table (and its index) when missing. Reason, empty when done.
Result ensureHistoryTable(Database& db);
bool historyTableExists(const Database& db);

// Moves the records into the bin in one transaction: all of them or, when the database refuses,
// none (nothing half-moved). The numbers of the bin entries made go to entries. progress hears how
// many have gone after each statement. Reason, empty when done.
Result moveToBin(Database& db, const QStringList& recordNumbers, const QDateTime& when,
                 QList<qint64>* entries = nullptr, const std::function<void(qsizetype moved)>& progress = {});

// The bin, newest first; nothing (and error set) when it cannot be read.
std::optional<QList<HistoryEntry>> binEntries(const Database& db, QString* error = nullptr);

struct Restored {
    qint64 entry = 0;
    QString from;     // the number it had
    QString to;       // the number it has now: the same when that was free
    QString siteName; // given for a record that got a new number
};
// Puts bin entries back into the list, in one transaction: each under its old number when no
// record holds it, else under a new one. Entries not in the bin are left out. Reason, empty when
// done; restored says where each went.
Result restoreFromBin(Database& db, const QList<qint64>& entries, QList<Restored>* restored = nullptr);
// The bin entries of these record numbers (the newest of each), for a restore by record number.
QList<qint64> binEntriesOfRecords(const Database& db, const QStringList& recordNumbers);
// Erases everything in the bin for good. Reason, empty when done.
Result emptyBin(Database& db, qsizetype* erased = nullptr);

// Erases records for good, without the bin (the command line's delete --erase).
Result eraseRecords(Database& db, const QStringList& recordNumbers);

// Saves an edit of an existing record, whose 29 fields are quoted: the version it replaces is
// kept first (when it differs and keep > 0), and only the newest `keep` versions of the record
// stay, all in one transaction. entry gets the kept version's number (0 when none was kept).
// Reason, empty when done; notFound is set when no record has that number.
Result saveWithHistory(Database& db, const SiteRecord& quoted, const QString& recordNumber, const QDateTime& when,
                       int keep, qint64* entry = nullptr, bool* notFound = nullptr);

// A record's kept versions, newest first.
std::optional<QList<HistoryEntry>> recordVersions(const Database& db, const QString& recordNumber,
                                                  QString* error = nullptr);
// One entry of the table, whatever it holds.
std::optional<HistoryEntry> historyEntry(const Database& db, qint64 entry);

// The record as the table holds it now; nothing when there is none (or the query failed: error).
std::optional<SiteRecord> storedRecord(const Database& db, const QString& recordNumber, QString* error = nullptr);

// The names of the value columns in which two records differ (the record number aside).
QStringList differingColumns(const SiteRecord& a, const SiteRecord& b);

} // namespace quillbox
