#include "transfer/XmlTree.h"

#include <QHash>

#include <expat.h>

#include <algorithm>
#include <utility>

namespace quillbox {

XmlTree::XmlTree() {
    m_nodes.push_back(Node{XmlNodeType::Document, None, None, None, None, 0, {}, {}});
}

int XmlTree::documentElement() const {
    for (int child = m_nodes[0].firstChild; child != None; child = nextSibling(child)) {
        if (type(child) == XmlNodeType::Element) {
            return child;
        }
    }
    return None;
}

int XmlTree::addNode(int parent, XmlNodeType type, const QString& name, const QString& text) {
    const int index = static_cast<int>(m_nodes.size());
    Node node;
    node.type = type;
    node.parent = parent;
    node.name = name;
    node.text = text;
    Node& p = m_nodes[static_cast<size_t>(parent)];
    node.position = p.text.size();
    if (p.lastChild == None) {
        p.firstChild = index;
    } else {
        m_nodes[static_cast<size_t>(p.lastChild)].nextSibling = index;
    }
    p.lastChild = index;
    m_nodes.push_back(std::move(node));
    return index;
}

namespace {

struct Loader {
    explicit Loader(XmlTree& t) : tree(t) {}
    XmlTree& tree;
    XML_Parser parser = nullptr;
    int current = 0;
    int cdata = XmlTree::None;
    // Character data arrives in many small pieces; it is kept here as UTF-8 and decoded once,
    // whenever a node begins or ends.
    QByteArray pending;
    QHash<QByteArray, QString> names; // element names shared, not copied per node

    const QString& intern(const char* name) {
        const QByteArray key = QByteArray::fromRawData(name, static_cast<qsizetype>(qstrlen(name)));
        auto it = names.find(key);
        if (it == names.end()) {
            const QByteArray copy(key.constData(), key.size());
            it = names.insert(copy, QString::fromUtf8(copy));
        }
        return it.value();
    }

    void flush() {
        if (pending.isEmpty()) {
            return;
        }
        const QString text = QString::fromUtf8(pending);
        tree.appendText(current, text);
        if (cdata != XmlTree::None) {
            tree.appendText(cdata, text);
        }
        pending.clear();
    }
};

Loader& loader(void* data) {
    return *static_cast<Loader*>(data);
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**) {
    Loader& l = loader(data);
    l.flush();
    l.current = l.tree.addElement(l.current, l.intern(name));
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    Loader& l = loader(data);
    l.flush();
    if (l.current != 0) {
        l.current = l.tree.parent(l.current);
    }
}

void XMLCALL onCharacters(void* data, const XML_Char* s, int len) {
    Loader& l = loader(data);
    // The parser hands every line break of the file over as one LF, and a character reference
    // as its character; only the length of the markup behind it tells them apart.
    if (len == 1 && s[0] == '\n' && XML_GetCurrentByteCount(l.parser) <= 2) {
        l.pending.append("\r\n", 2);
    } else {
        l.pending.append(s, len);
    }
}

void XMLCALL onComment(void* data, const XML_Char* text) {
    Loader& l = loader(data);
    l.flush();
    l.tree.addNode(l.current, XmlNodeType::Comment, QString(), QString::fromUtf8(text));
}

void XMLCALL onCdataStart(void* data) {
    Loader& l = loader(data);
    l.flush();
    l.cdata = l.tree.addNode(l.current, XmlNodeType::Cdata, QString());
}

void XMLCALL onCdataEnd(void* data) {
    Loader& l = loader(data);
    l.flush();
    l.cdata = XmlTree::None;
}

void XMLCALL onInstruction(void* data, const XML_Char* target, const XML_Char* text) {
    Loader& l = loader(data);
    l.flush();
    l.tree.addNode(l.current, XmlNodeType::Other, QString::fromUtf8(target), QString::fromUtf8(text));
}

} // namespace

XmlTree::LoadResult XmlTree::load(const QByteArray& bytes) {
    *this = XmlTree();
    LoadResult result;
    Loader l(*this);
    l.parser = XML_ParserCreate(nullptr);
    if (!l.parser) {
        result.error = QStringLiteral("out of memory");
        return result;
    }
    // No handler for external entities, and parameter entities never parsed: nothing outside
    // the file is ever opened. Expat's own amplification limit ends entity bombs as errors.
    XML_SetParamEntityParsing(l.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUserData(l.parser, &l);
    XML_SetElementHandler(l.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(l.parser, onCharacters);
    XML_SetCommentHandler(l.parser, onComment);
    XML_SetCdataSectionHandler(l.parser, onCdataStart, onCdataEnd);
    XML_SetProcessingInstructionHandler(l.parser, onInstruction);
    m_nodes.reserve(static_cast<size_t>(bytes.size() / 40)); // about one node per line of a dump

    constexpr qsizetype chunk = 1 << 20;
    qsizetype offset = 0;
    bool ok = true;
    do {
        const qsizetype size = std::min(chunk, bytes.size() - offset);
        const bool last = offset + size >= bytes.size();
        ok = XML_Parse(l.parser, bytes.constData() + offset, static_cast<int>(size), last) == XML_STATUS_OK;
        offset += size;
    } while (ok && offset < bytes.size());
    l.flush(); // what stood before a parse error is kept
    result.parsed = ok;
    if (!ok) {
        result.error = QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(l.parser)));
    }
    XML_ParserFree(l.parser);
    return result;
}

} // namespace quillbox
