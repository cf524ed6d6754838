#include "transfer/RecordInserter.h"

#include "store/SqlText.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>

namespace quillbox {

RecordInserter::RecordInserter(Database& db) : m_db(db) {
    if (m_db.isOpen()) {
        // The program's insert statement with a parameter where each quoted value stands.
        SiteRecord marks;
        for (int k = 0; k < Col::TextColumns; ++k) {
            marks[k] = QStringLiteral("\x01");
        }
        const QByteArray sql = buildInsertStatement(marks).toUtf8().replace("'\x01'", "?");
        sqlite3_prepare_v2(m_db.handle(), sql.constData(), static_cast<int>(sql.size()), &m_insert, nullptr);
    }
}

RecordInserter::~RecordInserter() {
    sqlite3_finalize(m_insert);
}

bool RecordInserter::run(const QString& statement, qint64& newRow) {
    if (!m_db.execute(statement)) {
        m_error = m_db.errorText();
        return false;
    }
    newRow = sqlite3_last_insert_rowid(m_db.handle());
    return true;
}

bool RecordInserter::insert(const SiteRecord& values, QString& recordNumber) {
    qint64 row = 0;
    recordNumber.clear();
    if (!insert(Utf8Copy(values).views, row)) {
        return false;
    }
    recordNumber = QString::number(row);
    return true;
}

bool RecordInserter::insert(const Utf8Record& values, qint64& newRow) {
    const bool holdsNul = std::any_of(values.begin(), values.end(), [](QByteArrayView v) { return v.contains('\0'); });
    if (!m_insert || holdsNul) {
        // A U+0000 (its one NUL byte): the literal statement refuses it, as it always has.
        return run(buildInsertStatement(quotedFields(siteRecordFrom(values))), newRow);
    }
    for (size_t k = 0; k < values.size(); ++k) {
        // Never NULL: an empty value is empty text, as the quoted '' is.
        const QByteArrayView v = values[k];
        sqlite3_bind_text(m_insert, static_cast<int>(k) + 1, v.isEmpty() ? "" : v.data(), static_cast<int>(v.size()),
                          SQLITE_STATIC);
    }
    const int rc = sqlite3_step(m_insert);
    if (rc != SQLITE_DONE) {
        m_db.noteFailure(rc);
    }
    sqlite3_reset(m_insert); // every parameter is bound again before the next step
    if (rc != SQLITE_DONE) {
        m_error = m_db.errorText();
        return false;
    }
    newRow = sqlite3_last_insert_rowid(m_db.handle());
    return true;
}

} // namespace quillbox
