#include "app/ClipboardKeeper.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quillbox {

ClipboardKeeper::ClipboardKeeper(Clock& clock, QObject* parent)
    : QObject(parent), m_clearing(clock, [this] { clearIfUnchanged(); }) {}

void ClipboardKeeper::put(const QString& text, int clearAfterMs) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(SecretHint, QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data); // the clipboard owns it from here
    m_text = text;
    // An empty text is nothing to protect, and an image copied later would also read as empty.
    if (clearAfterMs > 0 && !text.isEmpty()) {
        m_clearing.start(clearAfterMs);
    } else {
        m_clearing.stop();
    }
}

void ClipboardKeeper::clearNowIfPending() {
    if (m_clearing.isActive()) {
        m_clearing.stop();
        clearIfUnchanged();
    }
}

void ClipboardKeeper::clearForLock() {
    m_clearing.stop();
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
