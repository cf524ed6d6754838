#pragma once

#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"
#include "transfer/ImportText.h"

#include <QList>
#include <QStringList>

#include <QString>
#include <QStringView>

#include <optional>

namespace quillbox {

// A value in double quotes, a double quote inside it doubled.
QString csvField(const QString& value);

// One CSV record without its line end: the 29 text fields, each quoted, separated by commas.
// Line breaks inside a value stay, so the record may span several lines of the file.
QString csvLine(const SiteRecord& record);

// How a CSV file's columns are placed into records: what its first line is, its separator, and
// for each column the field it fills.
struct CsvLayout {
    static constexpr int NextFree = -1; // the next free Misc field, under the column's header
    static constexpr int Ignored = -2;  // left out
    QStringList headers;                // the first line's names; empty without a header
    QList<int> columns;                 // per column: a field number, NextFree or Ignored
    QChar delimiter = QLatin1Char(',');
    bool header = true;      // the first line names the columns: it is no record
    bool own = false;        // the program's own column names
    bool positional = false; // no header, the program's own 29 columns in order
    int pairsFrom = -1;      // from this column on, label and value pairs (a lone last one: notes)
    QString kind;            // what the layout was taken for, said to the user

    bool isValid() const { return positional || !columns.isEmpty(); }
    // The field a column fills: those beyond the list go to the next free Misc field.
    int target(qsizetype column) const { return column < columns.size() ? columns[column] : NextFree; }
};

// Reads a CSV file as layout places its columns. Without one (or an invalid one) the file says
// how: a first line that names its columns (the program's own column names, or the layouts
// browsers and other password keepers export, separated by commas, semicolons or tabs) is a
// header, and each record is placed by those names (see mapCsvHeader); a first record of the
// program's 29 or 30 fields is its own layout, separated by what the first line uses most of the
// three; a first record of another known headerless layout is read as that (guessCsvLayout). Any
// other file is refused whole: its columns have to be named (csvUnknownLayoutMessage).
// Quoted fields may hold separators, doubled quotes and line breaks; a quote inside a quoted
// value that is followed by neither a separator, a line end nor a second quote is the value's
// own, as older files wrote it undoubled.
// owner: who records from another program's layout belong to.
// choice: without a layout, what the user said of the file before it was read (a command line's
// --map, --no-header and --separator), applied to the layout the file shows.
struct CsvChoice {
    QChar delimiter;            // null: the file's own
    std::optional<bool> header; // whether the first line names the columns; unset: as the file shows
    QString mapping;            // as applyCsvMapping() takes it
    bool isSet() const { return !delimiter.isNull() || header || !mapping.isEmpty(); }
};
void readCsvRecords(LineSource& lines, ImportSink& sink, const QString& owner = QString(),
                    const CsvLayout& layout = CsvLayout(), const CsvChoice& choice = CsvChoice());
void readCsvRecords(QStringView text, ImportSink& sink, const QString& owner = QString(),
                    const CsvLayout& layout = CsvLayout(), const CsvChoice& choice = CsvChoice());

// How a header line's columns are placed: a column number per header, or NextFree for a column
// that goes into the next free field under its own name. Invalid when the line names no layout known.
CsvLayout mapCsvHeader(const QStringList& headers);
// The layout of a file without a header, told by its first record's fields: the program's own
// (29 or 30 fields), folder, title, login, password, address, notes and label/value pairs, or a
// title followed by label/value pairs. Invalid when it is none of them.
CsvLayout guessCsvLayout(const QStringList& firstRecord);
// The program's own 29 columns in order, as read without a header.
CsvLayout positionalCsvLayout(QChar delimiter);
// A row placed as the layout says.
SiteRecord csvLayoutRecord(const CsvLayout& layout, const QStringList& fields, const QString& owner);
// What the preview and the command line say of a layout, one text per column.
QStringList describeCsvLayout(const CsvLayout& layout);

// What a file's first records look like, for the user to say what each column holds: the first
// line tried as a header, else the layout guessed, and the rows as they split (the header's among
// them). delimiter: null to take the file's own.
struct CsvSample {
    CsvLayout layout; // invalid when neither header nor guess tells
    QList<QStringList> rows;
    qsizetype columnCount = 0; // of the widest row
};
CsvSample sampleCsv(LineSource& lines, QChar delimiter, int maxRows);
// Where the user's choice of columns starts: the layout the file showed, else every column to the
// next free Misc field under its header. header: whether the first line names the columns, when
// the user has said so.
CsvLayout startingCsvLayout(const CsvSample& sample, std::optional<bool> header = std::nullopt);

// The fields a column can be given, as the command line and the saved choices name them: the
// program's column names of the site name, user name, password, home page, Misc 1 to 9 (their
// values, under the column's header), category, owner and notes, then "next" and "ignore".
const QStringList& csvTargetNames();
QString csvTargetName(int target);
int csvTargetFromName(const QString& name); // Ignored - 1 when unknown

// Applies a command line's column choices, "name=sitename,3=password,extra=notes": each
// column by its header (without regard to case) or by its number from 1; columns not named keep
// what the layout gave them, or go to the next free Misc field. Returns why it cannot, or nothing.
QString applyCsvMapping(CsvLayout& layout, const QString& mapping, qsizetype columnCount);
// The choices of a layout, kept for the next file of the same header, and read back.
QString csvLayoutText(const CsvLayout& layout, const QString& encoding);
bool csvLayoutFromText(const QString& text, CsvLayout& layout, QString& encoding);
// Names the header line (its bytes as the file holds them) under which a layout is kept.
QString csvHeaderKey(QByteArrayView headerLine);

QString csvUnknownLayoutMessage(qsizetype fields);
bool isCsvUnknownLayoutMessage(const QString& message);

inline const QString importedCategory = QStringLiteral("Imported");
// A quote still open at the end of the file refuses the whole file (LineSource::failure()).
QString unclosedQuoteAtEndMessage(qsizetype line);

} // namespace quillbox
