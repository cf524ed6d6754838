// The About window: not guarded, so opening and closing it leave the one-window rule alone.
#include "about/AboutWindow.h"
#include "app/Ids.h"
#include "app/Program.h"
#include "app/ProgramText.h"
#include "app/WindowEffects.h"
#include "mainwindow/MainWindow.h"

namespace quillbox {

AboutWindow* Program::aboutWindow() const {
    return m_about;
}

void Program::openAbout() {
    if (!m_about) {
        m_about = new AboutWindow(
            [this](int window, int number, Notify kind, int detail) { dispatch(window, number, kind, detail); },
            m_main.get());
    }
    fadeIn(m_state, m_about, 10);
    showInfo(titleMarks + QStringLiteral("  About Quillbox"));
}

void Program::handleAboutEvent(int number, Notify kind, int /*detail*/) {
    if (kind == Notify::Closed || number == Id::About::EscapeKey) {
        closeAbout();
    }
}

void Program::closeAbout() {
    AboutWindow* window = m_about;
    if (!window) {
        return;
    }
    // Not closeSecondaryWindow: that would clear the guard of a data form that is still open.
    m_about = nullptr;
    dismissWindow(window);
}

} // namespace quillbox
