#pragma once

#include <QString>
#include <QStringList>

namespace quillbox {

inline const QString allCategories = QStringLiteral("All Categories");

// Entries of the search-field and comparison selectors, in order.
const QStringList& searchFieldEntries();
const QStringList& searchTypeEntries();

// Column searched for a search-field index; empty for "All fields" and out-of-range indexes.
QString searchFieldColumn(int index);

// Clause appended to a column name for a comparison, with t already quoted.
QString comparisonClause(const QString& comparison, const QString& quotedText);

// The inputs of a search, exactly as the panel shows them (unquoted).
struct SearchState {
    QString owner;
    QString category;
    int field = 0;
    QString comparison;
    QString text;
};

QString searchStatement(const SearchState& state);
QString ownerListStatement();
QString ownerRecordsStatement(const QString& owner);
QString categoryRecordsStatement(const QString& owner, const QString& category);
QString categoriesOfOwnerStatement(const QString& owner);
QString allCategoriesStatement();
QString siteNameLabelStatement(const QString& recordNumber);
QString privateColumnsStatement(const QString& recordNumber);

} // namespace quillbox
