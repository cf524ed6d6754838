#include "mainwindow/ListController.h"

#include "app/ClipboardKeeper.h"
#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/UndoStack.h"
#include "mainwindow/MainWindow.h"
#include "otp/OneTimeCode.h"
#include "record/RecordActions.h"
#include "record/RecordForm.h"
#include "store/RecordHistory.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "text/ProgramText.h"
#include "transfer/TransferProgress.h"

#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QUrl>

namespace quillbox {

namespace {
const QString queryFailed = QStringLiteral("The database query failed to be executed.");
}

ListController::ListController(const ControllerContext& context, MainWindow& main) : Controller(context), m_main(main) {
    using namespace Id::Slot;
    m_commands.add(CopyRecords, [this] { copyRecords(); });
    m_commands.add(DeleteRecords, [this] { deleteSelectedRecords(); });
    m_commands.add(HomePage, [this] { openHomePage(); });
    m_commands.add(TagAll, [this] { tagAllRecords(); });
    m_commands.add(ResetFields, [this] { resetSearch(); });
    m_commands.add(CopyUserName, [this] { copyLoginField(Col::UserName); });
    m_commands.add(CopyPassword, [this] { copyLoginField(Col::Password); });
    m_commands.add(CopyOneTimeCode, [this] { copyOneTimeCode(); });
}

void ListController::handleGadget(int gadget, Notify kind, int detail) {
    switch (gadget) {
    case Id::Main::RecordList:
        if (kind == Notify::SelectionChanged) {
            showRowSummary();
        } else if (kind == Notify::DoubleClick) {
            m_commands.run(Id::Slot::EditRecord);
        } else if (kind == Notify::RightClick) {
            m_main.popupMenu()->popup(QCursor::pos());
        } else if (kind == Notify::ColumnClick) {
            sortList(detail);
        }
        break;
    case Id::Main::OwnerBox:
        ownerChanged();
        break;
    case Id::Main::CategoryBox:
        categoryChanged();
        break;
    case Id::Main::FieldBox:
    case Id::Main::SearchTypeBox:
        runSearch();
        break;
    case Id::Main::SearchText:
        scheduleSearch();
        break;
    default:
        break;
    }
}

void ListController::restoreSearchState() {
    const ProgramSettings& s = m_state.settings;
    fillOwnerBox();
    QComboBox* owners = m_main.ownerBox();
    if (!s.lastOwner.isEmpty()) {
        const int i = owners->findText(s.lastOwner, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        owners->setCurrentIndex(i >= 0 ? i : (owners->count() > 0 ? 0 : -1));
    } else if (owners->count() > 0) {
        owners->setCurrentIndex(0);
    }
    // The categories are those of the owner the box shows, which on a first start (no saved owner)
    // is the first owner rather than nobody.
    fillCategoryBox(owners->currentText());
    QComboBox* categories = m_main.categoryBox();
    const int c = s.lastCategory.isEmpty()
                      ? 0
                      : categories->findText(s.lastCategory, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    categories->setCurrentIndex(c >= 0 ? c : 0);
    // A field number the box does not have (a hand-edited settings file) is handed on as it is:
    // the box shows no entry, the search covers all fields, and the value is written back
    // unchanged. A comparison must be one of the nine, so an unknown one selects the first.
    m_main.fieldBox()->setCurrentIndex(s.lastSearchField);
    const int type = s.lastSearchType;
    m_main.searchTypeBox()->setCurrentIndex(type >= 0 && type < m_main.searchTypeBox()->count() ? type : 0);
    {
        const QSignalBlocker blocker(m_main.searchText());
        m_main.searchText()->setText(s.lastSearchText);
    }
    runSearch();
}

void ListController::refreshAfterChange() {
    saveSearchState();
    restoreSearchState();
}

void ListController::forgetDatabase() {
    m_main.model()->clear();
    m_main.model()->letGoOfSortMemory();
    m_copy.drop();
    m_copyAttached = nullptr;
    m_state.currentRecord = SiteRecord();
    m_status.count(0);
}

void ListController::saveSearchState() {
    // Without a database the boxes are empty: the last session's state stays as it was.
    if (!m_state.database.isOpen()) {
        return;
    }
    ProgramSettings& s = m_state.settings;
    s.lastOwner = m_main.ownerBox()->currentText();
    s.lastCategory = m_main.categoryBox()->currentText();
    // A box showing no entry still holds the value it was given.
    if (m_main.fieldBox()->currentIndex() >= 0) {
        s.lastSearchField = m_main.fieldBox()->currentIndex();
    }
    s.lastSearchType = m_main.searchTypeBox()->currentIndex();
    s.lastSearchText = m_main.searchText()->text();
}

void ListController::showSavedRecord(const QString& record, const QString& owner, const QString& category) {
    const QString shownCategory = m_main.categoryBox()->currentText();
    if (m_main.ownerBox()->currentText() == owner && m_main.searchText()->text().isEmpty() &&
        (shownCategory == allCategories || shownCategory == category) && rowOfRecord(record, -1) >= 0) {
        // The record belongs in the list as it stands, where its row was written or added: the list
        // keeps its order and the panel stays, its categories offering a new one.
        fillCategoryBox(owner);
        m_main.categoryBox()->setCurrentText(shownCategory);
        return;
    }
    clearSearchText();
    fillOwnerBox();
    m_main.ownerBox()->setCurrentText(owner);
    fillCategoryBox(owner);
    m_main.categoryBox()->setCurrentText(category);
    runSearch();
    const int row = rowOfRecord(record, -1);
    if (row >= 0) {
        m_main.selectRow(row);
    }
}

bool ListController::followOtherPrograms() {
    if (!m_state.database.isOpen() || m_knownVersion < 0 || dataVersion(m_state.database) == m_knownVersion) {
        return false;
    }
    const int row = m_main.currentRow();
    const QString record = row >= 0 ? m_main.model()->cell(row, RecordModel::Record) : QString();
    refreshAfterChange();
    if (const int again = record.isEmpty() ? -1 : rowOfRecord(record, row); again >= 0) {
        m_main.selectRow(again, false);
    }
    return true;
}

int ListController::rowOfRecord(const QString& record, int hint) const {
    const RecordModel* model = m_main.model();
    if (hint >= 0 && hint < model->rowCount() && model->cell(hint, RecordModel::Record) == record) {
        return hint;
    }
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->cell(r, RecordModel::Record) == record) {
            return r;
        }
    }
    return -1;
}

RecordModel::Row ListController::rowFromCurrentRecord(bool quoted) const {
    const SiteRecord& r = m_state.currentRecord;
    // A record filled for writing holds quoted text; one filled from a query holds the values as stored.
    auto value = [&](int k) { return quoted ? sqlUnquote(r[k]) : r[k]; };
    return RecordModel::Row{value(Col::SiteName), value(Col::UserName), value(Col::Password), value(Col::HomePage),
                            value(Col::Category), r[Col::Record],       value(Col::Notes)};
}

void ListController::addRow(bool quoted) {
    m_main.model()->appendRow(rowFromCurrentRecord(quoted));
    m_status.info(m_state.currentRecord[Col::SiteName]);
    m_status.count(m_main.model()->rowCount());
}

void ListController::updateRow(int row, bool quoted) {
    const RecordModel::Row cells = rowFromCurrentRecord(quoted);
    m_main.model()->setRowCells(row, cells, RecordModel::SiteName, RecordModel::Category);
    m_main.model()->setRowCells(row, cells, RecordModel::Notes, RecordModel::Notes);
}

bool ListController::runListQuery(const QString& statement) {
    Query query(m_state.database, statement);
    if (!query.isValid()) {
        m_status.error(queryFailed);
        return false;
    }
    RecordModel* model = m_main.model();
    model->beginBulk();
    int counter = 0;
    SharedCells shared;
    // Only the six listed columns are read per row.
    while (query.next()) {
        RecordModel::Row row{query.field(Col::SiteName),
                             query.field(Col::UserName),
                             query.field(Col::Password),
                             query.field(Col::HomePage),
                             shared.category(query.field(Col::Category)),
                             query.field(Col::Record),
                             query.field(Col::Notes)};
        ++counter;
        model->appendBulk(std::move(row));
    }
    const bool failed = query.failed();
    query.finish();
    model->endBulk();
    if (failed) {
        m_status.error(queryFailed);
        m_status.count(counter);
        return false;
    }
    listFilled(counter);
    return true;
}

SearchCopy* ListController::searchCopy() {
    sqlite3* db = m_state.database.handle();
    if (!db) {
        return nullptr;
    }
    if (db != m_copyAttached) {
        m_copy.attach(db, m_state.database.key());
        m_copyAttached = db;
    }
    return &m_copy;
}

bool ListController::fillList(const ListFilter& filter) {
    m_main.model()->setMasked(m_state.settings.optShowPrivate != 1);
    SearchCopy* copy = searchCopy();
    std::optional<std::vector<int>> slots = copy ? copy->search(filter) : std::nullopt;
    if (!slots) {
        return runListQuery(listStatement(filter));
    }
    const int counter = static_cast<int>(slots->size());
    m_main.model()->setCopyRows(copy->data(), std::move(*slots));
    listFilled(counter);
    return true;
}

void ListController::listFilled(int counter) {
    RecordModel* model = m_main.model();
    // The working record is the last row listed, which is all that is left of it once a list
    // has been filled.
    if (counter > 0) {
        Query last(m_state.database, recordStatement(model->cell(counter - 1, RecordModel::Record)));
        if (last.next()) {
            readListRow(last, m_state.currentRecord);
        }
    }
    m_main.ensureRowVisible(counter - 1);
    m_status.info(m_state.currentRecord[Col::SiteName]);
    m_status.count(counter);
    m_knownVersion = dataVersion(m_state.database);
}

void ListController::runSearch() {
    m_searchScheduled = false; // this search covers any that was waiting
    m_main.model()->clear();
    SearchState search;
    search.owner = m_main.ownerBox()->currentText();
    search.category = m_main.categoryBox()->currentText();
    search.field = m_main.fieldBox()->currentIndex();
    search.comparison = comparisonAt(m_main.searchTypeBox()->currentIndex()).value_or(Comparison::Contains);
    search.text = m_main.searchText()->text();
    fillList(ListFilter::fromSearch(search));
    // The search drives the list: its first row is the one Return opens and Down goes to.
    if (m_main.model()->rowCount() > 0) {
        m_main.selectRow(0, false);
    }
}

void ListController::scheduleSearch() {
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

void ListController::fillOwnerBox() {
    QComboBox* box = m_main.ownerBox();
    box->clear();
    SearchCopy* copy = searchCopy();
    const std::optional<QStringList> owners = copy ? copy->owners() : std::nullopt;
    bool ok = true;
    box->addItems(owners ? *owners : distinctValues(m_state.database, ownerListStatement(), &ok));
    if (!ok) {
        // A list that could not be read is said to be so, not shown as empty.
        m_status.error(queryFailed + QLatin1Char(' ') + m_state.database.errorText());
    }
}

void ListController::fillCategoryBox(const QString& owner) {
    QComboBox* box = m_main.categoryBox();
    box->clear();
    SearchCopy* copy = searchCopy();
    const std::optional<QStringList> categories = copy ? copy->categoriesOf(owner) : std::nullopt;
    box->addItems(categories ? *categories : distinctValues(m_state.database, categoriesOfOwnerStatement(owner)));
    box->insertItem(0, allCategories);
    box->setCurrentIndex(0);
}

void ListController::clearSearchText() {
    const QSignalBlocker blocker(m_main.searchText());
    m_main.searchText()->clear();
}

void ListController::ownerChanged() {
    // A new owner or category lists all its records, so the search text goes: the panel says what
    // the list holds.
    clearSearchText();
    m_main.model()->clear();
    const QString owner = m_main.ownerBox()->currentText();
    fillCategoryBox(owner);
    fillList(ListFilter::ownerRecords(owner));
}

void ListController::categoryChanged() {
    clearSearchText();
    m_main.model()->clear();
    const QString owner = m_main.ownerBox()->currentText();
    const QString category = m_main.categoryBox()->currentText();
    fillList(category == allCategories ? ListFilter::ownerRecords(owner)
                                       : ListFilter::categoryRecords(owner, category));
}

bool ListController::showRecord(const QString& record, const QString& owner) {
    {
        const QSignalBlocker owners(m_main.ownerBox());
        const QSignalBlocker categories(m_main.categoryBox());
        const QSignalBlocker text(m_main.searchText());
        fillOwnerBox();
        m_main.ownerBox()->setCurrentText(owner);
        fillCategoryBox(owner);
        m_main.searchText()->clear();
    }
    m_main.model()->clear();
    fillList(ListFilter::ownerRecords(owner));
    const int row = rowOfRecord(record, -1);
    if (row < 0) {
        return false;
    }
    m_main.selectRow(row);
    m_main.ensureRowVisible(row);
    return true;
}

void ListController::resetSearch() {
    QComboBox* categories = m_main.categoryBox();
    const int all = categories->findText(allCategories);
    categories->setCurrentIndex(all >= 0 ? all : 0);
    m_main.fieldBox()->setCurrentIndex(0);
    m_main.searchTypeBox()->setCurrentIndex(0);
    {
        // One search at the end, whether or not the text changes.
        const QSignalBlocker blocker(m_main.searchText());
        m_main.searchText()->clear();
    }
    m_main.searchText()->setFocus();
    runSearch();
}

void ListController::maskList(bool show) {
    // The list holds the values themselves, masked as they are shown; only rows listed during an
    // import while masking hold masks, and their values are read when they are to be shown.
    RecordModel* model = m_main.model();
    if (show) {
        for (int r : model->rowsHoldingMasks()) {
            RecordModel::Row cells = model->row(r);
            Query query(m_state.database, privateColumnsStatement(cells[RecordModel::Record]));
            if (!query.isValid() || !query.next()) {
                if (query.failed()) {
                    m_status.error(m_state.database.errorText());
                }
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                cells[static_cast<size_t>(RecordModel::UserName + c)] = query.text(c);
            }
            model->setRowCells(r, cells, RecordModel::UserName, RecordModel::HomePage);
        }
    }
    model->setMasked(!show);
}

void ListController::showRowSummary() {
    const int row = m_main.currentRow();
    if (row < 0) {
        m_status.error(QStringLiteral("No data to display"));
        return;
    }
    RecordModel* model = m_main.model();
    const QString label = scalarQuery(m_state.database, siteNameLabelStatement(model->cell(row, RecordModel::Record)));
    if (label.isEmpty()) {
        return;
    }
    m_status.info(label + QStringLiteral(": ") + model->cell(row, RecordModel::SiteName) +
                  QStringLiteral(", Category:") + model->cell(row, RecordModel::Category));
}

void ListController::sortList(int column) {
    if (column != m_sortColumn) {
        m_sortDirection = 1;
    }
    m_main.model()->sortRows(column, m_sortDirection);
    m_sortColumn = column;
    m_sortDirection = -m_sortDirection;
}

void ListController::deleteSelectedRecords() {
    RecordModel* model = m_main.model();
    const QList<int> rows = m_main.selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    // The question names what goes (up to five site names); Cancel is what Return answers.
    const QString what = rows.size() == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(rows.size());
    QStringList names;
    for (qsizetype i = 0; i < std::min<qsizetype>(rows.size(), 5); ++i) {
        const QString name = model->cell(rows[i], RecordModel::SiteName);
        names.append(name.isEmpty() ? QStringLiteral("(no site name)") : name);
    }
    QString text = QStringLiteral("Delete %1?\n\n%2").arg(what, names.join(QStringLiteral(", ")));
    if (rows.size() > names.size()) {
        text += QStringLiteral(" and %1 more").arg(rows.size() - names.size());
    }
    text += QStringLiteral("\n\nThey go to the recycle bin (Site tools menu), from where they can be restored.");
    if (m_status.ask(QStringLiteral("Delete records"), text, {QStringLiteral("Delete"), QStringLiteral("Cancel")}, 1) !=
        0) {
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
    TransferProgress progress(&m_main, QStringLiteral("%1 of %2 records moved to the recycle bin"));
    UndoStep step;
    const Result done = moveToBin(m_state.database, numbers, m_state.seams.now(), &step.binEntries,
                                  [&progress, total = numbers.size()](qsizetype moved) {
                                      if (progress.due()) {
                                          progress.show(moved, total);
                                      }
                                  });
    if (!done) {
        runSearch(); // the list shows what the database still holds
        m_status.error(QStringLiteral("Nothing was deleted: %1.").arg(done.error()));
        return;
    }
    if (!step.binEntries.isEmpty()) {
        m_undo.push(std::move(step));
    }
    model->removeRowList(removed);
    m_status.info(
        QStringLiteral("%1 moved to the recycle bin; Undo on the Site tools menu brings %2 back.")
            .arg(removed.size() == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(removed.size()),
                 removed.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")));
    if (withoutNumber) {
        m_status.error(QStringLiteral("There is no record number on this line to delete."));
    }
    m_status.count(model->rowCount());
}

void ListController::tagAllRecords() {
    QTableView* list = m_main.recordList();
    list->setFocus();
    const int rows = m_main.model()->rowCount();
    if (rows == 0) {
        return;
    }
    const QItemSelection all(m_main.model()->index(0, 0),
                             m_main.model()->index(rows - 1, RecordModel::ColumnCount - 1));
    list->selectionModel()->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString ListController::currentRecordNumber() {
    const int row = m_main.currentRow();
    if (row < 0) {
        m_status.error(QStringLiteral("There is no current line selected."));
        return QString();
    }
    const QString record = m_main.model()->cell(row, RecordModel::Record);
    if (!isRecordNumber(record)) {
        m_status.error(QStringLiteral("There is no record number for this line."));
        return QString();
    }
    return record;
}

void ListController::putOnClipboard(const QString& text) {
    m_clipboard.put(text, m_state.settings.optClearClipboard == 1 ? clipboardDelaySeconds(m_state.settings) * 1000 : 0);
}

void ListController::copyRecords() {
    const RecordModel* model = m_main.model();
    QStringList numbers;
    for (int row : m_main.selectedRows()) {
        const QString record = model->cell(row, RecordModel::Record);
        if (isRecordNumber(record)) {
            numbers.append(record);
        } else {
            m_status.error(QStringLiteral("There is no record number on this line to copy data from."));
        }
    }
    // Many records on the clipboard are many passwords in plain text for any program to read.
    constexpr qsizetype askAbove = 50;
    if (numbers.size() > askAbove &&
        m_status.ask(QStringLiteral("Copy records"),
                     QStringLiteral("Copy %1 to the clipboard? It will hold their passwords in plain text, where "
                                    "every program can read them, until it is cleared.")
                         .arg(recordCountText(QString::number(numbers.size())).toLower()),
                     {QStringLiteral("Copy"), QStringLiteral("Cancel")}, 1) != 0) {
        return;
    }
    // A few hundred records a statement, then the texts in the order of the list.
    TransferProgress progress(&m_main, QStringLiteral("%1 records copied"));
    QHash<QString, QString> texts;
    constexpr qsizetype chunk = 500;
    bool failed = false;
    for (qsizetype i = 0; i < numbers.size() && !failed; i += chunk) {
        Query query(m_state.database, QStringLiteral("SELECT * FROM quillbox WHERE record IN (%1)")
                                          .arg(numbers.mid(i, chunk).join(QLatin1Char(','))));
        SiteRecord found;
        while (query.next()) {
            readFullRow(query, found);
            texts.insert(found[Col::Record], recordClipboardText(found));
        }
        failed = query.failed();
        if (progress.due()) {
            progress.show(static_cast<int>(std::min(i + chunk, numbers.size())));
        }
    }
    if (failed) {
        m_status.error(QStringLiteral("The database query failed to be executed; nothing was copied."));
        return;
    }
    QString text;
    int count = 0;
    for (const QString& number : std::as_const(numbers)) {
        if (const auto it = texts.constFind(number); it != texts.constEnd()) {
            text += *it;
            ++count;
        }
    }
    putOnClipboard(text);
    m_status.info(copiedMessage(count));
}

std::optional<SiteRecord> ListController::currentFullRecord() {
    const QString record = currentRecordNumber();
    if (record.isEmpty()) {
        return std::nullopt;
    }
    // The list may hold values masked: they are read from the record itself.
    std::optional<SiteRecord> found;
    Query query(m_state.database, recordStatement(record));
    while (query.next()) {
        found.emplace();
        readFullRow(query, *found);
    }
    if (query.failed()) {
        m_status.error(QStringLiteral("The database query failed."));
        return std::nullopt;
    }
    if (!found) {
        m_status.error(QStringLiteral("This record is no longer in the database."));
    }
    return found;
}

void ListController::copyLoginField(int column) {
    const std::optional<SiteRecord> found = currentFullRecord();
    if (!found) {
        return;
    }
    const QString label = loginFieldLabel(*found, column);
    if ((*found)[column].isEmpty()) {
        // The clipboard keeps what it held: an empty copy would only lose that.
        m_status.error(QStringLiteral("There is no %1 on this record to copy.").arg(label));
        return;
    }
    putOnClipboard((*found)[column]);
    m_status.info(loginCopiedMessage(label, (*found)[Col::SiteName],
                                     m_clipboard.isPending() ? clipboardDelaySeconds(m_state.settings) : 0));
}

void ListController::copyOneTimeCode() {
    const std::optional<SiteRecord> found = currentFullRecord();
    if (!found) {
        return;
    }
    const OneTimeCodeNow now = recordOneTimeCode(*found, m_state.seams.now().toSecsSinceEpoch());
    if (!now.error.isEmpty()) {
        m_status.error(now.error);
        return;
    }
    putOnClipboard(now.code);
    m_status.info(loginCopiedMessage(QStringLiteral("one-time code"), (*found)[Col::SiteName],
                                     m_clipboard.isPending() ? clipboardDelaySeconds(m_state.settings) : 0));
}

void ListController::openHomePage() {
    const QString record = currentRecordNumber();
    if (record.isEmpty()) {
        return;
    }
    QString homePage;
    {
        Query query(m_state.database, homePageStatement(record));
        while (query.next()) {
            homePage = query.text(0);
        }
        if (query.failed()) {
            m_status.error(QStringLiteral("The database query failed."));
            return;
        }
    }
    // Only a web address is handed on; the shell never sees a file, a program or a bare name.
    const QString address = homePageAddress(homePage);
    if (address.isEmpty()) {
        m_status.error(
            homePage.trimmed().isEmpty()
                ? QStringLiteral("This record has no home page to go to.")
                : QStringLiteral("The home page is not a web address (http or https), so it is not opened."));
        return;
    }
    if (!m_state.seams.openUrl || !m_state.seams.openUrl(QUrl(address, QUrl::TolerantMode))) {
        m_status.error(QStringLiteral("No web browser could be started for %1.").arg(address));
    }
}

} // namespace quillbox
