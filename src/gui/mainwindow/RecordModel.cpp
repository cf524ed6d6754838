#include "mainwindow/RecordModel.h"

#include "app/ProgramText.h"

#include <QColor>

#include <algorithm>
#include <numeric>

namespace quillbox {

namespace {
const QColor columnColours[RecordModel::ColumnCount] = {QColor(4, 5, 249),    QColor(93, 153, 64), QColor(127, 28, 30),
                                                        QColor(143, 143, 14), QColor(79, 22, 78),  QColor(243, 0, 0)};
const char* const columnTitles[RecordModel::ColumnCount] = {"Site name", "User name", "Password",
                                                            "Home page", "Standard",  "Record"};
} // namespace

RecordModel::RecordModel(QObject* parent) : QAbstractTableModel(parent) {}

int RecordModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RecordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return m_rows[index.row()][static_cast<size_t>(index.column())];
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

void RecordModel::clear() {
    if (m_rows.isEmpty()) {
        return;
    }
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void RecordModel::appendRow(Row row) {
    const int r = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), r, r);
    m_rows.append(std::move(row));
    endInsertRows();
}

void RecordModel::setRowCells(int r, const Row& cells, int firstColumn, int lastColumn) {
    if (r < 0 || r >= m_rows.size()) {
        return;
    }
    for (int c = firstColumn; c <= lastColumn; ++c) {
        m_rows[r][static_cast<size_t>(c)] = cells[static_cast<size_t>(c)];
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
        if (first < 0 || last >= m_rows.size()) {
            continue;
        }
        beginRemoveRows(QModelIndex(), first, last);
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
    }
}

int RecordModel::compareCells(const QString& a, const QString& b, int direction) {
    // Upper-cased character codes over at most the first 256 characters; a shorter text ends in 0.
    const qsizetype n = std::min<qsizetype>(256, std::max(a.size(), b.size()));
    for (qsizetype i = 0; i < n; ++i) {
        const int ca = i < a.size() ? a[i].toUpper().unicode() : 0;
        const int cb = i < b.size() ? b[i].toUpper().unicode() : 0;
        if (ca != cb) {
            return (ca - cb) * direction;
        }
    }
    return 0;
}

void RecordModel::sortRows(int column, int direction) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(static_cast<size_t>(m_rows.size()));
    std::iota(order.begin(), order.end(), 0);
    const size_t c = static_cast<size_t>(column);
    std::stable_sort(order.begin(), order.end(),
                     [&](int x, int y) { return compareCells(m_rows[x][c], m_rows[y][c], direction) < 0; });
    QList<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newPosition(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.append(std::move(m_rows[order[i]]));
        newPosition[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before) {
        after.append(index(newPosition[static_cast<size_t>(idx.row())], idx.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString SharedCells::privateCell(const QString& value) {
    if (!m_mask) {
        return value;
    }
    auto it = m_masks.find(value.size());
    if (it == m_masks.end()) {
        it = m_masks.insert(value.size(), maskText(value));
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
