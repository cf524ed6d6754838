#include "about/AboutController.h"

#include "about/AboutWindow.h"
#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "mainwindow/MainWindow.h"
#include "text/ProgramText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace quillbox {

AboutController::AboutController(const ControllerContext& context, MainWindow& main)
    : Controller(context), m_main(main) {
    m_commands.add(Id::Slot::About, [this] { open(); });
    m_commands.add(Id::Slot::ShowHelp, [this] { showHelp(); });
}

QString AboutController::userGuideFile() {
    // Installed, the guide is in share/doc beside the programs' bin folder; the build tree has the
    // same layout.
    const QString guide = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/quillbox/guide.html");
    return QFileInfo(guide).canonicalFilePath();
}

void AboutController::showHelp() {
    const QString guide = userGuideFile();
    if (guide.isEmpty()) {
        m_status.error(
            QStringLiteral("The user guide is not installed beside Quillbox (share/doc/quillbox/guide.html)."));
        return;
    }
    if (!m_state.seams.openUrl || !m_state.seams.openUrl(QUrl::fromLocalFile(guide))) {
        m_status.error(QStringLiteral("The user guide could not be opened: no web browser or viewer was found for %1.")
                           .arg(guide));
        return;
    }
    m_status.info(QStringLiteral("The user guide is opening in your web browser."));
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
