#include "transfer/CsvFormat.h"

#include <QCryptographicHash>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
        } else if (m_source.next(line.text, line.end)) {
            line.number = m_source.lineNumber();
        } else {
            return false;
        }
        return true;
    }
    void putBack(Line line) { m_back.push_front(std::move(line)); }

    // The fields of the next record, left to be read again; of a record longer than a thousand
    // lines (a quote that never closes) only what those lines hold.
    QStringList peek() {
        std::vector<Line> taken;
        QStringList fields;
        QString field;
        bool inQuotes = false;
        Line line;
        while (taken.size() < 1000 && nextLine(line)) {
            taken.push_back(line);
            if (parseLine(line.text, delimiter, inQuotes, field, fields)) {
                break;
            }
            field += line.end;
        }
        if (inQuotes) {
            fields.append(field);
        }
        for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
            putBack(std::move(*it));
        }
        return fields;
    }

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
    layout.kind = own ? QStringLiteral("the program's own column names") : QStringLiteral("the header line's names");
    return layout;
}

namespace {

bool looksLikeAddress(const QString& value) {
    return value.isEmpty() || value.contains(QLatin1String("://")) ||
           value.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
}

// The field a pair's label names, or NextFree.
int pairTarget(const QString& label) {
    static const QHash<QString, int> known{
        {QStringLiteral("username"), Col::UserName}, {QStringLiteral("user name"), Col::UserName},
        {QStringLiteral("login"), Col::UserName},    {QStringLiteral("email"), Col::UserName},
        {QStringLiteral("e-mail"), Col::UserName},   {QStringLiteral("password"), Col::Password},
        {QStringLiteral("url"), Col::HomePage},      {QStringLiteral("website"), Col::HomePage},
        {QStringLiteral("web site"), Col::HomePage}, {QStringLiteral("note"), Col::Notes},
        {QStringLiteral("notes"), Col::Notes},
    };
    return known.value(label.trimmed().toLower(), CsvLayout::NextFree);
}

} // namespace

CsvLayout positionalCsvLayout(QChar delimiter) {
    CsvLayout layout;
    layout.delimiter = delimiter;
    layout.header = false;
    layout.positional = true;
    layout.own = true;
    layout.kind = QStringLiteral("the program's own 29 columns");
    return layout;
}

CsvLayout guessCsvLayout(const QStringList& fields) {
    const qsizetype n = fields.size();
    if (n == Col::TextColumns || n == Col::TextColumns + 1) {
        return positionalCsvLayout(QLatin1Char(','));
    }
    CsvLayout layout;
    layout.header = false;
    // A title, then label and value pairs: two labels known among them (one when there is one pair).
    int labels = 0;
    for (qsizetype i = 1; i + 1 < n; i += 2) {
        labels += pairTarget(fields[i]) != CsvLayout::NextFree;
    }
    if (n >= 3 && labels >= std::min<qsizetype>(2, (n - 1) / 2)) {
        layout.columns = {Col::SiteName};
        layout.pairsFrom = 1;
        layout.kind = QStringLiteral("a title, then label and value pairs");
        return layout;
    }
    // Folder, title, login, password, address and notes, then label and value pairs.
    if (n >= 6 && (n - 6) % 2 == 0 && !fields[1].isEmpty() && looksLikeAddress(fields[4])) {
        layout.columns = {Col::Category, Col::SiteName, Col::UserName, Col::Password, Col::HomePage, Col::Notes};
        layout.pairsFrom = 6;
        layout.kind = QStringLiteral("folder, title, login, password, address and notes, then label and value pairs");
        return layout;
    }
    return CsvLayout();
}

QStringList describeCsvLayout(const CsvLayout& layout) {
    QStringList out;
    if (layout.positional) {
        return {layout.kind};
    }
    const qsizetype n =
        layout.pairsFrom >= 0 ? layout.pairsFrom : std::max(layout.headers.size(), layout.columns.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString header = layout.header ? layout.headers.value(i) : QStringLiteral("column %1").arg(i + 1);
        const int c = layout.target(i);
        out << header + QStringLiteral(" \u2192 ") +
                   (c >= 0 ? columnNames()[c]
                           : (c == CsvLayout::Ignored ? QStringLiteral("left out")
                                                      : QStringLiteral("next free field, under its name")));
    }
    if (layout.pairsFrom >= 0) {
        out << QStringLiteral("from column %1: label and value pairs").arg(layout.pairsFrom + 1);
    }
    return out;
}

SiteRecord csvLayoutRecord(const CsvLayout& layout, const QStringList& fields, const QString& owner) {
    SiteRecord r;
    if (layout.positional) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            r[k] = fields.value(k);
        }
        return r;
    }
    if (!layout.own) {
        r[Col::SiteNameLabel] = QStringLiteral("Site name");
        r[Col::UserNameLabel] = QStringLiteral("User name");
        r[Col::PasswordLabel] = QStringLiteral("Password");
        r[Col::HomePageLabel] = QStringLiteral("Home page");
    }
    bool hasCategory = false;
    bool hasOwner = false;
    QList<std::pair<QString, QString>> unplaced;
    const auto columnName = [&](qsizetype i) {
        const QString header = layout.header ? layout.headers.value(i) : QString();
        return header.isEmpty() ? QStringLiteral("Column %1").arg(i + 1) : header;
    };
    const auto place = [&](int c, const QString& label, const QString& value) {
        const bool miscValue = c >= Col::FirstMisc && c < Col::Category && (c - Col::FirstMisc) % 2 == 1;
        if (c < 0 || !r[c].isEmpty()) {
            if (!value.isEmpty()) {
                unplaced.append({label, value}); // a second value for a field is kept beside it
            }
            return;
        }
        r[c] = value;
        if (miscValue && !layout.own && r[c - 1].isEmpty()) {
            r[c - 1] = label;
        }
        hasCategory = hasCategory || c == Col::Category;
        hasOwner = hasOwner || c == Col::Owner;
    };
    const qsizetype fixed = layout.pairsFrom >= 0 ? std::min<qsizetype>(layout.pairsFrom, fields.size())
                                                  : std::max(fields.size(), layout.headers.size());
    for (qsizetype i = 0; i < fixed; ++i) {
        if (const int c = layout.target(i); c != CsvLayout::Ignored) {
            place(c, columnName(i), fields.value(i));
        }
    }
    if (layout.pairsFrom >= 0) {
        qsizetype i = layout.pairsFrom;
        for (; i + 1 < fields.size(); i += 2) {
            const QString label = fields[i].trimmed();
            if (label.isEmpty() && fields[i + 1].isEmpty()) {
                continue;
            }
            const int c = pairTarget(label);
            const QString name = label.isEmpty() ? columnName(i) : label;
            place(c >= 0 && r[c].isEmpty() ? c : CsvLayout::NextFree, name, fields[i + 1]);
        }
        if (i < fields.size() && !fields[i].isEmpty()) {
            place(Col::Notes, QStringLiteral("Note"), fields[i]); // a last field without its pair: the note
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

namespace {

constexpr std::array<QChar, 3> csvDelimiters{QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')};

// The separator a line uses most of the three (commas when none).
QChar mostUsedDelimiter(QStringView line) {
    QChar found = QLatin1Char(',');
    qsizetype most = 0;
    for (const QChar delimiter : csvDelimiters) {
        if (const qsizetype n = line.count(delimiter); n > most) {
            most = n;
            found = delimiter;
        }
    }
    return found;
}

// Tells the layout from the file's first line, or from its first record; the records reader then
// starts with the first record. delimiter: null to take the file's own.
CsvLayout findLayout(CsvRecords& records, QChar delimiter, Line* headerLine = nullptr) {
    Line first;
    if (!records.nextLine(first)) {
        return CsvLayout();
    }
    const QList<QChar> tried =
        delimiter.isNull() ? QList<QChar>(csvDelimiters.begin(), csvDelimiters.end()) : QList<QChar>{delimiter};
    for (const QChar d : tried) {
        const QStringList cells = splitHeader(first.text, d);
        CsvLayout layout = mapCsvHeader(cells);
        // A title with label and value pairs names fields too, but never two side by side.
        bool sideBySide = false;
        for (qsizetype i = 0; i + 1 < layout.columns.size(); ++i) {
            sideBySide = sideBySide || (layout.columns[i] >= 0 && layout.columns[i + 1] >= 0);
        }
        if (layout.isValid() && !sideBySide && guessCsvLayout(cells).pairsFrom == 1) {
            layout = CsvLayout();
        }
        if (layout.isValid()) {
            layout.delimiter = d;
            records.delimiter = d;
            if (headerLine) {
                *headerLine = std::move(first);
            }
            return layout;
        }
    }
    records.delimiter = delimiter.isNull() ? mostUsedDelimiter(first.text) : delimiter;
    records.putBack(std::move(first));
    CsvLayout layout = guessCsvLayout(records.peek());
    layout.delimiter = records.delimiter;
    return layout;
}

bool allEmpty(const QStringList& fields) {
    return std::all_of(fields.begin(), fields.end(), [](const QString& f) { return f.isEmpty(); });
}

// The layout the file shows, changed as the user chose; the records then start after the header,
// if there is one. Invalid when the choice cannot be applied (lines refused then, saying why).
CsvLayout chosenLayout(CsvRecords& records, LineSource& lines, const CsvChoice& choice) {
    Line headerLine;
    CsvSample sample;
    sample.layout = findLayout(records, choice.delimiter, &headerLine);
    const bool headerTaken = sample.layout.isValid() && sample.layout.header;
    if (headerTaken) {
        sample.rows = {sample.layout.headers};
    } else {
        sample.rows = {records.peek()};
        sample.layout.delimiter = records.delimiter;
    }
    sample.columnCount = sample.rows.value(0).size();
    CsvLayout layout = startingCsvLayout(sample, choice.header);
    if (headerTaken && !layout.header) {
        records.putBack(std::move(headerLine)); // the first line is a record after all
    } else if (!headerTaken && layout.header) {
        QStringList fields;
        qsizetype line = 0;
        if (records.next(fields, line) == CsvRecords::Result::Unclosed) {
            lines.refuse(unclosedQuoteAtEndMessage(line)); // the header's own quote never closes
            return CsvLayout();
        }
    }
    if (const QString error = applyCsvMapping(layout, choice.mapping, sample.columnCount); !error.isEmpty()) {
        lines.refuse(error);
        return CsvLayout();
    }
    return layout;
}

} // namespace

void readCsvRecords(LineSource& lines, ImportSink& sink, const QString& owner, const CsvLayout& given,
                    const CsvChoice& choice) {
    CsvRecords records(lines);
    CsvLayout layout = given;
    if (!layout.isValid() && choice.isSet()) {
        layout = chosenLayout(records, lines, choice);
        if (!layout.isValid()) {
            return;
        }
    } else if (!layout.isValid()) {
        layout = findLayout(records, QChar());
        if (!layout.isValid()) {
            QStringList fields;
            qsizetype line = 0;
            const CsvRecords::Result first = records.next(fields, line);
            if (first == CsvRecords::Result::Record) {
                lines.refuse(csvUnknownLayoutMessage(fields.size()));
            } else if (first == CsvRecords::Result::Unclosed) {
                lines.refuse(unclosedQuoteAtEndMessage(line));
            }
            return; // an empty file holds no record
        }
    } else {
        records.delimiter = layout.delimiter;
        Line first;
        if (layout.header && records.nextLine(first) && layout.headers.isEmpty()) {
            layout.headers = splitHeader(first.text, layout.delimiter);
        }
    }
    if (!layout.positional) {
        sink.mapping(describeCsvLayout(layout)); // the program's own order needs no word
    }
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
        if (!layout.positional) {
            if (!allEmpty(fields)) { // a blank line holds nothing to keep
                sink.record(csvLayoutRecord(layout, fields, owner));
            }
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

CsvSample sampleCsv(LineSource& lines, QChar delimiter, int maxRows) {
    CsvSample sample;
    CsvRecords records(lines);
    sample.layout = findLayout(records, delimiter);
    if (sample.layout.isValid() && sample.layout.header) {
        sample.rows.append(sample.layout.headers);
    }
    QStringList fields;
    qsizetype line = 0;
    while (sample.rows.size() < maxRows && records.next(fields, line) == CsvRecords::Result::Record) {
        sample.rows.append(fields);
    }
    if (!sample.layout.isValid()) {
        sample.layout.delimiter = records.delimiter;
    }
    for (const QStringList& row : sample.rows) {
        sample.columnCount = std::max(sample.columnCount, row.size());
    }
    return sample;
}

namespace {

// A first offer for columns whose header names no layout known: the field a header's words
// suggest ("Site", "Login", "Secret"), each field offered once.
QList<int> suggestedColumns(const QStringList& headers, qsizetype count) {
    static const std::vector<std::pair<int, QStringList>> words{
        {Col::Password, {"pass", "pwd", "secret", "pin"}},
        {Col::UserName, {"user", "login", "mail", "account"}},
        {Col::HomePage, {"url", "web", "link", "address", "site address"}},
        {Col::SiteName, {"site", "title", "name", "service"}},
        {Col::Notes, {"note", "comment", "remark"}},
        {Col::Category, {"group", "folder", "category", "tag"}},
    };
    QList<int> columns(count, CsvLayout::NextFree);
    QList<bool> offered(Col::TextColumns, false);
    for (const auto& [field, parts] : words) {
        for (qsizetype i = 0; i < headers.size() && i < count && !offered[field]; ++i) {
            const QString header = headers[i].toLower();
            if (columns[i] == CsvLayout::NextFree &&
                std::any_of(parts.begin(), parts.end(), [&](const QString& part) { return header.contains(part); })) {
                columns[i] = field;
                offered[field] = true;
            }
        }
    }
    return columns;
}

} // namespace

CsvLayout startingCsvLayout(const CsvSample& sample, std::optional<bool> header) {
    CsvLayout layout = sample.layout;
    if (layout.isValid() && (!header || *header == layout.header)) {
        return layout;
    }
    if (!layout.isValid() || layout.positional) {
        // The columns are the user's to name; a header's words make the first offer.
        const bool named = header.value_or(true);
        layout = CsvLayout();
        layout.delimiter = sample.layout.delimiter;
        layout.header = named;
        layout.headers = named ? sample.rows.value(0) : QStringList();
        layout.columns = named ? suggestedColumns(layout.headers, sample.columnCount)
                               : QList<int>(sample.columnCount, CsvLayout::NextFree);
        layout.kind = QStringLiteral("the columns chosen");
        return layout;
    }
    // A layout the file shows, its first line taken otherwise.
    layout.header = *header;
    layout.headers = *header ? sample.rows.value(0) : QStringList();
    return layout;
}

const QStringList& csvTargetNames() {
    static const QStringList names = [] {
        QStringList list{columnNames()[Col::SiteName], columnNames()[Col::UserName], columnNames()[Col::Password],
                         columnNames()[Col::HomePage]};
        for (int m = 0; m < 9; ++m) {
            list << columnNames()[Col::FirstMisc + 2 * m + 1];
        }
        list << columnNames()[Col::Category] << columnNames()[Col::Owner] << columnNames()[Col::Notes]
             << QStringLiteral("next") << QStringLiteral("ignore");
        return list;
    }();
    return names;
}

QString csvTargetName(int target) {
    if (target == CsvLayout::NextFree) {
        return QStringLiteral("next");
    }
    if (target == CsvLayout::Ignored) {
        return QStringLiteral("ignore");
    }
    return target >= 0 && target < Col::TextColumns ? columnNames()[target] : QString();
}

int csvTargetFromName(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("next")) {
        return CsvLayout::NextFree;
    }
    if (n == QLatin1String("ignore")) {
        return CsvLayout::Ignored;
    }
    const int c = static_cast<int>(columnNames().indexOf(n));
    return c >= 0 && c < Col::TextColumns ? c : CsvLayout::Ignored - 1;
}

QString applyCsvMapping(CsvLayout& layout, const QString& mapping, qsizetype columnCount) {
    if (mapping.trimmed().isEmpty()) {
        return QString();
    }
    int pairsFrom = layout.pairsFrom;
    const qsizetype n = std::max({columnCount, layout.headers.size(), layout.columns.size()});
    QList<int> columns(n, CsvLayout::NextFree);
    for (qsizetype i = 0; i < n; ++i) {
        // The program's own order: each column its field.
        columns[i] = layout.positional ? (i < Col::TextColumns ? int(i) : CsvLayout::Ignored) : layout.target(i);
    }
    for (const QString& item : mapping.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype eq = item.lastIndexOf(QLatin1Char('='));
        if (eq <= 0) {
            return QStringLiteral("\"%1\" is no column=field pair.").arg(item);
        }
        const QString key = item.first(eq).trimmed();
        const int target = csvTargetFromName(item.sliced(eq + 1));
        if (target < CsvLayout::Ignored) {
            return QStringLiteral("\"%1\" is no field; the fields are %2.")
                .arg(item.sliced(eq + 1).trimmed(), csvTargetNames().join(QStringLiteral(", ")));
        }
        bool number = false;
        qsizetype column = key.toLongLong(&number) - 1;
        if (!number) {
            column = -1;
            for (qsizetype i = 0; i < layout.headers.size() && layout.header; ++i) {
                if (layout.headers[i].compare(key, Qt::CaseInsensitive) == 0) {
                    column = i;
                    break;
                }
            }
        }
        if (column < 0 || column >= n) {
            return QStringLiteral("The file has no column \"%1\".").arg(key);
        }
        columns[column] = target;
        if (column >= pairsFrom) {
            pairsFrom = -1; // a pair's column named on its own: the columns are all named
        }
    }
    if (pairsFrom >= 0) {
        columns.resize(pairsFrom);
    }
    layout.columns = columns;
    layout.own = layout.positional;
    layout.positional = false;
    layout.pairsFrom = pairsFrom;
    layout.kind = QStringLiteral("the columns chosen");
    return QString();
}

QString csvLayoutText(const CsvLayout& layout, const QString& encoding) {
    QJsonArray columns;
    for (const int c : layout.columns) {
        columns.append(csvTargetName(c));
    }
    const QJsonObject object{{QStringLiteral("separator"), QString(layout.delimiter)},
                             {QStringLiteral("header"), layout.header},
                             {QStringLiteral("encoding"), encoding},
                             {QStringLiteral("columns"), columns}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

bool csvLayoutFromText(const QString& text, CsvLayout& layout, QString& encoding) {
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString separator = object.value(QStringLiteral("separator")).toString();
    const QJsonArray columns = object.value(QStringLiteral("columns")).toArray();
    if (separator.size() != 1 || columns.isEmpty()) {
        return false;
    }
    CsvLayout read;
    read.delimiter = separator[0];
    read.header = object.value(QStringLiteral("header")).toBool(true);
    for (const auto& column : columns) {
        const int c = csvTargetFromName(column.toString());
        if (c < CsvLayout::Ignored) {
            return false;
        }
        read.columns.append(c);
    }
    read.headers = layout.headers;
    read.kind = QStringLiteral("the columns chosen for this header before");
    layout = read;
    encoding = object.value(QStringLiteral("encoding")).toString();
    return true;
}

QString csvHeaderKey(QByteArrayView headerLine) {
    return QString::fromLatin1(QCryptographicHash::hash(headerLine, QCryptographicHash::Sha256).toHex().left(32));
}

bool isCsvUnknownLayoutMessage(const QString& message) {
    return message.startsWith(csvUnknownLayoutMessage(0).first(40));
}

QString csvUnknownLayoutMessage(qsizetype fields) {
    return QStringLiteral("The columns of this CSV file are no layout the program knows: its first line names none "
                          "it reads, and its first record has %1 fields where the program's own have 29. Say what "
                          "each column holds, then import it again.")
        .arg(fields);
}

QString unclosedQuoteAtEndMessage(qsizetype line) {
    return QStringLiteral("The quoted value that begins on line %1 is never closed: the file ends inside it. "
                          "Nothing was imported.")
        .arg(line);
}

void readCsvRecords(QStringView text, ImportSink& sink, const QString& owner, const CsvLayout& layout,
                    const CsvChoice& choice) {
    StringLines lines(text);
    readCsvRecords(lines, sink, owner, layout, choice);
}

} // namespace quillbox
