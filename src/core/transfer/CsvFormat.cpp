#include "transfer/CsvFormat.h"

#include <QHash>
#include <QList>
#include <QUrl>

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

namespace quillbox {

namespace {
// The value between double quotes, each double quote inside it doubled.
void appendCsvField(QString& out, const QString& value) {
    out += QLatin1Char('"');
    if (value.contains(QLatin1Char('"'))) {
        for (const QChar c : value) {
            if (c == QLatin1Char('"')) {
                out += c;
            }
            out += c;
        }
    } else {
        out += value;
    }
    out += QLatin1Char('"');
}
} // namespace

QString csvField(const QString& value) {
    QString out;
    out.reserve(value.size() + 2);
    appendCsvField(out, value);
    return out;
}

QString csvLine(const SiteRecord& record) {
    QString line;
    line.reserve(textFieldsLength(record) + 3 * Col::TextColumns + 2); // and the caller's line end
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (k > 0) {
            line += QLatin1Char(',');
        }
        appendCsvField(line, record[k]);
    }
    return line;
}

namespace {

// Parses one physical line of a record into fields. inQuotes says whether the line begins inside
// a quoted value (the record's previous line ended in one); returns false when it ends in one,
// with that value so far in field.
bool parseLine(QStringView line, QChar delimiter, bool& inQuotes, QString& field, QStringList& fields) {
    const qsizetype n = line.size();
    qsizetype pos = 0;
    for (;;) {
        if (!inQuotes && pos < n && line[pos] == QLatin1Char('"')) {
            inQuotes = true;
            ++pos;
        }
        while (inQuotes) {
            const qsizetype quote = line.indexOf(QLatin1Char('"'), pos);
            if (quote < 0) {
                field += line.sliced(pos);
                return false;
            }
            field += line.sliced(pos, quote - pos);
            if (quote + 1 < n && line[quote + 1] == QLatin1Char('"')) {
                field += QLatin1Char('"');
                pos = quote + 2;
                continue;
            }
            pos = quote + 1;
            if (pos == n || line[pos] == delimiter) {
                inQuotes = false;
            } else {
                field += QLatin1Char('"');
            }
        }
        // Unquoted text, kept as it stands.
        qsizetype end = line.indexOf(delimiter, pos);
        if (end < 0) {
            end = n;
        }
        field += line.sliced(pos, end - pos);
        fields.append(std::exchange(field, QString()));
        if (end >= n) {
            return true;
        }
        pos = end + 1;
    }
}

struct Line {
    QString text;
    QString end;
    qsizetype number = 0;
};

// Cuts the lines of a CSV file into records.
class CsvRecords {
public:
    explicit CsvRecords(LineSource& source) : m_source(source) {}
    QChar delimiter = QLatin1Char(',');

    bool nextLine(Line& line) {
        if (!m_back.empty()) {
            line = std::move(m_back.front());
            m_back.pop_front();
            return true;
        }
        if (!m_source.next(line.text, line.end)) {
            return false;
        }
        line.number = m_source.lineNumber();
        return true;
    }
    void putBack(Line line) { m_back.push_front(std::move(line)); }

    enum class Result { Record, Unclosed, End };
    Result next(QStringList& fields, qsizetype& firstLine) {
        fields.clear();
        QString field;
        bool inQuotes = false;
        Line line;
        if (!nextLine(line)) {
            return Result::End;
        }
        firstLine = line.number;
        for (;;) {
            if (parseLine(line.text, delimiter, inQuotes, field, fields)) {
                return Result::Record;
            }
            field += line.end; // the line break belongs to the quoted value
            if (!nextLine(line)) {
                return Result::Unclosed; // the file ends inside the quoted value
            }
        }
    }

private:
    LineSource& m_source;
    std::deque<Line> m_back;
};

QStringList splitHeader(QStringView line, QChar delimiter) {
    QStringList fields;
    QString field;
    bool inQuotes = false;
    if (!parseLine(line, delimiter, inQuotes, field, fields)) {
        fields.append(field);
    }
    for (QString& f : fields) {
        f = f.trimmed();
    }
    return fields;
}

QStringList describeLayout(const CsvLayout& layout) {
    QStringList out;
    for (qsizetype i = 0; i < layout.headers.size(); ++i) {
        const int c = layout.columns[i];
        out << layout.headers[i] + QStringLiteral(" \u2192 ") +
                   (c >= 0 ? columnNames()[c] : QStringLiteral("next free field, under its name"));
    }
    return out;
}

} // namespace

CsvLayout mapCsvHeader(const QStringList& headers) {
    static const QHash<QString, int> known = [] {
        QHash<QString, int> map;
        for (int k = 0; k < Col::TextColumns; ++k) {
            map.insert(columnNames()[k], k);
        }
        for (const char* name : {"name", "title"}) {
            map.insert(QLatin1String(name), Col::SiteName);
        }
        for (const char* name : {"url", "login_uri", "uri", "website"}) {
            map.insert(QLatin1String(name), Col::HomePage);
        }
        // And the names other keepers give them: "login" and "pwd", "extra" for the notes,
        // "grouping" or "vault" for the folder.
        for (const char* name : {"login_username", "login"}) {
            map.insert(QLatin1String(name), Col::UserName);
        }
        for (const char* name : {"login_password", "pwd"}) {
            map.insert(QLatin1String(name), Col::Password);
        }
        for (const char* name : {"note", "extra"}) {
            map.insert(QLatin1String(name), Col::Notes);
        }
        for (const char* name : {"group", "folder", "grouping", "vault"}) {
            map.insert(QLatin1String(name), Col::Category);
        }
        return map;
    }();
    CsvLayout layout;
    layout.headers = headers;
    QList<bool> taken(Col::TextColumns, false);
    int mapped = 0;
    bool login = false;
    bool own = true;
    for (const QString& header : headers) {
        const QString name = header.toLower();
        int c = known.value(name, -1);
        own = own && columnNames().contains(name);
        if (c >= 0 && taken[c]) {
            c = -1; // a second column for the same field is kept beside it
        }
        if (c >= 0) {
            taken[c] = true;
            ++mapped;
            login = login || c == Col::UserName || c == Col::Password || c == Col::HomePage;
        }
        layout.columns.append(c);
    }
    // A record of the program's own headerless layout must not pass for a header: the first
    // column has to name a known field (or a user name and a password column are named, as where
    // a type column leads), and 29 columns are its own names or no header at all.
    const bool firstKnown = layout.columns.value(0, -1) >= 0 || (taken[Col::UserName] && taken[Col::Password]);
    if (mapped < 2 || !login || !firstKnown || (headers.size() == Col::TextColumns && !own)) {
        return CsvLayout();
    }
    layout.own = own;
    return layout;
}

SiteRecord csvLayoutRecord(const CsvLayout& layout, const QStringList& fields, const QString& owner) {
    SiteRecord r;
    if (!layout.own) {
        r[Col::SiteNameLabel] = QStringLiteral("Site name");
        r[Col::UserNameLabel] = QStringLiteral("User name");
        r[Col::PasswordLabel] = QStringLiteral("Password");
        r[Col::HomePageLabel] = QStringLiteral("Home page");
    }
    bool hasCategory = false;
    bool hasOwner = false;
    QList<std::pair<QString, QString>> unplaced;
    const qsizetype n = std::max(fields.size(), layout.headers.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString value = fields.value(i);
        const int c = i < layout.columns.size() ? layout.columns[i] : -1;
        if (c >= 0) {
            r[c] = value;
            hasCategory = hasCategory || c == Col::Category;
            hasOwner = hasOwner || c == Col::Owner;
        } else if (!value.isEmpty()) {
            const QString header = layout.headers.value(i);
            unplaced.append({header.isEmpty() ? QStringLiteral("Column %1").arg(i + 1) : header, value});
        }
    }
    if (!layout.own) {
        if (r[Col::SiteName].isEmpty()) {
            const QString host = QUrl(r[Col::HomePage]).host();
            r[Col::SiteName] = host.isEmpty() ? r[Col::HomePage] : host;
        }
        if (r[Col::Category].isEmpty()) {
            r[Col::Category] = importedCategory;
        }
    } else if (!hasCategory) {
        r[Col::Category] = importedCategory;
    }
    if (!hasOwner) {
        r[Col::Owner] = owner;
    }
    int misc = 0;
    for (const auto& [header, value] : unplaced) {
        while (misc < 9 && (!r[Col::FirstMisc + 2 * misc].isEmpty() || !r[Col::FirstMisc + 2 * misc + 1].isEmpty())) {
            ++misc;
        }
        if (misc < 9) {
            r[Col::FirstMisc + 2 * misc] = header;
            r[Col::FirstMisc + 2 * misc + 1] = value;
        } else {
            QString& notes = r[Col::Notes];
            notes += (notes.isEmpty() ? QString() : QStringLiteral("\r\n")) + header + QStringLiteral(": ") + value;
        }
    }
    return r;
}

void readCsvRecords(LineSource& lines, ImportSink& sink, const QString& owner) {
    CsvRecords records(lines);
    CsvLayout layout;
    Line first;
    if (records.nextLine(first)) {
        for (const QChar delimiter : {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')}) {
            layout = mapCsvHeader(splitHeader(first.text, delimiter));
            if (!layout.headers.isEmpty()) {
                records.delimiter = delimiter;
                break;
            }
        }
        if (layout.headers.isEmpty()) {
            // Without a header, the separator the first line uses most (commas when none).
            qsizetype most = 0;
            for (const QChar delimiter : {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')}) {
                if (const qsizetype n = first.text.count(delimiter); n > most) {
                    most = n;
                    records.delimiter = delimiter;
                }
            }
            records.putBack(std::move(first));
        } else {
            sink.mapping(describeLayout(layout));
        }
    }
    const bool byHeader = !layout.headers.isEmpty();
    QStringList fields;
    qsizetype line = 0;
    SiteRecord values;
    for (;;) {
        const CsvRecords::Result result = records.next(fields, line);
        if (result == CsvRecords::Result::End) {
            break;
        }
        if (result == CsvRecords::Result::Unclosed) {
            // A file cut short: what follows the quote is the rest of one value, not records.
            lines.refuse(unclosedQuoteAtEndMessage(line));
            return;
        }
        if (byHeader) {
            if (std::all_of(fields.begin(), fields.end(), [](const QString& f) { return f.isEmpty(); })) {
                continue; // a blank line holds nothing to keep
            }
            sink.record(csvLayoutRecord(layout, fields, owner));
            continue;
        }
        if (fields.size() == 1) {
            sink.refused(line, noDelimiterMessage);
            continue;
        }
        if (fields.size() == 5) {
            sink.refused(line, missingColumnsMessage);
            continue;
        }
        for (int k = 0; k < Col::TextColumns; ++k) {
            values[k] = k < fields.size() ? std::move(fields[k]) : QString();
        }
        sink.record(values);
    }
}

QString unclosedQuoteAtEndMessage(qsizetype line) {
    return QStringLiteral("The quoted value that begins on line %1 is never closed: the file ends inside it. "
                          "Nothing was imported.")
        .arg(line);
}

void readCsvRecords(QStringView text, ImportSink& sink, const QString& owner) {
    StringLines lines(text);
    readCsvRecords(lines, sink, owner);
}

} // namespace quillbox
