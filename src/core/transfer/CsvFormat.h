#pragma once

#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"
#include "transfer/ImportText.h"

#include <QList>
#include <QStringList>

#include <QString>
#include <QStringView>

namespace quillbox {

// A value in double quotes, a double quote inside it doubled.
QString csvField(const QString& value);

// One CSV record without its line end: the 29 text fields, each quoted, separated by commas.
// Line breaks inside a value stay, so the record may span several lines of the file.
QString csvLine(const SiteRecord& record);

// Reads a CSV file. A first line that names its columns (the program's own column names, or
// the layouts browsers and other password keepers export, separated by commas, semicolons or
// tabs) is read as a header, and each record is placed by those names; see mapCsvHeader. Without
// one, the 29 fields stand in the program's column order, separated by what the first line uses
// most of the three. Quoted fields may hold separators, doubled
// quotes and line breaks; a quote inside a quoted value that is followed by neither a separator,
// a line end nor a second quote is the value's own, as older files wrote it undoubled.
// owner: who records from another program's layout belong to.
void readCsvRecords(LineSource& lines, ImportSink& sink, const QString& owner = QString());
void readCsvRecords(QStringView text, ImportSink& sink, const QString& owner = QString());

// How a header line's columns are placed: a column number per header, or -1 for a column that
// goes into the next free field under its own name. Empty when the line names no layout known.
struct CsvLayout {
    QStringList headers;
    QList<int> columns;
    bool own = false; // the program's own column names
};
CsvLayout mapCsvHeader(const QStringList& headers);
// A row of a file with a header, placed as the layout says.
SiteRecord csvLayoutRecord(const CsvLayout& layout, const QStringList& fields, const QString& owner);

inline const QString importedCategory = QStringLiteral("Imported");
// A quote still open at the end of the file refuses the whole file (LineSource::failure()).
QString unclosedQuoteAtEndMessage(qsizetype line);

} // namespace quillbox
