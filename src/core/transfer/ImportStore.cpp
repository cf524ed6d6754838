#include "transfer/ImportStore.h"

namespace quillbox {

ImportStore::ImportStore(Database& db) : m_db(db), m_transaction(db) {
    if (!m_transaction.begin()) {
        m_abortReason = m_transaction.errorText();
    }
    m_inserter.emplace(db);
}

bool ImportStore::insert(const Utf8Record& values, qint64& newRow) {
    if (aborted()) {
        return false;
    }
    if (m_inserter->insert(values, newRow)) {
        ++m_imported;
        return true;
    }
    ++m_failed;
    m_lastFailure = m_inserter->errorText();
    endIfWritesRefused();
    return false;
}

void ImportStore::endIfWritesRefused() {
    if (m_db.lastFailureRefusesWrites() || !m_db.inTransaction()) {
        abort(Transaction::describe(m_db));
    }
}

bool ImportStore::insertBatch(std::span<const Utf8Record> records, std::span<qint64> rows) {
    if (aborted()) {
        return false;
    }
    switch (m_inserter->insertBatch(records, rows)) {
    case RecordInserter::Batch::Stored:
        m_imported += static_cast<int>(records.size());
        return true;
    case RecordInserter::Batch::Unsure:
        abort(m_inserter->errorText()); // rows stored that the import cannot name: none of it is kept
        return false;
    case RecordInserter::Batch::Unavailable:
        return false;
    case RecordInserter::Batch::Refused:
        endIfWritesRefused();
        return false;
    }
    return false;
}

void ImportStore::abort(const QString& reason) {
    if (m_abortReason.isEmpty()) {
        m_abortReason = reason;
        if (!m_transaction.rollback()) {
            m_abortReason += QStringLiteral("; ") + m_transaction.errorText();
        }
    }
}

bool ImportStore::commit() {
    m_inserter.reset(); // no statement may stay open over the commit
    if (m_abortReason.isEmpty() && !m_transaction.commit()) {
        m_abortReason = m_transaction.errorText();
    }
    m_transaction.rollback(); // open only when nothing was tried: commit() rolls back its own failure
    return m_abortReason.isEmpty();
}

} // namespace quillbox
