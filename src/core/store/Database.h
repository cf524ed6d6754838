#pragma once

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace quillbox {

class Query;

// One SQLite connection. Statements are plain text; the program never binds parameters.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;

    // Opens (creating when missing) the database file. Never truncates an existing file.
    bool open(const QString& fileName);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // Runs a statement that returns no rows; false and errorText() on failure.
    bool execute(const QString& statement);

    // Text of the last failure on this connection.
    QString errorText() const;

    sqlite3* handle() const { return m_db; }

private:
    friend class Query;
    void setError(const QString& text) const { m_error = text; }

    sqlite3* m_db = nullptr;
    mutable QString m_error;
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
    void finish();

private:
    const Database& m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_failed = false;
};

} // namespace quillbox
