#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"

#include <QString>

struct sqlite3_stmt;

namespace quillbox {

// The insert step of an import: each record becomes a new row through the program's own insert
// statement, its values quoted into the text, and its number is read back at once.
class RecordInserter {
public:
    explicit RecordInserter(Database& db);
    ~RecordInserter();
    RecordInserter(const RecordInserter&) = delete;
    RecordInserter& operator=(const RecordInserter&) = delete;

    // Inserts fields 0 to 28 (plain text, not quoted). On success recordNumber is the new row's
    // number; on failure errorText() says why.
    bool insert(const SiteRecord& values, QString& recordNumber);
    QString errorText() const { return m_error; }

private:
    bool run(const QString& statement, QString& recordNumber);

    Database& m_db;
    // "SELECT last_insert_rowid()", prepared once for the whole import.
    sqlite3_stmt* m_lastRow = nullptr;
    QString m_error;
};

} // namespace quillbox
