#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

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

// Undoes the layout around an element's text as the parser hands it over (file line breaks as
// CR LF). The program's own layout for an element at this level is undone exactly, so every value
// comes back as written. Any other layout (an editor's tabs or wider indentation) loses the line
// break and indentation at the start and at the end, and continuation lines the first line's
// indentation; whitespace inside the value stays. Text that begins on the start tag's line keeps all
// but a line break and indentation before the end tag.
QString readValue(const QString& text, int level = 2);
// The same from the text's UTF-8 bytes into value, as UTF-8; a value of one line in the program's
// own layout is copied from them directly.
void readValue(std::string_view text, int level, std::string& value);

} // namespace XmlLayout

// The export's document element and item element names.
inline const QString xmlDocumentName = QStringLiteral("Quillbox");
inline const QString xmlItemName = QStringLiteral("SiteItem");

} // namespace quillbox
