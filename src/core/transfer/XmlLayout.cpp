#include "transfer/XmlLayout.h"

#include <algorithm>
#include <optional>

namespace quillbox::XmlLayout {

namespace {

const QLatin1String lineEnd("\r\n");

void indent(QString& out, int level) {
    static constexpr char blanks[] = "                "; // the dump goes three levels deep
    const qsizetype width = 2 * level;
    if (width < qsizetype(sizeof(blanks))) {
        out += QLatin1String(blanks, width);
    } else {
        out += QString(width, QLatin1Char(' '));
    }
}

// XML 1.0 allows these characters and no others, not even as references.
bool allowedInXml(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

void appendEscapedLine(QString& out, QStringView line) {
    const qsizetype n = line.size();
    qsizetype plain = 0; // start of the run of characters copied as they are
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line[i];
        QLatin1String entity;
        switch (c.unicode()) {
        case '&':
            entity = QLatin1String("&amp;");
            break;
        case '<':
            entity = QLatin1String("&lt;");
            break;
        case '>':
            entity = QLatin1String("&gt;");
            break;
        case '\r':
            entity = QLatin1String("&#13;");
            break;
        case '\n':
            entity = QLatin1String("&#10;");
            break;
        default:
            if (c.isHighSurrogate() && i + 1 < n && line[i + 1].isLowSurrogate()) {
                ++i; // a valid pair stays in the run
                continue;
            }
            if (!c.isSurrogate() && allowedInXml(c.unicode())) {
                continue;
            }
            break;
        }
        out += line.sliced(plain, i - plain);
        if (entity.isEmpty()) {
            out += QChar(QChar::ReplacementCharacter); // no XML file can hold it
        } else {
            out += entity;
        }
        plain = i + 1;
    }
    out += line.sliced(plain);
}

} // namespace

QString declaration() {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n");
}

void startTag(QString& out, int level, QStringView name) {
    indent(out, level);
    out += QLatin1Char('<');
    out += name;
    out += QLatin1Char('>');
    out += lineEnd;
}

void endTag(QString& out, int level, QStringView name) {
    indent(out, level);
    out += QLatin1String("</");
    out += name;
    out += QLatin1Char('>');
    out += lineEnd;
}

void valueElement(QString& out, int level, QStringView name, QStringView value) {
    if (value.isEmpty()) {
        indent(out, level);
        out += QLatin1Char('<');
        out += name;
        out += QLatin1String("/>");
        out += lineEnd;
        return;
    }
    startTag(out, level, name);
    qsizetype start = 0;
    for (;;) {
        const qsizetype brk = value.indexOf(lineEnd, start);
        const qsizetype end = brk < 0 ? value.size() : brk;
        indent(out, level + 1);
        appendEscapedLine(out, value.sliced(start, end - start));
        out += lineEnd;
        if (brk < 0) {
            break;
        }
        start = brk + 2;
    }
    endTag(out, level, name);
}

namespace {

bool isIndentation(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The lines of body joined again, each without the given prefix where it begins with it; with
// exact set, nullopt unless every line begins with it.
std::optional<QString> dropPrefix(QStringView body, QStringView prefix, bool exact) {
    if (!body.contains(lineEnd)) {
        if (body.startsWith(prefix)) {
            return body.sliced(prefix.size()).toString();
        }
        return exact ? std::nullopt : std::optional<QString>(body.toString());
    }
    QString value;
    value.reserve(body.size());
    qsizetype start = 0;
    for (;;) {
        const qsizetype brk = body.indexOf(lineEnd, start);
        QStringView line = body.sliced(start, (brk < 0 ? body.size() : brk) - start);
        if (line.startsWith(prefix)) {
            line = line.sliced(prefix.size());
        } else if (exact) {
            return std::nullopt;
        }
        value += line;
        if (brk < 0) {
            return value;
        }
        value += lineEnd;
        start = brk + 2;
    }
}

} // namespace

QString readValue(const QString& text, int level) {
    const QStringView all(text);
    if (!all.startsWith(lineEnd)) {
        // Written on the start tag's line: only the end tag may stand on a line of its own.
        const qsizetype last = all.lastIndexOf(lineEnd);
        if (last >= 0 && std::all_of(all.begin() + last + 2, all.end(), isIndentation)) {
            return all.first(last).toString();
        }
        return text;
    }
    // The program's own layout: the value's lines each 2 (level + 1) blanks in, the end tag's line
    // 2 level blanks in.
    const qsizetype inner = 2 * (level + 1);
    const qsizetype outer = 2 + 2 * level;
    const auto blanks = [](QStringView v) {
        return std::all_of(v.begin(), v.end(), [](QChar c) { return c == QLatin1Char(' '); });
    };
    if (all.size() >= 2 + outer && all.sliced(all.size() - outer).startsWith(lineEnd) &&
        blanks(all.sliced(all.size() - outer + 2))) {
        static const QString spaces(16, QLatin1Char(' '));
        const QString deep = inner > spaces.size() ? QString(inner, QLatin1Char(' ')) : QString();
        const QStringView prefix = deep.isEmpty() ? QStringView(spaces).first(inner) : QStringView(deep);
        if (auto exact = dropPrefix(all.sliced(2, all.size() - 2 - outer), prefix, true)) {
            return *exact;
        }
    }
    qsizetype first = 2;
    while (first < all.size() && isIndentation(all[first])) {
        ++first;
    }
    const QStringView indentation = all.sliced(2, first - 2);
    QStringView body = all.sliced(first);
    const qsizetype last = body.lastIndexOf(lineEnd);
    if (last >= 0 && std::all_of(body.begin() + last + 2, body.end(), isIndentation)) {
        body = body.first(last);
    }
    return indentation.isEmpty() ? body.toString() : *dropPrefix(body, indentation, false);
}

void readValue(std::string_view text, int level, std::string& value) {
    const size_t inner = 2 * static_cast<size_t>(level + 1);
    const size_t outer = 2 + 2 * static_cast<size_t>(level);
    const size_t n = text.size();
    const auto spaces = [text](size_t from, size_t count) {
        return text.substr(from, count).find_first_not_of(' ') == std::string_view::npos;
    };
    if (n >= 2 + inner + outer && text.starts_with("\r\n") && spaces(2, inner) && text.substr(n - outer, 2) == "\r\n" &&
        spaces(n - outer + 2, outer - 2)) {
        const std::string_view line = text.substr(2 + inner, n - 2 - inner - outer);
        if (std::none_of(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; })) {
            value.assign(line); // into the buffer value already has
            return;
        }
    }
    const QString read =
        readValue(QString::fromUtf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size()))), level);
    value = read.toStdString();
}

} // namespace quillbox::XmlLayout
