#pragma once

class QWidget;

namespace quillbox {

class ImportPreview;

// The modal window that shows an import file's records, refused lines and column mapping before
// anything is stored. True when the user presses Import.
bool showImportPreview(const ImportPreview& preview, QWidget* parent);

} // namespace quillbox
