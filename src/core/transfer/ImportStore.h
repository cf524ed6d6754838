#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"
#include "transfer/RecordInserter.h"

#include <QString>

#include <optional>
#include <span>

namespace quillbox {

// Stores what an import reads: one transaction for the whole file, each record a new row. A
// database that refuses writes (locked, full, read-only) ends the import, which then stores
// nothing rather than part of the file.
class ImportStore {
public:
    explicit ImportStore(Database& db);
    ImportStore(const ImportStore&) = delete;
    ImportStore& operator=(const ImportStore&) = delete;

    // values: the 29 text fields, plain. True with the new row's number; false when the record
    // was not stored, either alone (failed(), lastFailure()) or because the import has ended.
    bool insert(const Utf8Record& values, qint64& newRow);
    // RecordInserter::batchRows records without U+0000 at once: true when all were stored,
    // rows[i] being record i's new number. False when none was: then each is to be inserted
    // alone, to learn which the database refuses (unless the import has ended).
    bool insertBatch(std::span<const Utf8Record> records, std::span<qint64> rows);
    // Ends the import without storing any of it.
    void abort(const QString& reason);
    // Commits; false when nothing was stored, and abortReason() says why.
    bool commit();

    bool aborted() const { return !m_abortReason.isEmpty(); }
    const QString& abortReason() const { return m_abortReason; }
    int imported() const { return m_imported; }
    // Records the database would not take, and its reason for the last of them.
    int failed() const { return m_failed; }
    const QString& lastFailure() const { return m_lastFailure; }

private:
    // After a failed insert: a database that no longer takes writes (or lost the transaction)
    // ends the import.
    void endIfWritesRefused();

    Database& m_db;
    Transaction m_transaction;
    std::optional<RecordInserter> m_inserter;
    QString m_abortReason;
    QString m_lastFailure;
    int m_imported = 0;
    int m_failed = 0;
};

} // namespace quillbox
