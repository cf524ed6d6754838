#pragma once

#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"
#include "transfer/ImportText.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

namespace quillbox {

struct BookmarkEntry {
    QString address;
    QString title;
    QString description;
    QString category;
    QString owner;
};

inline const QString bookmarkCategory = QStringLiteral("InterNet BookMark");

// The bookmarks of a browser's exported bookmark file, in file order, each handed over once its
// description is known. A bookmark is a line with "<DT>" and "A HREF"; a "<DD>" line directly
// below it begins its description, which goes on to the next DT, DL, DD or end tag, its lines
// joined by CR LF. Tags are matched in any letter case; character references in
// addresses, titles and descriptions are decoded.
void readBookmarks(LineSource& lines, const QString& owner, const std::function<void(const BookmarkEntry&)>& found);
QList<BookmarkEntry> readBookmarks(QStringView text, const QString& owner);
// The same, each bookmark given to the sink as its record.
void readBookmarkRecords(LineSource& lines, const QString& owner, ImportSink& sink);

// The record a bookmark becomes: title and address in the first two label/value pairs.
SiteRecord bookmarkRecord(const BookmarkEntry& entry);

// Every tag ("<", characters other than "<", ">") taken out of a text.
class TagStripper {
public:
    TagStripper();
    ~TagStripper();
    TagStripper(const TagStripper&) = delete;
    TagStripper& operator=(const TagStripper&) = delete;
    QString strip(QStringView text) const;

private:
    struct Impl;
    Impl* m_impl;
};

// The user's name for bookmark records: the last part of the home folder's path.
QString ownerFromHomeFolder(const QString& path);

} // namespace quillbox
