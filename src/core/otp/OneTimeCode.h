#pragma once

#include "store/SiteRecord.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillbox {

// Time-based one-time codes, as sign-in pages ask for them.

enum class OtpAlgorithm { Sha1, Sha256, Sha512 };

struct OtpSecret {
    QByteArray key; // the decoded secret
    OtpAlgorithm algorithm = OtpAlgorithm::Sha1;
    int digits = 6;  // 6..10
    int period = 30; // 15..120 seconds
    QString issuer;  // from the address, may be empty
    QString account; // the label's account part, may be empty
};

struct OtpParse {
    std::optional<OtpSecret> secret;
    QString error; // what is wrong, in a short sentence for the user, when no secret
};

// An otpauth://totp/LABEL?secret=...&issuer=...&algorithm=SHA1|SHA256|SHA512&digits=N&period=N address,
// or a bare Base32 secret (spaces and hyphens between groups allowed, any case, padding optional).
OtpParse parseOneTimeSecret(const QString& text);

// Whether the text looks like an otpauth://totp/ address at all (case-insensitive scheme and type).
bool isOneTimeAddress(const QString& text);

// The code at a moment (seconds since 1970 UTC), zero-padded to secret.digits.
QString oneTimeCode(const OtpSecret& secret, qint64 unixSeconds);

// Seconds until the code changes (1..period).
int secondsUntilNextCode(const OtpSecret& secret, qint64 unixSeconds);

// Which free field of a record holds a one-time code: the misc pair number 1..9, or 0 for none.
// A field qualifies when its value is an otpauth://totp/ address, or when its label is "TOTP",
// "OTP" or "One-time code" (case-insensitive, surrounding blanks ignored) and its value is not empty
// (it is then read as a Base32 secret, which may turn out malformed: the caller shows the error).
// The first qualifying pair wins.
int oneTimeCodeField(const SiteRecord& record);

// A record's code at a moment, as the list, the form and the command line show it.
struct OneTimeCodeNow {
    int pair = 0;        // the free pair holding the secret; 0 when the record has none
    QString code;        // empty when there is none
    int secondsLeft = 0; // until the next code
    QString error;       // why there is no code: no such field, or a malformed secret
};
OneTimeCodeNow recordOneTimeCode(const SiteRecord& record, qint64 unixSeconds);

} // namespace quillbox
