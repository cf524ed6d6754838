#include "app/StatusLine.h"

#include "mainwindow/MainWindow.h"
#include "text/ProgramText.h"

namespace quillbox {

void StatusLine::attach(MainWindow* main) {
    m_main = main;
}

void StatusLine::show(int kind, const QString& text) {
    if (!m_main) {
        return;
    }
    switch (kind) {
    case Info:
        m_main->setMessage(infoText(text));
        break;
    case Error:
        m_main->setMessage(errorText(text));
        break;
    case Count:
        m_main->setCount(recordCountText(text));
        break;
    default:
        break;
    }
}

void StatusLine::messageBox(const QString& title, const QString& text, MessageIcon icon) const {
    if (m_seams.messageBox) {
        m_seams.messageBox(title, text, icon);
    }
}

int StatusLine::ask(const QString& title, const QString& text, const QStringList& buttons, int unasked) const {
    return m_seams.ask ? m_seams.ask(title, text, buttons) : unasked;
}

} // namespace quillbox
