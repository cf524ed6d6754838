#pragma once

#include "store/SiteRecord.h"
#include "transfer/TableExport.h"

#include <QString>
#include <QStringList>

namespace quillbox {

// The fields of one record that the format would change on the way out and back in. The text
// format cannot carry "|" in a value, a line break outside the notes, nor a "~" or lone line
// break in the notes; XML 1.0 cannot carry control characters other than tab and line breaks.
// CSV keeps everything. The export finds the same as it writes (ExportResult::loss).
QList<int> fieldsNotKept(const SiteRecord& record, ExportFormat format);

// The warning shown before such an export is put in place; empty when nothing is lost.
QString exportLossMessage(const ExportLoss& loss, ExportFormat format);

} // namespace quillbox
