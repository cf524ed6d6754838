#pragma once

#include "store/SiteRecord.h"

#include <QString>

namespace quillbox {

// Receives what a line reader finds, in file order: records (their 29 text fields as plain,
// unquoted text) and the messages of refused lines.
class ImportSink {
public:
    virtual ~ImportSink() = default;
    virtual void record(const SiteRecord& values) = 0;
    virtual void refused(const QString& message) = 0;
};

inline const QString noDelimiterMessage = QStringLiteral("Data delimiter not found, invalid line format.");
inline const QString missingColumnsMessage = QStringLiteral("Missing columns of data, invalid line format.");

} // namespace quillbox
