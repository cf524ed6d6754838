#include "otp/OneTimeCode.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <array>

namespace quillbox {

namespace {

constexpr int minDigits = 6;
constexpr int maxDigits = 10;
constexpr int minPeriod = 15;
constexpr int maxPeriod = 120;

OtpParse failure(const QString& error) {
    return OtpParse{std::nullopt, error};
}

// A secret as people copy it: groups split by blanks or hyphens, any case, padding optional.
// Trailing bits that do not fill a byte are dropped, even when not zero, as lenient readers do.
std::optional<QByteArray> decodeBase32(const QString& text, QString& error) {
    QByteArray key;
    quint32 buffer = 0;
    int bits = 0;
    int symbols = 0;
    bool padding = false;
    for (const QChar c : text) {
        if (c.isSpace() || c == QLatin1Char('-')) {
            continue;
        }
        if (c == QLatin1Char('=')) {
            padding = true;
            continue;
        }
        // ASCII only: QChar::toUpper() would make some foreign letters pass as Base32 ones.
        const char16_t u = c.unicode();
        int value = -1;
        if (u >= u'A' && u <= u'Z') {
            value = u - u'A';
        } else if (u >= u'a' && u <= u'z') {
            value = u - u'a';
        } else if (u >= u'2' && u <= u'7') {
            value = u - u'2' + 26;
        }
        if (value < 0 || padding) {
            error = padding && value >= 0
                        ? QStringLiteral("The secret has padding (\"=\") before its end.")
                        : QStringLiteral("The secret has a character that is not Base32: \"%1\".").arg(c);
            return std::nullopt;
        }
        ++symbols;
        buffer = (buffer << 5) | static_cast<quint32>(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            key.append(static_cast<char>((buffer >> bits) & 0xff));
        }
    }
    if (key.isEmpty()) {
        error = symbols == 0 ? QStringLiteral("The secret is empty.") : QStringLiteral("The secret is too short.");
        return std::nullopt;
    }
    return key;
}

// Case-insensitive lookup; the first of repeated keys counts.
QString queryValue(const QList<std::pair<QString, QString>>& items, QLatin1String key, bool* found = nullptr) {
    for (const auto& [name, value] : items) {
        if (name.compare(key, Qt::CaseInsensitive) == 0) {
            if (found) {
                *found = true;
            }
            return value;
        }
    }
    if (found) {
        *found = false;
    }
    return {};
}

bool readNumber(const QList<std::pair<QString, QString>>& items, QLatin1String key, int low, int high, int& out) {
    bool found = false;
    const QString text = queryValue(items, key, &found);
    if (!found) {
        return true;
    }
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

OtpParse parseAddress(const QUrl& url) {
    const QString type = url.host();
    if (type.compare(QLatin1String("hotp"), Qt::CaseInsensitive) == 0) {
        return failure(QStringLiteral("Counter-based (HOTP) one-time codes are not supported, only time-based ones."));
    }
    if (type.compare(QLatin1String("totp"), Qt::CaseInsensitive) != 0) {
        return failure(QStringLiteral("The address is not a time-based one-time code (otpauth://totp/)."));
    }
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);

    OtpSecret secret;
    bool hasSecret = false;
    const QString encoded = queryValue(items, QLatin1String("secret"), &hasSecret);
    if (!hasSecret) {
        return failure(QStringLiteral("The address has no secret."));
    }
    QString error;
    const auto key = decodeBase32(encoded, error);
    if (!key) {
        return failure(error);
    }
    secret.key = *key;

    bool hasAlgorithm = false;
    const QString algorithm = queryValue(items, QLatin1String("algorithm"), &hasAlgorithm).trimmed();
    if (hasAlgorithm) {
        static const std::array<std::pair<QLatin1String, OtpAlgorithm>, 3> known{{
            {QLatin1String("SHA1"), OtpAlgorithm::Sha1},
            {QLatin1String("SHA256"), OtpAlgorithm::Sha256},
            {QLatin1String("SHA512"), OtpAlgorithm::Sha512},
        }};
        const auto match = std::find_if(known.begin(), known.end(), [&](const auto& entry) {
            return algorithm.compare(entry.first, Qt::CaseInsensitive) == 0;
        });
        if (match == known.end()) {
            return failure(QStringLiteral("The algorithm \"%1\" is not one of SHA1, SHA256 or SHA512.").arg(algorithm));
        }
        secret.algorithm = match->second;
    }
    if (!readNumber(items, QLatin1String("digits"), minDigits, maxDigits, secret.digits)) {
        return failure(QStringLiteral("The number of digits, \"%1\", is not between %2 and %3.")
                           .arg(queryValue(items, QLatin1String("digits")))
                           .arg(minDigits)
                           .arg(maxDigits));
    }
    if (!readNumber(items, QLatin1String("period"), minPeriod, maxPeriod, secret.period)) {
        return failure(QStringLiteral("The period, \"%1\", is not between %2 and %3 seconds.")
                           .arg(queryValue(items, QLatin1String("period")))
                           .arg(minPeriod)
                           .arg(maxPeriod));
    }

    QString label = url.path(QUrl::FullyDecoded);
    if (label.startsWith(QLatin1Char('/'))) {
        label.remove(0, 1);
    }
    const qsizetype colon = label.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        secret.issuer = label.left(colon).trimmed();
        secret.account = label.mid(colon + 1).trimmed();
    } else {
        secret.account = label.trimmed();
    }
    // The parameter is what the service meant; the label's prefix is often just for display.
    bool hasIssuer = false;
    const QString issuer = queryValue(items, QLatin1String("issuer"), &hasIssuer).trimmed();
    if (hasIssuer && !issuer.isEmpty()) {
        secret.issuer = issuer;
    }
    return OtpParse{secret, {}};
}

bool hasOneTimeScheme(const QString& text) {
    return text.startsWith(QLatin1String("otpauth:"), Qt::CaseInsensitive);
}

QCryptographicHash::Algorithm hashOf(OtpAlgorithm algorithm) {
    switch (algorithm) {
    case OtpAlgorithm::Sha256:
        return QCryptographicHash::Sha256;
    case OtpAlgorithm::Sha512:
        return QCryptographicHash::Sha512;
    case OtpAlgorithm::Sha1:
        break;
    }
    return QCryptographicHash::Sha1;
}

// A hand-built secret with no period must not divide by zero.
qint64 periodOf(const OtpSecret& secret) {
    return std::max(1, secret.period);
}

} // namespace

OtpParse parseOneTimeSecret(const QString& text) {
    const QString trimmed = text.trimmed();
    if (hasOneTimeScheme(trimmed)) {
        return parseAddress(QUrl(trimmed));
    }
    OtpParse parse;
    if (const auto key = decodeBase32(trimmed, parse.error)) {
        parse.secret = OtpSecret{};
        parse.secret->key = *key;
    }
    return parse;
}

bool isOneTimeAddress(const QString& text) {
    const QString trimmed = text.trimmed();
    return hasOneTimeScheme(trimmed) && QUrl(trimmed).host().compare(QLatin1String("totp"), Qt::CaseInsensitive) == 0;
}

QString oneTimeCode(const OtpSecret& secret, qint64 unixSeconds) {
    const quint64 counter = static_cast<quint64>(std::max<qint64>(0, unixSeconds) / periodOf(secret));
    QByteArray message(8, '\0');
    for (int i = 0; i < 8; ++i) {
        message[7 - i] = static_cast<char>((counter >> (8 * i)) & 0xff);
    }
    const QByteArray mac = QMessageAuthenticationCode::hash(message, secret.key, hashOf(secret.algorithm));

    // Dynamic truncation: the last nibble picks where four bytes are read, top bit cleared.
    const auto byte = [&](qsizetype i) { return static_cast<quint32>(static_cast<unsigned char>(mac[i])); };
    const qsizetype offset = byte(mac.size() - 1) & 0x0f;
    const quint32 truncated =
        ((byte(offset) & 0x7f) << 24) | (byte(offset + 1) << 16) | (byte(offset + 2) << 8) | byte(offset + 3);

    const int digits = std::clamp(secret.digits, 1, maxDigits);
    quint64 modulus = 1;
    for (int i = 0; i < digits; ++i) {
        modulus *= 10;
    }
    return QString::number(truncated % modulus).rightJustified(digits, QLatin1Char('0'));
}

int secondsUntilNextCode(const OtpSecret& secret, qint64 unixSeconds) {
    const qint64 period = periodOf(secret);
    return static_cast<int>(period - std::max<qint64>(0, unixSeconds) % period);
}

int oneTimeCodeField(const SiteRecord& record) {
    static const std::array<QLatin1String, 3> labels{QLatin1String("TOTP"), QLatin1String("OTP"),
                                                     QLatin1String("One-time code")};
    for (int k = 1; k <= 9; ++k) {
        const QString label = record[Col::FirstMisc + 2 * (k - 1)].trimmed();
        const QString& value = record[Col::FirstMisc + 2 * (k - 1) + 1];
        if (isOneTimeAddress(value)) {
            return k;
        }
        const bool named = std::any_of(labels.begin(), labels.end(), [&](QLatin1String name) {
            return label.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (named && !value.trimmed().isEmpty()) {
            return k;
        }
    }
    return 0;
}

OneTimeCodeNow recordOneTimeCode(const SiteRecord& record, qint64 unixSeconds) {
    OneTimeCodeNow now;
    now.pair = oneTimeCodeField(record);
    if (now.pair == 0) {
        now.error = QStringLiteral("This record has no one-time code: no free field holds an otpauth:// address or "
                                   "is labelled TOTP.");
        return now;
    }
    const OtpParse parsed = parseOneTimeSecret(record[Col::FirstMisc + 2 * (now.pair - 1) + 1]);
    if (!parsed.secret) {
        now.error = QStringLiteral("The one-time code cannot be made: %1").arg(parsed.error);
        return now;
    }
    now.code = oneTimeCode(*parsed.secret, unixSeconds);
    now.secondsLeft = secondsUntilNextCode(*parsed.secret, unixSeconds);
    return now;
}

} // namespace quillbox
