#pragma once

#include <QString>
#include <QStringList>

namespace quillbox {

// The requesters' pattern lists: display name and patterns, alternately, separated by "|".
inline const QString exportPatternList = QStringLiteral("Text (*.txt)|*.txt;*.asc|CSV (*.csv)|*.csv|XML (*.xml)|*.xml");
inline const QString importPatternList =
    QStringLiteral("Text (*.txt;*.asc)|*.txt;*.asc|CSV (*.csv)|*.csv|XML (*.xml)|*.xml|Internet Bookmarks "
                   "(*.htm;*.html)|*.htm;*.html");

// The same list as the toolkit's file dialogs take it, one entry per pattern: the name before its
// parenthesis, then the patterns in parentheses ("Text (*.txt *.asc)"), because the toolkit
// filters by what stands in the parentheses.
QStringList requesterFilters(const QString& patternList);

} // namespace quillbox
