#pragma once

#include "store/SiteRecord.h"
#include "transfer/ImportSink.h"
#include "transfer/ImportText.h"

#include <QString>
#include <QStringView>

namespace quillbox {

// One line of the bar-separated text format, without its line end: the 29 text fields joined by
// "|", then one more "|" and an empty 30th field. Line breaks never leave the line: in notes they
// become "~", in any other field a blank.
QString textLine(const SiteRecord& record);

// Reads a text file's lines, one record per line.
void readTextRecords(LineSource& lines, ImportSink& sink);
void readTextRecords(QStringView text, ImportSink& sink);

} // namespace quillbox
