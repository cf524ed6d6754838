// Any bytes through the CSV reader; every record read must come back unchanged through the
// writer and the reader again.
#include "FuzzCheck.h"
#include "transfer/CsvFormat.h"
#include "transfer/ImportText.h"

#include <QList>

using namespace quillbox;

namespace {
struct Collect : ImportSink {
    QList<SiteRecord> records;
    int refusals = 0;
    void record(const SiteRecord& values) override { records.append(values); }
    void refused(const QString&) override { ++refusals; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Collect first;
    readCsvRecords(decodeImportBytes(bytes), first);
    QString again;
    for (const SiteRecord& r : first.records) {
        again += csvLine(r) + QLatin1String("\r\n");
    }
    Collect second;
    readCsvRecords(again, second);
    fuzzCheck(second.refusals == 0 && second.records.size() == first.records.size(), "csv record count");
    for (qsizetype i = 0; i < first.records.size(); ++i) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            fuzzCheck(second.records[i][k] == first.records[i][k], "csv value", first.records[i][k]);
        }
    }
    return 0;
}
