#include "app/Ids.h"
#include "app/Program.h"
#include "app/ProgramText.h"
#include "mainwindow/MainWindow.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "transfer/TransferProgress.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableView>

namespace quillbox {

namespace {
const QString queryFailed = QStringLiteral("The database query failed to be executed.");
}

RecordModel::Row Program::rowFromCurrentRecord(bool quoted) const {
    const SiteRecord& r = m_state.currentRecord;
    // A record filled for writing holds quoted text; one filled from a query is already read back.
    auto value = [&](int k) { return quoted ? sqlReadBack(r[k]) : r[k]; };
    return RecordModel::Row{value(Col::SiteName), value(Col::UserName), value(Col::Password),
                            value(Col::HomePage), value(Col::Category), r[Col::Record]};
}

void Program::addRow(bool quoted) {
    m_main->model()->appendRow(rowFromCurrentRecord(quoted));
    if (m_state.bulkLoading == 0) {
        showInfo(m_state.currentRecord[Col::SiteName]);
        showStatus(3, QString::number(m_main->model()->rowCount()));
    }
}

void Program::updateRow(int row, bool quoted) {
    m_main->model()->setRowCells(row, rowFromCurrentRecord(quoted), RecordModel::SiteName, RecordModel::Category);
}

bool Program::runListQuery(const QString& statement) {
    Query query(m_state.database, statement);
    if (!query.isValid()) {
        showError(queryFailed);
        return false;
    }
    RecordModel* model = m_main->model();
    model->beginBulk();
    m_state.bulkLoading = 1;
    int counter = 0;
    SharedCells shared;
    // Only the six listed columns are read per row.
    while (query.next()) {
        RecordModel::Row row{sqlReadBack(query.field(Col::SiteName)),
                             sqlReadBack(query.field(Col::UserName)), sqlReadBack(query.field(Col::Password)),
                             sqlReadBack(query.field(Col::HomePage)),
                             shared.category(sqlReadBack(query.field(Col::Category))),
                             query.field(Col::Record)};
        ++counter;
        model->appendBulk(std::move(row));
    }
    const bool failed = query.failed();
    query.finish();
    m_state.bulkLoading = 0;
    model->endBulk();
    if (failed) {
        showError(queryFailed);
        showStatus(3, QString::number(counter));
        return false;
    }
    listFilled(counter);
    return true;
}

SearchCopy* Program::searchCopy() {
    sqlite3* db = m_state.database.handle();
    if (!db) {
        return nullptr;
    }
    if (db != m_copyAttached) {
        m_copy.attach(db);
        m_copyAttached = db;
    }
    return &m_copy;
}

bool Program::fillList(const ListFilter& filter) {
    m_main->model()->setMasked(m_state.optShowPrivate != 1);
    SearchCopy* copy = searchCopy();
    std::optional<std::vector<int>> slots = copy ? copy->search(filter) : std::nullopt;
    if (!slots) {
        return runListQuery(listStatement(filter));
    }
    const int counter = static_cast<int>(slots->size());
    m_main->model()->setCopyRows(copy->data(), std::move(*slots));
    listFilled(counter);
    return true;
}

void Program::listFilled(int counter) {
    RecordModel* model = m_main->model();
    // The working record is the last row listed, which is all that is left of it once a list
    // has been filled.
    if (counter > 0) {
        Query last(m_state.database, recordStatement(model->cell(counter - 1, RecordModel::Record)));
        if (last.next()) {
            readListRow(last, m_state.currentRecord);
        }
    }
    m_main->ensureRowVisible(counter - 1);
    showInfo(m_state.currentRecord[Col::SiteName]);
    showStatus(3, QString::number(counter));
}

void Program::runSearch() {
    m_searchScheduled = false; // this search covers any that was waiting
    m_main->model()->clear();
    SearchState search;
    search.owner = m_main->ownerBox()->currentText();
    search.category = m_main->categoryBox()->currentText();
    search.field = m_main->fieldBox()->currentIndex();
    search.comparison = m_main->searchTypeBox()->currentText();
    search.text = m_main->searchText()->text();
    fillList(ListFilter::fromSearch(search));
}

void Program::scheduleSearch() {
    if (m_searchScheduled) {
        return;
    }
    m_searchScheduled = true;
    // Posted events run after the window system's queued input, so every key already typed
    // reaches the search box before this search reads it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_searchScheduled) {
                runSearch();
            }
        },
        Qt::QueuedConnection);
}

void Program::fillOwnerBox() {
    QComboBox* box = m_main->ownerBox();
    box->clear();
    SearchCopy* copy = searchCopy();
    const std::optional<QStringList> owners = copy ? copy->owners() : std::nullopt;
    box->addItems(owners ? *owners : distinctValues(m_state.database, ownerListStatement()));
}

void Program::fillCategoryBox(const QString& owner) {
    QComboBox* box = m_main->categoryBox();
    box->clear();
    SearchCopy* copy = searchCopy();
    const std::optional<QStringList> categories = copy ? copy->categoriesOf(owner) : std::nullopt;
    box->addItems(categories ? *categories : distinctValues(m_state.database, categoriesOfOwnerStatement(owner)));
    box->insertItem(0, allCategories);
    box->setCurrentIndex(0);
}

void Program::ownerChanged() {
    m_main->model()->clear();
    const QString owner = m_main->ownerBox()->currentText();
    fillCategoryBox(owner);
    fillList(ListFilter::ownerRecords(owner));
}

void Program::categoryChanged() {
    m_main->model()->clear();
    const QString owner = m_main->ownerBox()->currentText();
    const QString category = m_main->categoryBox()->currentText();
    fillList(category == allCategories ? ListFilter::ownerRecords(owner) : ListFilter::categoryRecords(owner, category));
}

void Program::resetSearch() {
    QComboBox* categories = m_main->categoryBox();
    const int all = categories->findText(allCategories);
    categories->setCurrentIndex(all >= 0 ? all : 0);
    m_main->fieldBox()->setCurrentIndex(0);
    m_main->searchTypeBox()->setCurrentIndex(0);
    {
        // One search at the end, whether or not the text changes.
        const QSignalBlocker blocker(m_main->searchText());
        m_main->searchText()->clear();
    }
    m_main->searchText()->setFocus();
    runSearch();
}

void Program::maskList(bool show) {
    // The list holds the values themselves, masked as they are shown; only rows listed during an
    // import while masking hold masks, and their values are read when they are to be shown.
    RecordModel* model = m_main->model();
    if (show) {
        for (int r : model->rowsHoldingMasks()) {
            RecordModel::Row cells = model->row(r);
            Query query(m_state.database, privateColumnsStatement(cells[RecordModel::Record]));
            if (!query.isValid() || !query.next()) {
                if (query.failed()) {
                    showError(m_state.database.errorText());
                }
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                cells[static_cast<size_t>(RecordModel::UserName + c)] = sqlReadBack(query.text(c));
            }
            model->setRowCells(r, cells, RecordModel::UserName, RecordModel::HomePage);
        }
    }
    model->setMasked(!show);
}

void Program::showRowSummary() {
    const int row = m_main->currentRow();
    if (row < 0) {
        showError(QStringLiteral("No data to display"));
        return;
    }
    RecordModel* model = m_main->model();
    const QString label =
        sqlReadBack(scalarQuery(m_state.database, siteNameLabelStatement(model->cell(row, RecordModel::Record))));
    if (label.isEmpty()) {
        return;
    }
    showInfo(label + QStringLiteral(": ") + model->cell(row, RecordModel::SiteName) + QStringLiteral(", Category:") +
             model->cell(row, RecordModel::Category));
}

void Program::sortList(int column) {
    if (column != m_sortColumn) {
        m_sortDirection = 1;
    }
    m_main->model()->sortRows(column, m_sortDirection);
    m_sortColumn = column;
    m_sortDirection = -m_sortDirection;
}

void Program::deleteSelectedRecords() {
    RecordModel* model = m_main->model();
    const QList<int> rows = m_main->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    const QString what = rows.size() == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(rows.size());
    if (m_state.seams.ask && m_state.seams.ask(QStringLiteral("Delete records"), QStringLiteral("Delete %1?").arg(what),
                                               {QStringLiteral("Delete"), QStringLiteral("Cancel")}) != 0) {
        return;
    }
    QStringList numbers;
    QList<int> removed;
    bool withoutNumber = false;
    for (int row : rows) {
        const QString record = model->cell(row, RecordModel::Record);
        if (isRecordNumber(record)) {
            numbers.append(record);
            removed.append(row);
        } else {
            withoutNumber = true;
        }
    }
    TransferProgress progress(m_main.get(), QStringLiteral("%1 records deleted"));
    const QString refusal = deleteRecords(m_state.database, numbers, [&progress](qsizetype deleted) {
        if (progress.due()) {
            progress.show(static_cast<int>(deleted));
        }
    });
    if (!refusal.isEmpty()) {
        runSearch(); // the list shows what the database still holds
        showError(QStringLiteral("Nothing was deleted: %1.").arg(refusal));
        return;
    }
    model->removeRowList(removed);
    if (withoutNumber) {
        showError(QStringLiteral("There is no record number on this line to delete."));
    }
    showStatus(3, QString::number(model->rowCount()));
}

void Program::tagAllRecords() {
    QTableView* list = m_main->recordList();
    list->setFocus();
    const int rows = m_main->model()->rowCount();
    if (rows == 0) {
        return;
    }
    const QItemSelection all(m_main->model()->index(0, 0),
                             m_main->model()->index(rows - 1, RecordModel::ColumnCount - 1));
    list->selectionModel()->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace quillbox
