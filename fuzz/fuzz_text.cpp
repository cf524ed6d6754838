// Any bytes through the text reader; every record read must come back unchanged through the
// writer and the reader again.
#include "FuzzCheck.h"
#include "transfer/ImportText.h"
#include "transfer/TextFormat.h"

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
    readTextRecords(decodeImportBytes(bytes), first);
    QString again;
    for (const SiteRecord& r : first.records) {
        again += textLine(r) + QLatin1String("\r\n");
    }
    Collect second;
    readTextRecords(again, second);
    fuzzCheck(second.refusals == 0 && second.records.size() == first.records.size(), "text record count");
    for (qsizetype i = 0; i < first.records.size(); ++i) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            fuzzCheck(second.records[i][k] == first.records[i][k], "text value", first.records[i][k]);
        }
    }
    return 0;
}
