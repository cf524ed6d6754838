#pragma once

#include "mainwindow/RecordModel.h"
#include "transfer/ImportJob.h"
#include "transfer/TransferProgress.h"

#include <QString>

#include <optional>

namespace quillbox {

class ListController;
class MainWindow;
class StatusLine;
struct AppState;

// The window's side of one import: each record stored is appended to the list in bulk (no
// signal per row) by its new number, its cells read back from the database when shown. Status messages keep their
// order, but only the screen's last one is drawn, when the progress dialog refreshes and at the end.
class ImportBatch {
public:
    // The progress dialog appears once the storing has run for progressDelayMs.
    ImportBatch(AppState& state, MainWindow& main, StatusLine& status, ListController& list,
                int progressDelayMs = 1000);
    ~ImportBatch();
    ImportBatch(const ImportBatch&) = delete;
    ImportBatch& operator=(const ImportBatch&) = delete;

    // What the import tells the window as it stores (the confirmation is the caller's).
    ImportCallbacks callbacks();
    // Once the import has ended, shows the list and the last message. False when nothing was
    // stored: the list is then reloaded from the database and the reason shown.
    bool finish(const ImportOutcome& outcome);

private:
    void begin(qsizetype records);
    void stored(qint64 row);
    void progress(qsizetype handled);
    void refresh();
    void endBulk();

    AppState& m_state;
    MainWindow& m_main;
    StatusLine& m_status;
    ListController& m_list;
    RecordModel* m_model;
    int m_progressDelayMs;
    std::optional<TransferProgress> m_progress;
    QString m_pendingError; // the latest refusal or failure
    qsizetype m_handled = 0;
    qsizetype m_total = 0;
    bool m_bulk = false;
};

} // namespace quillbox
