#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QSet>
#include <QString>

#include <array>

namespace quillbox {

// The record list's rows: six plain strings each, no object per row.
class RecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SiteName = 0, UserName, Password, HomePage, Category, Record, ColumnCount };
    using Row = std::array<QString, ColumnCount>;

    explicit RecordModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const Row& row(int r) const { return m_rows[r]; }
    QString cell(int r, int column) const { return m_rows[r][static_cast<size_t>(column)]; }

    void clear();
    void appendRow(Row row);
    void setRowCells(int r, const Row& cells, int firstColumn, int lastColumn);

    // Bulk filling: rows are appended without signals, and the view hears one reset at the end.
    void beginBulk();
    void appendBulk(Row row) { m_rows.append(std::move(row)); }
    void endBulk();
    bool inBulk() const { return m_bulk; }

    // Removes the given rows (any order); contiguous runs are removed together.
    void removeRowList(QList<int> rows);

    // Sorts by the program's comparison; direction +1 or -1. Selection and current row follow their rows.
    void sortRows(int column, int direction);

    void setRowIcon(const QIcon& icon) { m_icon = icon; }

    static int compareCells(const QString& a, const QString& b, int direction);

private:
    QList<Row> m_rows;
    QIcon m_icon;
    bool m_bulk = false;
};

// The cells of a long list repeat: masks of one length, the dozen categories. Rows filled through
// this share one copy of each, which keeps a list of 100,000 rows small.
class SharedCells {
public:
    explicit SharedCells(bool mask) : m_mask(mask) {}
    // A user name, password or home page as the list shows it: masked (and shared) when masking.
    QString privateCell(const QString& value);
    QString category(const QString& value);

private:
    bool m_mask;
    QHash<qsizetype, QString> m_masks;
    QSet<QString> m_categories;
};

} // namespace quillbox
