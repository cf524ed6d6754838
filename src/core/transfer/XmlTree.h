#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace quillbox {

enum class XmlNodeType { Document, Element, Comment, Cdata, Other };

// A small document tree over Expat. Nodes live in one array and are named by their index;
// node 0 is the document itself. An element's text is all character data directly inside it
// (CDATA sections included); each child remembers where it began within its parent's text.
//
// Line breaks that stand in the file come into the text as CR LF; a line break written as a
// character reference (&#10; or &#13;) comes in as that one character. So a value can carry
// lone CR and LF characters through a file whose own line breaks are CR LF.
class XmlTree {
public:
    static constexpr int None = -1;

    XmlTree();

    int documentElement() const;
    int firstChild(int node) const { return m_nodes[static_cast<size_t>(node)].firstChild; }
    int nextSibling(int node) const { return m_nodes[static_cast<size_t>(node)].nextSibling; }
    int parent(int node) const { return m_nodes[static_cast<size_t>(node)].parent; }
    XmlNodeType type(int node) const { return m_nodes[static_cast<size_t>(node)].type; }
    const QString& name(int node) const { return m_nodes[static_cast<size_t>(node)].name; }
    const QString& text(int node) const { return m_nodes[static_cast<size_t>(node)].text; }
    qsizetype position(int node) const { return m_nodes[static_cast<size_t>(node)].position; }
    int nodeCount() const { return static_cast<int>(m_nodes.size()); }

    int addNode(int parent, XmlNodeType type, const QString& name, const QString& text = QString());
    int addElement(int parent, const QString& name, const QString& text = QString()) {
        return addNode(parent, XmlNodeType::Element, name, text);
    }
    void appendText(int node, QStringView text) { m_nodes[static_cast<size_t>(node)].text += text; }

    struct LoadResult {
        bool parsed = false; // the whole input was well-formed
        QString error;       // the parser's message when it was not
    };
    // Replaces the tree by the document in bytes. On a parse error the tree keeps what was read
    // before it. Entities outside the document are never read, and runaway entity expansion
    // stops the parse.
    LoadResult load(const QByteArray& bytes);

private:
    struct Node {
        XmlNodeType type = XmlNodeType::Element;
        int parent = None;
        int firstChild = None;
        int lastChild = None;
        int nextSibling = None;
        qsizetype position = 0;
        QString name;
        QString text;
    };
    std::vector<Node> m_nodes;
};

} // namespace quillbox
