// How the search copy answers a search: the text test a cell must pass, and the ways a column is
// walked to find the cells that pass it.
#include "store/SearchCopy.h"
#include "store/SearchCopyData.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <future>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillbox {

using namespace searchcopy;

namespace {

// Longer patterns are left to the statement, which applies SQLite's own limit to them.
constexpr qsizetype longestModelledPattern = 4096;
// Lists at least this long are searched by two threads.
size_t parallelRows = 20000;
// How many slots are scanned across every column before the next ones.
constexpr size_t stretchRows = 8192;

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

bool equalsFolded(const char* p, const QByteArray& needle) {
    return equalsFolded(reinterpret_cast<const unsigned char*>(p), needle);
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
            const int bit = std::countr_zero(mask);
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

bool holdsFolded(const Cell& cell, const QByteArray& needle) {
    return findFolded(cell.bytes, cell.bytes + cell.length, needle) != nullptr;
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

bool isPlain(const QByteArray& text) {
    return isPlainUtf8(reinterpret_cast<const unsigned char*>(text.constData()), static_cast<size_t>(text.size()));
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

// The test a cell's value must pass, prepared once for a search: the comparison's own for =, <>,
// <, <=, > and >=, SQLite's LIKE for the three others, with the shortcuts the pattern allows.
class TextTest {
public:
    TextTest(Comparison comparison, const QByteArray& text) : m_comparison(comparison), m_text(text) {
        if (!isLike(comparison)) {
            return;
        }
        m_like = true;
        m_pattern = (comparison == Comparison::StartsWith ? QByteArray() : QByteArray("%")) + text +
                    (comparison == Comparison::EndsWith ? QByteArray() : QByteArray("%"));
        m_literal = longestLiteral(m_pattern);
        m_anything = m_pattern.count('%') == m_pattern.size();
        m_plainText = !text.isEmpty() && !text.contains('%') && !text.contains('_') && isPlain(text);
        m_plainPattern = isPlain(m_pattern);
        if (m_plainPattern) {
            literalEnds(m_pattern, m_head, m_tail);
            // A pattern with no '_' is its runs and '%' alone: a plain cell between the head and
            // the tail need only hold the runs in between, in order (the leftmost place for each
            // is as good as any later one).
            m_percentOnly = !m_pattern.contains('_');
            const QList<QByteArray> runs = m_pattern.split('%');
            for (qsizetype i = 1; m_percentOnly && i + 1 < runs.size(); ++i) {
                if (!runs[i].isEmpty()) {
                    m_middle.push_back(folded(runs[i]));
                }
            }
        }
    }

    bool like() const { return m_like; }
    const QByteArray& pattern() const { return m_pattern; }
    // The pattern's longest run without wildcards, folded: every matching cell holds it.
    const QByteArray& literal() const { return m_literal; }
    // Whether the cells that lack the literal may be passed over unseen: when the pattern begins
    // with a wildcard (else the head decides sooner, by the cells' first bytes).
    bool scansForLiteral() const { return m_like && !m_literal.isEmpty() && m_head.isEmpty(); }

    // What a cell's first byte says of the test, for sixteen cells at a time: nothing (None);
    // the cells whose first byte differs from byte are settled, those below it passing when
    // below says so and those above when above does (Binary); the plain cells whose first byte,
    // ASCII letters folded, differs from byte fail (Head); every cell that is not NULL passes
    // (Anything). It says what decidedByLead() does, cell for cell.
    struct LeadRule {
        enum Kind : uint8_t { None, Binary, Head, Anything };
        Kind kind = None;
        uint8_t byte = 0;
        bool below = false;
        bool above = false;
    };
    LeadRule leadRule() const {
        LeadRule rule;
        if (m_like) {
            if (m_anything) {
                rule.kind = LeadRule::Anything;
            } else if (!m_head.isEmpty()) {
                rule.kind = LeadRule::Head;
                rule.byte = static_cast<uint8_t>(m_head[0]);
            }
            return rule;
        }
        if (m_text.isEmpty()) {
            return rule;
        }
        rule.kind = LeadRule::Binary;
        rule.byte = static_cast<uint8_t>(m_text[0]);
        rule.below = m_comparison == Comparison::NotEqual || m_comparison == Comparison::Less ||
                     m_comparison == Comparison::LessOrEqual;
        rule.above = m_comparison == Comparison::NotEqual || m_comparison == Comparison::Greater ||
                     m_comparison == Comparison::GreaterOrEqual;
        return rule;
    }

    // Whether a cell's first byte (0 when it is empty) settles the test; hit is then the answer.
    bool decidedByLead(uint8_t lead, bool odd, bool& hit) const {
        if (m_like) {
            hit = false;
            return !m_head.isEmpty() && !odd && foldAscii(lead) != static_cast<unsigned char>(m_head[0]);
        }
        if (m_text.isEmpty() || lead == static_cast<unsigned char>(m_text[0])) {
            return false;
        }
        // The text has no NUL, so an empty cell (0) sorts before it, as it should.
        const bool less = lead < static_cast<unsigned char>(m_text[0]);
        switch (m_comparison) {
        case Comparison::Equal:
            hit = false;
            break;
        case Comparison::NotEqual:
            hit = true;
            break;
        case Comparison::Greater:
        case Comparison::GreaterOrEqual:
            hit = !less;
            break;
        default:
            hit = less;
            break;
        }
        return true;
    }

    // Whether a cell that is not NULL passes; found: a scan already met the literal in it.
    bool passes(const Cell& cell, bool found) const {
        if (m_like) {
            return likeMatches(cell, found);
        }
        if (m_comparison == Comparison::Equal || m_comparison == Comparison::NotEqual) {
            const bool same = cell.length == static_cast<uint32_t>(m_text.size()) &&
                              std::memcmp(cell.bytes, m_text.constData(), cell.length) == 0;
            return same == (m_comparison == Comparison::Equal);
        }
        const int r = compareBinary(cell.bytes, cell.length, m_text);
        switch (m_comparison) {
        case Comparison::Greater:
            return r > 0;
        case Comparison::GreaterOrEqual:
            return r >= 0;
        case Comparison::Less:
            return r < 0;
        default:
            return r <= 0;
        }
    }

private:
    bool likeMatches(const Cell& cell, bool found) const {
        const bool plainCell = !(cell.flags & Odd);
        if (m_plainText && plainCell) {
            // Both plain UTF-8, and the text without wildcards: LIKE folds ASCII letters alone,
            // so matching the folded bytes is matching as LIKE does.
            if (m_comparison == Comparison::Contains) {
                return found;
            }
            const auto size = static_cast<uint32_t>(m_literal.size());
            return cell.length >= size &&
                   equalsFolded(cell.bytes + (m_comparison == Comparison::StartsWith ? 0 : cell.length - size),
                                m_literal);
        }
        // A plain cell must start with the pattern's head and end with its tail.
        if (plainCell && (cell.length < m_head.size() + m_tail.size() || !equalsFolded(cell.bytes, m_head) ||
                          !equalsFolded(cell.bytes + (cell.length - m_tail.size()), m_tail))) {
            return false;
        }
        if (m_anything) {
            return true;
        }
        if (plainCell && m_plainPattern) {
            return m_percentOnly ? holdsMiddle(cell)
                                 : likePlain(m_pattern.constData(), m_pattern.constData() + m_pattern.size(),
                                             cell.bytes, cell.bytes + cell.length);
        }
        return sqlite3_strlike(m_pattern.constData(), cell.bytes, 0) == 0;
    }

    // Whether a plain cell that starts with the head and ends with the tail holds the middle runs.
    bool holdsMiddle(const Cell& cell) const {
        const char* at = cell.bytes + m_head.size();
        const char* end = cell.bytes + (cell.length - m_tail.size());
        for (const QByteArray& run : m_middle) {
            at = findFolded(at, end, run);
            if (!at) {
                return false;
            }
            at += run.size();
        }
        return true;
    }

    Comparison m_comparison;
    QByteArray m_text;
    bool m_like = false;
    QByteArray m_pattern;
    QByteArray m_literal;
    QByteArray m_head; // the runs before the pattern's first wildcard and after its last, folded
    QByteArray m_tail;
    std::vector<QByteArray> m_middle;
    bool m_anything = false;     // the pattern is '%' alone
    bool m_plainText = false;    // a text without wildcards: its literal is the whole text
    bool m_plainPattern = false; // plain UTF-8
    bool m_percentOnly = false;
};

// Marks in hit the listed rows whose cell in a column passes the test, walking the column in
// whichever way costs least. Two scans may run at once, each over slots of its own.
class ColumnScan {
public:
    ColumnScan(const TextTest& test, const std::vector<uint8_t>& eligible, std::vector<uint8_t>& hit)
        : m_test(test), m_eligible(eligible), m_hit(hit) {}

    void column(const Cells& cells, size_t from, size_t to) {
        if (!m_test.scansForLiteral()) {
            byLead(cells, from, to);
        } else if (fewOpen(from, to)) {
            oneByOne(cells, from, to);
        } else {
            forLiteral(cells, from, to);
        }
    }

private:
    bool open(size_t s) const { return m_eligible[s] && !m_hit[s]; }

    void check(size_t s, const Cell& cell, bool found) {
        if (open(s) && !(cell.flags & Null)) {
            m_hit[s] = passes(cell, found);
        }
    }

    // The test's answer, taken from the last cell tested when this one holds the same bytes:
    // a label, an owner or a category is often the same down a column.
    bool passes(const Cell& cell, bool found) {
        const bool odd = cell.flags & Odd;
        if (m_last.bytes && m_last.length == cell.length && m_last.odd == odd && m_last.found == found &&
            std::memcmp(m_last.bytes, cell.bytes, cell.length) == 0) {
            return m_last.passes;
        }
        m_last = {cell.bytes, cell.length, odd, found, m_test.passes(cell, found)};
        return m_last.passes;
    }

    // Once few rows are left open (the rest matched in earlier columns or are not listed), their
    // cells are checked one by one.
    bool fewOpen(size_t from, size_t to) const {
        size_t count = 0;
        for (size_t s = from; s < to; ++s) {
            count += static_cast<size_t>(m_eligible[s] & (m_hit[s] ^ 1));
        }
        return count * 8 < to - from;
    }

    // Every open cell, most decided by their first byte alone.
    void byLead(const Cells& cells, size_t from, size_t to) {
        size_t s = from;
#if defined(__SSE2__)
        const TextTest::LeadRule rule = m_test.leadRule();
        if (rule.kind != TextTest::LeadRule::None) {
            s = byLeadSixteens(cells, rule, from, to);
        }
#endif
        for (; s < to; ++s) {
            if (!open(s) || (cells.flags[s] & Null)) {
                continue;
            }
            bool hit = false;
            if (m_test.decidedByLead(cells.lead[s], cells.flags[s] & Odd, hit)) {
                m_hit[s] = hit;
                continue;
            }
            check(s, cells.cell(static_cast<int>(s)), false);
        }
    }

#if defined(__SSE2__)
    // Sixteen slots at a time: their first bytes settle what they can, the cells they leave
    // open are checked one by one. Where it stopped: fewer than sixteen slots are left.
    size_t byLeadSixteens(const Cells& cells, const TextTest::LeadRule& rule, size_t from, size_t to) {
        using Rule = TextTest::LeadRule;
        const __m128i one = _mm_set1_epi8(1);
        const __m128i nullBit = _mm_set1_epi8(static_cast<char>(Null));
        const __m128i oddBit = _mm_set1_epi8(static_cast<char>(Odd));
        const __m128i byte = _mm_set1_epi8(static_cast<char>(rule.byte));
        const __m128i letterA = _mm_set1_epi8('A');
        const __m128i letters = _mm_set1_epi8(25);
        const __m128i caseBit = _mm_set1_epi8(0x20);
        const __m128i none = _mm_setzero_si128();
        const __m128i all = _mm_cmpeq_epi8(none, none);
        const __m128i below = rule.below ? all : none;
        const __m128i above = rule.above ? all : none;
        const auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        size_t s = from;
        for (; s + 16 <= to; s += 16) {
            const __m128i hit = load(&m_hit[s]);
            const __m128i flags = load(&cells.flags[s]);
            // Listed, not yet a hit, not NULL: 0xff.
            __m128i open = _mm_cmpeq_epi8(_mm_andnot_si128(hit, load(&m_eligible[s])), one);
            open = _mm_andnot_si128(_mm_cmpeq_epi8(_mm_and_si128(flags, nullBit), nullBit), open);
            if (_mm_movemask_epi8(open) == 0) {
                continue;
            }
            const __m128i lead = load(&cells.lead[s]);
            __m128i hits = none;
            __m128i unsettled = none;
            if (rule.kind == Rule::Anything) {
                hits = open;
            } else if (rule.kind == Rule::Binary) {
                const __m128i same = _mm_cmpeq_epi8(lead, byte);
                const __m128i less = _mm_andnot_si128(same, _mm_cmpeq_epi8(_mm_min_epu8(lead, byte), lead));
                const __m128i more = _mm_andnot_si128(_mm_or_si128(same, less), all);
                hits = _mm_and_si128(open, _mm_or_si128(_mm_and_si128(less, below), _mm_and_si128(more, above)));
                unsettled = _mm_and_si128(open, same);
            } else {
                // ASCII upper case to lower: 'A' + 0..25 gains 0x20.
                const __m128i offset = _mm_sub_epi8(lead, letterA);
                const __m128i upper = _mm_cmpeq_epi8(_mm_min_epu8(offset, letters), offset);
                const __m128i folded = _mm_add_epi8(lead, _mm_and_si128(upper, caseBit));
                const __m128i odd = _mm_cmpeq_epi8(_mm_and_si128(flags, oddBit), oddBit);
                unsettled = _mm_and_si128(open, _mm_or_si128(_mm_cmpeq_epi8(folded, byte), odd));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&m_hit[s]), _mm_or_si128(hit, _mm_and_si128(hits, one)));
            auto mask = static_cast<unsigned>(_mm_movemask_epi8(unsettled));
            while (mask != 0) {
                const size_t at = s + static_cast<size_t>(std::countr_zero(mask));
                m_hit[at] = passes(cells.cell(static_cast<int>(at)), false);
                mask &= mask - 1;
            }
        }
        return s;
    }
#endif

    void oneByOne(const Cells& cells, size_t from, size_t to) {
        for (size_t s = from; s < to; ++s) {
            if (open(s) && !(cells.flags[s] & Null)) {
                const Cell cell = cells.cell(static_cast<int>(s));
                check(s, cell, holdsFolded(cell, m_test.literal()));
            }
        }
    }

    // Only cells that hold the pattern's longest literal run can match; the others are passed
    // over by one scan of the column's bytes. Cells that are not plain UTF-8, and values written
    // since the load, are all checked.
    void forLiteral(const Cells& cells, size_t from, size_t to) {
        const size_t loadedTo = std::min(to, cells.loaded);
        if (from < loadedTo) {
            scanLoadedBytes(cells, from, loadedTo);
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
            if (s >= from && s < to && open(s)) {
                const Cell cell = cells.cell(it.key());
                check(s, cell, !(cell.flags & Null) && holdsFolded(cell, m_test.literal()));
            }
        }
    }

    // The loaded cells of slots from..to lie one after another in the arena's blocks: each place
    // the literal stands names the cell it lies in.
    void scanLoadedBytes(const Cells& cells, size_t from, size_t loadedTo) {
        const QByteArray& literal = m_test.literal();
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
                // The cell the place lies in: most often this one or one of the next few, else
                // found by halving.
                for (int step = 0; step < 8 && k + 1 < loadedTo && cells.start[k + 1] <= offset; ++step) {
                    ++k;
                }
                if (k + 1 < loadedTo && cells.start[k + 1] <= offset) {
                    const auto past =
                        std::upper_bound(cells.start.begin() + static_cast<std::ptrdiff_t>(k + 1),
                                         cells.start.begin() + static_cast<std::ptrdiff_t>(loadedTo), offset);
                    k = static_cast<size_t>(past - cells.start.begin()) - 1;
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
    }

    const TextTest& m_test;
    const std::vector<uint8_t>& m_eligible;
    std::vector<uint8_t>& m_hit;
    struct Last {
        const char* bytes = nullptr;
        uint32_t length = 0;
        bool odd = false;
        bool found = false;
        bool passes = false;
    } m_last;
};

} // namespace

std::optional<std::vector<int>> SearchCopy::search(const ListFilter& f) {
    m_declined.clear();
    auto decline = [this](const QString& reason) {
        m_declined = reason;
        return std::nullopt;
    };
    if (!sync()) {
        return decline(m_loadFailure.isEmpty() ? QStringLiteral("there is no copy of the table") : m_loadFailure);
    }
    const QChar nul(u'\0');
    if (f.owner.contains(nul) || (f.byCategory && f.category.contains(nul)) || (f.byText && f.text.contains(nul))) {
        return decline(QStringLiteral("the search holds a NUL character, at which the statement ends"));
    }
    if (f.byText && !isSearchField(f.field)) {
        return decline(QStringLiteral("there is no search field %1").arg(f.field));
    }
    Data& d = *m_data;
    std::vector<int> out;
    const int owner = d.owners.find(f.owner.toUtf8());
    const int category = f.byCategory ? d.categories.find(f.category.toUtf8()) : -1;
    if (owner < 0 || (f.byCategory && category < 0)) {
        return out;
    }
    const auto n = static_cast<size_t>(d.slotCount());
    std::vector<uint8_t> eligible(n);
    std::vector<uint8_t> hit;
    std::optional<TextTest> test;
    if (f.byText) {
        test.emplace(f.comparison, f.text.toUtf8());
        const qsizetype patternLength = test->pattern().size();
        if (patternLength > longestModelledPattern ||
            (m_db && patternLength > sqlite3_limit(m_db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1))) {
            return decline(
                QStringLiteral("the pattern is %1 bytes long, more than the copy matches").arg(patternLength));
        }
        hit.assign(n, 0);
    }
    const int firstColumn = f.field == AllFields ? 0 : f.field;
    const int lastColumn = f.field == AllFields ? Notes : f.field;
    // A stretch of slots at a time, every column over it before the next, so what it says of
    // those rows stays in the cache from one column to the next.
    auto scan = [&](size_t from, size_t to) {
        for (size_t s = from; s < to; ++s) {
            // The rows the owner and category clauses let through.
            eligible[s] = static_cast<uint8_t>(d.live[s] && d.ownerId[s] == owner &&
                                               (!f.byCategory || d.categoryId[s] == category));
        }
        if (!test) {
            return;
        }
        ColumnScan columns(*test, eligible, hit);
        // A scan of the bytes for a literal runs down each column at once.
        const size_t stretch = test->scansForLiteral() ? to - from : stretchRows;
        for (size_t at = from; at < to; at += stretch) {
            const size_t end = std::min(to, at + stretch);
            for (int c = firstColumn; c <= lastColumn; ++c) {
                columns.column(d.cells[static_cast<size_t>(c)], at, end);
            }
        }
    };
    // A text test marks only listed rows: its hits are the rows listed.
    const std::vector<uint8_t>& listed = test ? hit : eligible;
    auto gather = [&](size_t from, size_t to, std::vector<int>& into) {
        for (size_t i = from; i < to; ++i) {
            const int slot = d.order[i];
            if (listed[static_cast<size_t>(slot)]) {
                into.push_back(slot);
            }
        }
    };
    const bool twoThreads = n >= parallelRows;
    if (twoThreads) {
        // A long list: the second half of the slots in a second thread.
        const size_t middle = n / 2;
        auto other = std::async(std::launch::async, [&] { scan(middle, n); });
        scan(0, middle);
        other.get();
    } else {
        scan(0, n);
    }
    d.sortOrder();
    out.reserve(static_cast<size_t>(std::count(listed.begin(), listed.end(), uint8_t{1})));
    const size_t rows = d.order.size();
    if (twoThreads) {
        // The order's second half gathered beside its first, then put after it.
        std::vector<int> later;
        later.reserve(out.capacity());
        auto other = std::async(std::launch::async, [&] { gather(rows / 2, rows, later); });
        gather(0, rows / 2, out);
        other.get();
        out.insert(out.end(), later.begin(), later.end());
    } else {
        gather(0, rows, out);
    }
    return out;
}

void SearchCopy::setParallelRows(size_t rows) {
    parallelRows = rows;
}

} // namespace quillbox
