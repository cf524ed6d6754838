#include "transfer/ImportBatch.h"

#include "app/Program.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"

namespace quillbox {

ImportBatch::ImportBatch(Program& program)
    : m_program(program), m_model(program.mainWindow()->model()),
      m_progress(program.mainWindow(), QStringLiteral("%1 records read")) {
    AppState& state = m_program.state();
    state.database.execute(QStringLiteral("Begin Transaction"));
    m_model->beginBulk();
    state.bulkLoading = 1;
}

ImportBatch::~ImportBatch() { finish(); }

void ImportBatch::record(const SiteRecord& values) {
    AppState& state = m_program.state();
    SiteRecord& current = state.currentRecord;
    for (int k = 0; k < Col::TextColumns; ++k) {
        current[k] = sqlQuote(values[k]);
    }
    afterInsert(state.database.execute(buildInsertStatement(current)));
}

void ImportBatch::insertItem(const XmlItem& item) {
    AppState& state = m_program.state();
    const bool ok = state.database.execute(xmlInsertStatement(item));
    if (ok) {
        // The row shows the values themselves, placed by their names.
        const SiteRecord values = xmlItemRecord(item);
        for (int k = 0; k < Col::TextColumns; ++k) {
            state.currentRecord[k] = sqlQuote(values[k]);
        }
    }
    afterInsert(ok);
}

void ImportBatch::afterInsert(bool ok) {
    AppState& state = m_program.state();
    if (ok) {
        const QString number = lastInsertedRecord(state.database);
        state.currentRecord[Col::Record] = number;
        if (!number.isEmpty()) {
            m_model->appendBulk(m_program.rowFromCurrentRecord(true));
        }
        ++m_inserted;
    } else {
        error(state.database.errorText());
    }
    ++m_handled;
    if (m_progress.due()) {
        refresh();
    }
}

void ImportBatch::refused(const QString& message) {
    error(message);
    ++m_handled;
    if (m_progress.due()) {
        refresh();
    }
}

void ImportBatch::error(const QString& text) { m_pendingError = text; }

void ImportBatch::refresh() {
    // The list grows on screen while the dialog is up; the bulk is closed for the repaint only.
    m_model->endBulk();
    m_program.mainWindow()->ensureRowVisible(m_model->rowCount() - 1);
    if (!m_pendingError.isEmpty()) {
        m_program.showError(m_pendingError);
        m_pendingError.clear();
    }
    m_progress.show(m_handled);
    m_model->beginBulk();
}

void ImportBatch::finish() {
    if (!m_open) {
        return;
    }
    m_open = false;
    AppState& state = m_program.state();
    state.database.execute(QStringLiteral("Commit"));
    state.bulkLoading = 0;
    m_model->endBulk();
    m_program.mainWindow()->ensureRowVisible(m_model->rowCount() - 1);
    if (!m_pendingError.isEmpty()) {
        m_program.showError(m_pendingError);
        m_pendingError.clear();
    }
}

} // namespace quillbox
