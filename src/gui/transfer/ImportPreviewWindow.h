#pragma once

class QWidget;

namespace quillbox {

class ImportPreview;

enum class PreviewAnswer { Cancel, Import, Columns };

// The modal window that shows an import file's records, refused lines and column mapping before
// anything is stored. columnsStep: it offers to go back and choose what the CSV file's columns hold.
PreviewAnswer showImportPreview(const ImportPreview& preview, bool columnsStep, QWidget* parent);

} // namespace quillbox
