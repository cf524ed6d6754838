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

#include <QAction>
#include <QApplication>
#include <QFileInfo>

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

DatabaseController::DatabaseController(AppState& state, MainWindow& main, StatusLine& status, ListController& list,
                                       DataFormController& forms, SearchCopy& copy, ClipboardKeeper& clipboard,
                                       SecurityController& security)
    : m_state(state), m_main(main), m_status(status), m_list(list), m_forms(forms), m_copy(copy),
      m_clipboard(clipboard), m_security(security) {}

KdfCost DatabaseController::newCost() const {
    return m_state.seams.kdfCost ? m_state.seams.kdfCost() : programKdfCost();
}

void DatabaseController::open(std::shared_ptr<const FileKey> key) {
    const QString& file = m_state.files.databaseFile;
    removeBackupLeftovers(file);
    removeConversionLeftovers(file);
    const OpenResult opened = openDatabase(m_state.database, file, std::move(key));
    if (!opened.ok) {
        m_status.messageBox(opened.title, opened.text, MessageIcon::None);
    }
    m_closed = false;
    updateMenu();
}

void DatabaseController::close() {
    if (m_closed) {
        return;
    }
    m_closed = true;
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

QString DatabaseController::rewrite(const std::shared_ptr<const FileKey>& from,
                                    const std::shared_ptr<const FileKey>& to, const QString& password,
                                    QStringList& backupProblems) {
    const Busy busy;
    m_list.saveSearchState();
    m_list.forgetDatabase();
    m_state.database.close();
    const QString& file = m_state.files.databaseFile;
    const QString failure = convertDatabaseFile(file, from, to);
    if (failure.isEmpty()) {
        backupProblems = convertBackups(file, password, from, to);
    }
    // Opened again as it now is: in the new key, or in the old one when nothing was changed.
    const std::shared_ptr<const FileKey> now = failure.isEmpty() ? to : from;
    m_closed = true;
    if (QFileInfo(file).size() > 0) {
        m_copy.loadInBackground(file, now);
    }
    open(now);
    m_list.restoreSearchState();
    return failure;
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
    const QString failure = key ? rewrite(nullptr, key, *password, backupProblems)
                                : QStringLiteral("There is not enough memory to derive the key.");
    wipeString(*password);
    if (!failure.isEmpty()) {
        m_status.messageBox(QStringLiteral("Encryption Error"),
                            QStringLiteral("The database was not encrypted: %1\nIt is as it was.").arg(failure),
                            MessageIcon::Exclamation);
        return;
    }
    // The file is the password's witness now; the fingerprint beside it goes.
    const SettingsResult removed =
        writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString());
    if (removed.ok) {
        m_state.settings.passwordFingerprint.clear();
    } else {
        m_status.messageBox(QStringLiteral("Settings Error"), removed.error, MessageIcon::Exclamation);
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
    const SettingsResult stored = fingerprint.isEmpty()
                                      ? SettingsResult{false, noMemoryForFingerprint}
                                      : writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions,
                                                     SettingsKey::Fingerprint, fingerprint);
    QStringList backupProblems;
    const QString failure = stored.ok ? rewrite(key, nullptr, *password, backupProblems) : stored.error;
    wipeString(*password);
    if (!failure.isEmpty()) {
        if (stored.ok) {
            writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString());
        }
        m_status.messageBox(
            QStringLiteral("Encryption Error"),
            QStringLiteral("The database was not stored unencrypted: %1\nIt is as it was.").arg(failure),
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
        const SettingsResult saved = writeSetting(m_state.files.settingsFile, SettingsKey::ProgramOptions,
                                                  SettingsKey::Fingerprint, fingerprint);
        if (saved.ok) {
            m_state.settings.passwordFingerprint = fingerprint;
        }
        return saved.error;
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
    const QString failure = rewrite(key, renewed, oldPassword, backupProblems);
    if (!failure.isEmpty()) {
        return QStringLiteral("The password was not changed: %1").arg(failure);
    }
    m_status.info(QStringLiteral("The database and its backups are now encrypted with the new password."));
    showBackupProblems(backupProblems);
    return QString();
}

} // namespace quillbox
