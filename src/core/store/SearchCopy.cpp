#include "store/SearchCopy.h"
#include "store/SearchCopyData.h"

#include "store/Database.h"
#include "store/SqlText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <limits>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Longer patterns are left to the statement, which applies SQLite's own limit to them.
constexpr qsizetype longestModelledPattern = 4096;
// Lists at least this long are searched by two threads.
size_t parallelRows = 20000;
// More changed rows than this are read by loading the table anew.
constexpr qsizetype refreshLimit = 4096;

const char* const columnList = "rowid, lsitename, sitename, username, password, homepage, misc1, misc2, misc3, "
                               "misc4, misc5, misc6, misc7, misc8, misc9, category, owner, notes, record";

const char* const columnNamesHeld[SearchCopy::ColumnCount] = {
    "lsitename", "sitename", "username", "password", "homepage", "misc1",    "misc2", "misc3", "misc4",
    "misc5",     "misc6",    "misc7",    "misc8",    "misc9",    "category", "owner", "notes", "record"};

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

// How many bytes the UTF-8 character that begins with this byte takes.
inline int utf8Length(unsigned char lead) {
    return lead < 0xC0 ? 1 : (lead < 0xE0 ? 2 : (lead < 0xF0 ? 3 : 4));
}

// LIKE for plain UTF-8 on both sides: '%' any characters, '_' one character, ASCII letters in
// either case, every other byte as it stands. Backing up to the last '%' alone is enough.
bool likePlain(const char* pattern, const char* pend, const char* s, const char* send) {
    const char* starP = nullptr;
    const char* starS = nullptr;
    while (s < send) {
        if (pattern < pend && *pattern == '%') {
            starP = ++pattern;
            starS = s;
        } else if (pattern < pend && *pattern == '_') {
            ++pattern;
            s += utf8Length(static_cast<unsigned char>(*s));
        } else if (pattern < pend &&
                   foldAscii(static_cast<unsigned char>(*pattern)) == foldAscii(static_cast<unsigned char>(*s))) {
            ++pattern;
            ++s;
        } else if (starP) {
            pattern = starP;
            starS += utf8Length(static_cast<unsigned char>(*starS));
            s = starS;
        } else {
            return false;
        }
    }
    while (pattern < pend && *pattern == '%') {
        ++pattern;
    }
    return pattern == pend;
}

QByteArray folded(QByteArray text) {
    for (char& c : text) {
        c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    }
    return text;
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
    return folded(best);
}

// The runs before the first wildcard of a pattern and after its last, folded; both empty when
// it holds no wildcard.
void literalEnds(const QByteArray& pattern, QByteArray& head, QByteArray& tail) {
    const auto wild = [](char c) { return c == '%' || c == '_'; };
    qsizetype first = 0;
    while (first < pattern.size() && !wild(pattern[first])) {
        ++first;
    }
    if (first == pattern.size()) {
        return;
    }
    qsizetype last = pattern.size();
    while (!wild(pattern[last - 1])) {
        --last;
    }
    head = folded(pattern.left(first));
    tail = folded(pattern.mid(last));
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

// Rowids this far apart are not given a slot each: the rows are counted first.
constexpr unsigned long long widestSpan = 1ULL << 24;

// The rowids the table holds lie in [low, high]; false when it holds none (or has no table).
bool rowidSpan(sqlite3* db, long long& low, long long& high) {
    sqlite3_stmt* stmt = nullptr;
    bool any = false;
    if (sqlite3_prepare_v2(db, "SELECT min(rowid), max(rowid) FROM quillbox", -1, &stmt, nullptr) == SQLITE_OK &&
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
    const QByteArray sql = QByteArray("SELECT ") + columnList + " FROM quillbox WHERE rowid BETWEEN " +
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
    std::future<std::shared_ptr<Data>> result;
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
            auto data = load(first);
            sqlite3_close(first);
            return data;
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
    auto lower = std::async(std::launch::async, [first, data, middle, lowerRoom]() -> std::unique_ptr<LoadPart> {
        auto part = std::make_unique<LoadPart>();
        QString reason;
        const bool ok = readPart(first, *data, *part, lowestRowid, middle, lowerRoom, reason);
        sqlite3_close(first);
        return ok ? std::move(part) : nullptr;
    });
    m_pending->result = std::async(
        std::launch::async,
        [file, key, data, middle, lowerRoom, upperRoom, lower = std::move(lower)]() mutable -> std::shared_ptr<Data> {
            sqlite3* db = openForReading(file, key);
            LoadPart upper;
            upper.first = lowerRoom;
            QString reason;
            const bool ok = readPart(db, *data, upper, middle + 1, highestRowid, upperRoom, reason);
            sqlite3_close(db);
            const std::unique_ptr<LoadPart> part = lower.get();
            if (!ok || !part || !data->join(*part, upper)) {
                return nullptr;
            }
            return data;
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
    m_reload = false;
    m_knownVersion = -1;
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
            loadInBackground(QString::fromUtf8(file), m_key);
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
        // The runs before the pattern's first wildcard and after its last, folded.
        QByteArray head;
        QByteArray tail;
        // A pattern with no '_' is its runs and '%' alone: a plain cell between the head and the
        // tail need only hold the runs in between, in order (the leftmost place for each is as
        // good as any later one).
        std::vector<QByteArray> middle;
        bool percentOnly = false;
        const bool plainPattern = like && isPlainUtf8(reinterpret_cast<const unsigned char*>(pattern.constData()),
                                                      static_cast<size_t>(pattern.size()));
        if (plainPattern) {
            literalEnds(pattern, head, tail);
            percentOnly = !pattern.contains('_');
            const QList<QByteArray> runs = pattern.split('%');
            for (qsizetype i = 1; percentOnly && i + 1 < runs.size(); ++i) {
                if (!runs[i].isEmpty()) {
                    middle.push_back(folded(runs[i]));
                }
            }
        }
        // Whether a plain cell that starts with the head and ends with the tail holds the middle runs.
        const auto holdsMiddle = [&](const Cell& cell) {
            const char* at = cell.bytes + head.size();
            const char* end = cell.bytes + (cell.length - tail.size());
            for (const QByteArray& run : middle) {
                at = findFolded(at, end, run);
                if (!at) {
                    return false;
                }
                at += run.size();
            }
            return true;
        };
        // Marks in hit the rows of slots from..to whose cell in one of the columns first..last
        // matches. Two threads may scan at once, each its own slots.
        auto scan = [&](int first, int last, size_t from, size_t to) {
            for (int c = first; c <= last; ++c) {
                const Cells& cells = d.cells[static_cast<size_t>(c)];
                // found: the scan met the text's literal in this cell.
                auto check = [&](size_t s, const Cell& cell, bool found) {
                    if (!eligible[s] || hit[s] || (cell.flags & Null)) {
                        return;
                    }
                    const bool plainCell = !(cell.flags & Odd);
                    if (like && plainText && plainCell) {
                        // Both plain UTF-8, and the text without wildcards: LIKE folds ASCII
                        // letters alone, so matching the folded bytes is matching as LIKE does.
                        const auto size = static_cast<uint32_t>(literal.size());
                        if (comparison == 0) {
                            hit[s] = found;
                        } else {
                            hit[s] =
                                cell.length >= size && equalsFolded(reinterpret_cast<const unsigned char*>(cell.bytes) +
                                                                        (comparison == 7 ? 0 : cell.length - size),
                                                                    literal);
                        }
                        return;
                    }
                    if (like) {
                        // A plain cell must start with the pattern's head and end with its tail
                        // (the runs before its first wildcard and after its last).
                        if (plainCell && (cell.length < head.size() + tail.size() ||
                                          !equalsFolded(reinterpret_cast<const unsigned char*>(cell.bytes), head) ||
                                          !equalsFolded(reinterpret_cast<const unsigned char*>(cell.bytes) +
                                                            (cell.length - tail.size()),
                                                        tail))) {
                            return;
                        }
                        if (anything) {
                            hit[s] = true;
                        } else if (plainCell && plainPattern) {
                            hit[s] = percentOnly ? holdsMiddle(cell)
                                                 : likePlain(pattern.constData(), pattern.constData() + pattern.size(),
                                                             cell.bytes, cell.bytes + cell.length);
                        } else {
                            hit[s] = sqlite3_strlike(pattern.constData(), cell.bytes, 0) == 0;
                        }
                        return;
                    }
                    if (comparison == 1 || comparison == 2) {
                        const bool same = cell.length == static_cast<uint32_t>(text.size()) &&
                                          std::memcmp(cell.bytes, text.constData(), cell.length) == 0;
                        hit[s] = same == (comparison == 1);
                        return;
                    }
                    const int r = compareBinary(cell.bytes, cell.length, text);
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
                if (!like || literal.isEmpty() || (!plainText && !head.isEmpty())) {
                    for (size_t s = from; s < to; ++s) {
                        if (!eligible[s] || hit[s] || (cells.flags[s] & Null)) {
                            continue;
                        }
                        // Most cells are decided by their first byte alone.
                        const uint8_t lead = cells.lead[s];
                        if (like) {
                            if (!head.isEmpty() && !(cells.flags[s] & Odd) &&
                                foldAscii(lead) != static_cast<unsigned char>(head[0])) {
                                continue;
                            }
                        } else if (!text.isEmpty() && lead != static_cast<unsigned char>(text[0])) {
                            // The text has no NUL, so an empty cell (0) sorts before it, as it should.
                            const bool less = lead < static_cast<unsigned char>(text[0]);
                            const bool match[] = {false, false, true, !less, !less, less, less};
                            hit[s] = match[comparison];
                            continue;
                        }
                        check(s, cells.cell(static_cast<int>(s)), false);
                    }
                    continue;
                }
                // Once few rows are left open (the rest matched in earlier columns or are not
                // listed), their cells are checked one by one.
                size_t open = 0;
                for (size_t s = from; s < to; ++s) {
                    open += static_cast<size_t>(eligible[s] & (hit[s] ^ 1));
                }
                if (open * 8 < to - from) {
                    for (size_t s = from; s < to; ++s) {
                        if (eligible[s] && !hit[s] && !(cells.flags[s] & Null)) {
                            const Cell cell = cells.cell(static_cast<int>(s));
                            check(s, cell, findFolded(cell.bytes, cell.bytes + cell.length, literal) != nullptr);
                        }
                    }
                    continue;
                }
                // Only cells that hold the pattern's longest literal run can match; the others are
                // passed over by one scan of the column's bytes. Cells that are not plain UTF-8,
                // and values written since the load, are all checked.
                const size_t loadedTo = std::min(to, cells.loaded);
                if (from < loadedTo) {
                    const uint32_t lo = cells.start[from];
                    const uint32_t hi = loadedTo < cells.loaded ? cells.start[loadedTo] : cells.loadedEnd;
                    size_t k = from;
                    for (const Arena::Block& block : cells.arena.blocks()) {
                        const uint64_t blockEnd = uint64_t{block.first} + block.used;
                        if (blockEnd <= lo) {
                            continue;
                        }
                        if (block.first >= hi) {
                            break;
                        }
                        const char* bytes = block.bytes.get();
                        const char* p = bytes + (std::max(lo, block.first) - block.first);
                        const char* end = bytes + (std::min<uint64_t>(hi, blockEnd) - block.first);
                        while ((p = findFolded(p, end, literal)) != nullptr) {
                            const auto offset = static_cast<uint32_t>(block.first + (p - bytes));
                            while (k + 1 < loadedTo && cells.start[k + 1] <= offset) {
                                ++k;
                            }
                            const uint8_t flag = cells.flags[k];
                            if (!(flag & (Moved | Null))) {
                                check(k, Cell{cells.arena.at(cells.start[k]), cells.length[k], flag}, true);
                            }
                            if (k + 1 >= loadedTo || cells.start[k + 1] >= blockEnd) {
                                break;
                            }
                            p = bytes + (cells.start[k + 1] - block.first);
                        }
                    }
                    if (cells.anyOdd) {
                        for (size_t s = from; s < loadedTo; ++s) {
                            if ((cells.flags[s] & (Odd | Moved)) == Odd) {
                                check(s, cells.cell(static_cast<int>(s)), false);
                            }
                        }
                    }
                }
                for (auto it = cells.later.cbegin(); it != cells.later.cend(); ++it) {
                    const auto s = static_cast<size_t>(it.key());
                    if (s >= from && s < to && eligible[s] && !hit[s]) {
                        const Cell cell = cells.cell(it.key());
                        const bool found =
                            !(cell.flags & Null) && findFolded(cell.bytes, cell.bytes + cell.length, literal);
                        check(s, cell, found);
                    }
                }
            }
        };
        if (n >= parallelRows) {
            // A long list: the second half of the slots in a second thread.
            const size_t middle = n / 2;
            auto other = std::async(std::launch::async, [&] { scan(firstColumn, lastColumn, middle, n); });
            scan(firstColumn, lastColumn, 0, middle);
            other.get();
        } else {
            scan(firstColumn, lastColumn, 0, n);
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
    if (slot < 0 || slot >= data.slotCount()) {
        return QString();
    }
    if (column == Record && data.recordNumber[static_cast<size_t>(slot)] != Data::noNumber) {
        return QString::number(data.recordNumber[static_cast<size_t>(slot)]);
    }
    const Cell cell = data.cells[static_cast<size_t>(column)].cell(slot);
    return (cell.flags & Null) ? QString() : QString::fromUtf8(cell.bytes, cell.length);
}

int SearchCopy::slotCount(const Data& data) {
    return data.slotCount();
}

} // namespace quillbox
