#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QSet>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "mainwindow/RowSort.h"
#include "store/SearchCopy.h"

namespace quillbox {

// The record list's rows. A row the search copy gave is a slot number only, its cells read when
// shown; so is a row just stored (an import's, listed while it runs), its cells read back from the
// database by its record number; a row the program made itself (a statement's, a saved record's)
// holds its strings. User name, password and home page are masked as they are shown, when masking is on.
class RecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SiteName = 0, UserName, Password, HomePage, Category, Record, Notes, ColumnCount };
    using Row = std::array<QString, ColumnCount>;

    explicit RecordModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The row's values, unmasked; cell() gives a cell as the list shows it.
    Row row(int r) const;
    QString cell(int r, int column) const;

    void setMasked(bool masked);
    bool isMasked() const { return m_masked; }

    void clear();
    // Lets go of the memory kept for the next sort, which holds the first bytes of a column's values.
    void letGoOfSortMemory();
    // The rows of a search of the copy, in the order given.
    void setCopyRows(std::shared_ptr<const SearchCopy::Data> source, std::vector<int> slots);
    void appendRow(Row row);
    void setRowCells(int r, const Row& cells, int firstColumn, int lastColumn);

    // Bulk filling: rows are appended without signals, and the view hears one reset at the end.
    void beginBulk();
    // Room for this many more rows of the model's own, when a bulk's length is known.
    void reserveBulk(qsizetype rows) {
        m_own.reserve(m_own.size() + rows);
        m_ownMasksOnly.reserve(m_ownMasksOnly.size() + static_cast<size_t>(rows));
        m_entries.reserve(m_entries.size() + static_cast<size_t>(rows));
    }
    // The same, for rows of appendStoredBulk().
    void reserveStoredBulk(qsizetype rows) {
        m_stored.reserve(m_stored.size() + static_cast<size_t>(rows));
        m_entries.reserve(m_entries.size() + static_cast<size_t>(rows));
    }
    // masksOnly: the row's user name, password and home page are their masks, not the values
    // (a long import listed while masking keeps one shared mask per length, not every secret).
    void appendBulk(Row row, bool masksOnly = false) {
        m_own.append(std::move(row));
        m_ownMasksOnly.push_back(masksOnly ? 1 : 0);
        m_entries.push_back(-static_cast<int>(m_own.size()));
    }
    // Rows stored, each held by its record number only and read through read when shown (the
    // reader stays until the model is cleared or refilled).
    void setStoredRowReader(std::function<Row(qint64 record)> read);
    void appendStoredBulk(qint64 record) {
        m_stored.push_back(record);
        m_entries.push_back(storedEntryBase + static_cast<int>(m_stored.size() - 1));
    }
    // The rows whose private cells hold masks only; setRowCells() with the values clears that.
    QList<int> rowsHoldingMasks() const;
    void endBulk();
    bool inBulk() const { return m_bulk; }

    // Removes the given rows (any order); contiguous runs are removed together.
    void removeRowList(QList<int> rows);

    // Sorts by the cells as shown, in the order rowsort gives (upper-cased code units, equal
    // cells keeping their order); direction +1 or -1. Selection and current row follow their rows.
    void sortRows(int column, int direction);
    // From how many rows on a sort runs in two threads (tests lower it).
    static constexpr int defaultParallelRows = 20000;
    static void setParallelRows(int rows);

    void setRowIcon(const QIcon& icon) { m_icon = icon; }

private:
    QString rawCell(int r, int column) const;
    // Turns row r into one of the model's own, so its cells can be set.
    Row& ownRow(int r);

    // Stored row i is entry storedEntryBase + i, below every own row's.
    static constexpr int storedEntryBase = std::numeric_limits<int>::min();
    static bool isStoredEntry(int entry) { return entry < storedEntryBase / 2; }
    void dropStoredRows();

    std::shared_ptr<const SearchCopy::Data> m_source;
    // One per row: a slot of m_source (0 and up), own row -1-i of m_own, or a stored row.
    std::vector<int> m_entries;
    std::vector<qint64> m_stored; // record numbers, by stored row
    std::function<Row(qint64)> m_readStored;
    mutable qint64 m_cachedStored = -1; // the stored row read last (a row is shown cell by cell)
    mutable Row m_cachedRow;
    QList<Row> m_own;
    std::vector<uint8_t> m_ownMasksOnly; // by own row
    QIcon m_icon;
    // A sort's memory, kept while the user sorts by one column after another; let go of soon after.
    rowsort::SortRoom m_sortRoom;
    QTimer m_sortRoomRelease;
    bool m_bulk = false;
    bool m_masked = false;
};

// The cells of a long list repeat: masks of one length, the dozen categories. Rows filled
// through this share one copy of each, which keeps a list of 100,000 rows small.
class SharedCells {
public:
    // The mask of a value this long (in UTF-16 code units, as maskText() counts).
    QString mask(qsizetype length);
    QString category(const QString& value);

private:
    QHash<qsizetype, QString> m_masks;
    QSet<QString> m_categories;
};

} // namespace quillbox
