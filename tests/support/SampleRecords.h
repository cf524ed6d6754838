#pragma once

#include "store/SiteRecord.h"

#include <QList>
#include <QString>

#include <memory>

namespace quillbox {
class FileKey;
}

namespace quillbox::sample {

// Deterministic records of realistic lengths: most belong to one owner (the one the list shows),
// the rest to four others, spread over a dozen categories.
QList<SiteRecord> generateRecords(int count, unsigned seed = 12345);
inline const QString mainOwner = QStringLiteral("Ann Example");

// Writes the records into a database file (and its folder) through the program's own statements.
// Returns the error, empty when all went in.
QString writeDatabase(const QString& file, const QList<SiteRecord>& records);

// The tests' program password, and a key from it as cheap as the format allows.
inline const QString password = QStringLiteral("Quill-test-01");
std::shared_ptr<const FileKey> cheapKey(const QString& typed = password);
// Encrypts an existing database file in place with a cheap key; null, with a failed check, when it
// could not.
std::shared_ptr<const FileKey> encryptFile(const QString& file, const QString& typed = password);
// The key that opens a file: an encrypted file's from the password, null for a plain one.
std::shared_ptr<const FileKey> keyOf(const QString& file, const QString& typed = password);

} // namespace quillbox::sample
