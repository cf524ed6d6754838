#include "store/FileConversion.h"

#include "crypt/FileKey.h"
#include "crypt/PageCipher.h"
#include "platform/FileSystem.h"
#include "store/Database.h"
#include "store/DatabaseFile.h"
#include "store/EncryptedVfs.h"
#include "store/PrivateFile.h"
#include "store/SiteStore.h"
#include "text/ProgramText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sodium.h>
#include <sqlite3.h>

#include <array>

namespace quillbox {

namespace {

const QString conversionSuffix = QStringLiteral(".rewrite");

void removeFileAndJournal(const QString& fileName) {
    QFile::remove(fileName);
    QFile::remove(fileName + QStringLiteral("-journal"));
}

QString quotedLiteral(const QByteArray& text) {
    QString quoted = QString::fromUtf8(text);
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Each row's bytes hashed on their own and the hashes added up, so the order rows come in (which
// VACUUM may change for a table without an integer key) does not count.
bool addTableDigest(sqlite3* db, const QByteArray& table, std::array<quint64, 4>& sum, quint64& rows) {
    QByteArray name = table;
    name.replace('"', "\"\"");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM \"" + name + "\"", -1, &stmt, nullptr) != SQLITE_OK) {
        return false;
    }
    int rc = SQLITE_OK;
    const int columns = sqlite3_column_count(stmt);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        crypto_generichash_state state;
        crypto_generichash_init(&state, nullptr, 0, 32);
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(table.constData()),
                                  static_cast<unsigned long long>(table.size()) + 1);
        for (int c = 0; c < columns; ++c) {
            const unsigned char type = static_cast<unsigned char>(sqlite3_column_type(stmt, c));
            const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, c));
            const auto length = static_cast<quint64>(sqlite3_column_bytes(stmt, c));
            crypto_generichash_update(&state, &type, 1);
            crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(&length), sizeof(length));
            if (bytes) {
                crypto_generichash_update(&state, bytes, length);
            }
        }
        std::array<quint64, 4> hash{};
        crypto_generichash_final(&state, reinterpret_cast<unsigned char*>(hash.data()), 32);
        for (size_t i = 0; i < hash.size(); ++i) {
            sum[i] += hash[i];
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

// Opens a file read-only, its data held consistent for as long as this lives.
QByteArray digestOf(const Database& db) {
    sqlite3* handle = db.handle();
    std::array<quint64, 4> sum{};
    quint64 rows = 0;
    QList<QByteArray> tables;
    QByteArray schema;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle, "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name", -1, &stmt,
                           nullptr) != SQLITE_OK) {
        return {};
    }
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < 4; ++c) {
            schema += reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            schema += '\x1f';
        }
        if (qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "table") == 0) {
            tables.append(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        }
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        return {};
    }
    for (const QByteArray& table : tables) {
        if (!addTableDigest(handle, table, sum, rows)) {
            return {};
        }
    }
    QByteArray digest = schema;
    digest += QByteArray::number(rows) + ':';
    for (quint64 part : sum) {
        digest += QByteArray::number(part, 16) + ':';
    }
    return digest;
}

// Overwrites a file's bytes, through a handle opened before it was replaced, with zeros.
void wipeReplaced(QFile& old) {
    const qint64 size = old.size();
    const QByteArray zeros(qint64{1} << 20, '\0');
    if (!old.seek(0)) {
        return;
    }
    for (qint64 done = 0; done < size;) {
        const qint64 written = old.write(zeros.constData(), std::min<qint64>(zeros.size(), size - done));
        if (written <= 0) {
            return;
        }
        done += written;
    }
    old.flush();
    (void)syncToDisk(old.fileName()); // the wipe is a courtesy: the new file is in place already
}

} // namespace

Result convertDatabaseFile(const QString& file, const std::shared_ptr<const FileKey>& from,
                           const std::shared_ptr<const FileKey>& to) {
    if (!QFileInfo(file).isFile()) {
        return Result::failure(QStringLiteral("there is no file %1").arg(file));
    }
    // The file is held for writing (others may still read) from the first page copied until the
    // new one is in place.
    Database holder;
    if (!holder.open(file, from)) {
        return Result::failure(holder.errorText());
    }
    if (!holder.execute(QStringLiteral("BEGIN IMMEDIATE"))) {
        return Result::failure(Transaction::describe(holder));
    }
    if (const QString problem = integrityProblem(holder); !problem.isEmpty()) {
        return Result::failure(problem);
    }
    const QByteArray before = digestOf(holder);
    if (before.isEmpty()) {
        return Result::failure(holder.errorText());
    }
    const QString copy = file + conversionSuffix;
    removeFileAndJournal(copy);
    QString failure;
    {
        Database source;
        if (!source.open(file, from, true)) {
            return Result::failure(source.errorText());
        }
        source.execute(QStringLiteral("PRAGMA temp_store=MEMORY"));
        if (to) {
            // The new file's pages have the size its header names and keep room for their seal (in
            // this order: setting the page size resets the reserve).
            source.execute(QStringLiteral("PRAGMA page_size=%1").arg(to->pageSize()));
            int reserve = PageReserve;
            sqlite3_file_control(source.handle(), "main", SQLITE_FCNTL_RESERVE_BYTES, &reserve);
        }
        const QByteArray target = to ? encryptedUri(copy, to) : plainUri(copy);
        if (!source.execute(QStringLiteral("VACUUM INTO ") + quotedLiteral(target))) {
            failure = Transaction::describe(source);
        }
    }
    if (failure.isEmpty()) {
        QFile::setPermissions(copy, privateFile);
        Database check;
        if (!check.open(copy, to, true)) {
            failure = check.errorText();
        } else if (const QString problem = integrityProblem(check); !problem.isEmpty()) {
            failure = problem;
        } else if (digestOf(check) != before) {
            failure = QStringLiteral("the new file does not hold the same records");
        } else if (to && databaseKind(copy) != DatabaseKind::Encrypted) {
            failure = QStringLiteral("the new file is not encrypted");
        }
    }
    if (failure.isEmpty()) {
        failure = syncToDisk(copy).error();
    }
    if (!failure.isEmpty()) {
        removeFileAndJournal(copy);
        return Result::failure(failure);
    }
    // Opened before the swap: afterwards the name is the new file's.
    QFile old(file);
    const bool canWipe = old.open(QIODevice::ReadWrite);
    if (Result replaced = replaceFile(copy, file); !replaced) {
        removeFileAndJournal(copy);
        return replaced;
    }
    if (canWipe) {
        wipeReplaced(old);
    }
    old.close();
    return {};
}

QStringList weekdayBackups(const QString& databaseFile) {
    QStringList found;
    for (const QString& day : dayNames()) {
        const QString name = databaseFile + QLatin1Char('.') + day.left(3);
        if (QFileInfo(name).isFile()) {
            found.append(name);
        }
    }
    return found;
}

QStringList convertBackups(const QString& databaseFile, const QString& password,
                           const std::shared_ptr<const FileKey>& from, const std::shared_ptr<const FileKey>& to) {
    QStringList problems;
    for (const QString& backup : weekdayBackups(databaseFile)) {
        const QString name = QFileInfo(backup).fileName();
        std::shared_ptr<const FileKey> current;
        switch (databaseKind(backup)) {
        case DatabaseKind::Plain:
            if (!to) {
                continue;
            }
            break;
        case DatabaseKind::Encrypted: {
            const std::optional<FileHeader> header = readFileHeader(backup);
            if (to && header == to->header()) {
                continue;
            }
            if (from && header == from->header()) {
                current = from;
                break;
            }
            const UnlockResult unlocked = unlockDatabaseFile(backup, password);
            if (unlocked.status != UnlockResult::Opened) {
                problems.append(
                    QStringLiteral("%1: it was encrypted with another password and was left as it is").arg(name));
                continue;
            }
            current = unlocked.key;
            break;
        }
        default:
            problems.append(QStringLiteral("%1: it is no database and was left as it is").arg(name));
            continue;
        }
        if (const Result converted = convertDatabaseFile(backup, current, to); !converted) {
            problems.append(QStringLiteral("%1: %2").arg(name, converted.error()));
        }
    }
    return problems;
}

void removeConversionLeftovers(const QString& file) {
    // The database's own copy and those of its weekday backups.
    const QFileInfo info(file);
    const QDir folder = info.absoluteDir();
    const QString stem = info.fileName() + QLatin1Char('*') + conversionSuffix;
    for (const QString& name :
         folder.entryList({stem, stem + QStringLiteral("-journal")}, QDir::Files | QDir::Hidden)) {
        QFile::remove(folder.filePath(name));
    }
}

QByteArray contentDigest(const QString& file, const std::shared_ptr<const FileKey>& key) {
    Database db;
    // Not read-only: a journal left by a crash is rolled back first.
    if (!db.open(file, key) || !db.execute(QStringLiteral("BEGIN"))) {
        return {};
    }
    return digestOf(db);
}

} // namespace quillbox
