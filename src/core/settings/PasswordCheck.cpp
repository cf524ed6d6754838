#include "settings/PasswordCheck.h"

#include "settings/Password.h"

namespace quillbox {

QString storedFingerprint(const QString& settingsFile) {
    return readSetting(settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint);
}

PasswordCheck checkProgramPassword(const QString& settingsFile, const QString& typed) {
    PasswordCheck check;
    if (typed.isEmpty()) {
        check.error = PasswordText::PasswordEmpty;
        return check;
    }
    const FingerprintMatch match = matchFingerprint(typed, storedFingerprint(settingsFile));
    if (match == FingerprintMatch::None) {
        check.error = PasswordText::PasswordWrong;
        return check;
    }
    check.passed = true;
    if (match == FingerprintMatch::Legacy) {
        const QString current = passwordFingerprint(typed);
        const SettingsResult saved =
            writeSetting(settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint, current);
        if (saved.ok) {
            check.rewritten = current;
        } else {
            check.storeError = saved.error;
        }
    }
    return check;
}

QString newPasswordProblem(const QString& password, const QString& confirmation) {
    if (password.isEmpty()) {
        return PasswordText::NewPasswordEmpty;
    }
    if (!passwordLengthAllowed(password)) {
        return PasswordText::WrongLength;
    }
    if (confirmation.isEmpty()) {
        return PasswordText::ConfirmationEmpty;
    }
    if (confirmation != password) {
        return PasswordText::NewPasswordsDiffer;
    }
    return QString();
}

SettingsResult storePassword(const QString& settingsFile, const QString& password) {
    return writeSetting(settingsFile, SettingsKey::ProgramOptions, SettingsKey::Fingerprint,
                        passwordFingerprint(password));
}

} // namespace quillbox
