#include "app/WindowGuard.h"

#include "app/WindowEffects.h"

#include <QWidget>

namespace quillbox {

QString WindowGuard::message() const {
    return QStringLiteral("The [") + m_caption + QStringLiteral("] window is still open.");
}

void WindowGuard::open(const QString& caption) {
    m_open = true;
    m_caption = caption;
}

void WindowGuard::close(QWidget* window, int step) {
    if (window) {
        dismiss(window, step);
    }
    m_open = false;
}

void WindowGuard::dismiss(QWidget* window, int step) const {
    fadeOut(m_settings, window, step);
    window->close();
    window->deleteLater();
}

} // namespace quillbox
