#pragma once

#include "app/AppState.h"
#include "app/Dispatch.h"

#include <QObject>
#include <QPointer>

namespace quillbox {

class AboutWindow;
class CommandTable;
class MainWindow;
class StatusLine;
class WindowGuard;

// The About window. It is not guarded: opening and closing it leave the one-window rule alone.
class AboutController : public QObject {
    Q_OBJECT
public:
    AboutController(AppState& state, MainWindow& main, StatusLine& status, WindowGuard& guard, CommandTable& commands,
                    DispatchFn dispatch);

    void open();
    void handleEvent(int number, Notify kind, int detail);
    // The open About window, or null.
    AboutWindow* window() const;

private:
    void close();

    AppState& m_state;
    MainWindow& m_main;
    StatusLine& m_status;
    WindowGuard& m_guard;
    DispatchFn m_dispatch;
    QPointer<AboutWindow> m_window;
};

} // namespace quillbox
