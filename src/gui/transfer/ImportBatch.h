#pragma once

#include "mainwindow/RecordModel.h"
#include "transfer/ImportSink.h"
#include "transfer/ImportStore.h"
#include "transfer/TransferProgress.h"

#include <QString>
#include <QStringList>

namespace quillbox {

class ListController;
class MainWindow;
class RecordModel;
class StatusLine;
struct AppState;

// One import: one transaction, and the record list filled in bulk (no signal per row). Each
// record is inserted as a new row and appended to the list with its new number. Status messages keep their order, but
// only the screen's last one is drawn, when the progress dialog refreshes and at the end.
class ImportBatch : public ImportSink {
public:
    // The progress dialog appears once the import has run for progressDelayMs.
    ImportBatch(AppState& state, MainWindow& main, StatusLine& status, ListController& list,
                int progressDelayMs = 1000);
    ~ImportBatch() override;
    ImportBatch(const ImportBatch&) = delete;
    ImportBatch& operator=(const ImportBatch&) = delete;

    // values: the 29 text fields, plain.
    void record(const SiteRecord& values) override;
    void recordUtf8(const Utf8Record& values) override;
    void refused(qsizetype line, const QString& reason) override;
    // Commits, shows the list and the last message. Also done by the destructor. False when
    // nothing was stored: the transaction could not begin or commit, or the database refused a
    // write; the list is then reloaded from the database and the reason shown.
    bool finish();

    // Makes room in the list for this many records to come.
    void expect(qsizetype records) { m_model->reserveBulk(records); }

    // Ends the import without storing any of it; finish() then rolls back and says why.
    void abort(const QString& reason);

    int imported() const { return m_store.imported(); }
    // The numbers of the records stored, in order (an undo takes them back).
    const QStringList& records() const { return m_records; }
    int refusedCount() const { return m_refused; }
    // Records the database would not take, and its reason for the last of them.
    int failed() const { return m_store.failed(); }
    const QString& lastFailure() const { return m_store.lastFailure(); }

private:
    void counted();
    void error(const QString& text);
    void refresh();

    AppState& m_state;
    MainWindow& m_main;
    StatusLine& m_status;
    ListController& m_list;
    RecordModel* m_model;
    TransferProgress m_progress;
    ImportStore m_store;
    SharedCells m_shared;
    QString m_pendingError;
    QStringList m_records;
    qint64 m_lastRow = 0; // the last record stored, current once the import is committed
    int m_handled = 0;
    int m_refused = 0;
    bool m_open = true;
};

} // namespace quillbox
