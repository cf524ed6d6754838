#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace quillbox {

class FileKey;

// The SQLite VFS that keeps encrypted files: it wraps the system's default VFS, seals every page
// of the database and every page image of its rollback journal on the way to the disk, and opens
// them again on the way back. Nothing else of an encrypted file is allowed to reach the disk (no
// temporary file, no WAL). Everything above it (locking, the journal, recovery) is SQLite's own.
inline constexpr const char* encryptedVfsName = "quillbox-encrypted";

// Registers the VFS with SQLite, once; false when SQLite refused it.
bool registerEncryptedVfs();

// The URI that opens path through the VFS with key (open it with SQLITE_OPEN_URI). The key is
// known to the VFS for as long as anyone holds it; each file opened this way holds it too.
QByteArray encryptedUri(const QString& path, const std::shared_ptr<const FileKey>& key);
// The URI of a plain file through the system's own VFS, for an ATTACH from an encrypted connection.
QByteArray plainUri(const QString& path);

// Where a page of an encrypted file last failed to open in this thread: the page number, and
// whether it was an image in the journal. page is 0 when none did since forgetDamagedPage().
struct DamagedPage {
    unsigned page = 0;
    bool inJournal = false;
};
DamagedPage lastDamagedPage();
void forgetDamagedPage();

} // namespace quillbox
