#pragma once

#include "app/Dispatch.h"

#include <QWidget>

namespace quillbox {

// What the numbered windows other than the main window share: a fixed-size window with the
// program's icon and colours, reporting its events through the dispatch function under its
// number. Its close box only asks: a close event on a window still shown is refused and reported
// as Closed, and the window's controller closes it in its own way (after it has hidden it).
class SecondaryWindow : public QWidget {
    Q_OBJECT
public:
    int number() const { return m_number; }
    // The room a window has on the screen it is on: the work area less the frame and title bar
    // the window system puts around it.
    static QSize roomOnScreen(const QWidget* window);
    // A window of fixed size larger than the room is shrunk to it and its gadgets scroll inside
    // it, so that every one of them (its buttons too) can be reached at any scaling. Runs when the
    // window is first shown; a test may call it with a room of its choice.
    void fitInto(QSize room);

protected:
    // objectName selects the window in the style sheet; style adds the window's own rules.
    SecondaryWindow(int number, const QString& objectName, const QString& style, DispatchFn dispatch, QWidget* parent,
                    Qt::WindowFlags extraFlags = {});

    // Reports an event of one of this window's gadgets or keys.
    void report(int gadget, Notify kind = Notify::Command, int detail = 0) const {
        m_dispatch(m_number, gadget, kind, detail);
    }
    const DispatchFn& dispatcher() const { return m_dispatch; }

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int m_number;
    DispatchFn m_dispatch;
    bool m_fitted = false;
};

} // namespace quillbox
