#include "Output.h"

#include "store/SearchQuery.h"
#include "text/ProgramText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillbox::cli {

QString terminalSafe(const QString& text) {
    QString safe = text;
    for (QChar& c : safe) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char(' ');
        }
    }
    return safe;
}

QString alignedColumns(const QList<QStringList>& rows) {
    QList<qsizetype> widths;
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (widths.size() <= c) {
                widths.append(0);
            }
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    QString out;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c] + 2) : row[c];
        }
        // A last column left empty leaves no trailing blanks behind.
        while (line.endsWith(QLatin1Char(' '))) {
            line.chop(1);
        }
        out += line + QLatin1Char('\n');
    }
    return out;
}

bool isPrivateColumn(int column) {
    return column == Col::UserName || column == Col::Password || column == Col::HomePage;
}

namespace {
QString shown(const SiteRecord& record, int column, bool showPrivate) {
    const QString value = terminalSafe(record[column]);
    return !showPrivate && isPrivateColumn(column) ? maskText(value) : value;
}
} // namespace

QString recordTable(const QList<SiteRecord>& records, bool showPrivate) {
    QList<QStringList> rows{{QStringLiteral("Record"), QStringLiteral("Site name"), QStringLiteral("User name"),
                             QStringLiteral("Password"), QStringLiteral("Home page"), QStringLiteral("Category"),
                             QStringLiteral("Owner")}};
    for (const SiteRecord& r : records) {
        rows.append({r[Col::Record], shown(r, Col::SiteName, showPrivate), shown(r, Col::UserName, showPrivate),
                     shown(r, Col::Password, showPrivate), shown(r, Col::HomePage, showPrivate),
                     shown(r, Col::Category, showPrivate), shown(r, Col::Owner, showPrivate)});
    }
    return alignedColumns(rows) + recordCountText(QString::number(records.size())) + QLatin1Char('\n');
}

QString recordDetails(const SiteRecord& record, bool showPrivate) {
    // A pair whose label was left empty goes by the search panel's name for its field.
    const QStringList& fixedNames = searchFieldEntries();
    QList<QStringList> rows;
    for (int pair = 0; pair < 13; ++pair) {
        const int label = 2 * pair;
        const QString name = record[label].isEmpty() ? fixedNames.value(pair + 1) : terminalSafe(record[label]);
        if (pair >= 4 && record[label].isEmpty() && record[label + 1].isEmpty()) {
            continue; // an unused free field
        }
        rows.append({name + QLatin1Char(':'), shown(record, label + 1, showPrivate)});
    }
    rows.append({QStringLiteral("Category:"), terminalSafe(record[Col::Category])});
    rows.append({QStringLiteral("Owner:"), terminalSafe(record[Col::Owner])});
    rows.append({QStringLiteral("Record:"), record[Col::Record]});
    QString out = alignedColumns(rows);
    const QString notes = record[Col::Notes];
    if (!notes.isEmpty()) {
        out += QStringLiteral("Notes:\n");
        const QStringList lines = QString(notes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
        for (const QString& line : lines) {
            out += QStringLiteral("  ") + terminalSafe(line) + QLatin1Char('\n');
        }
    }
    return out;
}

QByteArray recordsJson(const QList<SiteRecord>& records, bool showPrivate) {
    const QStringList& names = columnNames();
    QJsonArray array;
    for (const SiteRecord& r : records) {
        QJsonObject object;
        for (int k = 0; k < Col::TextColumns; ++k) {
            object.insert(names[k], !showPrivate && isPrivateColumn(k) ? maskText(r[k]) : r[k]);
        }
        object.insert(names[Col::Record], r[Col::Record].toLongLong());
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace quillbox::cli
