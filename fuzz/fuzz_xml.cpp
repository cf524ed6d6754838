// Any bytes through the streaming XML reader; every value read must come back unchanged when
// written in the dump's layout and read again.
#include "FuzzCheck.h"
#include "transfer/XmlImport.h"
#include "transfer/XmlLayout.h"

using namespace quillbox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CollectRecords first;
    readXmlRecords(bytes, first);
    for (const SiteRecord& r : first.records) {
        QString doc = XmlLayout::declaration();
        XmlLayout::startTag(doc, 0, u"Quillbox");
        XmlLayout::startTag(doc, 1, u"SiteItem");
        for (int k = 0; k < Col::TextColumns; ++k) {
            XmlLayout::valueElement(doc, 2, columnNames()[k], r[k]);
        }
        XmlLayout::valueElement(doc, 2, u"record", u"1");
        XmlLayout::endTag(doc, 1, u"SiteItem");
        XmlLayout::endTag(doc, 0, u"Quillbox");
        CollectRecords back;
        fuzzCheck(readXmlRecords(doc.toUtf8(), back).wellFormed, "xml written record parses");
        fuzzCheck(back.records.size() == 1, "xml record count");
        for (int k = 0; k < Col::TextColumns; ++k) {
            // Characters XML cannot hold are written as U+FFFD; everything else comes back.
            const bool writable = !r[k].contains(QChar(0xFFFE)) && !r[k].contains(QChar(0xFFFF));
            fuzzCheck(!writable || back.records[0][k] == r[k], "xml value", r[k]);
        }
    }
    return 0;
}
