#include "transfer/RecordInserter.h"

#include "store/SqlText.h"
#include "transfer/XmlDump.h"

#include <sqlite3.h>

namespace quillbox {

RecordInserter::RecordInserter(const Database& db) : m_db(db) {}

RecordInserter::~RecordInserter() {
    sqlite3_finalize(m_stmt);
}

bool RecordInserter::prepare(const QString& statement) {
    if (m_stmt && statement == m_statement) {
        return true;
    }
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_statement = statement;
    if (!m_db.isOpen()) {
        m_error = QStringLiteral("No database connection is open.");
        return false;
    }
    const QByteArray sql = statement.toUtf8();
    if (sqlite3_prepare_v2(m_db.handle(), sql.constData(), static_cast<int>(sql.size()), &m_stmt, nullptr) !=
        SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db.handle()));
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        return false;
    }
    return true;
}

void RecordInserter::bind(int index, const QString& value) {
    // Never a null pointer: that would store NULL, where the program always stores text.
    static const char16_t empty[] = u"";
    const void* text = value.isEmpty() ? static_cast<const void*>(empty) : static_cast<const void*>(value.utf16());
    sqlite3_bind_text16(m_stmt, index, text, static_cast<int>(value.size() * 2), SQLITE_STATIC);
}

bool RecordInserter::step(QString& recordNumber) {
    const int rc = sqlite3_step(m_stmt);
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt); // the bound texts belong to the caller
    if (rc != SQLITE_DONE) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db.handle()));
        return false;
    }
    recordNumber = QString::number(sqlite3_last_insert_rowid(m_db.handle()));
    return true;
}

bool RecordInserter::insert(const SiteRecord& values, QString& recordNumber) {
    recordNumber.clear();
    // The columns of the program's insert statement, in its order.
    static const QString statement =
        QStringLiteral("INSERT INTO quillbox(") + columnNames().mid(0, Col::TextColumns).join(QStringLiteral(", ")) +
        QStringLiteral(")VALUES(") + QStringList(Col::TextColumns, QStringLiteral("?")).join(QLatin1Char(',')) +
        QLatin1Char(')');
    if (!prepare(statement)) {
        return false;
    }
    for (int k = 0; k < Col::TextColumns; ++k) {
        bind(k + 1, values[k]);
    }
    return step(recordNumber);
}

bool RecordInserter::insert(const XmlItem& item, QString& recordNumber) {
    recordNumber.clear();
    if (!prepare(xmlInsertStatement(item.columns))) {
        return false;
    }
    for (qsizetype i = 0; i < item.values.size(); ++i) {
        bind(static_cast<int>(i + 1), item.values[i]);
    }
    return step(recordNumber);
}

} // namespace quillbox
