#pragma once

// What the program needs of the file system beyond Qt and the standard library, each with a
// fallback where the system has no such call.

#include "Result.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <mutex>

class QIODevice;

namespace quillbox {

// Flushes a file that is already written, or a folder's entries, to the disk; the system's reason
// when it could not be. Where the system offers no such call, done.
Result syncToDisk(const QString& path);

// Asks the system to start writing a file's bytes in that range to the disk, without waiting for
// it, so that a later syncToDisk() has less left to do. Where there is no such call, nothing.
void startWriteBack(int handle, qint64 offset, qint64 length);

// Puts `from` in place of `to` in one step (replacing it, or the symbolic link of that name, not
// the file the link points to), then makes the folder's change durable.
Result replaceFile(const QString& from, const QString& to);

// Reads the bytes of an open file or buffer at any offset, from any thread, without moving the
// position its own reader stands at: a file through its own handle (one positional read each),
// a buffer from its bytes. Elsewhere the file is opened a second time by name.
class BytesAtOffsets {
public:
    explicit BytesAtOffsets(QIODevice& device);
    ~BytesAtOffsets();
    BytesAtOffsets(const BytesAtOffsets&) = delete;
    BytesAtOffsets& operator=(const BytesAtOffsets&) = delete;

    bool valid() const;
    // Bytes read into to, 0 at the end, -1 on a failure.
    qsizetype readAt(qint64 offset, char* to, qsizetype n) const;

private:
    QByteArray m_memory;
    int m_fd = -1;
    struct Reopened;
    std::unique_ptr<Reopened> m_reopened;
};

// A file of the program's own scratch bytes in a folder (made if missing), readable by its owner
// only. Where the system allows, it has no name in the folder from the start, or loses it at once,
// so it goes with its handle however the program ends; elsewhere it is removed when closed.
class ScratchFile {
public:
    explicit ScratchFile(const QString& folder);
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    // Adds bytes at the end; false when not all of them reached the file (a full disk).
    bool append(const char* data, qsizetype n);
    // Reads from offset; false when fewer than n bytes could be read.
    bool readAt(qint64 offset, char* to, qsizetype n);
    qint64 size() const { return m_size; }
    QString errorString() const { return m_file.errorString(); }

private:
    QTemporaryFile m_file;
    qint64 m_size = 0;
};

} // namespace quillbox
