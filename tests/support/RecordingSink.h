#pragma once

#include "transfer/ImportSink.h"

#include <QList>
#include <QStringList>

namespace quillbox::test {

// The 29 text fields joined by "|", trailing empty fields left off: short enough for a table.
inline QString summary(const SiteRecord& r) {
    QStringList fields;
    for (int k = 0; k < Col::TextColumns; ++k) {
        fields << r[k];
    }
    while (!fields.isEmpty() && fields.last().isEmpty()) {
        fields.removeLast();
    }
    return fields.join(QLatin1Char('|'));
}

// Keeps what a reader reports, in order: "R:" and the record's summary, or the refused line's
// number and reason.
struct RecordingSink : ImportSink {
    QStringList events;
    QList<SiteRecord> records;
    void record(const SiteRecord& values) override {
        records.append(values);
        events.append(QStringLiteral("R:") + summary(values));
    }
    QStringList columns;
    void refused(qsizetype line, const QString& reason) override {
        events.append(QStringLiteral("%1: ").arg(line) + reason);
    }
    void mapping(const QStringList& c) override { columns = c; }
};

} // namespace quillbox::test
