#include "store/SearchQuery.h"

#include "store/SqlText.h"

namespace quillbox {

namespace {
QString fromAscii(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

const QStringList& searchFieldEntries() {
    static const QStringList entries = [] {
        QStringList list;
        for (const SearchFieldEntry& field : searchFieldTable) {
            list << QStringView(field.caption).toString();
        }
        return list;
    }();
    return entries;
}

const QStringList& searchTypeEntries() {
    static const QStringList entries = [] {
        QStringList list;
        for (const ComparisonEntry& entry : comparisonTable) {
            list << QStringView(entry.caption).toString();
        }
        return list;
    }();
    return entries;
}

std::optional<Comparison> comparisonAt(int index) {
    if (index < 0 || index >= static_cast<int>(comparisonTable.size())) {
        return std::nullopt;
    }
    return comparisonTable[static_cast<size_t>(index)].comparison;
}

std::optional<Comparison> comparisonNamed(QStringView name) {
    for (const ComparisonEntry& entry : comparisonTable) {
        if (name == QLatin1StringView(entry.name.data(), static_cast<qsizetype>(entry.name.size()))) {
            return entry.comparison;
        }
    }
    return std::nullopt;
}

QString searchFieldColumn(int index) {
    // Field 0's column is searched by "All fields" alone.
    if (index < 1 || index > LastSearchField) {
        return QString();
    }
    return fromAscii(searchFieldTable[static_cast<size_t>(index)].column);
}

QString comparisonClause(Comparison comparison, const QString& t) {
    switch (comparison) {
    case Comparison::Contains:
        return QStringLiteral(" LIKE '%") + t + QStringLiteral("%'");
    case Comparison::Equal:
        return QStringLiteral(" = '") + t + QLatin1Char('\'');
    case Comparison::NotEqual:
        return QStringLiteral(" <> '") + t + QLatin1Char('\'');
    case Comparison::Greater:
        return QStringLiteral(" > '") + t + QLatin1Char('\'');
    case Comparison::GreaterOrEqual:
        return QStringLiteral(" >= '") + t + QLatin1Char('\'');
    case Comparison::Less:
        return QStringLiteral(" < '") + t + QLatin1Char('\'');
    case Comparison::LessOrEqual:
        return QStringLiteral(" <= '") + t + QLatin1Char('\'');
    case Comparison::StartsWith:
        return QStringLiteral(" LIKE '") + t + QStringLiteral("%'");
    case Comparison::EndsWith:
        return QStringLiteral(" LIKE '%") + t + QLatin1Char('\'');
    }
    return QString();
}

QString searchStatement(const SearchState& state) {
    const QString ownerClause = QStringLiteral(" AND owner='") + sqlQuote(state.owner) + QLatin1Char('\'');
    const QString categoryClause = state.category == allCategories ? QString()
                                                                   : QStringLiteral(" And category='") +
                                                                         sqlQuote(state.category) + QLatin1Char('\'');
    const QString clause = comparisonClause(state.comparison, sqlQuote(state.text));
    QString sql = QStringLiteral("SELECT * FROM quillbox WHERE ");
    if (state.field == AllFields) {
        sql += QLatin1Char('(');
        for (const SearchFieldEntry& field : searchFieldTable) {
            if (&field != searchFieldTable.data()) {
                sql += QLatin1String(" OR ");
            }
            sql += fromAscii(field.column) + clause;
        }
        sql += QLatin1Char(')');
    } else {
        sql += searchFieldColumn(state.field) + clause;
    }
    sql += ownerClause + categoryClause + QStringLiteral(" ORDER BY sitename");
    return sql;
}

QString ownerListStatement() {
    return QStringLiteral("SELECT DISTINCT owner FROM quillbox ORDER BY owner");
}

QString ownerRecordsStatement(const QString& owner) {
    return QStringLiteral("SELECT * FROM quillbox WHERE owner='") + sqlQuote(owner) +
           QStringLiteral("' ORDER BY sitename");
}

QString categoryRecordsStatement(const QString& owner, const QString& category) {
    return QStringLiteral("SELECT * FROM quillbox WHERE category='") + sqlQuote(category) +
           QStringLiteral("' AND owner='") + sqlQuote(owner) + QStringLiteral("' ORDER BY sitename");
}

QString categoriesOfOwnerStatement(const QString& owner) {
    return QStringLiteral("SELECT DISTINCT category FROM quillbox WHERE owner='") + sqlQuote(owner) +
           QStringLiteral("' ORDER BY category");
}

QString allCategoriesStatement() {
    return QStringLiteral("SELECT DISTINCT category FROM quillbox ORDER BY category");
}

QString siteNameLabelStatement(const QString& recordNumber) {
    return QStringLiteral("Select lsitename FROM quillbox WHERE record='") + recordLiteral(recordNumber) +
           QLatin1Char('\'');
}

QString privateColumnsStatement(const QString& recordNumber) {
    return QStringLiteral("SELECT username,password,homepage FROM quillbox WHERE record='") +
           recordLiteral(recordNumber) + QLatin1Char('\'');
}

} // namespace quillbox
