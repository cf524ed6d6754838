#include "transfer/TextFormat.h"

#include "transfer/ImportText.h"

namespace quillbox {

namespace {

// Every line break (CR LF, lone CR, lone LF) replaced by one character.
QString foldLineBreaks(const QString& value, QChar replacement) {
    if (!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n'))) {
        return value;
    }
    QString out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && value[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
            out += replacement;
        } else if (c == QLatin1Char('\n')) {
            out += replacement;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString textLine(const SiteRecord& record) {
    QString line;
    line.reserve(textFieldsLength(record) + Col::TextColumns + 2); // the bars and the caller's line end
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (k > 0) {
            line += QLatin1Char('|');
        }
        line += foldLineBreaks(record[k], k == Col::Notes ? QLatin1Char('~') : QLatin1Char(' '));
    }
    line += QLatin1Char('|');
    return line;
}

void readTextRecords(LineSource& lines, ImportSink& sink) {
    QString line;
    QString end;
    SiteRecord values;
    while (lines.next(line, end)) {
        const qsizetype bars = line.count(QLatin1Char('|'));
        if (bars == 0) {
            sink.refused(lines.lineNumber(), noDelimiterMessage);
            continue;
        }
        if (bars == 5) {
            sink.refused(lines.lineNumber(), missingColumnsMessage);
            continue;
        }
        if (!sink.wantsValues()) {
            sink.record(values); // counted only: what it holds is not read
            continue;
        }
        int k = 0;
        qsizetype start = 0;
        const QStringView view(line);
        while (k < Col::TextColumns) {
            const qsizetype bar = view.indexOf(QLatin1Char('|'), start);
            const qsizetype stop = bar < 0 ? view.size() : bar;
            values[k++] = view.sliced(start, stop - start).toString();
            if (bar < 0) {
                break;
            }
            start = bar + 1;
        }
        for (; k < Col::TextColumns; ++k) {
            values[k].clear();
        }
        values[Col::Notes].replace(QLatin1Char('~'), QLatin1String("\r\n"));
        sink.record(values);
    }
}

void readTextRecords(QStringView text, ImportSink& sink) {
    StringLines lines(text);
    readTextRecords(lines, sink);
}

} // namespace quillbox
