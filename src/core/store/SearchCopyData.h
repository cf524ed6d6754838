#pragma once

// How the search copy holds the table: its cells, names and slots. Only the search copy's own
// code uses this.

#include "store/SearchCopy.h"
#include "store/SqlText.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

struct sqlite3_stmt;

namespace quillbox {

namespace searchcopy {

// An offset no cell has: past what the offsets reach.
constexpr uint32_t nullCell = std::numeric_limits<uint32_t>::max();

// Well-formed UTF-8 without NUL: what SQLite's LIKE reads character by character exactly as the
// bytes stand.
bool isPlainUtf8(const unsigned char* s, size_t n);

// Per-slot arrays whose growth does not write the new elements: the two loader threads fill
// their own parts of one array, and each touches only the memory it fills.
template <class T> struct NoInit : std::allocator<T> {
    using value_type = T;
    template <class U> struct rebind { using other = NoInit<U>; };
    NoInit() noexcept = default;
    template <class U> NoInit(const NoInit<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <class T> using SlotArray = std::vector<T, NoInit<T>>;

// The bytes of one column's cells, each followed by a NUL (so SQLite's LIKE reads a cell in
// place and no search hit spans two cells), in blocks that never move once written. A cell is
// named by its offset: the blocks' offsets follow one another in units of a MiB.
class Arena {
public:
    static constexpr int unitBits = 20;
    static constexpr uint32_t unit = 1u << unitBits;
    struct Block {
        std::unique_ptr<char[]> bytes;
        uint32_t first = 0; // the offset of its first byte
        uint32_t used = 0;
        uint32_t size = 0;
    };

    // Stores n bytes and their NUL; where they lie, or nullCell past what offsets reach.
    uint32_t put(const char* s, uint32_t n) {
        const uint64_t need = uint64_t{n} + 1;
        if (m_blocks.empty() || m_blocks.back().used + need > m_blocks.back().size) {
            const uint64_t size = (need + unit - 1) / unit * unit;
            const uint64_t first = uint64_t{m_pages.size()} * unit;
            if (first + size >= nullCell) {
                return nullCell;
            }
            Block block;
            block.bytes.reset(new char[size]);
            block.first = static_cast<uint32_t>(first);
            block.size = static_cast<uint32_t>(size);
            for (uint64_t i = 0; i < size; i += unit) {
                m_pages.push_back(block.bytes.get() + i);
            }
            m_blocks.push_back(std::move(block));
        }
        Block& block = m_blocks.back();
        char* to = block.bytes.get() + block.used;
        if (n > 0) {
            std::memcpy(to, s, n);
        }
        to[n] = '\0';
        const uint32_t at = block.first + block.used;
        block.used += static_cast<uint32_t>(need);
        return at;
    }
    // The offset the next cell would get in the current block; offsets never go below it.
    uint32_t end() const { return m_blocks.empty() ? 0 : m_blocks.back().first + m_blocks.back().used; }
    const char* at(uint32_t offset) const { return m_pages[offset >> unitBits] + (offset & (unit - 1)); }
    // Takes other's blocks after its own; other's offsets grow by what this gives (nullCell
    // when they would go past what offsets reach).
    uint32_t append(Arena&& other) {
        const uint64_t shift = uint64_t{m_pages.size()} * unit;
        if (shift + uint64_t{other.m_pages.size()} * unit >= nullCell) {
            return nullCell;
        }
        for (Block& block : other.m_blocks) {
            block.first += static_cast<uint32_t>(shift);
            m_blocks.push_back(std::move(block));
        }
        m_pages.insert(m_pages.end(), other.m_pages.begin(), other.m_pages.end());
        other.m_blocks.clear();
        other.m_pages.clear();
        return static_cast<uint32_t>(shift);
    }
    const std::vector<Block>& blocks() const { return m_blocks; }

private:
    std::vector<Block> m_blocks;
    std::vector<char*> m_pages; // by offset >> unitBits: where that MiB of offsets lies
};

enum CellFlag : uint8_t {
    Odd = 1,  // not plain UTF-8
    Null = 2, // NULL, not text
    Moved = 4 // written after the load: the value is in Cells::later
};

// A cell as it stands now.
struct Cell {
    const char* bytes;
    uint32_t length;
    uint8_t flags;
};

// The cells of one column. The rows loaded have their cells in slot order, so where a cell
// starts rises with its slot; a value written later (a row changed or added since) goes after
// them, and the slot is marked as moved.
struct Cells {
    Arena arena;
    SlotArray<uint32_t> start; // the loaded cell's offset (a NULL's: where the next one starts)
    SlotArray<uint32_t> length;
    SlotArray<uint8_t> flags;
    SlotArray<uint8_t> lead; // the value's first byte now (0 when empty or NULL)
    bool anyOdd = false;
    size_t loaded = 0;                               // slots loaded
    uint32_t loadedEnd = 0;                          // where the loaded cells end
    QHash<int, std::pair<uint32_t, uint32_t>> later; // moved slot: offset and length now

    void resize(size_t n) {
        start.resize(n);
        length.resize(n);
        flags.resize(n);
        lead.resize(n);
    }
    // Gives a slot a new value (a slot past the loaded ones is a row added since).
    bool write(int slot, const char* bytes, uint32_t n, bool isNull) {
        const auto s = static_cast<size_t>(slot);
        if (s >= flags.size()) {
            resize(s + 1);
            start[s] = arena.end();
            length[s] = 0;
        }
        uint32_t at = 0;
        uint8_t flag = Moved | Null;
        if (!isNull) {
            at = arena.put(bytes, n);
            if (at == nullCell) {
                return false;
            }
            flag = isPlainUtf8(reinterpret_cast<const unsigned char*>(bytes), n) ? Moved : Moved | Odd;
            anyOdd = anyOdd || (flag & Odd);
        }
        flags[s] = flag;
        lead[s] = isNull || n == 0 ? 0 : static_cast<uint8_t>(bytes[0]);
        later.insert(slot, {at, n});
        return true;
    }
    Cell cell(int slot) const {
        const auto s = static_cast<size_t>(slot);
        const uint8_t flag = flags[s];
        if (flag & Null) {
            return {"", 0, flag}; // no bytes: the arena may hold none at its offset
        }
        if (flag & Moved) {
            const auto now = later.value(slot);
            return {arena.at(now.first), now.second, flag};
        }
        return {arena.at(start[s]), length[s], flag};
    }
    bool isNull(int slot) const { return flags[static_cast<size_t>(slot)] & Null; }
};

// Distinct values of a column (owner, category), each with a number; NULL is -1.
struct Names {
    QHash<QByteArray, int> ids;
    std::vector<QByteArray> text;
    std::vector<int> rows; // how many live rows hold the value
    std::array<int, 64> recent = filledRecent();

    static std::array<int, 64> filledRecent() {
        std::array<int, 64> none;
        none.fill(-1);
        return none;
    }

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
    // One more row holds this value: its id. A column holds few owners and categories, so the
    // ids last found are kept by a few bytes of their value and tried before the table.
    int count(const char* value, uint32_t bytes) {
        const auto* u = reinterpret_cast<const unsigned char*>(value);
        const size_t way = bytes == 0 ? 0 : (bytes * 7u + u[0] * 3u + u[bytes - 1] + u[bytes / 2] * 5u) % recent.size();
        int id = recent[way];
        if (id < 0 || text[static_cast<size_t>(id)].size() != static_cast<qsizetype>(bytes) ||
            (bytes > 0 && std::memcmp(text[static_cast<size_t>(id)].constData(), value, bytes) != 0)) {
            id = intern(QByteArray::fromRawData(value, static_cast<qsizetype>(bytes)));
            recent[way] = id;
        }
        ++rows[static_cast<size_t>(id)];
        return id;
    }
    // Takes other's names; what other's ids are here.
    std::vector<int> merge(const Names& other) {
        std::vector<int> to(other.text.size());
        for (size_t id = 0; id < other.text.size(); ++id) {
            to[id] = intern(other.text[id]);
            rows[static_cast<size_t>(to[id])] += other.rows[id];
        }
        return to;
    }
    // The values held by live rows (or by those ids), in BINARY order, empty ones left out.
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
            out.append(QString::fromUtf8(text[static_cast<size_t>(id)]));
        }
        return out;
    }
};

// A site name's place in "ORDER BY sitename": its first 24 bytes, zero-padded (so their order is
// the names' order wherever they differ), and whether it is text (NULL comes first). Names that
// share their first sixteen bytes are common ("Travel travel 12..."); comparing the whole names
// reaches into the arena at random, so that is left to the keys that are equal.
struct SiteKey {
    static constexpr int words = 3;
    std::array<uint64_t, words> word;
    int slot;
    int text;

    // -1, 0 or 1 as x comes before, ties with or comes after y on what the keys hold.
    static int compare(const SiteKey& x, const SiteKey& y) {
        if (x.text != y.text) {
            return x.text < y.text ? -1 : 1;
        }
        // Word by word: std::array's operators would call memcmp for a few bytes.
        for (int w = 0; w < words; ++w) {
            if (x.word[w] != y.word[w]) {
                return x.word[w] < y.word[w] ? -1 : 1;
            }
        }
        return 0;
    }
};

// What one loader thread gathers beside the slots it fills: the bytes of its cells, its names,
// its slots in order.
struct LoadPart {
    std::array<Arena, SearchCopy::ColumnCount> arenas;
    Names owners;
    Names categories;
    std::array<bool, SearchCopy::ColumnCount> anyOdd{};
    size_t first = 0;
    size_t rows = 0;
    std::vector<SiteKey> order; // its rows in "ORDER BY sitename"
};

} // namespace searchcopy

struct SearchCopy::Data {
    std::array<searchcopy::Cells, ColumnCount> cells;
    searchcopy::SlotArray<long long> rowid;
    searchcopy::SlotArray<uint8_t> live;
    searchcopy::SlotArray<int> ownerId;
    searchcopy::SlotArray<int> categoryId;
    // The record number when the database holds it as an integer, else noNumber (the text or
    // NULL is then in the cells).
    searchcopy::SlotArray<long long> recordNumber;
    static constexpr long long noNumber = std::numeric_limits<long long>::min();
    searchcopy::Names owners;
    searchcopy::Names categories;
    // Slots by rowid, made when a refresh first needs it.
    QHash<long long, int> slotOf;
    bool indexed = false;
    // Live slots in the order of "ORDER BY sitename": NULL first, then BINARY, ties by rowid.
    std::vector<int> order;
    bool orderStale = true;

    int slotCount() const { return static_cast<int>(rowid.size()); }
    void resize(size_t n);
    int slotOfRowid(long long id);

    // Fills slots part.first on with the rows of a statement that selects columnList, the cells'
    // bytes going to the part's arenas; at most room rows. False when a row holds what the copy
    // cannot model, or more rows come than there is room for.
    bool load(sqlite3_stmt* stmt, searchcopy::LoadPart& part, size_t room, QString& reason);
    // One value of the current row into slot s, its bytes into the part's arena.
    bool loadCell(sqlite3_stmt* stmt, int c, size_t s, searchcopy::LoadPart& part);
    // Makes the loaded parts one copy: the lower part's slots come first; the upper part's,
    // filled from slot upper.first on, follow them directly.
    bool join(searchcopy::LoadPart& lower, searchcopy::LoadPart& upper);
    void finishLoad(size_t rows);

    // A refreshed row: read anew into its slot, or into a new one when it is new.
    bool take(sqlite3_stmt* stmt);
    // The row is gone: its slot stays, no longer live.
    void forget(int slot);
    // Whether slot x comes before slot y in "ORDER BY sitename" (names being the site names'
    // bytes, while a part is loaded).
    bool before(int x, int y, const searchcopy::Arena* names = nullptr) const;
    // The same for two slots' keys: on the keys, and where they tie on the whole names.
    bool keyBefore(const searchcopy::SiteKey& x, const searchcopy::SiteKey& y,
                   const searchcopy::Arena* names = nullptr) const;
    // Puts slots in the order of "ORDER BY sitename".
    void sortSlots(std::vector<int>& slots, const searchcopy::Arena& names) const;
    std::vector<searchcopy::SiteKey> sortedKeys(const std::vector<int>& slots, const searchcopy::Arena& names) const;
    void sortOrder();
    // Puts one changed slot where it now belongs, or takes it out when gone: a few rows saved
    // cost no sort of them all.
    void reposition(int slot);
};

} // namespace quillbox
