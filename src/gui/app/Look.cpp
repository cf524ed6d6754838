#include "app/Look.h"

#include <QFrame>
#include <QPalette>
#include <QScreen>

namespace quillbox {

QFont programFont(int points) {
    return QFont(QStringLiteral("Comic Sans MS"), points);
}

QFrame* makePanel(QWidget* parent, const QRect& geometry) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("panel"));
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    frame->setGeometry(geometry);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(191, 191, 191));
    palette.setColor(QPalette::WindowText, QColor(120, 120, 120));
    frame->setPalette(palette);
    frame->setAutoFillBackground(true);
    return frame;
}

void applyWindowPalette(QWidget* window) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, QColor(162, 162, 162));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void applyEntryPalette(QWidget* entry) {
    QPalette palette = entry->palette();
    palette.setColor(QPalette::Base, QColor(219, 219, 219));
    palette.setColor(QPalette::Button, QColor(219, 219, 219));
    palette.setColor(QPalette::Window, QColor(191, 191, 191));
    palette.setColor(QPalette::WindowText, Qt::black);
    entry->setPalette(palette);
}

QString windowStyleSheet(const QString& windowSelector) {
    return windowSelector +
           QStringLiteral(" { background: rgb(162,162,162); }"
                          "QFrame#panel { background: rgb(191,191,191); border: 1px solid rgb(120,120,120); }"
                          "QComboBox, QLineEdit, QTextEdit, QPlainTextEdit { background: rgb(219,219,219);"
                          " border: 1px solid rgb(150,150,150); }"
                          "QComboBox QAbstractItemView { background: rgb(219,219,219); }");
}

QIcon programImage(int number) {
    return QIcon(QStringLiteral(":/images/%1.svg").arg(number));
}

void centreOnScreen(QWidget* window, const QScreen* screen) {
    if (screen) {
        window->move(screen->availableGeometry().center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

} // namespace quillbox
