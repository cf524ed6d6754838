// A page on disk: the page's bytes encrypted with XChaCha20-Poly1305, then the 24-byte nonce and
// the 16-byte tag. Page 1 begins with the file header in the clear, in the place of SQLite's own
// 16-byte magic text (always the same, so it is put back rather than stored) and of 8 of the
// unused bytes at its end. The header, the page number and the kind of image are bound to every
// seal as associated data. docs/encryption.md has the layout.
#include "crypt/PageCipher.h"

#include "crypt/FileKey.h"

#include <sodium.h>

#include <cstring>

namespace quillbox {

namespace {
constexpr int NonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int TagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr int SealBytes = NonceBytes + TagBytes;
constexpr char sqliteMagic[] = "SQLite format 3"; // with its terminating zero: 16 bytes
constexpr int MagicBytes = 16;
static_assert(sizeof(sqliteMagic) == MagicBytes && NonceBytes == 24 && TagBytes == 16);
static_assert(FileHeader::Size == MagicBytes + (PageReserve - SealBytes));

constexpr int AdBytes = FileHeader::Size + 5;

void associatedData(const FileKey& key, quint32 page, PageKind kind, unsigned char* ad) {
    std::memcpy(ad, key.header().bytes(), FileHeader::Size);
    for (int i = 0; i < 4; ++i) {
        ad[FileHeader::Size + i] = static_cast<unsigned char>(page >> (8 * i));
    }
    ad[FileHeader::Size + 4] = static_cast<unsigned char>(kind);
}

// SQLite's page 1 as this format can hold it: its magic text, the page size it was sealed for,
// and room for the seal.
bool isSealableFirstPage(const unsigned char* plain, int pageSize) {
    const int stored = (plain[16] << 8) | plain[17];
    return std::memcmp(plain, sqliteMagic, MagicBytes) == 0 && (stored == 1 ? 65536 : stored) == pageSize &&
           plain[20] >= PageReserve;
}
} // namespace

bool sealPage(const FileKey& key, quint32 page, PageKind kind, const unsigned char* plain, unsigned char* out) {
    const int size = key.pageSize();
    // Page 1 keeps its first 16 bytes out of the seal (the header takes their place), and 8
    // bytes of its unused end, which the header's other 8 bytes need.
    const int skip = page == 1 ? MagicBytes : 0;
    const int plainBytes = size - SealBytes - (page == 1 ? PageReserve - SealBytes + MagicBytes : 0);
    const int at = page == 1 ? FileHeader::Size : 0;
    if (page == 0 || (page == 1 && !isSealableFirstPage(plain, size))) {
        return false;
    }
    unsigned char ad[AdBytes];
    associatedData(key, page, kind, ad);
    unsigned char* nonce = out + size - SealBytes;
    unsigned char* tag = nonce + NonceBytes;
    randombytes_buf(nonce, NonceBytes);
    if (page == 1) {
        std::memcpy(out, key.header().bytes(), FileHeader::Size);
    }
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(out + at, tag, nullptr, plain + skip,
                                                        static_cast<unsigned long long>(plainBytes), ad, AdBytes,
                                                        nullptr, nonce, key.pageKey());
    return true;
}

bool openPage(const FileKey& key, quint32 page, PageKind kind, unsigned char* image) {
    const int size = key.pageSize();
    const int plainBytes = size - SealBytes - (page == 1 ? PageReserve - SealBytes + MagicBytes : 0);
    if (page == 0 || (page == 1 && std::memcmp(image, key.header().bytes(), FileHeader::Size) != 0)) {
        return false;
    }
    unsigned char ad[AdBytes];
    associatedData(key, page, kind, ad);
    const unsigned char* nonce = image + size - SealBytes;
    const unsigned char* tag = nonce + NonceBytes;
    unsigned char* text = image;
    if (page == 1) {
        // The plain text begins 8 bytes before the sealed text: moved into place, then opened there.
        std::memmove(image + MagicBytes, image + FileHeader::Size, static_cast<size_t>(plainBytes));
        text = image + MagicBytes;
    }
    if (crypto_aead_xchacha20poly1305_ietf_decrypt_detached(text, nullptr, text,
                                                            static_cast<unsigned long long>(plainBytes), tag, ad,
                                                            AdBytes, nonce, key.pageKey()) != 0) {
        return false;
    }
    if (page == 1) {
        std::memcpy(image, sqliteMagic, MagicBytes);
    }
    // SQLite never reads the reserved bytes; they read as zeros rather than as the seal.
    std::memset(text + plainBytes, 0, static_cast<size_t>(image + size - (text + plainBytes)));
    return true;
}

} // namespace quillbox
