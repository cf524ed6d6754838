#include "transfer/CsvFormat.h"

#include <QList>

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

bool isLineBreak(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Parses the record that starts at pos into fields. Returns where the next record starts, or -1
// when the text ended inside a quoted field and multiLine was allowed.
qsizetype parseRecord(QStringView text, qsizetype pos, bool multiLine, QList<QString>& fields) {
    const qsizetype n = text.size();
    fields.clear();
    for (;;) {
        QString field;
        if (pos < n && text[pos] == QLatin1Char('"')) {
            ++pos;
            for (;;) {
                qsizetype quote = text.indexOf(QLatin1Char('"'), pos);
                if (!multiLine) {
                    qsizetype brk = pos;
                    const qsizetype limit = quote < 0 ? n : quote;
                    while (brk < limit && !isLineBreak(text[brk])) {
                        ++brk;
                    }
                    if (brk < limit) {
                        field += text.sliced(pos, brk - pos);
                        pos = brk;
                        break;
                    }
                }
                if (quote < 0) {
                    if (multiLine) {
                        return -1;
                    }
                    field += text.sliced(pos);
                    pos = n;
                    break;
                }
                field += text.sliced(pos, quote - pos);
                pos = quote + 1;
                if (pos < n && text[pos] == QLatin1Char('"')) {
                    field += QLatin1Char('"');
                    ++pos;
                    continue;
                }
                break;
            }
        }
        // Unquoted text, or what stands between a closing quote and the next comma: kept as it is.
        qsizetype end = pos;
        while (end < n && text[end] != QLatin1Char(',') && !isLineBreak(text[end])) {
            ++end;
        }
        field += text.sliced(pos, end - pos);
        pos = end;
        fields.append(std::move(field));
        if (pos >= n) {
            return n;
        }
        if (text[pos] == QLatin1Char(',')) {
            ++pos;
            continue;
        }
        pos += (text[pos] == QLatin1Char('\r') && pos + 1 < n && text[pos + 1] == QLatin1Char('\n')) ? 2 : 1;
        return pos;
    }
}

} // namespace

void readCsvRecords(QStringView text, ImportSink& sink) {
    QList<QString> fields;
    fields.reserve(Col::TextColumns + 1);
    SiteRecord values;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype next = parseRecord(text, pos, true, fields);
        if (next < 0) {
            next = parseRecord(text, pos, false, fields);
        }
        pos = next;
        if (fields.size() == 1) {
            sink.refused(noDelimiterMessage);
            continue;
        }
        if (fields.size() == 5) {
            sink.refused(missingColumnsMessage);
            continue;
        }
        for (int k = 0; k < Col::TextColumns; ++k) {
            values[k] = k < fields.size() ? std::move(fields[k]) : QString();
        }
        sink.record(values);
    }
}

} // namespace quillbox
