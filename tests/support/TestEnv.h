#pragma once

#include "about/AboutController.h"
#include "app/AppState.h"
#include "app/Program.h"
#include "dataform/DataFormController.h"
#include "mainwindow/ListController.h"
#include "print/PrintController.h"
#include "settings/OptionsController.h"
#include "settings/SecurityController.h"
#include "store/SiteRecord.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportPreviewWindow.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace quillbox {
class PasswordWindow;
}

namespace quillbox::test {

struct RecordedBox {
    QString title;
    QString text;
    MessageIcon icon;
};

// A private working folder made current for one test, with every seam recording what the
// program asks of the outside world.
class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString path(const QString& relative = QString()) const;

    // Builds the program and runs its start-up; false when start-up ended the program.
    bool start();
    MainWindow* main() const { return program->mainWindow(); }
    // The list's cells as the user sees them, row by row.
    QList<QStringList> listRows() const;
    QStringList column(int column) const;

    QTemporaryDir dir;
    QString previousFolder;
    // The clipboard's clearing and the idle lock go by this clock, which moves only when told.
    ManualClock clock;
    AppState state;
    std::unique_ptr<Program> program;

    QList<RecordedBox> boxes;
    // Questions asked, as "title: text"; each is answered with the next of askAnswers (a button's
    // label), or else with "Discard" where offered, or else the first button.
    QStringList questions;
    QStringList askAnswers;
    // Numbers asked for, as "title: label (value)"; each is answered with the next of numberAnswers,
    // or cancelled when there is none left.
    QStringList numberQuestions;
    QList<int> numberAnswers;
    QDateTime now{QDate(2026, 12, 8), QTime(10, 0, 0)}; // a Tuesday
    QList<QUrl> openedUrls;
    bool urlsOpen = true;     // false: as on a desktop with no browser
    QStringList fileAnswers;  // answers handed out by the file requester, first first
    QList<int> filterAnswers; // the pattern chosen in each request, by index; the preselected one when none
    QStringList fileRequests;
    bool trayAvailable = true;

    // The start-up password windows are answered here instead of waiting for a user: by default
    // `password` is typed into the focused field and Return pressed until the window is done
    // (so the first start creates it, later starts give it). A test may answer in its own way.
    QString password = QStringLiteral("Quill-test-01");
    std::function<void(PasswordWindow* window, const std::function<bool()>& done)> answerPassword;
    QList<int> passwordPrompts; // the numbers of the windows shown, in order
    QString homeFolder = QStringLiteral("/home/tester");
    // Import previews shown, and the answer given to them (Import by default).
    QList<ImportPreview> previews;
    bool importAnswer = true;
    QList<PreviewAnswer> previewAnswers; // given first, one a preview, before importAnswer
    // How often a CSV file's columns were asked for, and the answer: the columns the file shows,
    // or where the file shows none every column to the next free field, then these choices (as the
    // command line gives them: "1=sitename,Login=username"). No answer cancels.
    int columnQuestions = 0;
    std::optional<QString> columnAnswer = QString();
};

// Focuses an entry field of a password window, replaces its text and presses Return there.
void enterPassword(PasswordWindow* window, int field, const QString& text);

// A record as the data form would save it: the default labels and the given values, unquoted.
SiteRecord makeRecord(const QString& site, const QString& user, const QString& password, const QString& home,
                      const QString& category, const QString& owner, const QString& notes = QString());

// Writes records straight into the database file (creating table and file as the program would).
void seedDatabase(const QString& databaseFile, const QList<SiteRecord>& records);
void insertRecord(Database& db, const SiteRecord& record);

} // namespace quillbox::test
