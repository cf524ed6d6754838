#include "about/AboutController.h"

#include "about/AboutWindow.h"
#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "mainwindow/MainWindow.h"
#include "text/ProgramText.h"

namespace quillbox {

AboutController::AboutController(const ControllerContext& context, MainWindow& main)
    : Controller(context), m_main(main) {
    m_commands.add(Id::Slot::About, [this] { open(); });
}

void AboutController::open() {
    if (!m_window) {
        m_window = new AboutWindow(m_dispatch, &m_main);
    }
    fadeIn(m_state.settings, m_window, 10);
    m_status.info(titleMarks + QStringLiteral("  About Quillbox"));
}

void AboutController::handleEvent(int number, Notify kind, int /*detail*/) {
    if (kind == Notify::Closed || number == Id::About::EscapeKey) {
        close();
    }
}

void AboutController::close() {
    AboutWindow* window = m_window;
    if (!window) {
        return;
    }
    // Not the guard's close: that would lift the guard of a data form that is still open.
    m_window = nullptr;
    m_guard.dismiss(window);
}

AboutWindow* AboutController::window() const {
    return m_window;
}

} // namespace quillbox
