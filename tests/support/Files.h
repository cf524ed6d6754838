#pragma once

#include <QByteArray>
#include <QString>

namespace quillbox::test {

// A file's bytes, or "<missing>" when it cannot be read, so that a missing file never equals an
// empty one.
QByteArray readAll(const QString& path);
// Writes the bytes over the file; false when they did not all go in.
[[nodiscard]] bool writeAll(const QString& path, const QByteArray& bytes);
// A file of the tests' data folder.
QString dataPath(const QString& name);

} // namespace quillbox::test
