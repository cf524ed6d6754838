#pragma once

#include <QString>

namespace quillbox::test {

// A small tmpfs mounted over a folder for one test, so a disk can be filled for real. Mounting
// needs root (CI runs as root); elsewhere isMounted() is false and why() says so.
class SmallDisk {
public:
    SmallDisk(const QString& folder, qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    QString why() const { return m_why; }
    // Takes every free byte with a filler file.
    void fill();
    // Gives the filler's space back.
    void release();

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_why;
};

} // namespace quillbox::test

// Skips the test when the disk could not be mounted.
#define QUILLBOX_REQUIRE_MOUNTED(disk)                                                                                 \
    do {                                                                                                               \
        if (!(disk).isMounted())                                                                                       \
            QSKIP(qPrintable((disk).why()));                                                                           \
    } while (false)
