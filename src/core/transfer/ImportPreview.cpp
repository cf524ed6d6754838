#include "transfer/ImportPreview.h"

namespace quillbox {

void ImportPreview::record(const SiteRecord& values) {
    if (m_first.size() < firstRecordsKept) {
        m_first.append(values);
    }
    ++m_records;
}

void ImportPreview::refused(qsizetype line, const QString& reason) {
    if (m_refusals.size() < refusalsKept) {
        m_refusals.append({line, reason});
    }
    ++m_refused;
}

QString importedMessage(qsizetype imported, qsizetype refused) {
    return (imported == 1 ? QStringLiteral("1 record imported, ")
                          : QStringLiteral("%1 records imported, ").arg(imported)) +
           (refused == 1 ? QStringLiteral("1 line refused.") : QStringLiteral("%1 lines refused.").arg(refused));
}

} // namespace quillbox
