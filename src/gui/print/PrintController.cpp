// The print command and the events of the print window.
#include "print/PrintController.h"

#include "app/BalloonTips.h"
#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "print/PrintDocument.h"
#include "print/PrintWindow.h"
#include "text/ProgramText.h"

#include <QFile>
#include <QPushButton>
#include <QTextBrowser>

#include <algorithm>

namespace quillbox {

PrintController::PrintController(const ControllerContext& context, MainWindow& main)
    : Controller(context), m_main(main) {
    m_commands.add(Id::Slot::PrintRecords, [this] { openPrintWindow(); });
}

void PrintController::openPrintWindow() {
    if (m_guard.isOpen()) {
        m_status.error(QStringLiteral("Another window is already open, close that one first"));
        return;
    }
    // An empty print window is no use: say why there is nothing to print instead.
    if (m_main.model()->rowCount() == 0) {
        m_status.error(QStringLiteral("There are no items in the list to print."));
        return;
    }
    if (m_main.selectedRows().isEmpty()) {
        m_status.info(QStringLiteral("There is nothing to print: select the records to print first."));
        return;
    }
    auto* window = new PrintWindow(m_dispatch, &m_main);
    m_window = window;
    m_guard.open(QStringLiteral("Print Sites"));
    const QString title = titleMarks + QStringLiteral("  Print the selected sites to the default printer.");
    window->setWindowTitle(title);
    m_status.info(title);
    m_tips.installAll(Id::Window::Print, PrintWindow::toolTips(), window->gadgets());

    const RecordModel* model = m_main.model();
    const QList<int> selected = m_main.selectedRows();
    QList<PrintRow> rows;
    rows.reserve(model->rowCount());
    for (int r = 0; r < model->rowCount(); ++r) {
        // The selected rows come sorted: a search per row, not a scan.
        rows.append({model->cell(r, RecordModel::Record), std::binary_search(selected.cbegin(), selected.cend(), r)});
    }
    const PrintDocument document = buildPrintDocument(m_state.database, rows);
    if (!writePrintFile(m_state.files.printFile, document.bytes)) {
        m_status.error(QStringLiteral("Could not create the web print template."));
    } else {
        for (const StatusMessage& message : document.messages) {
            m_status.show(message.kind, message.text);
        }
        if (document.printed >= 0) {
            window->setCount(document.printed);
        }
    }

    window->showDocument(QUrl(m_state.files.printUrl));
    window->printButton()->setFocus();
    fadeIn(m_state.settings, window, 10);
}

void PrintController::close() {
    // A closed window hears no more events, even those already on their way.
    PrintWindow* window = m_window;
    m_window.clear();
    m_guard.close(window);
    // The document holds the printed passwords: it goes with the window that shows it.
    QFile::remove(m_state.files.printFile);
}

void PrintController::handleEvent(int number, Notify kind, int /*detail*/) {
    PrintWindow* window = m_window;
    if (!window) {
        return;
    }
    if (kind == Notify::Closed) {
        close();
        return;
    }
    switch (number) {
    case Id::Print::PrintButton:
    case Id::Print::PreviewButton:
        // Before the document is there, the buttons do nothing.
        if (window->isReady() && m_state.seams.printDocument) {
            const QString error =
                m_state.seams.printDocument(window->browser()->document(), number == Id::Print::PreviewButton, window);
            if (!error.isEmpty()) {
                m_status.error(error);
            }
        }
        break;
    case Id::Print::ExitButton:
    case Id::Print::EscapeKey:
        close();
        break;
    default:
        break;
    }
}

PrintWindow* PrintController::window() const {
    return m_window;
}

} // namespace quillbox
