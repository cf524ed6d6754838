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
    palette.setColor(QPalette::WindowText, Qt::black);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void applyEntryPalette(QWidget* entry) {
    QPalette palette = entry->palette();
    palette.setColor(QPalette::Base, QColor(219, 219, 219));
    palette.setColor(QPalette::Button, QColor(219, 219, 219));
    palette.setColor(QPalette::Window, QColor(191, 191, 191));
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    entry->setPalette(palette);
}

QPalette programPalette() {
    QPalette p;
    const QColor black(Qt::black);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor text = disabled ? QColor(105, 105, 105) : black;
        p.setColor(group, QPalette::Window, QColor(162, 162, 162));
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, QColor(219, 219, 219));
        p.setColor(group, QPalette::AlternateBase, QColor(207, 207, 207));
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::PlaceholderText, QColor(90, 90, 90));
        p.setColor(group, QPalette::Button, QColor(191, 191, 191));
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Light, QColor(235, 235, 235));
        p.setColor(group, QPalette::Midlight, QColor(210, 210, 210));
        p.setColor(group, QPalette::Mid, QColor(140, 140, 140));
        p.setColor(group, QPalette::Dark, QColor(100, 100, 100));
        p.setColor(group, QPalette::Shadow, QColor(40, 40, 40));
        p.setColor(group, QPalette::Highlight, disabled ? QColor(140, 140, 140) : QColor(0, 0, 128));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::ToolTipBase, QColor(255, 255, 225));
        p.setColor(group, QPalette::ToolTipText, black);
        p.setColor(group, QPalette::Link, QColor(0, 0, 170));
        p.setColor(group, QPalette::LinkVisited, QColor(85, 26, 139));
    }
    return p;
}

QString windowStyleSheet(const QString& windowSelector) {
    // Every background fixed here comes with its text colour.
    return windowSelector +
           QStringLiteral(" { background: rgb(162,162,162); color: black; }"
                          "QFrame#panel { background: rgb(191,191,191); border: 1px solid rgb(120,120,120); }"
                          "QComboBox, QLineEdit, QTextEdit, QPlainTextEdit { background: rgb(219,219,219);"
                          " color: black; border: 1px solid rgb(150,150,150);"
                          " selection-background-color: rgb(0,0,128); selection-color: white; }"
                          "QComboBox:focus, QLineEdit:focus, QTextEdit:focus { border: 2px solid rgb(0,0,128); }"
                          "QComboBox QAbstractItemView { background: rgb(219,219,219); color: black; }");
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
