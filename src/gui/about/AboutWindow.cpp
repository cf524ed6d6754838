#include "about/AboutWindow.h"

#include "app/AboutText.h"
#include "app/CloseBox.h"
#include "app/Ids.h"
#include "app/Look.h"
#include "app/ProgramText.h"
#include "mainwindow/MainWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTextEdit>

namespace quillbox {

AboutWindow::AboutWindow(DispatchFn dispatch, QWidget* parent) : QWidget(parent), m_dispatch(std::move(dispatch)) {
    setObjectName(QStringLiteral("aboutWindow"));
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(programImage(Id::Image::Program));
    setWindowTitle(titleMarks + QStringLiteral("  About Quillbox"));
    setStyleSheet(windowStyleSheet(QStringLiteral("QWidget#aboutWindow")));
    setFixedSize(340, 550);

    QFrame* bannerPanel = makePanel(this, QRect(5, 5, 330, 95));
    m_banner = new QLabel(bannerPanel);
    m_banner->setGeometry(5, 5, 320, 80);
    m_banner->setPixmap(QPixmap(QStringLiteral(":/images/%1.png").arg(Id::Image::Banner)));

    QFrame* textPanel = makePanel(this, QRect(5, 105, 330, 440));
    m_text = new QTextEdit(textPanel);
    m_text->setGeometry(5, 5, 318, 426);
    m_text->setFont(QFont(QStringLiteral("Arial"), 11));
    m_text->setLineWrapMode(QTextEdit::WidgetWidth);
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setHtml(aboutText());

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    const DispatchFn& d = m_dispatch;
    connect(escape, &QShortcut::activated, this,
            [d] { d(Id::Window::About, Id::About::EscapeKey, Notify::Command, 0); });

    centreOnScreen(this, screen());
}

void AboutWindow::closeEvent(QCloseEvent* event) {
    if (!closeBoxAsks(this, event, m_dispatch, Id::Window::About)) {
        QWidget::closeEvent(event);
    }
}

} // namespace quillbox
