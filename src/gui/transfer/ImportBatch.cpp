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
      m_progressDelayMs(progressDelayMs) {}

ImportBatch::~ImportBatch() {
    endBulk();
}

ImportCallbacks ImportBatch::callbacks() {
    ImportCallbacks c;
    c.started = [this](qsizetype records) { begin(records); };
    c.stored = [this](qint64 row, const Utf8Record&) { stored(row); };
    c.refused = [this](qsizetype line, const QString& reason) {
        m_pendingError = QStringLiteral("Line %1: %2").arg(line).arg(reason);
    };
    c.notStored = [this](const QString& reason) { m_pendingError = reason; };
    c.progress = [this](qsizetype handled) { progress(handled); };
    c.cancelled = [this] { return m_progress && m_progress->cancelled(); };
    return c;
}

void ImportBatch::begin(qsizetype records) {
    m_total = records;
    m_progress.emplace(&m_main, QStringLiteral("%1 of %2 records stored"), m_progressDelayMs);
    m_progress->allowCancel();
    m_model->setMasked(m_state.settings.optShowPrivate != 1);
    m_model->beginBulk();
    m_bulk = true;
    // A row stored is listed by its number and read back when shown: a million rows listed
    // while they are stored take a number each, not a copy of their cells.
    m_model->setStoredRowReader([&db = m_state.database](qint64 record) {
        RecordModel::Row row;
        Query query(db, recordStatement(QString::number(record)));
        if (query.next()) {
            row = {query.field(Col::SiteName), query.field(Col::UserName), query.field(Col::Password),
                   query.field(Col::HomePage), query.field(Col::Category), query.field(Col::Record),
                   query.field(Col::Notes)};
        }
        return row;
    });
    m_model->reserveStoredBulk(records);
}

void ImportBatch::stored(qint64 row) {
    m_model->appendStoredBulk(row);
}

void ImportBatch::progress(qsizetype handled) {
    m_handled = handled;
    if (m_progress && m_progress->due()) {
        refresh();
    }
}

void ImportBatch::refresh() {
    // The list grows on screen while the dialog is up; the bulk is closed for the repaint only.
    m_model->endBulk();
    m_main.ensureRowVisible(m_model->rowCount() - 1);
    if (!m_pendingError.isEmpty()) {
        m_status.error(m_pendingError);
    }
    m_progress->show(m_handled, m_total);
    m_model->beginBulk();
}

void ImportBatch::endBulk() {
    if (m_bulk) {
        m_bulk = false;
        m_model->endBulk();
    }
}

bool ImportBatch::finish(const ImportOutcome& outcome) {
    endBulk();
    m_progress.reset();
    if (outcome.status != ImportOutcome::Stored) {
        // The rows listed so far were never stored: show what the database holds.
        m_pendingError.clear();
        m_list.runSearch();
        m_status.error(QStringLiteral("Nothing was imported: %1.").arg(outcome.error));
        return false;
    }
    // The rows listed while storing were every imported record; now the boxes offer what the table
    // holds for the shown owner, and the list is what their search gives.
    m_list.refreshAfterChange();
    if (!m_pendingError.isEmpty()) {
        m_status.error(m_pendingError); // the latest refusal, over what the refill said
    }
    return true;
}

} // namespace quillbox
