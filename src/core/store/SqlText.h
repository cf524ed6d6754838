#pragma once

#include "store/SiteRecord.h"

#include <QString>

namespace quillbox {

// Doubles every single quote, so the text can stand inside an SQL literal.
QString sqlQuote(const QString& text);
// Undoes sqlQuote() exactly (for a working record filled for writing). Values read from the
// table come back as they are stored: every path of the program stores exactly what was typed.
QString sqlUnquote(const QString& quoted);
// The record's 29 text fields through sqlQuote(), ready for the statement builders below.
SiteRecord quotedFields(const SiteRecord& record);

// A record number as a statement may hold it: a plain decimal integer and nothing else.
bool isRecordNumber(const QString& text);
// The number itself, or empty text (which matches no record) for anything that is not a plain
// integer: a number read from a foreign file never reaches a statement as SQL.
QString recordLiteral(const QString& recordNumber);

QString createTableStatement();
// Insert and update statements for a record whose 29 text fields are already quoted.
QString buildInsertStatement(const SiteRecord& record);
QString buildUpdateStatement(const SiteRecord& record, const QString& recordNumber);
// Record numbers sorted as numbers, those that are none left out: a statement on many records
// reads and writes the file in order when they come in the table's order.
QStringList inTableOrder(const QStringList& recordNumbers);
// One statement for many records; numbers that are not plain integers are left out.
QString deleteRecordsStatement(const QStringList& recordNumbers);
// Every column of one record.
QString recordStatement(const QString& recordNumber);

} // namespace quillbox
