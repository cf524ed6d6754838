#include "settings/PasswordMaker.h"

#include <zxcvbn.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillbox {

namespace {
const QString upperLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString lowerLetters = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString digitChars = QStringLiteral("0123456789");
const QString symbolChars = QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
const QString lookAlikes = QStringLiteral("0Oo1lI|8B5S2Z6G");

QStringList recipeClasses(const PasswordRecipe& recipe) {
    QStringList classes;
    auto add = [&](bool wanted, const QString& chars) {
        if (!wanted) {
            return;
        }
        QString kept;
        for (QChar c : chars) {
            if (!recipe.avoidLookAlikes || !lookAlikes.contains(c)) {
                kept += c;
            }
        }
        classes.append(kept);
    };
    add(recipe.upper, upperLetters);
    add(recipe.lower, lowerLetters);
    add(recipe.digits, digitChars);
    add(recipe.symbols, symbolChars);
    return classes;
}
} // namespace

QString recipeAlphabet(const PasswordRecipe& recipe) {
    return recipeClasses(recipe).join(QString());
}

quint32 uniformBelow(QRandomGenerator& random, quint32 bound) {
    if (bound <= 1) {
        return 0;
    }
    // 2^32 mod bound, computed without 64-bit overflow: the values below it would come up once
    // more often than the others.
    const quint32 skip = (std::numeric_limits<quint32>::max() - bound + 1) % bound;
    quint32 draw = random.generate();
    while (draw < skip) {
        draw = random.generate();
    }
    return draw % bound;
}

QString generatePassword(const PasswordRecipe& recipe, QRandomGenerator& random) {
    const QStringList classes = recipeClasses(recipe);
    const QString alphabet = classes.join(QString());
    if (alphabet.isEmpty()) {
        return QString();
    }
    const int length = std::clamp(recipe.length, minimumGeneratedLength, maximumGeneratedLength);
    QString password(length, QChar());
    // Drawn again whole until every class chosen is in it: each password that has them all
    // stays equally likely.
    for (;;) {
        for (QChar& c : password) {
            c = alphabet.at(uniformBelow(random, static_cast<quint32>(alphabet.size())));
        }
        const bool complete = std::all_of(classes.cbegin(), classes.cend(), [&](const QString& chars) {
            return std::any_of(password.cbegin(), password.cend(), [&](QChar c) { return chars.contains(c); });
        });
        if (complete) {
            return password;
        }
    }
}

QString generatePassphrase(int words, const QStringList& list, QRandomGenerator& random, QChar separator) {
    QStringList drawn;
    for (int i = 0; i < words && !list.isEmpty(); ++i) {
        drawn.append(list.at(uniformBelow(random, static_cast<quint32>(list.size()))));
    }
    return drawn.join(separator);
}

QStringList readWordList(const QByteArray& bytes) {
    QStringList words;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray word = line.mid(line.lastIndexOf('\t') + 1).trimmed();
        if (!word.isEmpty()) {
            words.append(QString::fromUtf8(word));
        }
    }
    return words;
}

PasswordStrength passwordStrength(const QString& password) {
    PasswordStrength strength;
    if (password.isEmpty()) {
        return strength;
    }
    ZxcMatch_t* parts = nullptr;
    strength.bits = ZxcvbnMatch(password.toUtf8().constData(), nullptr, &parts);
    strength.level = strength.bits < 40    ? QStringLiteral("poor")
                     : strength.bits < 75  ? QStringLiteral("weak")
                     : strength.bits < 100 ? QStringLiteral("good")
                                           : QStringLiteral("excellent");
    if (strength.weak()) {
        // The longest part the estimate recognised is what a guesser would try first.
        const ZxcMatch_t* longest = nullptr;
        for (const ZxcMatch_t* part = parts; part; part = part->Next) {
            const int type = part->Type & ~MULTIPLE_MATCH;
            if (type != BRUTE_MATCH && type != NON_MATCH && type != LONG_PWD_MATCH &&
                (!longest || part->Length > longest->Length)) {
                longest = part;
            }
        }
        switch (longest ? (longest->Type & ~MULTIPLE_MATCH) : NON_MATCH) {
        case DICTIONARY_MATCH:
        case DICT_LEET_MATCH:
        case USER_MATCH:
        case USER_LEET_MATCH:
            strength.warning = QStringLiteral("It is built on a common word or name.");
            break;
        case REPEATS_MATCH:
            strength.warning = QStringLiteral("It repeats characters or a pattern.");
            break;
        case SEQUENCE_MATCH:
            strength.warning = QStringLiteral("It holds a sequence such as abc or 123.");
            break;
        case SPATIAL_MATCH:
            strength.warning = QStringLiteral("It holds a row or pattern of keys on the keyboard.");
            break;
        case DATE_MATCH:
        case YEAR_MATCH:
            strength.warning = QStringLiteral("It holds a date or a year.");
            break;
        default:
            strength.warning = QStringLiteral("It is too short.");
            break;
        }
    }
    ZxcvbnFreeInfo(parts);
    return strength;
}

QString strengthText(const PasswordStrength& strength) {
    if (strength.level.isEmpty()) {
        return QString();
    }
    return QStringLiteral("%1, %2 bits").arg(strength.level).arg(std::lround(strength.bits));
}

} // namespace quillbox
