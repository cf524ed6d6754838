#include "mainwindow/RowSort.h"

#include <QChar>
#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace quillbox::rowsort {

// The rows are sorted by keys of eight bytes, most significant first: by the first key, stably;
// then each run of rows equal so far by the next, while any of them has more. The key bytes are
// the upper-cased units one after another, each written as UTF-8 writes a character (one byte
// below 0x80, two below 0x800, else three, a surrogate as itself): those bytes compare as the
// units do, and a NUL unit is the zero byte that also pads a key past the end. An ASCII text is
// its own key bytes, eight units to a key. Descending order flips every bit of a key.

namespace {

using Item = SortItem;
enum : uint8_t {
    More = 1,         // the cell has key bytes past key's
    NextHeld = 2,     // next holds the next eight
    MoreAfterNext = 4 // and there are more past them
};

constexpr uint32_t keyBytes = 8;
// Runs up to this long are sorted by comparison, longer ones by the key's bytes.
constexpr size_t shortRun = 64;
// How many items on the memory of a cell is asked for.
constexpr size_t prefetchAhead = 16;

uint16_t upper(char16_t u) {
    if (u < 0x80) {
        return u >= u'a' && u <= u'z' ? static_cast<uint16_t>(u - 32) : u;
    }
    return QChar(u).toUpper().unicode();
}

// The key of an ASCII cell from byte `from` on.
template <class Unit> uint64_t asciiKey(Unit unit, uint32_t units, uint32_t from) {
    uint64_t key = 0;
    const uint32_t end = std::min(units, from + keyBytes);
    uint32_t i = from;
    for (; i < end; ++i) {
        key = key << 8 | upper(unit(i));
    }
    // Past the cell's end the key is all padding: a shift by the whole width is not defined.
    const uint32_t shift = 8 * (from + keyBytes - i);
    return shift >= 64 ? 0 : key << shift;
}

// The key of eight ASCII bytes, all upper-cased at once.
uint64_t asciiWord(const char* bytes) {
    uint64_t v;
    std::memcpy(&v, bytes, sizeof v);
    if constexpr (std::endian::native == std::endian::little) {
        v = __builtin_bswap64(v);
    }
    constexpr uint64_t ones = 0x0101010101010101ULL;
    // The top bit of each byte: set from 'a' on, and past 'z' (no byte is above 0x7F).
    const uint64_t fromA = v + ones * (0x80 - 'a');
    const uint64_t pastZ = v + ones * (0x80 - 'z' - 1);
    const uint64_t lower = fromA & ~pastZ & (ones * 0x80);
    return v - (lower >> 2);
}

// Where the reading of a Utf8 or Text cell stopped, held in its item's next: a unit, where its key
// bytes start and where it starts in the UTF-8.
struct Place {
    uint16_t unit;
    uint16_t key;
    uint16_t byte;
    uint16_t spare;
};
static_assert(sizeof(Place) == sizeof(uint64_t));

bool isDecoded(uint8_t kind) {
    return kind == SortCell::Utf8 || kind == SortCell::Text;
}

// The key of a Utf8 or Text cell from byte `from` on, read from where the last one stopped.
uint64_t decodedKey(Item& item, uint32_t from, bool& more) {
    Place place;
    std::memcpy(&place, &item.next, sizeof place);
    if (place.key > from) {
        place = {};
    }
    const uint32_t end = from + keyBytes;
    uint32_t unit = place.unit;
    uint32_t at = place.key;
    uint32_t byte = place.byte;
    uint64_t key = 0;
    const auto put = [&](uint32_t b) {
        if (at >= from && at < end) {
            key |= uint64_t{b} << (8 * (end - 1 - at));
        }
        ++at;
    };
    const auto write = [&](char16_t value) {
        const uint16_t u = upper(value);
        if (u < 0x80) {
            put(u);
        } else if (u < 0x800) {
            put(0xC0 | u >> 6);
            put(0x80 | (u & 0x3F));
        } else {
            put(0xE0 | u >> 12);
            put(0x80 | ((u >> 6) & 0x3F));
            put(0x80 | (u & 0x3F));
        }
        ++unit;
    };
    const auto* s = reinterpret_cast<const unsigned char*>(item.bytes);
    while (unit < item.units && at < end) {
        // Where this character starts: the next key begins at one not yet wholly written.
        place = {static_cast<uint16_t>(unit), static_cast<uint16_t>(at), static_cast<uint16_t>(byte), 0};
        if (item.kind == SortCell::Text) {
            write((*item.text)[unit].unicode());
            continue;
        }
        const unsigned char b = s[byte];
        uint32_t cp = b;
        if (b < 0x80) {
            byte += 1;
        } else if (b < 0xE0) {
            cp = (uint32_t{b} & 0x1F) << 6 | (s[byte + 1] & 0x3F);
            byte += 2;
        } else if (b < 0xF0) {
            cp = (uint32_t{b} & 0x0F) << 12 | (s[byte + 1] & 0x3F) << 6 | (s[byte + 2] & 0x3F);
            byte += 3;
        } else {
            cp = (uint32_t{b} & 0x07) << 18 | (s[byte + 1] & 0x3F) << 12 | (s[byte + 2] & 0x3F) << 6 |
                 (s[byte + 3] & 0x3F);
            byte += 4;
        }
        if (cp >= 0x10000) {
            write(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            if (unit < item.units) {
                write(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            }
        } else {
            write(static_cast<char16_t>(cp));
        }
    }
    if (at <= end) {
        // Every character written whole: the next key starts after them.
        place = {static_cast<uint16_t>(unit), static_cast<uint16_t>(at), static_cast<uint16_t>(byte), 0};
    }
    std::memcpy(&item.next, &place, sizeof place);
    more = at > end || unit < item.units;
    return key;
}

uint64_t keyOf(Item& item, uint32_t from, bool& more) {
    switch (item.kind) {
    case SortCell::AsciiBytes:
        more = item.units > from + keyBytes;
        if (from + keyBytes <= item.units) {
            return asciiWord(item.bytes + from);
        }
        return asciiKey([&](uint32_t i) { return static_cast<unsigned char>(item.bytes[i]); }, item.units, from);
    case SortCell::AsciiText:
        more = item.units > from + keyBytes;
        return asciiKey([&](uint32_t i) { return (*item.text)[i].unicode(); }, item.units, from);
    case SortCell::Number: {
        char digits[24];
        const auto length =
            static_cast<uint32_t>(std::to_chars(digits, digits + sizeof digits, item.number).ptr - digits);
        more = length > from + keyBytes;
        return asciiKey([&](uint32_t i) { return static_cast<unsigned char>(digits[i]); }, length, from);
    }
    case SortCell::Mask:
        more = false;
        return from == 0 ? item.units : 0;
    default:
        break;
    }
    return decodedKey(item, from, more);
}

// Asks for the memory the item's key from `from` on is read from (of a Text or Number cell, memory
// of no use, which does no harm). One prefetch, unconditional: the compiler drops one in a branch.
void prefetchKey(const Item& item, uint32_t from) {
    Place place;
    std::memcpy(&place, &item.next, sizeof place);
    const uintptr_t at = reinterpret_cast<uintptr_t>(item.bytes) + (item.kind == SortCell::Utf8 ? place.byte : from);
    __builtin_prefetch(reinterpret_cast<const void*>(at));
}

// Reads the key from `from` on, and of a cell read in place the next level's while it is at hand
// (a decoded cell's next holds where its reading stopped).
void keyAt(Item& item, uint32_t from, uint64_t flip) {
    bool more = false;
    const uint64_t key = keyOf(item, from, more) ^ flip;
    item.flags = more ? More : 0;
    if (more && !isDecoded(item.kind)) {
        bool after = false;
        item.next = keyOf(item, from + keyBytes, after);
        item.flags = static_cast<uint8_t>(More | NextHeld | (after ? MoreAfterNext : 0));
    }
    item.key = key;
}

// The key from `from` on: the one held, else read.
void nextKeyAt(Item& item, uint32_t from, uint64_t flip) {
    if (item.flags & NextHeld) {
        item.key = item.next ^ flip;
        item.flags = (item.flags & MoreAfterNext) ? More : 0;
    } else {
        keyAt(item, from, flip);
    }
}

// The byte of the keys by which items are bucketed: the most significant in which they differ, or
// -1 when all are equal.
int bucketShift(uint64_t all, uint64_t any) {
    const uint64_t differing = all ^ any;
    return differing == 0 ? -1 : (63 - std::countl_zero(differing)) & ~7;
}

// Sorts the n items at from stably by key, other holding room for as many; they end sorted at from,
// or at other when toOther. Each bucketing goes from one to the other, no copy back.
void sortByKey(Item* from, Item* other, size_t n, bool toOther) {
    Item* items = from;
    const auto done = [&] {
        if (toOther && n > 0) {
            std::memcpy(other, items, n * sizeof(Item));
        }
    };
    if (n <= 16) {
        for (size_t i = 1; i < n; ++i) {
            const Item item = items[i];
            size_t j = i;
            for (; j > 0 && items[j - 1].key > item.key; --j) {
                items[j] = items[j - 1];
            }
            items[j] = item;
        }
        return done();
    }
    if (n <= shortRun) {
        // Equal keys have their rows in order so far: by key and row is the stable order.
        std::sort(items, items + n,
                  [](const Item& a, const Item& b) { return a.key < b.key || (a.key == b.key && a.row < b.row); });
        return done();
    }
    // By the most significant byte in which the keys differ, into buckets kept in order, then each
    // bucket by the next such byte.
    uint64_t all = ~uint64_t{0};
    uint64_t any = 0;
    for (size_t i = 0; i < n; ++i) {
        all &= items[i].key;
        any |= items[i].key;
    }
    const int shift = bucketShift(all, any);
    if (shift < 0) {
        return done();
    }
    uint32_t start[257] = {};
    for (size_t i = 0; i < n; ++i) {
        ++start[((items[i].key >> shift) & 0xFF) + 1];
    }
    for (int b = 0; b < 256; ++b) {
        start[b + 1] += start[b];
    }
    uint32_t at[256];
    std::memcpy(at, start, sizeof at);
    for (size_t i = 0; i < n; ++i) {
        other[at[(items[i].key >> shift) & 0xFF]++] = items[i];
    }
    for (int b = 0; b < 256; ++b) {
        sortByKey(other + start[b], from + start[b], start[b + 1] - start[b], !toOther);
    }
}

// sortByKey() in two threads: each buckets its half of the items, the buckets fill in the halves'
// order (so stably), and each thread sorts about half of the buckets.
void sortByKeyInTwo(Item* items, Item* scratch, size_t n) {
    const size_t middle = n / 2;
    const auto half = [&](int part) {
        return std::pair<size_t, size_t>{part == 0 ? 0 : middle, part == 0 ? middle : n};
    };
    uint64_t all[2];
    uint64_t any[2];
    inTwoParts(true, [&](int part) {
        all[part] = ~uint64_t{0};
        any[part] = 0;
        for (auto [i, end] = half(part); i < end; ++i) {
            all[part] &= items[i].key;
            any[part] |= items[i].key;
        }
    });
    const int shift = bucketShift(all[0] & all[1], any[0] | any[1]);
    if (shift < 0) {
        return;
    }
    uint32_t count[2][256] = {};
    inTwoParts(true, [&](int part) {
        for (auto [i, end] = half(part); i < end; ++i) {
            ++count[part][(items[i].key >> shift) & 0xFF];
        }
    });
    uint32_t start[257];
    uint32_t at[2][256];
    start[0] = 0;
    for (int b = 0; b < 256; ++b) {
        at[0][b] = start[b];
        at[1][b] = start[b] + count[0][b];
        start[b + 1] = at[1][b] + count[1][b];
    }
    // The buckets of the first thread: those that start in the first half.
    int split = 0;
    while (split < 256 && start[split + 1] <= middle) {
        ++split;
    }
    inTwoParts(true, [&](int part) {
        uint32_t* to = at[part];
        for (auto [i, end] = half(part); i < end; ++i) {
            scratch[to[(items[i].key >> shift) & 0xFF]++] = items[i];
        }
    });
    inTwoParts(true, [&](int part) {
        for (int b = part == 0 ? 0 : split; b < (part == 0 ? split : 256); ++b) {
            sortByKey(scratch + start[b], items + start[b], start[b + 1] - start[b], true);
        }
    });
}

using Run = std::pair<uint32_t, uint32_t>;

// The runs of items in [first, end) (sorted by key) whose keys are equal and of which any has more:
// into next, and their items into reread.
void equalRuns(const Item* items, uint32_t first, uint32_t end, std::vector<Run>& next, std::vector<uint32_t>& reread) {
    for (uint32_t i = first; i < end;) {
        uint32_t j = i + 1;
        bool more = items[i].flags & More;
        while (j < end && items[j].key == items[i].key) {
            more = more || (items[j].flags & More);
            ++j;
        }
        if (more && j - i > 1) {
            next.emplace_back(i, j);
            for (uint32_t k = i; k < j; ++k) {
                reread.push_back(k);
            }
        }
        i = j;
    }
}

// Reads the keys from `from` on of those items, the cells a few items on asked for while one is
// read: they lie anywhere in memory.
void readKeys(Item* items, const uint32_t* which, size_t count, uint32_t from, uint64_t flip) {
    for (size_t p = 0; p < count; ++p) {
        if (p + prefetchAhead < count) {
            const Item& soon = items[which[p + prefetchAhead]];
            prefetchKey(soon, (soon.flags & NextHeld) ? 0 : from);
        }
        nextKeyAt(items[which[p]], from, flip);
    }
}

// Sorts the runs of items, whose keys hold the key bytes from `from` on, level by level: each run
// of items equal so far by its keys, then the runs of equal keys among them, while any has more,
// by the next key. Each level reads the next keys of all those runs in one go.
void sortItems(Item* items, Item* scratch, std::vector<Run> runs, uint32_t from, uint64_t flip) {
    std::vector<Run> next;
    std::vector<uint32_t> reread;
    for (; !runs.empty(); from += keyBytes) {
        next.clear();
        reread.clear();
        for (const auto& [first, end] : runs) {
            sortByKey(items + first, scratch + first, end - first, false);
            equalRuns(items, first, end, next, reread);
        }
        readKeys(items, reread.data(), reread.size(), from + keyBytes, flip);
        runs.swap(next);
    }
}

// sortItems() in two threads: while the items left are one run of at least longRun, each level is
// sorted and read by both; then each thread takes about half of the runs, through all their levels.
void sortItemsInTwo(Item* items, Item* scratch, size_t n, size_t longRun, uint64_t flip) {
    std::vector<Run> runs{{0, static_cast<uint32_t>(n)}};
    std::vector<uint32_t> reread;
    uint32_t from = 0;
    for (; runs.size() == 1 && runs.front().second - runs.front().first >= longRun; from += keyBytes) {
        const auto [first, end] = runs.front();
        sortByKeyInTwo(items + first, scratch + first, end - first);
        runs.clear();
        reread.clear();
        equalRuns(items, first, end, runs, reread);
        const size_t middle = reread.size() / 2;
        inTwoParts(true, [&](int part) {
            const size_t at = part == 0 ? 0 : middle;
            readKeys(items, reread.data() + at, (part == 0 ? middle : reread.size()) - at, from + keyBytes, flip);
        });
    }
    if (runs.empty()) {
        return;
    }
    size_t total = 0;
    for (const auto& [first, end] : runs) {
        total += end - first;
    }
    size_t split = 0;
    for (size_t sum = 0; split < runs.size() && sum < total / 2; ++split) {
        sum += runs[split].second - runs[split].first;
    }
    inTwoParts(true, [&](int part) {
        std::vector<Run> own(runs.begin() + (part == 0 ? 0 : static_cast<std::ptrdiff_t>(split)),
                             part == 0 ? runs.begin() + static_cast<std::ptrdiff_t>(split) : runs.end());
        sortItems(items, scratch, std::move(own), from, flip);
    });
}

} // namespace

SortCell bytesCell(const char* bytes, uint32_t length) {
    SortCell cell;
    cell.bytes = bytes;
    const uint32_t head = std::min(length, comparedUnits);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    uint32_t i = 0;
    uint64_t tops = 0;
    for (; i + 8 <= head; i += 8) {
        uint64_t v;
        std::memcpy(&v, s + i, 8);
        tops |= v;
    }
    for (; i < head; ++i) {
        tops |= s[i];
    }
    if ((tops & 0x8080808080808080ULL) == 0) {
        cell.kind = SortCell::AsciiBytes;
        cell.units = static_cast<uint16_t>(head);
        return cell;
    }
    // Each character's first byte is a unit, one beyond U+FFFF two.
    cell.kind = SortCell::Utf8;
    uint32_t units = 0;
    for (i = 0; i < length && units < comparedUnits; ++i) {
        units += (s[i] & 0xC0) != 0x80;
        units += s[i] >= 0xF0;
    }
    cell.units = static_cast<uint16_t>(std::min(units, comparedUnits));
    return cell;
}

SortCell textCell(const QString& text) {
    SortCell cell;
    cell.text = &text;
    cell.units = static_cast<uint16_t>(std::min<qsizetype>(text.size(), comparedUnits));
    char16_t tops = 0;
    for (uint32_t i = 0; i < cell.units; ++i) {
        tops |= text[i].unicode();
    }
    cell.kind = tops < 0x80 ? SortCell::AsciiText : SortCell::Text;
    return cell;
}

SortCell numberCell(long long number) {
    SortCell cell;
    cell.kind = SortCell::Number;
    cell.number = number;
    return cell;
}

SortCell maskCell(qsizetype length) {
    SortCell cell;
    cell.kind = SortCell::Mask;
    cell.units = static_cast<uint16_t>(std::min<qsizetype>(length, comparedUnits));
    return cell;
}

void ItemsFree::operator()(SortItem* items) const {
    std::free(items);
}

Items itemsFor(size_t rows) {
    constexpr size_t page = size_t{2} << 20;
    const size_t bytes = std::max<size_t>(rows, 1) * sizeof(SortItem);
    if (bytes < page) {
        Items small(static_cast<SortItem*>(std::malloc(bytes)));
        if (!small) {
            throw std::bad_alloc();
        }
        return small;
    }
#ifdef Q_OS_LINUX
    const size_t whole = (bytes + page - 1) / page * page;
    void* memory = std::aligned_alloc(page, whole);
    if (memory) {
        madvise(memory, whole, MADV_HUGEPAGE);
    }
#else
    void* memory = std::malloc(bytes);
#endif
    if (!memory) {
        throw std::bad_alloc();
    }
    return Items(static_cast<SortItem*>(memory));
}

namespace {

// Room for rows items: what is held, when it is large enough; else new.
SortRoom::Held take(SortRoom* room, SortRoom::Held SortRoom::*which, size_t rows) {
    if (room && (room->*which).items && (room->*which).rows >= rows) {
        return std::exchange(room->*which, {});
    }
    if (room) {
        room->*which = {}; // too small: let go of it before the larger is made
    }
    return {itemsFor(rows), rows};
}

} // namespace

RowSorter::RowSorter(size_t rows, int direction, SortRoom* room)
    : m_rows(rows), m_room(room), m_items(take(room, &SortRoom::items, rows)),
      m_flip(direction < 0 ? ~uint64_t{0} : 0) {}

RowSorter::~RowSorter() {
    if (m_room) {
        m_room->items = std::move(m_items);
        if (m_scratch.items) {
            m_room->scratch = std::move(m_scratch);
        }
    }
}

void RowSorter::set(size_t row, const SortCell& cell) {
    Item& item = m_items.items[row];
    item.next = 0;
    static_assert(sizeof item.number == sizeof cell.number);
    std::memcpy(&item.number, &cell.number, sizeof item.number); // whichever the cell holds
    item.row = static_cast<uint32_t>(row);
    item.units = cell.units;
    item.kind = cell.kind;
    keyAt(item, 0, m_flip);
}

std::vector<int> RowSorter::sortedRows(size_t twoThreadsFrom) {
    const size_t n = m_rows;
    if (!m_scratch.items) {
        m_scratch = take(m_room, &SortRoom::scratch, n);
    }
    Item* items = m_items.items.get();
    if (n >= twoThreadsFrom && n >= 2) {
        sortItemsInTwo(items, m_scratch.items.get(), n, twoThreadsFrom, m_flip);
    } else {
        sortItems(items, m_scratch.items.get(), {{0, static_cast<uint32_t>(n)}}, 0, m_flip);
    }
    std::vector<int> rows(n);
    for (size_t i = 0; i < n; ++i) {
        rows[i] = static_cast<int>(items[i].row);
    }
    return rows;
}

} // namespace quillbox::rowsort
