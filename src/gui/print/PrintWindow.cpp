#include "print/PrintWindow.h"

#include "app/Ids.h"
#include "app/Look.h"
#include "mainwindow/MainWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>

namespace quillbox {

PrintWindow::PrintWindow(DispatchFn dispatch, QWidget* owner)
    : SecondaryWindow(Id::Window::Print, QStringLiteral("printWindow"),
                      QStringLiteral("QLabel#printCaption { background: rgb(191,191,191); }"
                                     "QLineEdit#printCount { border: none; }"
                                     "QTextBrowser { background: white; }"),
                      std::move(dispatch), owner) {
    setFixedSize(750, 591);

    QFrame* upper = makePanel(this, QRect(5, 5, 740, 510));
    m_browser = new QTextBrowser(upper);
    m_browser->setGeometry(5, 5, 727, 497);
    m_browser->setOpenLinks(false);

    QFrame* lower = makePanel(this, QRect(5, 520, 740, 70));
    auto button = [this, lower](int image, const QRect& geometry, int number) {
        auto* b = new QPushButton(lower);
        b->setGeometry(geometry);
        b->setIcon(programImage(image));
        b->setIconSize(QSize(28, 28));
        const DispatchFn& d = dispatcher();
        connect(b, &QPushButton::clicked, this, [d, number] { d(Id::Window::Print, number, Notify::Command, 0); });
        return b;
    };
    m_print = button(Id::Image::PrintButton, QRect(10, 15, 38, 38), Id::Print::PrintButton);
    m_preview = button(Id::Image::PreviewButton, QRect(48, 15, 38, 38), Id::Print::PreviewButton);
    m_exit = button(Id::Image::PrintWindowExit, QRect(693, 15, 38, 38), Id::Print::ExitButton);

    auto* caption = new QLabel(QStringLiteral(" Records to print..."), lower);
    caption->setObjectName(QStringLiteral("printCaption"));
    caption->setGeometry(565, 10, 115, 15);
    caption->setFont(programFont(8));

    m_count = new QLineEdit(lower);
    m_count->setObjectName(QStringLiteral("printCount"));
    m_count->setGeometry(565, 28, 115, 23);
    m_count->setFont(programFont(11));
    m_count->setReadOnly(true);
    m_count->setFrame(false);
    m_count->setFocusPolicy(Qt::NoFocus);

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    const DispatchFn& d = dispatcher();
    connect(escape, &QShortcut::activated, this,
            [d] { d(Id::Window::Print, Id::Print::EscapeKey, Notify::Command, 0); });

    // Centred on the screen the main window is on.
    const QScreen* screen = owner ? owner->screen() : QWidget::screen();
    if (screen) {
        const QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
}

QHash<int, QWidget*> PrintWindow::gadgets() const {
    return {{Id::Print::PrintButton, m_print}, {Id::Print::PreviewButton, m_preview}, {Id::Print::ExitButton, m_exit}};
}

void PrintWindow::setCount(int printed) {
    m_count->setText(QString::number(printed));
}

void PrintWindow::showDocument(const QUrl& url) {
    const QFileInfo file(url.toLocalFile());
    m_ready = file.isFile() && file.isReadable();
    // A document that is not there leaves the browser empty and the print buttons without effect.
    if (m_ready) {
        m_browser->setSource(url, QTextDocument::HtmlResource);
    }
}

const QList<GadgetTip>& PrintWindow::toolTips() {
    static const QList<GadgetTip> tips{
        {140, QStringLiteral("Click this button to print the selected sites immediately.")},
        {141, QStringLiteral("Click this button to see how the sites should look when printed.")},
        {144, QStringLiteral("Click this button to exit this form immediately")},
    };
    return tips;
}

} // namespace quillbox
