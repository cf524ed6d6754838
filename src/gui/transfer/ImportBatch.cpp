#include "transfer/ImportBatch.h"

#include "app/AppState.h"
#include "app/StatusLine.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/SiteStore.h"

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
    SiteRecord& current = m_state.currentRecord;
    QString number;
    if (m_store.aborted()) {
        counted();
        return;
    }
    if (m_store.insert(values, number)) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            current[k] = values[k];
        }
        current[Col::Record] = number;
        if (m_model->isMasked()) {
            m_model->appendBulk({values[Col::SiteName], m_shared.mask(values[Col::UserName]),
                                 m_shared.mask(values[Col::Password]), m_shared.mask(values[Col::HomePage]),
                                 m_shared.category(values[Col::Category]), number},
                                true);
        } else {
            m_model->appendBulk({values[Col::SiteName], values[Col::UserName], values[Col::Password],
                                 values[Col::HomePage], m_shared.category(values[Col::Category]), number});
        }
    } else if (!m_store.aborted()) {
        error(m_store.lastFailure());
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
