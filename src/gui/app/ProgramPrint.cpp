// The print command and the events of the print window.
#include "app/Ids.h"
#include "app/Program.h"
#include "app/ProgramText.h"
#include "app/WindowEffects.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "print/PrintDocument.h"
#include "print/PrintWindow.h"

#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <algorithm>

namespace quillbox {

PrintWindow* Program::printWindow() const {
    return m_printWindow;
}

void Program::openPrintWindow() {
    if (m_state.secondaryWindowOpen == 1) {
        showError(QStringLiteral("Another window is already open, close that one first"));
        return;
    }
    auto* window = new PrintWindow(
        [this](int w, int number, Notify kind, int detail) { dispatch(w, number, kind, detail); }, m_main.get());
    m_printWindow = window;
    m_state.secondaryWindowOpen = 1;
    m_state.secondaryCaption = QStringLiteral("Print Sites");
    const QString title = titleMarks + QStringLiteral("  Print the selected sites to the default printer.");
    window->setWindowTitle(title);
    showInfo(title);
    installFormToolTips(Id::Window::Print, window->gadgets());

    const RecordModel* model = m_main->model();
    const QList<int> selected = m_main->selectedRows();
    QList<PrintRow> rows;
    rows.reserve(model->rowCount());
    for (int r = 0; r < model->rowCount(); ++r) {
        // The selected rows come sorted: a search per row, not a scan.
        rows.append({model->cell(r, RecordModel::Record), std::binary_search(selected.cbegin(), selected.cend(), r)});
    }
    const PrintDocument document = buildPrintDocument(m_state.database, rows);
    if (!writePrintFile(m_state.printFile, document.bytes)) {
        showError(QStringLiteral("Could not create the web print template."));
    } else {
        for (const StatusMessage& message : document.messages) {
            showStatus(message.kind, message.text);
        }
        if (document.printed >= 0) {
            window->setCount(document.printed);
        }
    }

    window->showDocument(QUrl(m_state.printUrl));
    window->printButton()->setFocus();
    fadeIn(m_state, window, 10);
}

void Program::handlePrintEvent(int number, Notify kind, int) {
    PrintWindow* window = printWindow();
    if (!window) {
        return;
    }
    // A closed window hears no more events, even those already on their way.
    auto closePrintWindow = [this, window] {
        m_printWindow.clear();
        closeSecondaryWindow(window, Id::Window::Print);
        // The document holds the printed passwords: it goes with the window that shows it.
        QFile::remove(m_state.printFile);
    };
    if (kind == Notify::Closed) {
        closePrintWindow();
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
                showError(error);
            }
        }
        break;
    case Id::Print::ExitButton:
    case Id::Print::EscapeKey:
        closePrintWindow();
        break;
    default:
        break;
    }
}

} // namespace quillbox
