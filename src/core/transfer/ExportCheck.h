#pragma once

#include "store/Database.h"
#include "store/SiteRecord.h"
#include "transfer/TableExport.h"

#include <QString>
#include <QStringList>

namespace quillbox {

// What an export would not bring back exactly: how many records, and which of their fields.
struct ExportLoss {
    int records = 0;
    QStringList fields; // column names, in table order
};

// The fields of one record that the format would change on the way out and back in. The text
// format cannot carry "|" in a value, a line break outside the notes, nor a "~" or lone line
// break in the notes; XML 1.0 cannot carry control characters other than tab and line breaks.
// CSV keeps everything.
QList<int> fieldsNotKept(const SiteRecord& record, ExportFormat format);

ExportLoss exportLoss(const Database& db, ExportFormat format);

// The warning shown before such an export is written; empty when nothing is lost.
QString exportLossMessage(const ExportLoss& loss, ExportFormat format);

} // namespace quillbox
