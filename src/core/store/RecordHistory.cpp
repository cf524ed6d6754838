#include "store/RecordHistory.h"

#include "store/SiteStore.h"
#include "store/SqlText.h"

#include <QSet>

#include <algorithm>

namespace quillbox {

namespace {

// Statements name a few hundred records at a time: enough to spend little on compiling them.
constexpr qsizetype chunk = 500;

const QString& textColumns() {
    static const QString list = columnNames().mid(0, Col::TextColumns).join(QStringLiteral(", "));
    return list;
}

// The entry's own columns, then the 29 values.
const QString& entryColumns() {
    static const QString list = QStringLiteral("entry, record, changed, event, ") + textColumns();
    return list;
}

QString numberList(const QStringList& numbers) {
    QStringList kept;
    for (const QString& n : numbers) {
        if (isRecordNumber(n)) {
            kept.append(n);
        }
    }
    return kept.join(QLatin1Char(','));
}

QString entryList(const QList<qint64>& entries, qsizetype from, qsizetype count) {
    QString list;
    for (qsizetype i = from; i < std::min(from + count, entries.size()); ++i) {
        if (!list.isEmpty()) {
            list += QLatin1Char(',');
        }
        list += QString::number(entries[i]);
    }
    return list;
}

QString timeLiteral(const QDateTime& when) {
    return QLatin1Char('\'') + when.toUTC().toString(Qt::ISODateWithMs) + QLatin1Char('\'');
}

HistoryEntry readEntry(const Query& query) {
    HistoryEntry e;
    e.entry = query.text(0).toLongLong();
    e.record = query.text(1);
    e.when = QDateTime::fromString(query.text(2), Qt::ISODateWithMs);
    e.event = query.text(3);
    for (int k = 0; k < Col::TextColumns; ++k) {
        e.values[k] = query.text(4 + k);
    }
    e.values[Col::Record] = e.record;
    return e;
}

std::optional<QList<HistoryEntry>> readEntries(const Database& db, const QString& where, QString* error) {
    QList<HistoryEntry> entries;
    if (!historyTableExists(db)) {
        return entries; // a file from before the bin: nothing in it yet
    }
    Query query(db, QStringLiteral("SELECT ") + entryColumns() + QStringLiteral(" FROM quillbox_history WHERE ") +
                        where + QStringLiteral(" ORDER BY entry DESC"));
    while (query.next()) {
        entries.append(readEntry(query));
    }
    if (query.failed()) {
        if (error) {
            *error = db.errorText();
        }
        return std::nullopt;
    }
    return entries;
}

// The reason for a failure inside a transaction; the transaction rolls back as it goes.
Result refused(const Database& db) {
    const QString reason = Transaction::describe(db);
    return Result::failure(reason.isEmpty() ? QStringLiteral("the database refused the change") : reason);
}

} // namespace

bool historyTableExists(const Database& db) {
    return scalarQuery(db, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type='table' AND "
                                          "name='quillbox_history'")) == QLatin1String("1");
}

Result ensureHistoryTable(Database& db) {
    // Values as TEXT, exactly as in quillbox; the index serves a record's history, and leaves the
    // bin's rows out so that a large delete does not pay for it.
    if (!db.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS quillbox_history(entry INTEGER PRIMARY KEY "
                                   "AUTOINCREMENT, record INTEGER NOT NULL, changed TEXT NOT NULL, event TEXT NOT "
                                   "NULL, ") +
                    columnNames().mid(0, Col::TextColumns).join(QStringLiteral(" TEXT, ")) +
                    QStringLiteral(" TEXT)")) ||
        !db.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS quillbox_history_versions ON quillbox_history(record) "
                                   "WHERE event='version'"))) {
        return refused(db);
    }
    return {};
}

Result moveToBin(Database& db, const QStringList& recordNumbers, const QDateTime& when, QList<qint64>* entries,
                 const std::function<void(qsizetype moved)>& progress) {
    Transaction transaction(db);
    if (!transaction.begin()) {
        return Result::failure(transaction.errorText());
    }
    if (Result made = ensureHistoryTable(db); !made) {
        return made;
    }
    // In the table's order: each statement's rows lie together in the file, whatever order the
    // list showed them in.
    const QStringList numbers = inTableOrder(recordNumbers);
    const QString head = QStringLiteral("INSERT INTO quillbox_history(record, changed, event, ") + textColumns() +
                         QStringLiteral(") SELECT record, ") + timeLiteral(when) + QStringLiteral(", 'deleted', ") +
                         textColumns() + QStringLiteral(" FROM quillbox WHERE record IN (");
    QList<qint64> made;
    for (qsizetype i = 0; i < numbers.size(); i += chunk) {
        const QString list = numberList(numbers.mid(i, chunk));
        if (list.isEmpty()) {
            continue;
        }
        if (!db.execute(head + list + QStringLiteral(") ORDER BY record"))) {
            return refused(db);
        }
        // One statement's rows get consecutive entry numbers, the last of them known.
        const qint64 count = changedRowCount(db);
        const qint64 last = lastInsertedRecord(db).toLongLong();
        for (qint64 e = last - count + 1; e <= last; ++e) {
            made.append(e);
        }
        if (!db.execute(QStringLiteral("DELETE FROM quillbox WHERE record IN (") + list + QLatin1Char(')'))) {
            return refused(db);
        }
        if (progress) {
            progress(std::min(i + chunk, numbers.size()));
        }
    }
    if (!transaction.commit()) {
        return Result::failure(transaction.errorText());
    }
    if (entries) {
        *entries = made;
    }
    return {};
}

std::optional<QList<HistoryEntry>> binEntries(const Database& db, QString* error) {
    return readEntries(db, QStringLiteral("event='deleted'"), error);
}

QList<qint64> binEntriesOfRecords(const Database& db, const QStringList& recordNumbers) {
    QList<qint64> entries;
    if (!historyTableExists(db)) {
        return entries;
    }
    for (qsizetype i = 0; i < recordNumbers.size(); i += chunk) {
        const QString list = numberList(recordNumbers.mid(i, chunk));
        if (list.isEmpty()) {
            continue;
        }
        Query query(db, QStringLiteral("SELECT max(entry) FROM quillbox_history WHERE event='deleted' AND record "
                                       "IN (") +
                            list + QStringLiteral(") GROUP BY record"));
        while (query.next()) {
            entries.append(query.text(0).toLongLong());
        }
    }
    return entries;
}

namespace {
// Conditions on entry that together pick exactly these entries: a long run of consecutive ones
// (the entries one delete made) as a range, the rest a few hundred at a time.
QStringList entryConditions(QList<qint64> entries) {
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    QStringList conditions;
    QList<qint64> singles;
    for (qsizetype i = 0; i < entries.size();) {
        qsizetype end = i;
        while (end + 1 < entries.size() && entries[end + 1] == entries[end] + 1) {
            ++end;
        }
        if (end - i >= 15) {
            conditions.append(QStringLiteral("entry BETWEEN %1 AND %2").arg(entries[i]).arg(entries[end]));
        } else {
            for (qsizetype k = i; k <= end; ++k) {
                singles.append(entries[k]);
            }
        }
        i = end + 1;
    }
    for (qsizetype i = 0; i < singles.size(); i += chunk) {
        conditions.append(QStringLiteral("entry IN (%1)").arg(entryList(singles, i, chunk)));
    }
    return conditions;
}
} // namespace

Result restoreFromBin(Database& db, const QList<qint64>& entries, QList<Restored>* restored) {
    Transaction transaction(db);
    if (!transaction.begin()) {
        return Result::failure(transaction.errorText());
    }
    if (!historyTableExists(db)) {
        return {}; // nothing was ever in a bin
    }
    const QStringList conditions = entryConditions(entries);
    // Which of them are in the bin, and which numbers another record holds by now.
    struct Found {
        qint64 entry;
        qint64 record;
    };
    std::vector<Found> found;
    QSet<qint64> taken;
    for (const QString& condition : conditions) {
        Query query(db, QStringLiteral("SELECT entry, record FROM quillbox_history WHERE event='deleted' AND ") +
                            condition);
        while (query.next()) {
            found.push_back({query.integer(0), query.integer(1)});
        }
        Query holders(db, QStringLiteral("SELECT h.entry FROM quillbox_history h JOIN quillbox q ON q.record = "
                                         "h.record WHERE h.event='deleted' AND h.") +
                              condition);
        while (holders.next()) {
            taken.insert(holders.integer(0));
        }
        if (query.failed() || holders.failed()) {
            return refused(db);
        }
    }
    // Of two entries with one number the newest gets it; a number held by another record is not given.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.entry > b.entry; });
    QSet<qint64> given;
    given.reserve(static_cast<qsizetype>(found.size()));
    QList<qint64> keep;
    QList<qint64> renumber;
    for (const Found& f : found) {
        if (taken.contains(f.entry) || given.contains(f.record)) {
            renumber.append(f.entry);
        } else {
            given.insert(f.record);
            keep.append(f.entry);
        }
    }
    const QString insertKept = QStringLiteral("INSERT INTO quillbox(") + textColumns() +
                               QStringLiteral(", record) SELECT ") + textColumns() +
                               QStringLiteral(", record FROM quillbox_history WHERE event='deleted' AND ");
    // Usually every one keeps its number, and the conditions that found them store them too.
    for (const QString& condition : renumber.isEmpty() ? conditions : entryConditions(keep)) {
        if (!db.execute(insertKept + condition)) {
            return refused(db);
        }
    }
    // The others get new numbers, in entry order: one statement's rows are numbered one after another.
    std::sort(renumber.begin(), renumber.end());
    QHash<qint64, QString> newNumber;
    QHash<qint64, QString> siteNames; // of those, to say which went where
    for (qsizetype i = 0; i < renumber.size(); i += chunk) {
        Query names(db, QStringLiteral("SELECT entry, sitename FROM quillbox_history WHERE entry IN (") +
                            entryList(renumber, i, chunk) + QStringLiteral(")"));
        while (names.next()) {
            siteNames.insert(names.integer(0), names.text(1));
        }
        if (!db.execute(QStringLiteral("INSERT INTO quillbox(") + textColumns() + QStringLiteral(") SELECT ") +
                        textColumns() + QStringLiteral(" FROM quillbox_history WHERE entry IN (") +
                        entryList(renumber, i, chunk) + QStringLiteral(") ORDER BY entry"))) {
            return refused(db);
        }
        const qint64 count = changedRowCount(db);
        const qint64 last = lastInsertedRecord(db).toLongLong();
        for (qint64 k = 0; k < count; ++k) {
            newNumber.insert(renumber[i + k], QString::number(last - count + 1 + k));
        }
    }
    for (const QString& condition : conditions) {
        if (!db.execute(QStringLiteral("DELETE FROM quillbox_history WHERE event='deleted' AND ") + condition)) {
            return refused(db);
        }
    }
    if (!transaction.commit()) {
        return Result::failure(transaction.errorText());
    }
    if (restored) {
        restored->clear();
        restored->reserve(static_cast<qsizetype>(found.size()));
        for (const Found& f : found) {
            const QString from = QString::number(f.record);
            restored->append({f.entry, from, newNumber.value(f.entry, from), siteNames.value(f.entry)});
        }
    }
    return {};
}

Result emptyBin(Database& db, qsizetype* erased) {
    if (!historyTableExists(db)) {
        if (erased) {
            *erased = 0;
        }
        return {};
    }
    if (!db.execute(QStringLiteral("DELETE FROM quillbox_history WHERE event='deleted'"))) {
        return Result::failure(Transaction::describe(db));
    }
    if (erased) {
        *erased = changedRowCount(db);
    }
    return {};
}

Result eraseRecords(Database& db, const QStringList& recordNumbers) {
    return deleteRecords(db, recordNumbers);
}

Result saveWithHistory(Database& db, const SiteRecord& quoted, const QString& recordNumber, const QDateTime& when,
                       int keep, qint64* entry, bool* notFound) {
    if (entry) {
        *entry = 0;
    }
    if (notFound) {
        *notFound = false;
    }
    const QString number = recordLiteral(recordNumber);
    if (number.isEmpty()) {
        if (notFound) {
            *notFound = true;
        }
        return {};
    }
    Transaction transaction(db);
    if (!transaction.begin()) {
        return Result::failure(transaction.errorText());
    }
    QString error;
    const std::optional<SiteRecord> before = storedRecord(db, number, &error);
    if (!error.isEmpty()) {
        return Result::failure(error);
    }
    if (!before) {
        if (notFound) {
            *notFound = true;
        }
        return {};
    }
    bool same = true;
    for (int k = 0; k < Col::TextColumns; ++k) {
        same = same && (*before)[k] == sqlUnquote(quoted[k]);
    }
    const bool tableThere = historyTableExists(db);
    if (keep > 0 && !same) {
        if (Result made = ensureHistoryTable(db); !made) {
            return made;
        }
        if (!db.execute(QStringLiteral("INSERT INTO quillbox_history(record, changed, event, ") + textColumns() +
                        QStringLiteral(") SELECT record, ") + timeLiteral(when) + QStringLiteral(", 'version', ") +
                        textColumns() + QStringLiteral(" FROM quillbox WHERE record=") + number)) {
            return refused(db);
        }
        if (entry) {
            *entry = lastInsertedRecord(db).toLongLong();
        }
    }
    if (!db.execute(buildUpdateStatement(quoted, number))) {
        return refused(db);
    }
    if ((tableThere || (keep > 0 && !same)) &&
        !db.execute(QStringLiteral("DELETE FROM quillbox_history WHERE event='version' AND record=%1 AND entry NOT IN "
                                   "(SELECT entry FROM quillbox_history WHERE event='version' AND record=%1 ORDER BY "
                                   "entry DESC LIMIT %2)")
                        .arg(number)
                        .arg(std::max(0, keep)))) {
        return refused(db);
    }
    return transaction.commit() ? Result() : Result::failure(transaction.errorText());
}

std::optional<QList<HistoryEntry>> recordVersions(const Database& db, const QString& recordNumber, QString* error) {
    const QString number = recordLiteral(recordNumber);
    if (number.isEmpty()) {
        return QList<HistoryEntry>();
    }
    return readEntries(db, QStringLiteral("event='version' AND record=") + number, error);
}

std::optional<HistoryEntry> historyEntry(const Database& db, qint64 entry) {
    const std::optional<QList<HistoryEntry>> found =
        readEntries(db, QStringLiteral("entry=") + QString::number(entry), nullptr);
    if (!found || found->isEmpty()) {
        return std::nullopt;
    }
    return found->constFirst();
}

std::optional<SiteRecord> storedRecord(const Database& db, const QString& recordNumber, QString* error) {
    Query query(db, recordStatement(recordLiteral(recordNumber)));
    if (!query.next()) {
        if (query.failed() && error) {
            *error = db.errorText();
        }
        return std::nullopt;
    }
    SiteRecord record;
    readFullRow(query, record);
    return record;
}

QStringList differingColumns(const SiteRecord& a, const SiteRecord& b) {
    QStringList names;
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (a[k] != b[k]) {
            names.append(columnNames().at(k));
        }
    }
    return names;
}

} // namespace quillbox
