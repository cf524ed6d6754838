#include "app/Ids.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/ProgramSettings.h"
#include "store/Database.h"
#include "store/SearchCopy.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "support/SampleRecords.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace quillbox;
using namespace quillbox::test;

namespace {
QList<SiteRecord> sampleRecords() {
    return {makeRecord("Bank", "ann", "s3cret", "https://bank.example", "Money", "Home"),
            makeRecord("mail", "bob", "", "http://mail.example", "Work", "Home"),
            makeRecord("Candy", "cy", "pw'x", "", "Fun", "Home", "vault"),
            makeRecord("Shop", "dee", "pw", "", "Money", "O'Brien")};
}

// A started program over the sample records, owner Home, everything listed.
void startWithSamples(TestEnv& env, int showPrivate = 0) {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, sampleRecords());
    QDir().mkpath(env.path("System"));
    ProgramSettings s = defaultSettings();
    s.optShowPrivate = showPrivate;
    s.optFading = 0;
    QVERIFY(saveSettings(env.state.files.settingsFile, s).ok());
    QVERIFY(env.start());
}

// A started program over `count` generated records of the sample owner.
void startWithGenerated(TestEnv& env, int count) {
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, sample::generateRecords(count));
    QDir().mkpath(env.path("System"));
    ProgramSettings s = defaultSettings();
    s.lastOwner = sample::mainOwner;
    s.optFading = 0;
    QVERIFY(saveSettings(env.state.files.settingsFile, s).ok());
    QVERIFY(env.start());
}

// Pieces of sorted values: case pairs, the characters beside the letters, non-ASCII with and
// without case (ä, ß, ÿ/Ÿ, ǅ, dotless ı, long ſ, σ/Σ, €, an emoji's surrogate pair), digits.
const QList<QByteArray> sortPieces{"a",
                                   "A",
                                   "b",
                                   "B",
                                   "z",
                                   "Z",
                                   "i",
                                   "@",
                                   "[",
                                   "`",
                                   "{",
                                   " ",
                                   "-",
                                   "0",
                                   "1",
                                   "9",
                                   "10",
                                   "010",
                                   "\xc3\xa4",
                                   "\xc3\x84",
                                   "\xc3\x9f",
                                   "\xc3\xbf",
                                   "\xc5\xb8",
                                   "\xc7\x85",
                                   "\xc4\xb1",
                                   "\xc5\xbf",
                                   "\xcf\x83",
                                   "\xce\xa3",
                                   "\xe2\x82\xac",
                                   "\xf0\x9f\x98\x80"};
// Bytes the copy keeps as they are and the list shows decoded: no UTF-8, a NUL, a byte-order mark.
const QList<QByteArray> sortOddBytes{
    "\xff", "\xc3", "a\xe2\x82", "\xed\xa0\x80", QByteArray("\0", 1), QByteArray("a\0b", 3)};

// A value to sort: NULL (a null array), empty, a few pieces, a number, bytes that are no UTF-8,
// or long ones alike past the 256 characters compared.
QByteArray sortValue(QRandomGenerator& rng) {
    auto pieces = [&](int most) {
        QByteArray out;
        for (int i = rng.bounded(1, most + 1); i > 0; --i) {
            out += sortPieces[rng.bounded(sortPieces.size())];
        }
        return out;
    };
    switch (rng.bounded(16)) {
    case 0:
        return QByteArray();
    case 1:
        return QByteArray("");
    case 2:
        return pieces(2) + sortOddBytes[rng.bounded(sortOddBytes.size())] + pieces(1);
    case 3:
        return rng.bounded(2) ? "\xef\xbb\xbf" + pieces(2) : QByteArray::number(rng.bounded(120));
    case 4:
        return QByteArray(rng.bounded(250, 262), rng.bounded(2) ? 'x' : 'X') + pieces(2);
    case 5: {
        QByteArray out;
        for (int i = rng.bounded(60, 68); i > 0; --i) {
            out += "\xc3\xa4\xc3\x84"; // as long as its UTF-16 is
        }
        return "a" + out + pieces(2);
    }
    default:
        return pieces(4);
    }
}

void bindSortValue(sqlite3_stmt* stmt, int index, const QByteArray& value) {
    if (value.isNull()) {
        sqlite3_bind_null(stmt, index);
    } else {
        sqlite3_bind_text(stmt, index, value.constData(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
}

RecordModel::Row sortRow(QRandomGenerator& rng) {
    RecordModel::Row row;
    for (QString& cell : row) {
        cell = QString::fromUtf8(sortValue(rng));
    }
    return row;
}

// The list's comparison as it was first written: code units upper-cased one by one over at most
// the first 256, a shorter text as if padded with code 0; a stable sort.
QList<RecordModel::Row> referenceOrder(const RecordModel& model, int column, int direction) {
    const auto compare = [](const QString& a, const QString& b) {
        const qsizetype n = std::min<qsizetype>(256, std::max(a.size(), b.size()));
        for (qsizetype i = 0; i < n; ++i) {
            const int ca = i < a.size() ? a[i].toUpper().unicode() : 0;
            const int cb = i < b.size() ? b[i].toUpper().unicode() : 0;
            if (ca != cb) {
                return ca - cb;
            }
        }
        return 0;
    };
    QStringList shown;
    for (int r = 0; r < model.rowCount(); ++r) {
        shown << model.cell(r, column);
    }
    std::vector<int> order(static_cast<size_t>(shown.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int x, int y) { return compare(shown[x], shown[y]) * direction < 0; });
    QList<RecordModel::Row> rows;
    for (int r : order) {
        rows << model.row(r);
    }
    return rows;
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typingNarrowsTheList();
    void burstOfKeysSearchesOnce();
    void longListHoldsTheStatementsRows();
    void ownerAndCategoryChoices();
    void resetFieldsListsAllOfOwner();
    void sortingOverThreeClicks();
    void sortingKeepsTheComparisonsOrder_data();
    void sortingKeepsTheComparisonsOrder();
    void deleteSkipsRowWithoutRecordNumber();
    void deleteWithNothingSelectedDoesNothing();
    void tagAllSelectsEveryRow();
    void rowSummaryOnCurrentRowChange();
    void showPrivateToggleMasksAndUnmasks();
    void optionToggleSavesAndTicks_data();
    void optionToggleSavesAndTicks();
    void optionHeldAsTwoIsLeftAlone();
    void shortcutsWorkFromSearchBox();
    void menusCarryShortcutTexts();
    void minimiseHidesToTrayAndIconRestores();
    void minimiseWithoutTrayStaysMinimised();
    void closeBoxEndsProgram();
};

void MainWindowTest::typingNarrowsTheList() {
    TestEnv env;
    startWithSamples(env);
    QCOMPARE(env.column(0), (QStringList{"Bank", "Candy", "mail"}));
    QCOMPARE(env.main()->count(), QStringLiteral("3 Records"));
    QTest::keyClicks(env.main()->searchText(), "an");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(env.column(0), (QStringList{"Bank", "Candy"}));
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Candy"));
    QCOMPARE(env.main()->count(), QStringLiteral("2 Records"));
    QTest::keyClicks(env.main()->searchText(), "k");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(env.column(0), (QStringList{"Bank"}));
    QCOMPARE(env.main()->count(), QStringLiteral("1 Record"));
    QTest::keyClicks(env.main()->searchText(), "zz");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(env.column(0), QStringList());
    QCOMPARE(env.main()->count(), QStringLiteral("0 Records"));
    // One field and a comparison chosen from the boxes.
    env.main()->searchText()->clear();
    env.main()->fieldBox()->setCurrentIndex(4);
    env.program->dispatch(Id::Window::Main, Id::Main::FieldBox, Notify::Chosen);
    env.main()->searchTypeBox()->setCurrentIndex(7); // starts with
    env.program->dispatch(Id::Window::Main, Id::Main::SearchTypeBox, Notify::Chosen);
    QTest::keyClicks(env.main()->searchText(), "https");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(env.column(0), (QStringList{"Bank"}));
}

void MainWindowTest::burstOfKeysSearchesOnce() {
    TestEnv env;
    startWithGenerated(env, 200);
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

void MainWindowTest::longListHoldsTheStatementsRows() {
    TestEnv env;
    startWithGenerated(env, 10000);
    MainWindow* main = env.main();
    const QString text = QStringLiteral("e"); // nearly every row, all fields
    main->searchText()->setText(text);
    QCoreApplication::sendPostedEvents();
    const SearchState search{main->ownerBox()->currentText(), main->categoryBox()->currentText(), 0,
                             *comparisonAt(main->searchTypeBox()->currentIndex()), text};
    const QByteArray sql = searchStatement(search).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    QCOMPARE(sqlite3_prepare_v2(env.state.database.handle(), sql.constData(), -1, &stmt, nullptr), SQLITE_OK);
    int rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
    }
    sqlite3_finalize(stmt);
    QVERIFY(rows > 9000);
    QCOMPARE(main->model()->rowCount(), rows);
}

void MainWindowTest::ownerAndCategoryChoices() {
    TestEnv env;
    startWithSamples(env);
    QComboBox* owners = env.main()->ownerBox();
    QComboBox* categories = env.main()->categoryBox();
    QCOMPARE(owners->count(), 2);
    QCOMPARE(owners->itemText(1), QStringLiteral("O'Brien"));
    QCOMPARE(categories->count(), 4); // All Categories, Fun, Money, Work
    QTest::keyClicks(env.main()->searchText(), "zzz");
    QCoreApplication::sendPostedEvents();
    owners->setCurrentIndex(1);
    env.program->dispatch(Id::Window::Main, Id::Main::OwnerBox, Notify::Chosen);
    // A new owner lists all its records, whatever the search text says.
    QCOMPARE(env.column(0), (QStringList{"Shop"}));
    QCOMPARE(categories->count(), 2);
    QCOMPARE(categories->currentText(), QStringLiteral("All Categories"));
    owners->setCurrentIndex(0);
    env.program->dispatch(Id::Window::Main, Id::Main::OwnerBox, Notify::Chosen);
    categories->setCurrentIndex(categories->findText("Money"));
    env.program->dispatch(Id::Window::Main, Id::Main::CategoryBox, Notify::Chosen);
    QCOMPARE(env.column(0), (QStringList{"Bank"}));
    categories->setCurrentIndex(0);
    env.program->dispatch(Id::Window::Main, Id::Main::CategoryBox, Notify::Chosen);
    QCOMPARE(env.column(0).size(), 3);
}

void MainWindowTest::resetFieldsListsAllOfOwner() {
    TestEnv env;
    startWithSamples(env);
    env.main()->fieldBox()->setCurrentIndex(3);
    env.main()->searchTypeBox()->setCurrentIndex(1);
    env.main()->categoryBox()->setCurrentIndex(env.main()->categoryBox()->findText("Work"));
    QTest::keyClicks(env.main()->searchText(), "nothing");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(env.column(0), QStringList());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::ResetFields]);
    QCOMPARE(env.main()->fieldBox()->currentText(), QStringLiteral("All fields"));
    QCOMPARE(env.main()->searchTypeBox()->currentText(), QStringLiteral("Sounds like"));
    QCOMPARE(env.main()->categoryBox()->currentText(), QStringLiteral("All Categories"));
    QCOMPARE(env.main()->searchText()->text(), QString());
    QCOMPARE(env.column(0).size(), 3);
    // Reset with an already empty search text still searches.
    env.main()->categoryBox()->setCurrentIndex(env.main()->categoryBox()->findText("Work"));
    env.program->dispatch(Id::Window::Main, Id::Main::CategoryBox, Notify::Chosen);
    QCOMPARE(env.column(0).size(), 1);
    env.program->command(Id::PopupItemOfSlot[Id::Slot::ResetFields]);
    QCOMPARE(env.column(0).size(), 3);
}

void MainWindowTest::sortingOverThreeClicks() {
    TestEnv env;
    startWithSamples(env, 1);
    auto click = [&env](int column) {
        env.program->dispatch(Id::Window::Main, Id::Main::RecordList, Notify::ColumnClick, column);
    };
    env.main()->selectRow(env.column(0).indexOf("mail"));
    click(0);
    QCOMPARE(env.column(0), (QStringList{"Bank", "Candy", "mail"})); // upper-cased comparison
    click(0);
    QCOMPARE(env.column(0), (QStringList{"mail", "Candy", "Bank"}));
    click(0);
    QCOMPARE(env.column(0), (QStringList{"Bank", "Candy", "mail"}));
    // The selection follows its row.
    QCOMPARE(env.main()->model()->cell(env.main()->currentRow(), 0), QStringLiteral("mail"));
    click(0); // descending again
    click(1); // another column starts ascending
    QCOMPARE(env.column(1), (QStringList{"ann", "bob", "cy"}));
    click(2); // password: empty sorts first
    QCOMPARE(env.column(2), (QStringList{"", "pw'x", "s3cret"}));
}

void MainWindowTest::sortingKeepsTheComparisonsOrder_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("masked");
    QTest::addColumn<int>("direction");
    QTest::addColumn<bool>("twoThreads");
    for (int column = 0; column < RecordModel::ColumnCount; ++column) {
        for (bool masked : {false, true}) {
            for (int direction : {1, -1}) {
                for (bool twoThreads : {false, true}) {
                    QTest::addRow("column %d%s, %s%s", column, masked ? " masked" : "",
                                  direction > 0 ? "ascending" : "descending", twoThreads ? ", two threads" : "")
                        << column << masked << direction << twoThreads;
                }
            }
        }
    }
}

// Thousands of rows of the copy, of the model's own, saved over and holding masks only, sorted
// one way and back and again: every row where the first comparison put it, and the current row with it.
void MainWindowTest::sortingKeepsTheComparisonsOrder() {
    QFETCH(int, column);
    QFETCH(bool, masked);
    QFETCH(int, direction);
    QFETCH(bool, twoThreads);
    RecordModel::setParallelRows(twoThreads ? 0 : std::numeric_limits<int>::max());
    const auto oneThreadAgain = qScopeGuard([] { RecordModel::setParallelRows(RecordModel::defaultParallelRows); });
    QRandomGenerator rng(20270311);
    QTemporaryDir dir;
    Database db;
    QVERIFY(openDatabase(db, dir.filePath(QStringLiteral("sort.db"))).ok);
    db.execute(QStringLiteral("Begin Transaction"));
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle(),
                       "INSERT INTO quillbox(sitename, username, password, homepage, category, notes, owner) "
                       "VALUES(?,?,?,?,?,?,'o')",
                       -1, &stmt, nullptr);
    for (int i = 0; i < 3000; ++i) {
        for (int c = 1; c <= 6; ++c) {
            bindSortValue(stmt, c, sortValue(rng));
        }
        QCOMPARE(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    db.execute(QStringLiteral("Commit"));
    const std::shared_ptr<const SearchCopy::Data> data = SearchCopy::load(db.handle());
    QVERIFY(data);

    RecordModel model;
    std::vector<int> slots(static_cast<size_t>(SearchCopy::slotCount(*data)));
    std::iota(slots.begin(), slots.end(), 0);
    std::shuffle(slots.begin(), slots.end(), std::mt19937(7));
    slots.resize(slots.size() - 100); // not every row of the copy listed
    model.setCopyRows(data, slots);
    for (int i = 0; i < 100; ++i) {
        model.setRowCells(rng.bounded(model.rowCount()), sortRow(rng), RecordModel::SiteName, RecordModel::Notes);
        model.appendRow(sortRow(rng));
    }
    model.beginBulk();
    for (int i = 0; i < 100; ++i) {
        RecordModel::Row row = sortRow(rng);
        for (int c = RecordModel::UserName; c <= RecordModel::HomePage; ++c) {
            row[static_cast<size_t>(c)] = QString(rng.bounded(300), QLatin1Char('*'));
        }
        model.appendBulk(row, true);
    }
    model.endBulk();
    model.setMasked(masked);

    const QPersistentModelIndex current = model.index(rng.bounded(model.rowCount()), column);
    const RecordModel::Row currentRow = model.row(current.row());
    // One way, back with more rows than the kept sort memory holds, then with fewer.
    for (int step = 0; step < 3; ++step) {
        const int dir = step == 1 ? -direction : direction;
        if (step == 1) {
            for (int i = 0; i < 50; ++i) {
                model.appendRow(sortRow(rng));
            }
        } else if (step == 2) {
            QList<int> gone;
            for (int r = 0; r < 400; r += 2) {
                gone.append(r == current.row() ? r + 1 : r);
            }
            model.removeRowList(gone);
        }
        const QList<RecordModel::Row> expected = referenceOrder(model, column, dir);
        model.sortRows(column, dir);
        QCOMPARE(model.rowCount(), expected.size());
        for (int r = 0; r < model.rowCount(); ++r) {
            if (model.row(r) != expected[r]) {
                QFAIL(qPrintable(
                    QStringLiteral("direction %1, row %2: '%3' where '%4' belongs")
                        .arg(dir)
                        .arg(r)
                        .arg(model.row(r)[static_cast<size_t>(column)], expected[r][static_cast<size_t>(column)])));
            }
        }
        QVERIFY(model.row(current.row()) == currentRow);
    }
}

void MainWindowTest::deleteSkipsRowWithoutRecordNumber() {
    TestEnv env;
    startWithSamples(env);
    RecordModel* model = env.main()->model();
    // A row in the middle without a record number.
    RecordModel::Row orphan{"Orphan", "", "", "", "", ""};
    QList<RecordModel::Row> rows{model->row(0), orphan, model->row(1), model->row(2)};
    model->beginBulk();
    model->endBulk();
    model->clear();
    for (const auto& r : rows) {
        model->appendRow(r);
    }
    env.main()->recordList()->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(2, 5)),
                                                       QItemSelectionModel::Select);
    env.main()->setCount("x");
    env.program->command(Id::PopupItemOfSlot[Id::Slot::DeleteRecords]);
    QCOMPARE(env.column(0), (QStringList{"Orphan", "mail"}));
    QCOMPARE(env.main()->message(), QStringLiteral("Error: There is no record number on this line to delete."));
    QCOMPARE(env.main()->count(), QStringLiteral("2 Records")); // the rows left, counted at once
    QCOMPARE(scalarQuery(env.state.database, "SELECT COUNT(*) FROM quillbox"), QStringLiteral("2"));
}

void MainWindowTest::deleteWithNothingSelectedDoesNothing() {
    TestEnv env;
    startWithSamples(env);
    env.main()->recordList()->clearSelection();
    env.main()->setMessage("before");
    env.program->command(Id::FirstShortcutEvent + Id::Slot::DeleteRecords);
    QCOMPARE(env.column(0).size(), 3);
    QCOMPARE(env.main()->message(), QStringLiteral("before"));
}

void MainWindowTest::tagAllSelectsEveryRow() {
    TestEnv env;
    startWithSamples(env);
    env.main()->selectRow(1);
    env.program->command(Id::MenuItemOfSlot[Id::Slot::TagAll]);
    QCOMPARE(env.main()->selectedRows(), (QList<int>{0, 1, 2}));
    QCOMPARE(env.main()->currentRow(), 1);
    QVERIFY(env.main()->recordList()->hasFocus() || !env.main()->isActiveWindow());
    env.program->command(Id::FirstShortcutEvent + Id::Slot::DeleteRecords);
    QCOMPARE(env.main()->model()->rowCount(), 0);
}

void MainWindowTest::rowSummaryOnCurrentRowChange() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    SiteRecord r = makeRecord("Mail", "u", "p", "", "Work", "Home");
    r[Col::SiteNameLabel] = "Software";
    seedDatabase(env.state.files.databaseFile, {r, makeRecord("Zed", "", "", "", "Work", "Home")});
    QVERIFY(env.start());
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Quillbox is ready to work."));
    env.main()->selectRow(1);
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Site name: Zed, Category:Work"));
    env.main()->selectRow(0);
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Software: Mail, Category:Work"));
    env.program->dispatch(Id::Window::Main, Id::Main::RecordList, Notify::SelectionChanged);
    // No row chosen any more: the summary stays; "No data to display" is not said over a full list.
    env.main()->recordList()->selectionModel()->clearCurrentIndex();
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Software: Mail, Category:Work"));
}

void MainWindowTest::showPrivateToggleMasksAndUnmasks() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("A", "abc", "it''s", "", "C", "O")});
    QVERIFY(env.start());
    QCOMPARE(env.listRows().first().mid(1, 3), (QStringList{"***", "*****", ""}));
    env.program->command(Id::MenuItemOfSlot[Id::Slot::ShowPrivate]);
    QCOMPARE(env.listRows().first().mid(1, 3), (QStringList{"abc", "it''s", ""})); // as stored
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Showing passwords in the list been turned on."));
    env.program->command(Id::FirstShortcutEvent + Id::Slot::ShowPrivate);
    QCOMPARE(env.listRows().first().mid(1, 3), (QStringList{"***", "*****", ""}));
}

void MainWindowTest::optionToggleSavesAndTicks_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("offMessage");
    QTest::newRow("tool tips") << int(Id::Slot::ToolTips) << "Tool tips On or Off"
                               << "The global form tool tips have now been turned off.";
    QTest::newRow("fading") << int(Id::Slot::Fading) << "Animate windows"
                            << "Fading of forms in and out of the screen has now been turned off.";
    QTest::newRow("snap") << int(Id::Slot::Snap) << "Screen snap On or Off"
                          << "Snapping forms to borders has now been turned off.";
    QTest::newRow("clock") << int(Id::Slot::TitleClock) << "Title bar update On or Off"
                           << "Updating time in window titlebar has been turned off.";
}

void MainWindowTest::optionToggleSavesAndTicks() {
    QFETCH(int, slot);
    QFETCH(QString, key);
    QFETCH(QString, offMessage);
    TestEnv env;
    QVERIFY(env.start());
    QVERIFY(env.main()->menuAction(slot)->isChecked());
    QFile::remove(env.state.files.settingsFile); // recreated whole by the save
    env.program->command(Id::PopupItemOfSlot[slot]);
    QCOMPARE(env.main()->message(), "Info: " + offMessage);
    QVERIFY(!env.main()->menuAction(slot)->isChecked());
    QVERIFY(!env.main()->popupAction(slot)->isChecked());
    QCOMPARE(readSetting(env.state.files.settingsFile, "Program Options", key), QStringLiteral("0"));
    QCOMPARE(readSetting(env.state.files.settingsFile, "Keyboard Shortcuts", "Show Help"), QStringLiteral("262216"));
}

void MainWindowTest::optionHeldAsTwoIsLeftAlone() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QDir().mkpath(env.path("System"));
    ProgramSettings s = defaultSettings();
    s.optSnap = 2;
    QVERIFY(saveSettings(env.state.files.settingsFile, s).ok());
    QVERIFY(env.start());
    env.program->command(Id::MenuItemOfSlot[Id::Slot::Snap]);
    QCOMPARE(env.state.settings.optSnap, 2);
    QCOMPARE(env.main()->message(), QStringLiteral("Info: Quillbox is ready to work."));
    QCOMPARE(readSetting(env.state.files.settingsFile, "Program Options", "Screen snap On or Off"),
             QStringLiteral("2"));
}

void MainWindowTest::shortcutsWorkFromSearchBox() {
    TestEnv env;
    startWithSamples(env);
    env.main()->show();
    env.main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(env.main()));
    QLineEdit* search = env.main()->searchText();
    search->setFocus();
    QTest::keyClick(search, Qt::Key_T, Qt::ControlModifier); // tag all, not the box's own Ctrl+T
    QCOMPARE(env.main()->selectedRows().size(), 3);
    search->setFocus();
    QTest::keyClick(search, Qt::Key_P, Qt::AltModifier); // show private data
    QCOMPARE(env.state.settings.optShowPrivate, 1);
    search->setFocus();
    QTest::keyClick(search, Qt::Key_R, Qt::AltModifier); // reset fields
    QCOMPARE(env.main()->message(), QStringLiteral("Info: mail"));
    env.main()->selectRow(0);
    search->setFocus();
    QTest::keyClick(search, Qt::Key_D, Qt::ControlModifier); // delete, not the box's delete-a-character
    QCOMPARE(env.column(0), (QStringList{"Candy", "mail"}));
    QTest::keyClick(search, Qt::Key_X, Qt::AltModifier);
    QVERIFY(env.program->quitRequested());
}

void MainWindowTest::menusCarryShortcutTexts() {
    TestEnv env;
    QVERIFY(env.start());
    QCOMPARE(env.main()->menuAction(0)->text(), QStringLiteral("Exit Quillbox v2.00\tAlt +X"));
    QCOMPARE(env.main()->popupAction(Id::Slot::PrintRecords)->text(), QStringLiteral("Print selected record\tCtrl +P"));
    env.state.settings.shortcutCodes[0] = 0x30000 + 0x51;
    env.main()->refreshMenuTexts();
    QCOMPARE(env.main()->popupAction(0)->text(), QStringLiteral("Exit Quillbox v2.00\tCtrl +Shift +Q"));
    QCOMPARE(env.main()->popupMenu()->actions().size(), CommandCount + 5); // the commands, 5 separators
    QVERIFY(!env.main()->menuAction(Id::Slot::About)->icon().isNull());
}

void MainWindowTest::minimiseHidesToTrayAndIconRestores() {
    TestEnv env;
    QVERIFY(env.start());
    env.program->dispatch(Id::Window::Main, Id::Window::Main, Notify::Minimized);
    QVERIFY(env.program->security().isInTray());
    QVERIFY(!env.main()->isVisible());
    env.program->dispatch(Id::Window::Main, Id::Main::TrayIcon, Notify::TrayClick);
    QVERIFY(!env.program->security().isInTray());
    QVERIFY(env.main()->isVisible());
}

void MainWindowTest::minimiseWithoutTrayStaysMinimised() {
    TestEnv env;
    env.trayAvailable = false;
    QVERIFY(env.start());
    env.program->dispatch(Id::Window::Main, Id::Window::Main, Notify::Minimized);
    QVERIFY(!env.program->security().isInTray());
    QVERIFY(env.main()->isVisible());
}

void MainWindowTest::closeBoxEndsProgram() {
    TestEnv env;
    QVERIFY(env.start());
    QSignalSpy finished(env.program.get(), &Program::finished);
    env.main()->close();
    QCOMPARE(finished.size(), 1);
    QVERIFY(QFile::exists(env.state.files.databaseFile + ".Tue"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
