// Quillbox benchmarks: the real code paths on generated data, each figure the median of several runs.
#include "support/SampleRecords.h"

#include "app/AppState.h"
#include "app/Ids.h"
#include "app/Program.h"
#include "crypt/FileKey.h"
#include "dataform/DataFormController.h"
#include "health/BreachList.h"
#include "health/PasswordHealth.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/Password.h"
#include "settings/PasswordWindow.h"
#include "settings/ProgramSettings.h"
#include "store/DatabaseFile.h"
#include "store/FileConversion.h"
#include "store/RecordHistory.h"
#include "store/SearchCopy.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "store/WorkingFolder.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportPreviewWindow.h"
#include "transfer/ImportRead.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

using namespace quillbox;

namespace {

constexpr int runs = 5;
// `quillbox_bench [part of a measure's name] [records]` runs only the matching rows, for a profiler.
QString only;
int onlySize = 0;
bool wanted(const char* name) {
    return only.isEmpty() || QString::fromLatin1(name).contains(only, Qt::CaseInsensitive);
}
const QString benchPassword = QStringLiteral("bench-password-1");

// A figure measured on a failed operation would mean nothing: the bench stops instead.
void mustSucceed(const Result& result, const char* what) {
    if (!result) {
        std::fprintf(stderr, "could not %s: %s\n", what, qPrintable(result.error()));
        std::exit(1);
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeMs(const std::function<void()>& setUp, const std::function<void()>& measured) {
    std::vector<double> samples;
    double total = 0;
    for (int i = 0; i < runs; ++i) {
        // A measure of seconds is steady enough over three runs; the million-record run stays short.
        if (i == 3 && total > 3000) {
            break;
        }
        if (setUp) {
            setUp();
        }
        QElapsedTimer t;
        t.start();
        measured();
        samples.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        total += samples.back();
    }
    return median(samples);
}

// SQLite alone: prepare, step every row, read every column as text.
double floorMs(const QString& databaseFile, const QString& statement, int* rows) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(databaseFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = statement.toUtf8();
    const double ms = timeMs(nullptr, [&] {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
        int n = 0;
        size_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const int columns = sqlite3_column_count(stmt);
            for (int c = 0; c < columns; ++c) {
                const unsigned char* text = sqlite3_column_text(stmt, c);
                bytes += text ? static_cast<size_t>(sqlite3_column_bytes(stmt, c)) : 0;
            }
            ++n;
        }
        sqlite3_finalize(stmt);
        *rows = n;
        if (bytes == 0 && n > 0) {
            std::puts("");
        }
    });
    sqlite3_close(db);
    return ms;
}

struct Folder {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    // With a key the database is encrypted with it, and the settings keep no fingerprint; without,
    // the fingerprint costs what cost says (a cheap one keeps the start-up rows about the list).
    explicit Folder(const QList<SiteRecord>& records, const std::shared_ptr<const FileKey>& key = {},
                    const KdfCost& cost = {1, MinKdfMemoryMiB}) {
        QDir::setCurrent(dir.path());
        QDir().mkpath(QStringLiteral("System"));
        const WorkingFolder paths = WorkingFolder::at(dir.path());
        const QString error = sample::writeDatabase(paths.databaseFile, records);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "the sample database could not be written: %s\n", qPrintable(error));
            std::exit(1);
        }
        if (key) {
            mustSucceed(convertDatabaseFile(paths.databaseFile, nullptr, key), "encrypt the sample database");
        }
        ProgramSettings s = defaultSettings();
        s.passwordFingerprint = key ? QString() : passwordFingerprint(benchPassword, cost);
        s.optFading = 0;
        s.optTitleClock = 0;
        s.lastOwner = sample::mainOwner;
        mustSucceed(saveSettings(paths.settingsFile, s), "write the settings");
    }
    // A copy of another folder's files: a fresh database without writing every record again.
    explicit Folder(const Folder& source) {
        for (const QString& sub : {QStringLiteral("Database"), QStringLiteral("System")}) {
            const QDir from(QDir(source.dir.path()).filePath(sub));
            QDir(dir.path()).mkpath(sub);
            for (const QString& name : from.entryList(QDir::Files | QDir::Hidden)) {
                if (!QFile::copy(from.filePath(name), QDir(dir.path()).filePath(sub + QLatin1Char('/') + name))) {
                    std::fprintf(stderr, "the sample folder could not be copied\n");
                    std::exit(1);
                }
            }
        }
        QDir::setCurrent(dir.path());
    }
    ~Folder() { QDir::setCurrent(previous); }
};

struct Running {
    AppState state;
    std::unique_ptr<Program> program;
    // When the start-up password was taken: its check (the key derivation) done.
    QElapsedTimer passwordTaken;
    Running() {
        state.seams = Seams::production();
        state.seams.messageBox = [](const QString& title, const QString& text, MessageIcon) {
            std::fprintf(stderr, "box: %s: %s\n", qPrintable(title), qPrintable(text));
        };
        state.seams.trayAvailable = [] { return false; };
        // Questions (delete these records?) are answered with their first button.
        state.seams.ask = [](const QString&, const QString&, const QStringList&) { return 0; };
        // The start-up password is typed at once, as a quick user would.
        state.seams.modalLoop = [this](QWidget* window, const std::function<bool()>& done) {
            auto* prompt = qobject_cast<PasswordWindow*>(window);
            if (!prompt || done()) {
                return;
            }
            QLineEdit* entry = prompt->field(prompt->firstField());
            entry->setText(benchPassword);
            // The prompt is the active window, so Return goes to it, not to a main window's shortcut.
            prompt->activateWindow();
            QCoreApplication::processEvents();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(entry, &press);
            passwordTaken.start();
            if (!done()) {
                std::fprintf(stderr, "the start-up password was not taken\n");
            }
        };
        // The import preview is answered at once, as a user pressing Import.
        state.seams.importPreview = [](const ImportPreview&, bool, QWidget*) { return PreviewAnswer::Import; };
        // The file requester answers with the file and pattern the case has chosen.
        state.seams.fileRequester = [this](const QString&, const QString&, const QString& patterns,
                                           QString* selectedFilter, bool) {
            if (selectedFilter) {
                *selectedFilter = patterns.split(QStringLiteral(";;")).value(filePattern);
            }
            return filePath;
        };
        program = std::make_unique<Program>(state);
        if (!program->startUp()) {
            std::fprintf(stderr, "the program did not start\n");
            std::exit(1);
        }
        QCoreApplication::processEvents();
    }
    MainWindow* main() const { return program->mainWindow(); }
    void run(int slot, const QString& path, int pattern) {
        filePath = path;
        filePattern = pattern;
        program->command(Id::MenuItemOfSlot[slot]);
    }
    QString filePath;
    int filePattern = 0;
    void paint() const { main()->recordList()->viewport()->repaint(); }
};

// SQLite alone storing the records: the program's insert statements, prepared from their text and
// stepped one by one in a single transaction, into an empty table.
double insertFloorMs(const QList<SiteRecord>& records) {
    QStringList statements;
    for (const SiteRecord& r : records) {
        statements << buildInsertStatement(quotedFields(r));
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("floor.db"));
    sqlite3* db = nullptr;
    const double ms = timeMs(
        [&] {
            sqlite3_close(db);
            QFile::remove(file);
            sqlite3_open(file.toUtf8().constData(), &db);
            sqlite3_exec(db, createTableStatement().toUtf8().constData(), nullptr, nullptr, nullptr);
        },
        [&] {
            sqlite3_exec(db, "Begin Transaction", nullptr, nullptr, nullptr);
            for (const QString& statement : statements) {
                sqlite3_stmt* stmt = nullptr;
                const QByteArray sql = statement.toUtf8();
                sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &stmt, nullptr);
                sqlite3_step(stmt);
                sqlite3_finalize(stmt);
            }
            sqlite3_exec(db, "Commit", nullptr, nullptr, nullptr);
        });
    sqlite3_close(db);
    return ms;
}

// A browser's bookmark file with one bookmark per record, a description under every other one.
void writeBookmarkFile(const QString& path, const QList<SiteRecord>& records) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                     "charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
    for (qsizetype i = 0; i < records.size(); ++i) {
        const SiteRecord& r = records[i];
        out += "    <DT><A HREF=\"https://site" + QByteArray::number(i) +
               ".example/?a=1&amp;b=2\" ADD_DATE=\"1700000000\">" + r[Col::SiteName].toHtmlEscaped().toUtf8() +
               "</A>\n";
        if (i % 2 == 0) {
            out += "    <DD>" + r[Col::UserName].toHtmlEscaped().toUtf8() + "\n";
        }
    }
    out += "</DL><p>\n";
    file.write(out);
}

void printRow(const char* name, int size, int rows, double program, double floor) {
    std::printf("%-48s %9d %9d %9.1f", name, size, rows, program);
    if (floor > 0) {
        std::printf(" %7.1f %8.2f", floor, program / floor);
    }
    std::printf("\n");
}

// Export to the three formats from the running program, then import the CSV and text files into
// an empty one, each through its command as the user gives it.
void transferCases(int size, const QList<SiteRecord>& records, Running& running, const QString& folder) {
    const char* exportNames[] = {"export to text", "export to CSV", "export to XML"};
    const char* extensions[] = {"txt", "csv", "xml"};
    int rows = 0;
    const double readFloor = floorMs(running.state.files.databaseFile, QStringLiteral("SELECT * FROM quillbox"), &rows);
    // The imports read the files the exports write.
    const bool importing = wanted("import from CSV") || wanted("import from text") || wanted("import from XML") ||
                           wanted("import from bookmarks");
    for (int pattern = 0; pattern < 3; ++pattern) {
        if (!wanted(exportNames[pattern]) && !importing) {
            continue;
        }
        const QString path = QDir(folder).filePath(QStringLiteral("export.") + QLatin1String(extensions[pattern]));
        const double ms = timeMs(nullptr, [&] { running.run(Id::Slot::Export, path, pattern); });
        if (wanted(exportNames[pattern])) {
            // The floor: the read of the table and one write of the very bytes exported, made
            // durable as the program makes its file (a file the next power cut could empty is not
            // written). The write into the page cache alone is shown beside it.
            QFile exported(path);
            exported.open(QIODevice::ReadOnly);
            const QByteArray bytes = exported.readAll();
            const QString copy = path + QStringLiteral(".floor");
            const auto writeCopy = [&](bool durable) {
                return timeMs([&] { QFile::remove(copy); },
                              [&] {
                                  QFile out(copy);
                                  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
                                      !out.flush() || (durable && ::fsync(out.handle()) != 0)) {
                                      std::fprintf(stderr, "%s: the floor's copy could not be written\n",
                                                   exportNames[pattern]);
                                  }
                              });
            };
            const double writeMs = writeCopy(false);
            const double durableMs = writeCopy(true);
            QFile::remove(copy);
            printRow(exportNames[pattern], size, rows, ms, readFloor + durableMs);
            std::printf("%-48s %9d %9.1f MB, read %.1f ms + durable write %.1f ms\n",
                        "  floor: read and durable write of the bytes", size,
                        static_cast<double>(bytes.size()) / 1048576.0, readFloor, durableMs);
            std::printf("%-48s %9d %9s %9.1f %7.1f %8.2f\n", "  beside read and a write into the page cache", size, "",
                        ms, readFloor + writeMs, ms / (readFloor + writeMs));
        }
    }
    if (!importing) {
        return;
    }
    const double insertFloor = insertFloorMs(records);
    const struct {
        const char* name;
        const char* extension;
        int pattern;
        ImportFormat format;
    } imports[] = {{"import from CSV", "csv", 1, ImportFormat::Csv},
                   {"import from text", "txt", 0, ImportFormat::Text},
                   {"import from XML", "xml", 2, ImportFormat::Xml},
                   {"import from bookmarks", "html", 3, ImportFormat::Bookmarks}};
    writeBookmarkFile(QDir(folder).filePath(QStringLiteral("export.html")), records);
    for (const auto& c : imports) {
        if (!wanted(c.name)) {
            continue;
        }
        const QString path = QDir(folder).filePath(QStringLiteral("export.") + QLatin1String(c.extension));
        std::unique_ptr<Folder> empty;
        std::unique_ptr<Running> fresh;
        const double ms = timeMs(
            [&] {
                fresh.reset();
                empty.reset();
                empty = std::make_unique<Folder>(QList<SiteRecord>());
                fresh = std::make_unique<Running>();
            },
            [&] { fresh->run(Id::Slot::Import, path, c.pattern); });
        // After the import the list is the shown owner's records, every one of them.
        const int listed = fresh->main()->model()->rowCount();
        const int owners =
            scalarQuery(fresh->state.database, QStringLiteral("SELECT count(*) FROM quillbox WHERE owner = '%1'")
                                                   .arg(sqlQuote(fresh->main()->ownerBox()->currentText())))
                .toInt();
        if (listed != owners) {
            std::fprintf(stderr, "%s: %d rows listed of the owner's %d\n", c.name, listed, owners);
        }
        fresh.reset();
        empty.reset();
        printRow(c.name, size, listed, ms, insertFloor);
        // One reading pass alone, into the preview: the reader's own speed, without the inserts.
        ImportPreview preview;
        const double readMs = timeMs(nullptr, [&] {
            preview = ImportPreview();
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            readImport(file, c.format, QStringLiteral("Bench"), preview);
        });
        std::printf("%-48s %9d %9lld %9.1f %9.0f records/s, %.0f MB/s\n", "  one reading pass", size,
                    static_cast<long long>(preview.recordCount()), readMs, preview.recordCount() / (readMs / 1000.0),
                    static_cast<double>(QFileInfo(path).size()) / 1048576.0 / (readMs / 1000.0));
        std::printf("%-48s %9d %9d %9.0f records/s, %.0f MB/s\n", "  whole import, read and stored", size, listed,
                    listed / (ms / 1000.0), static_cast<double>(QFileInfo(path).size()) / 1048576.0 / (ms / 1000.0));
        if (size >= 10000) {
            // Peak memory of a fresh program importing the file: it grows with what the preview
            // keeps of the records (their values, up to its limit), not with the file's markup.
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--import-memory"), path, QString::number(c.pattern)});
            child.waitForFinished(600000);
            const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
            if (parts.size() == 4) {
                std::printf("%-48s %9d %9s %9.1f MB (file %.1f MB)\n", "  peak resident memory of the import", size,
                            parts[0].constData(), parts[1].toDouble() / 1024.0,
                            static_cast<double>(QFileInfo(path).size()) / 1048576.0);
                std::printf("%-48s %9d %9s %9.1f MB\n", "  of it when stored, before the list's copy", size,
                            parts[0].constData(), parts[2].toDouble() / 1024.0);
                // The bench's own process has written and read gigabytes by now; a program
                // started for the import alone (one run) shows what that costs the figure above.
                std::printf("%-48s %9d %9s %9.1f\n", "  the import in a program of its own (one run)", size,
                            parts[0].constData(), parts[3].toDouble());
            }
        }
    }
}

// Tag all and delete: every listed record goes in one transaction, the list emptied, the count shown.
void deleteCase(int size, const Folder& source) {
    if (!wanted("tag all and delete")) {
        return;
    }
    std::unique_ptr<Folder> folder;
    std::unique_ptr<Running> running;
    int listed = 0;
    const double ms = timeMs(
        [&] {
            running.reset();
            folder.reset();
            folder = std::make_unique<Folder>(source);
            running = std::make_unique<Running>();
            listed = running->main()->model()->rowCount();
        },
        [&] {
            running->run(Id::Slot::TagAll, QString(), 0);
            running->run(Id::Slot::DeleteRecords, QString(), 0);
        });
    if (running->main()->model()->rowCount() != 0) {
        std::fprintf(stderr, "tag all and delete: %d rows left\n", running->main()->model()->rowCount());
    }
    // Undo (Ctrl+Z) brings them back from the bin, the list refilled.
    const double undo = timeMs(nullptr, [&] {
        running->run(Id::Slot::Undo, QString(), 0);
        running->run(Id::Slot::TagAll, QString(), 0);
        running->run(Id::Slot::DeleteRecords, QString(), 0);
    });
    // The delete of before, as it ran: the same rows erased, a few hundred a statement in the
    // list's order, in one transaction, then taken out of the list the same way.
    const double erase = timeMs(
        [&] {
            running.reset();
            folder.reset();
            folder = std::make_unique<Folder>(source);
            running = std::make_unique<Running>();
        },
        [&] {
            running->run(Id::Slot::TagAll, QString(), 0);
            RecordModel* model = running->main()->model();
            const QList<int> rows = running->main()->selectedRows();
            QStringList numbers;
            for (int row : rows) {
                numbers.append(model->cell(row, RecordModel::Record));
            }
            Database& db = running->state.database;
            Transaction transaction(db);
            transaction.begin();
            for (qsizetype i = 0; i < numbers.size(); i += 500) {
                db.execute(deleteRecordsStatement(numbers.mid(i, 500)));
            }
            transaction.commit();
            model->removeRowList(rows);
        });
    running.reset();
    folder.reset();
    printRow("tag all and erase, the delete of before", size, listed, erase, 0);
    printRow("tag all and delete into the recycle bin", size, listed, ms, erase);
    // The undo's figure held the delete again; the delete's median is taken off.
    printRow("undo of it (Ctrl+Z), the list filled again", size, listed, undo - ms, erase);
}

// The encrypted database beside the plain one, in one run: the key derivation, start-up after the
// password, a keystroke's search, one record saved, an import, and the size of the file.
void encryptionCases(int size, const QList<SiteRecord>& records) {
    const char* rows[] = {"start-up after the password, %s",
                          "search copy ready after the password, %s",
                          "search keystroke (all fields, 'e'), %s",
                          "save one record, %s",
                          "import from CSV, %s",
                          "search copy loaded (two threads), %s"};
    constexpr int rowCount = 6;
    // Each row runs alone when its name is asked for, for a profiler.
    const auto row = [&](int r) {
        char text[96];
        std::snprintf(text, sizeof text, rows[r], "plain");
        if (wanted(text)) {
            return true;
        }
        std::snprintf(text, sizeof text, rows[r], "encrypted");
        return wanted(text);
    };
    bool any = wanted("encrypted") || wanted("key derivation") || wanted("database file");
    for (int r = 0; r < rowCount; ++r) {
        any = any || row(r);
    }
    if (!any) {
        return;
    }
    const KdfCost cost = programKdfCost();
    char name[96];
    std::snprintf(name, sizeof name, "key derivation (Argon2id, %d MiB, %d passes)", cost.memoryMiB, cost.passes);
    const FileHeader header = FileHeader::fresh(cost, 4096);
    const double derive = timeMs(nullptr, [&] { FileKey::derive(benchPassword, header); });
    printRow(name, size, 0, derive, 0);
    const auto key = FileKey::derive(benchPassword, header);

    Folder plain(records, nullptr, cost);
    QDir::setCurrent(plain.previous);
    Folder encrypted(records, key);
    QDir::setCurrent(plain.previous);
    struct Kind {
        const char* label;
        Folder& folder;
        std::shared_ptr<const FileKey> key;
    } kinds[] = {{"plain", plain, nullptr}, {"encrypted", encrypted, key}};
    double figures[2][rowCount + 1] = {};
    for (int k = 0; k < 2; ++k) {
        Kind& kind = kinds[k];
        const WorkingFolder paths = WorkingFolder::at(kind.folder.dir.path());
        figures[k][rowCount] = static_cast<double>(QFileInfo(paths.databaseFile).size());
        // Start-up from the password taken (the key derived) to the list painted, and to the search
        // copy loaded.
        if (row(0) || row(1)) {
            std::vector<double> afterPassword;
            std::vector<double> copyReady;
            for (int run = 0; run < runs; ++run) {
                QDir::setCurrent(kind.folder.dir.path());
                Running started;
                started.paint();
                afterPassword.push_back(static_cast<double>(started.passwordTaken.nsecsElapsed()) / 1e6);
                started.program->searchCopy().sync();
                copyReady.push_back(static_cast<double>(started.passwordTaken.nsecsElapsed()) / 1e6);
            }
            figures[k][0] = median(afterPassword);
            figures[k][1] = median(copyReady);
        }
        if (row(2)) {
            QDir::setCurrent(kind.folder.dir.path());
            Running running;
            MainWindow* main = running.main();
            const auto empty = [&] {
                main->searchText()->setText(QStringLiteral("\x01"));
                QCoreApplication::sendPostedEvents();
            };
            figures[k][2] = timeMs(empty, [&] {
                main->searchText()->setText(QStringLiteral("e"));
                QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
                running.paint();
            });
        }
        QDir::setCurrent(kind.folder.previous);
        // One record saved as the data form saves it: one statement, committed to the disk.
        if (row(3)) {
            Database db;
            db.open(paths.databaseFile, kind.key);
            SiteRecord record = records.value(size / 2);
            int n = 0;
            figures[k][3] = timeMs(nullptr, [&] {
                record[Col::Password] = QStringLiteral("changed-%1").arg(++n);
                db.execute(buildUpdateStatement(quotedFields(record), QString::number(size / 2 + 1)));
            });
        }
        if (row(5)) {
            // The copy alone, as start-up reads it: two threads, each its own connection.
            figures[k][5] = timeMs(nullptr, [&] {
                SearchCopy copy;
                copy.loadInBackground(paths.databaseFile, kind.key);
                Database db;
                db.open(paths.databaseFile, kind.key, true);
                copy.attach(db.handle(), kind.key);
                copy.sync();
            });
        }
        if (!row(4)) {
            continue;
        }
        // The records imported into an empty database from a CSV file, through the window's command.
        const QString csv = QDir(kind.folder.dir.path()).filePath(QStringLiteral("records.csv"));
        {
            QDir::setCurrent(kind.folder.dir.path());
            Running running;
            running.run(Id::Slot::Export, csv, 1);
            QDir::setCurrent(kind.folder.previous);
        }
        std::unique_ptr<Folder> emptyFolder;
        std::unique_ptr<Running> fresh;
        figures[k][4] = timeMs(
            [&] {
                fresh.reset();
                emptyFolder.reset();
                emptyFolder =
                    std::make_unique<Folder>(QList<SiteRecord>(), kind.key ? sample::cheapKey(benchPassword) : nullptr);
                fresh = std::make_unique<Running>();
            },
            [&] { fresh->run(Id::Slot::Import, csv, 1); });
        if (fresh->main()->model()->rowCount() != size) {
            std::fprintf(stderr, "encrypted import: %d rows listed\n", fresh->main()->model()->rowCount());
        }
        fresh.reset();
        emptyFolder.reset();
    }
    for (int r = 0; r < rowCount; ++r) {
        if (!row(r)) {
            continue;
        }
        for (int k = 0; k < 2; ++k) {
            std::snprintf(name, sizeof name, rows[r], kinds[k].label);
            printRow(name, size, size, figures[k][r], k == 1 ? figures[0][r] : 0);
        }
    }
    std::printf("%-48s %9d %9s %9.1f MB\n", "database file, plain", size, "", figures[0][rowCount] / 1048576.0);
    std::printf("%-48s %9d %9s %9.1f MB %7s %7.2f%%\n", "database file, encrypted", size, "",
                figures[1][rowCount] / 1048576.0, "", (figures[1][rowCount] / figures[0][rowCount] - 1) * 100);
    if (row(0)) {
        std::printf("%-48s %9d %9s %9.1f ms, at most 800 (list shown), %.1f ms, at most 1500 (copy ready)\n",
                    "  encrypted start-up against the goal", size, "", figures[1][0], figures[1][1]);
    }
}

// The recycle bin beside the erase it replaced: the main owner's records (about 96 %) deleted
// into the bin and erased, then restored; one save with its history kept and without.
void binCases(int size, const QString& databaseFile) {
    if (!wanted("recycle bin")) {
        return;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bin.ptk"));
    const auto fresh = [&] {
        QFile::remove(file);
        QFile::copy(databaseFile, file);
    };
    QStringList numbers;
    {
        Database db;
        db.open(databaseFile, nullptr, true);
        Query query(db, QStringLiteral("SELECT record FROM quillbox WHERE owner='%1'").arg(sample::mainOwner));
        while (query.next()) {
            numbers << query.text(0);
        }
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::unique_ptr<Database> db;
    const auto open = [&] {
        db.reset();
        fresh();
        db = std::make_unique<Database>();
        db->open(file);
    };
    const double erase = timeMs(open, [&] { mustSucceed(deleteRecords(*db, numbers), "erase"); });
    printRow("the statements alone: erase", size, static_cast<int>(numbers.size()), erase, 0);
    QList<qint64> entries;
    const double bin = timeMs(open, [&] { mustSucceed(moveToBin(*db, numbers, now, &entries), "move to the bin"); });
    printRow("the statements alone: into the recycle bin", size, static_cast<int>(numbers.size()), bin, erase);
    const double restore = timeMs(
        [&] {
            open();
            mustSucceed(moveToBin(*db, numbers, now, &entries), "move to the bin");
        },
        [&] { mustSucceed(restoreFromBin(*db, entries), "restore"); });
    printRow("the statements alone: restore from the bin", size, static_cast<int>(entries.size()), restore, erase);
    // One record saved as the form saves it, its version kept or not.
    open();
    SiteRecord record = *storedRecord(*db, numbers.value(numbers.size() / 2));
    int n = 0;
    const QString number = record[Col::Record];
    const double plain = timeMs(nullptr, [&] {
        record[Col::Password] = QStringLiteral("changed-%1").arg(++n);
        db->execute(buildUpdateStatement(quotedFields(record), number));
    });
    const double kept = timeMs(nullptr, [&] {
        record[Col::Password] = QStringLiteral("changed-%1").arg(++n);
        mustSucceed(saveWithHistory(*db, quotedFields(record), number, now, 10), "save with history");
    });
    printRow("save one record, no history", size, 1, plain, 0);
    printRow("save one record, its version kept", size, 1, kept, plain);
    db.reset();
}

struct SearchCase {
    const char* name;
    int field;
    int comparison;
    const char* text;
};

long peakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// A breach list of about `bytes` bytes in the public layout, sorted: evenly spaced made-up hashes,
// with the hashes of `known` passwords among them (each seen 7 times).
void writeBreachList(const QString& path, qint64 bytes, const QStringList& known) {
    QList<QByteArray> inserted;
    for (const QString& password : known) {
        inserted.append(breachHash(password));
    }
    std::sort(inserted.begin(), inserted.end());
    const quint64 lines = static_cast<quint64>(bytes / 48);
    const quint64 step = std::numeric_limits<quint64>::max() / lines;
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out) {
        std::fprintf(stderr, "the breach list could not be written\n");
        std::exit(1);
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
    qsizetype next = 0;
    char line[64];
    for (quint64 i = 0; i < lines; ++i) {
        const int n =
            std::snprintf(line, sizeof line, "%016llX%024llX:%llu\r\n", static_cast<unsigned long long>(i * step),
                          static_cast<unsigned long long>((i * 2654435761ULL) & 0xFFFFFFFFFFFFULL),
                          static_cast<unsigned long long>(i % 5000 + 1));
        while (next < inserted.size() && std::memcmp(inserted[next].constData(), line, 40) < 0) {
            std::fprintf(out, "%s:7\r\n", inserted[next].constData());
            ++next;
        }
        std::fwrite(line, 1, static_cast<size_t>(n), out);
    }
    for (; next < inserted.size(); ++next) {
        std::fprintf(out, "%s:7\r\n", inserted[next].constData());
    }
    std::fclose(out);
}

// The health report over every owner's records, with and without a breach list of 1 GB. The breach
// check runs in a process of its own, so that its peak memory is its own.
void healthCases(int size, const QString& databaseFile) {
    if (!wanted("password health")) {
        return;
    }
    Database db;
    db.open(databaseFile, nullptr, true);
    const HealthRequest request{QString(), QDateTime::currentDateTimeUtc(), QString()};
    qsizetype checked = 0;
    const double ms = timeMs(nullptr, [&] { checked = checkPasswordHealth(db, request).checked; });
    printRow("password health report", size, static_cast<int>(checked), ms, 0);
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("breaches.txt"));
    QStringList known;
    Query query(db, QStringLiteral("SELECT password FROM quillbox WHERE record % 97 = 0"));
    while (query.next()) {
        known << query.text(0);
    }
    writeBreachList(list, qint64(1) << 30, known);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--health"), databaseFile, list});
    child.waitForFinished(600000);
    const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() == 4) {
        std::printf("%-48s %9d %9s %9.1f (peak %.1f MB, %.1f MB of it the check's)\n",
                    "password health report, 1 GB breach list", size, parts[0].constData(), parts[1].toDouble(),
                    parts[3].toDouble() / 1024.0, (parts[3].toDouble() - parts[2].toDouble()) / 1024.0);
    }
}

// Child mode: the health report with a breach list, its time and the peak resident size before
// and after.
int healthChild(const QString& databaseFile, const QString& list) {
    Database db;
    db.open(databaseFile, nullptr, true);
    const long before = peakResidentKb();
    QElapsedTimer timer;
    timer.start();
    const HealthReport report = checkPasswordHealth(db, {QString(), QDateTime::currentDateTimeUtc(), list});
    const double ms = timer.nsecsElapsed() / 1e6;
    if (!report.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(report.error));
        return 1;
    }
    std::printf("%lld %.1f %ld %ld\n", static_cast<long long>(report.breached.size()), ms, before, peakResidentKb());
    return 0;
}

// Child mode: start the program in an empty folder, import one file, report the rows, the peak
// resident size, the peak when the import committed, and how long the import took.
int importMemoryChild(const QString& path, int pattern) {
    Folder empty{QList<SiteRecord>()};
    Running running;
    // The peak when the import commits: what reading and storing took, before the list's search
    // copy is loaded for the records shown after.
    long stored = -1;
    sqlite3_commit_hook(
        running.state.database.handle(),
        [](void* peak) {
            *static_cast<long*>(peak) = peakResidentKb();
            return 0;
        },
        &stored);
    QElapsedTimer clock;
    clock.start();
    running.run(Id::Slot::Import, path, pattern);
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    sqlite3_commit_hook(running.state.database.handle(), nullptr, nullptr);
    std::printf("%d %ld %ld %.1f\n", running.main()->model()->rowCount(), peakResidentKb(), stored, ms);
    return 0;
}

// Child mode: start the program in a prepared folder, list everything, report the peak resident size.
int memoryChild(const QString& folder) {
    QDir::setCurrent(folder);
    Running running;
    running.paint();
    std::printf("%d %ld\n", running.main()->model()->rowCount(), peakResidentKb());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes on what it cannot do are not the bench's business.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg && !text.contains(QLatin1String("does not support"))) {
            std::fprintf(stderr, "%s\n", qPrintable(text));
        }
    });
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--health")) {
        return healthChild(args[2], args[3]);
    }
    if (args.size() == 3 && args[1] == QLatin1String("--memory")) {
        return memoryChild(args[2]);
    }
    if (args.size() == 4 && args[1] == QLatin1String("--import-memory")) {
        return importMemoryChild(args[2], args[3].toInt());
    }

    // Every comparison over all fields and over one, texts with wildcards, and a text longer than
    // the copy matches (left to its statement).
    const std::string longText(4100, 'e');
    const SearchCase cases[] = {{"few rows, all fields, Sounds like", 0, 0, "zq7"},
                                {"nearly all, all fields, Sounds like", 0, 0, "e"},
                                {"all fields, Equal to", 0, 1, "Mail"},
                                {"all fields, Does not equal", 0, 2, "Mail"},
                                {"all fields, Greater than", 0, 3, "m"},
                                {"all fields, Greater than or equal to", 0, 4, "m"},
                                {"all fields, Less than", 0, 5, "b"},
                                {"all fields, Less than or equal to", 0, 6, "b"},
                                {"all fields, Starts with", 0, 7, "ba"},
                                {"all fields, Ends with", 0, 8, "om"},
                                {"one field (Site name), Sounds like", 1, 0, "bank"},
                                {"one field (Site name), Equal to", 1, 1, "bank"},
                                {"one field (Notes), Starts with", 16, 7, "a"},
                                {"wildcard %, all fields, Sounds like", 0, 0, "%"},
                                {"wildcard _a_, all fields, Sounds like", 0, 0, "_a_"},
                                {"wildcard a%e, all fields, Starts with", 0, 7, "a%e"},
                                {"4100 bytes, all fields, Sounds like", 0, 0, longText.c_str()}};
    std::printf("%-48s %9s %9s %9s %7s %8s %9s %7s\n", "measure (median of 5, or 3 past seconds; ms)", "records",
                "rows", "program", "floor", "ratio", "no paint", "paint");
    std::unique_ptr<Folder> largest;
    int largestSize = 0;
    only = args.value(1);
    onlySize = args.value(2).toInt();
    // A size named on the command line is measured alone, also one not in the usual three.
    const QList<int> sizes = onlySize > 0 ? QList<int>{onlySize} : QList<int>{1000, 10000, 100000, 1000000};
    for (int size : sizes) {
        const QList<SiteRecord> records = sample::generateRecords(size);
        auto folder = std::make_unique<Folder>(records);
        if (wanted("start-up")) {
            // From nothing to the list painted; the shutdown (settings, backup) is not counted.
            std::unique_ptr<Running> started;
            const double startup = timeMs([&] { started.reset(); },
                                          [&] {
                                              started = std::make_unique<Running>();
                                              started->paint();
                                          });
            started.reset();
            std::printf("%-48s %9d %9s %9.1f\n", "start-up to window shown, list filled", size, "", startup);
        }

        if (wanted("search copy")) {
            // The copy of the searched columns read whole, as start-up does it in the background.
            sqlite3* db = nullptr;
            sqlite3_open_v2(WorkingFolder::at(folder->dir.path()).databaseFile.toUtf8().constData(), &db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
            sqlite3_exec(db, "PRAGMA mmap_size=1073741824", nullptr, nullptr, nullptr);
            int rows = 0;
            const double ms = timeMs(nullptr, [&] {
                const auto data = SearchCopy::load(db);
                rows = data ? SearchCopy::slotCount(*data) : -1;
            });
            sqlite3_close(db);
            printRow("search copy loaded (one thread)", size, rows, ms, 0);
        }

        Running running;
        MainWindow* main = running.main();
        // A copy of the program's own, to say of each search whether the copy answers it.
        SearchCopy probe;
        probe.attach(running.state.database.handle(), running.state.database.key());
        for (const SearchCase& c : cases) {
            if (!wanted(c.name)) {
                continue;
            }
            main->fieldBox()->setCurrentIndex(c.field);
            main->searchTypeBox()->setCurrentIndex(c.comparison);
            const QString text = QString::fromLatin1(c.text);
            // Each run starts from an empty list, everything settled; then the keystroke runs the
            // queued search alone (the list's deferred repaint stays queued) and, for the first
            // column, one paint of the view.
            const auto empty = [&] {
                main->searchText()->setText(QStringLiteral("\x01"));
                QCoreApplication::sendPostedEvents();
            };
            const auto keystroke = [&] {
                main->searchText()->setText(text);
                QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
            };
            const double program = timeMs(empty, [&] {
                keystroke();
                running.paint();
            });
            const double fillOnly = timeMs(empty, keystroke);
            const double paintOnly = timeMs(nullptr, [&] { running.paint(); });
            const int listed = main->model()->rowCount();
            const SearchState search{main->ownerBox()->currentText(), main->categoryBox()->currentText(), c.field,
                                     *comparisonAt(c.comparison), text};
            int rows = 0;
            const double floor = floorMs(running.state.files.databaseFile, searchStatement(search), &rows);
            if (rows != listed) {
                std::fprintf(stderr, "row count differs: program %d, SQLite %d\n", listed, rows);
            }
            std::printf("%-48s %9d %9d %9.1f %7.1f %8.2f %9.1f %7.1f\n", c.name, size, listed, program, floor,
                        program / floor, fillOnly, paintOnly);
            if (!probe.search(ListFilter::fromSearch(search))) {
                std::printf("  (by its statement: %s)\n", qPrintable(probe.declined()));
            }
        }
        if (wanted("sort the list")) {
            // A click on the User name header: the whole list, masked, sorted as shown.
            main->searchText()->setText(QString());
            QCoreApplication::sendPostedEvents();
            const double ms = timeMs(nullptr, [&] { main->model()->sortRows(RecordModel::UserName, 1); });
            printRow("sort the list by a column", size, main->model()->rowCount(), ms, 0);
            // Every column both ways, shown as they are, each run from another column's order:
            // the slowest of them.
            const bool masked = main->model()->isMasked();
            main->model()->setMasked(false);
            double slowest = 0;
            QString which;
            for (int column = 0; column < RecordModel::ColumnCount; ++column) {
                for (int direction : {1, -1}) {
                    const int other = column == RecordModel::Password ? RecordModel::SiteName : RecordModel::Password;
                    const double each = timeMs([&] { main->model()->sortRows(other, -1); },
                                               [&] { main->model()->sortRows(column, direction); });
                    if (each > slowest) {
                        slowest = each;
                        which = main->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() +
                                (direction > 0 ? QStringLiteral(" ascending") : QStringLiteral(" descending"));
                    }
                }
            }
            main->model()->setMasked(masked);
            printRow("sort the list, slowest column and direction", size, main->model()->rowCount(), slowest, 0);
            std::printf("  (%s)\n", qPrintable(which));
        }
        if (wanted("data form")) {
            // Add: the form up with every box's values offered; the first time after a change of
            // the table reads them, later ones take what was read.
            const auto close = [&] {
                if (running.program->dataForms()->window()) {
                    running.program->dispatch(Id::Window::DataForm, Id::DataForm::Exit, Notify::Command, 0);
                }
                QCoreApplication::processEvents();
            };
            const auto open = [&] {
                running.program->command(Id::MenuItemOfSlot[Id::Slot::AddRecord]);
                QCoreApplication::processEvents();
            };
            const double first = timeMs(
                [&] {
                    close();
                    // A change of the table, as a save would make.
                    running.state.database.execute(
                        QStringLiteral("UPDATE quillbox SET notes = notes WHERE record = 1"));
                },
                open);
            const double again = timeMs(close, open);
            close();
            printRow("data form opened, values read", size, 0, first, 0);
            printRow("data form opened again", size, 0, again, 0);
        }
        transferCases(size, records, running, folder->dir.path());
        deleteCase(size, *folder);
        QDir::setCurrent(folder->dir.path());
        // The encryption and recycle bin rows are about the larger tables; the health report of a
        // million records (a minute a run) only when that size is named.
        if (size >= 100000 || onlySize > 0) {
            encryptionCases(size, records);
            binCases(size, WorkingFolder::at(folder->dir.path()).databaseFile);
        }
        if (size == 100000 || onlySize > 0) {
            healthCases(size, WorkingFolder::at(folder->dir.path()).databaseFile);
        }
        std::fflush(stdout);
        QDir::setCurrent(folder->previous);
        if (size > largestSize) {
            largestSize = size;
            largest = std::move(folder);
        }
    }

    // Peak memory is measured in a fresh process that only runs the program over the largest folder,
    // so the generated test data does not count.
    if (largest && wanted("peak resident memory")) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), largest->dir.path()});
        child.waitForFinished(300000);
        const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
        if (parts.size() == 2) {
            std::printf("%-48s %9d %9s %9.1f MB\n", "peak resident memory, whole list shown", largestSize,
                        parts[0].constData(), parts[1].toDouble() / 1024.0);
        }
    }
    return 0;
}
