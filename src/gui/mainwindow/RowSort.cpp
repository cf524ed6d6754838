#include "mainwindow/RowSort.h"

#include <QChar>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

namespace quillbox::rowsort {

// The rows are sorted by keys of eight bytes, most significant first: by the first key, stably;
// then each run of rows equal so far by the next, while any of them has more. The key bytes are
// the upper-cased units one after another, each written as UTF-8 writes a character (one byte
// below 0x80, two below 0x800, else three, a surrogate as itself): those bytes compare as the
// units do, and a NUL unit is the zero byte that also pads a key past the end. An ASCII text is
// its own key bytes, eight units to a key. Descending order flips every bit of a key.

namespace {

using Item = SortItem;
enum : uint32_t {
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

// The key of a Utf8 or Text cell from byte `from` on, read from where the last one stopped.
uint64_t decodedKey(SortCell& cell, uint32_t from, bool& more) {
    if (cell.atKey > from) {
        cell.atUnit = cell.atKey = cell.atByte = 0;
    }
    const uint32_t end = from + keyBytes;
    uint32_t unit = cell.atUnit;
    uint32_t at = cell.atKey;
    uint32_t byte = cell.atByte;
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
    const auto* s = reinterpret_cast<const unsigned char*>(cell.bytes);
    while (unit < cell.units && at < end) {
        // Where this character starts: the next key begins at one not yet wholly written.
        cell.atUnit = static_cast<uint16_t>(unit);
        cell.atKey = static_cast<uint16_t>(at);
        cell.atByte = static_cast<uint16_t>(byte);
        if (cell.kind == SortCell::Text) {
            write((*cell.text)[unit].unicode());
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
            if (unit < cell.units) {
                write(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            }
        } else {
            write(static_cast<char16_t>(cp));
        }
    }
    if (at <= end) {
        // Every character written whole: the next key starts after them.
        cell.atUnit = static_cast<uint16_t>(unit);
        cell.atKey = static_cast<uint16_t>(at);
        cell.atByte = static_cast<uint16_t>(byte);
    }
    more = at > end || unit < cell.units;
    return key;
}

uint64_t keyOf(SortCell& cell, uint32_t from, bool& more) {
    switch (cell.kind) {
    case SortCell::AsciiBytes:
        more = cell.units > from + keyBytes;
        if (from + keyBytes <= cell.units) {
            return asciiWord(cell.bytes + from);
        }
        return asciiKey([&](uint32_t i) { return static_cast<unsigned char>(cell.bytes[i]); }, cell.units, from);
    case SortCell::AsciiText:
        more = cell.units > from + keyBytes;
        return asciiKey([&](uint32_t i) { return (*cell.text)[i].unicode(); }, cell.units, from);
    case SortCell::Number: {
        char digits[24];
        const auto length =
            static_cast<uint32_t>(std::to_chars(digits, digits + sizeof digits, cell.number).ptr - digits);
        more = length > from + keyBytes;
        return asciiKey([&](uint32_t i) { return static_cast<unsigned char>(digits[i]); }, length, from);
    }
    case SortCell::Mask:
        more = false;
        return from == 0 ? cell.units : 0;
    case SortCell::Utf8:
    case SortCell::Text:
        break;
    }
    return decodedKey(cell, from, more);
}

// Asks for the memory the cell's key from `from` on is read from (of a Text or Number cell, memory
// of no use, which does no harm). One prefetch, unconditional: the compiler drops one in a branch.
void prefetchKey(const SortCell& cell, uint32_t from) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(cell.bytes) + (cell.kind == SortCell::Utf8 ? cell.atByte : from);
    __builtin_prefetch(reinterpret_cast<const void*>(at));
}

// Reads sixteen key bytes from `from` on: the key, and the next level's while the cell is at hand.
void keyAt(SortCell& cell, uint32_t from, uint64_t flip, Item& item) {
    bool more = false;
    item.key = keyOf(cell, from, more) ^ flip;
    item.flags = 0;
    if (more) {
        bool after = false;
        item.next = keyOf(cell, from + keyBytes, after);
        item.flags = More | NextHeld | (after ? uint32_t{MoreAfterNext} : 0u);
    }
}

// The key from `from` on: the one held, else read.
void nextKeyAt(SortCell& cell, uint32_t from, uint64_t flip, Item& item) {
    if (item.flags & NextHeld) {
        item.key = item.next ^ flip;
        item.flags = (item.flags & MoreAfterNext) ? uint32_t{More} : 0u;
    } else {
        keyAt(cell, from, flip, item);
    }
}

// Sorts items stably by key, scratch holding as many.
void sortByKey(Item* items, Item* scratch, size_t n) {
    if (n < 2) {
        return;
    }
    if (n <= 16) {
        for (size_t i = 1; i < n; ++i) {
            const Item item = items[i];
            size_t j = i;
            for (; j > 0 && items[j - 1].key > item.key; --j) {
                items[j] = items[j - 1];
            }
            items[j] = item;
        }
        return;
    }
    if (n <= shortRun) {
        // Equal keys have their rows in order so far: by key and row is the stable order.
        std::sort(items, items + n,
                  [](const Item& a, const Item& b) { return a.key < b.key || (a.key == b.key && a.row < b.row); });
        return;
    }
    // By the most significant byte in which the keys differ, into buckets kept in order, then each
    // bucket by the next such byte.
    uint64_t all = ~uint64_t{0};
    uint64_t any = 0;
    for (size_t i = 0; i < n; ++i) {
        all &= items[i].key;
        any |= items[i].key;
    }
    const uint64_t differing = all ^ any;
    if (differing == 0) {
        return;
    }
    const int shift = (63 - std::countl_zero(differing)) & ~7;
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
        scratch[at[(items[i].key >> shift) & 0xFF]++] = items[i];
    }
    std::memcpy(items, scratch, n * sizeof(Item));
    for (int b = 0; b < 256; ++b) {
        sortByKey(items + start[b], scratch + start[b], start[b + 1] - start[b]);
    }
}

// Sorts the items, whose keys hold the first key bytes, level by level: each run of items equal so
// far by its keys, then the runs of equal keys among them, while any has more, by the next key.
// Each level reads the next keys of all those runs in one go, the cells a few items on asked for
// while one is read: they lie anywhere in memory.
void sortItems(std::vector<SortCell>& cells, Item* items, Item* scratch, size_t n, uint64_t flip) {
    std::vector<std::pair<uint32_t, uint32_t>> runs{{0, static_cast<uint32_t>(n)}};
    std::vector<std::pair<uint32_t, uint32_t>> next;
    std::vector<uint32_t> reread;
    for (uint32_t from = 0; !runs.empty(); from += keyBytes) {
        next.clear();
        reread.clear();
        for (const auto& [first, end] : runs) {
            sortByKey(items + first, scratch + first, end - first);
            for (uint32_t i = first; i < end;) {
                uint32_t j = i + 1;
                uint32_t more = items[i].flags & More;
                while (j < end && items[j].key == items[i].key) {
                    more |= items[j].flags & More;
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
        const size_t count = reread.size();
        for (size_t p = 0; p < count; ++p) {
            if (p + 2 * prefetchAhead < count) {
                const Item& later = items[reread[p + 2 * prefetchAhead]];
                __builtin_prefetch(&cells[later.row]);
            }
            if (p + prefetchAhead < count) {
                const Item& soon = items[reread[p + prefetchAhead]];
                prefetchKey(cells[soon.row], (soon.flags & NextHeld) ? 0 : from + keyBytes);
            }
            Item& item = items[reread[p]];
            nextKeyAt(cells[item.row], from + keyBytes, flip, item);
        }
        runs.swap(next);
    }
}

} // namespace

SortCell bytesCell(const char* bytes, uint32_t length) {
    SortCell cell;
    cell.bytes = bytes;
    cell.length = length;
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

RowSorter::RowSorter(size_t rows, int direction) : m_flip(direction < 0 ? ~uint64_t{0} : 0) {
    m_cells.reserve(rows);
    m_items.reserve(rows);
}

void RowSorter::add(const SortCell& cell) {
    m_cells.push_back(cell);
    Item& item = m_items.emplace_back();
    item.row = static_cast<uint32_t>(m_items.size() - 1);
    keyAt(m_cells.back(), 0, m_flip, item);
}

std::vector<int> RowSorter::sortedRows() {
    const size_t n = m_items.size();
    std::vector<Item> scratch(n);
    sortItems(m_cells, m_items.data(), scratch.data(), n, m_flip);
    std::vector<int> rows(n);
    for (size_t i = 0; i < n; ++i) {
        rows[i] = static_cast<int>(m_items[i].row);
    }
    return rows;
}

} // namespace quillbox::rowsort
