#include "settings/IniDocument.h"

namespace quillbox {

namespace {
const QByteArray bom("\xEF\xBB\xBF");

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString skipLeadingBlanks(const QString& s) {
    int i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    return s.mid(i);
}

QString chopTrailingBlanks(const QString& s) {
    int n = static_cast<int>(s.size());
    while (n > 0 && isBlank(s[n - 1])) {
        --n;
    }
    return s.left(n);
}
} // namespace

IniDocument IniDocument::parse(const QByteArray& bytes) {
    IniDocument doc;
    QString text;
    bool hadBom = bytes.startsWith(bom);
    if (hadBom) {
        text = QString::fromUtf8(bytes.mid(bom.size()));
    } else {
        text = QString::fromLatin1(bytes);
    }
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast(); // the line break after the last line
    }
    bool first = true;
    for (QString raw : lines) {
        if (raw.endsWith(QLatin1Char('\r'))) {
            raw.chop(1);
        }
        // The empty line right after the byte-order mark is the file's header; serialize() writes it again.
        if (first && hadBom && raw.isEmpty()) {
            first = false;
            continue;
        }
        first = false;
        const QString line = skipLeadingBlanks(raw);
        if (line.startsWith(QLatin1Char(';'))) {
            doc.m_lines.push_back({Kind::Comment, line, {}});
        } else if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'), 1);
            doc.m_lines.push_back({Kind::Group, close < 0 ? line.mid(1) : line.mid(1, close - 1), {}});
        } else {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq < 0) {
                doc.m_lines.push_back({Kind::Other, raw, {}}); // blank or garbage: kept as it was
            } else {
                doc.m_lines.push_back(
                    {Kind::Entry, chopTrailingBlanks(line.left(eq)), skipLeadingBlanks(line.mid(eq + 1))});
            }
        }
    }
    return doc;
}

QByteArray IniDocument::serialize() const {
    QString text = QStringLiteral("\r\n");
    for (const Line& line : m_lines) {
        switch (line.kind) {
        case Kind::Other:
        case Kind::Comment:
            text += line.text;
            break;
        case Kind::Group:
            text += QLatin1Char('[') + line.text + QLatin1Char(']');
            break;
        case Kind::Entry:
            text += line.text + QStringLiteral(" = ") + line.value;
            break;
        }
        text += QStringLiteral("\r\n");
    }
    return bom + text.toUtf8();
}

int IniDocument::findGroup(const QString& group) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Group && m_lines[i].text == group) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IniDocument::findEntry(const QString& group, const QString& key) const {
    const int start = findGroup(group);
    if (start < 0) {
        return -1;
    }
    for (size_t i = static_cast<size_t>(start) + 1; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Group) {
            break;
        }
        if (m_lines[i].kind == Kind::Entry && m_lines[i].text.compare(key, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IniDocument::hasGroup(const QString& group) const {
    return findGroup(group) >= 0;
}

bool IniDocument::hasEntry(const QString& group, const QString& key) const {
    return findEntry(group, key) >= 0;
}

QString IniDocument::value(const QString& group, const QString& key) const {
    const int i = findEntry(group, key);
    return i < 0 ? QString() : m_lines[static_cast<size_t>(i)].value;
}

void IniDocument::setValue(const QString& group, const QString& key, const QString& rawValue) {
    // A value that could start a new line would become a line, or a group, of its own when the
    // file is read again: line breaks and other control characters are written as blanks.
    QString value = rawValue;
    for (QChar& c : value) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            c = QLatin1Char(' ');
        }
    }
    const int existing = findEntry(group, key);
    if (existing >= 0) {
        m_lines[static_cast<size_t>(existing)].text = key;
        m_lines[static_cast<size_t>(existing)].value = value;
        return;
    }
    int start = findGroup(group);
    if (start < 0) {
        addGroup(group);
        m_lines.push_back({Kind::Entry, key, value});
        return;
    }
    // After the last entry of the group, so comments heading the next group stay with it;
    // a group without entries gets it at its end.
    size_t end = static_cast<size_t>(start) + 1;
    size_t afterLastEntry = 0;
    for (; end < m_lines.size() && m_lines[end].kind != Kind::Group; ++end) {
        if (m_lines[end].kind == Kind::Entry) {
            afterLastEntry = end + 1;
        }
    }
    const size_t insertAt = afterLastEntry ? afterLastEntry : end;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), {Kind::Entry, key, value});
}

void IniDocument::addComment(const QString& text) {
    m_lines.push_back({Kind::Comment, QStringLiteral("; ") + text, {}});
}

void IniDocument::addGroup(const QString& group) {
    m_lines.push_back({Kind::Group, group, {}});
}

int settingsInt(const QString& text) {
    const QString s = skipLeadingBlanks(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    for (; i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (s[i].unicode() - '0');
        if (value > 0x7fffffffLL) {
            value = 0x7fffffffLL; // clamp instead of overflowing on a garbage value
        }
    }
    return static_cast<int>(negative ? -value : value);
}

} // namespace quillbox
