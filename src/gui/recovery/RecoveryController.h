#pragma once

#include "app/AppState.h"
#include "app/Dispatch.h"
#include "recovery/EntryWindow.h"

#include <QObject>
#include <QPointer>

namespace quillbox {

class CommandTable;
class ListController;
class MainWindow;
class StatusLine;
class UndoStack;
class WindowGuard;

// The way back from a slip: the recycle bin window (restore, empty) and the Undo command, whose
// menu text says what it would take back.
class RecoveryController : public QObject {
    Q_OBJECT
public:
    RecoveryController(AppState& state, MainWindow& main, StatusLine& status, WindowGuard& guard,
                       CommandTable& commands, ListController& list, UndoStack& undo, DispatchFn dispatch);

    void openBin();
    void handleBinEvent(int number, Notify kind, int detail);
    EntryWindow* binWindow() const { return m_bin; }
    // Takes back the newest change of the session.
    void undoLast();

private:
    void refreshBin();
    void restoreSelected();
    void emptyTheBin();
    void closeBin();
    void updateUndoItem();

    AppState& m_state;
    MainWindow& m_main;
    StatusLine& m_status;
    WindowGuard& m_guard;
    ListController& m_list;
    UndoStack& m_undo;
    DispatchFn m_dispatch;
    QPointer<EntryWindow> m_bin;
};

} // namespace quillbox
