#pragma once

#include "app/Dispatch.h"

#include <QObject>

namespace quillbox {

class BalloonTips;
class ClipboardKeeper;
class CommandTable;
class SearchCopy;
class StatusLine;
class UndoStack;
class WindowGuard;
struct AppState;

// What the shell hands every controller: the program's state and the services it keeps for all
// of them. A controller takes what it needs of its peers (the list, the security) besides.
struct ControllerContext {
    AppState& state;
    StatusLine& status;
    WindowGuard& guard;
    CommandTable& commands;
    BalloonTips& tips;
    ClipboardKeeper& clipboard;
    UndoStack& undo;
    SearchCopy& copy;
    DispatchFn dispatch;
};

// The base of the controllers: the context's parts under the names they are used by.
class Controller : public QObject {
protected:
    explicit Controller(const ControllerContext& context)
        : m_state(context.state), m_status(context.status), m_guard(context.guard), m_commands(context.commands),
          m_tips(context.tips), m_clipboard(context.clipboard), m_undo(context.undo), m_copy(context.copy),
          m_dispatch(context.dispatch) {}

    AppState& m_state;
    StatusLine& m_status;
    WindowGuard& m_guard;
    CommandTable& m_commands;
    BalloonTips& m_tips;
    ClipboardKeeper& m_clipboard;
    UndoStack& m_undo;
    SearchCopy& m_copy;
    DispatchFn m_dispatch;
};

} // namespace quillbox
