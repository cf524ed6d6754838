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
            m_outcome.records.append(row);
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

ImportReading readImportPreview(QIODevice& file, ImportFormat named, const QString& givenOwner,
                                const ImportCallbacks& callbacks, const ImportOptions& options,
                                ImportPreview& preview) {
    ImportReading reading;
    reading.format = detectImportFormat(file, named);
    if (reading.format != named) {
        preview.setFormatNote(formatFoundMessage(reading.format, named));
    }
    reading.owner = callbacks.ownerFor ? callbacks.ownerFor(reading.format) : givenOwner;
    reading.error = readImport(file, reading.format, reading.owner, preview, options);
    return reading;
}

ImportOutcome storeImport(Database& db, QIODevice& file, const ImportReading& reading, const ImportPreview& preview,
                          const ImportCallbacks& callbacks, const ImportOptions& options, bool alongside) {
    ImportOutcome outcome;
    outcome.format = reading.format;
    if (callbacks.started) {
        callbacks.started(preview.recordCount());
    }
    ImportStore store(db);
    StoringSink sink(store, callbacks, outcome);
    if (const QString changed = replayImport(preview, file, reading.format, reading.owner, sink, alongside, options);
        !changed.isEmpty()) {
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

ImportOutcome runImport(Database& db, QIODevice& file, ImportFormat format, const QString& givenOwner,
                        const ImportCallbacks& callbacks, bool alongside, const ImportOptions& options) {
    ImportPreview preview;
    const ImportReading reading = readImportPreview(file, format, givenOwner, callbacks, options, preview);
    ImportOutcome outcome;
    outcome.format = reading.format;
    outcome.error = reading.error;
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
    return storeImport(db, file, reading, preview, callbacks, options, alongside);
}

QString importSpillFolder(const Database& db, const QString& temporaryFolder) {
    return db.isEncrypted() ? QString() : temporaryFolder;
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
