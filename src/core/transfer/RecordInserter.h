#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"

#include <QString>

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
    QString errorText() const { return m_error; }

private:
    bool run(const QString& statement, qint64& newRow);

    Database& m_db;
    // The insert with its 29 values bound, prepared once for the whole import.
    sqlite3_stmt* m_insert = nullptr;
    QString m_error;
};

} // namespace quillbox
