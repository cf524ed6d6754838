#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillbox::test {

namespace {
QString fillerPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral(".filler"));
}
} // namespace

SmallDisk::SmallDisk(const QString& folder, qint64 bytes) : m_folder(folder) {
    if (geteuid() != 0) {
        m_why = QStringLiteral("a full disk is made with a tmpfs, which only root may mount");
        return;
    }
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0) {
        m_why = QStringLiteral("tmpfs could not be mounted: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk() {
    if (m_mounted) {
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
}

void SmallDisk::fill() {
    QFile filler(fillerPath(m_folder));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        return;
    }
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    // The last partial block, byte by byte.
    while (filler.write("x", 1) == 1) {
    }
}

void SmallDisk::release() {
    QFile::remove(fillerPath(m_folder));
}

} // namespace quillbox::test
