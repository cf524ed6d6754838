// Nothing lost by a slip, in the window program: each slip taken back by Undo (or restored from
// the bin or the history) leaves the table exactly as it was; values the user did not touch, or
// typed with quotes, are stored exactly; another program's change is never overwritten unasked.
#include "app/Ids.h"
#include "dataform/DataForm.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "recovery/EntryWindow.h"
#include "recovery/RecoveryController.h"
#include "settings/Password.h"
#include "settings/Shortcuts.h"
#include "store/RecordHistory.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "support/SampleRecords.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

using namespace quillbox;
using namespace quillbox::test;

namespace {

// Every row of the table, every column as stored, in record order.
QByteArray table(const TestEnv& env) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    Query query(env.state.database, QStringLiteral("SELECT * FROM quillbox ORDER BY record"));
    while (query.next()) {
        for (int c = 0; c < query.columnCount(); ++c) {
            hash.addData(query.text(c).toUtf8());
            hash.addData(QByteArrayView("\x1f", 1));
        }
    }
    return hash.result().toHex();
}

bool startWithFour(TestEnv& env) {
    env.state.setWorkingFolder(env.path());
    SiteRecord bank = makeRecord("Bank", "ann", "secret", "https://bank.example", "Money", "Home", "pin\r\n1234");
    bank[Col::FirstMisc + 1] = QString(100000, QLatin1Char('m')); // set by the command line: longer than a box holds
    seedDatabase(env.state.files.databaseFile, {bank, makeRecord("Mail", "bob", "ab''cd", "", "Work", "Home"),
                                                makeRecord("Shop", "cy", "pw2", "", "Money", "Home"),
                                                makeRecord("Club", "dee", "pw3", "", "Fun", "Home")});
    return env.start();
}

void command(TestEnv& env, int slot) {
    env.program->command(Id::MenuItemOfSlot[slot]);
}

// The list is sorted by site name: the row of a record is looked up.
int rowOf(const TestEnv& env, const QString& record) {
    return static_cast<int>(env.column(RecordModel::Record).indexOf(record));
}

DataForm* editRecord(TestEnv& env, const QString& record) {
    env.main()->selectRow(rowOf(env, record));
    command(env, Id::Slot::EditRecord);
    return env.program->dataForms()->window();
}

void save(TestEnv& env) {
    env.program->dispatch(Id::Window::DataForm, Id::DataForm::Save, Notify::Command, 0);
}

void setPassword(DataForm* form, const QString& text) {
    form->valueBox(Col::Password)->setEditText(text);
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void slipsAreUndone_data();
    void slipsAreUndone();
    void theBinRestoresAndEmpties();
    void historyRestoresAVersion();
    void valuesAreStoredExactly_data();
    void valuesAreStoredExactly();
    void anotherProgramsChangeIsNotOverwritten_data();
    void anotherProgramsChangeIsNotOverwritten();
    void aDamagedFileIsNeverTakenForSound_data();
    void aDamagedFileIsNeverTakenForSound();
    void aLockAtStartUpIsNeverASessionWithoutDatabase();
    void manyRecordsAreCopiedOnlyWhenAsked_data();
    void manyRecordsAreCopiedOnlyWhenAsked();
};

void RecoveryTest::slipsAreUndone_data() {
    QTest::addColumn<QString>("slip");
    QTest::newRow("delete one") << "delete one";
    QTest::newRow("delete many") << "delete many";
    QTest::newRow("tag all and delete") << "tag all";
    QTest::newRow("import") << "import";
    QTest::newRow("add") << "add";
    QTest::newRow("edit twice") << "edit twice";
}

void RecoveryTest::slipsAreUndone() {
    QFETCH(QString, slip);
    TestEnv env;
    QVERIFY(startWithFour(env));
    const QByteArray before = table(env);
    int steps = 1;
    if (slip == QLatin1String("delete one") || slip == QLatin1String("delete many") ||
        slip == QLatin1String("tag all")) {
        if (slip == QLatin1String("tag all")) {
            command(env, Id::Slot::TagAll);
        } else {
            env.main()->selectRow(rowOf(env, QStringLiteral("2")));
            if (slip == QLatin1String("delete many")) {
                const QModelIndex shop = env.main()->model()->index(rowOf(env, QStringLiteral("3")), 0);
                env.main()->recordList()->selectionModel()->select(shop, QItemSelectionModel::Select |
                                                                             QItemSelectionModel::Rows);
                QCOMPARE(env.main()->selectedRows().size(), 2);
            }
        }
        command(env, Id::Slot::DeleteRecords);
        QVERIFY(env.questions.last().contains(QStringLiteral("recycle bin")));
    } else if (slip == QLatin1String("import")) {
        const QString file = env.path("import.csv");
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("name,url,username,password,note\r\nOne,https://one.example,u1,p1,\r\nTwo,,u2,p2,n\r\n");
        csv.close();
        env.fileAnswers << file;
        env.filterAnswers << 1;
        command(env, Id::Slot::Import);
        QCOMPARE(env.main()->model()->rowCount(), 6);
    } else if (slip == QLatin1String("add")) {
        command(env, Id::Slot::AddRecord);
        DataForm* form = env.program->dataForms()->window();
        form->valueBox(Col::SiteName)->setEditText(QStringLiteral("New"));
        form->valueBox(Col::Category)->setEditText(QStringLiteral("Fun"));
        form->valueBox(Col::Owner)->setEditText(QStringLiteral("Home"));
        save(env);
    } else {
        for (const char* password : {"first", "second"}) {
            setPassword(editRecord(env, QStringLiteral("1")), QString::fromLatin1(password));
            save(env);
        }
        steps = 2;
    }
    QVERIFY(table(env) != before);
    QVERIFY(env.main()->menuAction(Id::Slot::Undo)->isEnabled());
    QVERIFY(env.main()->menuAction(Id::Slot::Undo)->text().startsWith(QStringLiteral("Undo ")));
    for (int i = 0; i < steps; ++i) {
        // Ctrl+Z, as the list has the focus.
        env.program->command(shortcutEventNumber(Id::Slot::Undo));
    }
    QVERIFY(!env.main()->menuAction(Id::Slot::Undo)->isEnabled());
    if (slip == QLatin1String("import") || slip == QLatin1String("add")) {
        // What came in went to the bin; emptying it leaves the table as it was.
        QVERIFY(!binEntries(env.state.database)->isEmpty());
        QCOMPARE(emptyBin(env.state.database).error(), QString());
    }
    QCOMPARE(table(env), before);
}

void RecoveryTest::theBinRestoresAndEmpties() {
    TestEnv env;
    QVERIFY(startWithFour(env));
    const QByteArray before = table(env);
    command(env, Id::Slot::TagAll);
    command(env, Id::Slot::DeleteRecords);
    QCOMPARE(env.main()->model()->rowCount(), 0);
    env.program->command(Id::RecycleBinItem);
    EntryWindow* bin = env.program->recovery()->binWindow();
    QVERIFY(bin && bin->isVisible());
    QCOMPARE(bin->list()->topLevelItemCount(), 4);
    QCOMPARE(bin->list()->topLevelItem(3)->text(1), QStringLiteral("Bank"));
    QCOMPARE(bin->list()->topLevelItem(3)->text(2), QStringLiteral("Home"));
    QCOMPARE(bin->list()->topLevelItem(3)->text(4), QStringLiteral("1"));
    // Restore two, then the rest: all back under their own numbers.
    bin->list()->topLevelItem(0)->setSelected(true);
    bin->list()->topLevelItem(3)->setSelected(true);
    env.program->dispatch(Id::Window::RecycleBin, Id::RecycleBin::Restore);
    QCOMPARE(bin->list()->topLevelItemCount(), 2);
    QCOMPARE(env.main()->model()->rowCount(), 2);
    bin->list()->selectAll();
    env.program->dispatch(Id::Window::RecycleBin, Id::RecycleBin::Restore);
    QCOMPARE(table(env), before);
    // Emptying asks, and Cancel keeps it all.
    command(env, Id::Slot::TagAll);
    command(env, Id::Slot::DeleteRecords);
    env.program->dispatch(Id::Window::RecycleBin, Id::RecycleBin::Close);
    env.program->command(Id::RecycleBinItem);
    bin = env.program->recovery()->binWindow();
    env.askAnswers << QStringLiteral("Cancel");
    env.program->dispatch(Id::Window::RecycleBin, Id::RecycleBin::Empty);
    QCOMPARE(bin->list()->topLevelItemCount(), 4);
    env.askAnswers << QStringLiteral("Empty the recycle bin");
    env.program->dispatch(Id::Window::RecycleBin, Id::RecycleBin::Empty);
    QVERIFY(env.questions.last().contains(QStringLiteral("for good")));
    QCOMPARE(bin->list()->topLevelItemCount(), 0);
    QCOMPARE(scalarQuery(env.state.database, QStringLiteral("SELECT count(*) FROM quillbox_history")),
             QStringLiteral("0"));
    // The deletes' undo has nothing left to bring back, and says so.
    env.program->dispatch(Id::Window::RecycleBin, Id::RecycleBin::EscapeKey);
    command(env, Id::Slot::Undo);
    QVERIFY(env.main()->message().contains(QStringLiteral("no longer in the recycle bin")));
}

void RecoveryTest::historyRestoresAVersion() {
    TestEnv env;
    QVERIFY(startWithFour(env));
    const SiteRecord original = *storedRecord(env.state.database, QStringLiteral("3"));
    for (const char* password : {"shop-2", "shop-3"}) {
        setPassword(editRecord(env, QStringLiteral("3")), QString::fromLatin1(password));
        save(env);
    }
    DataForm* form = editRecord(env, QStringLiteral("3"));
    env.program->dispatch(Id::Window::DataForm, Id::DataForm::History);
    EntryWindow* history = env.program->dataForms()->historyWindow();
    QVERIFY(history && history->isVisible());
    QCOMPARE(history->list()->topLevelItemCount(), 2);
    // Newest first, passwords masked while private data is hidden.
    QCOMPARE(history->list()->topLevelItem(0)->text(1), QStringLiteral("Password: ******"));
    QCOMPARE(history->list()->topLevelItem(1)->text(1), QStringLiteral("Password: ***"));
    // The first version restored as a new save: the record as it was, and the save before kept.
    history->list()->topLevelItem(1)->setSelected(true);
    env.program->dispatch(Id::Window::History, Id::History::Restore);
    QCOMPARE(storedRecord(env.state.database, QStringLiteral("3"))->field, original.field);
    QCOMPARE(form->valueBox(Col::Password)->currentText(), QStringLiteral("pw2"));
    QCOMPARE(history->list()->topLevelItemCount(), 3);
    QCOMPARE(env.main()->model()->cell(rowOf(env, QStringLiteral("3")), RecordModel::SiteName), QStringLiteral("Shop"));
    // The restore itself is undone by Undo.
    env.program->dispatch(Id::Window::History, Id::History::Close);
    env.program->dispatch(Id::Window::DataForm, Id::DataForm::Exit);
    command(env, Id::Slot::Undo);
    QCOMPARE(storedRecord(env.state.database, QStringLiteral("3")).value()[Col::Password], QStringLiteral("shop-3"));
}

void RecoveryTest::valuesAreStoredExactly_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("notes only") << "notes";
    QTest::newRow("nothing") << "";
    QTest::newRow("a 1 MB paste into a box") << "paste";
}

void RecoveryTest::valuesAreStoredExactly() {
    QFETCH(QString, change);
    TestEnv env;
    QVERIFY(startWithFour(env));
    const SiteRecord bank = *storedRecord(env.state.database, QStringLiteral("1"));
    const SiteRecord mail = *storedRecord(env.state.database, QStringLiteral("2"));
    const QString paste(1 << 20, QLatin1Char('p'));
    // Mail's password is shown, copied and saved with its two quotes.
    QCOMPARE(editRecord(env, QStringLiteral("2"))->valueBox(Col::Password)->currentText(), QStringLiteral("ab''cd"));
    save(env);
    QCOMPARE(storedRecord(env.state.database, QStringLiteral("2"))->field, mail.field);
    DataForm* form = editRecord(env, QStringLiteral("1"));
    if (change == QLatin1String("notes")) {
        form->notes()->setPlainText(QStringLiteral("new notes"));
    } else if (change == QLatin1String("paste")) {
        form->valueBox(Col::FirstMisc + 3)->setEditText(paste);
    }
    save(env);
    const SiteRecord after = *storedRecord(env.state.database, QStringLiteral("1"));
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (k == Col::Notes && change == QLatin1String("notes")) {
            QCOMPARE(after[k], QStringLiteral("new notes"));
        } else if (k == Col::FirstMisc + 3 && change == QLatin1String("paste")) {
            QCOMPARE(after[k].size(), paste.size());
        } else {
            QCOMPARE(after[k], bank[k]); // the 100,000 characters of Misc 1 included
        }
    }
}

void RecoveryTest::anotherProgramsChangeIsNotOverwritten_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("password"); // stored afterwards
    QTest::addColumn<QString>("notes");
    QTest::newRow("keep mine") << "Keep mine"
                               << "typed-here"
                               << "changed elsewhere";
    QTest::newRow("take theirs") << "Take theirs"
                                 << "set-elsewhere"
                                 << "changed elsewhere";
    QTest::newRow("cancel") << "Cancel"
                            << "set-elsewhere"
                            << "changed elsewhere";
}

void RecoveryTest::anotherProgramsChangeIsNotOverwritten() {
    QFETCH(QString, answer);
    QFETCH(QString, password);
    QFETCH(QString, notes);
    TestEnv env;
    QVERIFY(startWithFour(env));
    DataForm* form = editRecord(env, QStringLiteral("3"));
    setPassword(form, QStringLiteral("typed-here"));
    // Meanwhile another program sets the password and the notes of the same record.
    Database other;
    QVERIFY(other.open(env.state.files.databaseFile));
    QVERIFY(other.execute(
        QStringLiteral("UPDATE quillbox SET password='set-elsewhere', notes='changed elsewhere' WHERE record=3")));
    env.askAnswers << answer;
    save(env);
    QCOMPARE(env.questions.size(), 1);
    QVERIFY(env.questions[0].contains(QStringLiteral("Password, Notes")));
    const SiteRecord stored = *storedRecord(env.state.database, QStringLiteral("3"));
    QCOMPARE(stored[Col::Password], password);
    QCOMPARE(stored[Col::Notes], notes); // a field only they changed is theirs even when mine is kept
    // The form stays open unless the edit was saved; taking theirs shows theirs.
    QCOMPARE(env.program->dataForms()->window() == nullptr, answer == QLatin1String("Keep mine"));
    if (answer == QLatin1String("Take theirs")) {
        QCOMPARE(form->valueBox(Col::Password)->currentText(), QStringLiteral("set-elsewhere"));
    }
    if (answer == QLatin1String("Keep mine")) {
        // Theirs is kept in the history.
        QCOMPARE(recordVersions(env.state.database, QStringLiteral("3"))->first().values[Col::Password],
                 QStringLiteral("set-elsewhere"));
    }
}

namespace {
QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// One page in the middle of the file overwritten, as a failing disk or a stray program leaves it.
QByteArray damaged(QByteArray bytes) {
    bytes.replace(bytes.size() / 2 / 4096 * 4096, 4096, QByteArray(4096, '\xA5'));
    return bytes;
}
} // namespace

void RecoveryTest::aDamagedFileIsNeverTakenForSound_data() {
    QTest::addColumn<QString>("answer");
    QTest::newRow("use the backup") << "Use the backup";
    QTest::newRow("keep the damaged file") << "Keep the damaged file";
}

void RecoveryTest::aDamagedFileIsNeverTakenForSound() {
    QFETCH(QString, answer);
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    const QString& file = env.state.files.databaseFile;
    seedDatabase(file, sample::generateRecords(2000, 5));
    // Monday's backup is sound; Tuesday's, newer, was already taken from the damaged file.
    QVERIFY(QFile::copy(file, file + QStringLiteral(".Mon")));
    QFile(file + QStringLiteral(".Mon"))
        .setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
    const QByteArray bad = damaged(bytesOf(file));
    writeBytes(file, bad);
    writeBytes(file + QStringLiteral(".Tue"), bad);
    env.askAnswers << answer;
    QVERIFY(env.start());
    QCOMPARE(env.questions.size(), 1);
    QVERIFY2(env.questions[0].startsWith(QStringLiteral("Damaged database: The database file is damaged")),
             qPrintable(env.questions[0]));
    QVERIFY(env.questions[0].contains(QStringLiteral(".ptk.Mon")));
    QVERIFY(env.questions[0].contains(QStringLiteral("2000 records")));
    if (answer == QLatin1String("Use the backup")) {
        QCOMPARE(bytesOf(file + QStringLiteral(".damaged")), bad); // kept as it was found
        QCOMPARE(integrityProblem(env.state.database), QString());
        QCOMPARE(scalarQuery(env.state.database, QStringLiteral("SELECT count(*) FROM quillbox")),
                 QStringLiteral("2000"));
        QVERIFY(env.main()->model()->rowCount() > 0);
        return;
    }
    // Kept: it says so, never "ready"; and the exit's backup leaves Tuesday's alone.
    QVERIFY2(env.main()->message().startsWith(QStringLiteral("Error: The database file is damaged")),
             qPrintable(env.main()->message()));
    env.program->shutDown();
    QCOMPARE(bytesOf(file), bad);
    QVERIFY(env.boxes.last().text.contains(QStringLiteral("fails its check")));
    const QByteArray monday = bytesOf(file + QStringLiteral(".Mon"));
    QVERIFY(!monday.isEmpty());
    QCOMPARE(bytesOf(file + QStringLiteral(".Tue")), bad);
}

void RecoveryTest::aLockAtStartUpIsNeverASessionWithoutDatabase() {
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, {makeRecord("Bank", "ann", "secret", "", "Money", "Home")});
    ProgramSettings settings = defaultSettings();
    settings.lastOwner = QStringLiteral("Home");
    settings.passwordFingerprint = passwordFingerprint(env.password, {1, MinKdfMemoryMiB});
    QDir().mkpath(env.path("System"));
    QVERIFY(saveSettings(env.state.files.settingsFile, settings).ok());
    const QByteArray before = bytesOf(env.state.files.settingsFile);
    Database other;
    QVERIFY(other.open(env.state.files.databaseFile));
    QVERIFY(other.execute(QStringLiteral("BEGIN EXCLUSIVE")));
    env.askAnswers << QStringLiteral("Quit");
    QVERIFY(!env.start()); // the program ends, writing nothing
    QCOMPARE(env.questions.size(), 1);
    QVERIFY(env.questions[0].startsWith(QStringLiteral("Database locked")));
    QCOMPARE(bytesOf(env.state.files.settingsFile), before); // the saved owner stays
}

void RecoveryTest::manyRecordsAreCopiedOnlyWhenAsked_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("answer"); // empty: nothing asked
    QTest::newRow("50, not asked") << 50 << "";
    QTest::newRow("51, cancelled") << 51 << "Cancel";
    QTest::newRow("2000, copied") << 2000 << "Copy";
}

void RecoveryTest::manyRecordsAreCopiedOnlyWhenAsked() {
    QFETCH(int, records);
    QFETCH(QString, answer);
    TestEnv env;
    env.state.setWorkingFolder(env.path());
    QList<SiteRecord> list;
    for (int i = 0; i < records; ++i) {
        list << makeRecord(QStringLiteral("Site %1").arg(i, 4, 10, QLatin1Char('0')), "u", "p", "", "C", "Home");
    }
    seedDatabase(env.state.files.databaseFile, list);
    QVERIFY(env.start());
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    command(env, Id::Slot::TagAll);
    if (!answer.isEmpty()) {
        env.askAnswers << answer;
    }
    command(env, Id::Slot::CopyRecords);
    QCOMPARE(env.questions.size(), answer.isEmpty() ? 0 : 1);
    const QString copied = QGuiApplication::clipboard()->text();
    if (answer == QLatin1String("Cancel")) {
        QCOMPARE(copied, QStringLiteral("before"));
        return;
    }
    QCOMPARE(copied.count(QRegularExpression(QStringLiteral("Site \\d{4}"))), records);
    // In the list's order, first to last.
    QVERIFY(copied.indexOf(QStringLiteral("Site 0000")) < copied.indexOf(QStringLiteral("Site 0001")));
    QCOMPARE(env.main()->message(),
             QStringLiteral("Info: (%1) Have been copied To the program clipboard.").arg(records));
}

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
