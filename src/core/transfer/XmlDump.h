#pragma once

#include "store/SiteRecord.h"
#include "transfer/XmlTree.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillbox {

// One record found in an XML file: the names of the elements before its record element, as
// they stand in the file, and their values with the file's layout taken off.
struct XmlItem {
    QStringList columns;
    QStringList values;
};

// Every element whose children include an element named "record" gives one item, made of the
// element children before that record element; the walk goes depth first in document order,
// so items come in file order. Other names are not examined.
QList<XmlItem> collectXmlItems(const XmlTree& tree);

// "INSERT INTO quillbox (" + the columns as they stand, comma-separated + ") VALUES(" + each
// value quoted between single quotes, comma-separated + ")". A name that is not a plain SQL
// name is placed as a quoted identifier, so it can only fail as an unknown column.
QString xmlInsertStatement(const XmlItem& item);

// The item's values placed in a record by column name (as the database matches names, without
// regard to case); fields the item does not name are empty.
SiteRecord xmlItemRecord(const XmlItem& item);

// The export's document element and item element names.
inline const QString xmlDocumentName = QStringLiteral("Quillbox");
inline const QString xmlItemName = QStringLiteral("SiteItem");

} // namespace quillbox
