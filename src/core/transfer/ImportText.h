#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace quillbox {

// Turns the bytes of an imported text file into text: a UTF-8 byte-order mark at the start is
// skipped, and bytes that are no UTF-8, and NUL characters, become replacement characters.
QString decodeImportBytes(const QByteArray& bytes);

// The whole file, or nothing when it cannot be opened for reading.
std::optional<QByteArray> readImportFile(const QString& path);

// Walks a text line by line. A line ends at CR LF, at a lone CR or at a lone LF; a last line
// without an ending counts, an ending at the very end of the text starts no further line.
class LineCursor {
public:
    explicit LineCursor(QStringView text) : m_text(text) {}
    bool next(QStringView& line);
    // Where the next line begins.
    qsizetype position() const { return m_pos; }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

// Cleaning of a text taken from a bookmark file: line breaks dropped, the common entities
// decoded, leading and trailing blanks removed.
QString cleanImportText(const QString& text);

} // namespace quillbox
