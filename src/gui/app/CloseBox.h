#pragma once

#include "app/Dispatch.h"

#include <QCloseEvent>
#include <QWidget>

namespace quillbox {

// The close box of a window the program manages only asks: the program hides a window before
// it closes it, so a close event on a window still shown came from the close box. That one is
// refused and passed on as Closed; the program then closes the window in its own way.
// Returns whether the event was refused.
inline bool closeBoxAsks(QWidget* window, QCloseEvent* event, const DispatchFn& dispatch, int windowNumber) {
    if (!window->isVisible()) {
        return false;
    }
    event->ignore();
    dispatch(windowNumber, windowNumber, Notify::Closed, 0);
    return true;
}

} // namespace quillbox
