#include "transfer/XmlDump.h"

#include "store/SqlText.h"
#include "transfer/XmlLayout.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace quillbox {

QList<XmlItem> collectXmlItems(const XmlTree& tree) {
    QList<XmlItem> items;
    const int root = tree.documentElement();
    if (root == XmlTree::None) {
        return items;
    }
    // An explicit stack instead of recursion: a hostile file may nest very deeply.
    struct Frame {
        int child;
        XmlItem pending;
    };
    std::vector<Frame> stack;
    stack.push_back({tree.firstChild(root), {}});
    while (!stack.empty()) {
        Frame& f = stack.back();
        while (f.child != XmlTree::None && tree.type(f.child) != XmlNodeType::Element) {
            f.child = tree.nextSibling(f.child);
        }
        if (f.child == XmlTree::None) {
            stack.pop_back();
            continue;
        }
        const int child = f.child;
        f.child = tree.nextSibling(child);
        if (tree.name(child) == QLatin1String("record")) {
            items.append(std::move(f.pending));
            f.pending = XmlItem();
        } else {
            f.pending.columns.append(tree.name(child));
            f.pending.values.append(XmlLayout::readValue(tree.text(child)));
        }
        const int grandChild = tree.firstChild(child);
        if (grandChild != XmlTree::None) {
            stack.push_back({grandChild, {}}); // f may dangle from here on
        }
    }
    return items;
}

namespace {
// An element name stands in the statement as it is when it is a plain SQL name. Any other name
// (XML allows "-", "." and ":", so "misc1--" would start a comment) is quoted as an identifier:
// the database then reports that no such column exists, and nothing of it is read as SQL.
QString columnName(const QString& name) {
    const auto letter = [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
               c == QLatin1Char('_');
    };
    const bool plain = !name.isEmpty() && letter(name.front()) && std::all_of(name.begin(), name.end(), [&](QChar c) {
        return letter(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    });
    if (plain) {
        return name;
    }
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QString xmlInsertStatement(const XmlItem& item) {
    QStringList columns;
    for (const QString& name : item.columns) {
        columns << columnName(name);
    }
    QString values;
    for (qsizetype i = 0; i < item.values.size(); ++i) {
        if (i > 0) {
            values += QLatin1Char(',');
        }
        values += QLatin1Char('\'') + sqlQuote(item.values[i]) + QLatin1Char('\'');
    }
    return QStringLiteral("INSERT INTO quillbox (") + columns.join(QLatin1Char(',')) + QStringLiteral(") VALUES(") +
           values + QLatin1Char(')');
}

SiteRecord xmlItemRecord(const XmlItem& item) {
    static const QHash<QString, int> columnOf = [] {
        QHash<QString, int> map;
        for (int k = 0; k < Col::TextColumns; ++k) {
            map.insert(columnNames()[k], k);
        }
        return map;
    }();
    SiteRecord record;
    for (qsizetype i = 0; i < item.columns.size(); ++i) {
        int k = columnOf.value(item.columns[i], -1);
        if (k < 0) {
            k = columnOf.value(item.columns[i].toLower(), -1); // the database takes names in any case
        }
        if (k >= 0) {
            record[k] = item.values[i];
        }
    }
    return record;
}

} // namespace quillbox
