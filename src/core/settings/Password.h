#pragma once

#include "crypt/FileKey.h"

#include <QString>

namespace quillbox {

// A password is 8 to 128 UTF-16 code units long: room for the generator's passphrases.
constexpr int MinPasswordLength = 8;
constexpr int MaxPasswordLength = 128;
enum class PasswordLength { Allowed, TooShort, TooLong };
PasswordLength passwordLength(const QString& password);
bool passwordLengthAllowed(const QString& password);

// The fingerprint a plain database's program password is kept as: an Argon2id string in the PHC
// format ("$argon2id$v=19$m=...,t=...,p=1$salt$hash"), with a fresh salt each time. Empty when
// libsodium could not make one (out of memory).
QString passwordFingerprint(const QString& password, const KdfCost& cost);

// The two forms earlier versions wrote, read once and then rewritten: MD5 of the password's whole
// UTF-16LE text, and MD5 of only its first N bytes for an N-character password, both as 32
// lower-case hex digits.
QString md5Fingerprint(const QString& password);
QString halfMd5Fingerprint(const QString& password);

enum class FingerprintMatch {
    None,
    Current,
    Legacy, // matches, but the stored fingerprint must be rewritten in the current form
};

// How a typed password compares with a stored fingerprint. An empty password or an empty stored
// fingerprint never matches. The half-length MD5 form of a text of even length is the whole form
// of its first half: such a fingerprint is taken as the first half's (the password typed twice
// is refused), unless that half is too short to have been a password.
FingerprintMatch matchFingerprint(const QString& password, const QString& stored);

} // namespace quillbox
