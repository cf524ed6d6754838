#include "transfer/RecordInserter.h"

#include "store/SqlText.h"

#include <sqlite3.h>

namespace quillbox {

RecordInserter::RecordInserter(Database& db) : m_db(db) {
    if (m_db.isOpen()) {
        sqlite3_prepare_v2(m_db.handle(), "SELECT last_insert_rowid()", -1, &m_lastRow, nullptr);
    }
}

RecordInserter::~RecordInserter() {
    sqlite3_finalize(m_lastRow);
}

bool RecordInserter::run(const QString& statement, QString& recordNumber) {
    recordNumber.clear();
    if (!m_db.execute(statement)) {
        m_error = m_db.errorText();
        return false;
    }
    if (m_lastRow && sqlite3_step(m_lastRow) == SQLITE_ROW) {
        recordNumber = QString::number(sqlite3_column_int64(m_lastRow, 0));
    }
    sqlite3_reset(m_lastRow);
    return true;
}

bool RecordInserter::insert(const SiteRecord& values, QString& recordNumber) {
    return run(buildInsertStatement(quotedFields(values)), recordNumber);
}

} // namespace quillbox
