#pragma once

#include "store/SearchQuery.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillbox {

class FileKey;

// What the record list shows: one owner's records, maybe of one category, maybe only those
// a search text picks.
struct ListFilter {
    QString owner;
    bool byCategory = false;
    QString category;
    bool byText = false;
    int field = AllFields;
    Comparison comparison = Comparison::Contains;
    QString text;

    // The search panel's filter: the category applies unless it is "All Categories".
    static ListFilter fromSearch(const SearchState& search);
    static ListFilter ownerRecords(const QString& owner);
    static ListFilter categoryRecords(const QString& owner, const QString& category);
};

// The statement that lists exactly these rows.
QString listStatement(const ListFilter& filter);

// The searched columns of the table quillbox, held in memory as SQLite stores them (UTF-8
// bytes, NULL kept apart from empty text), so a search does not scan the file. Every answer is
// the one the list statement gives, row for row and in its order: the comparisons are SQLite's
// own (BINARY for = <> < <= > >=, its LIKE matcher), and whatever the copy cannot answer exactly
// is left to the statement (search() gives no answer).
class SearchCopy {
public:
    // The columns held, in this order: the searched ones as "All fields" lists them (index i is
    // search field i, 0 being the site-name label), then the record number.
    enum Column {
        SiteNameLabel = 0,
        SiteName = 1,
        UserName = 2,
        Password = 3,
        HomePage = 4,
        Category = 14,
        Owner = 15,
        Notes = 16,
        Record = 17,
        ColumnCount = 18
    };

    // One load of the table; rows changed later are refreshed in place, deleted rows flagged.
    struct Data;

    SearchCopy();
    ~SearchCopy();
    SearchCopy(const SearchCopy&) = delete;
    SearchCopy& operator=(const SearchCopy&) = delete;

    // Reads the whole table through db (any connection, any thread). Null when the table holds
    // what the copy cannot model (values other than text or NULL, another collation or
    // encoding, a LIKE that is not SQLite's built-in one); whyNot then says what.
    static std::shared_ptr<Data> load(sqlite3* db, QString* whyNot = nullptr);
    // Reads the table in a thread of its own, through a read-only connection to the file (with
    // the key of an encrypted one).
    void loadInBackground(const QString& databaseFile, std::shared_ptr<const FileKey> key = {});

    // Follows the program's connection: its own writes refresh the rows they touched, and a
    // change committed by any other connection reloads the whole copy. Call once, after the
    // connection is open; key is that of an encrypted file, for the copy's own connections.
    void attach(sqlite3* db, std::shared_ptr<const FileKey> key = {});
    void detach();
    // Detaches and lets go of the copy and the key: what it held leaves memory once the list
    // lets go of its rows too.
    void drop();

    // Waits for a load in progress, then brings the copy up to date with the connection.
    // False when there is no usable copy.
    bool sync();

    // The slots of the rows the filter's statement lists, in its order; nothing when the
    // statement must be run instead, and declined() then says why.
    std::optional<std::vector<int>> search(const ListFilter& filter);
    const QString& declined() const { return m_declined; }

    // "SELECT DISTINCT owner ... ORDER BY owner" and the categories of one owner, as stored,
    // empty values left out: what the list statements give.
    std::optional<QStringList> owners();
    std::optional<QStringList> categoriesOf(const QString& owner);

    // For each column held, "SELECT DISTINCT column FROM quillbox ORDER BY column" as the data
    // form's value lists read it: the texts as stored, each once, in byte order, empty values left
    // out; a column not held (-1) gives an empty list. Nothing when there is no usable copy.
    std::optional<std::vector<QStringList>> distinctValues(const std::vector<int>& columns);

    // The data the slots refer to, for the list model; it lives as long as a holder keeps it.
    std::shared_ptr<const Data> data() const { return m_data; }

    // A cell as the statement reads it: UTF-8 text, NULL as empty; and the record number.
    static QString cellText(const Data& data, int slot, int column);
    // A cell as the copy holds it, for a reader of many cells that would rather not make each a
    // QString: NULL; plain UTF-8 without NUL (bytes, valid while the data lives); the record
    // number; or Other, whose text only cellText() gives.
    struct CellBytes {
        enum Kind : uint8_t { Null, Utf8, Number, Other };
        Kind kind = Null;
        const char* bytes = nullptr;
        uint32_t length = 0;
        long long number = 0;
    };
    static CellBytes cellBytes(const Data& data, int slot, int column);
    // Asks for the memory cellBytes() will read of that cell, ahead of it.
    static void prefetchCell(const Data& data, int slot, int column);
    static int slotCount(const Data& data);

    // From how many rows on a search over all fields runs in two threads (tests lower it).
    static void setParallelRows(size_t rows);

    // How often the copy was loaded whole (for tests and the bench).
    int loads() const { return m_loads; }

private:
    static void updated(void* self, int operation, const char* database, const char* table, long long rowid);
    static void rolledBack(void* self);
    int dataVersion();
    void takePending();
    bool refresh(const std::vector<long long>& rowids);

    std::shared_ptr<Data> m_data;
    struct Pending;
    std::unique_ptr<Pending> m_pending;
    sqlite3* m_db = nullptr;
    std::shared_ptr<const FileKey> m_key;
    sqlite3_stmt* m_version = nullptr;
    int m_knownVersion = -1;
    QSet<long long> m_dirty;
    bool m_dirtyOverflow = false; // more rows changed than a refresh takes: they are not collected
    bool m_reload = false;
    int m_loads = 0;
    QString m_loadFailure; // why the last load gave no copy
    QString m_declined;    // why the last search was left to the statement
};

} // namespace quillbox
