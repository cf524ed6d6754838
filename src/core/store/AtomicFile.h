#pragma once

#include "Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QTemporaryFile>

namespace quillbox {

// A file written whole or not at all. The bytes go to a new temporary file made beside it (never
// one that already exists); every write and the final flush are checked, so a full disk is seen
// at the write that hits it, not lost in a buffer; the temporary is flushed to the disk and only
// then renamed over the name, and the folder's change made durable. The file of that name is never
// opened for writing: a symbolic link planted there is replaced, and the file it points to stays as
// it was. After a failure the old file is left as it was, no temporary remains, and errorString()
// holds the system's reason ("No space left on device").
class AtomicFile {
public:
    explicit AtomicFile(const QString& path) : m_path(path) {}
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // A new file is private to the user; a file being replaced keeps the permissions its owner
    // gave it, unless forcePrivate.
    bool open(bool forcePrivate = false);
    // Queues text, converted to UTF-8 a megabyte at a time.
    void append(QStringView text);
    void write(QByteArrayView bytes);
    // Lets the disk take what is written so far while more is being made, so the commit's sync
    // has less to wait for; a long writer calls it now and then.
    void startWriteBack();
    // Puts the file in place; false, with the old file untouched, when any step failed.
    bool commit();
    void cancel();
    QString errorString() const { return m_error; }

private:
    void flushPending();
    void writeAll(QByteArrayView bytes);
    void fail(const QString& reason);
    void removeTemporary();

    QString m_path;
    QTemporaryFile m_file;
    QString m_pending;
    QString m_error;
    bool m_ok = true;
    qint64 m_writtenBack = 0; // where the bytes not yet handed to the disk begin
};

// Writes bytes to path through an AtomicFile; on failure the system's reason.
Result writeFileAtomically(const QString& path, const QByteArray& bytes, bool forcePrivate = false);

} // namespace quillbox
