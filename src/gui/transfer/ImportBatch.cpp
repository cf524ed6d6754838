#include "transfer/ImportBatch.h"

#include "app/AppState.h"
#include "app/StatusLine.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"

namespace quillbox {

ImportBatch::ImportBatch(AppState& state, MainWindow& main, StatusLine& status, ListController& list,
                         int progressDelayMs)
    : m_state(state), m_main(main), m_status(status), m_list(list), m_model(main.model()),
      m_progress(&main, QStringLiteral("%1 records read"), progressDelayMs), m_store(state.database) {
    m_model->setMasked(state.settings.optShowPrivate != 1);
    m_model->beginBulk();
}

ImportBatch::~ImportBatch() {
    finish();
}

void ImportBatch::record(const SiteRecord& values) {
    recordUtf8(Utf8Copy(values).views);
}

void ImportBatch::recordUtf8(const Utf8Record& values) {
    qint64 row = 0;
    if (!m_store.insert(values, row)) {
        if (!m_store.aborted()) {
            error(m_store.lastFailure());
        }
        counted();
        return;
    }
    m_lastRow = row;
    const QString number = QString::number(row);
    m_records.append(number);
    const auto text = [&values](int k) { return QString::fromUtf8(values[static_cast<size_t>(k)]); };
    if (m_model->isMasked()) {
        const auto mask = [&](int k) { return m_shared.mask(utf16Length(values[static_cast<size_t>(k)])); };
        m_model->appendBulk({text(Col::SiteName), mask(Col::UserName), mask(Col::Password), mask(Col::HomePage),
                             m_shared.category(text(Col::Category)), number},
                            true);
    } else {
        m_model->appendBulk({text(Col::SiteName), text(Col::UserName), text(Col::Password), text(Col::HomePage),
                             m_shared.category(text(Col::Category)), number});
    }
    counted();
}

void ImportBatch::abort(const QString& reason) {
    m_store.abort(reason);
}

void ImportBatch::refused(qsizetype line, const QString& reason) {
    ++m_refused;
    error(QStringLiteral("Line %1: %2").arg(line).arg(reason));
    counted();
}

void ImportBatch::counted() {
    ++m_handled;
    if (m_progress.due()) {
        refresh();
    }
}

void ImportBatch::error(const QString& text) {
    m_pendingError = text;
}

void ImportBatch::refresh() {
    // The list grows on screen while the dialog is up; the bulk is closed for the repaint only.
    m_model->endBulk();
    m_main.ensureRowVisible(m_model->rowCount() - 1);
    if (!m_pendingError.isEmpty()) {
        m_status.error(m_pendingError);
        m_pendingError.clear();
    }
    m_progress.show(m_handled);
    m_model->beginBulk();
}

bool ImportBatch::finish() {
    if (!m_open) {
        return !m_store.aborted();
    }
    m_open = false;
    const bool stored = m_store.commit();
    m_model->endBulk();
    if (!stored) {
        // The rows listed so far were never stored: show what the database holds.
        m_pendingError.clear();
        m_list.runSearch();
        m_status.error(QStringLiteral("Nothing was imported: %1.").arg(m_store.abortReason()));
        return false;
    }
    if (m_store.imported() > 0) {
        // The last row stored becomes the current record, as the database now holds it.
        Query last(m_state.database, recordStatement(QString::number(m_lastRow)));
        if (last.next()) {
            readFullRow(last, m_state.currentRecord);
        }
    }
    m_main.ensureRowVisible(m_model->rowCount() - 1);
    // The rows were added in bulk, which reports no count of its own; the count field would
    // otherwise go on showing the count from before the import.
    m_status.count(m_model->rowCount());
    if (!m_pendingError.isEmpty()) {
        m_status.error(m_pendingError);
        m_pendingError.clear();
    }
    return true;
}

} // namespace quillbox
