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
    sqlite3_finalize(m_batch);
}

bool RecordInserter::bind(sqlite3_stmt* statement, int first, const Utf8Record& values) {
    for (size_t k = 0; k < values.size(); ++k) {
        // Never NULL: an empty value is empty text, as the quoted '' is.
        const QByteArrayView v = values[k];
        const int rc = sqlite3_bind_text64(statement, first + static_cast<int>(k), v.isEmpty() ? "" : v.data(),
                                           static_cast<sqlite3_uint64>(v.size()), SQLITE_STATIC, SQLITE_UTF8);
        if (rc != SQLITE_OK) {
            // A value past the database's length limit: the parameter would be left NULL, the
            // value lost. The record is refused, as the text statement refuses it.
            m_db.noteFailure(rc);
            m_error = m_db.errorText();
            return false;
        }
    }
    return true;
}

bool RecordInserter::step(sqlite3_stmt* statement) {
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE) {
        m_db.noteFailure(rc);
    }
    sqlite3_reset(statement); // every parameter is bound again before the next step
    if (rc != SQLITE_DONE) {
        m_error = m_db.errorText();
        return false;
    }
    return true;
}

bool RecordInserter::holdsNul(const Utf8Record& values) {
    return std::any_of(values.begin(), values.end(), [](QByteArrayView v) { return v.contains('\0'); });
}

RecordInserter::Batch RecordInserter::insertBatch(std::span<const Utf8Record> records, std::span<qint64> rows) {
    m_error.clear();
    if (!m_insert || m_noBatch || records.size() != batchRows || rows.size() != batchRows) {
        m_error = QStringLiteral("no batch can be inserted");
        return Batch::Unavailable;
    }
    if (!m_batch) {
        // The single insert's statement with its row of parameters repeated.
        QByteArray sql = QByteArray(sqlite3_sql(m_insert));
        const QByteArray row = sql.mid(sql.lastIndexOf("VALUES(") + 6);
        for (size_t i = 1; i < batchRows; ++i) {
            sql += ',' + row;
        }
        if (sqlite3_prepare_v2(m_db.handle(), sql.constData(), static_cast<int>(sql.size()), &m_batch, nullptr) !=
            SQLITE_OK) {
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db.handle()));
            sqlite3_finalize(m_batch);
            m_batch = nullptr;
            m_noBatch = true;
            return Batch::Unavailable;
        }
    }
    int at = 1;
    for (const Utf8Record& values : records) {
        if (!bind(m_batch, at, values)) {
            return Batch::Refused;
        }
        at += static_cast<int>(values.size());
    }
    const sqlite3_int64 before = sqlite3_total_changes64(m_db.handle());
    if (!step(m_batch)) {
        return Batch::Refused; // the statement is undone whole
    }
    // Each new row is numbered one past the last (AUTOINCREMENT: past every number the table has
    // had), in the order the records stand, unless something else (a trigger) made rows too.
    // (Asking the statement for the numbers, RETURNING, costs as much again as the insert.)
    const sqlite3_int64 made = sqlite3_total_changes64(m_db.handle()) - before;
    if (made != static_cast<sqlite3_int64>(rows.size())) {
        m_error = QStringLiteral("the database made %1 rows for %2 records").arg(made).arg(rows.size());
        return Batch::Unsure;
    }
    const qint64 last = sqlite3_last_insert_rowid(m_db.handle());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = last - static_cast<qint64>(rows.size() - 1 - i);
    }
    return Batch::Stored;
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
    if (!m_insert || holdsNul(values)) {
        // A U+0000 (its one NUL byte): the literal statement refuses it, as it always has.
        return run(buildInsertStatement(quotedFields(siteRecordFrom(values))), newRow);
    }
    if (!bind(m_insert, 1, values)) {
        return false;
    }
    if (!step(m_insert)) {
        return false;
    }
    newRow = sqlite3_last_insert_rowid(m_db.handle());
    return true;
}

} // namespace quillbox
