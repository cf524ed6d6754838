// Commands that act on list rows without a window: clipboard copies and the home page.
#include "app/ClipboardKeeper.h"
#include "app/Program.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordActions.h"
#include "record/RecordForm.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"

#include <QUrl>

namespace quillbox {

void Program::copyRecords() {
    const RecordModel* model = m_main->model();
    QString text;
    int count = 0;
    for (int row : m_main->selectedRows()) {
        const QString record = model->cell(row, RecordModel::Record);
        if (!isRecordNumber(record)) {
            showError(QStringLiteral("There is no record number on this line to copy data from."));
            continue;
        }
        Query query(m_state.database, recordStatement(record));
        QString rowText;
        SiteRecord found;
        while (query.next()) {
            readFullRow(query, found);
            rowText += recordClipboardText(found);
        }
        if (query.failed()) {
            showError(QStringLiteral("The database query failed to be executed."));
            continue;
        }
        text += rowText;
        ++count;
    }
    putOnClipboard(text);
    showInfo(copiedMessage(count));
}

void Program::copyLoginField(int column) {
    const int row = m_main->currentRow();
    if (row < 0) {
        showError(QStringLiteral("There is no current line selected."));
        return;
    }
    const QString record = m_main->model()->cell(row, RecordModel::Record);
    if (!isRecordNumber(record)) {
        showError(QStringLiteral("There is no record number for this line."));
        return;
    }
    // The list may hold the value masked: it is read from the record itself.
    SiteRecord found;
    bool listed = false;
    {
        Query query(m_state.database, recordStatement(record));
        while (query.next()) {
            readFullRow(query, found);
            listed = true;
        }
        if (query.failed()) {
            showError(QStringLiteral("The database query failed."));
            return;
        }
    }
    if (!listed) {
        showError(QStringLiteral("This record is no longer in the database."));
        return;
    }
    const QString label = loginFieldLabel(found, column);
    if (found[column].isEmpty()) {
        // The clipboard keeps what it held: an empty copy would only lose that.
        showError(QStringLiteral("There is no %1 on this record to copy.").arg(label));
        return;
    }
    putOnClipboard(found[column]);
    showInfo(loginCopiedMessage(label, found[Col::SiteName], m_clipboard->isPending() ? clipboardDelaySeconds() : 0));
}

void Program::openHomePage() {
    const int row = m_main->currentRow();
    if (row < 0) {
        showError(QStringLiteral("There is no current line selected."));
        return;
    }
    const QString record = m_main->model()->cell(row, RecordModel::Record);
    if (!isRecordNumber(record)) {
        showError(QStringLiteral("There is no record number for this line."));
        return;
    }
    QString homePage;
    {
        Query query(m_state.database, homePageStatement(record));
        while (query.next()) {
            homePage = sqlReadBack(query.text(0));
        }
        if (query.failed()) {
            showError(QStringLiteral("The database query failed."));
            return;
        }
    }
    // Only a web address is handed on; the shell never sees a file, a program or a bare name.
    const QString address = homePageAddress(homePage);
    if (!address.isEmpty() && m_state.seams.openUrl) {
        m_state.seams.openUrl(QUrl(address, QUrl::TolerantMode));
    }
}

} // namespace quillbox
