#include "settings/Password.h"

#include <QCryptographicHash>

namespace quillbox {

namespace {
QByteArray utf16le(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

QString md5Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}
} // namespace

bool passwordLengthAllowed(const QString& password) {
    return password.size() >= MinPasswordLength && password.size() <= MaxPasswordLength;
}

QString passwordFingerprint(const QString& password) {
    return md5Hex(utf16le(password));
}

QString legacyPasswordFingerprint(const QString& password) {
    return md5Hex(utf16le(password).left(password.size()));
}

FingerprintMatch matchFingerprint(const QString& password, const QString& stored) {
    if (password.isEmpty() || stored.isEmpty()) {
        return FingerprintMatch::None;
    }
    if (stored == passwordFingerprint(password)) {
        return FingerprintMatch::Current;
    }
    if (stored == legacyPasswordFingerprint(password)) {
        return FingerprintMatch::Legacy;
    }
    return FingerprintMatch::None;
}

} // namespace quillbox
