#include "transfer/ImportText.h"

#include <QFile>

namespace quillbox {

QString decodeImportBytes(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        view = view.sliced(3);
    }
    // A NUL would end the statement text the record is stored by; it stands for nothing a
    // record can hold, so it reads as a replacement character, like invalid UTF-8.
    QString text = QString::fromUtf8(view);
    text.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    return text;
}

std::optional<QByteArray> readImportFile(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

bool LineCursor::next(QStringView& line) {
    const qsizetype n = m_text.size();
    if (m_pos >= n) {
        return false;
    }
    qsizetype end = m_pos;
    while (end < n && m_text[end] != QLatin1Char('\r') && m_text[end] != QLatin1Char('\n')) {
        ++end;
    }
    line = m_text.sliced(m_pos, end - m_pos);
    if (end < n) {
        end += (m_text[end] == QLatin1Char('\r') && end + 1 < n && m_text[end + 1] == QLatin1Char('\n')) ? 2 : 1;
    }
    m_pos = end;
    return true;
}

namespace {
// The text without its leading and trailing blanks (spaces only; tabs stay).
QString trimBlanks(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text[last - 1] == QLatin1Char(' ')) {
        --last;
    }
    return text.sliced(first, last - first).toString();
}
} // namespace

QString cleanImportText(const QString& text) {
    QString out = text;
    out.remove(QLatin1Char('\r'));
    // One after the other, so "&amp;lt;" ends as "<": bookmark files are often escaped twice.
    out.replace(QLatin1String("&amp;"), QLatin1String("&"));
    out.replace(QLatin1String("&lt;"), QLatin1String("<"));
    out.replace(QLatin1String("&gt;"), QLatin1String(">"));
    out.replace(QLatin1String("&apos;"), QLatin1String("'"));
    out.replace(QLatin1String("&quot;"), QLatin1String("\""));
    out.replace(QLatin1String("&#128"), QString(QChar(0x80)));
    out.replace(QLatin1String("&#39;"), QLatin1String("'"));
    out.remove(QLatin1Char('\n'));
    return trimBlanks(out);
}

} // namespace quillbox
