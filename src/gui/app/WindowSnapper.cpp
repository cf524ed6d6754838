#include "app/WindowSnapper.h"

#include "settings/ProgramSettings.h"

#include <QEvent>
#include <QWidget>

namespace quillbox {

WindowSnapper::WindowSnapper(const ProgramSettings& settings, int workRight, int workBottom, QObject* parent)
    : QObject(parent), m_settings(settings), m_workRight(workRight), m_workBottom(workBottom) {}

bool WindowSnapper::snap(QWidget* window) {
    if (m_settings.optSnap != 1 || m_moving) {
        return false;
    }
    const QRect frame = window->frameGeometry();
    const SnapRect proposed{frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
    const SnapRect placed = snapToBorders(proposed, m_workRight, m_workBottom, m_latches);
    if (placed == proposed) {
        return false;
    }
    // The move below reports itself again; by then the latches hold it where it is.
    m_moving = true;
    window->move(placed.left, placed.top);
    m_moving = false;
    return true;
}

bool WindowSnapper::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        // Only the program's own visible windows, not menus, balloons or gadgets; windows are
        // placed before they are shown, so only moves of shown windows count as dragging.
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && widget->isVisible() && (type == Qt::Window || type == Qt::Dialog)) {
            snap(widget);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillbox
