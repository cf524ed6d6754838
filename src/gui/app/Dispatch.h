#pragma once

#include <functional>

namespace quillbox {

// What happened to the numbered window, gadget or command.
enum class Notify {
    Command, // menu item, pop-up item or keyboard shortcut
    Changed, // text changed
    Chosen,  // entry chosen in a drop-down box
    SelectionChanged,
    DoubleClick,
    RightClick,
    ColumnClick, // detail: the column
    FocusLost,
    Closed, // window closed by its close box
    Minimized,
    TrayClick,
    Timer,
    Activated, // the window became the active one
};

// The one entry point every window calls: window number, gadget or command number, kind, detail.
using DispatchFn = std::function<void(int window, int number, Notify kind, int detail)>;

} // namespace quillbox
