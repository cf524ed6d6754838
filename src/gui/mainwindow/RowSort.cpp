#include "mainwindow/RowSort.h"

#include <QChar>

#include <algorithm>
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

struct Item {
    uint64_t key;
    uint32_t row;
    uint32_t more; // the cell has key bytes past this key's
};

constexpr uint32_t keyBytes = 8;
// Runs up to this long are sorted by comparison, longer ones by the key's bytes.
constexpr size_t shortRun = 1024;

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
    return key << (8 * (from + keyBytes - i));
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

// Asks for the memory the cell's key from `from` on is read from.
void prefetchKey(const SortCell& cell, uint32_t from) {
    if (cell.kind == SortCell::AsciiBytes) {
        __builtin_prefetch(cell.bytes + from);
    } else if (cell.kind == SortCell::Utf8) {
        __builtin_prefetch(cell.bytes + cell.atByte);
    }
}

void keyAt(SortCell& cell, uint32_t from, uint64_t flip, Item& item) {
    bool more = false;
    item.key = keyOf(cell, from, more) ^ flip;
    item.more = more;
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
        std::stable_sort(items, items + n, [](const Item& a, const Item& b) { return a.key < b.key; });
        return;
    }
    // Least significant byte first; a byte all keys share takes no pass.
    static thread_local uint32_t counts[8][256];
    std::memset(counts, 0, sizeof counts);
    for (size_t i = 0; i < n; ++i) {
        const uint64_t key = items[i].key;
        for (int d = 0; d < 8; ++d) {
            ++counts[d][(key >> (8 * d)) & 0xFF];
        }
    }
    Item* from = items;
    Item* to = scratch;
    for (int d = 0; d < 8; ++d) {
        uint32_t* count = counts[d];
        if (count[(items[0].key >> (8 * d)) & 0xFF] == n) {
            continue;
        }
        uint32_t sum = 0;
        for (int b = 0; b < 256; ++b) {
            const uint32_t c = count[b];
            count[b] = sum;
            sum += c;
        }
        for (size_t i = 0; i < n; ++i) {
            to[count[(from[i].key >> (8 * d)) & 0xFF]++] = from[i];
        }
        std::swap(from, to);
    }
    if (from != items) {
        std::memcpy(items, from, n * sizeof(Item));
    }
}

// Sorts a run of items whose keys hold the units from `from` on, and within it each run of equal
// keys by the units after.
void sortRun(std::vector<SortCell>& cells, Item* items, Item* scratch, size_t n, uint32_t from, uint64_t flip) {
    sortByKey(items, scratch, n);
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        bool more = items[i].more;
        while (j < n && items[j].key == items[i].key) {
            more = more || items[j].more;
            ++j;
        }
        if (more && j - i > 1) {
            // The cells lie anywhere: those a few rows on are fetched while this one is read.
            for (size_t k = i; k < j; ++k) {
                if (k + 16 < n) {
                    __builtin_prefetch(&cells[items[k + 16].row]);
                }
                if (k + 8 < n) {
                    prefetchKey(cells[items[k + 8].row], from + keyBytes);
                }
                keyAt(cells[items[k].row], from + keyBytes, flip, items[k]);
            }
            sortRun(cells, items + i, scratch, j - i, from + keyBytes, flip);
        }
        i = j;
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

std::vector<int> sortedRows(std::vector<SortCell>& cells, int direction) {
    const uint64_t flip = direction < 0 ? ~uint64_t{0} : 0;
    const size_t n = cells.size();
    std::vector<Item> items(n);
    for (size_t r = 0; r < n; ++r) {
        if (r + 8 < n) {
            prefetchKey(cells[r + 8], 0);
        }
        items[r].row = static_cast<uint32_t>(r);
        keyAt(cells[r], 0, flip, items[r]);
    }
    std::vector<Item> scratch(n);
    sortRun(cells, items.data(), scratch.data(), n, 0, flip);
    std::vector<int> rows(n);
    for (size_t i = 0; i < n; ++i) {
        rows[i] = static_cast<int>(items[i].row);
    }
    return rows;
}

} // namespace quillbox::rowsort
