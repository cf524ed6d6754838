#include "about/AboutWindow.h"

#include "about/AboutText.h"
#include "app/Ids.h"
#include "app/Look.h"
#include "mainwindow/MainWindow.h"
#include "text/ProgramText.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTextEdit>

namespace quillbox {

AboutWindow::AboutWindow(DispatchFn dispatch, QWidget* parent)
    : SecondaryWindow(Id::Window::About, QStringLiteral("aboutWindow"), QString(), std::move(dispatch), parent) {
    setWindowTitle(titleMarks + QStringLiteral("  About Quillbox"));
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
    connect(escape, &QShortcut::activated, this, [this] { report(Id::About::EscapeKey); });

    centreOnScreen(this, screen());
}

} // namespace quillbox
