#include "support/TestEnv.h"

#include "support/SampleRecords.h"

#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/PasswordWindow.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "transfer/ImportPreviewWindow.h"
#include "transfer/ImportRead.h"

#include <QDir>
#include <QLineEdit>
#include <QtTest>

namespace quillbox::test {

TestEnv::TestEnv() {
    previousFolder = QDir::currentPath();
    QDir::setCurrent(dir.path());
    state.seams.clock = &clock;
    state.seams.messageBox = [this](const QString& title, const QString& text, MessageIcon icon) {
        boxes.append({title, text, icon});
    };
    state.seams.ask = [this](const QString& title, const QString& text, const QStringList& buttons) {
        questions.append(title + QStringLiteral(": ") + text);
        const QString answer = !askAnswers.isEmpty()                         ? askAnswers.takeFirst()
                               : buttons.contains(QStringLiteral("Discard")) ? QStringLiteral("Discard")
                                                                             : buttons.value(0);
        return static_cast<int>(buttons.indexOf(answer));
    };
    state.seams.fileRequester = [this](const QString& title, const QString&, const QString& patterns,
                                       QString* selectedFilter, bool) {
        fileRequests.append(title);
        if (!filterAnswers.isEmpty()) {
            const QString filter = patterns.split(QStringLiteral(";;")).value(filterAnswers.takeFirst());
            if (selectedFilter && !filter.isEmpty()) {
                *selectedFilter = filter;
            }
        }
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    };
    state.seams.now = [this] { return now; };
    state.seams.openUrl = [this](const QUrl& url) {
        openedUrls.append(url);
        return urlsOpen;
    };
    state.seams.askNumber = [this](const QString& title, const QString& label, int value, int,
                                   int) -> std::optional<int> {
        numberQuestions.append(QStringLiteral("%1: %2 (%3)").arg(title, label).arg(value));
        return numberAnswers.isEmpty() ? std::nullopt : std::optional<int>(numberAnswers.takeFirst());
    };
    state.seams.trayAvailable = [this] { return trayAvailable; };
    // Keys and fingerprints as cheap as the format allows: the tests make many.
    state.seams.kdfCost = [] { return KdfCost{1, MinKdfMemoryMiB}; };
    state.seams.homeFolder = [this] { return homeFolder; };
    state.seams.importPreview = [this](const ImportPreview& preview, bool, QWidget*) {
        previews.append(preview);
        if (!previewAnswers.isEmpty()) {
            return previewAnswers.takeFirst();
        }
        return importAnswer ? PreviewAnswer::Import : PreviewAnswer::Cancel;
    };
    state.seams.csvColumns = [this](QIODevice& file, ImportOptions& options, QWidget*) {
        ++columnQuestions;
        if (!columnAnswer) {
            return false;
        }
        QString failure;
        const CsvSample sample = sampleCsvFile(file, options.csvLayout.delimiter, options.encoding, 20, failure);
        if (!options.csvLayout.isValid()) {
            options.csvLayout = startingCsvLayout(sample);
        }
        return failure.isEmpty() && applyCsvMapping(options.csvLayout, *columnAnswer, sample.columnCount).isEmpty();
    };
    state.seams.modalLoop = [this](QWidget* window, const std::function<bool()>& done) {
        auto* w = qobject_cast<PasswordWindow*>(window);
        passwordPrompts.append(w ? w->number() : 0);
        if (!w) {
            return;
        }
        if (answerPassword) {
            answerPassword(w, done);
            return;
        }
        for (int round = 0; round < 3 && !done() && w->focusedField() != 0; ++round) {
            enterPassword(w, w->focusedField(), password);
        }
    };
}

void enterPassword(PasswordWindow* window, int field, const QString& text) {
    QLineEdit* entry = window->field(field);
    QVERIFY(entry);
    entry->setFocus();
    entry->clear();
    QTest::keyClicks(entry, text);
    QTest::keyClick(entry, Qt::Key_Return);
}

TestEnv::~TestEnv() {
    program.reset();
    QDir::setCurrent(previousFolder);
}

QString TestEnv::path(const QString& relative) const {
    return relative.isEmpty() ? dir.path() : QDir(dir.path()).filePath(relative);
}

bool TestEnv::start() {
    program = std::make_unique<Program>(state);
    return program->startUp();
}

QList<QStringList> TestEnv::listRows() const {
    QList<QStringList> rows;
    const RecordModel* model = main()->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c <= RecordModel::Record; ++c) {
            cells << model->cell(r, c);
        }
        rows << cells;
    }
    return rows;
}

QStringList TestEnv::column(int column) const {
    QStringList cells;
    const RecordModel* model = main()->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        cells << model->cell(r, column);
    }
    return cells;
}

SiteRecord makeRecord(const QString& site, const QString& user, const QString& password, const QString& home,
                      const QString& category, const QString& owner, const QString& notes) {
    SiteRecord r;
    r[Col::SiteNameLabel] = QStringLiteral("Site name");
    r[Col::SiteName] = site;
    r[Col::UserNameLabel] = QStringLiteral("User name");
    r[Col::UserName] = user;
    r[Col::PasswordLabel] = QStringLiteral("Password");
    r[Col::Password] = password;
    r[Col::HomePageLabel] = QStringLiteral("Home page");
    r[Col::HomePage] = home;
    r[Col::Category] = category;
    r[Col::Owner] = owner;
    r[Col::Notes] = notes;
    return r;
}

void insertRecord(Database& db, const SiteRecord& record) {
    QVERIFY2(db.execute(buildInsertStatement(quotedFields(record))), qPrintable(db.errorText()));
}

void seedDatabase(const QString& databaseFile, const QList<SiteRecord>& records) {
    const QString error = sample::writeDatabase(databaseFile, records);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

} // namespace quillbox::test
