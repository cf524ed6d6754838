#include "transfer/Bookmarks.h"

#include "transfer/ImportText.h"

#include <pcre2.h>

#include <vector>

namespace quillbox {

struct TagStripper::Impl {
    pcre2_code_16* code = nullptr;
    pcre2_match_data_16* match = nullptr;
};

TagStripper::TagStripper() : m_impl(new Impl) {
    static const char16_t pattern[] = u"\\<[^\\<]+\\>";
    int error = 0;
    PCRE2_SIZE offset = 0;
    // No UTF mode: the expression only looks at "<" and ">", so any run of UTF-16 code units,
    // broken surrogates included, is a valid subject.
    m_impl->code =
        pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(pattern), PCRE2_ZERO_TERMINATED, 0, &error, &offset, nullptr);
    if (m_impl->code) {
        m_impl->match = pcre2_match_data_create_from_pattern_16(m_impl->code, nullptr);
    }
}

TagStripper::~TagStripper() {
    pcre2_match_data_free_16(m_impl->match);
    pcre2_code_free_16(m_impl->code);
    delete m_impl;
}

QString TagStripper::strip(QStringView text) const {
    if (!m_impl->code || !m_impl->match || text.isEmpty()) {
        return text.toString();
    }
    const auto* subject = reinterpret_cast<PCRE2_SPTR16>(text.utf16());
    const auto length = static_cast<PCRE2_SIZE>(text.size());
    QString out;
    PCRE2_SIZE start = 0;
    while (start <= length) {
        const int rc = pcre2_match_16(m_impl->code, subject, length, start, 0, m_impl->match, nullptr);
        if (rc < 0) {
            break; // no further tag (or the matcher gave up): the rest stays
        }
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(m_impl->match);
        out += text.sliced(static_cast<qsizetype>(start), static_cast<qsizetype>(ovector[0] - start));
        start = ovector[1]; // a match is never empty, so this always moves on
    }
    if (start < length) {
        out += text.sliced(static_cast<qsizetype>(start));
    }
    return out;
}

namespace {

// The text between the first and the second double quote; to the line's end without a second.
QString quotedAddress(QStringView line) {
    const qsizetype first = line.indexOf(QLatin1Char('"'));
    if (first < 0) {
        return QString();
    }
    const qsizetype second = line.indexOf(QLatin1Char('"'), first + 1);
    return (second < 0 ? line.sliced(first + 1) : line.sliced(first + 1, second - first - 1)).toString();
}

} // namespace

namespace {

// Where a description ends on its line: at the next bookmark, list, description or end tag.
qsizetype descriptionEnd(QStringView line, qsizetype from) {
    qsizetype end = line.size();
    for (const QLatin1String tag :
         {QLatin1String("<DT"), QLatin1String("<DL"), QLatin1String("<DD"), QLatin1String("</")}) {
        const qsizetype at = line.indexOf(tag, from, Qt::CaseInsensitive);
        if (at >= 0 && at < end) {
            end = at;
        }
    }
    return end;
}

} // namespace

void readBookmarks(LineSource& lines, const QString& owner, const std::function<void(const BookmarkEntry&)>& found) {
    const TagStripper tags;
    QString line;
    QString end;
    // The last bookmark, while a description may follow (a flag, not an optional: GCC's -O3 sees an
    // optional's text as maybe uninitialised here).
    BookmarkEntry pending;
    bool hasPending = false;
    qsizetype bookmarkLine = -1;
    bool describing = false; // the pending bookmark's description goes on over the next lines
    const auto finish = [&] {
        if (hasPending) {
            // Lines of nothing but markup after the text are no part of it.
            while (pending.description.endsWith(QLatin1String("\r\n"))) {
                pending.description.chop(2);
            }
            found(pending);
            hasPending = false;
        }
        describing = false;
    };
    while (lines.next(line, end)) {
        const qsizetype number = lines.lineNumber();
        if (describing) {
            const qsizetype stop = descriptionEnd(line, 0);
            pending.description += QLatin1String("\r\n") + cleanImportText(tags.strip(QStringView(line).first(stop)));
            if (stop == line.size()) {
                continue;
            }
            finish();
        }
        if (hasPending && number == bookmarkLine + 1) {
            const qsizetype dd = line.indexOf(QLatin1String("<DD>"), 0, Qt::CaseInsensitive);
            if (dd >= 0) {
                const qsizetype stop = descriptionEnd(line, dd + 4);
                pending.description = cleanImportText(tags.strip(QStringView(line).first(stop)));
                if (stop == line.size()) {
                    describing = true;
                    continue;
                }
            }
        }
        if (hasPending && number > bookmarkLine) {
            finish();
        }
        if (line.contains(QLatin1String("<DT>"), Qt::CaseInsensitive) &&
            line.contains(QLatin1String("A HREF"), Qt::CaseInsensitive)) {
            bookmarkLine = number;
            QString title = cleanImportText(tags.strip(line));
            if (title.endsWith(QLatin1String(".url"), Qt::CaseInsensitive)) {
                title.chop(4);
            }
            pending = BookmarkEntry{decodeEntities(quotedAddress(line)), title, QString(), bookmarkCategory, owner};
            hasPending = true;
        }
    }
    finish();
}

QList<BookmarkEntry> readBookmarks(QStringView text, const QString& owner) {
    QList<BookmarkEntry> entries;
    StringLines lines(text);
    readBookmarks(lines, owner, [&](const BookmarkEntry& entry) { entries.append(entry); });
    return entries;
}

void readBookmarkRecords(LineSource& lines, const QString& owner, ImportSink& sink) {
    readBookmarks(lines, owner, [&](const BookmarkEntry& entry) { sink.record(bookmarkRecord(entry)); });
}

SiteRecord bookmarkRecord(const BookmarkEntry& entry) {
    SiteRecord record;
    record[Col::SiteNameLabel] = QStringLiteral("Site Title");
    record[Col::SiteName] = entry.title;
    record[Col::UserNameLabel] = QStringLiteral("Site Address");
    record[Col::UserName] = entry.address;
    record[Col::Category] = entry.category;
    record[Col::Owner] = entry.owner;
    record[Col::Notes] = entry.description;
    return record;
}

QString ownerFromHomeFolder(const QString& path) {
    QString unified = path;
    unified.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = unified.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? QString() : parts.last();
}

} // namespace quillbox
