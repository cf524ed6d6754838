#pragma once

#include <QString>
#include <QStringView>

namespace quillbox {

// The byte layout of the program's XML files. The export writes it item by item, without
// building a tree of the whole table first.
namespace XmlLayout {

// The declaration line and the empty line after it.
QString declaration();
void startTag(QString& out, int level, QStringView name);
void endTag(QString& out, int level, QStringView name);
// An element holding only a value: an empty-element tag when the value is empty, else the start
// tag, each line of the value on its own line six blanks in, and the end tag four blanks in
// (for level 2; the indentation follows the level). The value's own line breaks (CR LF) become
// the file's; a lone CR or LF is kept as a character reference, so it comes back as it was.
void valueElement(QString& out, int level, QStringView name, QStringView value);

// Undoes valueElement's layout on an element's text as the tree loads it: the line break after
// the start tag, up to six blanks at the start of each line, and the line break and blanks
// before the end tag. Text without that layout (written on one line) is kept as it stands.
QString readValue(const QString& text);

} // namespace XmlLayout

} // namespace quillbox
