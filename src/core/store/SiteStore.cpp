#include "store/SiteStore.h"

#include "crypt/FileKey.h"
#include "platform/FileSystem.h"
#include "store/DatabaseFile.h"
#include "store/PrivateFile.h"
#include "store/SqlText.h"

#include <QFile>
#include <QFileInfo>

#include "text/ProgramText.h"

#include <QDir>

#include <sqlite3.h>

#include <algorithm>

namespace quillbox {

namespace {
// A backup being written is a database of its own, with a rollback journal beside it while it runs.
void removeFileAndJournal(const QString& fileName) {
    QFile::remove(fileName);
    QFile::remove(fileName + QStringLiteral("-journal"));
}
} // namespace

OpenResult openDatabase(Database& db, const QString& fileName, std::shared_ptr<const FileKey> key) {
    OpenResult result;
    {
        QFile file(fileName);
        const bool existed = file.exists();
        // ReadWrite creates a missing file and never truncates an existing one.
        if (!file.open(QIODevice::ReadWrite)) {
            result.title = QStringLiteral("Database open error");
            result.text =
                QStringLiteral("There was a serious problem attempting to open the system database, try another one");
            return result;
        }
        file.close();
        if (!existed) {
            file.setPermissions(privateFile);
        }
    }
    auto damage = [&] {
        const int code = db.errorCode() & 0xff;
        return code == SQLITE_NOTADB || code == SQLITE_CORRUPT || code == SQLITE_IOERR;
    };
    if (!db.open(fileName, std::move(key))) {
        result.damaged = damage();
        result.title = QStringLiteral("Database open error");
        result.text =
            QStringLiteral("There was a serious problem attempting to connect to the system database, try another one");
        return result;
    }
    // A file that is no database, or whose table lacks columns the program reads and writes, is
    // reported and left alone: the connection is closed, so nothing is ever written to it.
    result.title = QStringLiteral("Database open error");
    if (!db.execute(createTableStatement())) {
        result.locked = (db.errorCode() & 0xff) == SQLITE_BUSY || (db.errorCode() & 0xff) == SQLITE_LOCKED;
        result.damaged = damage();
        result.text = QStringLiteral("The database file %1 cannot be used: %2.").arg(fileName, db.errorText());
        db.close();
        return result;
    }
    if (const QStringList foreign = foreignSchema(db); !foreign.isEmpty()) {
        result.text = QStringLiteral("The database file %1 cannot be used: %2. Nothing will be written to it.")
                          .arg(fileName, foreign.join(QStringLiteral("; ")));
        db.close();
        return result;
    }
    const QStringList missing = missingColumns(db);
    if (!missing.isEmpty()) {
        result.text = QStringLiteral("The database file %1 cannot be used: its table quillbox lacks the column(s) %2. "
                                     "Nothing will be written to it.")
                          .arg(fileName, missing.join(QStringLiteral(", ")));
        db.close();
        return result;
    }
    result.title.clear();
    result.ok = true;
    return result;
}

QStringList missingColumns(const Database& db) {
    QStringList present;
    Query query(db, QStringLiteral("PRAGMA table_info(quillbox)"));
    while (query.next()) {
        present.append(query.text(1).toLower());
    }
    QStringList missing;
    for (const QString& name : columnNames()) {
        if (!present.contains(name)) {
            missing.append(name);
        }
    }
    return missing;
}

namespace {
// The affinity SQLite gives a column of this declared type (the rules of its "Datatypes" page).
bool hasTextAffinity(const QString& declared) {
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT"))) {
        return false;
    }
    return type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
           type.contains(QLatin1String("TEXT"));
}
} // namespace

QStringList foreignSchema(const Database& db) {
    QStringList problems;
    for (const QString& table : {QStringLiteral("quillbox"), QStringLiteral("quillbox_history")}) {
        QStringList triggers;
        Query trigger(db, QStringLiteral("SELECT name FROM sqlite_schema WHERE type='trigger' AND tbl_name='%1' "
                                         "COLLATE NOCASE ORDER BY name")
                              .arg(table));
        while (trigger.next()) {
            triggers.append(trigger.text(0));
        }
        if (!triggers.isEmpty()) {
            problems.append(QStringLiteral("triggers on %1 would change records behind its back (%2)")
                                .arg(table, triggers.join(QStringLiteral(", "))));
        }
        if (scalarQuery(db,
                        QStringLiteral("SELECT type FROM sqlite_schema WHERE name='%1' COLLATE NOCASE").arg(table)) ==
            QLatin1String("view")) {
            problems.append(QStringLiteral("%1 is a view, not a table").arg(table));
            continue;
        }
        QStringList notText;
        Query info(db, QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (info.next()) {
            const QString name = info.text(1).toLower();
            const qsizetype column = columnNames().indexOf(name);
            if (column >= 0 && column < Col::TextColumns && !hasTextAffinity(info.text(2))) {
                notText.append(QStringLiteral("%1 (%2)").arg(
                    info.text(1), info.text(2).isEmpty() ? QStringLiteral("no type") : info.text(2)));
            }
        }
        if (!notText.isEmpty()) {
            problems.append(QStringLiteral("columns of %1 do not keep text as text: %2")
                                .arg(table, notText.join(QStringLiteral(", "))));
        }
    }
    return problems;
}

int dataVersion(const Database& db) {
    const QString version = scalarQuery(db, QStringLiteral("PRAGMA data_version"));
    return version.isEmpty() ? -1 : version.toInt();
}

QString scalarQuery(const Database& db, const QString& statement) {
    Query query(db, statement);
    QString kept;
    while (query.next()) {
        kept = query.text(0);
    }
    return kept;
}

// What "SELECT changes()" and "SELECT last_insert_rowid()" give, without a statement each (a
// delete of a million records asks them thousands of times).
int changedRowCount(const Database& db) {
    return db.isOpen() ? sqlite3_changes(db.handle()) : 0;
}

QString lastInsertedRecord(const Database& db) {
    return db.isOpen() ? QString::number(sqlite3_last_insert_rowid(db.handle())) : QString();
}

QStringList distinctValues(const Database& db, const QString& statement, bool* ok) {
    QStringList values;
    Query query(db, statement);
    while (query.next()) {
        QString value = query.text(0);
        if (!value.isEmpty()) {
            values.append(std::move(value));
        }
    }
    if (ok) {
        *ok = !query.failed();
    }
    return query.failed() ? QStringList() : values;
}

QString integrityProblem(const Database& db) {
    Query query(db, QStringLiteral("PRAGMA quick_check"));
    QString first;
    if (query.next()) {
        first = query.text(0);
    }
    if (query.failed() || first.isEmpty()) {
        return db.errorText().isEmpty() ? QStringLiteral("the check could not run") : db.errorText();
    }
    return first == QLatin1String("ok") ? QString() : first;
}

Result deleteRecords(Database& db, const QStringList& recordNumbers,
                     const std::function<void(qsizetype deleted)>& progress) {
    Transaction transaction(db);
    if (!transaction.begin()) {
        return Result::failure(transaction.errorText());
    }
    // One statement per record would spend most of a large delete compiling statements; each
    // statement's records in the table's order lie together in the file.
    constexpr qsizetype chunk = 500;
    const QStringList numbers = inTableOrder(recordNumbers);
    for (qsizetype i = 0; i < numbers.size(); i += chunk) {
        if (!db.execute(deleteRecordsStatement(numbers.mid(i, chunk)))) {
            return Result::failure(Transaction::describe(db)); // rolled back as the transaction goes
        }
        if (progress) {
            progress(std::min(i + chunk, numbers.size()));
        }
    }
    return transaction.commit() ? Result() : Result::failure(transaction.errorText());
}

Result backupDatabase(const Database& db, const QString& target) {
    const auto fail = &Result::failure;
    if (!db.isOpen()) {
        return fail(QStringLiteral("No database connection is open."));
    }
    if (const QString problem = integrityProblem(db); !problem.isEmpty()) {
        return fail(QStringLiteral("the database fails its check (%1), so the backup was left as it was").arg(problem));
    }
    const QString temporary = target + QStringLiteral(".partial");
    removeFileAndJournal(temporary);
    // An encrypted database's copy is sealed with the same key, so it opens with the same password.
    sqlite3* copy = openConnection(temporary, db.key(), false);
    if (!copy || sqlite3_errcode(copy) != SQLITE_OK) {
        sqlite3_close(copy);
        return fail(QStringLiteral("The backup file could not be created."));
    }
    QFile::setPermissions(temporary, privateFile);
    QString failure;
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db.handle(), "main");
    if (!backup) {
        failure = QString::fromUtf8(sqlite3_errmsg(copy));
    } else {
        const int rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_DONE) {
            failure = QString::fromUtf8(sqlite3_errstr(rc));
        }
        if (sqlite3_backup_finish(backup) != SQLITE_OK && failure.isEmpty()) {
            failure = QString::fromUtf8(sqlite3_errmsg(copy));
        }
    }
    if (sqlite3_close(copy) != SQLITE_OK && failure.isEmpty()) {
        failure = QStringLiteral("The backup file could not be closed.");
    }
    if (!failure.isEmpty()) {
        removeFileAndJournal(temporary);
        return fail(failure);
    }
    // The old backup stays until the new one is whole.
    if (Result replaced = replaceFile(temporary, target); !replaced) {
        removeFileAndJournal(temporary);
        return replaced;
    }
    return {};
}

std::future<QString> checkInBackground(const QString& file, std::shared_ptr<const FileKey> key) {
    return std::async(std::launch::async, [file, key = std::move(key)] {
        Database db;
        if (!db.open(file, key, true)) {
            return db.errorText();
        }
        return integrityProblem(db);
    });
}

std::optional<SoundBackup> newestSoundBackup(const QString& databaseFile, const std::shared_ptr<const FileKey>& key) {
    std::optional<SoundBackup> best;
    for (const QString& day : dayNames()) {
        const QString file = backupFileName(databaseFile, day);
        const QFileInfo info(file);
        if (!info.isFile() || (best && info.lastModified() <= best->written)) {
            continue;
        }
        // A backup in another key than the database's (from before a change of password) is left
        // to the user; the program cannot open it.
        const bool encrypted = databaseKind(file) == DatabaseKind::Encrypted;
        if (encrypted != (key != nullptr) || (key && readFileHeader(file) != key->header())) {
            continue;
        }
        Database db;
        if (!db.open(file, key, true) || !integrityProblem(db).isEmpty() || !missingColumns(db).isEmpty()) {
            continue;
        }
        best = SoundBackup{file, info.lastModified(),
                           scalarQuery(db, QStringLiteral("SELECT count(*) FROM quillbox")).toLongLong()};
    }
    return best;
}

Result replaceWithBackup(const QString& databaseFile, const QString& backupFile,
                         const std::shared_ptr<const FileKey>& key) {
    QString kept = databaseFile + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(kept); ++n) {
        kept = databaseFile + QStringLiteral(".damaged-%1").arg(n);
    }
    Database source;
    if (!source.open(backupFile, key, true)) {
        return Result::failure(source.errorText());
    }
    // The backup is copied beside the database first; only then does the damaged file step aside.
    const QString copy = databaseFile + QStringLiteral(".restoring");
    if (Result copied = backupDatabase(source, copy); !copied) {
        return copied;
    }
    if (!QFile::rename(databaseFile, kept)) {
        removeFileAndJournal(copy);
        return Result::failure(QStringLiteral("the damaged file could not be moved aside"));
    }
    // A journal it had goes with it, so the damaged file stays as it was found.
    QFile::rename(databaseFile + QStringLiteral("-journal"), kept + QStringLiteral("-journal"));
    if (Result replaced = replaceFile(copy, databaseFile); !replaced) {
        QFile::rename(kept, databaseFile);
        QFile::rename(kept + QStringLiteral("-journal"), databaseFile + QStringLiteral("-journal"));
        removeFileAndJournal(copy);
        return replaced;
    }
    return {};
}

void removeBackupLeftovers(const QString& databaseFile) {
    const QFileInfo database(databaseFile);
    const QDir folder = database.absoluteDir();
    const QStringList leftovers = folder.entryList({database.fileName() + QStringLiteral(".*.partial"),
                                                    database.fileName() + QStringLiteral(".*.partial-journal")},
                                                   QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : leftovers) {
        QFile::remove(folder.filePath(name));
    }
}

QString backupFileName(const QString& databaseFile, const QString& dayName) {
    return databaseFile + QLatin1Char('.') + dayName.left(3);
}

void readListRow(const Query& query, SiteRecord& record) {
    for (int k = 0; k < Col::Notes; ++k) {
        record[k] = query.field(k);
    }
    record[Col::Record] = query.field(Col::Record);
}

void readFullRow(const Query& query, SiteRecord& record) {
    for (int k = 0; k < Col::TextColumns; ++k) {
        record[k] = query.field(k);
    }
    record[Col::Record] = query.field(Col::Record);
}

} // namespace quillbox
