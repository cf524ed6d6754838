#include "store/AtomicFile.h"

#include "store/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quillbox {

namespace {
constexpr qsizetype flushSize = 1 << 20;
}

bool AtomicFile::open(bool forcePrivate) {
    const bool existed = QFile::exists(m_file.fileName());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        fail();
        return false;
    }
    if ((forcePrivate || !existed) && !m_file.setPermissions(privateFile)) {
        fail();
        m_file.cancelWriting();
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

void AtomicFile::write(const QByteArray& bytes) {
    flushPending();
    writeAll(bytes);
}

void AtomicFile::writeAll(const QByteArray& bytes) {
    // A disk that fills up part-way through takes part of a write without an error; the next
    // write of the rest is the one that fails with the system's reason.
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (m_ok && left > 0) {
        const qint64 written = m_file.write(data, left);
        if (written <= 0) {
            fail();
            return;
        }
        data += written;
        left -= written;
    }
}

void AtomicFile::flushPending() {
    if (m_ok && !m_pending.isEmpty()) {
        writeAll(m_pending.toUtf8());
    }
    m_pending.resize(0); // keeps its capacity
}

void AtomicFile::fail() {
    if (m_ok) {
        m_ok = false;
        m_error = m_file.errorString();
    }
    m_file.cancelWriting();
}

bool AtomicFile::commit() {
    flushPending();
    if (m_ok && !m_file.flush()) {
        fail();
    }
    if (!m_ok) {
        if (m_file.isOpen()) {
            m_file.commit(); // after cancelWriting() this only removes the temporary
        }
        return false;
    }
    if (!m_file.commit()) {
        m_ok = false;
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

void AtomicFile::cancel() {
    m_ok = false;
    m_file.cancelWriting();
    if (m_file.isOpen()) {
        m_file.commit();
    }
}

bool syncToDisk(const QString& path, QString* error) {
#ifdef Q_OS_UNIX
    // A folder cannot be opened for writing, so the file is opened read-only: fsync() needs no more.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    const int reason = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!ok && error) {
        *error = QString::fromLocal8Bit(std::strerror(reason));
    }
    return ok;
#else
    Q_UNUSED(path);
    Q_UNUSED(error);
    return true; // elsewhere the rename below is what the system makes durable
#endif
}

bool replaceFile(const QString& from, const QString& to, QString* error) {
    // rename() replaces the old file in one step; the old one stays until the new one is whole.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        if (error) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
        }
        return false;
    }
    return syncToDisk(QFileInfo(to).absolutePath(), error);
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error, bool forcePrivate) {
    AtomicFile file(path);
    const bool ok = file.open(forcePrivate) && (file.write(bytes), file.commit());
    if (!ok && error) {
        *error = file.errorString();
    }
    return ok;
}

} // namespace quillbox
