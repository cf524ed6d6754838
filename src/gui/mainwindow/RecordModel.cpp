#include "mainwindow/RecordModel.h"

#include "mainwindow/RowSort.h"

#include "store/SqlText.h"
#include "text/ProgramText.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <deque>

namespace quillbox {

namespace {
const QColor columnColours[RecordModel::ColumnCount] = {QColor(4, 5, 249),    QColor(93, 153, 64), QColor(127, 28, 30),
                                                        QColor(143, 143, 14), QColor(79, 22, 78),  QColor(243, 0, 0),
                                                        QColor(60, 60, 60)};
const char* const columnTitles[RecordModel::ColumnCount] = {"Site name", "User name", "Password", "Home page",
                                                            "Category",  "Record",    "Notes"};
// The copy's column for each of the list's.
constexpr int copyColumns[RecordModel::ColumnCount] = {SearchCopy::SiteName, SearchCopy::UserName, SearchCopy::Password,
                                                       SearchCopy::HomePage, SearchCopy::Category, SearchCopy::Record,
                                                       SearchCopy::Notes};
int parallelRows = RecordModel::defaultParallelRows;
bool isPrivate(int column) {
    return column >= RecordModel::UserName && column <= RecordModel::HomePage;
}
} // namespace

RecordModel::RecordModel(QObject* parent) : QAbstractTableModel(parent) {
    m_sortRoomRelease.setSingleShot(true);
    m_sortRoomRelease.setInterval(std::chrono::seconds(30));
    connect(&m_sortRoomRelease, &QTimer::timeout, this, &RecordModel::letGoOfSortMemory);
}

void RecordModel::letGoOfSortMemory() {
    m_sortRoomRelease.stop();
    m_sortRoom = {};
}

int RecordModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int RecordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == Notes) {
            // One line of the list: the notes' line breaks shown as blanks.
            QString text = cell(index.row(), Notes);
            text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
            return text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        }
        return cell(index.row(), index.column());
    case Qt::ForegroundRole:
        return columnColours[index.column()];
    case Qt::DecorationRole:
        return index.column() == SiteName ? QVariant(m_icon) : QVariant();
    default:
        return {};
    }
}

QVariant RecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount) {
        return QString::fromLatin1(columnTitles[section]);
    }
    return {};
}

QString RecordModel::rawCell(int r, int column) const {
    const int entry = m_entries[static_cast<size_t>(r)];
    if (isStoredEntry(entry)) {
        const qint64 record = m_stored[static_cast<size_t>(entry - storedEntryBase)];
        if (record != m_cachedStored) {
            m_cachedRow = m_readStored ? m_readStored(record) : Row();
            m_cachedStored = record;
        }
        return m_cachedRow[static_cast<size_t>(column)];
    }
    if (entry < 0) {
        return m_own[-entry - 1][static_cast<size_t>(column)];
    }
    const QString text = SearchCopy::cellText(*m_source, entry, copyColumns[column]);
    return text;
}

QString RecordModel::cell(int r, int column) const {
    const QString text = rawCell(r, column);
    return m_masked && isPrivate(column) ? maskText(text) : text;
}

RecordModel::Row RecordModel::row(int r) const {
    Row out;
    for (int c = 0; c < ColumnCount; ++c) {
        out[static_cast<size_t>(c)] = rawCell(r, c);
    }
    return out;
}

RecordModel::Row& RecordModel::ownRow(int r) {
    int& entry = m_entries[static_cast<size_t>(r)];
    if (entry >= 0 || isStoredEntry(entry)) {
        m_own.append(row(r));
        m_ownMasksOnly.push_back(0);
        entry = -static_cast<int>(m_own.size());
    }
    return m_own[-entry - 1];
}

QList<int> RecordModel::rowsHoldingMasks() const {
    QList<int> rows;
    for (size_t r = 0; r < m_entries.size(); ++r) {
        const int entry = m_entries[r];
        if (entry < 0 && !isStoredEntry(entry) && m_ownMasksOnly[static_cast<size_t>(-entry - 1)]) {
            rows.append(static_cast<int>(r));
        }
    }
    return rows;
}

void RecordModel::setMasked(bool masked) {
    if (masked == m_masked) {
        return;
    }
    m_masked = masked;
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, UserName), index(rowCount() - 1, HomePage), {Qt::DisplayRole});
    }
}

void RecordModel::dropStoredRows() {
    m_stored.clear();
    m_stored.shrink_to_fit();
    m_readStored = nullptr;
    m_cachedStored = -1;
    m_cachedRow = Row();
}

void RecordModel::setStoredRowReader(std::function<Row(qint64)> read) {
    m_readStored = std::move(read);
    m_cachedStored = -1;
}

void RecordModel::clear() {
    if (m_entries.empty() && m_own.isEmpty() && m_stored.empty()) {
        return;
    }
    beginResetModel();
    m_entries.clear();
    m_own.clear();
    m_ownMasksOnly.clear();
    dropStoredRows();
    m_source.reset();
    endResetModel();
}

void RecordModel::setCopyRows(std::shared_ptr<const SearchCopy::Data> source, std::vector<int> slots) {
    beginResetModel();
    m_own.clear();
    m_ownMasksOnly.clear();
    dropStoredRows();
    m_source = std::move(source);
    m_entries = std::move(slots);
    endResetModel();
}

void RecordModel::appendRow(Row row) {
    const int r = rowCount();
    beginInsertRows(QModelIndex(), r, r);
    m_own.append(std::move(row));
    m_ownMasksOnly.push_back(0);
    m_entries.push_back(-static_cast<int>(m_own.size()));
    endInsertRows();
}

void RecordModel::setRowCells(int r, const Row& cells, int firstColumn, int lastColumn) {
    if (r < 0 || r >= rowCount()) {
        return;
    }
    Row& own = ownRow(r);
    for (int c = firstColumn; c <= lastColumn; ++c) {
        own[static_cast<size_t>(c)] = cells[static_cast<size_t>(c)];
    }
    if (firstColumn <= UserName && lastColumn >= HomePage) {
        m_ownMasksOnly[static_cast<size_t>(-m_entries[static_cast<size_t>(r)] - 1)] = 0;
    }
    Q_EMIT dataChanged(index(r, firstColumn), index(r, lastColumn), {Qt::DisplayRole});
}

void RecordModel::beginBulk() {
    beginResetModel();
    m_bulk = true;
}

void RecordModel::endBulk() {
    m_bulk = false;
    endResetModel();
}

void RecordModel::removeRowList(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the back, so earlier row numbers stay valid.
    qsizetype i = rows.size() - 1;
    while (i >= 0) {
        const int last = rows[i];
        int first = last;
        while (i > 0 && rows[i - 1] == first - 1) {
            --i;
            --first;
        }
        --i;
        if (first < 0 || last >= rowCount()) {
            continue;
        }
        beginRemoveRows(QModelIndex(), first, last);
        m_entries.erase(m_entries.begin() + first, m_entries.begin() + last + 1);
        endRemoveRows();
    }
}

void RecordModel::sortRows(int column, int direction) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const int rows = rowCount();
    const bool twoThreads = rows >= parallelRows;
    // Each cell as shown, read where it lies: a copy's cell as its bytes, a mask as its length.
    const bool masked = m_masked && isPrivate(column);
    const int copyColumn = copyColumns[column];
    rowsort::RowSorter sorter(static_cast<size_t>(rows), direction, &m_sortRoom);
    m_sortRoomRelease.start();
    // The copy's cells that are other bytes than plain UTF-8, decoded; one list for each thread.
    std::array<std::deque<QString>, 2> decoded;
    const auto copyCell = [&](int slot, std::deque<QString>& texts) {
        const SearchCopy::CellBytes bytes = SearchCopy::cellBytes(*m_source, slot, copyColumn);
        switch (bytes.kind) {
        case SearchCopy::CellBytes::Number:
            return rowsort::numberCell(bytes.number);
        case SearchCopy::CellBytes::Other:
            texts.push_back(SearchCopy::cellText(*m_source, slot, copyColumn));
            return masked ? rowsort::maskCell(texts.back().size()) : rowsort::textCell(texts.back());
        default: {
            const rowsort::SortCell cell = rowsort::bytesCell(bytes.bytes, bytes.length);
            return masked ? rowsort::maskCell(cell.units) : cell;
        }
        }
    };
    // The copy's cells are read in the copy's order, where they lie one after another, each slot
    // knowing its row; the model's own rows (and a slot listed twice) one by one.
    const int slots = m_source ? SearchCopy::slotCount(*m_source) : 0;
    std::vector<int> rowOf(static_cast<size_t>(slots), -1);
    std::vector<int> oneByOne;
    for (int r = 0; r < rows; ++r) {
        const int entry = m_entries[static_cast<size_t>(r)];
        if (entry >= 0 && entry < slots && rowOf[static_cast<size_t>(entry)] < 0) {
            rowOf[static_cast<size_t>(entry)] = r;
        } else {
            oneByOne.push_back(r);
        }
    }
    rowsort::inTwoParts(twoThreads, [&](int part) {
        const int end = part == 0 ? slots / 2 : slots;
        for (int s = part == 0 ? 0 : slots / 2; s < end; ++s) {
            const int r = rowOf[static_cast<size_t>(s)];
            if (r >= 0) {
                sorter.set(static_cast<size_t>(r), copyCell(s, decoded[static_cast<size_t>(part)]));
            }
        }
    });
    for (const int r : oneByOne) {
        const int entry = m_entries[static_cast<size_t>(r)];
        if (entry >= 0) {
            sorter.set(static_cast<size_t>(r), copyCell(entry, decoded[0]));
        } else if (isStoredEntry(entry)) {
            decoded[0].push_back(rawCell(r, column));
            sorter.set(static_cast<size_t>(r),
                       masked ? rowsort::maskCell(decoded[0].back().size()) : rowsort::textCell(decoded[0].back()));
        } else {
            const QString& text = m_own.at(-entry - 1)[static_cast<size_t>(column)];
            sorter.set(static_cast<size_t>(r), masked ? rowsort::maskCell(text.size()) : rowsort::textCell(text));
        }
    }
    const std::vector<int> order = sorter.sortedRows(static_cast<size_t>(parallelRows));
    std::vector<int> sorted(order.size());
    std::vector<int> newPosition(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted[i] = m_entries[static_cast<size_t>(order[i])];
        newPosition[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    m_entries = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before) {
        after.append(index(newPosition[static_cast<size_t>(idx.row())], idx.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RecordModel::setParallelRows(int rows) {
    parallelRows = rows;
}

QString SharedCells::mask(qsizetype length) {
    auto it = m_masks.find(length);
    if (it == m_masks.end()) {
        it = m_masks.insert(length, QString(length, QLatin1Char('*')));
    }
    return *it;
}

QString SharedCells::category(const QString& value) {
    auto known = m_categories.constFind(value);
    if (known == m_categories.cend()) {
        known = m_categories.insert(value);
    }
    return *known;
}

} // namespace quillbox
