#include "store/UndoStep.h"

#include "store/RecordHistory.h"
#include "store/SqlText.h"
#include "text/ProgramText.h"

namespace quillbox {

namespace {
QString recordsText(qsizetype count) {
    return recordCountText(QString::number(count)).toLower();
}
} // namespace

QString UndoStep::menuText() const {
    switch (kind) {
    case Delete:
        return QStringLiteral("Undo delete of %1").arg(recordsText(binEntries.size()));
    case Import:
        return QStringLiteral("Undo import of %1").arg(recordsText(records.size() + numbers.size()));
    case Add:
    case Edit:
        return QStringLiteral("Undo save of %1").arg(siteName.isEmpty() ? QStringLiteral("a record") : siteName);
    }
    return QString();
}

UndoResult undo(Database& db, const UndoStep& step, const QDateTime& now, int keep) {
    UndoResult result;
    switch (step.kind) {
    case UndoStep::Delete: {
        QList<Restored> restored;
        result.error = restoreFromBin(db, step.binEntries, &restored).error();
        if (result.error.isEmpty() && restored.isEmpty()) {
            result.error = QStringLiteral("the records are no longer in the recycle bin");
        }
        if (result.error.isEmpty()) {
            qsizetype renumbered = 0;
            for (const Restored& r : restored) {
                renumbered += r.to != r.from;
            }
            result.message = QStringLiteral("Delete undone: %1 back").arg(recordsText(restored.size()));
            result.message +=
                renumbered > 0 ? QStringLiteral(", %1 under new numbers.").arg(renumbered) : QStringLiteral(".");
        }
        break;
    }
    case UndoStep::Import:
    case UndoStep::Add: {
        QStringList records = step.records;
        records.reserve(records.size() + step.numbers.size());
        for (const qint64 number : step.numbers) {
            records.append(QString::number(number));
        }
        result.error = moveToBin(db, records, now).error();
        if (result.error.isEmpty()) {
            result.message =
                step.kind == UndoStep::Import
                    ? QStringLiteral("Import undone: its %1 went to the recycle bin.").arg(recordsText(records.size()))
                    : QStringLiteral("The new record went to the recycle bin.");
        }
        break;
    }
    case UndoStep::Edit: {
        const std::optional<HistoryEntry> version = historyEntry(db, step.version);
        if (!version) {
            result.error = QStringLiteral("the version before the save is no longer kept");
            break;
        }
        bool notFound = false;
        result.error =
            saveWithHistory(db, quotedFields(version->values), step.records.value(0), now, keep, nullptr, &notFound)
                .error();
        if (result.error.isEmpty() && notFound) {
            result.error = QStringLiteral("the record is no longer in the list");
        }
        if (result.error.isEmpty()) {
            result.message = QStringLiteral("Save undone: %1 is as it was before.")
                                 .arg(step.siteName.isEmpty() ? QStringLiteral("the record") : step.siteName);
        }
        break;
    }
    }
    return result;
}

} // namespace quillbox
