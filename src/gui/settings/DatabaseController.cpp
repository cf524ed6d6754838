// The database over the program's run: open, closed while locked, and rewritten to encrypt it,
// to store it unencrypted again, or under a new password.
#include "settings/DatabaseController.h"

#include "app/ClipboardKeeper.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "crypt/Sodium.h"
#include "dataform/DataFormController.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "settings/Password.h"
#include "settings/PasswordCheck.h"
#include "settings/SecurityController.h"
#include "store/DatabaseFile.h"
#include "store/FileConversion.h"
#include "store/SearchCopy.h"
#include "store/SiteStore.h"
#include "store/SqliteMemory.h"
#include "text/ProgramText.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <chrono>

namespace quillbox {

namespace {
const QString noMemoryForFingerprint = QStringLiteral("There is not enough memory to make the password's fingerprint.");

// The wait cursor for as long as a rewrite or a key derivation runs.
struct Busy {
    Busy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Busy() { QApplication::restoreOverrideCursor(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};
} // namespace

DatabaseController::DatabaseController(const ControllerContext& context, MainWindow& main, ListController& list,
                                       DataFormController& forms, SecurityController& security)
    : Controller(context), m_main(main), m_list(list), m_forms(forms), m_security(security) {}

KdfCost DatabaseController::newCost() const {
    return m_state.seams.kdfCost ? m_state.seams.kdfCost() : programKdfCost();
}

bool DatabaseController::open(std::shared_ptr<const FileKey> key, std::future<QString> check) {
    const QString& file = m_state.files.databaseFile;
    removeBackupLeftovers(file);
    removeConversionLeftovers(file);
    QFile::remove(file + QStringLiteral(".restoring"));
    QFile::remove(file + QStringLiteral(".restoring-journal"));
    for (;;) {
        const OpenResult opened = openDatabase(m_state.database, file, key);
        if (opened.ok) {
            break;
        }
        if (opened.locked) {
            const int choice = m_status.ask(
                QStringLiteral("Database locked"),
                QStringLiteral("Another program keeps the database locked; Quillbox waited five seconds for it.\n\n"
                               "Try again once that program is done with it, or quit Quillbox (nothing is written)."),
                {QStringLiteral("Try again"), QStringLiteral("Quit")}, 1);
            if (choice == 0) {
                continue;
            }
            return false;
        }
        // A file that cannot be read at all may have a sound backup.
        if (opened.damaged && offerBackup(opened.text, key, false)) {
            check = {};
            continue;
        }
        m_status.messageBox(opened.title, opened.text, MessageIcon::None);
        break;
    }
    m_closed = false;
    updateMenu();
    if (m_state.database.isOpen()) {
        if (check.valid()) {
            watchCheck(std::move(check));
        } else {
            // Begun once the window is up, so that it does not hold up the list (an encrypted
            // file's check decrypts every page, as the list's copy does).
            QTimer::singleShot(0, this, [this, file, key] {
                if (m_state.database.isOpen() && !m_closed) {
                    watchCheck(checkInBackground(file, key));
                }
            });
        }
    }
    return true;
}

void DatabaseController::watchCheck(std::future<QString> check) {
    m_check = std::move(check);
    // A check already done (a plain file's runs while the password is typed) is taken at once;
    // one still running reports when it ends.
    if (m_check.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        checkDone();
        return;
    }
    if (!m_checkTimer) {
        m_checkTimer = new QTimer(this);
        m_checkTimer->setInterval(20);
        connect(m_checkTimer, &QTimer::timeout, this, [this] {
            if (m_check.valid() && m_check.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
                m_checkTimer->stop();
                checkDone();
            }
        });
    }
    m_checkTimer->start();
}

void DatabaseController::checkDone() {
    const QString problem = m_check.valid() ? m_check.get() : QString();
    if (problem.isEmpty() || !m_state.database.isOpen()) {
        return;
    }
    const std::shared_ptr<const FileKey> key = m_state.database.key();
    if (offerBackup(problem, key, true)) {
        m_list.saveSearchState();
        m_list.forgetDatabase();
        m_state.database.close();
        if (openDatabase(m_state.database, m_state.files.databaseFile, key).ok) {
            m_copy.loadInBackground(m_state.files.databaseFile, key);
        }
        m_list.restoreSearchState();
        return;
    }
    m_damage = QStringLiteral("The database file is damaged: %1. Its backups are kept as they are.").arg(problem);
    m_status.error(m_damage);
}

bool DatabaseController::offerBackup(const QString& problem, const std::shared_ptr<const FileKey>& key,
                                     bool sayWhenNone) {
    const QString& file = m_state.files.databaseFile;
    const std::optional<SoundBackup> backup = newestSoundBackup(file, key);
    if (!backup) {
        if (!sayWhenNone) {
            return false;
        }
        m_status.messageBox(QStringLiteral("Damaged database"),
                            QStringLiteral("The database file is damaged: %1.\n\nNo weekday backup beside it passes "
                                           "its check either. Quillbox keeps the file as it is.")
                                .arg(problem),
                            MessageIcon::Exclamation);
        return false;
    }
    const QString name = QFileInfo(backup->file).fileName();
    const int choice = m_status.ask(
        QStringLiteral("Damaged database"),
        QStringLiteral("The database file is damaged: %1.\n\nThe newest backup that passes its check is %2, written "
                       "%3, with %4. Use it in place of the damaged file? The damaged file is kept beside it as "
                       "\"….damaged\".")
            .arg(problem, name, backup->written.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                 recordCountText(QString::number(backup->records)).toLower()),
        {QStringLiteral("Use the backup"), QStringLiteral("Keep the damaged file")}, 1);
    if (choice != 0) {
        return false;
    }
    m_state.database.close();
    const Result done = replaceWithBackup(file, backup->file, key);
    if (!done) {
        m_status.messageBox(QStringLiteral("Damaged database"),
                            QStringLiteral("The backup could not be put in place: %1.").arg(done.error()),
                            MessageIcon::Exclamation);
        openDatabase(m_state.database, file, key);
        return false;
    }
    m_status.info(QStringLiteral("The backup %1 now stands in place of the damaged database.").arg(name));
    return true;
}

void DatabaseController::close() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    if (m_checkTimer) {
        m_checkTimer->stop();
    }
    if (m_check.valid()) {
        m_check.wait(); // its connection holds the key and pages of the file
        m_check = {};
    }
    // The form's unsaved values are sealed with the key before it goes.
    m_forms.stashForLock(m_state.database.key());
    m_list.saveSearchState();
    m_list.forgetDatabase();
    m_state.database.close();
    m_clipboard.clearForLock();
    // What SQLite freed on this thread is kept for reuse; it may hold pages of records.
    wipeSqliteFreeBlocks();
}

void DatabaseController::reopen(std::shared_ptr<const FileKey> key) {
    if (!m_closed) {
        return;
    }
    // The copy reads in the background while the connection opens and the boxes fill.
    if (QFileInfo(m_state.files.databaseFile).size() > 0) {
        m_copy.loadInBackground(m_state.files.databaseFile, key);
    }
    open(key);
    m_list.restoreSearchState();
    m_forms.restoreAfterLock(m_state.database.key());
}

void DatabaseController::updateMenu() {
    const bool encrypted = m_state.database.isEncrypted();
    if (QAction* action = m_main.itemAction(Id::EncryptItem)) {
        action->setText(QStringLiteral("Encrypt the database with the program password"));
        action->setVisible(!encrypted);
    }
    if (QAction* action = m_main.itemAction(Id::DecryptItem)) {
        action->setText(QStringLiteral("Store the database unencrypted"));
        action->setVisible(encrypted);
    }
}

void DatabaseController::handleItem(int number) {
    if (number == Id::EncryptItem) {
        encrypt();
    } else if (number == Id::DecryptItem) {
        decrypt();
    }
}

Result DatabaseController::rewrite(const std::shared_ptr<const FileKey>& from, const std::shared_ptr<const FileKey>& to,
                                   const QString& password, QStringList& backupProblems) {
    const Busy busy;
    m_list.saveSearchState();
    m_list.forgetDatabase();
    m_state.database.close();
    const QString& file = m_state.files.databaseFile;
    const Result converted = convertDatabaseFile(file, from, to);
    if (converted) {
        backupProblems = convertBackups(file, password, from, to);
    }
    // Opened again as it now is: in the new key, or in the old one when nothing was changed.
    const std::shared_ptr<const FileKey> now = converted ? to : from;
    m_closed = true;
    if (QFileInfo(file).size() > 0) {
        m_copy.loadInBackground(file, now);
    }
    open(now);
    m_list.restoreSearchState();
    return converted;
}

void DatabaseController::showBackupProblems(const QStringList& problems) {
    if (!problems.isEmpty()) {
        m_status.messageBox(QStringLiteral("Backup Error"),
                            QStringLiteral("Not every weekday backup could be rewritten:\n") +
                                problems.join(QLatin1Char('\n')),
                            MessageIcon::Exclamation);
    }
}

void DatabaseController::encrypt() {
    if (m_state.database.isEncrypted()) {
        return;
    }
    if (!m_state.database.isOpen()) {
        m_status.error(QStringLiteral("No database connection is open."));
        return;
    }
    std::optional<QString> password =
        m_security.askProgramPassword(QStringLiteral("Type your program password in here to encrypt the database"));
    if (!password) {
        m_status.info(QStringLiteral("The database was left as it is."));
        return;
    }
    std::shared_ptr<const FileKey> key;
    {
        const Busy busy;
        const int pageSize = scalarQuery(m_state.database, QStringLiteral("PRAGMA page_size")).toInt();
        key = FileKey::derive(*password, FileHeader::fresh(newCost(), pageSize > 0 ? pageSize : 4096));
    }
    QStringList backupProblems;
    const Result encrypted = key ? rewrite(nullptr, key, *password, backupProblems)
                                 : Result::failure(QStringLiteral("There is not enough memory to derive the key."));
    wipeString(*password);
    if (!encrypted) {
        m_status.messageBox(
            QStringLiteral("Encryption Error"),
            QStringLiteral("The database was not encrypted: %1\nIt is as it was.").arg(encrypted.error()),
            MessageIcon::Exclamation);
        return;
    }
    // The file is the password's witness now; the fingerprint beside it goes.
    const Result removed =
        writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString());
    if (removed.ok()) {
        m_state.settings.passwordFingerprint.clear();
    } else {
        m_status.messageBox(QStringLiteral("Settings Error"), removed.error(), MessageIcon::Exclamation);
    }
    m_status.info(QStringLiteral("The database and its backups are now encrypted with the program password."));
    showBackupProblems(backupProblems);
}

void DatabaseController::decrypt() {
    const std::shared_ptr<const FileKey> key = m_state.database.key();
    if (!key) {
        return;
    }
    const int choice =
        m_status.ask(QStringLiteral("Store the database unencrypted"),
                     QStringLiteral("Stored unencrypted, the database and its seven weekday backups can be read by "
                                    "anyone who can read the files, with any program and without the program "
                                    "password. The password will still be asked for at start-up, but it will no "
                                    "longer protect the records on the disk.\n\nStore the database unencrypted?"),
                     {QStringLiteral("Store unencrypted"), QStringLiteral("Cancel")}, 1);
    if (choice != 0) {
        m_status.info(QStringLiteral("The database stays encrypted."));
        return;
    }
    std::optional<QString> password = m_security.askProgramPassword(
        QStringLiteral("Type your program password in here to store the database unencrypted"));
    if (!password) {
        m_status.info(QStringLiteral("The database stays encrypted."));
        return;
    }
    // The fingerprint is stored first: a plain file must never be left without a password.
    QString fingerprint;
    {
        const Busy busy;
        fingerprint = passwordFingerprint(*password, newCost());
    }
    const Result stored = fingerprint.isEmpty() ? Result::failure(noMemoryForFingerprint)
                                                : writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions,
                                                               SettingsKey::Fingerprint, fingerprint);
    QStringList backupProblems;
    const Result decrypted = stored ? rewrite(key, nullptr, *password, backupProblems) : stored;
    wipeString(*password);
    if (!decrypted) {
        if (stored.ok()) {
            // Put back as it was; should that fail too, the file still opens with the same password.
            (void)writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint,
                               QString());
        }
        m_status.messageBox(
            QStringLiteral("Encryption Error"),
            QStringLiteral("The database was not stored unencrypted: %1\nIt is as it was.").arg(decrypted.error()),
            MessageIcon::Exclamation);
        return;
    }
    m_state.settings.passwordFingerprint = fingerprint;
    m_status.info(QStringLiteral("The database and its backups are now stored unencrypted."));
    showBackupProblems(backupProblems);
}

QString DatabaseController::changePassword(const QString& oldPassword, const QString& newPassword) {
    const std::shared_ptr<const FileKey> key = m_state.database.key();
    if (!key) {
        QString fingerprint;
        {
            const Busy busy;
            fingerprint = passwordFingerprint(newPassword, newCost());
        }
        if (fingerprint.isEmpty()) {
            return noMemoryForFingerprint;
        }
        const Result saved = writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions,
                                          SettingsKey::Fingerprint, fingerprint);
        if (saved.ok()) {
            m_state.settings.passwordFingerprint = fingerprint;
        }
        return saved.error();
    }
    // A new salt and every page sealed again: the old password opens nothing written from now on.
    std::shared_ptr<const FileKey> renewed;
    {
        const Busy busy;
        renewed = FileKey::derive(newPassword, FileHeader::fresh(key->header().cost(), key->pageSize()));
    }
    if (!renewed) {
        return QStringLiteral("There is not enough memory to derive the key.");
    }
    QStringList backupProblems;
    if (const Result rekeyed = rewrite(key, renewed, oldPassword, backupProblems); !rekeyed) {
        return QStringLiteral("The password was not changed: %1").arg(rekeyed.error());
    }
    m_status.info(QStringLiteral("The database and its backups are now encrypted with the new password."));
    showBackupProblems(backupProblems);
    return QString();
}

} // namespace quillbox
