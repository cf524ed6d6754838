#pragma once

#include <QString>

namespace quillbox {

inline const QString databaseFileName = QStringLiteral("Vennholt Quillbox v2.00.ptk");
inline const QString settingsFileName = QStringLiteral("Vennholt Quillbox v2.00.ptk.Ini");
inline const QString printFileName = QStringLiteral("Quillbox.htm");

// The folders and files both programs keep under a working folder: the database in Database/,
// the settings in System/, the print document in Temporary/.
struct WorkingFolder {
    QString currentFolder; // always ends in the platform's separator
    QString databaseFolder;
    QString systemFolder;
    QString temporaryFolder;
    QString databaseFile;
    QString settingsFile;
    QString printFile;
    QString printUrl;

    static WorkingFolder at(const QString& folder);
};

} // namespace quillbox
