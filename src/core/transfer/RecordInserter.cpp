#include "transfer/RecordInserter.h"

#include "store/SqlText.h"

#include <sqlite3.h>

namespace quillbox {

RecordInserter::RecordInserter(const Database& db) : m_db(db) {
    if (!db.isOpen()) {
        m_error = QStringLiteral("No database connection is open.");
        return;
    }
    // The columns of the program's insert statement, in its order.
    QStringList columns = columnNames().mid(0, Col::TextColumns);
    QStringList marks(Col::TextColumns, QStringLiteral("?"));
    const QByteArray sql = (QStringLiteral("INSERT INTO quillbox(") + columns.join(QStringLiteral(", ")) +
                            QStringLiteral(")VALUES(") + marks.join(QLatin1Char(',')) + QLatin1Char(')'))
                               .toUtf8();
    if (sqlite3_prepare_v2(db.handle(), sql.constData(), static_cast<int>(sql.size()), &m_stmt, nullptr) !=
        SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(db.handle()));
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

RecordInserter::~RecordInserter() { sqlite3_finalize(m_stmt); }

bool RecordInserter::insert(const SiteRecord& values, QString& recordNumber) {
    recordNumber.clear();
    if (!m_stmt) {
        return false; // m_error still says why the statement could not be made
    }
    static const char16_t empty[] = u"";
    for (int k = 0; k < Col::TextColumns; ++k) {
        const QString& v = values[k];
        // Never a null pointer: that would store NULL, where the program always stores text.
        const void* text = v.isEmpty() ? static_cast<const void*>(empty) : static_cast<const void*>(v.utf16());
        sqlite3_bind_text16(m_stmt, k + 1, text, static_cast<int>(v.size() * 2), SQLITE_STATIC);
    }
    const int rc = sqlite3_step(m_stmt);
    sqlite3_reset(m_stmt);
    if (rc != SQLITE_DONE) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db.handle()));
        return false;
    }
    recordNumber = QString::number(sqlite3_last_insert_rowid(m_db.handle()));
    return true;
}

} // namespace quillbox
