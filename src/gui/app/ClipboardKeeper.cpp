#include "app/ClipboardKeeper.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quillbox {

ClipboardKeeper::ClipboardKeeper(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ClipboardKeeper::clearIfUnchanged);
}

void ClipboardKeeper::put(const QString& text, int clearAfterMs) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(SecretHint, QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data); // the clipboard owns it from here
    m_text = text;
    // An empty text is nothing to protect, and an image copied later would also read as empty.
    if (clearAfterMs > 0 && !text.isEmpty()) {
        m_timer.start(clearAfterMs);
    } else {
        m_timer.stop();
    }
}

void ClipboardKeeper::clearNowIfPending() {
    if (m_timer.isActive()) {
        m_timer.stop();
        clearIfUnchanged();
    }
}

void ClipboardKeeper::clearForLock() {
    m_timer.stop();
    if (!m_text.isEmpty()) {
        clearIfUnchanged();
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && clipboard->ownsSelection()) {
        clipboard->clear(QClipboard::Selection);
    }
}

void ClipboardKeeper::clearIfUnchanged() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->text() == m_text) {
        clipboard->clear();
    }
    m_text.clear();
}

} // namespace quillbox
