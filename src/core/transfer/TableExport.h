#pragma once

#include "store/Database.h"

#include <QString>

#include <functional>

namespace quillbox {

enum class ExportFormat { Text, Csv, Xml };

struct ExportResult {
    QString path;         // the file name after the extension rule
    int count = 0;        // records written
    bool written = false; // a file was put in place (an empty table gives no XML file)
    QString error;        // the message to show; empty on success
};

// Called once per record with the site name in the form the line holds it (the CSV form is
// quoted and followed by its comma) and the number of records so far.
using ExportProgress = std::function<void(const QString& heldSiteName, int count)>;

// Appends "." + extension unless the path's extension, in any case, already is that.
QString withExtension(const QString& path, const QString& extension);

// The format a typed name asks for: its extension when it is one of the three ("typed.csv" is CSV
// whatever pattern the requester showed), else the chosen one.
ExportFormat exportFormatFor(const QString& path, ExportFormat chosen);

// Writes the whole table to the file. The file appears only when complete: after a failure an
// existing file of that name is left as it was and no partial file remains.
ExportResult exportTable(const Database& db, ExportFormat format, const QString& chosenPath,
                         const ExportProgress& progress = {});

} // namespace quillbox
