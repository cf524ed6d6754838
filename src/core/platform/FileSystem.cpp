#include "platform/FileSystem.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace quillbox {

namespace {
QString systemReason(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

Result syncToDisk(const QString& path) {
#ifdef Q_OS_UNIX
    // A folder cannot be opened for writing, so the file is opened read-only: fsync() needs no more.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    const int reason = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    return ok ? Result() : Result::failure(systemReason(reason));
#else
    Q_UNUSED(path);
    return {}; // elsewhere the replacing rename below is what the system makes durable
#endif
}

void startWriteBack(int handle, qint64 offset, qint64 length) {
#ifdef Q_OS_LINUX
    // Only a hint: a failure to write the bytes is seen at the sync that follows.
    ::sync_file_range(handle, offset, length, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(handle);
    Q_UNUSED(offset);
    Q_UNUSED(length);
#endif
}

Result replaceFile(const QString& from, const QString& to) {
    // The old file stays until the new one is whole; the rename replaces the name itself, a link
    // of that name included, in one step.
#ifdef Q_OS_WIN
    const bool renamed =
        ::MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()), reinterpret_cast<const wchar_t*>(to.utf16()),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!renamed) {
        return Result::failure(QStringLiteral("the file could not be renamed (error %1)").arg(::GetLastError()));
    }
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        return Result::failure(systemReason(errno));
    }
#endif
    return syncToDisk(QFileInfo(to).absolutePath());
}

// The fallback: a handle of its own, one reader at a time.
struct BytesAtOffsets::Reopened {
    QFile file;
    std::mutex lock;
};

BytesAtOffsets::BytesAtOffsets(QIODevice& device) {
    if (auto* buffer = qobject_cast<QBuffer*>(&device)) {
        m_memory = buffer->data();
    } else if (auto* file = qobject_cast<QFileDevice*>(&device)) {
#ifdef Q_OS_UNIX
        m_fd = file->handle();
#else
        m_reopened = std::make_unique<Reopened>();
        m_reopened->file.setFileName(file->fileName());
        if (file->fileName().isEmpty() || !m_reopened->file.open(QIODevice::ReadOnly)) {
            m_reopened.reset();
        }
#endif
    }
}

BytesAtOffsets::~BytesAtOffsets() = default;

bool BytesAtOffsets::valid() const {
    return m_fd >= 0 || m_reopened || !m_memory.isNull();
}

qsizetype BytesAtOffsets::readAt(qint64 offset, char* to, qsizetype n) const {
    if (m_reopened) {
        const std::lock_guard<std::mutex> hold(m_reopened->lock);
        return m_reopened->file.seek(offset) ? m_reopened->file.read(to, n) : -1;
    }
    if (m_fd < 0) {
        n = std::clamp<qint64>(m_memory.size() - offset, 0, n);
        std::memcpy(to, m_memory.constData() + offset, static_cast<size_t>(n));
        return n;
    }
#ifdef Q_OS_UNIX
    for (;;) {
        const ssize_t got = ::pread(m_fd, to, static_cast<size_t>(n), offset);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
#else
    return -1;
#endif
}

ScratchFile::ScratchFile(const QString& folder) : m_file(QDir(folder).filePath(QStringLiteral("quillbox-XXXXXX"))) {
    // Made owner-only (0600); on Linux without a name at all, unless the file system refuses that.
    if (!QDir().mkpath(folder) || !m_file.open()) {
        return;
    }
#ifdef Q_OS_UNIX
    if (m_file.exists()) {
        QFile::remove(m_file.fileName()); // the open handle keeps it; nothing else can reach it
    }
#endif
}

bool ScratchFile::append(const char* data, qsizetype n) {
    if (!m_file.isOpen() || !m_file.seek(m_size)) {
        return false;
    }
    const bool written = m_file.write(data, n) == n && m_file.flush();
    m_size += written ? n : 0;
    return written;
}

bool ScratchFile::readAt(qint64 offset, char* to, qsizetype n) {
    return m_file.isOpen() && m_file.seek(offset) && m_file.read(to, n) == n;
}

} // namespace quillbox
