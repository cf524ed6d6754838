#include "store/AtomicFile.h"

#include "store/PrivateFile.h"

#include <QFile>

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
    if (m_ok && m_file.write(bytes) != bytes.size()) {
        fail();
    }
}

void AtomicFile::flushPending() {
    if (m_ok && !m_pending.isEmpty()) {
        const QByteArray bytes = m_pending.toUtf8();
        if (m_file.write(bytes) != bytes.size()) {
            fail();
        }
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

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error, bool forcePrivate) {
    AtomicFile file(path);
    const bool ok = file.open(forcePrivate) && (file.write(bytes), file.commit());
    if (!ok && error) {
        *error = file.errorString();
    }
    return ok;
}

} // namespace quillbox
