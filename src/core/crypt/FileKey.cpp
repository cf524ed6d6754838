#include "crypt/FileKey.h"

#include <QElapsedTimer>

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace quillbox {

namespace {
constexpr unsigned char magic[4] = {'Q', 'B', 'X', 0x01};
constexpr int smallestPageShift = 9; // 512 bytes
constexpr int largestPageShift = 16; // 65536 bytes

bool runKdf(unsigned char* out, const SecretBytes& password, const unsigned char* salt, const KdfCost& cost) {
    return crypto_pwhash(out, FileKey::KeyBytes, reinterpret_cast<const char*>(password.data()), password.size(), salt,
                         static_cast<unsigned long long>(cost.passes), static_cast<size_t>(cost.memoryMiB) << 20,
                         crypto_pwhash_ALG_ARGON2ID13) == 0;
}
} // namespace

bool hasEncryptedMagic(const unsigned char* bytes, qsizetype length) {
    return length >= 4 && std::memcmp(bytes, magic, 4) == 0;
}

std::optional<FileHeader> FileHeader::parse(const unsigned char* bytes, qsizetype length) {
    if (length < Size || !hasEncryptedMagic(bytes, length)) {
        return std::nullopt;
    }
    FileHeader header;
    std::memcpy(header.m_bytes.data(), bytes, Size);
    const int shift = bytes[4];
    const KdfCost cost = header.cost();
    if (shift < smallestPageShift || shift > largestPageShift || cost.passes < 1 || cost.passes > MaxKdfPasses ||
        cost.memoryMiB < MinKdfMemoryMiB || cost.memoryMiB > MaxKdfMemoryMiB) {
        return std::nullopt;
    }
    return header;
}

FileHeader FileHeader::fresh(const KdfCost& cost, int pageSize) {
    FileHeader header;
    std::memcpy(header.m_bytes.data(), magic, 4);
    int shift = smallestPageShift;
    while ((1 << shift) < pageSize && shift < largestPageShift) {
        ++shift;
    }
    header.m_bytes[4] = static_cast<unsigned char>(shift);
    header.m_bytes[5] = static_cast<unsigned char>(std::clamp(cost.passes, 1, MaxKdfPasses));
    const int memory = std::clamp(cost.memoryMiB, MinKdfMemoryMiB, MaxKdfMemoryMiB);
    header.m_bytes[6] = static_cast<unsigned char>(memory & 0xff);
    header.m_bytes[7] = static_cast<unsigned char>(memory >> 8);
    if (sodiumReady()) {
        randombytes_buf(header.m_bytes.data() + 8, crypto_pwhash_SALTBYTES);
    }
    return header;
}

int FileHeader::pageSize() const {
    return 1 << m_bytes[4];
}

KdfCost FileHeader::cost() const {
    return {m_bytes[5], m_bytes[6] | (m_bytes[7] << 8)};
}

std::shared_ptr<const FileKey> FileKey::derive(const QString& password, const FileHeader& header, QString* error) {
    static_assert(crypto_pwhash_SALTBYTES == 16 && crypto_kdf_KEYBYTES == KeyBytes);
    auto fail = [error](const char* why) {
        if (error) {
            *error = QString::fromLatin1(why);
        }
        return nullptr;
    };
    const SecretBytes typed = secretUtf8(password);
    SecretBytes master(KeyBytes);
    SecretBytes keys(2 * KeyBytes);
    if (typed.isNull() || master.isNull() || keys.isNull()) {
        return fail("There is not enough memory to hold the key.");
    }
    if (!runKdf(master.data(), typed, header.salt(), header.cost())) {
        return fail("There is not enough memory to derive the key from the password.");
    }
    // One key for the pages, one for what is kept while locked; neither tells the other.
    crypto_kdf_derive_from_key(keys.data(), KeyBytes, 1, "QbxPages", master.data());
    crypto_kdf_derive_from_key(keys.data() + KeyBytes, KeyBytes, 2, "QbxStash", master.data());
    sodium_mprotect_readonly(keys.data());
    return std::make_shared<const FileKey>(header, std::move(keys));
}

bool FileKey::sameAs(const FileKey& other) const {
    return m_header == other.m_header && sodium_memcmp(m_keys.data(), other.m_keys.data(), 2 * KeyBytes) == 0;
}

qint64 kdfMilliseconds(const KdfCost& cost) {
    SecretBytes out(FileKey::KeyBytes);
    const SecretBytes password = secretUtf8(QStringLiteral("calibration"));
    unsigned char salt[crypto_pwhash_SALTBYTES] = {};
    QElapsedTimer timer;
    timer.start();
    if (out.isNull() || !runKdf(out.data(), password, salt, cost)) {
        return -1;
    }
    return timer.elapsed();
}

KdfCost calibrateKdfCost() {
    // Memory is what makes a guess dear on a graphics card, so it comes first: 256 MiB where the
    // machine gives it, never below 64 MiB; then as many passes as fill about 750 ms.
    constexpr qint64 targetMs = 750;
    KdfCost cost{2, 256};
    qint64 ms = kdfMilliseconds(cost);
    while (ms < 0 && cost.memoryMiB > 64) {
        cost.memoryMiB /= 2;
        ms = kdfMilliseconds(cost);
    }
    if (ms <= 0) {
        return {3, 64};
    }
    // The first run also pays for fresh pages; a second one gives the steady time per pass. On a
    // slow machine the memory gives way before the time goes far past a second.
    ms = std::max<qint64>(1, kdfMilliseconds(cost));
    while (ms / cost.passes > targetMs && cost.memoryMiB > 64) {
        cost.memoryMiB /= 2;
        ms = std::max<qint64>(1, kdfMilliseconds(cost));
    }
    const double perPass = static_cast<double>(ms) / cost.passes;
    cost.passes = std::clamp(static_cast<int>(targetMs / perPass + 0.5), 1, MaxKdfPasses);
    return cost;
}

KdfCost programKdfCost() {
    static const KdfCost cost = calibrateKdfCost();
    return cost;
}

} // namespace quillbox
