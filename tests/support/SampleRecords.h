#pragma once

#include "store/SiteRecord.h"

#include <QList>
#include <QString>

namespace quillbox::sample {

// Deterministic records of realistic lengths: most belong to one owner (the one the list shows),
// the rest to four others, spread over a dozen categories.
QList<SiteRecord> generateRecords(int count, unsigned seed = 12345);
inline const QString mainOwner = QStringLiteral("Ann Example");

// Writes the records into a database file (and its folder) through the program's own statements.
// Returns the error, empty when all went in.
QString writeDatabase(const QString& file, const QList<SiteRecord>& records);

} // namespace quillbox::sample
