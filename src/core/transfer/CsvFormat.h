#pragma once

#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"

#include <QString>
#include <QStringView>

namespace quillbox {

// A value in double quotes, a double quote inside it doubled.
QString csvField(const QString& value);

// One CSV record without its line end: the 29 text fields, each quoted, separated by commas.
// Line breaks inside a value stay, so the record may span several lines of the file.
QString csvLine(const SiteRecord& record);

// Reads a whole CSV file's content. Quoted fields may hold commas, doubled quotes and line
// breaks; a quote that is never closed ends its field at the end of its line instead of
// swallowing the rest of the file.
void readCsvRecords(QStringView text, ImportSink& sink);

} // namespace quillbox
