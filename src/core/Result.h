#pragma once

#include <QString>

#include <utility>

namespace quillbox {

// What an operation that can fail gives back: done, or not done and why, in the words the
// program shows (a message box, the status line, the command line's error). A failure always
// carries its reason; success carries none. Operations with more to tell (how many records, which
// file) return a struct of their own with the same `error` text beside it.
class [[nodiscard]] Result {
public:
    Result() = default; // done
    static Result failure(QString why) { return Result(std::move(why)); }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    // Why it failed; empty when it did not.
    const QString& error() const { return m_error; }

private:
    explicit Result(QString why) : m_error(std::move(why)), m_ok(false) {
        if (m_error.isEmpty()) {
            m_error = QStringLiteral("the operation failed");
        }
    }

    QString m_error;
    bool m_ok = true;
};

} // namespace quillbox
