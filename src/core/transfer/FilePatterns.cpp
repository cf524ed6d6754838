#include "transfer/FilePatterns.h"

namespace quillbox {

QStringList requesterFilters(const QString& patternList) {
    const QStringList parts = patternList.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        const qsizetype paren = name.indexOf(QLatin1String(" ("));
        if (paren >= 0) {
            name.truncate(paren);
        }
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters;
}

} // namespace quillbox
