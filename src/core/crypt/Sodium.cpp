#include "crypt/Sodium.h"

#include <sodium.h>

#include <cstring>
#include <utility>

namespace quillbox {

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

SecretBytes::SecretBytes(std::size_t size) {
    if (sodiumReady()) {
        // An empty secret still gets a block, so that null always means "could not be made".
        m_data = static_cast<unsigned char*>(sodium_malloc(size > 0 ? size : 1));
        m_size = m_data ? size : 0;
    }
}

SecretBytes::~SecretBytes() {
    sodium_free(m_data); // wipes first
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        sodium_free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

SecretBytes secretUtf8(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    SecretBytes secret(static_cast<std::size_t>(utf8.size()));
    if (!secret.isNull() && !utf8.isEmpty()) {
        std::memcpy(secret.data(), utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    sodium_memzero(utf8.data(), static_cast<std::size_t>(utf8.size()));
    return secret;
}

void wipeString(QString& text) {
    if (!text.isDetached()) {
        text = QString(); // another holder keeps its copy; ours goes
        return;
    }
    sodium_memzero(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    text = QString();
}

} // namespace quillbox
