#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quillbox {

// One row of the record list as the print command sees it: its record number and whether it is selected.
struct PrintRow {
    QString record;
    bool selected = false;
};

// A message for the status line, kind as showStatus takes it (1 information, 2 error).
struct StatusMessage {
    int kind = 1;
    QString text;

    bool operator==(const StatusMessage&) const = default;
};

struct PrintDocument {
    QByteArray bytes;              // UTF-8 without byte-order mark, CR LF after every line
    int printed = -1;              // records printed; -1 when the list was empty and the count stays untouched
    QList<StatusMessage> messages; // in the order the status line shows them
};

// Makes text safe to stand in the document as text: &, <, > and " become entities.
QString htmlEscape(const QString& text);
// Escapes the text and puts the line-break hint "<wbr>" after every "/", ".", "?", "&", "=" and ":"
// the reader sees, so long addresses wrap inside their column. Line breaks become CR LF.
QString withLineBreakHints(const QString& text);

// Writes the document line by line; every line ends in CR LF.
class PrintDocumentWriter {
public:
    void header();
    void tableStart();
    // The label/value rows of one record, its values as stored.
    void recordRows(const SiteRecord& record);
    // The closing row block and the table end block that end every printed record.
    void tableClose();
    void footer();

    QByteArray bytes() const { return m_text.toUtf8(); }

private:
    void line(const QString& text);
    void row(const QString& label, const QString& content);

    QString m_text;
};

// The print document of the selected rows, with the messages its making gives for the status line.
PrintDocument buildPrintDocument(const Database& db, const QList<PrintRow>& rows);

// Replaces fileName with bytes, the file private to the user (it holds passwords).
Result writePrintFile(const QString& fileName, const QByteArray& bytes);

} // namespace quillbox
