#pragma once

#include "app/AppState.h"
#include "app/Controller.h"

#include <future>
#include <memory>

class QTimer;

namespace quillbox {

class DataFormController;
class FileKey;
class ListController;
class MainWindow;
class SecurityController;

// The database connection over the program's run: opened after the password, closed while the
// program is locked (with all it holds of the records) and opened again after, and rewritten
// whole when it is encrypted, stored unencrypted again, or given a new password.
class DatabaseController : public Controller {
    Q_OBJECT
public:
    DatabaseController(const ControllerContext& context, MainWindow& main, ListController& list,
                       DataFormController& forms, SecurityController& security);

    // Opens the database at start-up: an encrypted one with the key the password made. A file
    // another program keeps locked is tried again or the program ends (false): never a session on
    // no database. The file's check runs beside (check, when given, is one already under way);
    // a file that fails it, or cannot be read, is offered its newest sound backup.
    bool open(std::shared_ptr<const FileKey> key, std::future<QString> check = {});
    // Locking: the connection closes, and the list, the search copy, the working record, the data
    // form's values and the key leave memory.
    void close();
    // Unlocking: the database opens again with the key the password made, and the list comes back
    // as it was.
    void reopen(std::shared_ptr<const FileKey> key);

    // The Options menu's two commands: encrypt a plain database with the program password, and
    // store an encrypted one unencrypted again.
    void encrypt();
    void decrypt();
    // A new program password, the old one confirmed: an encrypted database (and its backups) is
    // rewritten under a key from it, a plain one's fingerprint replaced. The reason, empty when done.
    QString changePassword(const QString& oldPassword, const QString& newPassword);

    // The Options menu offers the command that fits the database as it is.
    void updateMenu();
    // What the file's check found when it was kept as it is; empty when it passed.
    const QString& damage() const { return m_damage; }
    void handleItem(int number);

private:
    // Closes the connection, rewrites the file and its backups from one key to the other, and opens
    // it again (in the new key when that worked). Backup problems go to backupProblems.
    Result rewrite(const std::shared_ptr<const FileKey>& from, const std::shared_ptr<const FileKey>& to,
                   const QString& password, QStringList& backupProblems);
    void showBackupProblems(const QStringList& problems);
    KdfCost newCost() const;
    // The newest weekday backup that passes its check, offered in place of a damaged file; true
    // when it now stands in the file's place.
    bool offerBackup(const QString& problem, const std::shared_ptr<const FileKey>& key, bool sayWhenNone);
    void watchCheck(std::future<QString> check);
    void checkDone();

    MainWindow& m_main;
    ListController& m_list;
    DataFormController& m_forms;
    SecurityController& m_security;
    bool m_closed = false;
    QString m_damage;
    std::future<QString> m_check;
    QTimer* m_checkTimer = nullptr;
};

} // namespace quillbox
