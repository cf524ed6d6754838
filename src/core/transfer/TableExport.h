#pragma once

#include "store/Database.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

namespace quillbox {

enum class ExportFormat { Text, Csv, Xml };

// What an export would not bring back exactly: how many records, and which of their fields.
struct ExportLoss {
    int records = 0;
    QStringList fields; // column names, in table order
};

struct ExportResult {
    QString path;         // the file name after the extension rule
    int count = 0;        // records written
    bool written = false; // a file was put in place (an empty table gives no XML file)
    QString error;        // the message to show; empty on success
    ExportLoss loss;      // what the file cannot carry exactly (see fieldsNotKept())
    QString lastSiteName; // the last record's, as ExportStep::heldSiteName() gives it
};

// One record written: the number of records so far, and the record's site name in the form the
// line holds it (the CSV form is quoted and followed by its comma), made only when asked for.
class ExportStep {
public:
    ExportStep(QByteArrayView siteName, bool csv, int count) : m_siteName(siteName), m_csv(csv), m_count(count) {}
    int count() const { return m_count; }
    QString heldSiteName() const;

private:
    QByteArrayView m_siteName; // UTF-8, valid during the call
    bool m_csv;
    int m_count;
};

// Called once per record.
using ExportProgress = std::function<void(const ExportStep& step)>;

// Asked once every record is in the file and before it is put in place, with what the file
// cannot carry exactly; false leaves it out (no error), and any file of that name as it was.
using ExportGoAhead = std::function<bool(const ExportLoss& loss)>;

// Appends "." + extension unless the path's extension, in any case, already is that.
QString withExtension(const QString& path, const QString& extension);

// The format a typed name asks for: its extension when it is one of the three ("typed.csv" is CSV
// whatever pattern the requester showed), else the chosen one.
ExportFormat exportFormatFor(const QString& path, ExportFormat chosen);

// Writes the whole table to the file. The file appears only when complete: after a failure an
// existing file of that name is left as it was and no partial file remains.
ExportResult exportTable(const Database& db, ExportFormat format, const QString& chosenPath,
                         const ExportProgress& progress = {}, const ExportGoAhead& goAhead = {});

} // namespace quillbox
