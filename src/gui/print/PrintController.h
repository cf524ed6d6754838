#pragma once

#include "app/AppState.h"
#include "app/Dispatch.h"

#include <QObject>
#include <QPointer>

namespace quillbox {

class BalloonTips;
class CommandTable;
class MainWindow;
class PrintWindow;
class StatusLine;
class WindowGuard;

// Printing: the print document of the listed rows, the window that shows it, and its buttons.
class PrintController : public QObject {
    Q_OBJECT
public:
    PrintController(AppState& state, MainWindow& main, StatusLine& status, WindowGuard& guard, CommandTable& commands,
                    BalloonTips& tips, DispatchFn dispatch);

    void openPrintWindow();
    void handleEvent(int number, Notify kind, int detail);
    // The open print window, or null.
    PrintWindow* window() const;

private:
    void close();

    AppState& m_state;
    MainWindow& m_main;
    StatusLine& m_status;
    WindowGuard& m_guard;
    BalloonTips& m_tips;
    DispatchFn m_dispatch;
    QPointer<PrintWindow> m_window;
};

} // namespace quillbox
