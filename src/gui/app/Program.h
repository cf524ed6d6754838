#pragma once

#include "app/AppState.h"
#include "app/BalloonTips.h"
#include "app/ClipboardKeeper.h"
#include "app/CommandTable.h"
#include "app/Controller.h"
#include "app/Dispatch.h"
#include "app/StatusLine.h"
#include "app/UndoStack.h"
#include "app/WindowGuard.h"
#include "store/SearchCopy.h"

#include <QObject>

#include <memory>

namespace quillbox {

class AboutController;
class DatabaseController;
class DataFormController;
class ListController;
class MainWindow;
class OptionsController;
class PrintController;
class HealthController;
class RecoveryController;
class SecurityController;
class TransferController;
class WindowSnapper;

// The application shell: start-up, shutdown, and the routing of every window's events to the
// controller of that window. Windows report to dispatch(); tests call it with the same numbers.
class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(AppState& state);
    ~Program() override;

    // Runs every start-up step up to showing the main window. False when the program must end
    // at once (a working folder that cannot be made, a window that cannot be built, the password
    // window left).
    bool startUp();
    // Saves the search state and the settings, closes the main window and makes the weekday backup.
    void shutDown();

    void dispatch(int window, int number, Notify kind = Notify::Command, int detail = 0);
    // Convenience for commands: a menu, pop-up or shortcut number of the main window.
    void command(int number) { dispatch(1, number, Notify::Command, 0); }

    AppState& state() { return m_state; }
    MainWindow* mainWindow() const { return m_main.get(); }
    // The in-memory copy the list and its searches read.
    SearchCopy& searchCopy() { return m_copy; }
    StatusLine& status() { return m_status; }
    WindowGuard& guard() { return m_guard; }
    BalloonTips& toolTips() { return m_tips; }
    ClipboardKeeper& clipboard() { return m_clipboard; }
    WindowSnapper* snapper() const { return m_snapper; }
    // Whether the last event asked the program to end.
    bool quitRequested() const { return m_quitRequested; }

    // The controllers; all but security exist once start-up has built the main window.
    SecurityController& security() { return *m_security; }
    ListController* list() const { return m_list.get(); }
    DataFormController* dataForms() const { return m_dataForms.get(); }
    OptionsController* options() const { return m_options.get(); }
    TransferController* transfer() const { return m_transfer.get(); }
    PrintController* printing() const { return m_print.get(); }
    AboutController* about() const { return m_about.get(); }
    DatabaseController* database() const { return m_database.get(); }
    RecoveryController* recovery() const { return m_recovery.get(); }
    HealthController* health() const { return m_health.get(); }
    UndoStack& undoStack() { return m_undo; }

Q_SIGNALS:
    // The orderly end: the event loop may stop.
    void finished();

private:
    bool makeWorkingFolders();
    void buildControllers();
    ControllerContext context();
    void installSnapping();
    void handleMainWindow(int number, Notify kind, int detail);
    void backupDatabase();

    AppState& m_state;
    StatusLine m_status;
    WindowGuard m_guard;
    CommandTable m_commands;
    BalloonTips m_tips;
    ClipboardKeeper m_clipboard;
    UndoStack m_undo;
    // Read while the password is asked for, so the first search finds it ready.
    SearchCopy m_copy;
    DispatchFn m_dispatch;
    std::unique_ptr<MainWindow> m_main;
    WindowSnapper* m_snapper = nullptr;
    std::unique_ptr<SecurityController> m_security;
    std::unique_ptr<ListController> m_list;
    std::unique_ptr<DataFormController> m_dataForms;
    std::unique_ptr<OptionsController> m_options;
    std::unique_ptr<TransferController> m_transfer;
    std::unique_ptr<PrintController> m_print;
    std::unique_ptr<AboutController> m_about;
    std::unique_ptr<DatabaseController> m_database;
    std::unique_ptr<RecoveryController> m_recovery;
    std::unique_ptr<HealthController> m_health;
    bool m_quitRequested = false;
    bool m_shutDown = false;
};

} // namespace quillbox
