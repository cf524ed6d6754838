#pragma once

// A table of values that every export format must carry: quotes of both kinds, the formats' own
// delimiters, markup characters, blanks at the edges and in runs, every kind of line break,
// text beyond Latin-1 and empty fields.
#include "store/SiteRecord.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace quillbox::test {

inline SiteRecord nastyRecord(std::initializer_list<std::pair<int, const char*>> values) {
    SiteRecord r;
    for (const auto& [k, v] : values) {
        r[k] = QString::fromUtf8(v);
    }
    return r;
}

inline QList<SiteRecord> nastyTable() {
    QList<SiteRecord> table{
        nastyRecord({{Col::SiteNameLabel, "Site name"},
                     {Col::SiteName, "O'Brien's Bank"},
                     {Col::UserNameLabel, "User name"},
                     {Col::UserName, "he said \"yes\""},
                     {Col::PasswordLabel, "Password"},
                     {Col::Password, "p|w~&<x>"},
                     {Col::HomePageLabel, "Home page"},
                     {Col::HomePage, "https://bank.example/?a=1&b=<2>&amp;"},
                     {Col::FirstMisc, "Comma, here"},
                     {Col::FirstMisc + 1, "a\",\"b"},
                     {Col::FirstMisc + 2, "  lead"},
                     {Col::FirstMisc + 3, "trail  "},
                     {Col::FirstMisc + 4, "two  spaces   three"},
                     {Col::FirstMisc + 5, "Crème brûlée – Ελληνικά – 日本語 – 🙂"},
                     {Col::FirstMisc + 6, "''"},
                     {Col::FirstMisc + 7, "'"},
                     {Col::FirstMisc + 8, "tab\there"},
                     {Col::FirstMisc + 9, "]]> &lt; \"\""},
                     {Col::Category, "Money"},
                     {Col::Owner, "Ann"},
                     {Col::Notes, "line1\r\nline2\rlone CR\nlone LF~tilde\r\n\r\n  indented  \r\n"}}),
        SiteRecord(), // every field empty
        nastyRecord({{Col::SiteNameLabel, "Label\r\nsplit"},
                     {Col::SiteName, "multi\nline\rname"},
                     {Col::UserName, " "},
                     {Col::Password, "\""},
                     {Col::HomePage, ","},
                     {Col::Category, "Work"},
                     {Col::Owner, "Ann"},
                     {Col::Notes, "\nstarts with LF"}}),
        nastyRecord({{Col::SiteName, "Last"}, {Col::Category, "Work"}, {Col::Owner, "Bob"}, {Col::Notes, "\r\n"}}),
    };
    // A value that begins with U+FEFF, which is no byte-order mark there.
    table.last()[Col::UserName] = QStringLiteral("\uFEFFmarked");
    return table;
}

// What a record becomes after a trip through the text format: line breaks stay in notes (as
// CR LF, like "~"), elsewhere they turn into blanks. A "|" cannot travel at all.
inline SiteRecord textImage(SiteRecord r) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    for (int k = 0; k < Col::TextColumns; ++k) {
        r[k].replace(lineBreak, k == Col::Notes ? QStringLiteral("\r\n") : QStringLiteral(" "));
    }
    r[Col::Notes].replace(QLatin1Char('~'), QLatin1String("\r\n"));
    return r;
}

// The nasty table without the one character the text format cannot carry.
inline QList<SiteRecord> nastyTableWithoutBars() {
    QList<SiteRecord> table = nastyTable();
    for (SiteRecord& r : table) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            r[k].replace(QLatin1Char('|'), QLatin1Char('/'));
        }
    }
    return table;
}

} // namespace quillbox::test
