#include "transfer/ImportRead.h"

#include "transfer/Bookmarks.h"
#include "transfer/CsvFormat.h"
#include "transfer/ImportText.h"
#include "transfer/TextFormat.h"
#include "transfer/XmlImport.h"

namespace quillbox {

QString readImport(QIODevice& file, ImportFormat format, const QString& owner, ImportSink& sink) {
    if (format == ImportFormat::Xml) {
        const XmlReadResult result = readXmlRecords(file, sink);
        return result.wellFormed ? QString() : xmlNotWellFormedMessage(result);
    }
    DeviceLines lines(file, format == ImportFormat::Bookmarks ? DeviceLines::Markup::Html : DeviceLines::Markup::Plain);
    switch (format) {
    case ImportFormat::Csv:
        readCsvRecords(lines, sink, owner);
        break;
    case ImportFormat::Bookmarks:
        readBookmarkRecords(lines, owner, sink);
        break;
    default:
        readTextRecords(lines, sink);
        break;
    }
    return lines.failure();
}

} // namespace quillbox
