// The import and export commands: file requester, choice of format and status line.
#include "transfer/TransferController.h"

#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/UndoStack.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "transfer/Bookmarks.h"
#include "transfer/ExportCheck.h"
#include "transfer/FilePatterns.h"
#include "transfer/ImportBatch.h"
#include "transfer/ImportJob.h"
#include "transfer/ImportPreview.h"
#include "transfer/TableExport.h"
#include "transfer/TransferProgress.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillbox {

TransferController::TransferController(const ControllerContext& context, MainWindow& main, ListController& list)
    : Controller(context), m_main(main), m_list(list) {
    m_commands.add(Id::Slot::Import, [this] { importRecords(); });
    m_commands.add(Id::Slot::Export, [this] { exportRecords(); });
}

TransferController::FileChoice TransferController::askForFile(const QString& title, const QString& patternList,
                                                              bool save) const {
    FileChoice choice;
    if (!m_state.seams.fileRequester) {
        return choice;
    }
    const QStringList filters = requesterFilters(patternList);
    QString selected = filters.value(0);
    choice.path = m_state.seams.fileRequester(title, QStringLiteral("Quillbox"), filters.join(QStringLiteral(";;")),
                                              &selected, save);
    choice.pattern = std::max<int>(0, static_cast<int>(filters.indexOf(selected)));
    return choice;
}

void TransferController::importFile(const QString& path, const QString& cannotOpen, ImportFormat format,
                                    const QString& owner) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        m_status.error(cannotOpen);
        return;
    }
    ImportBatch batch(m_state, m_main, m_status, m_list);
    ImportCallbacks callbacks = batch.callbacks();
    callbacks.confirm = [this](const ImportPreview& preview) {
        return m_state.seams.importPreview && m_state.seams.importPreview(preview, &m_main);
    };
    // The owner follows the format the content shows, not the pattern chosen.
    callbacks.ownerFor = [this, format, owner](ImportFormat found) {
        if (found == format) {
            return owner;
        }
        return found == ImportFormat::Csv || found == ImportFormat::Bookmarks
                   ? importOwner(found, m_main.ownerBox()->currentText(), homeFolder())
                   : QString();
    };
    const ImportOutcome outcome = runImport(m_state.database, file, format, owner, callbacks);
    switch (outcome.status) {
    case ImportOutcome::Refused:
    case ImportOutcome::NoRecords:
        m_status.error(outcome.error);
        return;
    case ImportOutcome::NotConfirmed:
        m_status.info(QStringLiteral("Import cancelled, nothing was stored."));
        return;
    case ImportOutcome::NothingStored:
    case ImportOutcome::Stored:
        break;
    }
    if (!batch.finish(outcome)) {
        return; // the batch has said why
    }
    if (!outcome.records.isEmpty()) {
        UndoStep step;
        step.kind = UndoStep::Import;
        step.records = outcome.records;
        m_undo.push(std::move(step));
    }
    const QString message = importedMessage(outcome.imported, outcome.refused);
    if (outcome.failed > 0) {
        m_status.error(message + QStringLiteral(" %1 not stored: %2").arg(outcome.failed).arg(outcome.lastFailure));
    } else {
        m_status.info(message);
    }
}

QString TransferController::homeFolder() const {
    return m_state.seams.homeFolder ? m_state.seams.homeFolder() : QDir::homePath();
}

void TransferController::importXml(const QString& path) {
    if (path.isEmpty()) {
        m_status.info(QStringLiteral("No filename as user cancelled the process"));
        return;
    }
    const QString cannotLoad = QStringLiteral("Could not load the XML data file for importing");
    if (QFileInfo(path).size() == 0) {
        m_status.error(cannotLoad);
        return;
    }
    importFile(path, cannotLoad, ImportFormat::Xml, QString());
}

void TransferController::importRecords() {
    const FileChoice choice = askForFile(QStringLiteral("Import file from"), importPatternList, false);
    if (choice.path.isEmpty()) {
        m_status.error(QStringLiteral("User cancelled the import process."));
        return;
    }
    // Checked before opening: opening a FIFO waits for a writer that may never come.
    if (const QFileInfo info(choice.path); info.exists() && !info.isFile()) {
        m_status.error(notRegularFileMessage(choice.path));
        return;
    }
    const QString cannotOpen = QStringLiteral("Could not open the import file.");
    switch (choice.pattern) {
    case 1:
        importFile(choice.path, cannotOpen, ImportFormat::Csv,
                   importOwner(ImportFormat::Csv, m_main.ownerBox()->currentText(), homeFolder()));
        break;
    case 2:
        importXml(choice.path);
        break;
    case 3:
        importFile(choice.path, QStringLiteral("The import file could not be read"), ImportFormat::Bookmarks,
                   importOwner(ImportFormat::Bookmarks, QString(), homeFolder()));
        break;
    default:
        importFile(choice.path, cannotOpen, ImportFormat::Text, QString());
        break;
    }
}

void TransferController::exportRecords() {
    const FileChoice choice = askForFile(QStringLiteral("Export file to"), exportPatternList, true);
    if (choice.path.isEmpty()) {
        m_status.error(QStringLiteral("User cancelled the export process."));
        return;
    }
    const ExportFormat format = exportFormatFor(
        choice.path,
        choice.pattern == 1 ? ExportFormat::Csv : (choice.pattern == 2 ? ExportFormat::Xml : ExportFormat::Text));
    // Once a run: every password of the table will stand in the file as typed.
    if (!m_exportWarned) {
        m_exportWarned = true;
        m_status.messageBox(
            QStringLiteral("Export Warning"),
            QStringLiteral("The export file will hold every password in plain text. Keep it where only you "
                           "can read it, and delete it when it is no longer needed."));
    }
    // Said before anything is written, so the user can still choose CSV instead.
    const QString loss = exportLossMessage(exportLoss(m_state.database, format), format);
    if (!loss.isEmpty() && m_status.ask(QStringLiteral("Export Warning"), loss,
                                        {QStringLiteral("Export"), QStringLiteral("Cancel")}, 0) != 0) {
        m_status.error(QStringLiteral("User cancelled the export process."));
        return;
    }
    // The XML export shows no per-record messages; the line formats show the last record and
    // the count, drawn when the progress dialog refreshes and at the end.
    const bool perRecordStatus = format != ExportFormat::Xml;
    TransferProgress progress(&m_main, QStringLiteral("%1 records exported"));
    QString held;
    int count = 0;
    auto showProgress = [&] {
        if (perRecordStatus && count > 0) {
            m_status.info(QStringLiteral("Exported ") + held);
            m_status.count(count);
        }
    };
    const ExportResult result =
        exportTable(m_state.database, format, choice.path, [&](const QString& siteName, int counter) {
            held = siteName;
            count = counter;
            if (progress.due()) {
                showProgress();
                progress.show(counter);
            }
        });
    showProgress();
    if (!result.error.isEmpty()) {
        m_status.error(result.error);
    }
}

} // namespace quillbox
