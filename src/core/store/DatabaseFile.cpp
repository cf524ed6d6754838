#include "store/DatabaseFile.h"

#include "crypt/PageCipher.h"

#include <QFile>

#include <sodium.h>

#include <cstring>
#include <vector>

namespace quillbox {

namespace {
constexpr char sqliteMagic[] = "SQLite format 3";

QByteArray firstBytes(const QString& file, qint64 count, bool* exists = nullptr) {
    QFile f(file);
    if (exists) {
        *exists = f.exists();
    }
    return f.open(QIODevice::ReadOnly) ? f.read(count) : QByteArray();
}
} // namespace

DatabaseKind databaseKind(const QString& file) {
    bool exists = false;
    const QByteArray head = firstBytes(file, FileHeader::Size, &exists);
    if (!exists) {
        return DatabaseKind::Missing;
    }
    if (QFile(file).size() == 0) {
        return DatabaseKind::Empty;
    }
    if (head.size() >= 16 && std::memcmp(head.constData(), sqliteMagic, 16) == 0) {
        return DatabaseKind::Plain;
    }
    if (FileHeader::parse(reinterpret_cast<const unsigned char*>(head.constData()), head.size())) {
        return DatabaseKind::Encrypted;
    }
    return DatabaseKind::Unknown;
}

std::optional<FileHeader> readFileHeader(const QString& file) {
    const QByteArray head = firstBytes(file, FileHeader::Size);
    return FileHeader::parse(reinterpret_cast<const unsigned char*>(head.constData()), head.size());
}

UnlockResult unlockDatabaseFile(const QString& file, const QString& password) {
    UnlockResult result;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        result.error = f.errorString();
        return result;
    }
    const QByteArray head = f.read(FileHeader::Size);
    const std::optional<FileHeader> header =
        FileHeader::parse(reinterpret_cast<const unsigned char*>(head.constData()), head.size());
    if (!header) {
        result.status = UnlockResult::NotEncrypted;
        return result;
    }
    std::shared_ptr<const FileKey> key = FileKey::derive(password, *header, &result.error);
    if (!key) {
        return result;
    }
    const int size = header->pageSize();
    std::vector<unsigned char> page(static_cast<size_t>(size));
    for (quint32 number = 1; number <= 2; ++number) {
        if (!f.seek(static_cast<qint64>(number - 1) * size) ||
            f.read(reinterpret_cast<char*>(page.data()), size) != size) {
            break;
        }
        if (openPage(*key, number, PageKind::Database, page.data())) {
            sodium_memzero(page.data(), page.size()); // the page's text goes no further than here
            result.status = UnlockResult::Opened;
            result.key = std::move(key);
            return result;
        }
    }
    result.status = UnlockResult::WrongPassword;
    return result;
}

bool passwordMatchesKey(const QString& password, const FileKey& key) {
    const std::shared_ptr<const FileKey> typed = FileKey::derive(password, key.header());
    return typed && typed->sameAs(key);
}

} // namespace quillbox
