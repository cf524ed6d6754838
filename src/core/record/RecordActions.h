#pragma once

#include "store/SiteRecord.h"

#include <QString>

namespace quillbox {

// A label followed by ": " and enough blanks that a label of up to 23 characters puts its value
// at column 27.
QString paddedLabel(const QString& label);

// One record as the clipboard copy writes it, from a record whose texts are as stored: its
// label/value pairs (those with both parts non-empty), category, owner, notes when there are any,
// and a closing line of dashes. Every line ends in CR LF.
QString recordClipboardText(const SiteRecord& record);

// "(3) Have been copied To the program clipboard."
QString copiedMessage(int count);

// The two parts of a log-in the copy commands take: the value columns that the list shows under
// "User name" and "Password" (and masks), whatever a record renamed their labels to. A record's
// own label names the value in the messages; an empty label falls back to the list's title.
QString loginFieldLabel(const SiteRecord& record, int valueColumn);
// "User name of Bank copied to the clipboard, cleared in 30 seconds." (no clearing: 0 seconds).
QString loginCopiedMessage(const QString& label, const QString& siteName, int clearSeconds);

QString homePageStatement(const QString& recordNumber);

// The address handed to the browser for a stored home page: the text from its first "http://" or
// "https://" on (either written in any case). Empty text when there is no such scheme, so that
// nothing else (a file, another scheme, a bare host name) is ever opened.
QString homePageAddress(const QString& homePage);

} // namespace quillbox
