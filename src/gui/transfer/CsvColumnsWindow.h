#pragma once

class QIODevice;
class QWidget;

namespace quillbox {

struct ImportOptions;

// The step before the preview of a CSV file whose columns are no layout the program knows, or
// whose columns the user wants to place otherwise: a table of the file's first rows with a
// drop-down over each column (the field it fills), whether the first line names the columns, the
// separator and the encoding. It starts from options and, when the user chooses to read the file
// so, leaves the choice there and returns true. The file (a regular one) is read from its start
// and put back there.
bool chooseCsvColumns(QIODevice& file, ImportOptions& options, QWidget* parent);

} // namespace quillbox
