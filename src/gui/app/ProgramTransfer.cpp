// The import and export commands: file requester, choice of format, status line, and the
// refill of the owner and category boxes after an import.
#include "app/Program.h"
#include "mainwindow/MainWindow.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "transfer/Bookmarks.h"
#include "transfer/CsvFormat.h"
#include "transfer/FilePatterns.h"
#include "transfer/ImportBatch.h"
#include "transfer/ImportText.h"
#include "transfer/TableExport.h"
#include "transfer/TextFormat.h"
#include "transfer/TransferProgress.h"
#include "transfer/XmlDump.h"
#include "transfer/XmlTree.h"

#include <QComboBox>
#include <QDir>

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

void importLines(Program& program, const QString& path, bool csv) {
    const std::optional<QByteArray> bytes = readImportFile(path);
    if (!bytes) {
        program.showError(QStringLiteral("Could not open the import file."));
        return;
    }
    const QString text = decodeImportBytes(*bytes);
    ImportBatch batch(program);
    if (csv) {
        readCsvRecords(text, batch);
    } else {
        readTextRecords(text, batch);
    }
    batch.finish();
}

void importXml(Program& program, const QString& path) {
    if (path.isEmpty()) {
        program.showInfo(QStringLiteral("No filename as user cancelled the process"));
        return;
    }
    const std::optional<QByteArray> bytes = readImportFile(path);
    if (!bytes || bytes->isEmpty()) {
        program.showError(QStringLiteral("Could not load the XML data file for importing"));
        return;
    }
    // A parse error is not reported: what was read before it is imported.
    XmlTree tree;
    tree.load(*bytes);
    const QList<XmlItem> items = collectXmlItems(tree);
    ImportBatch batch(program);
    for (const XmlItem& item : items) {
        batch.insertItem(item);
    }
    batch.finish();
}

void importBookmarks(Program& program, const QString& path) {
    const AppState& state = program.state();
    const QString owner = ownerFromHomeFolder(state.seams.homeFolder ? state.seams.homeFolder() : QDir::homePath());
    const std::optional<QByteArray> bytes = readImportFile(path);
    if (!bytes) {
        program.showError(QStringLiteral("The import file could not be read"));
        return;
    }
    const QList<BookmarkEntry> entries = readBookmarks(decodeImportBytes(*bytes), owner);
    if (entries.isEmpty()) {
        return;
    }
    ImportBatch batch(program);
    for (const BookmarkEntry& entry : entries) {
        batch.record(bookmarkRecord(entry));
    }
    batch.finish();
}

} // namespace

void Program::importRecords() {
    const FileChoice choice = askForFile(m_state, QStringLiteral("Import file from"), importPatternList, false);
    if (choice.path.isEmpty()) {
        showError(QStringLiteral("User cancelled the import process."));
        return;
    }
    switch (choice.pattern) {
    case 1:
        importLines(*this, choice.path, true);
        break;
    case 2:
        importXml(*this, choice.path);
        break;
    case 3:
        importBookmarks(*this, choice.path);
        break;
    default:
        importLines(*this, choice.path, false);
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
