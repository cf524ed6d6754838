#include "Cli.h"

#include "Output.h"
#include "Terminal.h"

#include "app/ClipboardKeeper.h"
#include "crypt/Sodium.h"
#include "health/PasswordHealth.h"
#include "otp/OneTimeCode.h"
#include "record/RecordForm.h"
#include "settings/Password.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordMaker.h"
#include "settings/ProgramSettings.h"
#include "store/Database.h"
#include "store/DatabaseFile.h"
#include "store/FileConversion.h"
#include "store/RecordHistory.h"
#include "store/SearchCopy.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "store/WorkingFolder.h"
#include "text/ProgramText.h"
#include "transfer/Bookmarks.h"
#include "transfer/ExportCheck.h"
#include "transfer/ImportJob.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportRead.h"
#include "transfer/ImportText.h"
#include "transfer/TableExport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QThread>

#include <array>
#include <csignal>
#include <functional>
#include <optional>

namespace quillbox::cli {

namespace {

const QString cliName = QStringLiteral("quillbox-cli");
const QString globalSynopsis = QStringLiteral("[--folder DIR] [--password-stdin]");

struct Session {
    WorkingFolder folder;
    bool passwordFromStdin = false;
    // The program password as typed, kept for the commands that rewrite the file and its backups.
    QString password;
    // An encrypted database's key.
    std::shared_ptr<const FileKey> key;
    Database db;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { wipeString(password); }
};

// The windows' messages are laid out for a message box; a terminal gets them on one line.
QString oneLine(const QString& message) {
    QString line = message;
    line.replace(QStringLiteral("\n\r\n\r"), QStringLiteral(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

int fail(const QString& text) {
    writeError(cliName + QStringLiteral(": ") + oneLine(text) + QLatin1Char('\n'));
    return Failed;
}

// ---- options -------------------------------------------------------------------------------

QCommandLineOption folderOption() {
    return {QStringLiteral("folder"),
            QStringLiteral("The working folder, holding Database/ and System/ (default: the current folder)."),
            QStringLiteral("DIR")};
}
QCommandLineOption passwordStdinOption() {
    return {QStringLiteral("password-stdin"),
            QStringLiteral("Read the program password from the first line of standard input.")};
}
QCommandLineOption helpOption() {
    return {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
}

QCommandLineOption commandOption(const QString& name) {
    struct Known {
        const char* name;
        const char* description;
        const char* valueName;
    };
    static const Known known[] = {
        {"owner",
         "Only the records of this owner (default: every owner, one after another; import: whose records "
         "a CSV of another program or a bookmark file become).",
         "O"},
        {"category", "Only the records of this category.", "C"},
        {"field",
         "The column searched: sitename, username, password, homepage, misc1 ... misc9, category, owner, "
         "notes, or all.",
         "F"},
        {"type", "The comparison: contains, starts, ends, eq, ne, lt, le, gt, ge.", "T"},
        {"json", "Write a JSON array of records keyed by column name.", nullptr},
        {"show-passwords", "Show user names, passwords and home pages instead of masking them.", nullptr},
        {"set", "Set a column (lsitename ... notes) to a value; may be given many times.", "COLUMN=VALUE"},
        {"format", "The file format: text, csv or xml (import also: bookmarks); default: the file's extension.",
         "FORMAT"},
        {"dry-run", "Read the file and report what it holds, storing nothing.", nullptr},
        {"map",
         "CSV: what columns hold, by header or number from 1: sitename, username, password, homepage, "
         "misc1 ... misc9, category, owner, notes, next (the next free Misc field) or ignore; columns not "
         "named keep what the file's layout gives them, or go to the next free Misc field under their header.",
         "COLUMN=FIELD,..."},
        {"no-header", "CSV: the first line is a record, not the columns' names.", nullptr},
        {"separator", "CSV: the separator: comma, semicolon or tab (default: the file's own).", "S"},
        {"encoding", "Text and CSV: the file's encoding, such as Windows-1252 (default: UTF-8 unless marked).", "NAME"},
        {"yes", "Do it without asking.", nullptr},
        {"erase", "Erase the records for good instead of moving them to the recycle bin.", nullptr},
        {"verbose", "Also say whether searches are answered from the copy in memory, and if not, why.", nullptr},
        {"clip:field", "What to copy: password (the default), username or totp (the one-time code).", "F"},
        {"seconds",
         "Clear the clipboard after this many seconds, if it still holds the copy (default: the program's "
         "setting, else 30).",
         "N"},
        {"length", "The password's length, 8 to 128 (default 20).", "N"},
        {"words", "Make a passphrase of this many words, 3 to 20, instead of a password.", "N"},
        {"no-lookalikes", "Leave out characters easily taken for others (0 O o 1 l I | 8 B 5 S 2 Z 6 G).", nullptr},
        {"kinds", "The kinds of character, comma-separated: lower, upper, digits, symbols (default: all).", "LIST"},
        {"hibp",
         "Also look every password up in this breach list: a text file of \"SHA-1 hash:count\" lines sorted by "
         "hash. It is read here; nothing is sent anywhere.",
         "FILE"},
    };
    // "command:option" is an option that means something else to that command.
    const QString option = name.section(QLatin1Char(':'), -1);
    for (const Known& k : known) {
        if (name == QLatin1String(k.name)) {
            return k.valueName ? QCommandLineOption(option, QString::fromLatin1(k.description),
                                                    QString::fromLatin1(k.valueName))
                               : QCommandLineOption(option, QString::fromLatin1(k.description));
        }
    }
    Q_UNREACHABLE();
}

// ---- commands ------------------------------------------------------------------------------

struct Command {
    QString name{};
    QString synopsis{}; // what follows the command's name in its usage line
    QString summary{};
    QStringList options{};
    QStringList required{};
    int minArguments = 0;
    int maxArguments = 0; // -1: any number
    QString argumentName{};
    QString argumentHelp{};
    // Checks what the parser cannot: the values of options and arguments. Empty when fine.
    std::function<QString(const QCommandLineParser&)> check{};
    std::function<int(Session&, const QCommandLineParser&)> run{};
    bool opensDatabase = true;
    // Works on a working folder, behind the program password (the generator and the estimate do not).
    bool needsPassword = true;
    // Changes the records: refused on a file that fails its check.
    bool writes = false;
};

// The search panel's field index for a column name; -1 when there is none.
int searchFieldIndex(const QString& name) {
    if (name == QLatin1String("all")) {
        return 0;
    }
    for (int i = 1; i <= LastSearchField; ++i) {
        if (searchFieldColumn(i) == name) {
            return i;
        }
    }
    return -1;
}

using ColumnValues = QList<std::pair<int, QString>>;

// COLUMN=VALUE pairs; the reason when one is no such pair.
QString parseSets(const QStringList& sets, ColumnValues* out) {
    for (const QString& set : sets) {
        const qsizetype eq = set.indexOf(QLatin1Char('='));
        const int column = eq < 0 ? -1 : static_cast<int>(columnNames().indexOf(set.left(eq).toLower()));
        if (column < 0 || column >= Col::TextColumns) {
            return QStringLiteral("--set wants COLUMN=VALUE with one of the columns %1, not \"%2\".")
                .arg(columnNames().mid(0, Col::TextColumns).join(QStringLiteral(", ")), set);
        }
        if (out) {
            out->append({column, set.mid(eq + 1)});
        }
    }
    return QString();
}

QString checkRecordArguments(const QCommandLineParser& parser) {
    for (const QString& number : parser.positionalArguments()) {
        if (!isRecordNumber(number)) {
            return QStringLiteral("\"%1\" is not a record number.").arg(number);
        }
    }
    return QString();
}

// The owners to list; false (reported) when the database could not say.
bool ownersToList(const Session& s, const QCommandLineParser& parser, QStringList& owners) {
    if (parser.isSet(QStringLiteral("owner"))) {
        owners = QStringList{parser.value(QStringLiteral("owner"))};
        return true;
    }
    bool ok = false;
    owners = distinctValues(s.db, ownerListStatement(), &ok);
    if (!ok) {
        fail(QStringLiteral("The database query failed to be executed: %1").arg(s.db.errorText()));
    }
    return ok;
}

// Every row of the statements, in order, read whole; false when the database refused one.
bool collectRecords(const Database& db, const QStringList& statements, QList<SiteRecord>& records) {
    for (const QString& statement : statements) {
        Query query(db, statement);
        if (!query.isValid()) {
            return false;
        }
        while (query.next()) {
            SiteRecord record;
            readFullRow(query, record);
            records.append(std::move(record));
        }
        if (query.failed()) {
            return false;
        }
    }
    return true;
}

int printRecords(const Session& s, const QCommandLineParser& parser, const QStringList& statements) {
    QList<SiteRecord> records;
    if (!collectRecords(s.db, statements, records)) {
        return fail(QStringLiteral("The database query failed to be executed."));
    }
    const bool showPrivate = parser.isSet(QStringLiteral("show-passwords"));
    if (parser.isSet(QStringLiteral("json"))) {
        writeOut(recordsJson(records, showPrivate));
    } else {
        writeOut(recordTable(records, showPrivate));
    }
    return Done;
}

int listCommand(Session& s, const QCommandLineParser& parser) {
    const QString category = parser.value(QStringLiteral("category"));
    const bool oneCategory = parser.isSet(QStringLiteral("category")) && category != allCategories;
    QStringList statements;
    QStringList owners;
    if (!ownersToList(s, parser, owners)) {
        return Failed;
    }
    // As the window lists an owner, or an owner's category, when it is chosen.
    for (const QString& owner : owners) {
        statements.append(oneCategory ? categoryRecordsStatement(owner, category) : ownerRecordsStatement(owner));
    }
    return printRecords(s, parser, statements);
}

QString checkSearch(const QCommandLineParser& parser) {
    if (searchFieldIndex(parser.value(QStringLiteral("field"))) < 0) {
        return QStringLiteral("Unknown field \"%1\".").arg(parser.value(QStringLiteral("field")));
    }
    if (!comparisonNamed(parser.value(QStringLiteral("type")))) {
        return QStringLiteral("Unknown comparison \"%1\".").arg(parser.value(QStringLiteral("type")));
    }
    return QString();
}

int searchCommand(Session& s, const QCommandLineParser& parser) {
    SearchState search;
    search.category =
        parser.isSet(QStringLiteral("category")) ? parser.value(QStringLiteral("category")) : allCategories;
    search.field = searchFieldIndex(parser.value(QStringLiteral("field")));
    search.comparison = comparisonNamed(parser.value(QStringLiteral("type"))).value_or(Comparison::Contains);
    search.text = parser.positionalArguments().constFirst();
    QStringList statements;
    QStringList owners;
    if (!ownersToList(s, parser, owners)) {
        return Failed;
    }
    for (const QString& owner : owners) {
        search.owner = owner;
        statements.append(searchStatement(search));
    }
    return printRecords(s, parser, statements);
}

// The record of that number; false, reported, when there is none.
bool findRecord(const Session& s, const QString& number, SiteRecord& record) {
    Query query(s.db, recordStatement(number));
    if (!query.next()) {
        if (query.failed()) {
            fail(QStringLiteral("The database query failed to be executed."));
        } else {
            fail(QStringLiteral("There is no record %1.").arg(number));
        }
        return false;
    }
    readFullRow(query, record);
    return true;
}

int showCommand(Session& s, const QCommandLineParser& parser) {
    SiteRecord record;
    if (!findRecord(s, parser.positionalArguments().constFirst(), record)) {
        return Failed;
    }
    const bool showPrivate = parser.isSet(QStringLiteral("show-passwords"));
    if (parser.isSet(QStringLiteral("json"))) {
        writeOut(recordsJson({record}, showPrivate));
    } else {
        writeOut(recordDetails(record, showPrivate));
    }
    return Done;
}

QString checkSets(const QCommandLineParser& parser) {
    return parseSets(parser.values(QStringLiteral("set")), nullptr);
}

int addCommand(Session& s, const QCommandLineParser& parser) {
    SiteRecord typed;
    const QStringList& labels = defaultLabels();
    for (int i = 0; i < labels.size(); ++i) {
        typed[2 * i] = labels[i];
    }
    ColumnValues sets;
    parseSets(parser.values(QStringLiteral("set")), &sets);
    for (const auto& [column, value] : sets) {
        typed[column] = value;
    }
    typed[Col::Owner] = parser.value(QStringLiteral("owner"));
    typed[Col::Category] = parser.value(QStringLiteral("category"));
    // The checks and the statement of the data form's save.
    const SiteRecord record = recordForSaving(typed);
    const SaveCheck check = checkRecordForSave(record);
    if (!check.ok) {
        return fail(check.text);
    }
    if (!s.db.execute(buildInsertStatement(record))) {
        return fail(QStringLiteral("Nothing was added: %1.").arg(Transaction::describe(s.db)));
    }
    writeOut(lastInsertedRecord(s.db) + QLatin1Char('\n'));
    return Done;
}

// The kept settings' number of versions a record keeps.
int versionsKept(const Session& s) {
    ProgramSettings settings = defaultSettings();
    bool ok = false;
    const int kept =
        readSetting(s.folder.settingsFile, SettingsKey::ProgramOptions, SettingsKey::HistoryVersions).toInt(&ok);
    if (ok) {
        settings.historyVersions = kept;
    }
    return historyVersions(settings);
}

int editCommand(Session& s, const QCommandLineParser& parser) {
    const QString number = parser.positionalArguments().constFirst();
    SiteRecord typed;
    if (!findRecord(s, number, typed)) {
        return Failed;
    }
    ColumnValues sets;
    parseSets(parser.values(QStringLiteral("set")), &sets);
    for (const auto& [column, value] : sets) {
        typed[column] = value;
    }
    const SiteRecord record = recordForSaving(typed);
    const SaveCheck check = checkRecordForSave(record);
    if (!check.ok) {
        return fail(check.text);
    }
    // The version it replaces is kept in the record's history, as a save in the window keeps it.
    bool notFound = false;
    if (const Result done =
            saveWithHistory(s.db, record, number, QDateTime::currentDateTimeUtc(), versionsKept(s), nullptr, &notFound);
        !done) {
        return fail(QStringLiteral("Nothing was saved: %1.").arg(done.error()));
    }
    if (notFound) {
        return fail(QStringLiteral("There is no record %1.").arg(number));
    }
    return Done;
}

// Asks before something that cannot be taken back, unless --yes was given. False when the answer
// was no, or there was no one to ask.
bool confirmed(const QCommandLineParser& parser, const QString& question) {
    if (parser.isSet(QStringLiteral("yes"))) {
        return true;
    }
    bool yes = false;
    QString error;
    if (!askYesNo(question, yes, error)) {
        fail(error);
        return false;
    }
    if (!yes) {
        fail(QStringLiteral("Nothing was changed."));
    }
    return yes;
}

int deleteCommand(Session& s, const QCommandLineParser& parser) {
    QStringList numbers = parser.positionalArguments();
    numbers.removeDuplicates();
    // All of them or none: a number that is not there stops the command before anything goes.
    for (const QString& number : numbers) {
        Query query(s.db, recordStatement(number));
        if (!query.next()) {
            return fail(query.failed() ? QStringLiteral("Nothing was deleted: %1.").arg(s.db.errorText())
                                       : QStringLiteral("There is no record %1; nothing was deleted.").arg(number));
        }
    }
    const QString what = recordCountText(QString::number(numbers.size())).toLower();
    if (parser.isSet(QStringLiteral("erase"))) {
        if (!confirmed(parser, QStringLiteral("Erase %1 for good? They cannot be restored.").arg(what))) {
            return Failed;
        }
        if (const Result done = eraseRecords(s.db, numbers); !done) {
            return fail(QStringLiteral("Nothing was erased: %1.").arg(done.error()));
        }
        writeOut(QStringLiteral("Erased %1 for good.\n").arg(what));
        return Done;
    }
    if (const Result done = moveToBin(s.db, numbers, QDateTime::currentDateTimeUtc()); !done) {
        return fail(QStringLiteral("Nothing was deleted: %1.").arg(done.error()));
    }
    writeOut(QStringLiteral("Deleted %1 (moved to the recycle bin; restore brings them back).\n").arg(what));
    return Done;
}

// An entry's record with its values masked as the list masks them, for the JSON output.
QJsonObject entryJson(const HistoryEntry& e, const QString& timeKey, bool showPrivate) {
    QJsonObject object;
    object.insert(QStringLiteral("entry"), e.entry);
    object.insert(timeKey, e.when.toString(Qt::ISODateWithMs));
    const QStringList& names = columnNames();
    for (int k = 0; k < Col::TextColumns; ++k) {
        object.insert(names[k], !showPrivate && isPrivateColumn(k) ? maskText(e.values[k]) : e.values[k]);
    }
    object.insert(names[Col::Record], e.record.toLongLong());
    return object;
}

int binCommand(Session& s, const QCommandLineParser& parser) {
    QString error;
    const std::optional<QList<HistoryEntry>> entries = binEntries(s.db, &error);
    if (!entries) {
        return fail(QStringLiteral("The recycle bin could not be read: %1").arg(error));
    }
    const bool showPrivate = parser.isSet(QStringLiteral("show-passwords"));
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const HistoryEntry& e : *entries) {
            array.append(entryJson(e, QStringLiteral("deleted"), showPrivate));
        }
        writeOut(QJsonDocument(array).toJson(QJsonDocument::Indented));
        return Done;
    }
    QList<QStringList> rows{{QStringLiteral("Record"), QStringLiteral("Deleted"), QStringLiteral("Site name"),
                             QStringLiteral("Category"), QStringLiteral("Owner")}};
    for (const HistoryEntry& e : *entries) {
        rows.append({e.record, e.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                     terminalSafe(e.values[Col::SiteName]), terminalSafe(e.values[Col::Category]),
                     terminalSafe(e.values[Col::Owner])});
    }
    writeOut(alignedColumns(rows) + recordCountText(QString::number(entries->size())) +
             QStringLiteral(" in the recycle bin\n"));
    return Done;
}

int restoreCommand(Session& s, const QCommandLineParser& parser) {
    QStringList numbers = parser.positionalArguments();
    numbers.removeDuplicates();
    const QList<qint64> entries = binEntriesOfRecords(s.db, numbers);
    if (entries.size() != numbers.size()) {
        QStringList missing = numbers;
        for (qint64 entry : entries) {
            if (const std::optional<HistoryEntry> e = historyEntry(s.db, entry)) {
                missing.removeAll(e->record);
            }
        }
        return fail(QStringLiteral("Not in the recycle bin: %1; nothing was restored.")
                        .arg(missing.join(QStringLiteral(", "))));
    }
    QList<Restored> restored;
    if (const Result done = restoreFromBin(s.db, entries, &restored); !done) {
        return fail(QStringLiteral("Nothing was restored: %1.").arg(done.error()));
    }
    std::sort(restored.begin(), restored.end(),
              [](const Restored& a, const Restored& b) { return a.from.toLongLong() < b.from.toLongLong(); });
    for (const Restored& r : restored) {
        writeOut(r.to == r.from
                     ? QStringLiteral("Record %1 restored.\n").arg(r.from)
                     : QStringLiteral("Record %1 restored as record %2 (%1 was taken).\n").arg(r.from, r.to));
    }
    return Done;
}

int emptyBinCommand(Session& s, const QCommandLineParser& parser) {
    const std::optional<QList<HistoryEntry>> entries = binEntries(s.db);
    const qsizetype count = entries ? entries->size() : 0;
    if (count == 0) {
        writeOut(QStringLiteral("The recycle bin is empty.\n"));
        return Done;
    }
    if (!confirmed(parser, QStringLiteral("Erase the %1 in the recycle bin for good?")
                               .arg(recordCountText(QString::number(count)).toLower()))) {
        return Failed;
    }
    qsizetype erased = 0;
    if (const Result done = emptyBin(s.db, &erased); !done) {
        return fail(QStringLiteral("The recycle bin was not emptied: %1.").arg(done.error()));
    }
    writeOut(QStringLiteral("Erased %1 for good.\n").arg(recordCountText(QString::number(erased)).toLower()));
    return Done;
}

int historyCommand(Session& s, const QCommandLineParser& parser) {
    const QString number = parser.positionalArguments().constFirst();
    SiteRecord now;
    if (!findRecord(s, number, now)) {
        return Failed;
    }
    QString error;
    const std::optional<QList<HistoryEntry>> versions = recordVersions(s.db, number, &error);
    if (!versions) {
        return fail(QStringLiteral("The history could not be read: %1").arg(error));
    }
    const bool showPrivate = parser.isSet(QStringLiteral("show-passwords"));
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const HistoryEntry& v : *versions) {
            array.append(entryJson(v, QStringLiteral("replaced"), showPrivate));
        }
        writeOut(QJsonDocument(array).toJson(QJsonDocument::Indented));
        return Done;
    }
    QList<QStringList> rows{{QStringLiteral("Replaced"), QStringLiteral("What that version held")}};
    for (qsizetype i = 0; i < versions->size(); ++i) {
        const SiteRecord& after = i == 0 ? now : versions->at(i - 1).values;
        rows.append({versions->at(i).when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                     terminalSafe(versionChanges(versions->at(i).values, after, showPrivate))});
    }
    writeOut(alignedColumns(rows) + QStringLiteral("%1 kept of record %2\n")
                                        .arg(versions->size() == 1
                                                 ? QStringLiteral("1 version")
                                                 : QStringLiteral("%1 versions").arg(versions->size()),
                                             number));
    return Done;
}

// True when path names the database file itself, which a copy must never replace.
bool isDatabaseFile(const Session& s, const QString& path) {
    const QFileInfo target(path);
    const QFileInfo database(s.folder.databaseFile);
    return target.exists() && database.exists() && target.canonicalFilePath() == database.canonicalFilePath();
}

int backupCommand(Session& s, const QCommandLineParser& parser) {
    const QString target = parser.positionalArguments().constFirst();
    if (isDatabaseFile(s, target)) {
        return fail(QStringLiteral("The backup cannot replace the database itself."));
    }
    if (const Result backedUp = backupDatabase(s.db, target); !backedUp) {
        return fail(QStringLiteral("The database could not be backed up: %1").arg(backedUp.error()));
    }
    writeOut(QStringLiteral("Backed up to %1\n").arg(QDir::toNativeSeparators(target)));
    return Done;
}

// Whether the window's searches can be answered from its copy of the table in memory, or each
// runs its statement (which is what makes a search slow), and why.
QString searchCopyReport(const Database& db) {
    QElapsedTimer timer;
    timer.start();
    QString whyNot;
    const auto data = SearchCopy::load(db.handle(), &whyNot);
    if (!data) {
        return QStringLiteral("Search copy: not used, %1; every search runs its statement\n").arg(whyNot);
    }
    return QStringLiteral("Search copy: %1 held, read in %2 ms\n")
        .arg(recordCountText(QString::number(SearchCopy::slotCount(*data))).toLower())
        .arg(timer.elapsed());
}

int checkCommand(Session& s, const QCommandLineParser& parser) {
    const QString file = s.folder.databaseFile;
    if (!QFileInfo(file).isFile()) {
        return fail(QStringLiteral("There is no database file %1.").arg(file));
    }
    // Opened as it is: the check must not create the table in a foreign file.
    if (!s.db.open(file, s.key)) {
        return fail(QStringLiteral("The database file %1 cannot be opened: %2").arg(file, s.db.errorText()));
    }
    bool sound = true;
    QString report = QStringLiteral("Database: %1\n").arg(file);
    if (s.key) {
        const KdfCost cost = s.key->header().cost();
        report += QStringLiteral("Encryption: XChaCha20-Poly1305 pages, key by Argon2id (%1 MiB, %2 passes)\n")
                      .arg(cost.memoryMiB)
                      .arg(cost.passes);
    }
    QStringList problems;
    {
        Query integrity(s.db, QStringLiteral("PRAGMA integrity_check"));
        const bool ran = integrity.isValid();
        while (integrity.next()) {
            problems.append(integrity.text(0));
        }
        if (!ran || integrity.failed()) {
            problems = QStringList{s.db.errorText()};
        }
    }
    const bool intact = problems == QStringList{QStringLiteral("ok")};
    sound = sound && intact;
    report +=
        QStringLiteral("Integrity: %1\n").arg(intact ? QStringLiteral("ok") : problems.join(QStringLiteral("; ")));
    if (intact) {
        if (const QStringList foreign = foreignSchema(s.db); !foreign.isEmpty()) {
            for (const QString& problem : foreign) {
                report += QStringLiteral("Refused: %1\n").arg(problem);
            }
            sound = false;
        }
        const QStringList missing = missingColumns(s.db);
        if (missing.size() == Col::Count) {
            report += QStringLiteral("Table: there is no table quillbox\n");
            sound = false;
        } else {
            if (missing.isEmpty()) {
                report += QStringLiteral("Columns: all %1 present\n").arg(Col::Count);
            } else {
                report += QStringLiteral("Columns: missing %1; nothing will be written to this file\n")
                              .arg(missing.join(QStringLiteral(", ")));
                sound = false;
            }
            if (!missing.contains(QStringLiteral("record"))) {
                const QString odd = scalarQuery(
                    s.db, QStringLiteral("SELECT count(*) FROM quillbox WHERE typeof(record) <> 'integer'"));
                if (odd.toLongLong() > 0) {
                    report += QStringLiteral("Record numbers: %1 are not plain integers\n").arg(odd);
                    sound = false;
                }
            }
            report +=
                QStringLiteral("Records: %1\n").arg(scalarQuery(s.db, QStringLiteral("SELECT count(*) FROM quillbox")));
            if (parser.isSet(QStringLiteral("verbose"))) {
                report += searchCopyReport(s.db);
            }
            if (historyTableExists(s.db)) {
                // The second table: the bin and every record's kept versions.
                QStringList lacking;
                QStringList present;
                Query info(s.db, QStringLiteral("PRAGMA table_info(quillbox_history)"));
                while (info.next()) {
                    present.append(info.text(1).toLower());
                }
                for (const QString& name :
                     QStringList{QStringLiteral("entry"), QStringLiteral("changed"), QStringLiteral("event")} +
                         columnNames()) {
                    if (!present.contains(name)) {
                        lacking.append(name);
                    }
                }
                if (!lacking.isEmpty()) {
                    report += QStringLiteral("History: its table lacks the column(s) %1\n")
                                  .arg(lacking.join(QStringLiteral(", ")));
                    sound = false;
                } else {
                    auto count = [&](const QString& event) {
                        return scalarQuery(s.db, QStringLiteral("SELECT count(*) FROM quillbox_history WHERE "
                                                                "event='%1'")
                                                     .arg(event))
                            .toLongLong();
                    };
                    const qint64 deleted = count(HistoryEvent::Deleted);
                    const qint64 versions = count(HistoryEvent::Version);
                    report += QStringLiteral("Recycle bin: %1; history: %2\n")
                                  .arg(recordCountText(QString::number(deleted)).toLower(),
                                       versions == 1 ? QStringLiteral("1 version")
                                                     : QStringLiteral("%1 versions").arg(versions));
                }
            }
        }
    }
    writeOut(report);
    if (!sound) {
        writeError(cliName + QStringLiteral(": the database has faults (see above).\n"));
    }
    return sound ? Done : Failed;
}

// ---- files ---------------------------------------------------------------------------------

const QStringList& importFormatNames() {
    static const QStringList names{QStringLiteral("text"), QStringLiteral("csv"), QStringLiteral("xml"),
                                   QStringLiteral("bookmarks")};
    return names;
}

// The format named by --format, else by the file's extension as the file requesters' patterns
// give it; -1 when neither tells.
int formatIndex(const QCommandLineParser& parser) {
    if (parser.isSet(QStringLiteral("format"))) {
        return static_cast<int>(importFormatNames().indexOf(parser.value(QStringLiteral("format")).toLower()));
    }
    const QString suffix = QFileInfo(parser.positionalArguments().value(0)).suffix().toLower();
    if (suffix == QLatin1String("txt") || suffix == QLatin1String("asc")) {
        return 0;
    }
    if (suffix == QLatin1String("csv")) {
        return 1;
    }
    if (suffix == QLatin1String("xml")) {
        return 2;
    }
    if (suffix == QLatin1String("htm") || suffix == QLatin1String("html")) {
        return 3;
    }
    return -1;
}

QString checkFormat(const QCommandLineParser& parser, int formats) {
    const int format = formatIndex(parser);
    if (format >= 0 && format < formats) {
        return QString();
    }
    if (parser.isSet(QStringLiteral("format"))) {
        return QStringLiteral("Unknown format \"%1\".").arg(parser.value(QStringLiteral("format")));
    }
    return QStringLiteral("The file's extension does not tell its format; give --format.");
}

int exportCommand(Session& s, const QCommandLineParser& parser) {
    const ExportFormat format =
        std::array{ExportFormat::Text, ExportFormat::Csv, ExportFormat::Xml}[static_cast<size_t>(formatIndex(parser))];
    // Said before the file is put in place, as the window warns before it does.
    const ExportResult result =
        exportTable(s.db, format, parser.positionalArguments().constFirst(), {}, [&](const ExportLoss& loss) {
            const QString message = exportLossMessage(loss, format);
            if (!message.isEmpty()) {
                writeError(cliName + QStringLiteral(": warning: ") + oneLine(message) + QLatin1Char('\n'));
            }
            return true;
        });
    if (!result.error.isEmpty()) {
        return fail(result.error);
    }
    if (!result.written) {
        writeOut(QStringLiteral("The table is empty: no file was written.\n"));
        return Done;
    }
    writeOut(QStringLiteral("Exported %1 to %2\n")
                 .arg(recordCountText(QString::number(result.count)).toLower(), QDir::toNativeSeparators(result.path)));
    return Done;
}

// Whose records a file from another program becomes: the owner the window would list first.
QString ownerOfImport(const Session& s, const QCommandLineParser& parser, ImportFormat format) {
    if (parser.isSet(QStringLiteral("owner"))) {
        return parser.value(QStringLiteral("owner"));
    }
    const QString listed =
        format == ImportFormat::Bookmarks
            ? QString()
            : ownerListedFirst(distinctValues(s.db, ownerListStatement()),
                               readSetting(s.folder.settingsFile, SettingsKey::SavedSearches, SettingsKey::LastOwner));
    return importOwner(format, listed, QDir::homePath());
}

// What a first reading found, for a dry run or a file of no record.
QString previewReport(const ImportPreview& preview) {
    QString report;
    if (!preview.formatNote().isEmpty()) {
        report += preview.formatNote() + QLatin1Char('\n');
    }
    for (const RefusedLine& refused : preview.refusals()) {
        report += QStringLiteral("Line %1: %2\n").arg(refused.line).arg(terminalSafe(refused.reason));
    }
    if (preview.refusedCount() > preview.refusals().size()) {
        report +=
            QStringLiteral("... and %1 more lines refused.\n").arg(preview.refusedCount() - preview.refusals().size());
    }
    if (!preview.columnMapping().isEmpty()) {
        report += QStringLiteral("Columns: %1\n").arg(terminalSafe(preview.columnMapping().join(QStringLiteral("; "))));
    }
    return report;
}

// The separators --separator names.
QChar separatorNamed(const QString& name) {
    const QString n = name.toLower();
    return n == QLatin1String("comma")       ? QLatin1Char(',')
           : n == QLatin1String("semicolon") ? QLatin1Char(';')
           : n == QLatin1String("tab")       ? QLatin1Char('\t')
                                             : QChar();
}

QString checkImportArguments(const QCommandLineParser& p) {
    if (p.isSet(QStringLiteral("format"))) {
        if (QString error = checkFormat(p, 4); !error.isEmpty()) {
            return error;
        }
    }
    if (p.isSet(QStringLiteral("separator")) && separatorNamed(p.value(QStringLiteral("separator"))).isNull()) {
        return QStringLiteral("Unknown separator \"%1\"; give comma, semicolon or tab.")
            .arg(p.value(QStringLiteral("separator")));
    }
    if (p.isSet(QStringLiteral("encoding")) &&
        !QStringDecoder(p.value(QStringLiteral("encoding")).toLatin1()).isValid()) {
        return unknownEncodingMessage(p.value(QStringLiteral("encoding")));
    }
    return QString();
}

// How the user said the file is to be read.
ImportOptions importOptions(const QCommandLineParser& p) {
    ImportOptions options;
    options.encoding = p.value(QStringLiteral("encoding"));
    options.csvChoice.delimiter = separatorNamed(p.value(QStringLiteral("separator")));
    if (p.isSet(QStringLiteral("no-header"))) {
        options.csvChoice.header = false;
    }
    options.csvChoice.mapping = p.value(QStringLiteral("map"));
    return options;
}

// How long a FIFO may take to find a writer.
constexpr int importOpenWaitSeconds = 5;

int importCommand(Session& s, const QCommandLineParser& parser) {
    // Without a name that tells (standard input, a pipe), the content decides: see runImport.
    const int index = formatIndex(parser);
    const ImportFormat format = index < 0 ? ImportFormat::Text : static_cast<ImportFormat>(index);
    const QString path = parser.positionalArguments().constFirst();
    bool timedOut = false;
    const std::shared_ptr<QFile> opened = openImportSource(path, importOpenWaitSeconds * 1000, timedOut);
    if (timedOut) {
        return fail(QStringLiteral("%1 did not open within %2 seconds: no program writes to it.")
                        .arg(QDir::toNativeSeparators(path))
                        .arg(importOpenWaitSeconds));
    }
    if (!opened) {
        return fail(format == ImportFormat::Xml ? QStringLiteral("Could not load the XML data file for importing")
                                                : QStringLiteral("Could not open the import file."));
    }
    QFile& file = *opened;
    const bool dryRun = parser.isSet(QStringLiteral("dry-run"));
    ImportCallbacks callbacks;
    callbacks.previewed = [dryRun](const ImportPreview& preview) {
        if (dryRun || preview.recordCount() == 0) {
            writeOut(previewReport(preview));
            return;
        }
        if (!preview.formatNote().isEmpty()) {
            writeOut(preview.formatNote() + QLatin1Char('\n'));
        }
        // Which column went where, so a wrong guess is seen before it is searched for.
        if (!preview.columnMapping().isEmpty()) {
            writeOut(
                QStringLiteral("Columns: %1\n").arg(terminalSafe(preview.columnMapping().join(QStringLiteral("; ")))));
        }
    };
    callbacks.ownerFor = [&](ImportFormat found) { return ownerOfImport(s, parser, found); };
    callbacks.confirm = [dryRun](const ImportPreview& preview) {
        if (dryRun) {
            writeOut(QStringLiteral("%1 records read, %2 lines refused; nothing was stored (dry run).\n")
                         .arg(preview.recordCount())
                         .arg(preview.refusedCount()));
        }
        return !dryRun;
    };
    // Refused lines are told as they come.
    callbacks.refused = [](qsizetype line, const QString& reason) {
        writeOut(QStringLiteral("Line %1: %2\n").arg(line).arg(terminalSafe(reason)));
    };
    const ImportOutcome outcome =
        runImport(s.db, file, format, ownerOfImport(s, parser, format), callbacks, false, importOptions(parser));
    switch (outcome.status) {
    case ImportOutcome::Refused:
        if (outcome.format == ImportFormat::Csv && isCsvUnknownLayoutMessage(outcome.error)) {
            return fail(outcome.error + QStringLiteral(" Give them with --map, and --no-header when the first "
                                                       "line is a record."));
        }
        return fail(outcome.error);
    case ImportOutcome::NoRecords:
        return fail(outcome.error);
    case ImportOutcome::NotConfirmed:
        return Done;
    case ImportOutcome::NothingStored:
        return fail(QStringLiteral("Nothing was imported: %1.").arg(outcome.error));
    case ImportOutcome::Stored:
        break;
    }
    writeOut(importedMessage(outcome.imported, outcome.refused) + QLatin1Char('\n'));
    if (outcome.failed > 0) {
        return fail(QStringLiteral("%1 not stored: %2").arg(outcome.failed).arg(outcome.lastFailure));
    }
    return Done;
}

// Tells which weekday backups could not be rewritten with the file.
int reportBackups(const QStringList& problems) {
    for (const QString& problem : problems) {
        writeError(cliName + QStringLiteral(": backup not rewritten: ") + problem + QLatin1Char('\n'));
    }
    return problems.isEmpty() ? Done : Failed;
}

bool askPassword(const Session& s, const QString& prompt, QString& typed) {
    if (s.passwordFromStdin) {
        if (!readStandardInputLine(typed)) {
            fail(QStringLiteral("No password was given on standard input."));
            return false;
        }
        return true;
    }
    QString error;
    if (!askSecret(prompt, typed, error)) {
        fail(error);
        return false;
    }
    return true;
}

int passwordCommand(Session& s, const QCommandLineParser&) {
    QString password;
    QString confirmation;
    if (!askPassword(s, QStringLiteral("New password: "), password) ||
        !askPassword(s, QStringLiteral("Type the new password again: "), confirmation)) {
        return Failed;
    }
    const QString problem = newPasswordProblem(password, confirmation);
    wipeString(confirmation);
    if (!problem.isEmpty()) {
        wipeString(password);
        return fail(problem);
    }
    if (!s.key) {
        const Result saved = storePassword(s.folder.settingsFile, password, programKdfCost());
        wipeString(password);
        if (!saved.ok()) {
            return fail(QStringLiteral("The password was not changed: %1").arg(saved.error()));
        }
        writeOut(QStringLiteral("The program password was changed.\n"));
        return Done;
    }
    // An encrypted file is sealed again whole under a key from the new password and a new salt.
    const auto renewed = FileKey::derive(password, FileHeader::fresh(s.key->header().cost(), s.key->pageSize()));
    wipeString(password);
    if (!renewed) {
        return fail(QStringLiteral("The password was not changed: there is not enough memory to derive the key."));
    }
    if (const Result done = convertDatabaseFile(s.folder.databaseFile, s.key, renewed); !done) {
        return fail(QStringLiteral("The password was not changed: %1").arg(done.error()));
    }
    writeOut(QStringLiteral("The program password was changed and the database encrypted again with it.\n"));
    return reportBackups(convertBackups(s.folder.databaseFile, s.password, s.key, renewed));
}

int encryptCommand(Session& s, const QCommandLineParser&) {
    if (s.key) {
        return fail(QStringLiteral("The database is encrypted already."));
    }
    if (databaseKind(s.folder.databaseFile) != DatabaseKind::Plain) {
        return fail(QStringLiteral("There is no database to encrypt in %1.").arg(s.folder.databaseFile));
    }
    int pageSize = 4096;
    {
        Database db;
        if (db.open(s.folder.databaseFile, nullptr, true)) {
            pageSize = std::max(512, scalarQuery(db, QStringLiteral("PRAGMA page_size")).toInt());
        }
    }
    const auto key = FileKey::derive(s.password, FileHeader::fresh(programKdfCost(), pageSize));
    if (!key) {
        return fail(QStringLiteral("Nothing was encrypted: there is not enough memory to derive the key."));
    }
    if (const Result done = convertDatabaseFile(s.folder.databaseFile, nullptr, key); !done) {
        return fail(QStringLiteral("Nothing was encrypted: %1").arg(done.error()));
    }
    const Result removed =
        writeSetting(s.folder.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString());
    writeOut(QStringLiteral("The database is now encrypted with the program password.\n"));
    if (!removed.ok()) {
        writeError(cliName +
                   QStringLiteral(": warning: the password's fingerprint could not be removed from the "
                                  "settings: ") +
                   removed.error() + QLatin1Char('\n'));
    }
    return reportBackups(convertBackups(s.folder.databaseFile, s.password, nullptr, key));
}

int decryptCommand(Session& s, const QCommandLineParser& parser) {
    if (!s.key) {
        return fail(QStringLiteral("The database is not encrypted."));
    }
    if (!parser.isSet(QStringLiteral("yes"))) {
        return fail(QStringLiteral("Stored unencrypted, the database and its weekday backups can be read by anyone "
                                   "who can read the files, without the program password. Give --yes to do it."));
    }
    // The fingerprint first: a plain file is never left without a password.
    const QString fingerprint = passwordFingerprint(s.password, programKdfCost());
    const Result stored =
        fingerprint.isEmpty()
            ? Result::failure(QStringLiteral("there is not enough memory to make the password's fingerprint"))
            : writeSetting(s.folder.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, fingerprint);
    if (!stored.ok()) {
        return fail(QStringLiteral("Nothing was changed: %1").arg(stored.error()));
    }
    if (const Result done = convertDatabaseFile(s.folder.databaseFile, s.key, nullptr); !done) {
        // Put back as it was; should that fail too, the file still opens with the same password.
        (void)writeSetting(s.folder.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString());
        return fail(QStringLiteral("Nothing was changed: %1").arg(done.error()));
    }
    writeOut(QStringLiteral("The database is now stored unencrypted.\n"));
    return reportBackups(convertBackups(s.folder.databaseFile, s.password, s.key, nullptr));
}

QString checkEdit(const QCommandLineParser& parser) {
    const QString numbers = checkRecordArguments(parser);
    return numbers.isEmpty() ? checkSets(parser) : numbers;
}

// ---- keeper's tools: one-time codes, the clipboard, the generator, the estimate, the health report

// The record's one-time code now; false (reported) when it has none or its secret is malformed.
bool currentOneTimeCode(const SiteRecord& record, QString& code, int& secondsLeft) {
    const OneTimeCodeNow now = recordOneTimeCode(record, QDateTime::currentSecsSinceEpoch());
    if (!now.error.isEmpty()) {
        fail(QStringLiteral("Record %1: %2").arg(record[Col::Record], now.error));
        return false;
    }
    code = now.code;
    secondsLeft = now.secondsLeft;
    return true;
}

int totpCommand(Session& s, const QCommandLineParser& parser) {
    SiteRecord record;
    if (!findRecord(s, parser.positionalArguments().constFirst(), record)) {
        return Failed;
    }
    QString code;
    int left = 0;
    if (!currentOneTimeCode(record, code, left)) {
        return Failed;
    }
    writeOut(code + QLatin1Char('\n'));
    return Done;
}

QString checkClip(const QCommandLineParser& parser) {
    const QString field = parser.value(QStringLiteral("field"));
    if (parser.isSet(QStringLiteral("field")) && field != QLatin1String("password") &&
        field != QLatin1String("username") && field != QLatin1String("totp")) {
        return QStringLiteral("--field is password, username or totp, not \"%1\".").arg(field);
    }
    if (parser.isSet(QStringLiteral("seconds"))) {
        bool ok = false;
        const int seconds = parser.value(QStringLiteral("seconds")).toInt(&ok);
        if (!ok || seconds < 1 || seconds > MaxClipboardSeconds) {
            return QStringLiteral("--seconds is a number from 1 to %1.").arg(MaxClipboardSeconds);
        }
    }
    return checkRecordArguments(parser);
}

volatile std::sig_atomic_t interrupted = 0;

int clipCommand(Session& s, const QCommandLineParser& parser) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return fail(QStringLiteral("No clipboard is reachable: there is no graphical session (DISPLAY or "
                                   "WAYLAND_DISPLAY) to copy to."));
    }
    SiteRecord record;
    if (!findRecord(s, parser.positionalArguments().constFirst(), record)) {
        return Failed;
    }
    const QString field =
        parser.isSet(QStringLiteral("field")) ? parser.value(QStringLiteral("field")) : QStringLiteral("password");
    QString text;
    QString what;
    if (field == QLatin1String("totp")) {
        int left = 0;
        if (!currentOneTimeCode(record, text, left)) {
            return Failed;
        }
        what = QStringLiteral("one-time code");
    } else {
        const int column = field == QLatin1String("username") ? Col::UserName : Col::Password;
        text = record[column];
        what = record[column - 1].isEmpty() ? field : record[column - 1].toLower();
        if (text.isEmpty()) {
            return fail(QStringLiteral("Record %1 has no %2 to copy.").arg(record[Col::Record], what));
        }
    }
    // As long as the window would keep it there; the clipboard needs this process while it does.
    ProgramSettings settings;
    (void)loadSettings(s.folder.settingsFile, settings);
    const int seconds = parser.isSet(QStringLiteral("seconds")) ? parser.value(QStringLiteral("seconds")).toInt()
                        : settings.optClearClipboard            ? clipboardDelaySeconds(settings)
                                                                : 30;
    ClipboardKeeper keeper(Clock::steady());
    keeper.put(text, seconds * 1000);
    wipeString(text);
    writeOut(QStringLiteral("The %1 of record %2 is on the clipboard; it is cleared in %3 seconds (Ctrl+C "
                            "clears it now).\n")
                 .arg(what, record[Col::Record])
                 .arg(seconds));
    interrupted = 0;
    std::signal(SIGINT, [](int) { interrupted = 1; });
    std::signal(SIGTERM, [](int) { interrupted = 1; });
    while (keeper.isPending() && !interrupted) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(50);
    }
    keeper.clearNowIfPending();
    QCoreApplication::processEvents();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return Done;
}

// The character kinds of --kinds; empty (with the reason in error) when the list names another.
std::optional<PasswordRecipe> recipeOf(const QCommandLineParser& parser, QString& error) {
    PasswordRecipe recipe;
    if (parser.isSet(QStringLiteral("length"))) {
        bool ok = false;
        recipe.length = parser.value(QStringLiteral("length")).toInt(&ok);
        if (!ok || recipe.length < minimumGeneratedLength || recipe.length > maximumGeneratedLength) {
            error = QStringLiteral("--length is a number from %1 to %2.")
                        .arg(minimumGeneratedLength)
                        .arg(maximumGeneratedLength);
            return std::nullopt;
        }
    }
    if (parser.isSet(QStringLiteral("kinds"))) {
        recipe.lower = recipe.upper = recipe.digits = recipe.symbols = false;
        for (const QString& kind : parser.value(QStringLiteral("kinds")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString k = kind.trimmed().toLower();
            if (k == QLatin1String("lower")) {
                recipe.lower = true;
            } else if (k == QLatin1String("upper")) {
                recipe.upper = true;
            } else if (k == QLatin1String("digits")) {
                recipe.digits = true;
            } else if (k == QLatin1String("symbols")) {
                recipe.symbols = true;
            } else {
                error = QStringLiteral("--kinds is a list of lower, upper, digits and symbols, not \"%1\".").arg(kind);
                return std::nullopt;
            }
        }
        if (!recipe.lower && !recipe.upper && !recipe.digits && !recipe.symbols) {
            error = QStringLiteral("--kinds names no kind of character.");
            return std::nullopt;
        }
    }
    recipe.avoidLookAlikes = parser.isSet(QStringLiteral("no-lookalikes"));
    return recipe;
}

constexpr int minimumWords = 3;
constexpr int maximumWords = 20;

QString checkGenerate(const QCommandLineParser& parser) {
    if (parser.isSet(QStringLiteral("words"))) {
        bool ok = false;
        const int words = parser.value(QStringLiteral("words")).toInt(&ok);
        if (!ok || words < minimumWords || words > maximumWords) {
            return QStringLiteral("--words is a number from %1 to %2.").arg(minimumWords).arg(maximumWords);
        }
        if (parser.isSet(QStringLiteral("length")) || parser.isSet(QStringLiteral("kinds"))) {
            return QStringLiteral("--words makes a passphrase; --length and --kinds are for a password.");
        }
    }
    QString error;
    recipeOf(parser, error);
    return error;
}

int generateCommand(Session&, const QCommandLineParser& parser) {
    QString value;
    if (parser.isSet(QStringLiteral("words"))) {
        QFile file(QStringLiteral(":/words/eff_large_wordlist.txt"));
        const QStringList words = file.open(QIODevice::ReadOnly) ? readWordList(file.readAll()) : QStringList();
        if (words.isEmpty()) {
            return fail(QStringLiteral("The word list could not be read."));
        }
        value = generatePassphrase(parser.value(QStringLiteral("words")).toInt(), words, *QRandomGenerator::system());
    } else {
        QString error;
        value = generatePassword(*recipeOf(parser, error), *QRandomGenerator::system());
    }
    writeOut(value + QLatin1Char('\n'));
    wipeString(value);
    return Done;
}

int estimateCommand(Session&, const QCommandLineParser& parser) {
    QString password;
    if (!parser.positionalArguments().isEmpty()) {
        password = parser.positionalArguments().constFirst();
    } else if (!readStandardInputLine(password)) {
        return fail(QStringLiteral("No password given: name one, or give it on the first line of standard input."));
    }
    if (password.isEmpty()) {
        return fail(QStringLiteral("The password is empty."));
    }
    const PasswordStrength strength = passwordStrength(password);
    wipeString(password);
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject o{{QStringLiteral("level"), strength.level},
                      {QStringLiteral("bits"), std::round(strength.bits * 10) / 10},
                      {QStringLiteral("weak"), strength.weak()}};
        if (!strength.warning.isEmpty()) {
            o.insert(QStringLiteral("warning"), strength.warning);
        }
        writeOut(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
        return Done;
    }
    writeOut(QStringLiteral("Strength: %1\n").arg(strengthText(strength)));
    if (!strength.warning.isEmpty()) {
        writeOut(QStringLiteral("Warning: %1\n").arg(strength.warning));
    }
    return Done;
}

int analyzeCommand(Session& s, const QCommandLineParser& parser) {
    HealthRequest request;
    request.owner = parser.value(QStringLiteral("owner"));
    request.now = QDateTime::currentDateTimeUtc();
    request.breachList = parser.value(QStringLiteral("hibp"));
    const HealthReport report = checkPasswordHealth(s.db, request);
    if (!report.error.isEmpty()) {
        return fail(QStringLiteral("The passwords could not be checked: %1").arg(report.error));
    }
    writeOut(parser.isSet(QStringLiteral("json")) ? healthJson(report) : healthText(report, request.owner).toUtf8());
    return Done;
}

// ---- the table of commands ----------------------------------------------------------------

QList<Command> commands() {
    const QString owner = QStringLiteral("owner");
    const QString category = QStringLiteral("category");
    const QString json = QStringLiteral("json");
    const QString showPasswords = QStringLiteral("show-passwords");
    const QString set = QStringLiteral("set");
    const QString record = QStringLiteral("RECORD");
    return {
        {.name = QStringLiteral("list"),
         .synopsis = QStringLiteral("[--owner O] [--category C] [--json]"),
         .summary = QStringLiteral("List the records of an owner (or of every owner), as the window lists them."),
         .options = {owner, category, json, showPasswords},
         .run = listCommand},
        {.name = QStringLiteral("search"),
         .synopsis = QStringLiteral("[--owner O] [--category C] --field F --type T TEXT [--json]"),
         .summary = QStringLiteral("List the records whose field compares with TEXT, as the window's search does."),
         .options = {owner, category, QStringLiteral("field"), QStringLiteral("type"), json, showPasswords},
         .required = {QStringLiteral("field"), QStringLiteral("type")},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = QStringLiteral("TEXT"),
         .argumentHelp = QStringLiteral("The text compared with; % and _ match any text and any one character."),
         .check = checkSearch,
         .run = searchCommand},
        {.name = QStringLiteral("show"),
         .synopsis = QStringLiteral("RECORD [--json] [--show-passwords]"),
         .summary = QStringLiteral("Show one record whole."),
         .options = {json, showPasswords},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = record,
         .argumentHelp = QStringLiteral("The record's number, as list shows it."),
         .check = checkRecordArguments,
         .run = showCommand},
        {.name = QStringLiteral("add"),
         .synopsis = QStringLiteral("--owner O --category C --set COLUMN=VALUE ..."),
         .summary = QStringLiteral("Add a record and print its number."),
         .options = {owner, category, set},
         .required = {owner, category},
         .check = checkSets,
         .run = addCommand,
         .writes = true},
        {.name = QStringLiteral("edit"),
         .synopsis = QStringLiteral("RECORD --set COLUMN=VALUE ..."),
         .summary = QStringLiteral("Change columns of a record."),
         .options = {set},
         .required = {set},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = record,
         .argumentHelp = QStringLiteral("The record's number."),
         .check = checkEdit,
         .run = editCommand,
         .writes = true},
        {.name = QStringLiteral("delete"),
         .synopsis = QStringLiteral("RECORD ... [--erase [--yes]]"),
         .summary = QStringLiteral("Move records to the recycle bin (--erase: erase them for good, after asking "
                                   "unless --yes): all of them, or none when one is not there."),
         .options = {QStringLiteral("erase"), QStringLiteral("yes")},
         .minArguments = 1,
         .maxArguments = -1,
         .argumentName = record,
         .argumentHelp = QStringLiteral("The numbers of the records."),
         .check = checkRecordArguments,
         .run = deleteCommand,
         .writes = true},
        {.name = QStringLiteral("bin"),
         .synopsis = QStringLiteral("[--json] [--show-passwords]"),
         .summary = QStringLiteral("List the records in the recycle bin, newest first."),
         .options = {json, showPasswords},
         .run = binCommand},
        {.name = QStringLiteral("restore"),
         .synopsis = QStringLiteral("RECORD ..."),
         .summary = QStringLiteral("Bring records back from the recycle bin, under their old numbers when those are "
                                   "free: all of them, or none when one is not there."),
         .minArguments = 1,
         .maxArguments = -1,
         .argumentName = record,
         .argumentHelp = QStringLiteral("The numbers the records had."),
         .check = checkRecordArguments,
         .run = restoreCommand,
         .writes = true},
        {.name = QStringLiteral("empty-bin"),
         .synopsis = QStringLiteral("[--yes]"),
         .summary = QStringLiteral("Erase the records in the recycle bin for good, after asking unless --yes."),
         .options = {QStringLiteral("yes")},
         .run = emptyBinCommand,
         .writes = true},
        {.name = QStringLiteral("history"),
         .synopsis = QStringLiteral("RECORD [--json] [--show-passwords]"),
         .summary = QStringLiteral("List the versions of a record its saves replaced, newest first."),
         .options = {json, showPasswords},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = record,
         .argumentHelp = QStringLiteral("The record's number."),
         .check = checkRecordArguments,
         .run = historyCommand},
        {.name = QStringLiteral("import"),
         .synopsis = QStringLiteral("FILE [--format text|csv|xml|bookmarks] [--dry-run] [--map COLUMN=FIELD,...] "
                                    "[--no-header] [--separator S] [--encoding NAME]"),
         .summary = QStringLiteral("Add the records of a file, all in one go, and report every line refused."),
         .options = {QStringLiteral("format"), QStringLiteral("dry-run"), owner, QStringLiteral("map"),
                     QStringLiteral("no-header"), QStringLiteral("separator"), QStringLiteral("encoding")},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = QStringLiteral("FILE"),
         .argumentHelp = QStringLiteral("A text, CSV, XML or bookmark file, a pipe or FIFO, or - for standard "
                                        "input (after the password line with --password-stdin); CSV files of "
                                        "other programs are read by their header line."),
         .check = checkImportArguments,
         .run = importCommand,
         .writes = true},
        {.name = QStringLiteral("export"),
         .synopsis = QStringLiteral("FILE [--format text|csv|xml]"),
         .summary = QStringLiteral("Write every record to FILE; the extension is added when missing."),
         .options = {QStringLiteral("format")},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = QStringLiteral("FILE"),
         .argumentHelp = QStringLiteral("The file; replaced whole once written, new ones readable by you alone."),
         .check = [](const QCommandLineParser& p) { return checkFormat(p, 3); },
         .run = exportCommand},
        {.name = QStringLiteral("backup"),
         .synopsis = QStringLiteral("FILE"),
         .summary = QStringLiteral("Write a consistent copy of the database to FILE."),
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = QStringLiteral("FILE"),
         .argumentHelp = QStringLiteral("The copy; an existing file is replaced once the copy is whole."),
         .run = backupCommand},
        {.name = QStringLiteral("check"),
         .summary = QStringLiteral("Check the database: its integrity, its columns and its record numbers."),
         .options = {QStringLiteral("verbose")},
         .run = checkCommand,
         .opensDatabase = false},
        {.name = QStringLiteral("password"),
         .summary = QStringLiteral("Change the program password; the new one is asked twice (with "
                                   "--password-stdin: the current, the new and the new again, one a line). An "
                                   "encrypted database and its backups are encrypted again with it."),
         .run = passwordCommand,
         .opensDatabase = false},
        {.name = QStringLiteral("encrypt"),
         .summary = QStringLiteral("Encrypt the database and its weekday backups with the program password."),
         .run = encryptCommand,
         .opensDatabase = false},
        {.name = QStringLiteral("decrypt"),
         .synopsis = QStringLiteral("--yes"),
         .summary = QStringLiteral("Store the database and its weekday backups unencrypted again."),
         .options = {QStringLiteral("yes")},
         .run = decryptCommand,
         .opensDatabase = false},
        {.name = QStringLiteral("clip"),
         .synopsis = QStringLiteral("RECORD [--field password|username|totp] [--seconds N]"),
         .summary = QStringLiteral("Copy a record's password, user name or one-time code to the clipboard, marked "
                                   "secret, and clear it again after a while if it still holds it."),
         .options = {QStringLiteral("clip:field"), QStringLiteral("seconds")},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = record,
         .argumentHelp = QStringLiteral("The record number."),
         .check = checkClip,
         .run = clipCommand},
        {.name = QStringLiteral("totp"),
         .synopsis = record,
         .summary = QStringLiteral("Write a record's current one-time code."),
         .minArguments = 1,
         .maxArguments = 1,
         .argumentName = record,
         .argumentHelp = QStringLiteral("The record number."),
         .check = checkRecordArguments,
         .run = totpCommand},
        {.name = QStringLiteral("generate"),
         .synopsis = QStringLiteral("[--length N] [--kinds LIST] [--no-lookalikes] | --words N"),
         .summary = QStringLiteral("Make a password, or a passphrase, as the generator window does."),
         .options = {QStringLiteral("length"), QStringLiteral("words"), QStringLiteral("no-lookalikes"),
                     QStringLiteral("kinds")},
         .check = checkGenerate,
         .run = generateCommand,
         .opensDatabase = false,
         .needsPassword = false},
        {.name = QStringLiteral("estimate"),
         .synopsis = QStringLiteral("[PASSWORD] [--json]"),
         .summary = QStringLiteral("Estimate how hard a password is to guess: its level, its bits and what makes it "
                                   "weak. Without PASSWORD it is read from the first line of standard input."),
         .options = {json},
         .maxArguments = 1,
         .argumentName = QStringLiteral("PASSWORD"),
         .argumentHelp = QStringLiteral("The password (standard input keeps it out of the shell's history)."),
         .run = estimateCommand,
         .opensDatabase = false,
         .needsPassword = false},
        {.name = QStringLiteral("analyze"),
         .synopsis = QStringLiteral("[--owner O] [--hibp FILE] [--json]"),
         .summary = QStringLiteral("Report the weak, reused, empty and year-old passwords, and with --hibp those "
                                   "found in a breach list."),
         .options = {owner, QStringLiteral("hibp"), json},
         .check =
             [](const QCommandLineParser& p) {
                 const QString list = p.value(QStringLiteral("hibp"));
                 return p.isSet(QStringLiteral("hibp")) && !QFileInfo(list).isFile()
                            ? QStringLiteral("There is no breach list %1.").arg(list)
                            : QString();
             },
         .run = analyzeCommand},
    };
}

// ---- usage and help ------------------------------------------------------------------------

QString usageLine(const Command* command) {
    QString line = QStringLiteral("Usage: ") + cliName + QLatin1Char(' ') + globalSynopsis;
    if (!command) {
        return line + QStringLiteral(" COMMAND [ARGS]\n");
    }
    line += QLatin1Char(' ') + command->name;
    if (!command->synopsis.isEmpty()) {
        line += QLatin1Char(' ') + command->synopsis;
    }
    return line + QLatin1Char('\n');
}

// Qt's help text with our own usage line in place of its first one.
QString helpWithUsage(const QCommandLineParser& parser, const Command* command) {
    const QString text = parser.helpText();
    return usageLine(command) + text.mid(text.indexOf(QLatin1Char('\n')) + 1);
}

int usageError(const QString& reason, const Command* command) {
    QString text = cliName + QStringLiteral(": ") + reason + QLatin1Char('\n') + usageLine(command);
    text += QStringLiteral("Try '%1%2 --help' for more.\n")
                .arg(cliName, command ? QLatin1Char(' ') + command->name : QString());
    writeError(text);
    return WrongUsage;
}

QString programHelp(const QCommandLineParser& parser, const QList<Command>& list) {
    QString text = helpWithUsage(parser, nullptr);
    text += QStringLiteral("\nCommands:\n");
    for (const Command& c : list) {
        text += QStringLiteral("  %1 %2\n      %3\n").arg(c.name, c.synopsis, c.summary);
    }
    text += QStringLiteral("\n'%1 COMMAND --help' tells more of each command.\n"
                           "Exit status: 0 done, 1 failed (the reason on standard error), 2 wrong usage.\n")
                .arg(cliName);
    return text;
}

// The program password, asked before any command touches the records: an encrypted database is
// opened with it, a plain one's fingerprint checked.
bool unlock(Session& s) {
    if (!programPasswordExists(s.folder)) {
        fail(QStringLiteral("No program password is set in %1. Start Quillbox (the window program) there once to "
                            "choose one.")
                 .arg(QDir::toNativeSeparators(s.folder.currentFolder)));
        return false;
    }
    if (!askPassword(s, QStringLiteral("Quillbox password: "), s.password)) {
        return false;
    }
    PasswordCheck check = checkProgramPassword(s.folder, s.password, programKdfCost);
    if (!check.passed) {
        fail(check.error);
        return false;
    }
    s.key = std::move(check.key);
    if (!check.storeError.isEmpty()) {
        writeError(cliName + QStringLiteral(": warning: ") + check.storeError + QLatin1Char('\n'));
    }
    return true;
}

} // namespace

int run(const QStringList& arguments) {
    const QList<Command> list = commands();
    QCommandLineParser global;
    global.setApplicationDescription(
        QStringLiteral("Quillbox from a terminal: the records, their files and the program password of a working "
                       "folder, through the same core as the window program."));
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    global.addOption(folderOption());
    global.addOption(passwordStdinOption());
    global.addOption(helpOption());
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version."));
    global.addOption(versionOption);
    global.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands below."),
                                 QStringLiteral("COMMAND [ARGS]"));
    if (!global.parse(arguments)) {
        return usageError(global.errorText(), nullptr);
    }
    if (global.isSet(QStringLiteral("help"))) {
        writeOut(programHelp(global, list));
        return Done;
    }
    if (global.isSet(versionOption)) {
        writeOut(cliName + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return Done;
    }
    const QStringList positional = global.positionalArguments();
    if (positional.isEmpty()) {
        return usageError(QStringLiteral("No command given."), nullptr);
    }
    const Command* command = nullptr;
    for (const Command& c : list) {
        if (c.name == positional.constFirst()) {
            command = &c;
        }
    }
    if (!command) {
        return usageError(QStringLiteral("Unknown command \"%1\".").arg(positional.constFirst()), nullptr);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(command->summary);
    parser.addOption(folderOption());
    parser.addOption(passwordStdinOption());
    parser.addOption(helpOption());
    for (const QString& name : command->options) {
        parser.addOption(commandOption(name));
    }
    if (!command->argumentName.isEmpty()) {
        parser.addPositionalArgument(command->argumentName, command->argumentHelp,
                                     command->maxArguments < 0 ? command->argumentName + QStringLiteral("...")
                                                               : command->argumentName);
    }
    if (!parser.parse(QStringList{arguments.value(0)} + positional.mid(1))) {
        return usageError(parser.errorText(), command);
    }
    if (parser.isSet(QStringLiteral("help"))) {
        writeOut(helpWithUsage(parser, command));
        return Done;
    }
    const qsizetype count = parser.positionalArguments().size();
    if (count < command->minArguments) {
        return usageError(QStringLiteral("%1 is missing.").arg(command->argumentName), command);
    }
    if (command->maxArguments >= 0 && count > command->maxArguments) {
        return usageError(QStringLiteral("Too many arguments."), command);
    }
    for (const QString& name : command->required) {
        if (!parser.isSet(name)) {
            return usageError(QStringLiteral("--%1 is missing.").arg(name), command);
        }
    }
    if (command->check) {
        const QString problem = command->check(parser);
        if (!problem.isEmpty()) {
            return usageError(problem, command);
        }
    }

    Session session;
    if (!command->needsPassword) {
        return command->run(session, parser);
    }
    const QString folder = parser.isSet(QStringLiteral("folder"))   ? parser.value(QStringLiteral("folder"))
                           : global.isSet(QStringLiteral("folder")) ? global.value(QStringLiteral("folder"))
                                                                    : QDir::currentPath();
    if (!QFileInfo(folder).isDir()) {
        return fail(QStringLiteral("There is no folder %1.").arg(folder));
    }
    session.folder = WorkingFolder::at(folder);
    session.passwordFromStdin =
        global.isSet(QStringLiteral("password-stdin")) || parser.isSet(QStringLiteral("password-stdin"));
    if (!unlock(session)) {
        return Failed;
    }
    if (command->opensDatabase) {
        const OpenResult opened = openDatabase(session.db, session.folder.databaseFile, session.key);
        if (!opened.ok) {
            return fail(opened.text);
        }
        if (command->writes) {
            if (const QString problem = integrityProblem(session.db); !problem.isEmpty()) {
                return fail(QStringLiteral("The database file fails its check (%1); nothing was written. '%2 check' "
                                           "tells more.")
                                .arg(problem, cliName));
            }
        }
    }
    return command->run(session, parser);
}

} // namespace quillbox::cli
