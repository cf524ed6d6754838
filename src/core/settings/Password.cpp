#include "settings/Password.h"

#include "crypt/Sodium.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <sodium.h>

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

QString md5Hex(QByteArray bytes) {
    const QString hex = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    sodium_memzero(bytes.data(), static_cast<size_t>(bytes.size()));
    return hex;
}

bool isMd5Form(const QString& stored) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
    return hex.match(stored).hasMatch();
}

// An Argon2id string whose cost stays within what the program itself would ever ask for: a
// settings file is not trusted to make the check take gigabytes or minutes.
bool isArgon2Form(const QString& stored) {
    static const QRegularExpression form(
        QStringLiteral(R"(^\$argon2id\$v=19\$m=(\d{1,10}),t=(\d{1,3}),p=1\$[A-Za-z0-9+/]+\$[A-Za-z0-9+/]+$)"));
    const QRegularExpressionMatch match = form.match(stored);
    if (!match.hasMatch() || stored.size() >= crypto_pwhash_STRBYTES) {
        return false;
    }
    const qint64 kib = match.captured(1).toLongLong();
    const int passes = match.captured(2).toInt();
    return kib >= 8 && kib <= qint64{MaxKdfMemoryMiB} * 1024 && passes >= 1 && passes <= MaxKdfPasses;
}
} // namespace

PasswordLength passwordLength(const QString& password) {
    if (password.size() < MinPasswordLength) {
        return PasswordLength::TooShort;
    }
    return password.size() > MaxPasswordLength ? PasswordLength::TooLong : PasswordLength::Allowed;
}

bool passwordLengthAllowed(const QString& password) {
    return passwordLength(password) == PasswordLength::Allowed;
}

QString passwordFingerprint(const QString& password, const KdfCost& cost) {
    const SecretBytes typed = secretUtf8(password);
    char out[crypto_pwhash_STRBYTES] = {};
    if (typed.isNull() ||
        crypto_pwhash_str_alg(out, reinterpret_cast<const char*>(typed.data()), typed.size(),
                              static_cast<unsigned long long>(cost.passes), static_cast<size_t>(cost.memoryMiB) << 20,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return QString();
    }
    return QString::fromLatin1(out);
}

QString md5Fingerprint(const QString& password) {
    return md5Hex(utf16le(password));
}

QString halfMd5Fingerprint(const QString& password) {
    QByteArray bytes = utf16le(password);
    const QString hex = md5Hex(bytes.left(password.size()));
    sodium_memzero(bytes.data(), static_cast<size_t>(bytes.size()));
    return hex;
}

FingerprintMatch matchFingerprint(const QString& password, const QString& stored) {
    if (password.isEmpty() || stored.isEmpty()) {
        return FingerprintMatch::None;
    }
    if (isArgon2Form(stored)) {
        const SecretBytes typed = secretUtf8(password);
        const QByteArray text = stored.toLatin1();
        return !typed.isNull() && crypto_pwhash_str_verify(
                                      text.constData(), reinterpret_cast<const char*>(typed.data()), typed.size()) == 0
                   ? FingerprintMatch::Current
                   : FingerprintMatch::None;
    }
    if (!isMd5Form(stored)) {
        return FingerprintMatch::None;
    }
    if (stored == md5Fingerprint(password)) {
        return FingerprintMatch::Legacy;
    }
    if (stored != halfMd5Fingerprint(password)) {
        return FingerprintMatch::None;
    }
    // For a text of even length the half form is the whole form of the text's first half, so the
    // fingerprint is that half's when the half could have been a password: the password typed
    // twice in a row must not pass (and would become the password when rewritten).
    const bool firstHalfExplains = password.size() % 2 == 0 && password.size() / 2 >= MinPasswordLength;
    return firstHalfExplains ? FingerprintMatch::None : FingerprintMatch::Legacy;
}

} // namespace quillbox
