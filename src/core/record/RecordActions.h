#pragma once

#include "store/SiteRecord.h"

#include <QString>

namespace quillbox {

// A label followed by ": " and enough blanks that a label of up to 23 characters puts its value
// at column 27.
QString paddedLabel(const QString& label);

// One record as the clipboard copy writes it, from a record whose texts are read back: its
// label/value pairs (those with both parts non-empty), category, owner, notes when there are any,
// and a closing line of dashes. Every line ends in CR LF.
QString recordClipboardText(const SiteRecord& record);

// "(3) Have been copied To the program clipboard."
QString copiedMessage(int count);

QString homePageStatement(const QString& recordNumber);

// The address handed to the browser for a stored home page: the text from its first "http://" or
// "https://" on (either written in any case). Empty text when there is no such scheme, so that
// nothing else (a file, another scheme, a bare host name) is ever opened.
QString homePageAddress(const QString& homePage);

} // namespace quillbox
