// Any bytes through the XML loader and the walk; every value found must come back unchanged
// when written in the dump's layout and read again.
#include "FuzzCheck.h"
#include "transfer/XmlDump.h"
#include "transfer/XmlLayout.h"
#include "transfer/XmlTree.h"

using namespace quillbox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    XmlTree tree;
    tree.load(bytes);
    const QList<XmlItem> items = collectXmlItems(tree);
    for (const XmlItem& item : items) {
        (void)xmlInsertStatement(item);
        (void)xmlItemRecord(item);
        for (const QString& value : item.values) {
            QString doc = XmlLayout::declaration();
            XmlLayout::startTag(doc, 0, u"Q");
            XmlLayout::startTag(doc, 1, u"S");
            XmlLayout::valueElement(doc, 2, u"v", value); // the dump's own level
            XmlLayout::endTag(doc, 1, u"S");
            XmlLayout::endTag(doc, 0, u"Q");
            XmlTree back;
            fuzzCheck(back.load(doc.toUtf8()).parsed, "xml written value parses", value);
            int element = back.firstChild(back.firstChild(back.documentElement()));
            while (element != XmlTree::None && back.type(element) != XmlNodeType::Element) {
                element = back.nextSibling(element);
            }
            fuzzCheck(element != XmlTree::None, "xml value element");
            fuzzCheck(XmlLayout::readValue(back.text(element)) == value, "xml value", value);
        }
    }
    return 0;
}
