#pragma once

#include "app/AppState.h"
#include "app/Dispatch.h"
#include "mainwindow/RecordModel.h"
#include "store/SearchCopy.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QSystemTrayIcon;
class QTimer;
class QWidget;

struct sqlite3;

namespace quillbox {

class AboutWindow;
class BalloonTips;
class ClipboardKeeper;
class IdleWatch;
class SessionSignals;
class DataForm;
class GeneratorWindow;
class MainWindow;
class PasswordWindow;
class PrintWindow;
class ShortcutEditor;
class WindowSnapper;

// The program's spine: start-up, the dispatch tables, the handlers of the main window's commands
// and gadgets, and shutdown. Windows report to dispatch(); tests call it with the same numbers.
class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(AppState& state);
    ~Program() override;

    // Runs every start-up step up to showing the main window. False when the program must end
    // at once (a working folder that cannot be made, a window that cannot be built).
    bool startUp();
    // Saves the search state and the settings, closes the main window and makes the weekday backup.
    void shutDown();

    void dispatch(int window, int number, Notify kind = Notify::Command, int detail = 0);
    // Convenience for commands: a menu, pop-up or shortcut number of the main window.
    void command(int number) { dispatch(1, number, Notify::Command, 0); }

    MainWindow* mainWindow() const { return m_main.get(); }
    // The open data form and About window, or null.
    DataForm* dataForm() const;
    AboutWindow* aboutWindow() const;
    AppState& state() { return m_state; }

    // Status line: 1 information, 2 error, 3 record count; other kinds show nothing.
    void showStatus(int kind, const QString& text);
    void showInfo(const QString& text) { showStatus(1, text); }
    void showError(const QString& text) { showStatus(2, text); }
    void messageBox(const QString& title, const QString& text, MessageIcon icon = MessageIcon::Exclamation);

    // Search and filter.
    void runSearch();
    // Search for the text being typed: keystrokes already waiting are taken in first, so a burst
    // of typing costs one search for the latest text, not one per key.
    void scheduleSearch();
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

    // The record list.
    RecordModel::Row rowFromCurrentRecord(bool readBackPrivate) const;
    void addRow(bool readBackPrivate = false);
    void updateRow(int row, bool readBackPrivate = false);
    void maskList(bool show);
    void showRowSummary();
    void sortList(int column);
    void deleteSelectedRecords();
    void tagAllRecords();

    // Secondary-window guard message for the data form openers.
    QString guardMessage() const;

    void hideToTray();
    void restoreFromTray();

    // Closes a secondary window (faded out with the given step) and clears the one-window guard;
    // closing the data form selects again the row it was editing. The window is deleted later.
    void closeSecondaryWindow(QWidget* window, int windowNumber, int step = 8);
    // Fades the window out, closes it and deletes it once its events are done with.
    void dismissWindow(QWidget* window, int step = 8);
    // Tool tips of a secondary window, by gadget number; nothing when tool tips are off.
    void installFormToolTips(int window, const QHash<int, QWidget*>& gadgets);

    // Commands of the data form, record actions and About window.
    void addNewSite();
    void editOldSite();
    void copyToNewOwner();
    void copyRecords();
    // Copies the user name (Col::UserName) or password (Col::Password) of the selected record.
    void copyLoginField(int column);
    void openHomePage();
    void openAbout();
    // Password, lock and shortcut editor.
    bool passwordStep();
    void openPasswordEditor();
    void lockInterface();
    void openShortcutEditor();
    // Import and export.
    void importRecords();
    void exportRecords();
    // Printing.
    void openPrintWindow();
    // The open print window, or null.
    PrintWindow* printWindow() const;

    // The five options, by command slot.
    int& optionValue(int slot);
    void toggleOption(int slot);
    void installMainToolTips(bool on);
    void startClock(bool on);
    void tickClock();
    // The Options entries that take a value: clearing the clipboard, its delay, the idle lock.
    void toggleClipboardClearing();
    void askClipboardDelay();
    void askIdleLock();
    // Puts the idle lock's minutes into effect and the three entries' texts and check mark.
    void applyValueOptions();
    // The settings' values within the ranges the dialogs offer (a hand-edited file may hold any).
    int clipboardDelaySeconds() const;
    int idleLockMinutes() const;
    // What the program copies goes through here: marked secret, cleared again when the option says.
    void putOnClipboard(const QString& text);
    ClipboardKeeper* clipboardKeeper() const { return m_clipboard; }
    IdleWatch* idleWatch() const { return m_idle; }
    SessionSignals* sessionSignals() const { return m_session; }
    // The tool-tip registry (made on first use) and the window-moving callback.
    BalloonTips* toolTips();
    WindowSnapper* snapper() const { return m_snapper; }
    void installSnapping();

    // The open password window of a number (4 to 7) and the shortcut editor, or null.
    PasswordWindow* passwordWindow(int window) const;
    ShortcutEditor* shortcutEditor() const;
    void openUnlockWindow();

Q_SIGNALS:
    // The orderly end: the event loop may stop.
    void finished();

private:
    bool makeWorkingFolders();
    // The command slot of a menu, pop-up or shortcut number, or -1.
    static int commandSlot(int number);
    void handleCommand(int slot);
    void handleOptionItem(int number);
    void saveOptions();
    void handleMainGadget(int gadget, Notify kind, int detail);
    // Events of the secondary windows, one handler per window.
    void handleAboutEvent(int number, Notify kind, int detail);
    void handleShortcutEditorEvent(int number, Notify kind, int detail);
    void handlePasswordEditorEvent(int number, Notify kind, int detail);
    void handleUnlockEvent(int number, Notify kind, int detail);
    void handlePrintEvent(int number, Notify kind, int detail);
    void handleDataFormEvent(int number, Notify kind, int detail);
    void restoreSearchState();
    void backupDatabase();
    // The data form's steps.
    // A new data form, shown with the values in use offered in its boxes.
    void openDataForm(const QString& caption, const QString& title);
    // The form for a new record, its number the one it will get.
    void openAddForm();
    // Whether a form may open on the list row: one is selected and no other window is open.
    bool formMayOpenOn(int row);
    bool loadRecordIntoForm(const QString& recordNumber);
    void saveSite();
    void closeDataForm();
    // Closes the form, first asking to save, discard or keep editing when it holds changes not
    // saved. False when the form stays open.
    bool leaveDataForm();
    // What the form shows now becomes what counts as saved.
    void markFormUnchanged();
    void cancelLabelEditor();
    void openGenerator();
    int rowOfEditedRecord() const;
    void openLabelEditor(int labelGadget);
    void commitLabelEditor();
    void capitaliseBox(int gadget);
    void closeAbout();
    // Password windows: the start-up pair's own loop, the checks by entry field.
    void handlePasswordStepEvent(int window, int number, Notify kind);
    void runPasswordCheck(PasswordWindow* window, int field);
    void securityError(PasswordWindow* window, int field, const QString& text);
    bool checkStoredPassword(PasswordWindow* window, int field);
    SettingsResult storeFingerprint(const QString& fingerprint);
    void closeUnlockWindow();
    // Shortcut editor.
    void checkDuplicateShortcut(int slot, int value);
    void saveShortcuts();

    AppState& m_state;
    std::unique_ptr<MainWindow> m_main;
    QPointer<DataForm> m_dataForm;
    QPointer<GeneratorWindow> m_generator;
    bool m_exportWarned = false;
    SiteRecord m_formAsOpened; // the form's record when it opened, to tell whether it holds edits
    QPointer<AboutWindow> m_about;
    QSystemTrayIcon* m_tray = nullptr;
    QTimer* m_clock = nullptr;
    ClipboardKeeper* m_clipboard = nullptr;
    IdleWatch* m_idle = nullptr;
    SessionSignals* m_session = nullptr;
    int m_sortColumn = 0;
    int m_sortDirection = 1;
    bool m_shutDown = false;
    bool m_searchScheduled = false;
    SearchCopy m_copy;
    sqlite3* m_copyAttached = nullptr;
    QPointer<PrintWindow> m_printWindow;
    BalloonTips* m_tips = nullptr;
    WindowSnapper* m_snapper = nullptr;
    QPointer<PasswordWindow> m_passwordStep;
    QPointer<PasswordWindow> m_passwordEditor;
    QPointer<PasswordWindow> m_unlockWindow;
    QPointer<ShortcutEditor> m_shortcutEditor;
    int m_passwordOutcome = 0; // start-up windows: 1 passed, -1 left
    bool m_oldPasswordConfirmed = false;
    bool m_checkingPassword = false;
    QList<QPointer<QWidget>> m_hiddenByLock;
};

} // namespace quillbox
