// docs/encryption.md describes the file this writes.
#include "store/EncryptedVfs.h"

#include "crypt/FileKey.h"
#include "crypt/PageCipher.h"

#include <QUrl>

#include <sqlite3.h>

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quillbox {

namespace {

// The last page that failed to open in this thread: connections are used by one thread at a
// time, and the caller asks right after the statement that failed.
thread_local DamagedPage lastDamage;

// The keys the VFS knows, by the number an URI names them with. Weak: a key lives as long as the
// program's holders and the open files keep it.
struct KeyRing {
    std::mutex mutex;
    std::unordered_map<sqlite3_int64, std::weak_ptr<const FileKey>> byToken;
    std::unordered_map<const FileKey*, sqlite3_int64> tokenOf;
    sqlite3_int64 next = 1;

    sqlite3_int64 add(const std::shared_ptr<const FileKey>& key) {
        const std::lock_guard lock(mutex);
        for (auto it = byToken.begin(); it != byToken.end();) {
            if (it->second.expired()) {
                std::erase_if(tokenOf, [&](const auto& entry) { return entry.second == it->first; });
                it = byToken.erase(it);
            } else {
                ++it;
            }
        }
        if (const auto known = tokenOf.find(key.get()); known != tokenOf.end()) {
            return known->second;
        }
        const sqlite3_int64 token = next++;
        byToken.emplace(token, key);
        tokenOf.emplace(key.get(), token);
        return token;
    }

    std::shared_ptr<const FileKey> find(sqlite3_int64 token) {
        const std::lock_guard lock(mutex);
        const auto it = byToken.find(token);
        return it == byToken.end() ? nullptr : it->second.lock();
    }
};

KeyRing& keyRing() {
    static KeyRing ring;
    return ring;
}

struct FileState {
    std::shared_ptr<const FileKey> key;
    bool journal = false;
    std::vector<unsigned char> scratch; // one sealed page on its way to the disk
};

int damaged(unsigned page, bool inJournal) {
    lastDamage = {page, inJournal};
    return SQLITE_IOERR_DATA;
}

// SQLite allocates szOsFile bytes for each file: this, then the wrapped VFS's own file.
struct CryptFile {
    sqlite3_file base;
    sqlite3_file* real;
    FileState* state;
};

sqlite3_vfs* baseVfs(sqlite3_vfs* vfs) {
    return static_cast<sqlite3_vfs*>(vfs->pAppData);
}

CryptFile* crypt(sqlite3_file* file) {
    return reinterpret_cast<CryptFile*>(file);
}

unsigned bigEndian32(const unsigned char* bytes) {
    return (unsigned{bytes[0]} << 24) | (unsigned{bytes[1]} << 16) | (unsigned{bytes[2]} << 8) | bytes[3];
}

// ---- database file -----------------------------------------------------------------------

// Reads and opens page `page` into out. Past the end of the file it reads as zeros, as SQLite
// expects; a page cut short, or one that does not open, is damage.
int readPage(CryptFile* f, unsigned page, unsigned char* out) {
    const int size = f->state->key->pageSize();
    const sqlite3_int64 offset = static_cast<sqlite3_int64>(page - 1) * size;
    const int rc = f->real->pMethods->xRead(f->real, out, size, offset);
    if (rc == SQLITE_IOERR_SHORT_READ) {
        sqlite3_int64 fileSize = 0;
        if (f->real->pMethods->xFileSize(f->real, &fileSize) == SQLITE_OK && fileSize <= offset) {
            return SQLITE_IOERR_SHORT_READ;
        }
        return damaged(page, false);
    }
    if (rc != SQLITE_OK) {
        return rc;
    }
    if (!openPage(*f->state->key, page, PageKind::Database, out)) {
        return damaged(page, false);
    }
    return SQLITE_OK;
}

int databaseRead(CryptFile* f, void* buffer, int amount, sqlite3_int64 offset) {
    const int size = f->state->key->pageSize();
    auto* out = static_cast<unsigned char*>(buffer);
    if (amount == size && offset % size == 0) {
        return readPage(f, static_cast<unsigned>(offset / size) + 1, out);
    }
    // Less than a page (SQLite reads parts of page 1's header): the pages it lies in, opened whole.
    std::vector<unsigned char> page(static_cast<size_t>(size));
    while (amount > 0) {
        const auto number = static_cast<unsigned>(offset / size) + 1;
        const int within = static_cast<int>(offset % size);
        const int take = std::min(amount, size - within);
        const int rc = readPage(f, number, page.data());
        if (rc == SQLITE_IOERR_SHORT_READ) {
            std::memset(out, 0, static_cast<size_t>(amount));
            return rc;
        }
        if (rc != SQLITE_OK) {
            return rc;
        }
        std::memcpy(out, page.data() + within, static_cast<size_t>(take));
        out += take;
        offset += take;
        amount -= take;
    }
    return SQLITE_OK;
}

int databaseWrite(CryptFile* f, const void* buffer, int amount, sqlite3_int64 offset) {
    const int size = f->state->key->pageSize();
    // SQLite writes whole pages to a database file; anything else would leave bytes unsealed.
    if (amount != size || offset % size != 0) {
        return SQLITE_IOERR_WRITE;
    }
    const auto page = static_cast<unsigned>(offset / size) + 1;
    unsigned char* sealed = f->state->scratch.data();
    if (!sealPage(*f->state->key, page, PageKind::Database, static_cast<const unsigned char*>(buffer), sealed)) {
        return SQLITE_IOERR_WRITE;
    }
    return f->real->pMethods->xWrite(f->real, sealed, size, offset);
}

// ---- journal -----------------------------------------------------------------------------

// A rollback journal holds headers (at offsets that are multiples of its sector size) and
// records: a 4-byte page number, the page image, a 4-byte checksum. Records follow a header back
// to back and are a page and 8 bytes long, so an image always starts 4 bytes past a multiple of
// 8 and a header never does: the offset, not the size, tells an image.
bool isJournalImage(const CryptFile* f, int amount, sqlite3_int64 offset) {
    return amount == f->state->key->pageSize() && offset >= 4 && offset % 8 == 4;
}

int journalPageNumber(CryptFile* f, sqlite3_int64 imageOffset, unsigned& page) {
    unsigned char bytes[4];
    const int rc = f->real->pMethods->xRead(f->real, bytes, 4, imageOffset - 4);
    page = bigEndian32(bytes);
    return rc;
}

int journalRead(CryptFile* f, void* buffer, int amount, sqlite3_int64 offset) {
    const int rc = f->real->pMethods->xRead(f->real, buffer, amount, offset);
    if (rc != SQLITE_OK || !isJournalImage(f, amount, offset)) {
        return rc;
    }
    unsigned page = 0;
    if (const int read = journalPageNumber(f, offset, page); read != SQLITE_OK) {
        return read;
    }
    if (!openPage(*f->state->key, page, PageKind::Journal, static_cast<unsigned char*>(buffer))) {
        return damaged(page, true);
    }
    return SQLITE_OK;
}

int journalWrite(CryptFile* f, const void* buffer, int amount, sqlite3_int64 offset) {
    if (!isJournalImage(f, amount, offset)) {
        return f->real->pMethods->xWrite(f->real, buffer, amount, offset);
    }
    unsigned page = 0;
    if (journalPageNumber(f, offset, page) != SQLITE_OK) {
        return SQLITE_IOERR_WRITE;
    }
    unsigned char* sealed = f->state->scratch.data();
    if (!sealPage(*f->state->key, page, PageKind::Journal, static_cast<const unsigned char*>(buffer), sealed)) {
        return SQLITE_IOERR_WRITE;
    }
    return f->real->pMethods->xWrite(f->real, sealed, amount, offset);
}

// ---- io methods --------------------------------------------------------------------------

int cryptClose(sqlite3_file* file) {
    CryptFile* f = crypt(file);
    const int rc = f->real->pMethods ? f->real->pMethods->xClose(f->real) : SQLITE_OK;
    delete f->state;
    f->state = nullptr;
    return rc;
}

int cryptRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    CryptFile* f = crypt(file);
    return f->state->journal ? journalRead(f, buffer, amount, offset) : databaseRead(f, buffer, amount, offset);
}

int cryptWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    CryptFile* f = crypt(file);
    return f->state->journal ? journalWrite(f, buffer, amount, offset) : databaseWrite(f, buffer, amount, offset);
}

int cryptTruncate(sqlite3_file* file, sqlite3_int64 size) {
    return crypt(file)->real->pMethods->xTruncate(crypt(file)->real, size);
}

int cryptSync(sqlite3_file* file, int flags) {
    return crypt(file)->real->pMethods->xSync(crypt(file)->real, flags);
}

int cryptFileSize(sqlite3_file* file, sqlite3_int64* size) {
    return crypt(file)->real->pMethods->xFileSize(crypt(file)->real, size);
}

int cryptLock(sqlite3_file* file, int level) {
    return crypt(file)->real->pMethods->xLock(crypt(file)->real, level);
}

int cryptUnlock(sqlite3_file* file, int level) {
    return crypt(file)->real->pMethods->xUnlock(crypt(file)->real, level);
}

int cryptCheckReservedLock(sqlite3_file* file, int* out) {
    return crypt(file)->real->pMethods->xCheckReservedLock(crypt(file)->real, out);
}

int cryptFileControl(sqlite3_file* file, int op, void* arg) {
    CryptFile* f = crypt(file);
    const int rc = f->real->pMethods->xFileControl(f->real, op, arg);
    if (op == SQLITE_FCNTL_VFSNAME && rc == SQLITE_OK) {
        *static_cast<char**>(arg) = sqlite3_mprintf("%s/%z", encryptedVfsName, *static_cast<char**>(arg));
    }
    return rc;
}

int cryptSectorSize(sqlite3_file* file) {
    return crypt(file)->real->pMethods->xSectorSize(crypt(file)->real);
}

int cryptDeviceCharacteristics(sqlite3_file* file) {
    // A write the device makes atomic would let SQLite skip the journal, and the sealed images with it.
    constexpr int atomic = SQLITE_IOCAP_ATOMIC | SQLITE_IOCAP_ATOMIC512 | SQLITE_IOCAP_ATOMIC1K |
                           SQLITE_IOCAP_ATOMIC2K | SQLITE_IOCAP_ATOMIC4K | SQLITE_IOCAP_ATOMIC8K |
                           SQLITE_IOCAP_ATOMIC16K | SQLITE_IOCAP_ATOMIC32K | SQLITE_IOCAP_ATOMIC64K |
                           SQLITE_IOCAP_BATCH_ATOMIC;
    return crypt(file)->real->pMethods->xDeviceCharacteristics(crypt(file)->real) & ~atomic;
}

// Version 1: no shared memory (so no WAL) and no memory mapping (which would hand SQLite the
// sealed bytes as they lie on disk).
const sqlite3_io_methods cryptMethods = {1,
                                         cryptClose,
                                         cryptRead,
                                         cryptWrite,
                                         cryptTruncate,
                                         cryptSync,
                                         cryptFileSize,
                                         cryptLock,
                                         cryptUnlock,
                                         cryptCheckReservedLock,
                                         cryptFileControl,
                                         cryptSectorSize,
                                         cryptDeviceCharacteristics,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr};

// ---- the VFS -----------------------------------------------------------------------------

int cryptOpen(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    CryptFile* f = crypt(file);
    f->base.pMethods = nullptr;
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->state = nullptr;
    const bool journal = (flags & SQLITE_OPEN_MAIN_JOURNAL) != 0;
    if (!name || (!journal && (flags & SQLITE_OPEN_MAIN_DB) == 0)) {
        return SQLITE_CANTOPEN; // a temporary file or a WAL would hold plain pages
    }
    std::shared_ptr<const FileKey> key = keyRing().find(sqlite3_uri_int64(name, "key", 0));
    if (!key) {
        return SQLITE_CANTOPEN;
    }
    sqlite3_vfs* base = baseVfs(vfs);
    const int rc = base->xOpen(base, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (f->real->pMethods) {
            f->real->pMethods->xClose(f->real);
        }
        return rc;
    }
    f->state = new FileState{std::move(key), journal, {}};
    f->state->scratch.resize(static_cast<size_t>(f->state->key->pageSize()));
    f->base.pMethods = &cryptMethods;
    return SQLITE_OK;
}

int cryptDelete(sqlite3_vfs* vfs, const char* name, int syncDir) {
    return baseVfs(vfs)->xDelete(baseVfs(vfs), name, syncDir);
}
int cryptAccess(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
    return baseVfs(vfs)->xAccess(baseVfs(vfs), name, flags, out);
}
int cryptFullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    return baseVfs(vfs)->xFullPathname(baseVfs(vfs), name, size, out);
}
void* cryptDlOpen(sqlite3_vfs* vfs, const char* name) {
    return baseVfs(vfs)->xDlOpen(baseVfs(vfs), name);
}
void cryptDlError(sqlite3_vfs* vfs, int size, char* out) {
    baseVfs(vfs)->xDlError(baseVfs(vfs), size, out);
}
void (*cryptDlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    return baseVfs(vfs)->xDlSym(baseVfs(vfs), handle, symbol);
}
void cryptDlClose(sqlite3_vfs* vfs, void* handle) {
    baseVfs(vfs)->xDlClose(baseVfs(vfs), handle);
}
int cryptRandomness(sqlite3_vfs* vfs, int size, char* out) {
    return baseVfs(vfs)->xRandomness(baseVfs(vfs), size, out);
}
int cryptSleep(sqlite3_vfs* vfs, int microseconds) {
    return baseVfs(vfs)->xSleep(baseVfs(vfs), microseconds);
}
int cryptCurrentTime(sqlite3_vfs* vfs, double* out) {
    return baseVfs(vfs)->xCurrentTime(baseVfs(vfs), out);
}
int cryptGetLastError(sqlite3_vfs* vfs, int size, char* out) {
    return baseVfs(vfs)->xGetLastError ? baseVfs(vfs)->xGetLastError(baseVfs(vfs), size, out) : 0;
}
int cryptCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out) {
    return baseVfs(vfs)->xCurrentTimeInt64(baseVfs(vfs), out);
}

} // namespace

bool registerEncryptedVfs() {
    static const bool registered = [] {
        sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
        if (!base || base->iVersion < 2) {
            return false;
        }
        static sqlite3_vfs vfs{};
        vfs.iVersion = 2;
        vfs.szOsFile = static_cast<int>(sizeof(CryptFile)) + base->szOsFile;
        vfs.mxPathname = base->mxPathname;
        vfs.zName = encryptedVfsName;
        vfs.pAppData = base;
        vfs.xOpen = cryptOpen;
        vfs.xDelete = cryptDelete;
        vfs.xAccess = cryptAccess;
        vfs.xFullPathname = cryptFullPathname;
        vfs.xDlOpen = cryptDlOpen;
        vfs.xDlError = cryptDlError;
        vfs.xDlSym = cryptDlSym;
        vfs.xDlClose = cryptDlClose;
        vfs.xRandomness = cryptRandomness;
        vfs.xSleep = cryptSleep;
        vfs.xCurrentTime = cryptCurrentTime;
        vfs.xGetLastError = cryptGetLastError;
        vfs.xCurrentTimeInt64 = cryptCurrentTimeInt64;
        return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    }();
    return registered;
}

QByteArray encryptedUri(const QString& path, const std::shared_ptr<const FileKey>& key) {
    registerEncryptedVfs(); // a plain connection may attach an encrypted file (VACUUM INTO)
    return QUrl::fromLocalFile(path).toEncoded() + "?vfs=" + encryptedVfsName +
           "&key=" + QByteArray::number(keyRing().add(key));
}

QByteArray plainUri(const QString& path) {
    const sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    return QUrl::fromLocalFile(path).toEncoded() + "?vfs=" + (base ? base->zName : "unix");
}

DamagedPage lastDamagedPage() {
    return lastDamage;
}

void forgetDamagedPage() {
    lastDamage = {};
}

} // namespace quillbox
