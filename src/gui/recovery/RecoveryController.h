#pragma once

#include "app/AppState.h"
#include "app/Controller.h"
#include "recovery/EntryWindow.h"

#include <QPointer>

namespace quillbox {

class ListController;
class MainWindow;

// The way back from a slip: the recycle bin window (restore, empty) and the Undo command, whose
// menu text says what it would take back.
class RecoveryController : public Controller {
    Q_OBJECT
public:
    RecoveryController(const ControllerContext& context, MainWindow& main, ListController& list);

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

    MainWindow& m_main;
    ListController& m_list;
    QPointer<EntryWindow> m_bin;
};

} // namespace quillbox
