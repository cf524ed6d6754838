#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>

namespace quillbox {

// Column numbers of the table quillbox; a SiteRecord's field k holds column k.
namespace Col {
constexpr int SiteNameLabel = 0;
constexpr int SiteName = 1;
constexpr int UserNameLabel = 2;
constexpr int UserName = 3;
constexpr int PasswordLabel = 4;
constexpr int Password = 5;
constexpr int HomePageLabel = 6;
constexpr int HomePage = 7;
constexpr int FirstMisc = 8; // lmisc1; misc k label is 8 + 2(k-1), its value the next column
constexpr int Category = 26;
constexpr int Owner = 27;
constexpr int Notes = 28;
constexpr int Record = 29;
constexpr int TextColumns = 29; // every column but the record number
constexpr int Count = 30;
} // namespace Col

// What the list shows for a private value while masking: a run of "*" as long as the text, in
// UTF-16 code units.
inline QString maskText(const QString& text) {
    return QString(text.size(), QLatin1Char('*'));
}

// The length in UTF-16 code units of valid UTF-8: what maskText() of its text counts.
inline qsizetype utf16Length(QByteArrayView utf8) {
    qsizetype n = 0;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        n += (b & 0xC0) != 0x80; // each character's first byte
        n += b >= 0xF0;          // beyond U+FFFF: a surrogate pair
    }
    return n;
}

// The thirty column names in table order.
const QStringList& columnNames();

// One site record: 29 text columns and the record number as decimal text.
struct SiteRecord {
    std::array<QString, Col::Count> field;

    QString& operator[](int k) { return field[static_cast<size_t>(k)]; }
    const QString& operator[](int k) const { return field[static_cast<size_t>(k)]; }
};

// The length of the 29 text fields together: what a line or statement made of them needs.
inline qsizetype textFieldsLength(const SiteRecord& record) {
    qsizetype length = 0;
    for (int k = 0; k < Col::TextColumns; ++k) {
        length += record[k].size();
    }
    return length;
}

} // namespace quillbox
