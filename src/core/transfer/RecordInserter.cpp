#include "transfer/RecordInserter.h"

#include "store/SqlText.h"

#include <sqlite3.h>

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

bool RecordInserter::run(const QString& statement, QString& recordNumber) {
    recordNumber.clear();
    if (!m_db.execute(statement)) {
        m_error = m_db.errorText();
        return false;
    }
    recordNumber = QString::number(sqlite3_last_insert_rowid(m_db.handle()));
    return true;
}

bool RecordInserter::insert(const SiteRecord& values, QString& recordNumber) {
    std::array<QByteArray, Col::TextColumns> text;
    for (int k = 0; k < Col::TextColumns && m_insert; ++k) {
        text[static_cast<size_t>(k)] = values[k].toUtf8();
        if (text[static_cast<size_t>(k)].contains('\0')) {
            // A U+0000 (its one NUL byte): the literal statement refuses it, as it always has.
            return run(buildInsertStatement(quotedFields(values)), recordNumber);
        }
    }
    if (!m_insert) {
        return run(buildInsertStatement(quotedFields(values)), recordNumber);
    }
    recordNumber.clear();
    for (int k = 0; k < Col::TextColumns; ++k) {
        const QByteArray& v = text[static_cast<size_t>(k)];
        // Never NULL: an empty value is empty text, as the quoted '' is.
        sqlite3_bind_text(m_insert, k + 1, v.isNull() ? "" : v.constData(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
    const int rc = sqlite3_step(m_insert);
    if (rc != SQLITE_DONE) {
        m_db.noteFailure(rc);
    }
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    if (rc != SQLITE_DONE) {
        m_error = m_db.errorText();
        return false;
    }
    recordNumber = QString::number(sqlite3_last_insert_rowid(m_db.handle()));
    return true;
}

} // namespace quillbox
