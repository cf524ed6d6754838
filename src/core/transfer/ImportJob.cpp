#include "transfer/ImportJob.h"

#include "transfer/Bookmarks.h"
#include "transfer/ImportStore.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace quillbox {

namespace {

// Stores what the reading hands over and tells the callbacks. Records are gathered and stored
// RecordInserter::batchRows at a time; a refused line first stores those gathered, so the
// callbacks hear of everything in file order.
class StoringSink : public ImportSink {
public:
    StoringSink(ImportStore& store, const ImportCallbacks& callbacks, ImportOutcome& outcome)
        : m_store(store), m_callbacks(callbacks), m_outcome(outcome) {}

    void record(const SiteRecord& values) override { recordUtf8(Utf8Copy(values).views); }
    void recordUtf8(const Utf8Record& values) override {
        if (RecordInserter::holdsNul(values)) {
            flush();
            storeOne(values);
            return;
        }
        // The values outlive the call only as a copy, made with one growth of the buffer.
        qsizetype total = 0;
        for (const QByteArrayView v : values) {
            total += v.size();
        }
        qsizetype at = m_bytes.size();
        if (m_bytes.capacity() < at + total) {
            m_bytes.reserve(2 * (at + total));
        }
        m_bytes.resize(at + total);
        auto& lengths = m_gathered.emplace_back();
        for (size_t k = 0; k < values.size(); ++k) {
            lengths[k] = static_cast<uint32_t>(values[k].size());
            if (!values[k].isEmpty()) {
                std::memcpy(m_bytes.data() + at, values[k].data(), static_cast<size_t>(values[k].size()));
                at += values[k].size();
            }
        }
        if (m_gathered.size() == RecordInserter::batchRows) {
            flush();
        }
    }
    void refused(qsizetype line, const QString& reason) override {
        flush();
        ++m_outcome.refused;
        if (m_callbacks.refused) {
            m_callbacks.refused(line, reason);
        }
        handled();
    }
    // Stores what is still gathered.
    void flush() {
        if (m_gathered.empty()) {
            return;
        }
        std::array<Utf8Record, RecordInserter::batchRows> records;
        const char* at = m_bytes.constData();
        for (size_t i = 0; i < m_gathered.size(); ++i) {
            for (size_t k = 0; k < records[i].size(); ++k) {
                records[i][k] = QByteArrayView(at, m_gathered[i][k]);
                at += m_gathered[i][k];
            }
        }
        const std::span<const Utf8Record> batch(records.data(), m_gathered.size());
        std::array<qint64, RecordInserter::batchRows> rows{};
        if (batch.size() == RecordInserter::batchRows && m_store.insertBatch(batch, rows)) {
            for (size_t i = 0; i < batch.size(); ++i) {
                stored(rows[i], batch[i]);
            }
        } else {
            for (const Utf8Record& values : batch) {
                storeOne(values); // a batch is refused whole: which of its records is to blame
            }
        }
        m_gathered.clear();
        m_bytes.resize(0); // keeps its buffer
    }

private:
    void storeOne(const Utf8Record& values) {
        qint64 row = 0;
        if (m_store.insert(values, row)) {
            stored(row, values);
            return;
        }
        if (!m_store.aborted() && m_callbacks.notStored) {
            m_callbacks.notStored(m_store.lastFailure());
        }
        handled();
    }
    void stored(qint64 row, const Utf8Record& values) {
        m_outcome.records.append(row);
        if (m_callbacks.stored) {
            m_callbacks.stored(row, values);
        }
        handled();
    }
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
    // The records gathered: their values' lengths, the values back to back in m_bytes.
    std::vector<std::array<uint32_t, Col::TextColumns>> m_gathered;
    QByteArray m_bytes;
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
    sink.flush();
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
