// The command line program run as a user runs it: the real executable on a real working folder,
// its exit status, its output, and what the database holds afterwards.
#include "health/BreachList.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RecordModel.h"
#include "otp/OneTimeCode.h"
#include "settings/PasswordCheck.h"
#include "store/DatabaseFile.h"
#include "store/RecordHistory.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "store/WorkingFolder.h"
#include "support/Files.h"
#include "support/SampleRecords.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillbox;
using namespace quillbox::test;

namespace {

const QString password = QStringLiteral("Quill-test-01");
const QByteArray passwordLine = "Quill-test-01\n";
const KdfCost cheapCost{1, MinKdfMemoryMiB};

struct CliRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program in its own session, so it never finds the terminal the tests were started from.
// How the program finds the desktop: none at all, or the tests' own clipboard (offscreen), with a
// runtime folder of its own so that the toolkit has nothing to warn about.
enum class Desktop { Inherited, None, Offscreen };

CliRun runCli(const QString& folder, const QStringList& arguments, const QByteArray& input,
              const QString& outputFile = QString(), Desktop desktop = Desktop::Inherited) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (desktop == Desktop::None) {
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
            environment.remove(QString::fromLatin1(name));
        }
    } else if (desktop == Desktop::Offscreen) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.setChildProcessModifier([] { ::setsid(); });
    if (!outputFile.isEmpty()) {
        process.setStandardOutputFile(outputFile);
    }
    process.start(QStringLiteral(QUILLBOX_CLI), arguments);
    process.write(input);
    process.closeWriteChannel();
    CliRun result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return result;
    }
    result.status = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QJsonArray parseJson(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    [&] { QVERIFY2(error.error == QJsonParseError::NoError && document.isArray(), bytes.constData()); }();
    return document.array();
}

QStringList recordNumbers(const QJsonArray& records) {
    QStringList numbers;
    for (const QJsonValue& v : records) {
        numbers << QString::number(v.toObject().value(QStringLiteral("record")).toInteger());
    }
    return numbers;
}

qint64 recordCount(const QString& databaseFile) {
    Database db;
    if (!db.open(databaseFile, sample::keyOf(databaseFile))) {
        return -1;
    }
    return scalarQuery(db, QStringLiteral("SELECT count(*) FROM quillbox")).toLongLong();
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void commands_data();
    void commands();
    void recordRoundTrip();
    void searchMatchesWindow_data();
    void searchMatchesWindow();
    void checkReportsFaults_data();
    void checkReportsFaults();
    void passwordChange_data();
    void passwordChange();
    void terminalPromptHidesPassword();
    void passwordChangedWhileWindowRuns();
    void windowAndCliShareAnEncryptedFile();
    void binAndHistoryRoundTrip();
    void import_data();
    void import();
    void exportReadsBack_data();
    void exportReadsBack();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    WorkingFolder m_folder;
};

void CliTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_folder = WorkingFolder::at(m_dir->path());
    QVERIFY(QDir().mkpath(m_folder.systemFolder));
    QVERIFY(storePassword(m_folder.settingsFile, password, cheapCost).ok());
    SiteRecord bank = makeRecord("Bank", "ann", "p'w\"d", "https://bank.example", "Money", "Ann", "first\r\nsecond");
    SiteRecord mail = makeRecord("Mail", "bob", "secret-mail", "https://mail.example", "Work", "Ann");
    SiteRecord shop = makeRecord("Shop", "obi", "shop-pass", "", "Fun", "O'Brien");
    SiteRecord evil = makeRecord("\x1b]0;owned\x07"
                                 "Evil",
                                 "eve", "x", "", "Fun", "Ann");
    seedDatabase(m_folder.databaseFile, {bank, mail, shop, evil});
}

void CliTest::commands_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // found in standard output
    QTest::addColumn<QString>("absent"); // never in standard output
    QTest::addColumn<QString>("error");  // found in standard error
    QTest::addColumn<int>("recordsAfter");

    const QByteArray pw = passwordLine;
    QTest::newRow("list every owner") << QStringList{"list"} << pw << "" << 0 << "Shop"
                                      << "secret-mail"
                                      << "" << 4;
    QTest::newRow("list masks private columns")
        << QStringList{"list", "--owner", "Ann"} << pw << "" << 0 << "***********"
        << "secret-mail"
        << "" << 4;
    QTest::newRow("list sends no control characters to the terminal") << QStringList{"list"} << pw << "" << 0 << "Evil"
                                                                      << "\x1b"
                                                                      << "" << 4;
    QTest::newRow("category of an owner")
        << QStringList{"list", "--owner", "Ann", "--category", "Work"} << pw << "" << 0 << "1 Record"
        << "Bank"
        << "" << 4;
    QTest::newRow("wrong password changes nothing")
        << QStringList{"delete", "1"} << QByteArray("Quill-wrong-1\n") << "" << 1 << ""
        << ""
        << "The passwords do not match." << 4;
    QTest::newRow("empty password") << QStringList{"list"} << QByteArray("\n") << "" << 1 << ""
                                    << "Bank"
                                    << "must not be empty" << 4;
    QTest::newRow("no password on input") << QStringList{"list"} << QByteArray() << "" << 1 << ""
                                          << "Bank"
                                          << "No password was given" << 4;
    QTest::newRow("no terminal to ask on") << QStringList{"list"} << pw << "no-stdin-option" << 1 << ""
                                           << "Bank"
                                           << "--password-stdin" << 4;
    QTest::newRow("no password chosen yet") << QStringList{"list"} << pw << "no-settings" << 1 << ""
                                            << "Bank"
                                            << "Start Quillbox" << 4;
    QTest::newRow("no such folder") << QStringList{"--folder", "/nonexistent/quillbox", "list"} << pw << "" << 1 << ""
                                    << ""
                                    << "There is no folder" << 4;
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << pw << "" << 2 << ""
                                     << ""
                                     << "Usage: quillbox-cli" << 4;
    QTest::newRow("no command") << QStringList{} << pw << "" << 2 << ""
                                << ""
                                << "Usage: quillbox-cli" << 4;
    QTest::newRow("unknown option") << QStringList{"list", "--colour"} << pw << "" << 2 << ""
                                    << ""
                                    << "Usage: quillbox-cli [--folder DIR] [--password-stdin] list" << 4;
    QTest::newRow("search without a field") << QStringList{"search", "--type", "eq", "x"} << pw << "" << 2 << ""
                                            << ""
                                            << "--field is missing" << 4;
    QTest::newRow("search with an unknown comparison")
        << QStringList{"search", "--field", "all", "--type", "like", "x"} << pw << "" << 2 << ""
        << ""
        << "like" << 4;
    QTest::newRow("record number that is SQL") << QStringList{"delete", "1) OR (1=1"} << pw << "" << 2 << ""
                                               << ""
                                               << "is not a record number" << 4;
    QTest::newRow("show a missing record") << QStringList{"show", "99"} << pw << "" << 1 << ""
                                           << ""
                                           << "There is no record 99" << 4;
    QTest::newRow("delete all or none") << QStringList{"delete", "1", "99"} << pw << "" << 1 << ""
                                        << ""
                                        << "nothing was deleted" << 4;
    QTest::newRow("delete two") << QStringList{"delete", "1", "2", "1"} << pw << "" << 0 << "Deleted 2 records"
                                << ""
                                << "" << 2;
    QTest::newRow("delete goes to the bin") << QStringList{"delete", "1"} << pw << "" << 0 << "moved to the recycle bin"
                                            << ""
                                            << "" << 3;
    QTest::newRow("erase asks first") << QStringList{"delete", "--erase", "1"} << pw << "" << 1 << ""
                                      << ""
                                      << "give --yes" << 4;
    QTest::newRow("erase") << QStringList{"delete", "--erase", "--yes", "1"} << pw << "" << 0 << "Erased 1 record"
                           << ""
                           << "" << 3;
    QTest::newRow("restore what is not in the bin") << QStringList{"restore", "1"} << pw << "" << 1 << ""
                                                    << ""
                                                    << "Not in the recycle bin: 1" << 4;
    QTest::newRow("empty an empty bin") << QStringList{"empty-bin"} << pw << "" << 0 << "The recycle bin is empty"
                                        << ""
                                        << "" << 4;
    QTest::newRow("history of a record never saved")
        << QStringList{"history", "1"} << pw << "" << 0 << "0 versions kept of record 1"
        << ""
        << "" << 4;
    QTest::newRow("add without owner") << QStringList{"add", "--category", "Fun", "--set", "sitename=x"} << pw << ""
                                       << 2 << ""
                                       << ""
                                       << "--owner is missing" << 4;
    QTest::newRow("add with nothing to find it by")
        << QStringList{"add", "--owner", "Ann", "--category", "Fun", "--set", "notes=only notes"} << pw << "" << 1 << ""
        << ""
        << "at least one item of data" << 4;
    QTest::newRow("add") << QStringList{"add", "--owner", "Ann", "--category", "Fun", "--set", "sitename=Games"} << pw
                         << "" << 0 << "5"
                         << ""
                         << "" << 5;
    QTest::newRow("edit an unknown column") << QStringList{"edit", "1", "--set", "colour=red"} << pw << "" << 2 << ""
                                            << ""
                                            << "COLUMN=VALUE" << 4;
    QTest::newRow("edit a missing record") << QStringList{"edit", "99", "--set", "sitename=x"} << pw << "" << 1 << ""
                                           << ""
                                           << "There is no record 99" << 4;
    QTest::newRow("edit that empties the owner") << QStringList{"edit", "1", "--set", "owner="} << pw << "" << 1 << ""
                                                 << ""
                                                 << "owner must not be empty" << 4;
    QTest::newRow("backup over the database itself")
        << QStringList{"backup", "Database/Vennholt Quillbox v2.00.ptk"} << pw << "" << 1 << ""
        << ""
        << "cannot replace the database" << 4;
    QTest::newRow("check") << QStringList{"check"} << pw << "" << 0 << "Integrity: ok"
                           << ""
                           << "" << 4;
    QTest::newRow("output that cannot be written") << QStringList{"list"} << pw << "output-to-full-disk" << 1 << ""
                                                   << ""
                                                   << "No space left on device" << 4;
    // An encrypted database: opened with the password, whatever the settings hold.
    QTest::newRow("encrypted: list") << QStringList{"list", "--owner", "Ann"} << pw << "encrypted" << 0 << "Mail"
                                     << "secret-mail"
                                     << "" << 4;
    QTest::newRow("encrypted: wrong password")
        << QStringList{"list"} << QByteArray("Quill-wrong-1\n") << "encrypted" << 1 << ""
        << "Bank"
        << "The passwords do not match." << 4;
    QTest::newRow("encrypted: the password typed twice")
        << QStringList{"list"} << QByteArray("Quill-test-01Quill-test-01\n") << "encrypted" << 1 << ""
        << "Bank"
        << "The passwords do not match." << 4;
    QTest::newRow("encrypted, settings lost") << QStringList{"list"} << pw << "encrypted-no-settings" << 0 << "Shop"
                                              << ""
                                              << "" << 4;
    QTest::newRow("encrypted: add") << QStringList{"add", "--owner", "Ann",           "--category",
                                                   "Fun", "--set",   "sitename=Games"}
                                    << pw << "encrypted" << 0 << "5"
                                    << ""
                                    << "" << 5;
    QTest::newRow("encrypted: check") << QStringList{"check"} << pw << "encrypted" << 0
                                      << "Encryption: XChaCha20-Poly1305"
                                      << ""
                                      << "" << 4;
    QTest::newRow("encrypted: damaged page")
        << QStringList{"check"} << pw << "encrypted-damaged" << 1 << "damaged or was changed outside Quillbox. (page 2)"
        << ""
        << "faults" << -1;
    // A damaged file is never taken for an empty one, nor written to.
    QTest::newRow("damaged: list fails") << QStringList{"list"} << pw << "damaged" << 1 << ""
                                         << "0 Records"
                                         << "The database query failed" << -1;
    QTest::newRow("damaged: add refused")
        << QStringList{"add", "--owner", "Ann", "--category", "Fun", "--set", "sitename=Games"} << pw << "damaged" << 1
        << ""
        << ""
        << "fails its check" << -1;
    QTest::newRow("encrypt") << QStringList{"encrypt"} << pw << "" << 0 << "now encrypted"
                             << ""
                             << "" << 4;
    QTest::newRow("encrypt twice") << QStringList{"encrypt"} << pw << "encrypted" << 1 << ""
                                   << ""
                                   << "encrypted already" << 4;
    QTest::newRow("decrypt, not asked for") << QStringList{"decrypt"} << pw << "encrypted" << 1 << ""
                                            << ""
                                            << "Give --yes" << 4;
    QTest::newRow("decrypt") << QStringList{"decrypt", "--yes"} << pw << "encrypted" << 0 << "stored unencrypted"
                             << ""
                             << "" << 4;
    // The keeper's tools. Record 5 holds a one-time secret (the RFC's SHA-1 key), 6 a malformed one.
    QTest::newRow("totp") << QStringList{"totp", "5"} << pw << "totp" << 0 << ""
                          << ""
                          << "" << 6;
    QTest::newRow("totp of a record without one") << QStringList{"totp", "1"} << pw << "totp" << 1 << ""
                                                  << ""
                                                  << "has no one-time code" << 6;
    QTest::newRow("totp of a malformed secret") << QStringList{"totp", "6"} << pw << "totp" << 1 << ""
                                                << ""
                                                << "not Base32: \"1\"" << 6;
    QTest::newRow("generate") << QStringList{"generate", "--kinds", "digits", "--length", "12"} << QByteArray()
                              << "no-stdin-option" << 0 << ""
                              << "a"
                              << "" << 4;
    QTest::newRow("generate, length out of range")
        << QStringList{"generate", "--length", "7"} << QByteArray() << "no-stdin-option" << 2 << ""
        << ""
        << "--length is" << 4;
    QTest::newRow("generate, unknown kind")
        << QStringList{"generate", "--kinds", "lower,runes"} << QByteArray() << "no-stdin-option" << 2 << ""
        << ""
        << "runes" << 4;
    QTest::newRow("generate, words and length")
        << QStringList{"generate", "--words", "4", "--length", "9"} << QByteArray() << "no-stdin-option" << 2 << ""
        << ""
        << "--words" << 4;
    QTest::newRow("estimate from standard input")
        << QStringList{"estimate"} << QByteArray("password1\n") << "no-stdin-option" << 0 << "Strength: poor"
        << "password1"
        << "" << 4;
    QTest::newRow("estimate says why") << QStringList{"estimate", "qwertyuiop"} << QByteArray() << "no-stdin-option"
                                       << 0 << "Warning: It is built on a common word"
                                       << ""
                                       << "" << 4;
    QTest::newRow("estimate, nothing given") << QStringList{"estimate"} << QByteArray() << "no-stdin-option" << 1 << ""
                                             << ""
                                             << "No password given" << 4;
    QTest::newRow("analyze") << QStringList{"analyze"} << pw << "" << 0 << "Weak passwords: 4"
                             << "Passwords found in the breach list"
                             << "" << 4;
    QTest::newRow("analyze one owner") << QStringList{"analyze", "--owner", "O'Brien"} << pw << "" << 0
                                       << "Checked 1 records of O'Brien."
                                       << "Bank"
                                       << "" << 4;
    QTest::newRow("analyze, breach list") << QStringList{"analyze", "--hibp", "breaches.txt"} << pw << "breach list"
                                          << 0 << "Passwords found in the breach list: 1"
                                          << ""
                                          << "" << 4;
    QTest::newRow("analyze, no such breach list") << QStringList{"analyze", "--hibp", "none.txt"} << pw << "" << 2 << ""
                                                  << ""
                                                  << "There is no breach list" << 4;
    QTest::newRow("clip, no clipboard") << QStringList{"clip", "2"} << pw << "no display" << 1 << ""
                                        << ""
                                        << "No clipboard is reachable" << 4;
    QTest::newRow("clip, unknown field") << QStringList{"clip", "2", "--field", "notes"} << pw << "" << 2 << ""
                                         << ""
                                         << "--field is password" << 4;
    QTest::newRow("clip") << QStringList{"clip", "2", "--seconds", "1"} << pw << "" << 0
                          << "The password of record 2 is on the clipboard"
                          << "secret-mail"
                          << "" << 4;
    QTest::newRow("clip a one-time code") << QStringList{"clip", "5", "--field", "totp", "--seconds", "1"} << pw
                                          << "totp" << 0 << "The one-time code of record 5"
                                          << ""
                                          << "" << 6;
    QTest::newRow("program help") << QStringList{"--help"} << QByteArray() << "no-stdin-option" << 0 << "Commands:"
                                  << ""
                                  << "" << 4;
    QTest::newRow("command help") << QStringList{"show", "--help"} << QByteArray() << "no-stdin-option" << 0
                                  << "Usage: quillbox-cli [--folder DIR] [--password-stdin] show RECORD"
                                  << ""
                                  << "" << 4;
}

void CliTest::commands() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, setup);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, absent);
    QFETCH(QString, error);
    QFETCH(int, recordsAfter);
    if (setup != QLatin1String("no-stdin-option")) {
        arguments.prepend(QStringLiteral("--password-stdin"));
    }
    if (setup == QLatin1String("no-settings")) {
        QVERIFY(QFile::remove(m_folder.settingsFile));
    }
    if (setup.startsWith(QLatin1String("encrypted"))) {
        QVERIFY(sample::encryptFile(m_folder.databaseFile));
        QVERIFY(writeSetting(m_folder.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString()));
    }
    if (setup == QLatin1String("encrypted-no-settings")) {
        QVERIFY(QFile::remove(m_folder.settingsFile));
    }
    if (setup == QLatin1String("damaged")) {
        QFile file(m_folder.databaseFile);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(4096));
        QCOMPARE(file.write(QByteArray(4096, '\xA5')), 4096);
    }
    if (setup == QLatin1String("encrypted-damaged")) {
        QFile file(m_folder.databaseFile);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(4096 + 100));
        QVERIFY(file.putChar('!'));
    }
    if (setup == QLatin1String("totp")) {
        SiteRecord coded = makeRecord("Code", "ann", "c0de-Pass!", "", "Work", "Ann");
        coded[Col::FirstMisc] = QStringLiteral("TOTP");
        coded[Col::FirstMisc + 1] = QStringLiteral("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ");
        SiteRecord broken = coded;
        broken[Col::FirstMisc + 1] = QStringLiteral("GEZDGNBV1Y3TQOJQ");
        seedDatabase(m_folder.databaseFile, {coded, broken});
    }
    if (setup == QLatin1String("breach list")) {
        // "x", the password of record 4, in a list of otherwise unrelated hashes.
        QByteArray list;
        for (const QByteArray& hash : {QByteArray(40, '0'), breachHash(QStringLiteral("x")), QByteArray(40, 'F')}) {
            list += hash + ":42\r\n";
        }
        QVERIFY(writeAll(m_dir->filePath(QStringLiteral("breaches.txt")), list));
    }
    const bool toFullDisk = setup == QLatin1String("output-to-full-disk");
    if (toFullDisk && !QFileInfo::exists(QStringLiteral("/dev/full"))) {
        QSKIP("No /dev/full here");
    }
    const CliRun r = runCli(m_dir->path(), arguments, input, toFullDisk ? QStringLiteral("/dev/full") : QString(),
                            setup == QLatin1String("no display")         ? Desktop::None
                            : arguments.contains(QStringLiteral("clip")) ? Desktop::Offscreen
                                                                         : Desktop::Inherited);
    QVERIFY2(r.status == status, r.err.constData());
    QVERIFY2(r.out.contains(output.toUtf8()), r.out.constData());
    if (!absent.isEmpty()) {
        QVERIFY2(!r.out.contains(absent.toUtf8()), r.out.constData());
    }
    QVERIFY2(r.err.contains(error.toUtf8()), r.err.constData());
    QVERIFY2(status != 0 || r.err.isEmpty(), r.err.constData());
    if (arguments.contains(QStringLiteral("totp")) && status == 0 && !arguments.contains(QStringLiteral("clip"))) {
        // The code of the moment it ran: this second's, or the one's before when a period ended.
        OtpSecret secret;
        secret.key = "12345678901234567890";
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QVERIFY2(r.out == (oneTimeCode(secret, now) + '\n').toUtf8() ||
                     r.out == (oneTimeCode(secret, now - 2) + '\n').toUtf8(),
                 r.out.constData());
    }
    if (recordsAfter >= 0) {
        QCOMPARE(recordCount(m_folder.databaseFile), recordsAfter);
    }
    // A plain database keeps a fingerprint beside it, an encrypted one none.
    if (QFile::exists(m_folder.settingsFile)) {
        QCOMPARE(storedFingerprint(m_folder.settingsFile).isEmpty(),
                 databaseKind(m_folder.databaseFile) == DatabaseKind::Encrypted);
    }
}

void CliTest::recordRoundTrip() {
    const QString folder = m_dir->path();
    const QString notes = QStringLiteral("line one\nline two ü");
    CliRun r = runCli(folder,
                      {"--password-stdin", "add", "--owner", "Zoë", "--category", "Games", "--set",
                       "sitename=O'Neil's \"den\"", "--set", "password=pä|ss~", "--set", "lmisc1=PIN", "--set",
                       "misc1=1234", "--set", "notes=" + notes},
                      passwordLine);
    QCOMPARE(r.status, 0);
    const QString number = QString::fromUtf8(r.out).trimmed();
    QCOMPARE(number, QStringLiteral("5"));

    r = runCli(folder, {"--password-stdin", "show", number, "--json", "--show-passwords"}, passwordLine);
    QCOMPARE(r.status, 0);
    QJsonArray records = parseJson(r.out);
    QCOMPARE(records.size(), 1);
    QJsonObject record = records.at(0).toObject();
    QCOMPARE(record.size(), Col::Count);
    QCOMPARE(record.value("record").toInteger(), 5);
    QCOMPARE(record.value("sitename").toString(), QStringLiteral("O'Neil's \"den\""));
    QCOMPARE(record.value("password").toString(), QStringLiteral("pä|ss~"));
    QCOMPARE(record.value("lsitename").toString(), QStringLiteral("Site name"));
    QCOMPARE(record.value("lmisc1").toString(), QStringLiteral("PIN"));
    QCOMPARE(record.value("owner").toString(), QStringLiteral("Zoë"));
    QCOMPARE(record.value("notes").toString(), QStringLiteral("line one\r\nline two ü")); // stored as the form does

    // Without --show-passwords the private columns come masked, as the list shows them.
    r = runCli(folder, {"--password-stdin", "search", "--field", "misc1", "--type", "eq", "1234", "--json"},
               passwordLine);
    QCOMPARE(r.status, 0);
    records = parseJson(r.out);
    QCOMPARE(recordNumbers(records), QStringList{number});
    QCOMPARE(records.at(0).toObject().value("password").toString(), QStringLiteral("******"));

    r = runCli(folder, {"--password-stdin", "edit", number, "--set", "owner=Ann", "--set", "PASSWORD=new'one"},
               passwordLine);
    QCOMPARE(r.status, 0);
    r = runCli(folder, {"--password-stdin", "list", "--owner", "Ann", "--json", "--show-passwords"}, passwordLine);
    records = parseJson(r.out);
    QCOMPARE(recordNumbers(records), (QStringList{"4", "1", "2", number})); // by site name, as the window sorts
    QCOMPARE(records.at(3).toObject().value("password").toString(), QStringLiteral("new'one"));
    QCOMPARE(records.at(3).toObject().value("misc1").toString(), QStringLiteral("1234"));

    const QString copy = m_dir->filePath(QStringLiteral("copy.ptk"));
    r = runCli(folder, {"--password-stdin", "backup", copy}, passwordLine);
    QCOMPARE(r.status, 0);
    QCOMPARE(recordCount(copy), 5);

    r = runCli(folder, {"--password-stdin", "delete", number}, passwordLine);
    QCOMPARE(r.status, 0);
    r = runCli(folder, {"--password-stdin", "show", number}, passwordLine);
    QCOMPARE(r.status, 1);
    QCOMPARE(recordCount(copy), 5);
}

void CliTest::searchMatchesWindow_data() {
    QTest::addColumn<QString>("owner"); // empty: every owner, one after another
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");

    const QString ann = sample::mainOwner;
    QTest::newRow("all fields contain") << ann << ""
                                        << "all"
                                        << "contains"
                                        << "an";
    QTest::newRow("every owner, site name starts") << ""
                                                   << ""
                                                   << "sitename"
                                                   << "starts"
                                                   << "b";
    QTest::newRow("category, user name ends") << ann << "Mail"
                                              << "username"
                                              << "ends"
                                              << "7@example.org";
    QTest::newRow("quoted owner, password equal") << "O'Brien"
                                                  << ""
                                                  << "password"
                                                  << "eq"
                                                  << "p'w";
    QTest::newRow("every owner, home page after") << ""
                                                  << ""
                                                  << "homepage"
                                                  << "gt"
                                                  << "https://www.m";
    QTest::newRow("notes differ from nothing") << ann << ""
                                               << "notes"
                                               << "ne"
                                               << "";
    QTest::newRow("misc1 up to") << ""
                                 << "Banking"
                                 << "misc1"
                                 << "le"
                                 << "Account";
    QTest::newRow("category before") << ann << ""
                                     << "category"
                                     << "lt"
                                     << "M";
    QTest::newRow("category at or after") << ann << ""
                                          << "category"
                                          << "ge"
                                          << "S";
    QTest::newRow("wildcards stay wildcards") << ""
                                              << ""
                                              << "all"
                                              << "contains"
                                              << "a_c%e";
    QTest::newRow("owner column") << ""
                                  << ""
                                  << "owner"
                                  << "starts"
                                  << "o'";
}

void CliTest::searchMatchesWindow() {
    QFETCH(QString, owner);
    QFETCH(QString, category);
    QFETCH(QString, field);
    QFETCH(QString, type);
    QFETCH(QString, text);

    TestEnv env;
    QList<SiteRecord> records = sample::generateRecords(600);
    records << makeRecord("Quote", "o'b", "p'w", "", "Fun", "O'Brien")
            << makeRecord("Abc", "x", "p'w", "", "Fun", "o'neil");
    env.state.setWorkingFolder(env.path());
    seedDatabase(env.state.files.databaseFile, records);
    QVERIFY(env.start());

    QStringList cliArguments{"--password-stdin", "search", "--field", field, "--type", type, text, "--json"};
    if (!owner.isEmpty()) {
        cliArguments << "--owner" << owner;
    }
    if (!category.isEmpty()) {
        cliArguments << "--category" << category;
    }
    const CliRun r = runCli(env.path(), cliArguments, passwordLine);
    QVERIFY2(r.status == 0, r.err.constData());
    const QStringList fromCli = recordNumbers(parseJson(r.out));

    // The window, with the same choices in its boxes.
    static const QStringList types{"contains", "eq", "ne", "gt", "ge", "lt", "le", "starts", "ends"};
    MainWindow* main = env.main();
    QStringList owners;
    for (int i = 0; i < main->ownerBox()->count(); ++i) {
        owners << main->ownerBox()->itemText(i);
    }
    QStringList fromWindow;
    for (const QString& o : owner.isEmpty() ? owners : QStringList{owner}) {
        main->ownerBox()->setCurrentText(o);
        main->categoryBox()->setCurrentText(category.isEmpty() ? QStringLiteral("All Categories") : category);
        main->fieldBox()->setCurrentIndex(
            field == QLatin1String("all")
                ? 0
                : static_cast<int>(QStringList{"", "sitename", "username", "password", "homepage", "misc1", "misc2",
                                               "misc3", "misc4", "misc5", "misc6", "misc7", "misc8", "misc9",
                                               "category", "owner", "notes"}
                                       .indexOf(field)));
        main->searchTypeBox()->setCurrentIndex(static_cast<int>(types.indexOf(type)));
        main->searchText()->setText(text);
        QCoreApplication::sendPostedEvents();
        env.program->list()->runSearch();
        fromWindow << env.column(RecordModel::Record);
    }
    QVERIFY(!fromWindow.isEmpty() || text == QLatin1String("a_c%e"));
    QCOMPARE(fromCli, fromWindow);
}

void CliTest::checkReportsFaults_data() {
    QTest::addColumn<QByteArrayList>("statements"); // run on a new file; empty: no database file at all
    QTest::addColumn<QByteArray>("bytes");          // or these bytes as the file
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("report");

    QByteArray allColumns;
    for (int k = 0; k < Col::Record; ++k) {
        allColumns += columnNames().at(k).toLatin1() + " TEXT, ";
    }
    QTest::newRow("sound") << QByteArrayList{"CREATE TABLE quillbox(" + allColumns + "record INTEGER PRIMARY KEY)",
                                             "INSERT INTO quillbox(sitename) VALUES('a')"}
                           << QByteArray() << 0 << "Records: 1";
    QTest::newRow("columns missing")
        << QByteArrayList{"CREATE TABLE quillbox(sitename TEXT, owner TEXT, record INTEGER PRIMARY KEY)"}
        << QByteArray() << 1 << "Columns: missing lsitename";
    QTest::newRow("no table") << QByteArrayList{"CREATE TABLE other(a)"} << QByteArray() << 1 << "no table quillbox";
    QTest::newRow("a trigger")
        << QByteArrayList{"CREATE TABLE quillbox(" + allColumns + "record INTEGER PRIMARY KEY)",
                          "CREATE TRIGGER t AFTER UPDATE ON quillbox BEGIN DELETE FROM quillbox; "
                          "END"}
        << QByteArray() << 1 << "Refused: triggers on quillbox would change records";
    QTest::newRow("bin and history") << QByteArrayList{"CREATE TABLE quillbox(" + allColumns +
                                                           "record INTEGER PRIMARY KEY)",
                                                       "INSERT INTO quillbox(sitename) VALUES('a')"}
                                     << QByteArray("with history") << 0 << "Recycle bin: 1 record; history: 1 version";
    QTest::newRow("verbose: searches from the copy")
        << QByteArrayList{"CREATE TABLE quillbox(" + allColumns + "record INTEGER PRIMARY KEY)",
                          "INSERT INTO quillbox(sitename) VALUES('a')"}
        << QByteArray() << 0 << "Search copy: 1 record held";
    QTest::newRow("verbose: searches by statement")
        << QByteArrayList{"CREATE TABLE quillbox(" +
                          QByteArray(allColumns).replace("notes TEXT", "notes TEXT COLLATE NOCASE") +
                          "record INTEGER PRIMARY KEY)"}
        << QByteArray() << 0 << "Search copy: not used, the column notes does not compare as BINARY";
    QTest::newRow("record numbers that are text")
        << QByteArrayList{"CREATE TABLE quillbox(" + allColumns + "record TEXT)",
                          "INSERT INTO quillbox(sitename, record) VALUES('a', '3'' OR ''1''=''1')"}
        << QByteArray() << 1 << "1 are not plain integers";
    QTest::newRow("no database") << QByteArrayList{} << QByteArray("SQLite format 3 but not really, just text") << 1
                                 << "Integrity: file is not a database";
    QTest::newRow("no file") << QByteArrayList{} << QByteArray() << 1 << "";
}

void CliTest::checkReportsFaults() {
    QFETCH(QByteArrayList, statements);
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, report);
    QFile::remove(m_folder.databaseFile);
    if (!statements.isEmpty()) {
        Database db;
        QVERIFY(db.open(m_folder.databaseFile));
        for (const QByteArray& s : statements) {
            QVERIFY2(db.execute(QString::fromUtf8(s)), qPrintable(db.errorText()));
        }
    }
    if (bytes == "with history") {
        Database db;
        QVERIFY(db.open(m_folder.databaseFile));
        SiteRecord changed = *storedRecord(db, QStringLiteral("1"));
        changed[Col::Password] = QStringLiteral("new");
        QCOMPARE(saveWithHistory(db, quotedFields(changed), QStringLiteral("1"), QDateTime::currentDateTimeUtc(), 10)
                     .error(),
                 QString());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO quillbox(sitename) VALUES('b')")));
        QCOMPARE(moveToBin(db, {QStringLiteral("2")}, QDateTime::currentDateTimeUtc()).error(), QString());
    } else if (!bytes.isEmpty()) {
        QFile file(m_folder.databaseFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QFile before(m_folder.databaseFile);
    const QByteArray content = before.open(QIODevice::ReadOnly) ? before.readAll() : QByteArray();
    before.close();

    QStringList arguments{"--password-stdin", "check"};
    if (QByteArray(QTest::currentDataTag()).startsWith("verbose")) {
        arguments << "--verbose";
    }
    const CliRun r = runCli(m_dir->path(), arguments, passwordLine);
    QVERIFY2(r.status == status, r.err.constData());
    QVERIFY2(r.out.contains(report.toUtf8()), r.out.constData());
    // A check looks and changes nothing, not even a foreign file.
    QFile after(m_folder.databaseFile);
    QCOMPARE(after.open(QIODevice::ReadOnly) ? after.readAll() : QByteArray(), content);
    QCOMPARE(QFile::exists(m_folder.databaseFile), !statements.isEmpty() || !bytes.isEmpty());
}

void CliTest::passwordChange_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("passwordAfter");

    QTest::newRow("changed") << QByteArray("Quill-test-01\nNew-pass-99\nNew-pass-99\n") << 0 << ""
                             << "New-pass-99";
    QTest::newRow("repeated differently") << QByteArray("Quill-test-01\nNew-pass-99\nNew-pass-98\n") << 1
                                          << "The passwords do not match. Please try again." << password;
    QTest::newRow("too short") << QByteArray("Quill-test-01\nshort\nshort\n") << 1 << "between 8 and 128" << password;
    QTest::newRow("not repeated") << QByteArray("Quill-test-01\nNew-pass-99\n") << 1 << "No password was given"
                                  << password;
    QTest::newRow("wrong current password") << QByteArray("Quill-nope-01\nNew-pass-99\nNew-pass-99\n") << 1
                                            << "The passwords do not match. Try again." << password;
}

void CliTest::passwordChange() {
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(QString, passwordAfter);
    const CliRun r = runCli(m_dir->path(), {"--password-stdin", "password"}, input);
    QVERIFY2(r.status == status, r.err.constData());
    QVERIFY2(r.err.contains(error.toUtf8()), r.err.constData());
    QVERIFY(checkProgramPassword(m_folder, passwordAfter, [] { return cheapCost; }).passed);
    // The window program's own start-up check accepts the new password.
    const CliRun list = runCli(m_dir->path(), {"--password-stdin", "list"}, passwordAfter.toUtf8() + '\n');
    QCOMPARE(list.status, 0);
}

void CliTest::terminalPromptHidesPassword() {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        QSKIP("This machine gives no pseudo terminal");
    }
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    // The pseudo terminal becomes the program's controlling terminal, as a real one would be.
    process.setChildProcessModifier([slave] {
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
    });
    process.start(QStringLiteral(QUILLBOX_CLI), {"list", "--owner", "Ann"});
    QVERIFY(process.waitForStarted());
    ::close(slave);
    QByteArray screen;
    auto readScreen = [&] {
        char buffer[4096];
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 60000) <= 0) {
            return false;
        }
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        screen.append(buffer, n);
        return true;
    };
    while (!screen.contains("password: ") && readScreen()) {
    }
    QVERIFY2(screen.contains("Quillbox password: "), screen.constData());
    QCOMPARE(::write(master, passwordLine.constData(), static_cast<size_t>(passwordLine.size())),
             static_cast<ssize_t>(passwordLine.size()));
    QVERIFY(process.waitForFinished(120000));
    while (readScreen()) {
    }
    ::close(master);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(!screen.contains(password.toUtf8()), screen.constData());
    QVERIFY(process.readAllStandardOutput().contains("Mail"));
}

void CliTest::passwordChangedWhileWindowRuns() {
    TestEnv env;
    env.password = password;
    QVERIFY(env.start());
    const CliRun r = runCli(env.path(), {"--password-stdin", "password"}, passwordLine + "New-pass-99\nNew-pass-99\n");
    QCOMPARE(r.status, 0);
    // The window saves every setting at exit; the password chosen meanwhile stays.
    env.program->shutDown();
    QVERIFY(checkProgramPassword(env.state.files, QStringLiteral("New-pass-99"), [] { return cheapCost; }).passed);
}

void CliTest::windowAndCliShareAnEncryptedFile() {
    QVERIFY(sample::encryptFile(m_folder.databaseFile));
    QVERIFY(writeSetting(m_folder.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString()).ok());
    TestEnv env;
    env.password = password;
    QDir::setCurrent(m_dir->path());
    env.state.setWorkingFolder(m_dir->path());
    QVERIFY(env.start());
    QVERIFY(env.state.database.isEncrypted());
    env.main()->ownerBox()->setCurrentText(QStringLiteral("Ann"));
    env.program->list()->ownerChanged();
    const qsizetype before = env.listRows().size();
    // The command line writes while the window holds the file open, and the window writes after.
    const CliRun added = runCli(m_dir->path(),
                                {"--password-stdin", "add", "--owner", "Ann", "--category", "Fun", "--set",
                                 "sitename=From the terminal", "--set", "password=Terminal-secret-7"},
                                passwordLine);
    QVERIFY2(added.status == 0, added.err.constData());
    env.program->list()->runSearch();
    QCOMPARE(env.listRows().size(), before + 1);
    insertRecord(env.state.database, makeRecord("From the window", "ann", "Window-secret-8", "", "Fun", "Ann"));
    const CliRun listed = runCli(m_dir->path(), {"--password-stdin", "list", "--owner", "Ann"}, passwordLine);
    QVERIFY(listed.out.contains("From the terminal") && listed.out.contains("From the window"));
    // A backup made by the command line is encrypted too, and opens with the same password.
    const QString copy = m_dir->filePath(QStringLiteral("copy.ptk"));
    QCOMPARE(runCli(m_dir->path(), {"--password-stdin", "backup", copy}, passwordLine).status, 0);
    QCOMPARE(databaseKind(copy), DatabaseKind::Encrypted);
    QCOMPARE(recordCount(copy), 6);
    QFile file(m_folder.databaseFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray disk = file.readAll();
    QVERIFY(!disk.contains("Terminal-secret-7") && !disk.contains("Window-secret-8"));
}

void CliTest::binAndHistoryRoundTrip() {
    const QString folder = m_dir->path();
    auto cli = [&](const QStringList& arguments) {
        const CliRun r = runCli(folder, QStringList{"--password-stdin"} + arguments, passwordLine);
        [&] { QVERIFY2(r.status == 0, r.err.constData()); }();
        return r;
    };
    cli({"delete", "1", "2"});
    CliRun r = cli({"bin"});
    QVERIFY(r.out.contains("Bank") && r.out.contains("Mail") && r.out.contains("2 Records in the recycle bin"));
    const QJsonArray bin = parseJson(cli({"bin", "--json"}).out);
    QCOMPARE(bin.size(), 2);
    QCOMPARE(bin[0].toObject().value("password").toString(), QStringLiteral("***********")); // masked
    QCOMPARE(recordNumbers(bin), (QStringList{"2", "1"}));
    r = cli({"restore", "1", "2"});
    QVERIFY(r.out.contains("Record 1 restored.") && r.out.contains("Record 2 restored."));
    QCOMPARE(recordCount(m_folder.databaseFile), 4);
    // Two edits keep two versions, each shown against the one after it.
    cli({"edit", "3", "--set", "password=second"});
    cli({"edit", "3", "--set", "password=third"});
    r = cli({"history", "3"});
    QVERIFY2(r.out.contains("Password: ******") && r.out.contains("Password: *********") &&
                 r.out.contains("2 versions kept of record 3"),
             r.out.constData());
    const QJsonArray versions = parseJson(cli({"history", "3", "--json", "--show-passwords"}).out);
    QCOMPARE(versions.size(), 2);
    QCOMPARE(versions[0].toObject().value("password").toString(), QStringLiteral("second"));
    QCOMPARE(versions[1].toObject().value("password").toString(), QStringLiteral("shop-pass"));
    // Emptying erases what is in the bin for good.
    cli({"delete", "4"});
    r = cli({"empty-bin", "--yes"});
    QVERIFY(r.out.contains("Erased 1 record for good"));
    QCOMPARE(runCli(folder, {"--password-stdin", "restore", "4"}, passwordLine).status, 1);
}

void CliTest::import_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("recordsAfter");

    const QByteArray chrome = "name,url,username,password,note\r\n"
                              "GitHub,https://github.com/login,octo,hunter2,\"a, b\"\r\n";
    const QByteArray text = "Site name|Alpha|User name|al||||||||||||||||||||||||Fun|Ann||\r\n"
                            "no bars here\r\n"
                            "Site name|Beta|User name|be||||||||||||||||||||||||Fun|Ann||\r\n";
    QTest::newRow("browser export") << "passwords.csv" << chrome << QStringList{} << 0
                                    << "1 record imported, 0 lines refused."
                                    << "" << 5;
    QTest::newRow("dry run stores nothing")
        << "passwords.csv" << chrome << QStringList{"--dry-run"} << 0 << "name → sitename"
        << "" << 4;
    QTest::newRow("refused line with its number")
        << "sites.txt" << text << QStringList{} << 0 << "Line 2: Data delimiter not found"
        << "" << 6;
    QTest::newRow("format named") << "sites.dat" << text << QStringList{"--format", "text"} << 0
                                  << "2 records imported, 1 line refused."
                                  << "" << 6;
    QTest::newRow("format unknown") << "sites.dat" << text << QStringList{"--format", "bogus"} << 2 << ""
                                    << "Unknown format" << 4;
    QTest::newRow("no extension: the content tells")
        << "sites.dat" << text << QStringList{} << 0 << "2 records imported, 1 line refused."
        << "" << 6;
    QTest::newRow("not UTF-8") << "latin.csv" << QByteArray("name,url,username,password,note\nCaf\xe9,,,,\n")
                               << QStringList{} << 1 << ""
                               << "save the file as UTF-8" << 4;
    QTest::newRow("XML broken half-way")
        << "dump.xml" << QByteArray("<Quillbox><SiteItem><sitename>a</sitename><record>1</record></SiteItem><Site")
        << QStringList{} << 1 << ""
        << "Nothing was imported" << 4;
    QTest::newRow("nothing readable") << "junk.txt" << QByteArray("one\ntwo\n") << QStringList{} << 1 << "Line 2:"
                                      << "No record could be read" << 4;
    QTest::newRow("no such file") << "" << QByteArray() << QStringList{} << 1 << ""
                                  << "Could not open" << 4;
    QTest::newRow("XML named .csv")
        << "dump.csv"
        << QByteArray("<?xml version=\"1.0\"?>\r\n<Quillbox><SiteItem><sitename>A</sitename><record/></SiteItem>"
                      "</Quillbox>")
        << QStringList{} << 0 << "The file holds XML, not CSV: it is read as XML.\n1 record imported"
        << "" << 5;
    // Standard input, and a FIFO no program writes to.
    QByteArray many = "name,url,username,password,note\n";
    for (int i = 0; i < 100000; ++i) {
        many += "Site " + QByteArray::number(i) + ",https://s.example/,user,pw,\n";
    }
    QTest::newRow("100,000 records from standard input")
        << "-" << many << QStringList{"--format", "csv"} << 0 << "100000 records imported, 0 lines refused."
        << "" << 100004;
    QTest::newRow("XML from standard input, no format named")
        << "-" << QByteArray("<Quillbox><SiteItem><sitename>A</sitename><record/></SiteItem></Quillbox>")
        << QStringList{} << 0 << "1 record imported"
        << "" << 5;
    QTest::newRow("FIFO without a writer") << "fifo" << QByteArray() << QStringList{"--format", "csv"} << 1 << ""
                                           << "did not open within 5 seconds: no program writes to it." << 4;
    // Columns no layout known names: refused until the user names them.
    const QByteArray sheet = "Bank;ann;s3cret;https://bank.example\nShop;me;pw;\n";
    QTest::newRow("unknown columns") << "sheet.csv" << sheet << QStringList{} << 1 << ""
                                     << "has 4 fields where the program's own have 29. Say what each column holds, "
                                        "then import it again. Give them with --map"
                                     << 4;
    QTest::newRow("columns named, no header")
        << "sheet.csv" << sheet
        << QStringList{"--no-header", "--separator", "semicolon", "--map",
                       "1=sitename,2=username,3=password,4=homepage"}
        << 0 << "Columns: column 1 → sitename; column 2 → username; column 3 → password; column 4 → homepage\n2 records"
        << "" << 6;
    QTest::newRow("a field unknown") << "sheet.csv" << sheet << QStringList{"--no-header", "--map", "1=site"} << 1 << ""
                                     << "\"site\" is no field" << 4;
    QTest::newRow("separator unknown") << "sheet.csv" << sheet << QStringList{"--separator", "pipe"} << 2 << ""
                                       << "Unknown separator" << 4;
    QTest::newRow("Latin-1 named") << "latin.csv" << QByteArray("name,url,username,password,note\nCaf\xe9,,,,\n")
                                   << QStringList{"--encoding", "ISO-8859-1"} << 0 << "1 record imported"
                                   << "" << 5;
    QTest::newRow("database held by a reader")
        << "passwords.csv" << chrome << QStringList{"locked"} << 1 << ""
        << "Nothing was imported: the database is locked by another program." << 4;
}

void CliTest::import() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, error);
    QFETCH(int, recordsAfter);
    const QString path =
        fileName == "-" ? fileName : m_dir->filePath(fileName.isEmpty() ? QStringLiteral("missing.txt") : fileName);
    if (fileName == "fifo") {
        QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
    } else if (fileName != "-" && !fileName.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // Another program in the middle of reading: the import cannot commit, and stores nothing.
    QProcess reader;
    if (options.removeAll(QStringLiteral("locked")) > 0) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUILLBOX_HOLD_READ_LOCK"), m_folder.databaseFile);
        reader.setProcessEnvironment(environment);
        reader.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(reader.waitForReadyRead(60000));
        QCOMPARE(reader.readAllStandardOutput(), QByteArray("reading\n"));
    }
    const CliRun r = runCli(m_dir->path(), QStringList{"--password-stdin", "import", path} + options,
                            fileName == "-" ? passwordLine + content : passwordLine);
    reader.closeWriteChannel();
    reader.waitForFinished();
    QVERIFY2(r.status == status, r.err.constData());
    QVERIFY2(r.out.contains(output.toUtf8()), r.out.constData());
    QVERIFY2(r.err.contains(error.toUtf8()), r.err.constData());
    QCOMPARE(recordCount(m_folder.databaseFile), recordsAfter);
}

void CliTest::exportReadsBack_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("notKept"); // records the format cannot carry exactly: said before writing
    QTest::newRow("text") << "all.txt" << QStringList{} << "all.txt" << 0;
    QTest::newRow("csv, extension added") << "all" << QStringList{"--format", "csv"} << "all.csv" << 0;
    QTest::newRow("xml, no control characters") << "all.XML" << QStringList{} << "all.XML" << 1;
}

void CliTest::exportReadsBack() {
    QFETCH(QString, fileName);
    QFETCH(QStringList, options);
    QFETCH(QString, written);
    QFETCH(int, notKept);
    const QString folder = m_dir->path();
    CliRun r = runCli(folder, QStringList{"--password-stdin", "export", fileName} + options, passwordLine);
    QVERIFY2(r.status == 0, r.err.constData());
    QCOMPARE(r.err.contains("warning: 1 record holds characters"), notKept > 0);
    QVERIFY2(r.out.contains("Exported 4 records to " + written.toUtf8()), r.out.constData());
    r = runCli(folder, {"--password-stdin", "import", written}, passwordLine);
    QVERIFY2(r.status == 0, r.err.constData());
    QVERIFY2(r.out.startsWith("4 records imported, 0 lines refused."), r.out.constData());
    // Every column of every record came back, under new numbers.
    r = runCli(folder, {"--password-stdin", "list", "--json", "--show-passwords"}, passwordLine);
    QList<QJsonObject> records;
    for (const QJsonValue& v : parseJson(r.out)) {
        QJsonObject o = v.toObject();
        o.remove(QStringLiteral("record"));
        records.append(o);
    }
    QCOMPARE(records.size(), 8);
    const auto unmatched =
        std::count_if(records.cbegin(), records.cend(), [&](const QJsonObject& o) { return records.count(o) != 2; });
    QCOMPARE(unmatched, 2 * notKept);
}

// Started as a second program by the tests: holds a read transaction open on a database until
// its standard input ends.
int holdReadLock(const QString& databaseFile) {
    Database db;
    if (!db.open(databaseFile) || !db.execute(QStringLiteral("BEGIN"))) {
        return 1;
    }
    Query query(db, QStringLiteral("SELECT * FROM quillbox"));
    if (!query.next()) {
        return 1;
    }
    std::fputs("reading\n", stdout);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet("QUILLBOX_HOLD_READ_LOCK")) {
        return holdReadLock(qEnvironmentVariable("QUILLBOX_HOLD_READ_LOCK"));
    }
    QApplication app(argc, argv);
    CliTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_cli.moc"
