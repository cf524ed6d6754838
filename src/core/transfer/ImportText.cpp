#include "transfer/ImportText.h"

#include <QIODevice>
#include <QRegularExpression>

namespace quillbox {

bool LineCursor::next(QStringView& line) {
    QStringView end;
    return next(line, end);
}

bool LineCursor::next(QStringView& line, QStringView& end) {
    const qsizetype n = m_text.size();
    if (m_pos >= n) {
        return false;
    }
    qsizetype stop = m_pos;
    while (stop < n && m_text[stop] != QLatin1Char('\r') && m_text[stop] != QLatin1Char('\n')) {
        ++stop;
    }
    line = m_text.sliced(m_pos, stop - m_pos);
    qsizetype next = stop;
    if (stop < n) {
        next += (m_text[stop] == QLatin1Char('\r') && stop + 1 < n && m_text[stop + 1] == QLatin1Char('\n')) ? 2 : 1;
    }
    end = m_text.sliced(stop, next - stop);
    m_pos = next;
    return true;
}

bool StringLines::next(QString& line, QString& end) {
    QStringView l;
    QStringView e;
    if (!m_cursor.next(l, e)) {
        return false;
    }
    ++m_number;
    line = l.toString();
    end = e.toString();
    return true;
}

QString notUtf8Message(qsizetype line) {
    return QStringLiteral("Line %1 holds bytes that are not UTF-8 text; save the file as UTF-8 and import it again. "
                          "Nothing was imported.")
        .arg(line);
}

bool isNotUtf8Message(const QString& message) {
    return message.contains(QLatin1String("not UTF-8 text;"));
}

namespace {

constexpr qsizetype pieceSize = 1 << 20;

} // namespace

qsizetype validUtf8(QByteArrayView bytes, bool& bad) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype n = bytes.size();
    bad = false;
    qsizetype i = 0;
    while (i < n) {
        const uchar c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, code = c & 0x07, least = 0x10000;
        } else {
            bad = true;
            return i;
        }
        for (int j = 1; j < length; ++j) {
            if (i + j >= n) {
                return i; // cut off: the next piece may complete it
            }
            if ((p[i + j] & 0xC0) != 0x80) {
                bad = true;
                return i;
            }
            code = (code << 6) | (p[i + j] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            bad = true;
            return i;
        }
        i += length;
    }
    return n;
}

qint64 readImportPiece(QIODevice& device, char* data, qint64 max) {
    for (;;) {
        const qint64 got = device.read(data, max);
        if (got != 0 || !device.isSequential() || !device.waitForReadyRead(-1)) {
            return got;
        }
    }
}

QString notInEncodingMessage(qsizetype line, const QString& name) {
    return QStringLiteral("Line %1 holds bytes that are not %2 text, the encoding the file declares. Nothing was "
                          "imported.")
        .arg(line)
        .arg(name);
}

QString unknownEncodingMessage(const QString& name) {
    return QStringLiteral("The file declares the encoding \"%1\", which this program cannot read. Nothing was "
                          "imported.")
        .arg(name);
}

QString loneSurrogateMessage(qsizetype line) {
    return QStringLiteral("Line %1 holds half of a UTF-16 character pair (a lone surrogate), which is no text. "
                          "Nothing was imported.")
        .arg(line);
}

qsizetype loneSurrogate(QStringView text, bool last) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
            } else if (i + 1 < text.size() || last) {
                return i;
            }
        } else if (c.isLowSurrogate()) {
            return i;
        }
    }
    return -1;
}

qsizetype firstSubstitute(QStringView text) {
    const qsizetype replacement = text.indexOf(QChar(QChar::ReplacementCharacter));
    const qsizetype sub = text.indexOf(QChar(0x1A));
    return replacement < 0 ? sub : sub < 0 ? replacement : std::min(replacement, sub);
}

qsizetype countLineBreaks(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n') ||
            (text[i] == QLatin1Char('\r') && (i + 1 >= text.size() || text[i + 1] != QLatin1Char('\n')))) {
            ++count;
        }
    }
    return count;
}

namespace {

// The charset an HTML file declares in its head, as in <meta charset="..."> or
// content="text/html; charset=...".
QString declaredCharset(QByteArrayView head) {
    static const QRegularExpression pattern(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match =
        pattern.match(QString::fromLatin1(head.first(std::min<qsizetype>(head.size(), 4096))));
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

DeviceLines::DeviceLines(QIODevice& device, Markup markup, const QString& encoding)
    : m_device(device), m_markup(markup), m_encoding(encoding) {}

namespace {
// The file's own byte-order mark is cut before decoding; a U+FEFF after it is a value's.
constexpr QStringConverter::Flags keepMarks = QStringConverter::Flag::ConvertInitialBom;
} // namespace

namespace {
bool isUtf8Name(const QString& name) {
    return name.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("utf8"), Qt::CaseInsensitive) == 0;
}
} // namespace

void DeviceLines::start(QByteArrayView head) {
    m_started = true;
    const QString chosen = m_encoding.isEmpty() && m_markup == Markup::Html && !head.startsWith("\xEF\xBB\xBF") &&
                                   !head.startsWith("\xFF\xFE") && !head.startsWith("\xFE\xFF")
                               ? declaredCharset(head)
                               : m_encoding;
    if (!chosen.isEmpty()) {
        if (!isUtf8Name(chosen)) {
            // Made in place: a moved decoder of the toolkit no longer reports bytes it cannot decode.
            m_decoder.emplace(chosen.toLatin1().constData(), keepMarks);
            m_encodingName = chosen;
            if (!m_decoder->isValid()) {
                m_decoder.reset();
                m_failure = unknownEncodingMessage(chosen); // read as UTF-8, it would be refused for its bytes
                m_atEnd = true;
            }
        }
        return;
    }
    if (head.startsWith("\xFF\xFE")) {
        m_decoder.emplace(QStringConverter::Utf16LE, keepMarks);
        m_encodingName = QStringLiteral("UTF-16LE");
    } else if (head.startsWith("\xFE\xFF")) {
        m_decoder.emplace(QStringConverter::Utf16BE, keepMarks);
        m_encodingName = QStringLiteral("UTF-16BE");
    }
}

void DeviceLines::fail(const QString& reason, QStringView validText) {
    if (reason.isEmpty()) {
        // The first bad byte stands on the line after every break read so far.
        m_text += validText;
        const qsizetype line = m_number + 1 + countLineBreaks(QStringView(m_text).sliced(m_pos));
        m_failure = m_decoder ? notInEncodingMessage(line, m_encodingName) : notUtf8Message(line);
    } else {
        m_failure = reason;
    }
    m_atEnd = true;
}

bool DeviceLines::fill() {
    if (m_atEnd) {
        return false;
    }
    // One buffer serves every piece: fresh memory costs more to touch than to read into.
    QByteArray& bytes = m_bytes;
    bytes.resize(pieceSize);
    const qint64 got = readImportPiece(m_device, bytes.data(), pieceSize);
    if (got < 0) {
        // Not the end of the file: what follows was never read.
        fail(QStringLiteral("The file could not be read: %1").arg(m_device.errorString()), {});
        return false;
    }
    bytes.resize(got);
    if (!m_started) {
        start(bytes);
        if (!m_failure.isEmpty()) {
            return false;
        }
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            bytes.remove(0, 3);
        } else if (m_decoder && m_encodingName.startsWith(QLatin1String("UTF-16"), Qt::CaseInsensitive) &&
                   (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))) {
            bytes.remove(0, 2);
        }
    }
    const bool last = got == 0 || (!m_device.isSequential() && m_device.atEnd());
    if (m_decoder) {
        const bool utf16 = m_decoder->name() && QByteArrayView(m_decoder->name()).startsWith("UTF-16");
        if (!utf16 && bytes.contains('\0')) {
            fail(nulBytesMessage, {});
            return false;
        }
        QString text = m_decoder->decode(bytes);
        if (last) {
            text += m_decoder->decode(QByteArrayView()); // a sequence cut off at the end is an error
        }
        if (m_decoder->hasError()) {
            const qsizetype bad = firstSubstitute(text);
            fail(QString(), QStringView(text).first(std::max<qsizetype>(bad, 0)));
            return false;
        }
        if (text.contains(QChar(0))) {
            fail(nulBytesMessage, {});
            return false;
        }
        // The toolkit's UTF-16 decoder passes half a surrogate pair through; the database would
        // store it as "?". A high half at the very end may yet be completed by the next piece.
        const qsizetype had = m_text.size();
        const qsizetype from = had > m_pos && m_text[had - 1].isHighSurrogate() ? had - 1 : had;
        m_text += text;
        if (const qsizetype bad = loneSurrogate(QStringView(m_text).sliced(from), last); bad >= 0) {
            m_failure = loneSurrogateMessage(m_number + 1 +
                                             countLineBreaks(QStringView(m_text).sliced(m_pos, from + bad - m_pos)));
            m_atEnd = true;
            return false;
        }
    } else {
        if (bytes.contains('\0')) {
            fail(nulBytesMessage, {});
            return false;
        }
        m_carry.append(bytes.constData(), bytes.size()); // a copy: the buffer is read into again
        bool bad = false;
        const qsizetype valid = validUtf8(m_carry, bad);
        if (bad || (last && valid < m_carry.size())) {
            fail(QString(), QString::fromUtf8(QByteArrayView(m_carry).first(valid)));
            return false;
        }
        // Decoded straight onto the text: a UTF-8 byte never makes more than one UTF-16 unit.
        const qsizetype had = m_text.size();
        m_text.resize(had + valid);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom); // the file's own was cut
        const QChar* end = utf8.appendToBuffer(m_text.data() + had, QByteArrayView(m_carry).first(valid));
        m_text.resize(end - m_text.constData());
        m_carry.remove(0, valid);
    }
    m_atEnd = last;
    return true;
}

bool DeviceLines::next(QString& line, QString& end) {
    for (;;) {
        if (!m_failure.isEmpty()) {
            return false;
        }
        const qsizetype n = m_text.size();
        const char16_t* const text = reinterpret_cast<const char16_t*>(m_text.constData());
        qsizetype stop = m_pos;
        while (stop < n && text[stop] != u'\r' && text[stop] != u'\n') {
            ++stop;
        }
        // A line is whole when its ending is seen, a CR being followed by something (or the end).
        const bool whole = (stop < n && (m_text[stop] == QLatin1Char('\n') || stop + 1 < n)) || m_atEnd;
        if (!whole) {
            // Keep only the unread part, then read on.
            m_text.remove(0, m_pos);
            m_pos = 0;
            if (!fill()) {
                if (!m_failure.isEmpty()) {
                    return false;
                }
            }
            continue;
        }
        if (m_pos >= n) {
            return false;
        }
        qsizetype next = stop;
        if (stop < n) {
            next +=
                (m_text[stop] == QLatin1Char('\r') && stop + 1 < n && m_text[stop + 1] == QLatin1Char('\n')) ? 2 : 1;
        }
        line = m_text.sliced(m_pos, stop - m_pos);
        // The three endings share static text: no allocation per line.
        static const QString crlf = QStringLiteral("\r\n");
        static const QString cr = QStringLiteral("\r");
        static const QString lf = QStringLiteral("\n");
        end = next - stop == 2 ? crlf : next == stop ? QString() : m_text[stop] == QLatin1Char('\r') ? cr : lf;
        m_pos = next;
        ++m_number;
        return true;
    }
}

namespace {
// The text without its leading and trailing blanks and tabs (a file indents with either).
QString trimBlanks(QStringView text) {
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && blank(text[first])) {
        ++first;
    }
    while (last > first && blank(text[last - 1])) {
        --last;
    }
    return text.sliced(first, last - first).toString();
}
} // namespace

QString decodeEntities(QStringView text) {
    if (!text.contains(QLatin1Char('&'))) {
        return text.toString();
    }
    static const struct {
        QLatin1String name;
        QChar c;
    } named[] = {{QLatin1String("amp;"), QLatin1Char('&')},   {QLatin1String("lt;"), QLatin1Char('<')},
                 {QLatin1String("gt;"), QLatin1Char('>')},    {QLatin1String("quot;"), QLatin1Char('"')},
                 {QLatin1String("apos;"), QLatin1Char('\'')}, {QLatin1String("nbsp;"), QChar(0xA0)}};
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(QLatin1Char('&'), i);
        if (amp < 0) {
            out += text.sliced(i);
            break;
        }
        out += text.sliced(i, amp - i);
        i = amp + 1;
        const QStringView rest = text.sliced(i);
        bool done = false;
        for (const auto& e : named) {
            if (rest.startsWith(e.name, Qt::CaseInsensitive)) {
                out += e.c;
                i += e.name.size();
                done = true;
                break;
            }
        }
        if (!done && rest.startsWith(QLatin1Char('#'))) {
            const bool hex = rest.size() > 1 && (rest[1] == QLatin1Char('x') || rest[1] == QLatin1Char('X'));
            const qsizetype digits = hex ? 2 : 1;
            const qsizetype semi = rest.indexOf(QLatin1Char(';'));
            bool ok = false;
            const uint code =
                semi > digits && semi <= digits + 8 ? rest.sliced(digits, semi - digits).toUInt(&ok, hex ? 16 : 10) : 0;
            // Only a character a record can hold: no NUL, no lone surrogate.
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                i += semi + 1;
                done = true;
            }
        }
        if (!done) {
            out += QLatin1Char('&');
        }
    }
    return out;
}

QString cleanImportText(const QString& text) {
    QString out = text;
    out.remove(QLatin1Char('\r'));
    out.remove(QLatin1Char('\n'));
    return trimBlanks(decodeEntities(out));
}

} // namespace quillbox
