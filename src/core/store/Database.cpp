#include "store/Database.h"

#include "crypt/FileKey.h"
#include "crypt/PageCipher.h"
#include "store/EncryptedVfs.h"
#include "store/SiteRecord.h"
#include "store/SqliteMemory.h"
#include "text/Utf8Text.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace quillbox {

QString damagedFileText(unsigned page, bool inJournal) {
    QString text = QStringLiteral("The database file is damaged or was changed outside Quillbox.");
    if (page > 0) {
        text +=
            inJournal ? QStringLiteral(" (page %1, in its journal)").arg(page) : QStringLiteral(" (page %1)").arg(page);
    }
    return text;
}

Database::~Database() {
    close();
}

Database::Database(Database&& other) noexcept
    : m_db(other.m_db), m_key(std::move(other.m_key)), m_error(std::move(other.m_error)),
      m_errorCode(other.m_errorCode) {
    other.m_db = nullptr;
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        m_db = other.m_db;
        m_key = std::move(other.m_key);
        m_error = std::move(other.m_error);
        m_errorCode = other.m_errorCode;
        other.m_db = nullptr;
    }
    return *this;
}

bool Database::open(const QString& fileName, std::shared_ptr<const FileKey> key, bool readOnly) {
    close();
    sqlite3* db = openConnection(fileName, key, readOnly);
    if (!db) {
        setError(QStringLiteral("The database file could not be opened."), SQLITE_CANTOPEN);
        return false;
    }
    m_db = db;
    m_key = std::move(key);
    // Opening reads the file's header: on an encrypted file a damaged first page fails here.
    if (const int rc = sqlite3_errcode(db); rc != SQLITE_OK) {
        setError(sqliteMessage(), rc);
        close();
        return false;
    }
    return true;
}

void Database::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_key.reset();
}

QString Database::sqliteMessage(const char* message) const {
    if (m_db && m_key) {
        const int code = sqlite3_extended_errcode(m_db);
        if (code == SQLITE_IOERR_DATA || (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB) {
            const DamagedPage damaged = code == SQLITE_IOERR_DATA ? lastDamagedPage() : DamagedPage{};
            return damagedFileText(damaged.page, damaged.inJournal);
        }
    }
    if (message) {
        return QString::fromUtf8(message);
    }
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
}

sqlite3* openConnection(const QString& fileName, const std::shared_ptr<const FileKey>& key, bool readOnly) {
#ifndef QUILLBOX_SQLITE_SYSTEM_MALLOC
    configureSqliteMemory();
#endif
    // A connection is only ever used by the thread that opened it, so it needs no mutex of its own.
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) | SQLITE_OPEN_NOMUTEX;
    QByteArray name = fileName.toUtf8();
    if (key) {
        if (!registerEncryptedVfs()) {
            return nullptr;
        }
        name = encryptedUri(fileName, key);
        flags |= SQLITE_OPEN_URI;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        return db; // the caller reads the reason from it and closes it
    }
    // Another program reading the file (a backup or sync tool, the sqlite3 shell) holds its lock
    // for a moment; a write waits for it rather than failing at once.
    sqlite3_busy_timeout(db, Database::busyTimeoutMs);
    if (key) {
        // Sorting and temporary tables stay in memory: a temporary file would hold plain pages
        // (the VFS refuses to make one).
        sqlite3_exec(db, "PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr);
        // A new file's pages get the size its header names and room for their seal; an existing
        // file has both already and keeps them. (Setting the page size resets the reserve, so it
        // comes first.)
        if (QFileInfo(fileName).size() == 0 && !readOnly) {
            const QByteArray pageSize = "PRAGMA page_size=" + QByteArray::number(key->pageSize());
            sqlite3_exec(db, pageSize.constData(), nullptr, nullptr, nullptr);
            int reserve = PageReserve;
            sqlite3_file_control(db, "main", SQLITE_FCNTL_RESERVE_BYTES, &reserve);
        }
    }
    return db;
}

bool Database::execute(const QString& statement) {
    if (!m_db) {
        setError(QStringLiteral("No database connection is open."), SQLITE_MISUSE);
        return false;
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, statement.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        setError(message ? sqliteMessage(message) : QString::fromUtf8(sqlite3_errstr(rc)), rc);
        sqlite3_free(message);
        return false;
    }
    return true;
}

void Database::setBusyTimeout(int milliseconds) {
    if (m_db) {
        sqlite3_busy_timeout(m_db, milliseconds);
    }
}

void Database::noteFailure(int resultCode) const {
    setError(m_db ? sqliteMessage() : QString::fromUtf8(sqlite3_errstr(resultCode)), resultCode & 0xff);
}

QString Database::errorText() const {
    return m_error;
}

bool Database::lastFailureRefusesWrites() const {
    switch (m_errorCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_FULL:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_NOMEM:
    case SQLITE_CANTOPEN:
    case SQLITE_MISUSE:
        return true;
    default:
        return false;
    }
}

bool Database::inTransaction() const {
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

bool Transaction::begin() {
    m_error.clear();
    if (!m_db.execute(QStringLiteral("Begin Transaction"))) {
        m_error = describe(m_db);
        return false;
    }
    m_open = true;
    return true;
}

bool Transaction::commit() {
    if (!m_open) {
        return false;
    }
    // SQLite rolls a transaction back by itself after some failures (a full disk, an I/O error);
    // committing then would only start and end an empty one.
    if (!m_db.inTransaction()) {
        m_open = false;
        m_error = m_error.isEmpty() ? describe(m_db) : m_error;
        return false;
    }
    if (!m_db.execute(QStringLiteral("Commit"))) {
        m_error = describe(m_db);
        rollback();
        return false;
    }
    m_open = false;
    return true;
}

bool Transaction::rollback() {
    if (!m_open) {
        return true;
    }
    m_open = false;
    if (!m_db.inTransaction()) {
        return true;
    }
    // The failure that brought us here is the one to report, not this statement's.
    const QString error = m_db.errorText();
    const int code = m_db.errorCode();
    // SQLite ends the transaction even when it cannot play the journal back (an image that fails
    // its check); the file is then left with its journal hot. Reading the file again is what
    // shows whether the old pages are back (another program writing just then proves nothing).
    const bool undone =
        (m_db.execute(QStringLiteral("Rollback")) || !m_db.inTransaction()) &&
        (m_db.execute(QStringLiteral("PRAGMA schema_version")) || (m_db.errorCode() & 0xff) == SQLITE_BUSY);
    if (undone) {
        m_db.setError(error, code);
        return true;
    }
    m_error = (m_error.isEmpty() ? QString() : m_error + QStringLiteral("; ")) +
              QStringLiteral("the changes could not be undone: ") + m_db.errorText();
    return false;
}

QString Transaction::describe(const Database& db) {
    const int code = db.errorCode() & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        return QStringLiteral("the database is locked by another program");
    }
    return db.errorText();
}

Query::Query(const Database& db, const QString& statement) : m_db(db) {
    if (!db.m_db) {
        db.setError(QStringLiteral("No database connection is open."), SQLITE_MISUSE);
        m_failed = true;
        return;
    }
    const QByteArray text = statement.toUtf8();
    const int rc = sqlite3_prepare_v2(db.m_db, text.constData(), static_cast<int>(text.size()), &m_stmt, nullptr);
    if (m_stmt) {
        ++db.m_openQueries;
    }
    if (rc != SQLITE_OK) {
        db.setError(db.sqliteMessage(), rc);
        m_stmt = nullptr;
        m_failed = true;
    } else if (!m_stmt) {
        // An empty statement prepares to nothing; treat it as a failure the caller can report.
        db.setError(QStringLiteral("The statement is empty."), SQLITE_MISUSE);
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
        m_db.setError(m_db.sqliteMessage(), rc);
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
    // Text is stored as UTF-8; Qt's decoder is quicker than asking SQLite for UTF-16.
    const QByteArrayView data = bytes(column);
    return data.isNull() ? QString() : utf8Text(data);
}

QByteArrayView Query::bytes(int column) const {
    if (!m_stmt) {
        return {};
    }
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return data ? QByteArrayView(data, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

qint64 Query::integer(int column) const {
    return m_stmt ? sqlite3_column_int64(m_stmt, column) : 0;
}

QString Query::field(int tableColumn) const {
    if (!m_mapped) {
        mapTableColumns();
    }
    const int column = m_tableColumns[static_cast<size_t>(tableColumn)];
    return column < 0 ? QString() : text(column);
}

QByteArrayView Query::fieldBytes(int tableColumn) const {
    if (!m_mapped) {
        mapTableColumns();
    }
    const int column = m_tableColumns[static_cast<size_t>(tableColumn)];
    return column < 0 ? QByteArrayView() : bytes(column);
}

void Query::mapTableColumns() const {
    m_mapped = true;
    m_tableColumns.fill(-1);
    const QStringList& names = columnNames();
    const int count = columnCount();
    static_assert(Col::Count == 30);
    for (int c = 0; c < count; ++c) {
        const QString name = columnName(c);
        for (int k = 0; k < Col::Count; ++k) {
            if (m_tableColumns[static_cast<size_t>(k)] < 0 && name.compare(names[k], Qt::CaseInsensitive) == 0) {
                m_tableColumns[static_cast<size_t>(k)] = c;
                break;
            }
        }
    }
}

void Query::finish() {
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        --m_db.m_openQueries;
    }
}

} // namespace quillbox
