#pragma once

#include "settings/ProgramSettings.h"

#include <QString>

#include <functional>
#include <memory>

namespace quillbox {

class FileKey;
struct KdfCost;
struct WorkingFolder;

// The messages of the password checks, worded as the password windows show them.
namespace PasswordText {
inline const QString NoPasswordChosen = QStringLiteral(
    "No password has been selected for this program.\n\r\n\rYou have to choose a password so that you will be able "
    "to lock the program.\n\r\n\rThe program will now exit.");
inline const QString TooShort =
    QStringLiteral("This password is too short.\n\r\n\rIt must be between 8 and 128 characters in length.");
inline const QString TooLong =
    QStringLiteral("This password is too long.\n\r\n\rIt must be between 8 and 128 characters in length.");
inline const QString ConfirmationEmpty = QStringLiteral(
    "The confirmation password is empty.\n\r\n\rYou must type one in to continue.\n\r\n\rPlease try again.");
inline const QString NewPasswordsDiffer = QStringLiteral("The passwords do not match.\n\r\n\rPlease try again.");
inline const QString PasswordEmpty =
    QStringLiteral("The password field must not be empty.\n\r\n\rYou have to type in a "
                   "password to unlock the program.\n\r\n\rTry again.");
inline const QString PasswordWrong = QStringLiteral("The passwords do not match.\n\r\n\rTry again.");
inline const QString OldConfirmationEmpty = QStringLiteral("The confirmation password is empty, Try again.");
inline const QString OldPasswordWrong = QStringLiteral("The old and confirmation passwords do not match. try again.");
inline const QString NewPasswordEmpty = QStringLiteral("The password field is empty, nothing was saved.");
} // namespace PasswordText

// The message for a password of a length outside the rule; empty when its length is allowed.
QString lengthProblem(const QString& password);

// The fingerprint the settings file holds: the file, not a copy in memory, holds the password
// that counts.
QString storedFingerprint(const QString& settingsFile);

// The cost of a new fingerprint or key, asked only when one is made (working it out takes time).
using KdfCostSource = std::function<KdfCost()>;

struct PasswordCheck {
    bool passed = false;
    QString error;                      // why it did not pass, as the user is told it
    std::shared_ptr<const FileKey> key; // an encrypted database's key, derived from the password
    QString rewritten;                  // the current-form fingerprint now stored in place of an old-form one
    QString storeError;                 // it could not be rewritten (or removed); the password passed all the same
};

// Checks a typed program password. An encrypted database is the judge: the password is right
// when it opens the file, and no fingerprint is kept (one left in the settings is removed). For
// a plain one the stored fingerprint is, and a fingerprint of an old form is rewritten in the
// current form at once; when it cannot be, it still guards the program.
PasswordCheck checkProgramPassword(const WorkingFolder& files, const QString& typed, const KdfCostSource& cost);

// Whether start-up must ask for the password of an existing database rather than have a new one
// chosen: a fingerprint is stored, or the database is encrypted (whatever the settings say).
bool programPasswordExists(const WorkingFolder& files);

// The message for a new password typed twice; empty when it may be stored.
QString newPasswordProblem(const QString& password, const QString& confirmation);

// Stores the fingerprint of a new password.
Result storePassword(const QString& settingsFile, const QString& password, const KdfCost& cost);

} // namespace quillbox
