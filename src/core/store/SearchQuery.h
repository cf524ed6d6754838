#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>
#include <string_view>

namespace quillbox {

inline const QString allCategories = QStringLiteral("All Categories");

// The search panel's comparisons, in the order its box lists them.
enum class Comparison {
    Contains, // "Sounds like": a plain contains-match; there is no phonetic comparison
    Equal,
    NotEqual,
    Greater,
    GreaterOrEqual,
    Less,
    LessOrEqual,
    // Keeps the values that begin with the text, "Ends with" those that end with it: what the
    // list has done since its first release.
    StartsWith,
    EndsWith,
};

struct ComparisonEntry {
    Comparison comparison;
    std::u16string_view caption; // in the panel's box
    std::string_view name;       // on the command line
};

inline constexpr std::array<ComparisonEntry, 9> comparisonTable{{
    {Comparison::Contains, u"Sounds like", "contains"},
    {Comparison::Equal, u"Equal to", "eq"},
    {Comparison::NotEqual, u"Does not equal", "ne"},
    {Comparison::Greater, u"Greater than", "gt"},
    {Comparison::GreaterOrEqual, u"Greater than or equal to", "ge"},
    {Comparison::Less, u"Less than", "lt"},
    {Comparison::LessOrEqual, u"Less than or equal to", "le"},
    {Comparison::StartsWith, u"Starts with", "starts"},
    {Comparison::EndsWith, u"Ends with", "ends"},
}};

static_assert(
    [] {
        for (size_t i = 0; i < comparisonTable.size(); ++i) {
            if (static_cast<size_t>(comparisonTable[i].comparison) != i) {
                return false;
            }
        }
        return true;
    }(),
    "the comparison table is in the enum's order");

// The comparison at a box index, or named so on the command line; nothing when there is none.
std::optional<Comparison> comparisonAt(int index);
std::optional<Comparison> comparisonNamed(QStringView name);

// The comparisons made with LIKE, whose text is a pattern ("%" and "_" are wildcards).
constexpr bool isLike(Comparison c) {
    return c == Comparison::Contains || c == Comparison::StartsWith || c == Comparison::EndsWith;
}

// The search panel's fields. Entry i is search field i: its caption and the column it searches.
// "All fields" (0) searches every column of the table; its own is the site-name label, the one
// label searched, which no other field names.
struct SearchFieldEntry {
    std::u16string_view caption;
    std::string_view column;
};

inline constexpr std::array<SearchFieldEntry, 17> searchFieldTable{{
    {u"All fields", "lsitename"},
    {u"Site name", "sitename"},
    {u"User name", "username"},
    {u"Password", "password"},
    {u"Home page", "homepage"},
    {u"Misc 1", "misc1"},
    {u"Misc 2", "misc2"},
    {u"Misc 3", "misc3"},
    {u"Misc 4", "misc4"},
    {u"Misc 5", "misc5"},
    {u"Misc 6", "misc6"},
    {u"Misc 7", "misc7"},
    {u"Misc 8", "misc8"},
    {u"Misc 9", "misc9"},
    {u"Category", "category"},
    {u"Owner", "owner"},
    {u"Notes", "notes"},
}};

inline constexpr int AllFields = 0;
inline constexpr int LastSearchField = static_cast<int>(searchFieldTable.size()) - 1;

constexpr bool isSearchField(int index) {
    return index >= 0 && index <= LastSearchField;
}

// Entries of the search-field and comparison selectors, in order.
const QStringList& searchFieldEntries();
const QStringList& searchTypeEntries();

// Column searched for a search-field index; empty for "All fields" and out-of-range indexes.
QString searchFieldColumn(int index);

// Clause appended to a column name for a comparison, with t already quoted.
QString comparisonClause(Comparison comparison, const QString& quotedText);

// The inputs of a search, as the panel shows them (unquoted).
struct SearchState {
    QString owner;
    QString category;
    int field = AllFields;
    Comparison comparison = Comparison::Contains;
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
