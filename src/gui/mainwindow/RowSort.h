#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace quillbox::rowsort {

// The list's sorting order: a cell's UTF-16 code units, each upper-cased alone (QChar::toUpper()),
// compared over at most the first 256, a shorter text as if padded with code 0. Rows whose cells
// compare equal keep the order they had.
constexpr uint32_t comparedUnits = 256;

// A row's cell as the sort reads it, without a QString made of it.
struct SortCell {
    enum Kind : uint8_t {
        AsciiBytes, // bytes whose compared part is ASCII
        Utf8,       // valid UTF-8 without NUL
        AsciiText,  // a QString whose compared part is ASCII
        Text,       // a QString
        Number,     // the decimal digits of a number
        Mask        // a mask: a run of one character, compared by its length alone
    };
    SortCell() : bytes(nullptr) {}
    union {
        const char* bytes;
        const QString* text;
        long long number;
    };
    uint32_t length = 0; // AsciiBytes, Utf8: the bytes
    uint16_t units = 0;  // the code units compared, at most comparedUnits
    Kind kind = AsciiBytes;
    // Utf8, Text: where the sort has read up to, so its next key goes on from there: a unit, where
    // its key bytes start and where it starts in the UTF-8.
    uint16_t atUnit = 0;
    uint16_t atKey = 0;
    uint16_t atByte = 0;
};

// A cell of valid UTF-8 without NUL (any length; only the compared part is read).
SortCell bytesCell(const char* bytes, uint32_t length);
// text must outlive the sort.
SortCell textCell(const QString& text);
SortCell numberCell(long long number);
// A mask of this many code units.
SortCell maskCell(qsizetype length);

// A row being sorted: its key bytes at the level reached, and maybe those after them.
struct SortItem {
    uint64_t key;
    uint64_t next;
    uint32_t row;
    uint32_t flags;
};

// Sorts rows given one by one in their order; a cell's first key is read as it comes, while its
// memory is at hand. direction +1 or -1 (descending, equal cells still in the order they had).
class RowSorter {
public:
    RowSorter(size_t rows, int direction);
    // Cells of the copy (text cells) must outlive the sorter.
    void add(const SortCell& cell);
    // The rows, as the numbers of their add() calls, in the list's order.
    std::vector<int> sortedRows();

private:
    std::vector<SortCell> m_cells;
    std::vector<SortItem> m_items;
    uint64_t m_flip;
};

} // namespace quillbox::rowsort
