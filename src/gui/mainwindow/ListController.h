#pragma once

#include "app/AppState.h"
#include "app/Controller.h"
#include "mainwindow/RecordModel.h"
#include "store/SearchCopy.h"
#include "store/SiteRecord.h"

#include <optional>

struct sqlite3;

namespace quillbox {

class MainWindow;

// The main window's record list: the owner, category and search boxes, what the list shows and
// the commands that act on its rows (delete, tag all, copy, the home page).
class ListController : public Controller {
    Q_OBJECT
public:
    ListController(const ControllerContext& context, MainWindow& main);

    // Events of the main window's gadgets (list, boxes, search text).
    void handleGadget(int gadget, Notify kind, int detail);

    // The boxes and search of the last session, then the list they select.
    void restoreSearchState();
    // What the boxes show goes into the settings, for the next session.
    void saveSearchState();
    // After a change the list did not make itself (a restore, an undo): the boxes and the list
    // read again from the database, as they stand.
    void refreshAfterChange();
    // The connection is about to close: the list, the search copy and the working record let go
    // of every value they hold.
    void forgetDatabase();

    void runSearch();
    // Lists the owner's records, no search, and makes the record the current row; false when it is
    // not (or no longer) there.
    bool showRecord(const QString& record, const QString& owner);
    // Search for the text being typed: keystrokes already waiting are taken in first, so a burst
    // of typing costs one search for the latest text, not one per key.
    void scheduleSearch();
    void clearSearchText();
    void ownerChanged();
    void categoryChanged();
    void resetSearch();
    // Runs a SELECT * statement and fills the list with its rows; false when the query failed.
    bool runListQuery(const QString& statement);
    // Lists the filter's rows: from the search copy, or through the statement when the copy
    // cannot answer.
    bool fillList(const ListFilter& filter);
    // The search copy, following the open database; null when it cannot serve.
    SearchCopy* searchCopy();
    // Status and working record after a list is filled with counter rows.
    void listFilled(int counter);
    void fillOwnerBox();
    void fillCategoryBox(const QString& owner);
    // After a record was saved: a record the shown panel lists stays where its row was written;
    // otherwise the boxes show its owner and category, the search text is cleared, the list is what
    // that panel gives, and the record is its current row.
    void showSavedRecord(const QString& record, const QString& owner, const QString& category);
    // Another program changed the file since the list was filled: boxes and list are read again,
    // the chosen row kept where it is still listed. False when nothing changed.
    bool followOtherPrograms();

    // The working record as a list row; a record filled for writing holds quoted text.
    RecordModel::Row rowFromCurrentRecord(bool quoted) const;
    void addRow(bool quoted = false);
    void updateRow(int row, bool quoted = false);
    // The row holding a record number: `hint` when it still holds it, else the first that does; -1.
    int rowOfRecord(const QString& record, int hint) const;

    void maskList(bool show);
    void showRowSummary();
    void sortList(int column);
    void deleteSelectedRecords();
    void tagAllRecords();
    void copyRecords();
    // Copies the user name (Col::UserName) or password (Col::Password) of the selected record.
    // The current row's record read whole; nothing (reported) when there is none.
    std::optional<SiteRecord> currentFullRecord();
    void copyLoginField(int column);
    void copyOneTimeCode();
    void openHomePage();

private:
    // What the program copies goes through here: marked secret, cleared again when the option says.
    void putOnClipboard(const QString& text);
    // The record number of the current row, or empty after saying why there is none.
    QString currentRecordNumber();

    MainWindow& m_main;
    sqlite3* m_copyAttached = nullptr;
    int m_knownVersion = -1; // the file's data version when the list was last filled
    int m_sortColumn = 0;
    int m_sortDirection = 1;
    bool m_searchScheduled = false;
};

} // namespace quillbox
