#include "store/AtomicFile.h"

#include "platform/FileSystem.h"
#include "store/PrivateFile.h"

#include <QFile>
#include <QFileInfo>

namespace quillbox {

namespace {
constexpr qsizetype flushSize = 1 << 20;
} // namespace

AtomicFile::~AtomicFile() {
    if (m_file.isOpen()) {
        cancel();
    }
}

bool AtomicFile::open(bool forcePrivate) {
    // Looked at without following a link: a link's target is someone else's file, not ours to copy
    // permissions from.
    const QFileInfo target(m_path);
    const bool replacesOwnFile = !target.isSymLink() && target.isFile();
    // A dot name of its own beside the target, created exclusively and readable by the user alone.
    m_file.setFileTemplate(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                           QStringLiteral(".XXXXXX"));
    m_file.setAutoRemove(false);
    if (!m_file.open()) {
        m_ok = false;
        m_error = m_file.errorString();
        return false;
    }
    if (replacesOwnFile && !forcePrivate && !m_file.setPermissions(QFile::permissions(m_path))) {
        fail(m_file.errorString());
        return false;
    }
    if ((forcePrivate || !replacesOwnFile) && !m_file.setPermissions(privateFile)) {
        fail(m_file.errorString());
        return false;
    }
    return true;
}

void AtomicFile::append(QStringView text) {
    m_pending += text;
    if (m_pending.size() >= flushSize) {
        flushPending();
    }
}

void AtomicFile::write(QByteArrayView bytes) {
    flushPending();
    writeAll(bytes);
}

void AtomicFile::writeAll(QByteArrayView bytes) {
    // A disk that fills up part-way through takes part of a write without an error; the next
    // write of the rest is the one that fails with the system's reason. The flush after each
    // piece brings a failure to light here, not at the commit.
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (m_ok && left > 0) {
        const qint64 written = m_file.write(data, left);
        if (written <= 0) {
            fail(m_file.errorString());
            return;
        }
        data += written;
        left -= written;
    }
    if (m_ok && !m_file.flush()) {
        fail(m_file.errorString());
    }
}

void AtomicFile::startWriteBack() {
    if (m_ok && m_file.isOpen()) {
        const qint64 end = m_file.pos();
        quillbox::startWriteBack(m_file.handle(), m_writtenBack, end - m_writtenBack);
        m_writtenBack = end;
    }
}

void AtomicFile::flushPending() {
    if (m_ok && !m_pending.isEmpty()) {
        writeAll(m_pending.toUtf8());
    }
    m_pending.resize(0); // keeps its capacity
}

void AtomicFile::fail(const QString& reason) {
    if (m_ok) {
        m_ok = false;
        m_error = reason;
    }
    removeTemporary();
}

void AtomicFile::removeTemporary() {
    if (m_file.isOpen()) {
        m_file.close();
        QFile::remove(m_file.fileName());
    }
}

bool AtomicFile::commit() {
    flushPending();
    if (!m_ok || !m_file.isOpen()) {
        removeTemporary();
        return false;
    }
    if (!m_file.flush()) {
        fail(m_file.errorString());
        return false;
    }
    if (const Result synced = syncToDisk(m_file.fileName()); !synced) {
        fail(synced.error());
        return false;
    }
    const QString temporary = m_file.fileName();
    m_file.close();
    if (const Result replaced = replaceFile(temporary, m_path); !replaced) {
        m_ok = false;
        m_error = replaced.error();
        QFile::remove(temporary); // a no-op when the rename happened and only the folder's sync failed
        return false;
    }
    return true;
}

void AtomicFile::cancel() {
    m_ok = false;
    removeTemporary();
}

Result writeFileAtomically(const QString& path, const QByteArray& bytes, bool forcePrivate) {
    AtomicFile file(path);
    const bool ok = file.open(forcePrivate) && (file.write(bytes), file.commit());
    return ok ? Result() : Result::failure(file.errorString());
}

} // namespace quillbox
