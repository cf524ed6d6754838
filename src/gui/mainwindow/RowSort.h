#pragma once

#include <QString>

#include <cstdint>
#include <future>
#include <memory>
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
    uint16_t units = 0; // the code units compared, at most comparedUnits
    Kind kind = AsciiBytes;
};

// A cell of valid UTF-8 without NUL (any length; only the compared part is read).
SortCell bytesCell(const char* bytes, uint32_t length);
// text must outlive the sort.
SortCell textCell(const QString& text);
SortCell numberCell(long long number);
// A mask of this many code units.
SortCell maskCell(qsizetype length);

// A row being sorted: its key bytes at the level reached, maybe those after them, and its cell,
// so a deeper level reads the cell without looking it up.
struct SortItem {
    uint64_t key;
    uint64_t next; // the next key bytes; of a Utf8 or Text cell, where its reading stopped
    union {
        const char* bytes;
        const QString* text;
        long long number;
    };
    uint32_t row;
    uint16_t units;
    uint8_t kind;
    uint8_t flags;
};

// Runs part(0) and part(1): at once, in two threads, when twoThreads.
template <class Part> void inTwoParts(bool twoThreads, const Part& part) {
    if (!twoThreads) {
        part(0);
        part(1);
        return;
    }
    auto other = std::async(std::launch::async, [&part] { part(1); });
    part(0);
    other.get();
}

// Room for the items of a sort, uninitialised; of a long list, in pages as large as the system
// gives (the sort reads and writes it anywhere: fewer pages to find and to fault in).
struct ItemsFree {
    void operator()(SortItem* items) const;
};
using Items = std::unique_ptr<SortItem[], ItemsFree>;
Items itemsFor(size_t rows);

// The memory of a sort, kept for the next one: a long list's is tens of megabytes, and memory
// newly given by the system costs more to fault in than the sort itself takes.
struct SortRoom {
    struct Held {
        Items items;
        size_t rows = 0; // how many items it holds
    };
    Held items;
    Held scratch;
};

// Sorts rows whose cells are given in any order, each cell's first keys read as it comes, while
// its memory is at hand. direction +1 or -1 (descending, equal cells still in the order they had).
class RowSorter {
public:
    // room, if given, lends its memory and gets it back, with the sort's own, when the sorter ends.
    RowSorter(size_t rows, int direction, SortRoom* room = nullptr);
    ~RowSorter();
    RowSorter(const RowSorter&) = delete;
    RowSorter& operator=(const RowSorter&) = delete;
    // Gives row its cell; every row is given once. Two threads may give different rows at once.
    // Text cells must outlive the sorter.
    void set(size_t row, const SortCell& cell);
    // The rows in the list's order. From twoThreadsFrom rows on, two threads share the work: both
    // sort a run of at least that many, and then each takes about half of the runs.
    std::vector<int> sortedRows(size_t twoThreadsFrom);

private:
    size_t m_rows;
    SortRoom* m_room;
    SortRoom::Held m_items; // by row until sorted
    SortRoom::Held m_scratch;
    uint64_t m_flip;
};

} // namespace quillbox::rowsort
