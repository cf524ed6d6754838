#pragma once

#include "store/Database.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace quillbox {

// One change of this session that Undo takes back. Every change it takes back is itself kept:
// a delete is undone from the bin, an import or a new record goes to the bin, an edit is undone
// by saving the version it replaced (which keeps the edit as a version in turn).
struct UndoStep {
    enum Kind { Delete, Import, Add, Edit };
    Kind kind = Delete;
    QList<qint64> binEntries; // Delete: the bin entries it made
    QStringList records;      // Import, Add: the records it made; Edit: the record saved
    QList<qint64> numbers;    // Import: the records it made, as numbers (a million take 8 MB, not 70)
    qint64 version = 0;       // Edit: the history entry holding the record as it was before
    QString siteName;         // Add, Edit: the record's site name, for the menu

    // "Undo delete of 3 records", "Undo import of 50 records", "Undo save of Bank".
    QString menuText() const;
};

struct UndoResult {
    QString error;   // why it could not be undone (nothing was changed); empty when done
    QString message; // what was done, for the status line
};

// Takes the step back, in one transaction. keep: how many versions a record keeps.
UndoResult undo(Database& db, const UndoStep& step, const QDateTime& now, int keep);

} // namespace quillbox
