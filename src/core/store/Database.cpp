#include "store/Database.h"

#include "store/SqliteMemory.h"

#include <sqlite3.h>

namespace quillbox {

Database::~Database() {
    close();
}

Database::Database(Database&& other) noexcept : m_db(other.m_db), m_error(std::move(other.m_error)) {
    other.m_db = nullptr;
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        m_db = other.m_db;
        m_error = std::move(other.m_error);
        other.m_db = nullptr;
    }
    return *this;
}

bool Database::open(const QString& fileName) {
    close();
    configureSqliteMemory();
    const QByteArray path = fileName.toUtf8();
    sqlite3* db = nullptr;
    // A connection is only ever used by the thread that opened it, so it needs no mutex of its own.
    const int rc = sqlite3_open_v2(path.constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        m_error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    return true;
}

void Database::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Database::execute(const QString& statement) {
    if (!m_db) {
        m_error = QStringLiteral("No database connection is open.");
        return false;
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, statement.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_error = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

QString Database::errorText() const {
    return m_error;
}

Query::Query(const Database& db, const QString& statement) : m_db(db) {
    if (!db.m_db) {
        db.setError(QStringLiteral("No database connection is open."));
        m_failed = true;
        return;
    }
    const QByteArray text = statement.toUtf8();
    if (sqlite3_prepare_v2(db.m_db, text.constData(), static_cast<int>(text.size()), &m_stmt, nullptr) != SQLITE_OK) {
        db.setError(QString::fromUtf8(sqlite3_errmsg(db.m_db)));
        m_stmt = nullptr;
        m_failed = true;
    } else if (!m_stmt) {
        // An empty statement prepares to nothing; treat it as a failure the caller can report.
        db.setError(QStringLiteral("The statement is empty."));
        m_failed = true;
    }
}

Query::~Query() {
    finish();
}

bool Query::next() {
    if (!m_stmt) {
        return false;
    }
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        m_failed = true;
        m_db.setError(QString::fromUtf8(sqlite3_errmsg(m_db.m_db)));
    }
    finish();
    return false;
}

int Query::columnCount() const {
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString Query::columnName(int column) const {
    return m_stmt ? QString::fromUtf8(sqlite3_column_name(m_stmt, column)) : QString();
}

QString Query::text(int column) const {
    if (!m_stmt) {
        return QString();
    }
    // Text is stored as UTF-8; Qt's decoder is quicker than asking SQLite for UTF-16.
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!data) {
        return QString();
    }
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

void Query::finish() {
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

} // namespace quillbox
