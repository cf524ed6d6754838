#pragma once

#include "crypt/Sodium.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace quillbox {

// What the key derivation (Argon2id) costs: passes over its memory, and the memory itself.
struct KdfCost {
    int passes = 0;
    int memoryMiB = 0;
    bool operator==(const KdfCost&) const = default;
};

// The least a file may ask for, and the most: a file asking for more is damaged or hostile.
constexpr int MinKdfMemoryMiB = 8;
constexpr int MaxKdfMemoryMiB = 4096;
constexpr int MaxKdfPasses = 64;

// The clear part of an encrypted database's first page: what it takes to derive its key from
// the password. docs/encryption.md gives the layout.
class FileHeader {
public:
    static constexpr int Size = 24;

    // The header at the start of a file's first bytes; nothing when they are no header of ours.
    static std::optional<FileHeader> parse(const unsigned char* bytes, qsizetype length);
    // A header for a new file: a fresh random salt.
    static FileHeader fresh(const KdfCost& cost, int pageSize);

    int pageSize() const;
    KdfCost cost() const;
    const unsigned char* salt() const { return m_bytes.data() + 8; }
    const unsigned char* bytes() const { return m_bytes.data(); }
    bool operator==(const FileHeader&) const = default;

private:
    std::array<unsigned char, Size> m_bytes{};
};

// The first bytes of every encrypted file (the header's first four).
bool hasEncryptedMagic(const unsigned char* bytes, qsizetype length);

// The keys of one encrypted file, derived from the program password and the file's header. They
// live in secret memory, read-only once made, and are wiped when the last holder lets go.
class FileKey {
public:
    static constexpr int KeyBytes = 32;

    // Derives the keys; null, with the reason, when libsodium cannot (out of memory).
    static std::shared_ptr<const FileKey> derive(const QString& password, const FileHeader& header,
                                                 QString* error = nullptr);

    const FileHeader& header() const { return m_header; }
    int pageSize() const { return m_header.pageSize(); }
    // Seals the pages of the file and of its journal.
    const unsigned char* pageKey() const { return m_keys.data(); }
    // Seals what the program keeps in memory while it is locked.
    const unsigned char* stashKey() const { return m_keys.data() + KeyBytes; }
    // True when both came from the same password and header.
    bool sameAs(const FileKey& other) const;

    FileKey(const FileHeader& header, SecretBytes keys) : m_header(header), m_keys(std::move(keys)) {}

private:
    FileHeader m_header;
    SecretBytes m_keys;
};

// A cost that takes this machine about three quarters of a second, with at least 64 MiB.
KdfCost calibrateKdfCost();
// The same, worked out once per run, the first time a new key or fingerprint needs it.
KdfCost programKdfCost();
// The time one derivation at that cost takes here, in milliseconds (the bench reports it).
qint64 kdfMilliseconds(const KdfCost& cost);

} // namespace quillbox
