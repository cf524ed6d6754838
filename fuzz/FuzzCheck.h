#pragma once

#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"
#include "transfer/ImportText.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

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
    void refused(const QString&) override { ++refusals; }
};

// Any bytes through a line format's reader; every record read must come back unchanged through
// its writer and the reader again.
template <typename Read, typename Write>
void checkLineRoundTrip(const QByteArray& bytes, Read read, Write write, const char* format) {
    CollectRecords first;
    read(quillbox::decodeImportBytes(bytes), first);
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
