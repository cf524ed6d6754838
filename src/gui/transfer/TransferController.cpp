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
#include "transfer/ImportPreviewWindow.h"
#include "transfer/ImportText.h"
#include "transfer/TableExport.h"
#include "transfer/TransferProgress.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>

#include <chrono>
#include <future>

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

bool TransferController::readFirst(QFile& file, ImportFormat format, const ImportCallbacks& callbacks,
                                   const ImportOptions& options, ImportPreview& preview, ImportReading& reading) {
    WatchedDevice device(file);
    if (!device.openToRead()) {
        reading.error = file.errorString();
        return true;
    }
    std::future<void> done = std::async(std::launch::async, [&] {
        reading = readImportPreview(device, format, QString(), callbacks, options, preview);
    });
    // The window keeps painting; a long file shows how far the reading is, and may be cancelled.
    TransferProgress progress(&m_main, QStringLiteral("Reading the file: %1 of %2 KiB"), 500);
    progress.allowCancel();
    const qint64 kib = std::max<qint64>(1, file.size() / 1024);
    while (done.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready) {
        if (progress.due()) {
            progress.show(device.bytesRead() / 1024, kib);
        } else {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        if (progress.cancelled()) {
            device.stop();
        }
    }
    done.get();
    return !device.stopped();
}

void TransferController::importFile(const QString& path, const QString& cannotOpen, ImportFormat format,
                                    const QString& owner) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        m_status.error(cannotOpen);
        return;
    }
    // The owner follows the format the content shows, not the pattern chosen; worked out here, as
    // the first reading runs on a thread of its own.
    const QString csvOwner = importOwner(ImportFormat::Csv, m_main.ownerBox()->currentText(), homeFolder());
    const QString bookmarkOwner = importOwner(ImportFormat::Bookmarks, QString(), homeFolder());
    ImportCallbacks first;
    first.ownerFor = [=](ImportFormat found) {
        if (found == format) {
            return owner;
        }
        return found == ImportFormat::Csv ? csvOwner : (found == ImportFormat::Bookmarks ? bookmarkOwner : QString());
    };
    const QString cancelled = QStringLiteral("Import cancelled, nothing was stored.");
    ImportOptions options;
    CsvColumnsKnown columns;
    if (detectImportFormat(file, format) == ImportFormat::Csv) {
        columns = knownCsvColumns(file, m_state.files.settingsFile, options);
    }
    const bool columnsStep = columns.choosable;
    bool askColumns = !columns.known;
    const QString spillFolder = importSpillFolder(m_state.database, m_state.files.temporaryFolder);
    ImportPreview preview;
    ImportReading reading;
    for (;;) {
        if (askColumns) {
            if (!m_state.seams.csvColumns || !m_state.seams.csvColumns(file, options, &m_main)) {
                m_status.info(cancelled);
                return;
            }
            if (const Result kept = keepCsvColumns(file, m_state.files.settingsFile, options); !kept) {
                m_status.error(
                    QStringLiteral("The choice of columns could not be kept for the next file: %1").arg(kept.error()));
            }
        }
        preview = ImportPreview(ImportPreview::defaultKeepLimit, spillFolder);
        if (!file.seek(0) || !readFirst(file, format, first, options, preview, reading)) {
            m_status.info(cancelled);
            return;
        }
        if (!reading.error.isEmpty()) {
            // A CSV line further on than the step's sample that is not UTF-8: the step offers the
            // file's encoding rather than the import being refused.
            if (columnsStep && options.encoding.isEmpty() && reading.format == ImportFormat::Csv &&
                isNotUtf8Message(reading.error)) {
                options.readingProblem = reading.error;
                askColumns = true;
                continue;
            }
            m_status.error(reading.error);
            return;
        }
        options.readingProblem.clear();
        if (preview.recordCount() == 0) {
            m_status.error(noRecordMessage);
            return;
        }
        const PreviewAnswer answer = m_state.seams.importPreview
                                         ? m_state.seams.importPreview(preview, columnsStep, &m_main)
                                         : PreviewAnswer::Cancel;
        if (answer == PreviewAnswer::Import) {
            break;
        }
        if (answer == PreviewAnswer::Cancel) {
            m_status.info(cancelled);
            return;
        }
        askColumns = true;
    }
    ImportBatch batch(m_state, m_main, m_status, m_list);
    const ImportOutcome outcome = storeImport(m_state.database, file, reading, preview, batch.callbacks(), options);
    preview = ImportPreview(); // what it kept is stored: its memory is the list's to refill with
    if (!batch.finish(outcome)) {
        return; // the batch has said why
    }
    if (!outcome.records.isEmpty()) {
        UndoStep step;
        step.kind = UndoStep::Import;
        step.numbers = outcome.records;
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
    // What the format cannot carry is found as the file is written, and said before it is put in
    // place: the user can still choose CSV instead, and the old file stays.
    bool cancelled = false;
    const ExportResult result = exportTable(
        m_state.database, format, choice.path,
        [&](const ExportStep& step) {
            count = step.count();
            if (progress.due()) {
                held = step.heldSiteName();
                showProgress();
                progress.show(count);
            }
        },
        [&](const ExportLoss& loss) {
            const QString message = exportLossMessage(loss, format);
            if (!message.isEmpty() && progress.dialog()) {
                progress.dialog()->hide(); // the question stands alone
            }
            cancelled =
                !message.isEmpty() && m_status.ask(QStringLiteral("Export Warning"), message,
                                                   {QStringLiteral("Export"), QStringLiteral("Cancel")}, 0) != 0;
            return !cancelled;
        });
    if (cancelled) {
        m_status.error(QStringLiteral("User cancelled the export process."));
        return;
    }
    held = result.lastSiteName;
    showProgress();
    if (!result.error.isEmpty()) {
        m_status.error(result.error);
    }
}

} // namespace quillbox
