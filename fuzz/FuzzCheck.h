#pragma once

#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"
#include "transfer/ImportText.h"

#include <QBuffer>
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <optional>

// A broken promise of a reader or writer: report it and stop, so the fuzzer keeps the input.
inline void fuzzCheck(bool ok, const char* what, const QString& detail = QString()) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s %s\n", what, qPrintable(detail));
        std::abort();
    }
}

struct CollectRecords : quillbox::ImportSink {
    QList<quillbox::SiteRecord> records;
    int refusals = 0;
    void record(const quillbox::SiteRecord& values) override { records.append(values); }
    void refused(qsizetype, const QString&) override { ++refusals; }
};

// The bytes as an import reads them, line ends kept; nothing when the file is refused whole. A
// replacement character is never made up.
inline std::optional<QString> importedText(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    quillbox::DeviceLines lines(buffer);
    QString text;
    QString line;
    QString end;
    while (lines.next(line, end)) {
        text += line + end;
    }
    if (!lines.failure().isEmpty()) {
        return std::nullopt;
    }
    fuzzCheck(!text.contains(QChar(QChar::ReplacementCharacter)) || bytes.contains("\xEF\xBF\xBD") ||
                  bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"),
              "replacement character made up");
    return text;
}

// Any bytes through a line format's reader; every record read must come back unchanged through
// its writer and the reader again.
template <typename Read, typename Write>
void checkLineRoundTrip(const QByteArray& bytes, Read read, Write write, const char* format) {
    const std::optional<QString> text = importedText(bytes);
    if (!text) {
        return;
    }
    CollectRecords first;
    read(*text, first);
    QString again;
    for (const quillbox::SiteRecord& r : first.records) {
        again += write(r) + QLatin1String("\r\n");
    }
    CollectRecords second;
    read(again, second);
    fuzzCheck(second.refusals == 0 && second.records.size() == first.records.size(), format, "record count");
    for (qsizetype i = 0; i < first.records.size(); ++i) {
        for (int k = 0; k < quillbox::Col::TextColumns; ++k) {
            fuzzCheck(second.records[i][k] == first.records[i][k], format, first.records[i][k]);
        }
    }
}
