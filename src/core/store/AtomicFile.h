#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringView>

namespace quillbox {

// A file written whole or not at all. The bytes go to a temporary file beside it; every write
// and the final flush are checked (unbuffered, so a full disk is seen at the write that hits it,
// not lost in a buffer), and only then does the temporary replace the file of that name. After a
// failure the old file is left as it was, no temporary remains, and errorString() holds the
// system's reason ("No space left on device").
class AtomicFile {
public:
    explicit AtomicFile(const QString& path) : m_file(path) {}

    // A new file is private to the user; a file being replaced keeps the permissions its owner
    // gave it, unless forcePrivate.
    bool open(bool forcePrivate = false);
    // Queues text, converted to UTF-8 a megabyte at a time.
    void append(QStringView text);
    void write(const QByteArray& bytes);
    // Puts the file in place; false, with the old file untouched, when any step failed.
    bool commit();
    void cancel();
    QString errorString() const { return m_error; }

private:
    void flushPending();
    void writeAll(const QByteArray& bytes);
    void fail();

    QSaveFile m_file;
    QString m_pending;
    QString m_error;
    bool m_ok = true;
};

// Flushes a file that is already written, or a folder's entries, to the disk; false and the
// system's reason when it could not be.
bool syncToDisk(const QString& path, QString* error = nullptr);
// Puts `from` in place of `to` in one step (replacing it), then makes the folder's change durable.
bool replaceFile(const QString& from, const QString& to, QString* error = nullptr);

// Writes bytes to path through an AtomicFile; false and the system's reason on failure.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error, bool forcePrivate = false);

} // namespace quillbox
