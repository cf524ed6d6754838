#include "app/SecondaryWindow.h"

#include "app/Ids.h"
#include "app/Look.h"

#include <QCloseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

namespace quillbox {

SecondaryWindow::SecondaryWindow(int number, const QString& objectName, const QString& style, DispatchFn dispatch,
                                 QWidget* parent, Qt::WindowFlags extraFlags)
    : QWidget(parent), m_number(number), m_dispatch(std::move(dispatch)) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint | extraFlags);
    setObjectName(objectName);
    setAttribute(Qt::WA_StyledBackground);
    setWindowIcon(programImage(Id::Image::Program));
    setStyleSheet(windowStyleSheet(QStringLiteral("QWidget#") + objectName) + style);
}

QSize SecondaryWindow::roomOnScreen(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) {
        return QSize(1 << 20, 1 << 20);
    }
    const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return screen->availableGeometry().size() - QSize(16, 16 + titleBar);
}

void SecondaryWindow::showEvent(QShowEvent* event) {
    if (!m_fitted) {
        fitInto(roomOnScreen(this));
    }
    QWidget::showEvent(event);
}

void SecondaryWindow::fitInto(QSize room) {
    m_fitted = true;
    const QSize full = size();
    const bool fixed = minimumSize() == maximumSize();
    if (!fixed || layout() || (full.width() <= room.width() && full.height() <= room.height())) {
        return; // a window that fits, or lays itself out, is left alone
    }
    // The gadgets move as they stand onto a page of the window's full size, which scrolls.
    auto* page = new QWidget;
    page->setObjectName(objectName());
    page->setFixedSize(full);
    const QList<QWidget*> gadgets = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* gadget : gadgets) {
        if (gadget->isWindow()) {
            continue;
        }
        const bool shown = !gadget->isHidden();
        const QRect place = gadget->geometry();
        gadget->setParent(page);
        gadget->setGeometry(place);
        gadget->setVisible(shown);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(page);
    scroll->viewport()->setAutoFillBackground(false);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    // Where one direction needs a scroll bar the other loses its width.
    QSize fitted = full.boundedTo(room);
    if (full.width() > room.width()) {
        fitted.setHeight(std::min(full.height() + bar, room.height()));
    }
    if (full.height() > room.height()) {
        fitted.setWidth(std::min(full.width() + bar, room.width()));
    }
    setFixedSize(fitted);
    scroll->setGeometry(rect());
    scroll->show();
    centreOnScreen(this, screen()); // placed for its full size, it stood partly off the screen
}

void SecondaryWindow::closeEvent(QCloseEvent* event) {
    if (!isVisible()) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    report(m_number, Notify::Closed);
}

} // namespace quillbox
