#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

#include <optional>

class QIODevice;

namespace quillbox {

// Walks a text line by line. A line ends at CR LF, at a lone CR or at a lone LF; a last line
// without an ending counts, an ending at the very end of the text starts no further line.
class LineCursor {
public:
    explicit LineCursor(QStringView text) : m_text(text) {}
    bool next(QStringView& line);
    // next(), also giving the line's ending as it stands (empty for a last line without one).
    bool next(QStringView& line, QStringView& end);
    // Where the next line begins.
    qsizetype position() const { return m_pos; }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

// The lines of an imported text, one at a time, numbered from 1.
class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line without its ending, and the ending as it stood ("\r\n", "\r", "\n", or empty
    // for a last line without one). False at the end, or when the text was refused (failure()).
    virtual bool next(QString& line, QString& end) = 0;
    qsizetype lineNumber() const { return m_number; }
    // Why the whole file is refused; empty while it is readable text.
    const QString& failure() const { return m_failure; }
    // Refuses the whole file for what a reader found in it; the first reason stands.
    void refuse(const QString& reason) {
        if (m_failure.isEmpty()) {
            m_failure = reason;
        }
    }

protected:
    qsizetype m_number = 0;
    QString m_failure;
};

// The lines of a text already in memory.
class StringLines : public LineSource {
public:
    explicit StringLines(QStringView text) : m_cursor(text) {}
    bool next(QString& line, QString& end) override;

private:
    LineCursor m_cursor;
};

// The lines of a file, decoded as it is read, so a large file never sits in memory whole.
// A byte-order mark (UTF-8, UTF-16 LE or BE) decides the encoding; without one an HTML file's
// declared charset is honoured (one the toolkit's converters do not know refuses the file);
// otherwise the file must be UTF-8. Half a UTF-16 surrogate pair refuses it too. Bytes that are no text in
// that encoding, or NUL bytes, refuse the whole file: a replacement character is never made up.
class DeviceLines : public LineSource {
public:
    enum class Markup { Plain, Html };
    // encoding: a name the toolkit's converters know, read whatever the file's start says (its
    // byte-order mark is still skipped); empty to let the file tell.
    explicit DeviceLines(QIODevice& device, Markup markup = Markup::Plain, const QString& encoding = QString());
    bool next(QString& line, QString& end) override;

private:
    bool fill(); // decodes the next piece of the file into m_text; false at the end or on failure
    void start(QByteArrayView head);
    void fail(const QString& reason, QStringView validText);

    QIODevice& m_device;
    Markup m_markup;
    QString m_encoding;                      // chosen by the user
    std::optional<QStringDecoder> m_decoder; // none: strict UTF-8, checked here
    QString m_encodingName;                  // the decoder's, as the file names it
    bool m_started = false;
    bool m_atEnd = false;
    QByteArray m_bytes; // the piece read last
    QByteArray m_carry; // the start of a UTF-8 sequence cut off at the end of a piece
    QString m_text;
    qsizetype m_pos = 0;
};

// How many bytes at the start are whole, valid UTF-8 sequences. bad tells whether the byte
// after them is wrong, rather than the start of a sequence cut off by the end of the bytes.
qsizetype validUtf8(QByteArrayView bytes, bool& bad);

// Reads up to max bytes of an import file. A stream (a pipe, a socket, standard input) may have
// nothing at hand before its end: that is waited for, so 0 comes only at the real end of the data,
// and -1 on an error. atEnd() of such a device only says that nothing is buffered now.
qint64 readImportPiece(QIODevice& device, char* data, qint64 max);

inline const QString nulBytesMessage =
    QStringLiteral("The file holds NUL bytes, so it is no text file; nothing was imported.");
QString notUtf8Message(qsizetype line);
// Whether a refusal is notUtf8Message()'s: another encoding may read the file.
bool isNotUtf8Message(const QString& message);
QString loneSurrogateMessage(qsizetype line);
QString unknownEncodingMessage(const QString& name);
QString notInEncodingMessage(qsizetype line, const QString& name);
// Where a converter that found bytes it could not decode put its first stand-in for them (U+FFFD,
// or U+001A from the converters of other character sets), or -1.
qsizetype firstSubstitute(QStringView text);
// How many line breaks (CR LF, lone CR, lone LF) a text holds.
qsizetype countLineBreaks(QStringView text);
// Where text holds half of a surrogate pair, or -1. A high half at the very end counts only when
// the text is last, nothing following that could complete it.
qsizetype loneSurrogate(QStringView text, bool last = true);

// Cleaning of a text taken from a bookmark file: line breaks dropped, character references
// decoded, leading and trailing blanks and tabs removed.
QString cleanImportText(const QString& text);

// HTML character references decoded once: the five named ones of XML, &nbsp;, and numeric
// ones (&#233; &#xE9;). Anything else stays as it stands.
QString decodeEntities(QStringView text);

} // namespace quillbox
