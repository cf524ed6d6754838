#include "crypt/Stash.h"

#include "crypt/FileKey.h"

#include <QDataStream>
#include <QIODevice>

#include <sodium.h>

namespace quillbox {

namespace {
constexpr int NonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int TagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

void wipe(QByteArray& bytes) {
    sodium_memzero(bytes.data(), static_cast<size_t>(bytes.size()));
}
} // namespace

QByteArray sealStash(const FileKey& key, const QStringList& values) {
    QByteArray plain;
    {
        QDataStream out(&plain, QIODevice::WriteOnly);
        out << values;
    }
    QByteArray sealed(NonceBytes + plain.size() + TagBytes, Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(sealed.data());
    randombytes_buf(nonce, NonceBytes);
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + NonceBytes, nullptr, reinterpret_cast<const unsigned char*>(plain.constData()),
        static_cast<unsigned long long>(plain.size()), nullptr, 0, nullptr, nonce, key.stashKey());
    wipe(plain);
    return sealed;
}

std::optional<QStringList> openStash(const FileKey& key, const QByteArray& sealed) {
    if (sealed.size() < NonceBytes + TagBytes) {
        return std::nullopt;
    }
    QByteArray plain(sealed.size() - NonceBytes - TagBytes, Qt::Uninitialized);
    const auto* nonce = reinterpret_cast<const unsigned char*>(sealed.constData());
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            reinterpret_cast<unsigned char*>(plain.data()), nullptr, nullptr, nonce + NonceBytes,
            static_cast<unsigned long long>(sealed.size() - NonceBytes), nullptr, 0, nonce, key.stashKey()) != 0) {
        return std::nullopt;
    }
    QStringList values;
    {
        QDataStream in(&plain, QIODevice::ReadOnly);
        in >> values;
    }
    wipe(plain);
    return values;
}

} // namespace quillbox
