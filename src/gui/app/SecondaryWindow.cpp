#include "app/SecondaryWindow.h"

#include "app/Ids.h"
#include "app/Look.h"

#include <QCloseEvent>

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

void SecondaryWindow::closeEvent(QCloseEvent* event) {
    if (!isVisible()) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    report(m_number, Notify::Closed);
}

} // namespace quillbox
