#pragma once

#include "app/AppState.h"
#include "app/Controller.h"
#include "recovery/EntryWindow.h"

#include <QHash>
#include <QPointer>
#include <QStringListModel>
#include <QTimer>

#include <memory>

namespace quillbox {

class DataForm;
class FileKey;
class GeneratorWindow;
class ListController;
class MainWindow;

// The data form: opening it to add, edit or copy a record, its label editor and generator, saving
// and closing, and the list row it was opened on.
class DataFormController : public Controller {
    Q_OBJECT
public:
    DataFormController(const ControllerContext& context, MainWindow& main, ListController& list);

    // The open form, or null.
    DataForm* window() const;
    void handleEvent(int number, Notify kind, int detail);
    // The history window of the record in the form (window 12).
    void handleHistoryEvent(int number, Notify kind, int detail);
    EntryWindow* historyWindow() const { return m_history; }

    void addNewSite();
    void editOldSite();
    void copyToNewOwner();
    // Closes the form, first asking to save, discard or keep editing when it holds changes not
    // saved. False when the form stays open.
    bool leave();

    // The list row and record number being edited (-1 and empty when adding).
    int editedRow() const { return m_editedRow; }
    QString editedRecord() const { return m_editedRecord; }
    // Locking: an open form's values are sealed with the key (when the file is encrypted) and the
    // form emptied, value lists and all; unlocking with the same key brings them back.
    void stashForLock(const std::shared_ptr<const FileKey>& key);
    void restoreAfterLock(const std::shared_ptr<const FileKey>& key);

    // The one-time code beside the field that holds its secret, as of the clock now; the form
    // refreshes it each second while open.
    void updateOneTimeCode();

    // The label being renamed in the label editor, or -1.
    bool labelEditActive() const { return m_labelGadget >= 0; }
    int labelEditGadget() const { return m_labelGadget; }

private:
    // A new data form, shown with the values in use offered in its boxes.
    void openForm(const QString& caption, const QString& title);
    void fillValueLists();
    // Lets go of the values read (at a lock, or when the database closes).
    void forgetValueLists();
    // The form for a new record, its number the one it will get.
    void openAddForm();
    // Whether a form may open on the list row: one is selected and no other window is open.
    bool mayOpenOn(int row);
    bool loadRecord(const QString& recordNumber);
    // What the form shows now becomes what counts as saved.
    void markUnchanged();
    void save();
    // The record changed in the database since the form loaded it: keep the edit, take theirs, or
    // cancel. False when the save is not to go on; stored then holds the record as it is now.
    bool settleConflict(const SiteRecord& stored);
    void openHistory();
    void fillHistory();
    void restoreVersion();
    // Shows a record just stored in the form, as what counts as unchanged.
    void showStored(const SiteRecord& stored);
    void close();
    int rowOfEditedRecord() const;
    void openLabelEditor(int labelGadget);
    void commitLabelEditor();
    void cancelLabelEditor();
    void openGenerator();
    void capitaliseBox(int gadget);

    MainWindow& m_main;
    ListController& m_list;
    QPointer<DataForm> m_form;
    // The values in use, column by column, read once per change of the table and shared by every
    // form opened until the next (a form at 100,000 records opens without reading them again).
    QHash<int, QStringListModel*> m_valueModels;
    QStringListModel* m_noValues = nullptr;
    std::pair<qint64, qint64> m_valuesVersion{-1, -1};
    QPointer<GeneratorWindow> m_generator;
    QPointer<EntryWindow> m_history;
    bool m_adding = false;
    SiteRecord m_asOpened; // the form's record when it opened, to tell whether it holds edits
    SiteRecord m_asLoaded; // the record as the database held it when the form loaded it
    bool m_loaded = false; // the form shows a record read from the database (an edit, a copy)
    int m_editedRow = -1;
    QString m_editedRecord;
    int m_labelGadget = -1;
    QByteArray m_stash; // the form's values, sealed while the program is locked
    QTimer* m_codeTimer = nullptr;
};

} // namespace quillbox
