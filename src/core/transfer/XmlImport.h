#pragma once

#include "transfer/ImportPreview.h"
#include "transfer/ImportSink.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace quillbox {

struct XmlReadResult {
    bool wellFormed = true;
    QString error; // the parser's reason when it was not
    qsizetype line = 0;
    bool notUtf8 = false; // the reason: bytes that are no UTF-8 in a file that is read as UTF-8
    qint64 cutAt = -1;    // where a second parser took over, or -1 when one read it all
    QString refusal;      // not empty: why the file is refused, other than its markup (unreadable,
                          // an encoding that cannot be read or bytes not valid in it)
};

// Reads the records of an XML file as the parser streams through it; nothing but the item being
// read is held. Every element among whose children stands an element named "record", or one
// naming a column, gives one record at its end tag, made of all those children wherever they stand,
// placed by their names (without regard to case); a field the item does not name is empty. An
// item with an element of its own (one without children) named like no column is refused. The file's own encoding
// declaration is honoured; entities outside the file are never read, and runaway entity expansion stops the parse as an
// error. A long file is cut in two after the end tag of an item, and its second half read in a thread of its own: the
// first such tag at or after near (by default the middle of a file of 4 MiB or more, and at most 256 MiB
// unless the sink gives a spill folder; other files are not cut). Until it
// has seen the first item begin, the reader reads pieces of firstPiece bytes.
// The second half keeps what it reads in memory up to secondKeepLimit bytes, then spills it as
// ImportPreview does.
struct XmlCut {
    qint64 near = -1;
    qint64 firstPiece = 1 << 16;
    qsizetype secondKeepLimit = ImportPreview::defaultKeepLimit;
};
XmlReadResult readXmlRecords(QIODevice& device, ImportSink& sink, const XmlCut& cut = {});
XmlReadResult readXmlRecords(const QByteArray& bytes, ImportSink& sink);

// What the status line says of such a file.
QString xmlNotWellFormedMessage(const XmlReadResult& result);

} // namespace quillbox
