#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"

#include <QString>

#include <span>

struct sqlite3_stmt;

namespace quillbox {

// The insert step of an import: each record becomes a new row, and its number is read back at
// once. The values are bound to one prepared statement, which stores exactly what the program's
// own insert statement with the values quoted into its text stores; a value holding U+0000,
// which cuts that text short, goes through the text statement and is refused as it refuses it.
class RecordInserter {
public:
    explicit RecordInserter(Database& db);
    ~RecordInserter();
    RecordInserter(const RecordInserter&) = delete;
    RecordInserter& operator=(const RecordInserter&) = delete;

    // Inserts fields 0 to 28 (plain text, not quoted). On success recordNumber is the new row's
    // number; on failure errorText() says why.
    bool insert(const SiteRecord& values, QString& recordNumber);
    // The same from the fields' UTF-8; the new row's number is newRow.
    bool insert(const Utf8Record& values, qint64& newRow);

    // How many records insertBatch() takes: one statement for them all costs far less than one
    // each (a statement's own work, the AUTOINCREMENT counter written once).
    static constexpr size_t batchRows = 32;
    // Inserts batchRows records, none holding U+0000 (see holdsNul), in one statement, storing
    // the same rows as insert() one at a time: all of them (Stored, rows[i] being record i's new
    // number), none (Refused: the database refused the statement), none because the batch
    // statement cannot be made (Unavailable, from then on), or, should the database not say which
    // rows it made, unknown ones (Unsure). errorText() says why not Stored.
    enum class Batch { Stored, Refused, Unavailable, Unsure };
    Batch insertBatch(std::span<const Utf8Record> records, std::span<qint64> rows);
    static bool holdsNul(const Utf8Record& values);
    QString errorText() const { return m_error; }

private:
    bool run(const QString& statement, qint64& newRow);
    // Binds the values to the statement's parameters from first on; false when one is refused.
    bool bind(sqlite3_stmt* statement, int first, const Utf8Record& values);
    // Runs the bound statement once and resets it; false (errorText() saying why) when it failed.
    bool step(sqlite3_stmt* statement);

    Database& m_db;
    // The insert with its 29 values bound, prepared once for the whole import.
    sqlite3_stmt* m_insert = nullptr;
    // The same for batchRows records, prepared when first needed.
    sqlite3_stmt* m_batch = nullptr;
    bool m_noBatch = false;
    QString m_error;
};

} // namespace quillbox
