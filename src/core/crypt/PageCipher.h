#pragma once

#include <QtGlobal>

namespace quillbox {

class FileKey;

// Every page of an encrypted file keeps its last bytes for its seal: SQLite leaves this many
// bytes of each page unused (header byte 20), and the nonce and tag take the last 40 of them.
constexpr int PageReserve = 48;

// Where a page image lies: the database itself, or the rollback journal, whose images are sealed
// apart so that one cannot be passed off as the other.
enum class PageKind : unsigned char { Database = 'D', Journal = 'J' };

// Seals a plain page of key.pageSize() bytes into out, with a fresh random nonce. Page 1 must be
// SQLite's own first page with room for the seal; false, with out untouched, when it is not.
bool sealPage(const FileKey& key, quint32 page, PageKind kind, const unsigned char* plain, unsigned char* out);

// Opens a sealed page in place. False, with the buffer's content undefined, when it was not
// sealed by this key, as this page of this file, or was changed since.
bool openPage(const FileKey& key, quint32 page, PageKind kind, unsigned char* image);

} // namespace quillbox
