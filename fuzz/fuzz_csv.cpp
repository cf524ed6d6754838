// Any bytes through the CSV reader; every record read must come back unchanged through the
// writer and the reader again.
#include "FuzzCheck.h"
#include "transfer/CsvFormat.h"

using namespace quillbox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkLineRoundTrip(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
        [](QStringView text, ImportSink& sink) { readCsvRecords(text, sink); },
        [](const SiteRecord& r) { return csvLine(r); }, "csv");
    return 0;
}
