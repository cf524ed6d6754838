#include "support/Files.h"

#include <QFile>

namespace quillbox::test {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

QString dataPath(const QString& name) {
    return QStringLiteral(QUILLBOX_TEST_DATA "/") + name;
}

} // namespace quillbox::test
