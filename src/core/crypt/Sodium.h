#pragma once

#include <QString>

#include <cstddef>

namespace quillbox {

// libsodium is started (once, thread-safely); false when it could not be, and then no key can be
// made or used.
bool sodiumReady();

// Bytes that hold a secret: allocated apart from the heap, kept out of swap where the system
// allows, and wiped when released.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    bool isNull() const { return m_data == nullptr; }
    unsigned char* data() { return m_data; }
    const unsigned char* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

// The UTF-8 form of a typed secret, made in secret memory; the conversion's own buffer is wiped.
SecretBytes secretUtf8(const QString& text);

// Overwrites the characters of a string that no one else shares, then empties it.
void wipeString(QString& text);

} // namespace quillbox
