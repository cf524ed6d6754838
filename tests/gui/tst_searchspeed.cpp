// Guards the speed of search as you type against SQLite running the same statement alone.
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/ProgramSettings.h"
#include "store/SearchQuery.h"
#include "support/SampleRecords.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

#include <sqlite3.h>

#include <algorithm>

using namespace quillbox;
using namespace quillbox::test;

class SearchSpeedTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void burstOfKeysSearchesOnce();
    void keystrokeToListStaysNearTheFloor();
};

namespace {
void startWith(TestEnv& env, int count) {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, sample::generateRecords(count));
    QDir().mkpath(env.path("System"));
    ProgramSettings s = defaultSettings();
    s.lastOwner = sample::mainOwner;
    s.optFading = 0;
    QVERIFY(saveSettings(env.state.files.settingsFile, s).ok);
    QVERIFY(env.start());
}

double medianOf(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

void SearchSpeedTest::burstOfKeysSearchesOnce() {
    TestEnv env;
    startWith(env, 200);
    QSignalSpy resets(env.main()->model(), &QAbstractItemModel::modelReset);
    QTest::keyClicks(env.main()->searchText(), "bank 1");
    QCOMPARE(resets.size(), 0); // nothing searched while keys are still coming in
    QCoreApplication::sendPostedEvents();
    QVERIFY(resets.size() <= 2); // one search: clear and fill
    // The list holds exactly what the latest text gives: searching again changes nothing.
    const QStringList sites = env.column(0);
    const int listed = env.main()->model()->rowCount();
    env.program->list()->runSearch();
    QCOMPARE(env.main()->model()->rowCount(), listed);
    QCOMPARE(env.column(0), sites);
    QCOMPARE(env.main()->count(), QString::number(listed) + (listed == 1 ? " Record" : " Records"));
}

void SearchSpeedTest::keystrokeToListStaysNearTheFloor() {
    TestEnv env;
    startWith(env, 10000);
    MainWindow* main = env.main();
    QList<double> program;
    QList<double> floor;
    const QString text = QStringLiteral("e"); // nearly every row, all fields
    for (int run = 0; run < 5; ++run) {
        main->searchText()->setText(QStringLiteral("\x01"));
        QCoreApplication::sendPostedEvents();
        QElapsedTimer timer;
        timer.start();
        main->searchText()->setText(text);
        // The queued search only: the list's own deferred repaint is replaced by the one below.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        main->recordList()->viewport()->repaint();
        program << timer.nsecsElapsed() / 1e6;

        const SearchState search{main->ownerBox()->currentText(), main->categoryBox()->currentText(), 0,
                                 main->searchTypeBox()->currentText(), text};
        const QByteArray sql = searchStatement(search).toUtf8();
        timer.restart();
        sqlite3_stmt* stmt = nullptr;
        QCOMPARE(sqlite3_prepare_v2(env.state.database.handle(), sql.constData(), -1, &stmt, nullptr), SQLITE_OK);
        int rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                sqlite3_column_text(stmt, c);
            }
            ++rows;
        }
        sqlite3_finalize(stmt);
        floor << timer.nsecsElapsed() / 1e6;
        QCOMPARE(main->model()->rowCount(), rows);
    }
    const double ratio = medianOf(program) / medianOf(floor);
    qInfo("keystroke to list %.1f ms, SQLite alone %.1f ms, ratio %.2f", medianOf(program), medianOf(floor), ratio);
    QVERIFY2(ratio <= 3.0, qPrintable(QString::number(ratio)));
}

QTEST_MAIN(SearchSpeedTest)
#include "tst_searchspeed.moc"
