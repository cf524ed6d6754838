#pragma once

#include "Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quillbox {

// The upper-case hex SHA-1 of a password's UTF-8 bytes, as breach lists key them.
QByteArray breachHash(const QString& password);

struct BreachLookup {
    // For each hash asked about, in the order given: how often the list says it was seen, 0 when
    // it is not in the list.
    QList<qint64> counts;
    QString error; // why the list could not be read; empty when it was
};

// Looks hashes up in a breach list: a text file of "HASH:count" lines sorted by hash (upper or
// lower case hex, CR LF or LF). The file is never loaded: a few hashes are found by binary search
// on it, many by one pass that walks the file and the sorted hashes side by side, holding one
// buffer. A line out of order or not of that layout stops the lookup with an error.
BreachLookup lookUpBreaches(const QString& listFile, const QList<QByteArray>& hashes);

} // namespace quillbox
