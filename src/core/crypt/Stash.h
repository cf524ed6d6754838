#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace quillbox {

class FileKey;

// What the program must keep while it is locked (a data form's unsaved values), sealed with the
// file's stash key: the key goes with the lock and comes back with the password, so until then the
// values are nowhere in memory in the clear.
QByteArray sealStash(const FileKey& key, const QStringList& values);
// The values again; nothing when the stash was not sealed by this key or was changed.
std::optional<QStringList> openStash(const FileKey& key, const QByteArray& sealed);

} // namespace quillbox
