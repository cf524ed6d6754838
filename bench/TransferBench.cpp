// Import and export of 100,000 records through the program's commands, as the user runs them.
#include "Bench.h"

#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "store/SiteStore.h"
#include "support/TestEnv.h"
#include "transfer/CsvFormat.h"

#include <QElapsedTimer>

#include <cstdio>

using namespace quillbox;

namespace {

// QUILLBOX_BENCH_RECORDS and QUILLBOX_BENCH_ROUNDS make smaller runs for a profiler.
const int recordCount = qEnvironmentVariableIntValue("QUILLBOX_BENCH_RECORDS") > 0
                            ? qEnvironmentVariableIntValue("QUILLBOX_BENCH_RECORDS")
                            : 100000;
const int rounds = qEnvironmentVariableIntValue("QUILLBOX_BENCH_ROUNDS") > 0
                       ? qEnvironmentVariableIntValue("QUILLBOX_BENCH_ROUNDS")
                       : 3;

SiteRecord sampleRecord(int i) {
    SiteRecord r =
        test::makeRecord(QStringLiteral("Site number %1").arg(i), QStringLiteral("user%1@example.com").arg(i),
                         QStringLiteral("pa'ss%1word").arg(i), QStringLiteral("https://www.example%1.com/login").arg(i),
                         QStringLiteral("Category %1").arg(i % 40), QStringLiteral("Owner %1").arg(i % 5),
                         QStringLiteral("A note for record %1,\r\nwith a second line.").arg(i));
    r[Col::FirstMisc] = QStringLiteral("Account");
    r[Col::FirstMisc + 1] = QString::number(1000000 + i);
    return r;
}

QByteArray csvFile() {
    QString text;
    for (int i = 0; i < recordCount; ++i) {
        text += csvLine(sampleRecord(i)) + QLatin1String("\r\n");
    }
    return text.toUtf8();
}

void importCsv() {
    const QByteArray file = csvFile();
    std::printf("file: %d records, %.1f MB\n", recordCount, file.size() / 1e6);
    for (int round = 1; round <= rounds; ++round) {
        test::TestEnv env;
        if (!env.start()) {
            std::printf("start-up failed\n");
            return;
        }
        QFile out(env.path(QStringLiteral("in.csv")));
        out.open(QIODevice::WriteOnly);
        out.write(file);
        out.close();
        env.filterAnswers << 1;
        env.fileAnswers << env.path(QStringLiteral("in.csv"));
        QElapsedTimer timer;
        timer.start();
        env.program->command(Id::MenuItemOfSlot[Id::Slot::Import]);
        const qint64 ms = timer.elapsed();
        std::printf("round %d: import of %d CSV records in %lld ms (list rows %d, table rows %s)\n", round, recordCount,
                    static_cast<long long>(ms), env.main()->model()->rowCount(),
                    qPrintable(scalarQuery(env.state.database, QStringLiteral("SELECT COUNT(*) FROM quillbox"))));
    }
}

void exportAll() {
    test::TestEnv env;
    env.state.setWorkingFolder(env.path());
    QList<SiteRecord> records;
    for (int i = 0; i < recordCount; ++i) {
        records << sampleRecord(i);
    }
    test::seedDatabase(env.state.databaseFile, records);
    if (!env.start()) {
        return;
    }
    const char* names[] = {"text", "CSV", "XML"};
    for (int pattern = 0; pattern < 3; ++pattern) {
        env.filterAnswers << pattern;
        env.fileAnswers << env.path(QStringLiteral("out"));
        QElapsedTimer timer;
        timer.start();
        env.program->command(Id::MenuItemOfSlot[Id::Slot::Export]);
        std::printf("export of %d records as %s in %lld ms (%s)\n", recordCount, names[pattern],
                    static_cast<long long>(timer.elapsed()), qPrintable(env.main()->count()));
    }
    for (int pattern = 0; pattern < 3; ++pattern) {
        test::TestEnv fresh;
        fresh.start();
        fresh.filterAnswers << pattern;
        fresh.fileAnswers << env.path(pattern == 0 ? "out.txt" : pattern == 1 ? "out.csv" : "out.xml");
        QElapsedTimer timer;
        timer.start();
        fresh.program->command(Id::MenuItemOfSlot[Id::Slot::Import]);
        std::printf("import of that %s file in %lld ms (%d rows)\n", names[pattern],
                    static_cast<long long>(timer.elapsed()), fresh.main()->model()->rowCount());
    }
}

const bench::Register importCase(QStringLiteral("import CSV records"), importCsv);
const bench::Register exportCase(QStringLiteral("export and import, every format"), exportAll);

} // namespace
