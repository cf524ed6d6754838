#include "store/SearchCopyData.h"

#include <sqlite3.h>

namespace quillbox {

namespace searchcopy {

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

} // namespace searchcopy

using namespace searchcopy;

void SearchCopy::Data::resize(size_t n) {
    rowid.resize(n);
    live.resize(n);
    ownerId.resize(n);
    categoryId.resize(n);
    recordNumber.resize(n);
    for (Cells& column : cells) {
        column.resize(n);
    }
}

int SearchCopy::Data::slotOfRowid(long long id) {
    if (!indexed) {
        slotOf.reserve(static_cast<qsizetype>(rowid.size()));
        for (size_t s = 0; s < rowid.size(); ++s) {
            slotOf.insert(rowid[s], static_cast<int>(s));
        }
        indexed = true;
    }
    return slotOf.value(id, -1);
}

bool SearchCopy::Data::load(sqlite3_stmt* stmt, LoadPart& part, size_t room, QString& reason) {
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (part.rows == room) {
            reason = QStringLiteral("the table changed while it was read");
            return false;
        }
        const size_t s = part.first + part.rows++;
        rowid[s] = sqlite3_column_int64(stmt, 0);
        recordNumber[s] = noNumber;
        ownerId[s] = -1;
        categoryId[s] = -1;
        live[s] = 1;
        for (int c = 0; c < ColumnCount; ++c) {
            if (!loadCell(stmt, c, s, part)) {
                reason = QStringLiteral("a value is neither text nor NULL");
                return false;
            }
        }
    }
    if (rc != SQLITE_DONE) {
        reason = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt)));
        return false;
    }
    std::vector<int> slots(part.rows);
    for (size_t i = 0; i < part.rows; ++i) {
        slots[i] = static_cast<int>(part.first + i);
    }
    part.order = sortedKeys(slots, part.arenas[SiteName]);
    return true;
}

bool SearchCopy::Data::loadCell(sqlite3_stmt* stmt, int c, size_t s, LoadPart& part) {
    // The value itself, read once: the column calls would each check the statement and take
    // the connection's lock again. Safe, as the connection serves only this thread here.
    sqlite3_value* value = sqlite3_column_value(stmt, c + 1);
    const int type = sqlite3_value_type(value);
    Cells& column = cells[static_cast<size_t>(c)];
    Arena& arena = part.arenas[static_cast<size_t>(c)];
    const auto* text = type == SQLITE_TEXT ? reinterpret_cast<const char*>(sqlite3_value_text(value)) : nullptr;
    if (c == Record && type == SQLITE_INTEGER) {
        // Kept as the number it is (the usual case); made text only when shown.
        recordNumber[s] = sqlite3_value_int64(value);
    } else if (type != SQLITE_TEXT && type != SQLITE_NULL) {
        return false;
    }
    if (!text) {
        column.start[s] = arena.end();
        column.length[s] = 0;
        column.flags[s] = Null;
        column.lead[s] = 0;
        return true;
    }
    const auto bytes = static_cast<uint32_t>(sqlite3_value_bytes(value));
    column.start[s] = arena.put(text, bytes);
    column.length[s] = bytes;
    const bool plain = isPlainUtf8(reinterpret_cast<const unsigned char*>(text), bytes);
    column.flags[s] = plain ? 0 : Odd;
    column.lead[s] = bytes == 0 ? 0 : static_cast<uint8_t>(text[0]);
    part.anyOdd[static_cast<size_t>(c)] = part.anyOdd[static_cast<size_t>(c)] || !plain;
    if (c == Owner || c == Category) {
        (c == Owner ? ownerId : categoryId)[s] = (c == Owner ? part.owners : part.categories).count(text, bytes);
    }
    return column.start[s] != nullCell;
}

bool SearchCopy::Data::join(LoadPart& lower, LoadPart& upper) {
    const size_t gap = upper.first - lower.rows;
    for (size_t c = 0; c < cells.size(); ++c) {
        Cells& column = cells[c];
        column.arena = std::move(lower.arenas[c]);
        column.anyOdd = lower.anyOdd[c] || upper.anyOdd[c];
        const uint32_t shift = column.arena.append(std::move(upper.arenas[c]));
        if (shift == nullCell) {
            return false;
        }
        for (size_t s = upper.first; s < upper.first + upper.rows; ++s) {
            column.start[s] += shift;
        }
    }
    owners = std::move(lower.owners);
    categories = std::move(lower.categories);
    const std::vector<int> ownerTo = owners.merge(upper.owners);
    const std::vector<int> categoryTo = categories.merge(upper.categories);
    for (size_t s = upper.first; s < upper.first + upper.rows; ++s) {
        ownerId[s] = ownerId[s] < 0 ? -1 : ownerTo[static_cast<size_t>(ownerId[s])];
        categoryId[s] = categoryId[s] < 0 ? -1 : categoryTo[static_cast<size_t>(categoryId[s])];
    }
    if (gap > 0) {
        // Rowids missing from the lower range left slots unfilled: the upper part moves down.
        const auto down = [&](auto& array) {
            std::copy(array.begin() + static_cast<std::ptrdiff_t>(upper.first),
                      array.begin() + static_cast<std::ptrdiff_t>(upper.first + upper.rows),
                      array.begin() + static_cast<std::ptrdiff_t>(lower.rows));
        };
        down(rowid);
        down(live);
        down(ownerId);
        down(categoryId);
        down(recordNumber);
        for (Cells& column : cells) {
            down(column.start);
            down(column.length);
            down(column.flags);
            down(column.lead);
        }
        for (SiteKey& key : upper.order) {
            key.slot -= static_cast<int>(gap);
        }
    }
    finishLoad(lower.rows + upper.rows);
    // Both parts in order already: one merge instead of a sort of them all, on their keys.
    order.resize(lower.order.size() + upper.order.size());
    auto x = lower.order.cbegin();
    auto y = upper.order.cbegin();
    for (int& slot : order) {
        // The lower part's first among equals, as std::merge takes them.
        const bool fromLower = x != lower.order.cend() && (y == upper.order.cend() || !keyBefore(*y, *x));
        slot = (fromLower ? x++ : y++)->slot;
    }
    lower.order = {};
    upper.order = {};
    orderStale = false;
    return true;
}

void SearchCopy::Data::finishLoad(size_t rows) {
    resize(rows);
    for (Cells& column : cells) {
        column.loaded = rows;
        column.loadedEnd = column.arena.end();
    }
}

bool SearchCopy::Data::take(sqlite3_stmt* stmt) {
    const long long id = sqlite3_column_int64(stmt, 0);
    int slot = slotOfRowid(id);
    if (slot < 0) {
        slot = slotCount();
        rowid.push_back(id);
        live.push_back(0);
        ownerId.push_back(-1);
        categoryId.push_back(-1);
        recordNumber.push_back(noNumber);
        slotOf.insert(id, slot);
    } else {
        forget(slot);
    }
    const auto s = static_cast<size_t>(slot);
    recordNumber[s] = noNumber;
    for (int c = 0; c < ColumnCount; ++c) {
        sqlite3_value* value = sqlite3_column_value(stmt, c + 1);
        const int type = sqlite3_value_type(value);
        Cells& column = cells[static_cast<size_t>(c)];
        if (c == Record && type == SQLITE_INTEGER) {
            recordNumber[s] = sqlite3_value_int64(value);
            column.write(slot, nullptr, 0, true);
            continue;
        }
        if (type != SQLITE_TEXT && type != SQLITE_NULL) {
            return false;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const auto bytes = static_cast<uint32_t>(sqlite3_value_bytes(value));
        if (!column.write(slot, text, bytes, text == nullptr)) {
            return false;
        }
        if (text && (c == Owner || c == Category)) {
            (c == Owner ? ownerId : categoryId)[s] = (c == Owner ? owners : categories).count(text, bytes);
        }
    }
    live[s] = 1;
    orderStale = true;
    return true;
}

void SearchCopy::Data::forget(int slot) {
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

bool SearchCopy::Data::before(int x, int y, const Arena* names) const {
    const Cells& column = cells[SiteName];
    const auto name = [&](int slot) {
        const auto s = static_cast<size_t>(slot);
        return names && !(column.flags[s] & Null) ? Cell{names->at(column.start[s]), column.length[s], column.flags[s]}
                                                  : column.cell(slot);
    };
    const Cell a = name(x);
    const Cell b = name(y);
    const bool xNull = a.flags & Null;
    const bool yNull = b.flags & Null;
    if (xNull || yNull) {
        if (xNull != yNull) {
            return xNull;
        }
    } else {
        const int c = std::memcmp(a.bytes, b.bytes, std::min(a.length, b.length));
        if (c != 0) {
            return c < 0;
        }
        if (a.length != b.length) {
            return a.length < b.length;
        }
    }
    return rowid[static_cast<size_t>(x)] < rowid[static_cast<size_t>(y)];
}

bool SearchCopy::Data::keyBefore(const SiteKey& x, const SiteKey& y, const Arena* names) const {
    const int c = SiteKey::compare(x, y);
    return c != 0 ? c < 0 : before(x.slot, y.slot, names);
}

void SearchCopy::Data::sortSlots(std::vector<int>& slots, const Arena& names) const {
    const std::vector<SiteKey> keys = sortedKeys(slots, names);
    for (size_t i = 0; i < keys.size(); ++i) {
        slots[i] = keys[i].slot;
    }
}

std::vector<SiteKey> SearchCopy::Data::sortedKeys(const std::vector<int>& slots, const Arena& names) const {
    std::vector<SiteKey> keys;
    keys.reserve(slots.size());
    const Cells& column = cells[SiteName];
    const Arena* local = &names == &column.arena ? nullptr : &names;
    for (int slot : slots) {
        SiteKey key{{}, slot, column.isNull(slot) ? 0 : 1};
        if (key.text) {
            const auto s = static_cast<size_t>(slot);
            const Cell name = local ? Cell{local->at(column.start[s]), column.length[s], 0} : column.cell(slot);
            const auto* bytes = reinterpret_cast<const unsigned char*>(name.bytes);
            const uint32_t length = std::min<uint32_t>(name.length, SiteKey::words * 8);
            for (uint32_t i = 0; i < length; ++i) {
                key.word[i / 8] |= uint64_t{bytes[i]} << (56 - 8 * (i % 8));
            }
        }
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end(), [&](const SiteKey& x, const SiteKey& y) { return keyBefore(x, y, local); });
    return keys;
}

void SearchCopy::Data::sortOrder() {
    if (!orderStale) {
        return;
    }
    order.clear();
    for (int slot = 0; slot < slotCount(); ++slot) {
        if (live[static_cast<size_t>(slot)]) {
            order.push_back(slot);
        }
    }
    sortSlots(order, cells[SiteName].arena);
    orderStale = false;
}

void SearchCopy::Data::reposition(int slot) {
    const auto at = std::find(order.begin(), order.end(), slot);
    if (at != order.end()) {
        order.erase(at);
    }
    if (live[static_cast<size_t>(slot)]) {
        order.insert(std::upper_bound(order.begin(), order.end(), slot, [this](int x, int y) { return before(x, y); }),
                     slot);
    }
}

} // namespace quillbox
