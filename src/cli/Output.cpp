#include "Output.h"

#include "store/SearchQuery.h"
#include "text/ProgramText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

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

namespace quillbox::cli {

namespace {

QStringList healthCells(const HealthRecord& r) {
    return {r.record, terminalSafe(r.siteName), terminalSafe(r.userName), terminalSafe(r.owner)};
}

const QStringList healthHeading{QStringLiteral("Record"), QStringLiteral("Site name"), QStringLiteral("User name"),
                                QStringLiteral("Owner")};

QString section(const QString& title, qsizetype count, const QList<QStringList>& rows) {
    QString out = QStringLiteral("\n%1: %2\n").arg(title).arg(count);
    if (rows.size() > 1) {
        for (const QString& line : alignedColumns(rows).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            out += QStringLiteral("  ") + line + QLatin1Char('\n');
        }
    }
    return out;
}

QJsonObject healthObject(const HealthRecord& r) {
    return {{QStringLiteral("record"), r.record.toLongLong()},
            {QStringLiteral("sitename"), r.siteName},
            {QStringLiteral("username"), r.userName},
            {QStringLiteral("owner"), r.owner}};
}

} // namespace

QString healthText(const HealthReport& report, const QString& owner) {
    QString out = owner.isEmpty()
                      ? QStringLiteral("Checked %1 records of every owner.\n").arg(report.checked)
                      : QStringLiteral("Checked %1 records of %2.\n").arg(report.checked).arg(terminalSafe(owner));
    QList<QStringList> rows{healthHeading + QStringList{QStringLiteral("Strength")}};
    for (const WeakPassword& w : report.weak) {
        rows.append(healthCells(w.record) + QStringList{weakPasswordDetail(w.strength)});
    }
    out += section(QStringLiteral("Weak passwords"), report.weak.size(), rows);
    rows = {QStringList{QStringLiteral("Group")} + healthHeading};
    for (qsizetype g = 0; g < report.reused.size(); ++g) {
        for (const HealthRecord& r : report.reused[g]) {
            rows.append(QStringList{QString::number(g + 1)} + healthCells(r));
        }
    }
    out += section(QStringLiteral("Passwords used by more than one record (groups)"), report.reused.size(), rows);
    rows = {healthHeading};
    for (const HealthRecord& r : report.empty) {
        rows.append(healthCells(r));
    }
    out += section(QStringLiteral("Empty passwords"), report.empty.size(), rows);
    rows = {healthHeading + QStringList{QStringLiteral("Unchanged since")}};
    for (const StalePassword& st : report.stale) {
        rows.append(healthCells(st.record) + QStringList{st.since.toString(QStringLiteral("yyyy-MM-dd"))});
    }
    out += section(QStringLiteral("Passwords unchanged for over a year"), report.stale.size(), rows);
    if (report.breachChecked) {
        rows = {healthHeading + QStringList{QStringLiteral("Seen in breaches")}};
        for (const BreachedPassword& b : report.breached) {
            rows.append(healthCells(b.record) + QStringList{QString::number(b.seen)});
        }
        out += section(QStringLiteral("Passwords found in the breach list"), report.breached.size(), rows);
    }
    return out;
}

QByteArray healthJson(const HealthReport& report) {
    QJsonArray weak;
    for (const WeakPassword& w : report.weak) {
        QJsonObject o = healthObject(w.record);
        o.insert(QStringLiteral("level"), w.strength.level);
        o.insert(QStringLiteral("bits"), std::round(w.strength.bits * 10) / 10);
        if (!w.strength.warning.isEmpty()) {
            o.insert(QStringLiteral("warning"), w.strength.warning);
        }
        weak.append(o);
    }
    QJsonArray reused;
    for (const QList<HealthRecord>& group : report.reused) {
        QJsonArray records;
        for (const HealthRecord& r : group) {
            records.append(healthObject(r));
        }
        reused.append(records);
    }
    QJsonArray empty;
    for (const HealthRecord& r : report.empty) {
        empty.append(healthObject(r));
    }
    QJsonArray stale;
    for (const StalePassword& st : report.stale) {
        QJsonObject o = healthObject(st.record);
        o.insert(QStringLiteral("since"), st.since.toString(Qt::ISODate));
        stale.append(o);
    }
    QJsonObject all{{QStringLiteral("checked"), report.checked},
                    {QStringLiteral("weak"), weak},
                    {QStringLiteral("reused"), reused},
                    {QStringLiteral("empty"), empty},
                    {QStringLiteral("stale"), stale}};
    if (report.breachChecked) {
        QJsonArray breached;
        for (const BreachedPassword& b : report.breached) {
            QJsonObject o = healthObject(b.record);
            o.insert(QStringLiteral("seen"), b.seen);
            breached.append(o);
        }
        all.insert(QStringLiteral("breached"), breached);
    }
    return QJsonDocument(all).toJson(QJsonDocument::Indented);
}

} // namespace quillbox::cli
