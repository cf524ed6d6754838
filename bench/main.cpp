// Quillbox benchmarks: the real code paths on generated data, each figure the median of several runs.
#include "support/SampleRecords.h"

#include "app/AppState.h"
#include "app/Program.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/Password.h"
#include "settings/PasswordWindow.h"
#include "settings/ProgramSettings.h"
#include "store/SearchQuery.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quillbox;

namespace {

constexpr int runs = 5;
const QString benchPassword = QStringLiteral("bench-password-1");

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeMs(const std::function<void()>& setUp, const std::function<void()>& measured) {
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        if (setUp) {
            setUp();
        }
        QElapsedTimer t;
        t.start();
        measured();
        samples.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
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
    explicit Folder(const QList<SiteRecord>& records) {
        QDir::setCurrent(dir.path());
        QDir().mkpath(QStringLiteral("Database"));
        QDir().mkpath(QStringLiteral("System"));
        AppState paths;
        paths.setWorkingFolder(dir.path());
        sample::writeDatabase(paths.databaseFile, records);
        ProgramSettings s = defaultSettings();
        s.passwordFingerprint = passwordFingerprint(benchPassword);
        s.optFading = 0;
        s.optTitleClock = 0;
        s.lastOwner = sample::mainOwner;
        saveSettings(paths.settingsFile, s);
    }
    ~Folder() { QDir::setCurrent(previous); }
};

struct Running {
    AppState state;
    std::unique_ptr<Program> program;
    Running() {
        state.seams = Seams::production();
        state.seams.messageBox = [](const QString& title, const QString& text, MessageIcon) {
            std::fprintf(stderr, "box: %s: %s\n", qPrintable(title), qPrintable(text));
        };
        state.seams.trayAvailable = [] { return false; };
        // The start-up password is typed at once, as a quick user would.
        state.seams.modalLoop = [this](QWidget* window, const std::function<bool()>& done) {
            auto* prompt = qobject_cast<PasswordWindow*>(window);
            if (!prompt || done()) {
                return;
            }
            prompt->field(prompt->firstField())->setText(benchPassword);
            program->dispatch(prompt->number(), prompt->returnKey(), Notify::Command, 0);
        };
        program = std::make_unique<Program>(state);
        program->startUp();
        QCoreApplication::processEvents();
    }
    MainWindow* main() const { return program->mainWindow(); }
    void paint() const { main()->recordList()->viewport()->repaint(); }
};

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
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--memory")) {
        return memoryChild(args[2]);
    }

    const SearchCase cases[] = {{"few rows, all fields, Sounds like", 0, 0, "zq7"},
                                {"nearly all, all fields, Sounds like", 0, 0, "e"},
                                {"one field (Site name), Sounds like", 1, 0, "bank"}};
    std::printf("%-48s %9s %9s %9s %7s %8s %9s %7s\n", "measure (median of 5, ms)", "records", "rows", "program",
                "floor", "ratio", "no paint", "paint");
    std::unique_ptr<Folder> largest;
    for (int size : {1000, 10000, 100000}) {
        auto folder = std::make_unique<Folder>(sample::generateRecords(size));
        const double startup = timeMs(nullptr, [] {
            Running running;
            running.paint();
        });
        std::printf("%-48s %9d %9s %9.1f %7s %8s\n", "start-up to window shown, list filled", size, "", startup, "", "");

        Running running;
        MainWindow* main = running.main();
        for (const SearchCase& c : cases) {
            main->fieldBox()->setCurrentIndex(c.field);
            main->searchTypeBox()->setCurrentIndex(c.comparison);
            const QString text = QString::fromLatin1(c.text);
            const double program = timeMs([&] { main->searchText()->setText(QStringLiteral("\x01")); },
                                          [&] {
                                              main->searchText()->setText(text);
                                              QCoreApplication::sendPostedEvents();
                                              running.paint();
                                          });
            const double fillOnly = timeMs([&] { main->searchText()->setText(QStringLiteral("\x01")); },
                                           [&] {
                                               main->searchText()->setText(text);
                                               QCoreApplication::sendPostedEvents();
                                           });
            const double paintOnly = timeMs(nullptr, [&] { running.paint(); });
            const int listed = main->model()->rowCount();
            SearchState search{main->ownerBox()->currentText(), main->categoryBox()->currentText(), c.field,
                               main->searchTypeBox()->currentText(), text};
            int rows = 0;
            const double floor = floorMs(running.state.databaseFile, searchStatement(search), &rows);
            if (rows != listed) {
                std::fprintf(stderr, "row count differs: program %d, SQLite %d\n", listed, rows);
            }
            std::printf("%-48s %9d %9d %9.1f %7.1f %8.2f %9.1f %7.1f\n", c.name, size, listed, program, floor,
                        program / floor, fillOnly, paintOnly);
        }
        std::fflush(stdout);
        QDir::setCurrent(folder->previous);
        if (size == 100000) {
            largest = std::move(folder);
        }
    }

    // Peak memory is measured in a fresh process that only runs the program over the largest folder,
    // so the generated test data does not count.
    if (largest) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), largest->dir.path()});
        child.waitForFinished(300000);
        const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
        if (parts.size() == 2) {
            std::printf("%-48s %9d %9s %9.1f MB\n", "peak resident memory, whole list shown", 100000,
                        parts[0].constData(), parts[1].toDouble() / 1024.0);
        }
    }
    return 0;
}
