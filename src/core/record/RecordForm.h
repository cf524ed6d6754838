#pragma once

#include "store/SiteRecord.h"

#include <QString>
#include <QStringList>

namespace quillbox {

// The captions a new record's four first labels start with; the free-field labels start empty.
const QStringList& defaultLabels();

// The value list offered by the data form box of a value column (site name, user name, password,
// home page, free fields, category, owner), and the list offered by the label editor over a label
// column. Empty text for any other column.
QString valueListStatement(int column);
QString labelListStatement(int labelColumn);

// A record as the form hands it over (texts as typed) made ready for the insert and update
// statements: every text quoted, the notes' line breaks made CR LF. The record number stays empty.
SiteRecord recordForSaving(const SiteRecord& typed);

// The values to store after an edit, not yet quoted: each value the user changed in the form as
// typed (the notes with CR LF line breaks), each one the user did not touch exactly as `stored`
// holds it (a box may not hold all of a long value, nor the notes their line breaks as stored).
SiteRecord editedValues(const SiteRecord& typed, const SiteRecord& asOpened, const SiteRecord& stored);

// What a kept version held where it differs from the record after it: "Password: ****, Notes:
// first line ...", each field under the record's own label; user name, password and home page
// masked unless private data is shown.
QString versionChanges(const SiteRecord& version, const SiteRecord& after, bool showPrivate);
// The labels of the fields in which two records differ, as versionChanges() names them.
QStringList changedFieldLabels(const SiteRecord& a, const SiteRecord& b);

// Notes are stored with CR LF line breaks whatever the editor uses; the editor gets plain LF.
QString notesForStore(const QString& editorText);
QString notesForEditor(const QString& storedText);
// Every line break (CR LF, a lone CR or a lone LF) as CR LF.
QString crLfLineBreaks(const QString& text);

// The checks a record must pass before it is written, in the order they are made.
struct SaveCheck {
    bool ok = true;
    QString title; // message box title and text when a check failed
    QString text;
};
SaveCheck checkRecordForSave(const SiteRecord& record);

// The letter just typed, before the caret, upper-cased when it begins a word (it is the first
// character or follows a blank). Nothing else changes, so what the user did not type stays as
// it is ("eBay" stays "eBay"), and the length never changes.
QString capitaliseTypedLetter(const QString& text, qsizetype caret);

} // namespace quillbox
