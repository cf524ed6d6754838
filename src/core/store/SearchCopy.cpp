#include "store/SearchCopy.h"

#include "store/SqlText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillbox {

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

constexpr uint32_t nullCell = std::numeric_limits<uint32_t>::max();
// Longer patterns are left to the statement, which applies SQLite's own limit to them.
constexpr qsizetype longestModelledPattern = 4096;
// Lists at least this long are searched over all fields by two threads.
size_t parallelRows = 20000;
// More changed rows than this are read by loading the table anew.
constexpr qsizetype refreshLimit = 4096;

const char* const columnList = "rowid, lsitename, sitename, username, password, homepage, misc1, misc2, misc3, "
                               "misc4, misc5, misc6, misc7, misc8, misc9, category, owner, notes, record";

const char* const columnNamesHeld[SearchCopy::ColumnCount] = {
    "lsitename", "sitename", "username", "password", "homepage", "misc1",    "misc2", "misc3", "misc4",
    "misc5",     "misc6",    "misc7",    "misc8",    "misc9",    "category", "owner", "notes", "record"};

// Well-formed UTF-8 without NUL: what SQLite's LIKE reads character by character exactly as the
// bytes stand, so an ASCII-folded byte search can rule such a cell out.
bool isPlainUtf8(const unsigned char* s, size_t n) {
    size_t i = 0;
    // Eight ASCII bytes at a time: none with its top bit set, none zero.
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highs = 0x8080808080808080ULL;
    while (i + 8 <= n) {
        uint64_t v;
        std::memcpy(&v, s + i, 8);
        if (((v | ((v - ones) & ~v)) & highs) != 0) {
            break;
        }
        i += 8;
    }
    while (i < n) {
        const unsigned char c = s[i];
        if (c >= 0x01 && c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false; // NUL, a stray continuation byte, or a byte UTF-8 never uses
        }
        if (i + static_cast<size_t>(extra) >= n) {
            return false; // cut short
        }
        if (s[i + 1] < lo || s[i + 1] > hi) {
            return false;
        }
        for (int k = 2; k <= extra; ++k) {
            if (s[i + static_cast<size_t>(k)] < 0x80 || s[i + static_cast<size_t>(k)] > 0xBF) {
                return false;
            }
        }
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

inline unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}
inline unsigned char upperAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

bool equalsFolded(const unsigned char* p, const QByteArray& needle) {
    for (qsizetype i = 0; i < needle.size(); ++i) {
        if (foldAscii(p[i]) != static_cast<unsigned char>(needle[i])) {
            return false;
        }
    }
    return true;
}

// The first place at or after p where needle (already folded to lower-case ASCII) stands, ASCII
// letters in either case; null when none does before end.
const char* findFolded(const char* p, const char* end, const QByteArray& needle) {
    const qsizetype m = needle.size();
    if (end - p < m) {
        return nullptr;
    }
    const char* last = end - m;
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    const auto* ulast = reinterpret_cast<const unsigned char*>(last);
    const auto a = static_cast<unsigned char>(needle[0]);
#if defined(__SSE2__)
    const auto b = static_cast<unsigned char>(m > 1 ? needle[1] : 0);
    const __m128i a1 = _mm_set1_epi8(static_cast<char>(a));
    const __m128i a2 = _mm_set1_epi8(static_cast<char>(upperAscii(a)));
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(b));
    const __m128i b2 = _mm_set1_epi8(static_cast<char>(upperAscii(b)));
    // Sixteen starts at a time, tested on their first two bytes; the rest is checked one by one.
    while (u + 16 <= ulast) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v0, a1), _mm_cmpeq_epi8(v0, a2));
        if (m > 1) {
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + 1));
            hit = _mm_and_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v1, b1), _mm_cmpeq_epi8(v1, b2)));
        }
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        while (mask != 0) {
            const int bit = __builtin_ctz(mask);
            if (equalsFolded(u + bit, needle)) {
                return reinterpret_cast<const char*>(u + bit);
            }
            mask &= mask - 1;
        }
        u += 16;
    }
#endif
    for (; u <= ulast; ++u) {
        if (foldAscii(*u) == a && equalsFolded(u, needle)) {
            return reinterpret_cast<const char*>(u);
        }
    }
    return nullptr;
}

// The longest run of a LIKE pattern without wildcards, folded: every text the pattern matches
// holds it.
QByteArray longestLiteral(const QByteArray& pattern) {
    QByteArray best;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= pattern.size(); ++i) {
        if (i == pattern.size() || pattern[i] == '%' || pattern[i] == '_') {
            if (i - runStart > best.size()) {
                best = pattern.mid(runStart, i - runStart);
            }
            runStart = i + 1;
        }
    }
    for (char& c : best) {
        c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    }
    return best;
}

int compareBinary(const char* a, uint32_t aLength, const QByteArray& b) {
    // Most cells differ from the text in their first byte.
    if (aLength > 0 && !b.isEmpty() && a[0] != b[0]) {
        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]) ? -1 : 1;
    }
    const auto n = std::min<size_t>(aLength, static_cast<size_t>(b.size()));
    const int c = n == 0 ? 0 : std::memcmp(a, b.constData(), n);
    if (c != 0) {
        return c;
    }
    return aLength < static_cast<size_t>(b.size()) ? -1 : (aLength > static_cast<size_t>(b.size()) ? 1 : 0);
}

} // namespace

// The cells of one column: their bytes one after another, each followed by a NUL (so SQLite's
// LIKE reads them in place and no search hit spans two cells). A refreshed row's new value is
// appended; the old bytes stay until the next load.
struct Cells {
    std::vector<char> arena;
    std::vector<uint32_t> start;  // by slot
    std::vector<uint32_t> length; // by slot; nullCell for NULL
    std::vector<uint8_t> odd;     // by slot: not plain UTF-8
    bool anyOdd = false;
    // The cells in the order of the arena: where each starts and whose it is.
    std::vector<uint32_t> arenaStart;
    std::vector<int> arenaSlot;

    void addSlot() {
        start.push_back(0);
        length.push_back(nullCell);
        odd.push_back(0);
    }
    bool set(int slot, const char* bytes, int n, bool isNull) {
        const auto s = static_cast<size_t>(slot);
        if (isNull) {
            length[s] = nullCell;
            odd[s] = 0;
            return true;
        }
        if (arena.size() + static_cast<size_t>(n) + 1 >= nullCell) {
            return false; // past what the offsets hold
        }
        start[s] = static_cast<uint32_t>(arena.size());
        length[s] = static_cast<uint32_t>(n);
        arenaStart.push_back(start[s]);
        arenaSlot.push_back(slot);
        arena.insert(arena.end(), bytes, bytes + n);
        arena.push_back('\0');
        const bool plain = isPlainUtf8(reinterpret_cast<const unsigned char*>(bytes), static_cast<size_t>(n));
        odd[s] = plain ? 0 : 1;
        anyOdd = anyOdd || !plain;
        return true;
    }
    bool isNull(int slot) const { return length[static_cast<size_t>(slot)] == nullCell; }
    // Takes the cells of other, whose slots are numbered from firstSlot on here.
    bool append(const Cells& other, int firstSlot) {
        const size_t offset = arena.size();
        if (offset + other.arena.size() >= nullCell) {
            return false;
        }
        arena.insert(arena.end(), other.arena.begin(), other.arena.end());
        const auto shift = static_cast<uint32_t>(offset);
        for (uint32_t s : other.start) {
            start.push_back(s + shift);
        }
        length.insert(length.end(), other.length.begin(), other.length.end());
        odd.insert(odd.end(), other.odd.begin(), other.odd.end());
        anyOdd = anyOdd || other.anyOdd;
        for (uint32_t s : other.arenaStart) {
            arenaStart.push_back(s + shift);
        }
        for (int slot : other.arenaSlot) {
            arenaSlot.push_back(slot + firstSlot);
        }
        return true;
    }
    const char* bytes(int slot) const { return arena.data() + start[static_cast<size_t>(slot)]; }
};

// Distinct values of a column (owner, category), each with a number; NULL is -1.
struct Names {
    QHash<QByteArray, int> ids;
    std::vector<QByteArray> text;
    std::vector<int> rows; // how many live rows hold the value

    int find(const QByteArray& value) const { return ids.value(value, -1); }
    int intern(const QByteArray& value) {
        auto it = ids.constFind(value);
        if (it != ids.cend()) {
            return *it;
        }
        const int id = static_cast<int>(text.size());
        const QByteArray owned(value.constData(), value.size()); // value may only borrow its bytes
        ids.insert(owned, id);
        text.push_back(owned);
        rows.push_back(0);
        return id;
    }
    // The values held by live rows (or by those ids), in BINARY order, read back, empty ones left out.
    QStringList listed(const std::vector<int>& which) const {
        std::vector<int> order;
        for (int id : which) {
            if (!text[static_cast<size_t>(id)].isEmpty()) {
                order.push_back(id);
            }
        }
        std::sort(order.begin(), order.end(),
                  [this](int x, int y) { return text[static_cast<size_t>(x)] < text[static_cast<size_t>(y)]; });
        QStringList out;
        out.reserve(static_cast<qsizetype>(order.size()));
        for (int id : order) {
            out.append(sqlReadBack(QString::fromUtf8(text[static_cast<size_t>(id)])));
        }
        return out;
    }
};

struct SearchCopy::Data {
    std::array<Cells, ColumnCount> cells;
    std::vector<long long> rowid;
    std::vector<uint8_t> live;
    std::vector<int> ownerId;
    std::vector<int> categoryId;
    // The record number when the database holds it as an integer, else noNumber (the text or
    // NULL is then in the cells).
    std::vector<long long> recordNumber;
    static constexpr long long noNumber = std::numeric_limits<long long>::min();
    Names owners;
    Names categories;
    // Slots by rowid, made when a refresh first needs it.
    QHash<long long, int> slotOf;
    bool indexed = false;
    // Live slots in the order of "ORDER BY sitename": NULL first, then BINARY, ties by rowid.
    std::vector<int> order;
    bool orderStale = true;

    int slotCount() const { return static_cast<int>(rowid.size()); }
    int slotOfRowid(long long id) {
        if (!indexed) {
            slotOf.reserve(static_cast<qsizetype>(rowid.size()));
            for (size_t s = 0; s < rowid.size(); ++s) {
                slotOf.insert(rowid[s], static_cast<int>(s));
            }
            indexed = true;
        }
        return slotOf.value(id, -1);
    }

    // Takes the current row of a statement that selects columnList; false when the row holds
    // what the copy cannot model.
    // A load adds rows (each rowid once); a refresh may meet a row it holds already.
    bool take(sqlite3_stmt* stmt, bool refreshing) {
        const long long id = sqlite3_column_int64(stmt, 0);
        int slot = refreshing ? slotOfRowid(id) : -1;
        if (slot < 0) {
            slot = slotCount();
            rowid.push_back(id);
            live.push_back(0);
            ownerId.push_back(-1);
            categoryId.push_back(-1);
            recordNumber.push_back(noNumber);
            for (Cells& column : cells) {
                column.addSlot();
            }
            if (indexed) {
                slotOf.insert(id, slot);
            }
        } else {
            forget(slot);
        }
        const auto s = static_cast<size_t>(slot);
        recordNumber[s] = noNumber;
        for (int c = 0; c < ColumnCount; ++c) {
            // The value itself, read once: the column calls would each check the statement and take
            // the connection's lock again. Safe, as the connection serves only this thread here.
            sqlite3_value* value = sqlite3_column_value(stmt, c + 1);
            const int type = sqlite3_value_type(value);
            if (type != SQLITE_TEXT && type != SQLITE_NULL && c != Record) {
                return false;
            }
            if (c == Record && type == SQLITE_INTEGER) {
                // Kept as the number it is (the usual case); made text only when shown.
                recordNumber[s] = sqlite3_value_int64(value);
                cells[Record].set(slot, nullptr, 0, true);
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            const int bytes = sqlite3_value_bytes(value);
            if (!cells[static_cast<size_t>(c)].set(slot, text, bytes, text == nullptr)) {
                return false;
            }
            if (c == Owner || c == Category) {
                int nameId = -1;
                if (text) {
                    Names& names = c == Owner ? owners : categories;
                    nameId = names.intern(QByteArray::fromRawData(text, bytes));
                    ++names.rows[static_cast<size_t>(nameId)];
                }
                (c == Owner ? ownerId : categoryId)[s] = nameId;
            }
        }
        live[s] = 1;
        orderStale = true;
        return true;
    }
    // Takes the rows of another load of other rowids.
    bool append(Data&& other) {
        const int firstSlot = slotCount();
        for (size_t c = 0; c < cells.size(); ++c) {
            if (!cells[c].append(other.cells[c], firstSlot)) {
                return false;
            }
        }
        rowid.insert(rowid.end(), other.rowid.begin(), other.rowid.end());
        recordNumber.insert(recordNumber.end(), other.recordNumber.begin(), other.recordNumber.end());
        live.insert(live.end(), other.live.begin(), other.live.end());
        auto remap = [](Names& into, const Names& from, const std::vector<int>& ids, std::vector<int>& out) {
            std::vector<int> to(from.text.size());
            for (size_t id = 0; id < from.text.size(); ++id) {
                to[id] = into.intern(from.text[id]);
                into.rows[static_cast<size_t>(to[id])] += from.rows[id];
            }
            for (int id : ids) {
                out.push_back(id < 0 ? -1 : to[static_cast<size_t>(id)]);
            }
        };
        remap(owners, other.owners, other.ownerId, ownerId);
        remap(categories, other.categories, other.categoryId, categoryId);
        slotOf.clear();
        indexed = false;
        if (!orderStale && !other.orderStale) {
            // Both in order already: one merge instead of a sort of them all.
            std::vector<int> theirs(other.order);
            for (int& slot : theirs) {
                slot += firstSlot;
            }
            std::vector<int> merged(order.size() + theirs.size());
            std::merge(order.begin(), order.end(), theirs.begin(), theirs.end(), merged.begin(),
                       [this](int x, int y) { return before(x, y); });
            order = std::move(merged);
        } else {
            orderStale = true;
        }
        return true;
    }
    // The row is gone: its slot stays, no longer live.
    void forget(int slot) {
        const auto s = static_cast<size_t>(slot);
        if (!live[s]) {
            return;
        }
        live[s] = 0;
        if (ownerId[s] >= 0) {
            --owners.rows[static_cast<size_t>(ownerId[s])];
        }
        if (categoryId[s] >= 0) {
            --categories.rows[static_cast<size_t>(categoryId[s])];
        }
        ownerId[s] = -1;
        categoryId[s] = -1;
        orderStale = true;
    }
    // Whether slot x comes before slot y in "ORDER BY sitename".
    bool before(int x, int y) const {
        const Cells& names = cells[SiteName];
        const bool xNull = names.isNull(x);
        const bool yNull = names.isNull(y);
        if (xNull || yNull) {
            if (xNull != yNull) {
                return xNull;
            }
        } else {
            const uint32_t lx = names.length[static_cast<size_t>(x)];
            const uint32_t ly = names.length[static_cast<size_t>(y)];
            const int c = std::memcmp(names.bytes(x), names.bytes(y), std::min(lx, ly));
            if (c != 0) {
                return c < 0;
            }
            if (lx != ly) {
                return lx < ly;
            }
        }
        return rowid[static_cast<size_t>(x)] < rowid[static_cast<size_t>(y)];
    }
    void sortOrder() {
        if (!orderStale) {
            return;
        }
        // Sorted on the first eight bytes of the name (zero-padded, so their order is the names'
        // order wherever they differ), the whole names compared only where those are equal.
        struct Key {
            uint64_t prefix;
            int slot;
        };
        std::vector<Key> keys;
        keys.reserve(live.size());
        const Cells& names = cells[SiteName];
        for (int slot = 0; slot < slotCount(); ++slot) {
            if (!live[static_cast<size_t>(slot)]) {
                continue;
            }
            uint64_t prefix = 0;
            if (!names.isNull(slot)) {
                const uint32_t length = std::min<uint32_t>(8, names.length[static_cast<size_t>(slot)]);
                const auto* bytes = reinterpret_cast<const unsigned char*>(names.bytes(slot));
                for (uint32_t i = 0; i < 8; ++i) {
                    prefix = (prefix << 8) | (i < length ? bytes[i] : 0);
                }
            }
            keys.push_back({prefix, slot});
        }
        std::sort(keys.begin(), keys.end(), [this, &names](const Key& x, const Key& y) {
            const bool xNull = names.isNull(x.slot);
            if (xNull != names.isNull(y.slot)) {
                return xNull;
            }
            if (x.prefix != y.prefix) {
                return x.prefix < y.prefix;
            }
            return before(x.slot, y.slot);
        });
        order.resize(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            order[i] = keys[i].slot;
        }
        orderStale = false;
    }
    // Puts one changed slot where it now belongs, or takes it out when gone: a few rows saved
    // cost no sort of them all.
    void reposition(int slot) {
        const auto at = std::find(order.begin(), order.end(), slot);
        if (at != order.end()) {
            order.erase(at);
        }
        if (live[static_cast<size_t>(slot)]) {
            order.insert(
                std::upper_bound(order.begin(), order.end(), slot, [this](int x, int y) { return before(x, y); }),
                slot);
        }
    }
};

struct SearchCopy::Pending {
    std::future<std::shared_ptr<Data>> result;
};

SearchCopy::SearchCopy() = default;

SearchCopy::~SearchCopy() {
    detach();
    if (m_pending && m_pending->result.valid()) {
        m_pending->result.wait();
    }
}

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
    for (const char* column : columnNamesHeld) {
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

// The rows of one range of rowids (all rows when the range is empty), not yet in order.
std::shared_ptr<SearchCopy::Data> loadRows(sqlite3* db, const QByteArray& range, QString& reason) {
    reason = db ? unmodelled(db) : QStringLiteral("no database");
    if (!reason.isEmpty()) {
        return nullptr;
    }
    auto data = std::make_shared<SearchCopy::Data>();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("SELECT ") + columnList + " FROM quillbox" + range;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(db));
    }
    int rc = SQLITE_ROW;
    while (reason.isEmpty() && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!data->take(stmt, false)) {
            reason = QStringLiteral("a value is neither text nor NULL");
        }
    }
    if (reason.isEmpty() && rc != SQLITE_DONE) {
        reason = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    return reason.isEmpty() ? data : nullptr;
}

sqlite3* openForReading(const QByteArray& file) {
    sqlite3* db = nullptr;
    // The connection is one thread's alone: no locking on every call.
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

} // namespace

std::shared_ptr<SearchCopy::Data> SearchCopy::load(sqlite3* db, QString* whyNot) {
    QString reason;
    std::shared_ptr<Data> data = loadRows(db, QByteArray(), reason);
    if (!data) {
        if (whyNot) {
            *whyNot = reason;
        }
        return nullptr;
    }
    data->sortOrder();
    return data;
}

void SearchCopy::loadInBackground(const QString& databaseFile) {
    m_pending = std::make_unique<Pending>();
    const QByteArray file = databaseFile.toUtf8();
    // Two threads read one half of the rows each; the second joins the first's half to its own.
    sqlite3* first = openForReading(file);
    long long middle = 0;
    if (first) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(first, "SELECT (min(rowid) + max(rowid)) / 2 FROM quillbox", -1, &stmt, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            middle = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
    }
    auto lower = std::async(std::launch::async, [first, middle]() -> std::shared_ptr<Data> {
        QString reason;
        auto data = loadRows(first, " WHERE rowid <= " + QByteArray::number(middle), reason);
        sqlite3_close(first);
        if (data) {
            data->sortOrder();
        }
        return data;
    });
    m_pending->result =
        std::async(std::launch::async, [file, middle, lower = std::move(lower)]() mutable -> std::shared_ptr<Data> {
            sqlite3* db = openForReading(file);
            QString reason;
            auto upper = loadRows(db, " WHERE rowid > " + QByteArray::number(middle), reason);
            sqlite3_close(db);
            if (upper) {
                upper->sortOrder();
            }
            auto data = lower.get();
            if (!data || !upper || !data->append(std::move(*upper))) {
                return nullptr;
            }
            data->sortOrder();
            return data;
        });
}

void SearchCopy::attach(sqlite3* db) {
    detach();
    m_db = db;
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

void SearchCopy::updated(void* self, int, const char*, const char* table, long long rowid) {
    if (qstricmp(table, "quillbox") == 0) {
        static_cast<SearchCopy*>(self)->m_dirty.insert(rowid);
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

bool SearchCopy::sync() {
    if (m_pending) {
        m_data = m_pending->result.get();
        m_pending.reset();
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
    if (!m_reload && !m_dirty.isEmpty()) {
        if (m_dirty.size() > refreshLimit || !m_data) {
            m_reload = true;
        } else {
            const std::vector<long long> rowids(m_dirty.cbegin(), m_dirty.cend());
            m_reload = !refresh(rowids);
        }
    }
    m_dirty.clear();
    if (m_reload) {
        m_reload = false;
        const char* file = sqlite3_db_filename(m_db, "main");
        if (sqlite3_get_autocommit(m_db) && file && *file) {
            // Nothing uncommitted on the program's connection: two threads read what it would.
            loadInBackground(QString::fromUtf8(file));
            m_data = m_pending->result.get();
            m_pending.reset();
        } else {
            m_data = load(m_db);
        }
        ++m_loads;
    }
    return m_data != nullptr;
}

bool SearchCopy::refresh(const std::vector<long long>& rowids) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("SELECT ") + columnList + " FROM quillbox WHERE rowid=?";
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        return false;
    }
    bool ok = true;
    const bool inOrder = !m_data->orderStale;
    for (long long id : rowids) {
        sqlite3_bind_int64(stmt, 1, id);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            ok = m_data->take(stmt, true);
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

std::optional<std::vector<int>> SearchCopy::search(const ListFilter& f) {
    if (!sync()) {
        return std::nullopt;
    }
    const QChar nul(u'\0');
    if (f.owner.contains(nul) || (f.byCategory && f.category.contains(nul)) || (f.byText && f.text.contains(nul))) {
        return std::nullopt; // the statement is cut short at the NUL and fails
    }
    Data& d = *m_data;
    std::vector<int> out;
    const int owner = d.owners.find(f.owner.toUtf8());
    const int category = f.byCategory ? d.categories.find(f.category.toUtf8()) : -1;
    if (owner < 0 || (f.byCategory && category < 0)) {
        if (f.byText && (f.field < 0 || f.field > 16 || !searchTypeEntries().contains(f.comparison))) {
            return std::nullopt;
        }
        return out;
    }
    const auto n = static_cast<size_t>(d.slotCount());
    // The rows the owner and category clauses let through.
    std::vector<uint8_t> eligible(n, 0);
    for (size_t s = 0; s < n; ++s) {
        eligible[s] =
            static_cast<uint8_t>(d.live[s] && d.ownerId[s] == owner && (!f.byCategory || d.categoryId[s] == category));
    }
    std::vector<uint8_t> hit;
    if (f.byText) {
        const int comparison = static_cast<int>(searchTypeEntries().indexOf(f.comparison));
        if (comparison < 0 || f.field < 0 || f.field > 16) {
            return std::nullopt;
        }
        const QByteArray text = f.text.toUtf8();
        const bool like = comparison == 0 || comparison == 7 || comparison == 8;
        QByteArray pattern;
        if (like) {
            pattern = (comparison == 7 ? QByteArray() : QByteArray("%")) + text +
                      (comparison == 8 ? QByteArray() : QByteArray("%"));
            if (pattern.size() > longestModelledPattern ||
                (m_db && pattern.size() > sqlite3_limit(m_db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1))) {
                return std::nullopt;
            }
        }
        hit.assign(n, 0);
        const int firstColumn = f.field == 0 ? 0 : f.field;
        const int lastColumn = f.field == 0 ? Notes : f.field;
        const QByteArray literal = like ? longestLiteral(pattern) : QByteArray();
        const bool anything = like && pattern.count('%') == pattern.size();
        // A text without wildcards, so its literal is the whole text.
        const bool plainText =
            like && !text.isEmpty() && !text.contains('%') && !text.contains('_') &&
            isPlainUtf8(reinterpret_cast<const unsigned char*>(text.constData()), static_cast<size_t>(text.size()));
        // Marks in hit the rows whose cell in one of the columns first..last matches.
        auto scan = [&](int first, int last, std::vector<uint8_t>& hit) {
            for (int c = first; c <= last; ++c) {
                const Cells& cells = d.cells[static_cast<size_t>(c)];
                // found: the scan met the text's literal in this cell.
                auto check = [&](size_t s, bool found) {
                    if (!eligible[s] || hit[s] || cells.length[s] == nullCell) {
                        return;
                    }
                    const int slot = static_cast<int>(s);
                    if (like && plainText && !cells.odd[s]) {
                        // Both plain UTF-8, and the text without wildcards: LIKE folds ASCII
                        // letters alone, so matching the folded bytes is matching as LIKE does.
                        const uint32_t length = cells.length[s];
                        const auto size = static_cast<uint32_t>(literal.size());
                        if (comparison == 0) {
                            hit[s] = found;
                        } else {
                            const size_t from = comparison == 7 ? 0 : length - size;
                            hit[s] =
                                length >= size &&
                                equalsFolded(reinterpret_cast<const unsigned char*>(cells.bytes(slot)) + from, literal);
                        }
                        return;
                    }
                    if (like) {
                        hit[s] = anything || sqlite3_strlike(pattern.constData(), cells.bytes(slot), 0) == 0;
                        return;
                    }
                    if (comparison == 1 || comparison == 2) {
                        const bool same = cells.length[s] == static_cast<uint32_t>(text.size()) &&
                                          std::memcmp(cells.bytes(slot), text.constData(), cells.length[s]) == 0;
                        hit[s] = same == (comparison == 1);
                        return;
                    }
                    const int r = compareBinary(cells.bytes(slot), cells.length[s], text);
                    switch (comparison) {
                    case 3:
                        hit[s] = r > 0;
                        break;
                    case 4:
                        hit[s] = r >= 0;
                        break;
                    case 5:
                        hit[s] = r < 0;
                        break;
                    default:
                        hit[s] = r <= 0;
                        break;
                    }
                };
                if (!like || literal.isEmpty()) {
                    for (size_t s = 0; s < n; ++s) {
                        check(s, false);
                    }
                    continue;
                }
                // Only cells that hold the pattern's longest literal run can match; the others are
                // passed over by one scan of the column's bytes. Cells that are not plain UTF-8 are
                // all checked.
                const char* base = cells.arena.data();
                const char* end = base + cells.arena.size();
                const char* p = base;
                size_t k = 0;
                const size_t count = cells.arenaStart.size();
                while ((p = findFolded(p, end, literal)) != nullptr) {
                    const auto offset = static_cast<uint32_t>(p - base);
                    while (k + 1 < count && cells.arenaStart[k + 1] <= offset) {
                        ++k;
                    }
                    const auto slot = static_cast<size_t>(cells.arenaSlot[k]);
                    if (cells.start[slot] == cells.arenaStart[k] && cells.length[slot] != nullCell) {
                        check(slot, true);
                    }
                    p = k + 1 < count ? base + cells.arenaStart[k + 1] : end;
                }
                if (cells.anyOdd) {
                    for (size_t s = 0; s < n; ++s) {
                        if (cells.odd[s]) {
                            check(s, false);
                        }
                    }
                }
            }
        };
        if (lastColumn - firstColumn >= 8 && n >= parallelRows) {
            // A long list searched over all fields: half of the columns in a second thread.
            const int middle = (firstColumn + lastColumn) / 2;
            std::vector<uint8_t> more(n, 0);
            auto other = std::async(std::launch::async, [&] { scan(middle + 1, lastColumn, more); });
            scan(firstColumn, middle, hit);
            other.get();
            for (size_t s = 0; s < n; ++s) {
                hit[s] |= more[s];
            }
        } else {
            scan(firstColumn, lastColumn, hit);
        }
    }
    d.sortOrder();
    for (int slot : d.order) {
        const auto s = static_cast<size_t>(slot);
        if (eligible[s] && (!f.byText || hit[s])) {
            out.push_back(slot);
        }
    }
    return out;
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

void SearchCopy::setParallelRows(size_t rows) {
    parallelRows = rows;
}

QString SearchCopy::cellText(const Data& data, int slot, int column) {
    const Cells& cells = data.cells[static_cast<size_t>(column)];
    if (slot < 0 || slot >= data.slotCount()) {
        return QString();
    }
    if (column == Record && data.recordNumber[static_cast<size_t>(slot)] != Data::noNumber) {
        return QString::number(data.recordNumber[static_cast<size_t>(slot)]);
    }
    if (cells.isNull(slot)) {
        return QString();
    }
    return QString::fromUtf8(cells.bytes(slot), cells.length[static_cast<size_t>(slot)]);
}

bool SearchCopy::isLive(const Data& data, int slot) {
    return slot >= 0 && slot < data.slotCount() && data.live[static_cast<size_t>(slot)];
}

int SearchCopy::slotCount(const Data& data) {
    return data.slotCount();
}

} // namespace quillbox
