#include "store/SearchCopy.h"
#include "store/SearchCopyData.h"

#include "store/Database.h"
#include "store/SqlText.h"
#include "text/Utf8Text.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <limits>
#include <memory>

namespace quillbox {

using namespace searchcopy;

ListFilter ListFilter::fromSearch(const SearchState& search) {
    ListFilter f;
    f.owner = search.owner;
    f.byCategory = search.category != allCategories;
    f.category = search.category;
    f.byText = true;
    f.field = search.field;
    f.comparison = search.comparison;
    f.text = search.text;
    return f;
}

ListFilter ListFilter::ownerRecords(const QString& owner) {
    ListFilter f;
    f.owner = owner;
    return f;
}

ListFilter ListFilter::categoryRecords(const QString& owner, const QString& category) {
    ListFilter f = ownerRecords(owner);
    f.byCategory = true;
    f.category = category;
    return f;
}

QString listStatement(const ListFilter& filter) {
    if (filter.byText) {
        return searchStatement({filter.owner, filter.byCategory ? filter.category : allCategories, filter.field,
                                filter.comparison, filter.text});
    }
    return filter.byCategory ? categoryRecordsStatement(filter.owner, filter.category)
                             : ownerRecordsStatement(filter.owner);
}

namespace {

// More changed rows than this are read by loading the table anew.
constexpr qsizetype refreshLimit = 4096;

// The columns held, by name: the search fields' in their order, then the record number.
constexpr std::array<std::string_view, SearchCopy::ColumnCount> columnNamesHeld = [] {
    std::array<std::string_view, SearchCopy::ColumnCount> names{};
    for (size_t i = 0; i < searchFieldTable.size(); ++i) {
        names[i] = searchFieldTable[i].column;
    }
    names[SearchCopy::Record] = "record";
    return names;
}();
static_assert(searchFieldTable.size() == SearchCopy::Record, "every search field's column is held");
static_assert(columnNamesHeld[SearchCopy::SiteName] == "sitename" &&
                  columnNamesHeld[SearchCopy::UserName] == "username" &&
                  columnNamesHeld[SearchCopy::Password] == "password" &&
                  columnNamesHeld[SearchCopy::HomePage] == "homepage" &&
                  columnNamesHeld[SearchCopy::Category] == "category" &&
                  columnNamesHeld[SearchCopy::Owner] == "owner" && columnNamesHeld[SearchCopy::Notes] == "notes",
              "the copy's named columns are the search fields of those numbers");

// What the copy's statements select: the rowid, then the columns held.
const QByteArray& columnList() {
    static const QByteArray list = [] {
        QByteArray text("rowid");
        for (std::string_view name : columnNamesHeld) {
            text += ", " + QByteArray(name.data(), static_cast<qsizetype>(name.size()));
        }
        return text;
    }();
    return list;
}

} // namespace

namespace {

// Whether the table and the connection are what the copy models: UTF-8, BINARY columns, the
// built-in LIKE, a rowid.
QString unmodelled(sqlite3* db) {
    auto single = [db](const char* sql, QByteArray* out) {
        sqlite3_stmt* stmt = nullptr;
        bool ok = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW;
        if (ok && out) {
            *out = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
            for (int c = 1; c < sqlite3_column_count(stmt); ++c) {
                *out += ',' + QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
            }
        }
        sqlite3_finalize(stmt);
        return ok;
    };
    QByteArray value;
    if (!single("PRAGMA encoding", &value) || value != "UTF-8") {
        return QStringLiteral("the database is not stored as UTF-8");
    }
    if (!single("SELECT 'aB' LIKE 'Ab', 'x' LIKE '_', '\xc3\xa4' LIKE '\xc3\x84'", &value) || value != "1,1,0") {
        return QStringLiteral("LIKE is not SQLite's built-in one");
    }
    for (std::string_view name : columnNamesHeld) {
        const char* column = name.data(); // a literal's, so it ends in a NUL
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(db, "main", "quillbox", column, nullptr, &collation, nullptr, nullptr,
                                          nullptr) != SQLITE_OK ||
            !collation || qstricmp(collation, "BINARY") != 0) {
            return QStringLiteral("the column %1 does not compare as BINARY").arg(QLatin1String(column));
        }
    }
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        const char* type = nullptr;
        int primary = 0;
        // A column of that name would stand in for the row number.
        if (sqlite3_table_column_metadata(db, "main", "quillbox", name, &type, nullptr, nullptr, &primary, nullptr) ==
                SQLITE_OK &&
            !primary) {
            return QStringLiteral("the table has a column named %1").arg(QLatin1String(name));
        }
    }
    return QString();
}

} // namespace

namespace {

// Rowids this far apart are not given a slot each: the rows are counted first.
constexpr unsigned long long widestSpan = 1ULL << 24;

// The rowids the table holds lie in [low, high]; false when it holds none (or has no table).
bool rowidSpan(sqlite3* db, long long& low, long long& high) {
    sqlite3_stmt* stmt = nullptr;
    bool any = false;
    // Each in a query of its own: SQLite reads a lone min() or max() of the rowid off the edge of
    // the table, but both in one query scan every row (and, encrypted, decrypt every page).
    if (sqlite3_prepare_v2(db, "SELECT (SELECT min(rowid) FROM quillbox), (SELECT max(rowid) FROM quillbox)", -1, &stmt,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL) {
        low = sqlite3_column_int64(stmt, 0);
        high = sqlite3_column_int64(stmt, 1);
        any = true;
    }
    sqlite3_finalize(stmt);
    return any;
}

unsigned long long rowCount(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    unsigned long long rows = 0;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM quillbox", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        rows = static_cast<unsigned long long>(sqlite3_column_int64(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return rows;
}

unsigned long long spanSize(long long low, long long high) {
    return static_cast<unsigned long long>(high) - static_cast<unsigned long long>(low) + 1;
}

// Reads the rows whose rowid lies in [low, high] into slots part.first on, at most room of them.
bool readPart(sqlite3* db, SearchCopy::Data& data, LoadPart& part, long long low, long long high, size_t room,
              QString& reason) {
    reason = db ? unmodelled(db) : QStringLiteral("no database");
    if (!reason.isEmpty()) {
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("SELECT ") + columnList() + " FROM quillbox WHERE rowid BETWEEN " +
                           QByteArray::number(low) + " AND " + QByteArray::number(high);
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    const bool ok = data.load(stmt, part, room, reason);
    sqlite3_finalize(stmt);
    return ok;
}

sqlite3* openForReading(const QString& file, const std::shared_ptr<const FileKey>& key) {
    sqlite3* db = openConnection(file, key, true);
    if (db && sqlite3_errcode(db) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

constexpr long long lowestRowid = std::numeric_limits<long long>::min();
constexpr long long highestRowid = std::numeric_limits<long long>::max();

} // namespace

struct SearchCopy::Pending {
    struct Loaded {
        std::shared_ptr<Data> data;
        QString whyNot;
    };
    std::future<Loaded> result;
};

SearchCopy::SearchCopy() = default;

SearchCopy::~SearchCopy() {
    detach();
    if (m_pending && m_pending->result.valid()) {
        m_pending->result.wait();
    }
}

std::shared_ptr<SearchCopy::Data> SearchCopy::load(sqlite3* db, QString* whyNot) {
    QString reason = db ? QString() : QStringLiteral("no database");
    auto data = std::make_shared<Data>();
    // One read transaction, so the rows read are the rows counted.
    const bool own =
        db && sqlite3_get_autocommit(db) && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (db) {
        long long low = 0;
        long long high = -1;
        size_t room = 0;
        if (rowidSpan(db, low, high)) {
            room = static_cast<size_t>(spanSize(low, high) <= widestSpan ? spanSize(low, high) : rowCount(db));
        }
        data->resize(room);
        LoadPart part;
        LoadPart none;
        none.first = room;
        if (readPart(db, *data, part, lowestRowid, highestRowid, room, reason) && !data->join(part, none)) {
            reason = QStringLiteral("the table is too large");
        }
    }
    if (own && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        // Only read, so nothing is lost; the connection must not stay inside the transaction.
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (!reason.isEmpty()) {
        if (whyNot) {
            *whyNot = reason;
        }
        return nullptr;
    }
    return data;
}

void SearchCopy::loadInBackground(const QString& databaseFile, std::shared_ptr<const FileKey> key) {
    m_pending = std::make_unique<Pending>();
    m_key = key;
    const QString file = databaseFile;
    sqlite3* first = openForReading(file, key);
    long long low = 0;
    long long high = -1;
    if (!first || !rowidSpan(first, low, high) || spanSize(low, high) < 2 || spanSize(low, high) > widestSpan) {
        // An empty table (or none yet), or rowids far apart: one thread reads it all.
        m_pending->result = std::async(std::launch::async, [first] {
            Pending::Loaded loaded;
            loaded.data = load(first, &loaded.whyNot);
            sqlite3_close(first);
            return loaded;
        });
        return;
    }
    // Two threads read one half of the rowids' span each, into one set of slots: the lower
    // half's from slot 0, the upper half's after room for every rowid of the lower half.
    const long long middle = low + static_cast<long long>(spanSize(low, high) / 2) - 1;
    const auto lowerRoom = static_cast<size_t>(spanSize(low, middle));
    const auto upperRoom = static_cast<size_t>(spanSize(low, high)) - lowerRoom;
    auto data = std::make_shared<Data>();
    data->resize(lowerRoom + upperRoom);
    auto lower = std::async(std::launch::async, [first, data, middle, lowerRoom] {
        auto part = std::make_unique<LoadPart>();
        QString reason;
        const bool ok = readPart(first, *data, *part, lowestRowid, middle, lowerRoom, reason);
        sqlite3_close(first);
        return std::make_pair(ok ? std::move(part) : nullptr, reason);
    });
    m_pending->result = std::async(
        std::launch::async,
        [file, key, data, middle, lowerRoom, upperRoom, lower = std::move(lower)]() mutable -> Pending::Loaded {
            sqlite3* db = openForReading(file, key);
            LoadPart upper;
            upper.first = lowerRoom;
            QString reason;
            const bool ok = readPart(db, *data, upper, middle + 1, highestRowid, upperRoom, reason);
            sqlite3_close(db);
            const auto [part, lowerReason] = lower.get();
            if (!part) {
                return {nullptr, lowerReason};
            }
            if (!ok) {
                return {nullptr, reason};
            }
            if (!data->join(*part, upper)) {
                return {nullptr, QStringLiteral("the table is too large")};
            }
            return {data, QString()};
        });
}

void SearchCopy::attach(sqlite3* db, std::shared_ptr<const FileKey> key) {
    detach();
    m_db = db;
    m_key = std::move(key);
    if (!m_db) {
        return;
    }
    sqlite3_update_hook(m_db, &SearchCopy::updated, this);
    sqlite3_rollback_hook(m_db, &SearchCopy::rolledBack, this);
    sqlite3_prepare_v2(m_db, "PRAGMA data_version", -1, &m_version, nullptr);
    m_knownVersion = dataVersion();
    if (!m_pending && !m_data) {
        m_reload = true;
    }
}

void SearchCopy::detach() {
    if (!m_db) {
        return;
    }
    sqlite3_update_hook(m_db, nullptr, nullptr);
    sqlite3_rollback_hook(m_db, nullptr, nullptr);
    sqlite3_finalize(m_version);
    m_version = nullptr;
    m_db = nullptr;
}

void SearchCopy::drop() {
    detach();
    if (m_pending && m_pending->result.valid()) {
        m_pending->result.wait();
    }
    m_pending.reset();
    m_data.reset();
    m_key.reset();
    m_dirty.clear();
    m_dirtyOverflow = false;
    m_reload = false;
    m_knownVersion = -1;
}

void SearchCopy::updated(void* self, int, const char*, const char* table, long long rowid) {
    auto* copy = static_cast<SearchCopy*>(self);
    if (copy->m_dirtyOverflow || qstricmp(table, "quillbox") != 0) {
        return;
    }
    // Past what a refresh takes, the copy is loaded again whole: the rows need not be known (an
    // import of a million would hold them all).
    copy->m_dirty.insert(rowid);
    if (copy->m_dirty.size() > refreshLimit) {
        copy->m_dirty.clear();
        copy->m_dirty.squeeze();
        copy->m_dirtyOverflow = true;
    }
}

void SearchCopy::rolledBack(void* self) {
    // Rows read back while the transaction was open may have gone back to what they were.
    static_cast<SearchCopy*>(self)->m_reload = true;
}

int SearchCopy::dataVersion() {
    int version = -1;
    if (m_version && sqlite3_step(m_version) == SQLITE_ROW) {
        version = sqlite3_column_int(m_version, 0);
    }
    sqlite3_reset(m_version);
    return version;
}

void SearchCopy::takePending() {
    Pending::Loaded loaded = m_pending->result.get();
    m_data = std::move(loaded.data);
    m_loadFailure = m_data ? QString() : loaded.whyNot;
    m_pending.reset();
}

bool SearchCopy::sync() {
    if (m_pending) {
        takePending();
        ++m_loads;
        // The file may have had no table yet: the program's connection makes it.
        m_reload = !m_data;
    }
    if (!m_db) {
        return false;
    }
    const int version = dataVersion();
    if (version != m_knownVersion) {
        m_knownVersion = version;
        m_reload = true; // another connection committed a change
    }
    if (!m_reload && (m_dirtyOverflow || !m_dirty.isEmpty())) {
        if (m_dirtyOverflow || m_dirty.size() > refreshLimit || !m_data) {
            m_reload = true;
        } else {
            const std::vector<long long> rowids(m_dirty.cbegin(), m_dirty.cend());
            m_reload = !refresh(rowids);
        }
    }
    m_dirty.clear();
    m_dirtyOverflow = false;
    if (m_reload) {
        m_reload = false;
        const char* file = sqlite3_db_filename(m_db, "main");
        if (sqlite3_get_autocommit(m_db) && file && *file) {
            // Nothing uncommitted on the program's connection: two threads read what it would.
            loadInBackground(QString::fromUtf8(file), m_key);
            takePending();
        } else {
            m_data = load(m_db, &m_loadFailure);
        }
        ++m_loads;
    }
    return m_data != nullptr;
}

bool SearchCopy::refresh(const std::vector<long long>& rowids) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("SELECT ") + columnList() + " FROM quillbox WHERE rowid=?";
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        return false;
    }
    bool ok = true;
    const bool inOrder = !m_data->orderStale;
    for (long long id : rowids) {
        sqlite3_bind_int64(stmt, 1, id);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            ok = m_data->take(stmt);
        } else if (rc == SQLITE_DONE) {
            const int slot = m_data->slotOfRowid(id);
            if (slot >= 0) {
                m_data->forget(slot);
            }
        } else {
            ok = false;
        }
        const int slot = m_data->slotOfRowid(id);
        if (ok && inOrder && slot >= 0) {
            m_data->reposition(slot);
        }
        m_data->orderStale = !inOrder;
        sqlite3_reset(stmt);
        if (!ok) {
            break;
        }
    }
    sqlite3_finalize(stmt);
    return ok;
}

std::optional<QStringList> SearchCopy::owners() {
    if (!sync()) {
        return std::nullopt;
    }
    std::vector<int> held;
    for (size_t id = 0; id < m_data->owners.rows.size(); ++id) {
        if (m_data->owners.rows[id] > 0) {
            held.push_back(static_cast<int>(id));
        }
    }
    return m_data->owners.listed(held);
}

std::optional<QStringList> SearchCopy::categoriesOf(const QString& owner) {
    if (!sync() || owner.contains(QChar(u'\0'))) {
        return std::nullopt;
    }
    const Data& d = *m_data;
    const int id = d.owners.find(owner.toUtf8());
    std::vector<uint8_t> seen(d.categories.text.size(), 0);
    std::vector<int> held;
    for (size_t s = 0; id >= 0 && s < static_cast<size_t>(d.slotCount()); ++s) {
        const int category = d.categoryId[s];
        if (d.live[s] && d.ownerId[s] == id && category >= 0 && !seen[static_cast<size_t>(category)]) {
            seen[static_cast<size_t>(category)] = 1;
            held.push_back(category);
        }
    }
    return d.categories.listed(held);
}

namespace {

// One column's distinct non-empty values in byte order (memcmp, then the shorter first: SQLite's
// BINARY collation). Sorted sixteen bytes at a time (zero-padded, so their order is the values'
// wherever those differ): a run of values equal so far goes on to the next sixteen, so long shared
// beginnings (addresses) are not compared again and again.
struct ValueKey {
    uint64_t high;
    uint64_t low;
    const char* bytes;
    uint32_t length;
};

uint64_t word(const char* bytes, uint32_t length, uint32_t at) {
    uint64_t value = 0;
    for (uint32_t i = at; i < at + 8; ++i) {
        value = (value << 8) | (i < length ? static_cast<unsigned char>(bytes[i]) : 0);
    }
    return value;
}

void sortFrom(std::vector<ValueKey>::iterator begin, std::vector<ValueKey>::iterator end, uint32_t at) {
    for (auto k = begin; k != end; ++k) {
        k->high = word(k->bytes, k->length, at);
        k->low = word(k->bytes, k->length, at + 8);
    }
    // Equal keys: the one that ends within these sixteen bytes first (it is a beginning of the
    // other, the rest of whose sixteen are zero), then the longer ones, in no order yet.
    const auto ends = [at](const ValueKey& k) { return k.length <= at + 16 ? k.length : at + 17; };
    std::sort(begin, end, [&](const ValueKey& x, const ValueKey& y) {
        if (x.high != y.high) {
            return x.high < y.high;
        }
        return x.low != y.low ? x.low < y.low : ends(x) < ends(y);
    });
    for (auto run = begin; run != end;) {
        auto next = run + 1;
        while (next != end && next->high == run->high && next->low == run->low && ends(*next) == ends(*run)) {
            ++next;
        }
        if (next - run > 1 && run->length > at + 16 && at < 48) {
            sortFrom(run, next, at + 16);
        } else if (next - run > 1 && run->length > at + 16) {
            // Past 64 shared bytes (the same long value many times over): compared whole.
            std::sort(run, next, [from = at + 16](const ValueKey& x, const ValueKey& y) {
                const int c = std::memcmp(x.bytes + from, y.bytes + from, std::min(x.length, y.length) - from);
                return c != 0 ? c < 0 : x.length < y.length;
            });
        }
        run = next;
    }
}

QStringList distinctOf(const SearchCopy::Data& d, int column) {
    const Cells& cells = d.cells[static_cast<size_t>(column)];
    std::vector<ValueKey> keys;
    for (int s = 0; s < d.slotCount(); ++s) {
        const Cell cell = d.live[static_cast<size_t>(s)] ? cells.cell(s) : Cell{"", 0, Null};
        if (!(cell.flags & Null) && cell.length > 0) {
            keys.push_back({0, 0, cell.bytes, cell.length});
        }
    }
    sortFrom(keys.begin(), keys.end(), 0);
    QStringList texts;
    for (size_t i = 0; i < keys.size(); ++i) {
        const ValueKey& k = keys[i];
        if (i == 0 || k.length != keys[i - 1].length || std::memcmp(k.bytes, keys[i - 1].bytes, k.length) != 0) {
            texts.append(utf8Text(QByteArrayView(k.bytes, k.length)));
        }
    }
    return texts;
}

} // namespace

std::optional<std::vector<QStringList>> SearchCopy::distinctValues(const std::vector<int>& columns) {
    if (!sync()) {
        return std::nullopt;
    }
    // The columns shared between two threads; the copy does not change while both read it.
    std::vector<QStringList> lists(columns.size());
    const Data& d = *m_data;
    const auto fill = [&](size_t from) {
        for (size_t i = from; i < columns.size(); i += 2) {
            if (columns[i] >= 0 && columns[i] < ColumnCount) {
                lists[i] = distinctOf(d, columns[i]);
            }
        }
    };
    auto other = std::async(std::launch::async, fill, 1);
    fill(0);
    other.get();
    return lists;
}

QString SearchCopy::cellText(const Data& data, int slot, int column) {
    if (slot < 0 || slot >= data.slotCount()) {
        return QString();
    }
    if (column == Record && data.recordNumber[static_cast<size_t>(slot)] != Data::noNumber) {
        return QString::number(data.recordNumber[static_cast<size_t>(slot)]);
    }
    const Cell cell = data.cells[static_cast<size_t>(column)].cell(slot);
    return (cell.flags & Null) ? QString() : utf8Text(QByteArrayView(cell.bytes, cell.length));
}

SearchCopy::CellBytes SearchCopy::cellBytes(const Data& data, int slot, int column) {
    CellBytes out;
    if (slot < 0 || slot >= data.slotCount()) {
        return out;
    }
    if (column == Record && data.recordNumber[static_cast<size_t>(slot)] != Data::noNumber) {
        out.kind = CellBytes::Number;
        out.number = data.recordNumber[static_cast<size_t>(slot)];
        return out;
    }
    const Cell cell = data.cells[static_cast<size_t>(column)].cell(slot);
    if (!(cell.flags & Null)) {
        out.kind = (cell.flags & Odd) ? CellBytes::Other : CellBytes::Utf8;
        out.bytes = cell.bytes;
        out.length = cell.length;
    }
    return out;
}

void SearchCopy::prefetchCell(const Data& data, int slot, int column) {
    if (data.slotCount() == 0) {
        return;
    }
    // Unconditional prefetches, each of a slot in range: the compiler drops one in a branch.
    const auto s = static_cast<size_t>(std::clamp(slot, 0, data.slotCount() - 1));
    const Cells& cells = data.cells[static_cast<size_t>(column)];
    __builtin_prefetch(&cells.flags[s]);
    __builtin_prefetch(&cells.start[s]);
    __builtin_prefetch(&cells.length[s]);
    __builtin_prefetch(&data.recordNumber[s]);
}

int SearchCopy::slotCount(const Data& data) {
    return data.slotCount();
}

} // namespace quillbox
