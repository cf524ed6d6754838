#include "settings/PasswordCheck.h"

#include "settings/Password.h"
#include "store/DatabaseFile.h"
#include "store/WorkingFolder.h"

namespace quillbox {

QString lengthProblem(const QString& password) {
    switch (passwordLength(password)) {
    case PasswordLength::TooShort:
        return PasswordText::TooShort;
    case PasswordLength::TooLong:
        return PasswordText::TooLong;
    default:
        return QString();
    }
}

QString storedFingerprint(const QString& settingsFile) {
    return readSetting(settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint);
}

bool programPasswordExists(const WorkingFolder& files) {
    return databaseKind(files.databaseFile) == DatabaseKind::Encrypted ||
           !storedFingerprint(files.settingsFile).isEmpty();
}

PasswordCheck checkProgramPassword(const WorkingFolder& files, const QString& typed, const KdfCostSource& cost) {
    PasswordCheck check;
    if (typed.isEmpty()) {
        check.error = PasswordText::PasswordEmpty;
        return check;
    }
    const QString stored = storedFingerprint(files.settingsFile);
    if (databaseKind(files.databaseFile) == DatabaseKind::Encrypted) {
        UnlockResult unlocked = unlockDatabaseFile(files.databaseFile, typed);
        if (unlocked.status != UnlockResult::Opened) {
            check.error = unlocked.status == UnlockResult::WrongPassword ? PasswordText::PasswordWrong : unlocked.error;
            return check;
        }
        check.passed = true;
        check.key = std::move(unlocked.key);
        // The file is the password's only witness; a fingerprint beside it would be a second,
        // weaker one.
        if (!stored.isEmpty()) {
            const Result removed =
                writeSetting(files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, QString());
            check.storeError = removed.error();
        }
        return check;
    }
    const FingerprintMatch match = matchFingerprint(typed, stored);
    if (match == FingerprintMatch::None) {
        check.error = PasswordText::PasswordWrong;
        return check;
    }
    check.passed = true;
    if (match == FingerprintMatch::Legacy) {
        const QString current = passwordFingerprint(typed, cost());
        const Result saved =
            current.isEmpty()
                ? Result::failure(QStringLiteral("There is not enough memory to make the password's fingerprint."))
                : writeSetting(files.settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, current);
        if (saved.ok()) {
            check.rewritten = current;
        } else {
            check.storeError = saved.error();
        }
    }
    return check;
}

QString newPasswordProblem(const QString& password, const QString& confirmation) {
    if (password.isEmpty()) {
        return PasswordText::NewPasswordEmpty;
    }
    if (const QString problem = lengthProblem(password); !problem.isEmpty()) {
        return problem;
    }
    if (confirmation.isEmpty()) {
        return PasswordText::ConfirmationEmpty;
    }
    if (confirmation != password) {
        return PasswordText::NewPasswordsDiffer;
    }
    return QString();
}

Result storePassword(const QString& settingsFile, const QString& password, const KdfCost& cost) {
    const QString fingerprint = passwordFingerprint(password, cost);
    if (fingerprint.isEmpty()) {
        return Result::failure(QStringLiteral("There is not enough memory to make the password's fingerprint."));
    }
    return writeSetting(settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, fingerprint);
}

} // namespace quillbox
