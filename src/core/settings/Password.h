#pragma once

#include <QString>

namespace quillbox {

// A password is 8 to 25 UTF-16 code units long.
constexpr int MinPasswordLength = 8;
constexpr int MaxPasswordLength = 25;
bool passwordLengthAllowed(const QString& password);

// MD5 of the password's whole UTF-16LE text, as 32 lower-case hex digits.
QString passwordFingerprint(const QString& password);
// The form earlier versions wrote: MD5 of only the first N bytes of the UTF-16LE text of an
// N-character password. Still accepted when checking, never written.
QString legacyPasswordFingerprint(const QString& password);

enum class FingerprintMatch {
    None,
    Current,
    Legacy, // matches, but the stored fingerprint should be rewritten in the current form
};

// How a typed password compares with a stored fingerprint. An empty password or an empty
// stored fingerprint never matches.
FingerprintMatch matchFingerprint(const QString& password, const QString& stored);

} // namespace quillbox
