#pragma once

#include "transfer/ImportSink.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillbox {

struct RefusedLine {
    qsizetype line = 0;
    QString reason;
};

// What a first reading of an import file found, for the user to see before anything is stored:
// how many records, every refused line, how the columns are placed, and the first records as
// they will be stored.
class ImportPreview : public ImportSink {
public:
    static constexpr int firstRecordsKept = 50;
    // Beyond this many the refusals are only counted, so a long file of junk stays small.
    static constexpr int refusalsKept = 10000;

    void record(const SiteRecord& values) override;
    void refused(qsizetype line, const QString& reason) override;
    void mapping(const QStringList& columns) override { m_mapping = columns; }
    bool wantsValues() const override { return m_first.size() < firstRecordsKept; }

    qsizetype recordCount() const { return m_records; }
    qsizetype refusedCount() const { return m_refused; }
    const QList<RefusedLine>& refusals() const { return m_refusals; }
    const QStringList& columnMapping() const { return m_mapping; }
    const QList<SiteRecord>& firstRecords() const { return m_first; }

private:
    qsizetype m_records = 0;
    qsizetype m_refused = 0;
    QList<RefusedLine> m_refusals;
    QStringList m_mapping;
    QList<SiteRecord> m_first;
};

inline const QString noRecordMessage = QStringLiteral("No record could be read from the file; nothing was imported.");

// The status line after an import.
QString importedMessage(qsizetype imported, qsizetype refused);

} // namespace quillbox
