// The import and export commands: file requester, choice of format, status line, and the
// refill of the owner and category boxes after an import.
#include "app/Program.h"
#include "mainwindow/MainWindow.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "transfer/Bookmarks.h"
#include "transfer/ExportCheck.h"
#include "transfer/FilePatterns.h"
#include "transfer/ImportBatch.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportRead.h"
#include "transfer/TableExport.h"
#include "transfer/TransferProgress.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillbox {

namespace {

struct FileChoice {
    QString path; // empty when cancelled
    int pattern = 0;
};

FileChoice askForFile(AppState& state, const QString& title, const QString& patternList, bool save) {
    FileChoice choice;
    if (!state.seams.fileRequester) {
        return choice;
    }
    const QStringList filters = requesterFilters(patternList);
    QString selected = filters.value(0);
    choice.path = state.seams.fileRequester(title, QStringLiteral("Quillbox"), filters.join(QStringLiteral(";;")),
                                            &selected, save);
    choice.pattern = std::max<int>(0, static_cast<int>(filters.indexOf(selected)));
    return choice;
}

// The owner and category boxes after an import: every owner and every category of the table,
// with the values of the last session selected when they are there.
void refillBoxesAfterImport(Program& program) {
    AppState& state = program.state();
    MainWindow* main = program.mainWindow();
    auto refill = [&](QComboBox* box, const QString& statement, const QString& last) {
        box->clear();
        box->addItems(distinctValues(state.database, statement));
        if (!last.isEmpty()) {
            box->setCurrentText(last);
        } else if (box->count() > 0) {
            box->setCurrentIndex(0);
        }
    };
    refill(main->ownerBox(), ownerListStatement(), state.lastOwner);
    refill(main->categoryBox(), allCategoriesStatement(), state.lastCategory);
}

// An import reads the file twice, a piece at a time: first into a preview the user sees before
// anything is stored, then, if the user goes on, into the database in one transaction.
void importFile(Program& program, const QString& path, const QString& cannotOpen, ImportFormat format,
                const QString& owner) {
    AppState& state = program.state();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        program.showError(cannotOpen);
        return;
    }
    ImportPreview preview;
    const QString refusal = readImport(file, format, owner, preview);
    if (!refusal.isEmpty()) {
        program.showError(refusal);
        return;
    }
    if (preview.recordCount() == 0) {
        program.showError(noRecordMessage);
        return;
    }
    if (!state.seams.importPreview || !state.seams.importPreview(preview, program.mainWindow())) {
        program.showInfo(QStringLiteral("Import cancelled, nothing was stored."));
        return;
    }
    if (!file.seek(0)) {
        program.showError(cannotOpen);
        return;
    }
    ImportBatch batch(program);
    const QString changed = readImportAlongside(file, format, owner, batch);
    if (!changed.isEmpty()) {
        batch.abort(changed); // the file changed since the preview: store none of it
    }
    if (!batch.finish()) {
        return; // the batch has said why
    }
    const QString message = importedMessage(batch.imported(), batch.refusedCount());
    if (batch.failed() > 0) {
        program.showError(message + QStringLiteral(" %1 not stored: %2").arg(batch.failed()).arg(batch.lastFailure()));
    } else {
        program.showInfo(message);
    }
}

QString homeOwner(Program& program) {
    const AppState& state = program.state();
    return ownerFromHomeFolder(state.seams.homeFolder ? state.seams.homeFolder() : QDir::homePath());
}

// Whose records a file from another program's layout becomes: the owner the list shows.
QString listedOwner(Program& program) {
    const QString owner = program.mainWindow()->ownerBox()->currentText();
    return owner.isEmpty() ? homeOwner(program) : owner;
}

void importXml(Program& program, const QString& path) {
    if (path.isEmpty()) {
        program.showInfo(QStringLiteral("No filename as user cancelled the process"));
        return;
    }
    const QString cannotLoad = QStringLiteral("Could not load the XML data file for importing");
    if (QFileInfo(path).size() == 0) {
        program.showError(cannotLoad);
        return;
    }
    importFile(program, path, cannotLoad, ImportFormat::Xml, QString());
}

} // namespace

void Program::importRecords() {
    const FileChoice choice = askForFile(m_state, QStringLiteral("Import file from"), importPatternList, false);
    if (choice.path.isEmpty()) {
        showError(QStringLiteral("User cancelled the import process."));
        return;
    }
    const QString cannotOpen = QStringLiteral("Could not open the import file.");
    switch (choice.pattern) {
    case 1:
        importFile(*this, choice.path, cannotOpen, ImportFormat::Csv, listedOwner(*this));
        break;
    case 2:
        importXml(*this, choice.path);
        break;
    case 3:
        importFile(*this, choice.path, QStringLiteral("The import file could not be read"), ImportFormat::Bookmarks,
                   homeOwner(*this));
        break;
    default:
        importFile(*this, choice.path, cannotOpen, ImportFormat::Text, QString());
        break;
    }
    refillBoxesAfterImport(*this);
}

void Program::exportRecords() {
    const FileChoice choice = askForFile(m_state, QStringLiteral("Export file to"), exportPatternList, true);
    if (choice.path.isEmpty()) {
        showError(QStringLiteral("User cancelled the export process."));
        return;
    }
    const ExportFormat format =
        choice.pattern == 1 ? ExportFormat::Csv : (choice.pattern == 2 ? ExportFormat::Xml : ExportFormat::Text);
    // Once a run: every password of the table will stand in the file as typed.
    if (!m_exportWarned) {
        m_exportWarned = true;
        messageBox(QStringLiteral("Export Warning"),
                   QStringLiteral("The export file will hold every password in plain text. Keep it where only you "
                                  "can read it, and delete it when it is no longer needed."));
    }
    // Said before anything is written, so the user can still choose CSV instead.
    const QString loss = exportLossMessage(exportLoss(m_state.database, format), format);
    if (!loss.isEmpty()) {
        messageBox(QStringLiteral("Export Warning"), loss);
    }
    // The XML export shows no per-record messages; the line formats show the last record and
    // the count, drawn when the progress dialog refreshes and at the end.
    const bool perRecordStatus = format != ExportFormat::Xml;
    TransferProgress progress(m_main.get(), QStringLiteral("%1 records exported"));
    QString held;
    int count = 0;
    auto showProgress = [&] {
        if (perRecordStatus && count > 0) {
            showInfo(QStringLiteral("Exported ") + held);
            showStatus(3, QString::number(count));
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
        showError(result.error);
    }
}

} // namespace quillbox
