#pragma once

#include "Result.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace quillbox {

class FileKey;
class Query;

// What the user is told when a page of an encrypted file fails its check.
QString damagedFileText(unsigned page, bool inJournal);

// One SQLite connection. Statements are plain text; only the import binds its values
// (RecordInserter).
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;

    // Opens (creating when missing) the database file. Never truncates an existing file. With a
    // key, the file is an encrypted one, read and written through the encrypting VFS.
    bool open(const QString& fileName, std::shared_ptr<const FileKey> key = {}, bool readOnly = false);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    // The key of an encrypted file; null for a plain one.
    const std::shared_ptr<const FileKey>& key() const { return m_key; }
    bool isEncrypted() const { return m_key != nullptr; }

    // Runs a statement that returns no rows; false and errorText() on failure.
    bool execute(const QString& statement);
    // How long a statement waits for another connection's lock before it fails as busy.
    void setBusyTimeout(int milliseconds);
    static constexpr int busyTimeoutMs = 5000;

    // Text and SQLite result code of the last failure on this connection.
    QString errorText() const;
    int errorCode() const { return m_errorCode; }
    // True when the last failure was the database refusing to write at all (locked, full, read-only,
    // an I/O error): every further write of a batch would fail the same way.
    bool lastFailureRefusesWrites() const;
    // Keeps SQLite's message and code for a failure of a statement run outside this class.
    void noteFailure(int resultCode) const;
    // True while a transaction is open on this connection.
    bool inTransaction() const;
    // True while a transaction or a query is open: the connection must not close under it (a
    // long import or export lets timers run between its records).
    bool isBusy() const { return inTransaction() || m_openQueries > 0; }

    sqlite3* handle() const { return m_db; }

private:
    friend class Query;
    friend class Transaction;
    void setError(const QString& text, int code) const {
        m_error = text;
        m_errorCode = code;
    }
    // SQLite's message for the last failure, or, on an encrypted file, what damage means there.
    QString sqliteMessage(const char* message = nullptr) const;

    sqlite3* m_db = nullptr;
    std::shared_ptr<const FileKey> m_key;
    mutable QString m_error;
    mutable int m_errorCode = 0;
    mutable int m_openQueries = 0;
};

// A raw connection as Database opens it: through the encrypting VFS when there is a key, waiting
// for other connections' locks, temporary data in memory. Null only when SQLite could not even
// start one; otherwise the caller checks sqlite3_errcode() and closes it on failure.
sqlite3* openConnection(const QString& fileName, const std::shared_ptr<const FileKey>& key, bool readOnly);

// One transaction, checked at every step: begin() and commit() report failure, and a transaction
// not committed is rolled back when this goes out of scope, so none is ever left open.
class Transaction {
public:
    explicit Transaction(Database& db) : m_db(db) {}
    ~Transaction() { rollback(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool begin();
    // On failure the transaction is rolled back and the database's reason kept in errorText().
    bool commit();
    // False, the reason in errorText(), when the changes could not be undone.
    bool rollback();
    bool isOpen() const { return m_open; }
    QString errorText() const { return m_error; }
    // The database's reason for a failure, as the user is told it.
    static QString describe(const Database& db);

private:
    Database& m_db;
    bool m_open = false;
    QString m_error;
};

// A prepared SELECT walked row by row; finished when it goes out of scope.
class Query {
public:
    Query(const Database& db, const QString& statement);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // True when the statement was prepared.
    bool isValid() const { return m_stmt != nullptr; }
    // Steps to the next row; false at the end or on an error (see failed()).
    bool next();
    bool failed() const { return m_failed; }

    int columnCount() const;
    QString columnName(int column) const;
    // The column's value as text; NULL reads as empty text.
    QString text(int column) const;
    // The column's bytes as SQLite holds the text (UTF-8, unchecked), valid until the next step;
    // NULL reads as no bytes.
    QByteArrayView bytes(int column) const;
    // The column's value as an integer (0 for NULL or text that is none).
    qint64 integer(int column) const;
    // Column k of the table quillbox (Col::SiteName ...), found by its name in the result, so a
    // table whose columns stand in another order, or with columns of its own, reads right.
    // Empty text when the result has no such column.
    QString field(int tableColumn) const;
    // The same column's bytes, as bytes() gives them.
    QByteArrayView fieldBytes(int tableColumn) const;
    void finish();

private:
    void mapTableColumns() const;

    const Database& m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_failed = false;
    mutable bool m_mapped = false;
    mutable std::array<int, 30> m_tableColumns{};
};

} // namespace quillbox
