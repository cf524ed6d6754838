#include "transfer/ImportSink.h"
#include "text/Utf8Text.h"
#include "transfer/ImportPreview.h"

namespace quillbox {

SiteRecord siteRecordFrom(const Utf8Record& values) {
    SiteRecord record;
    for (int k = 0; k < Col::TextColumns; ++k) {
        record[k] = utf8Text(values[static_cast<size_t>(k)]);
    }
    return record;
}

Utf8Copy::Utf8Copy(const SiteRecord& record) {
    for (size_t k = 0; k < bytes.size(); ++k) {
        bytes[k] = record[static_cast<int>(k)].toUtf8();
        views[k] = bytes[k];
    }
}

QString ImportSink::follow(ImportPreview&& later, qsizetype lines) {
    struct Shifted : ForwardingSink {
        qsizetype by;
        Shifted(ImportSink& sink, qsizetype lines) : ForwardingSink(sink), by(lines) {}
        void refused(qsizetype line, const QString& reason) override { ForwardingSink::refused(line + by, reason); }
    };
    Shifted shifted(*this, lines);
    return later.replay(shifted);
}

} // namespace quillbox
