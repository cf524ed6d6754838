// Any bytes through the text reader; every record read must come back unchanged through the
// writer and the reader again.
#include "FuzzCheck.h"
#include "transfer/TextFormat.h"

using namespace quillbox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkLineRoundTrip(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
        [](QStringView text, ImportSink& sink) { readTextRecords(text, sink); },
        [](const SiteRecord& r) { return textLine(r); }, "text");
    return 0;
}
