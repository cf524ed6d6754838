#pragma once

#include "settings/ProgramSettings.h"

#include <QString>

namespace quillbox {

// The messages of the password checks, worded as the password windows show them.
namespace PasswordText {
inline const QString NoPasswordChosen = QStringLiteral(
    "No password has been selected for this program.\n\r\n\rYou have to choose a password so that you will be able "
    "to lock the program.\n\r\n\rThe program will now exit.");
inline const QString WrongLength =
    QStringLiteral("This password is too short.\n\r\n\rIt must be between 8 and 25 characters in length.");
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

// The fingerprint the settings file holds: the file, not a copy in memory, holds the password
// that counts.
QString storedFingerprint(const QString& settingsFile);

struct PasswordCheck {
    bool passed = false;
    QString error;      // why it did not pass, as the user is told it
    QString rewritten;  // the current-form fingerprint now stored in place of an old-form one
    QString storeError; // the old form could not be rewritten; the password passed all the same
};

// Checks a typed program password against the stored fingerprint. A fingerprint of the old form
// is rewritten in the current form at once; when it cannot be, it still guards the program.
PasswordCheck checkProgramPassword(const QString& settingsFile, const QString& typed);

// The message for a new password typed twice; empty when it may be stored.
QString newPasswordProblem(const QString& password, const QString& confirmation);

// Stores the fingerprint of a new password.
SettingsResult storePassword(const QString& settingsFile, const QString& password);

} // namespace quillbox
