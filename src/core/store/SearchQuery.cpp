#include "store/SearchQuery.h"

#include "store/SqlText.h"

namespace quillbox {

const QStringList& searchFieldEntries() {
    static const QStringList entries{
        QStringLiteral("All fields"), QStringLiteral("Site name"), QStringLiteral("User name"),
        QStringLiteral("Password"),   QStringLiteral("Home page"), QStringLiteral("Misc 1"),
        QStringLiteral("Misc 2"),     QStringLiteral("Misc 3"),    QStringLiteral("Misc 4"),
        QStringLiteral("Misc 5"),     QStringLiteral("Misc 6"),    QStringLiteral("Misc 7"),
        QStringLiteral("Misc 8"),     QStringLiteral("Misc 9"),    QStringLiteral("Category"),
        QStringLiteral("Owner"),      QStringLiteral("Notes")};
    return entries;
}

const QStringList& searchTypeEntries() {
    static const QStringList entries{QStringLiteral("Sounds like"),
                                     QStringLiteral("Equal to"),
                                     QStringLiteral("Does not equal"),
                                     QStringLiteral("Greater than"),
                                     QStringLiteral("Greater than or equal to"),
                                     QStringLiteral("Less than"),
                                     QStringLiteral("Less than or equal to"),
                                     QStringLiteral("Starts with"),
                                     QStringLiteral("Ends with")};
    return entries;
}

namespace {
// The columns searched by "All fields": the site-name label is the only label among them.
const QStringList& allFieldColumns() {
    static const QStringList columns = [] {
        QStringList list{QStringLiteral("lsitename"), QStringLiteral("sitename"), QStringLiteral("username"),
                         QStringLiteral("password"), QStringLiteral("homepage")};
        for (int k = 1; k <= 9; ++k) {
            list << QStringLiteral("misc%1").arg(k);
        }
        list << QStringLiteral("category") << QStringLiteral("owner") << QStringLiteral("notes");
        return list;
    }();
    return columns;
}
} // namespace

QString searchFieldColumn(int index) {
    // Index 1.. maps onto the all-fields chain without its leading label column.
    if (index < 1 || index > 16) {
        return QString();
    }
    return allFieldColumns().at(index);
}

QString comparisonClause(const QString& comparison, const QString& t) {
    const QStringList& types = searchTypeEntries();
    switch (types.indexOf(comparison)) {
    case 0:
        return QStringLiteral(" LIKE '%") + t + QStringLiteral("%'");
    case 1:
        return QStringLiteral(" = '") + t + QLatin1Char('\'');
    case 2:
        return QStringLiteral(" <> '") + t + QLatin1Char('\'');
    case 3:
        return QStringLiteral(" > '") + t + QLatin1Char('\'');
    case 4:
        return QStringLiteral(" >= '") + t + QLatin1Char('\'');
    case 5:
        return QStringLiteral(" < '") + t + QLatin1Char('\'');
    case 6:
        return QStringLiteral(" <= '") + t + QLatin1Char('\'');
    case 7: // starts with
        return QStringLiteral(" LIKE '") + t + QStringLiteral("%'");
    case 8: // ends with
        return QStringLiteral(" LIKE '%") + t + QLatin1Char('\'');
    default:
        return QString();
    }
}

QString searchStatement(const SearchState& state) {
    const QString ownerClause = QStringLiteral(" AND owner='") + sqlQuote(state.owner) + QLatin1Char('\'');
    const QString categoryClause = state.category == allCategories ? QString()
                                                                   : QStringLiteral(" And category='") +
                                                                         sqlQuote(state.category) + QLatin1Char('\'');
    const QString clause = comparisonClause(state.comparison, sqlQuote(state.text));
    QString sql = QStringLiteral("SELECT * FROM quillbox WHERE ");
    if (state.field == 0) {
        const QStringList& columns = allFieldColumns();
        sql += QLatin1Char('(');
        for (int i = 0; i < columns.size(); ++i) {
            if (i > 0) {
                sql += QLatin1String(" OR ");
            }
            sql += columns[i] + clause;
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
