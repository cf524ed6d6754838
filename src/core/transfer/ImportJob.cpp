#include "transfer/ImportJob.h"

#include "transfer/Bookmarks.h"
#include "transfer/ImportStore.h"

namespace quillbox {

namespace {

// Stores what the second reading hands over and tells the callbacks.
class StoringSink : public ImportSink {
public:
    StoringSink(ImportStore& store, const ImportCallbacks& callbacks, ImportOutcome& outcome)
        : m_store(store), m_callbacks(callbacks), m_outcome(outcome) {}

    void record(const SiteRecord& values) override { recordUtf8(Utf8Copy(values).views); }
    void recordUtf8(const Utf8Record& values) override {
        qint64 row = 0;
        if (m_store.insert(values, row)) {
            m_outcome.records.append(QString::number(row));
            if (m_callbacks.stored) {
                m_callbacks.stored(row, values);
            }
        } else if (!m_store.aborted() && m_callbacks.notStored) {
            m_callbacks.notStored(m_store.lastFailure());
        }
        handled();
    }
    void refused(qsizetype line, const QString& reason) override {
        ++m_outcome.refused;
        if (m_callbacks.refused) {
            m_callbacks.refused(line, reason);
        }
        handled();
    }

private:
    void handled() {
        ++m_handled;
        if (m_callbacks.progress) {
            m_callbacks.progress(m_handled);
        }
        if (m_callbacks.cancelled && !m_store.aborted() && m_callbacks.cancelled()) {
            m_store.abort(importCancelledMessage);
        }
    }

    ImportStore& m_store;
    const ImportCallbacks& m_callbacks;
    ImportOutcome& m_outcome;
    qsizetype m_handled = 0;
};

} // namespace

ImportOutcome runImport(Database& db, QIODevice& file, ImportFormat format, const QString& givenOwner,
                        const ImportCallbacks& callbacks, bool alongside) {
    ImportOutcome outcome;
    ImportPreview preview;
    // The content decides, and the preview says so when the name said otherwise.
    const ImportFormat named = format;
    format = detectImportFormat(file, named);
    outcome.format = format;
    if (format != named) {
        preview.setFormatNote(formatFoundMessage(format, named));
    }
    const QString owner = callbacks.ownerFor ? callbacks.ownerFor(format) : givenOwner;
    outcome.error = readImport(file, format, owner, preview);
    if (!outcome.error.isEmpty()) {
        return outcome;
    }
    if (callbacks.previewed) {
        callbacks.previewed(preview);
    }
    if (preview.recordCount() == 0) {
        outcome.status = ImportOutcome::NoRecords;
        outcome.error = noRecordMessage;
        return outcome;
    }
    if (callbacks.confirm && !callbacks.confirm(preview)) {
        outcome.status = ImportOutcome::NotConfirmed;
        return outcome;
    }
    if (callbacks.started) {
        callbacks.started(preview.recordCount());
    }
    ImportStore store(db);
    StoringSink sink(store, callbacks, outcome);
    if (const QString changed = replayImport(preview, file, format, owner, sink, alongside); !changed.isEmpty()) {
        store.abort(changed); // read again, the file is no longer what the first reading found: store none of it
    }
    outcome.imported = store.imported();
    outcome.failed = store.failed();
    outcome.lastFailure = store.lastFailure();
    if (!store.commit()) {
        outcome.status = ImportOutcome::NothingStored;
        outcome.error = store.abortReason();
        outcome.imported = 0;
        outcome.records.clear();
        return outcome;
    }
    outcome.status = ImportOutcome::Stored;
    return outcome;
}

QString importOwner(ImportFormat format, const QString& listedOwner, const QString& homeFolder) {
    const QString home = ownerFromHomeFolder(homeFolder);
    if (format == ImportFormat::Bookmarks || listedOwner.isEmpty()) {
        return home;
    }
    return listedOwner;
}

QString ownerListedFirst(const QStringList& owners, const QString& lastShown) {
    if (owners.contains(lastShown)) {
        return lastShown;
    }
    return owners.isEmpty() ? QString() : owners.constFirst();
}

} // namespace quillbox
