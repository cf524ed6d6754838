#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

namespace quillbox {

// What a generated password is made of.
struct PasswordRecipe {
    int length = 20; // 8 to 128
    bool upper = true;
    bool lower = true;
    bool digits = true;
    bool symbols = true;
    bool avoidLookAlikes = false; // no 0 O o 1 l I | 8 B 5 S 2 Z 6 G
};

inline constexpr int minimumGeneratedLength = 8;
inline constexpr int maximumGeneratedLength = 128;

// The characters a recipe draws from, each once.
QString recipeAlphabet(const PasswordRecipe& recipe);

// A number in [0, bound) with every value equally likely: draws that would favour the low values
// (the remainder of 2^32 by bound) are drawn again.
quint32 uniformBelow(QRandomGenerator& random, quint32 bound);

// A password of recipe.length characters (clamped to 8..128), each drawn uniformly from the
// recipe's alphabet, with at least one character of every class chosen; empty when no class is.
// Production passes QRandomGenerator::system(), the system's cryptographic source.
QString generatePassword(const PasswordRecipe& recipe, QRandomGenerator& random);

// words words drawn uniformly from the list, joined by separator.
QString generatePassphrase(int words, const QStringList& list, QRandomGenerator& random,
                           QChar separator = QLatin1Char('-'));

// The words of a word list file: one per line, or a dice number, a tab and the word.
QStringList readWordList(const QByteArray& bytes);

// An estimate of how hard a password is to guess.
struct PasswordStrength {
    double bits = 0;
    QString level;   // "poor", "weak", "good", "excellent"; empty for an empty password
    QString warning; // for a poor or weak one, what makes it easy to guess, when the estimate saw it
    bool weak() const { return level == QLatin1String("poor") || level == QLatin1String("weak"); }
};

PasswordStrength passwordStrength(const QString& password);

// "good, 62 bits"; empty for an empty password.
QString strengthText(const PasswordStrength& strength);

} // namespace quillbox
