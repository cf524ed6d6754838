#include "store/WorkingFolder.h"

#include <QDir>
#include <QUrl>

namespace quillbox {

WorkingFolder WorkingFolder::at(const QString& folder) {
    WorkingFolder w;
    w.currentFolder = QDir::toNativeSeparators(QDir(folder).absolutePath());
    if (!w.currentFolder.endsWith(QDir::separator())) {
        w.currentFolder += QDir::separator();
    }
    w.databaseFolder = w.currentFolder + QStringLiteral("Database") + QDir::separator();
    w.systemFolder = w.currentFolder + QStringLiteral("System") + QDir::separator();
    w.temporaryFolder = w.currentFolder + QStringLiteral("Temporary") + QDir::separator();
    w.databaseFile = w.databaseFolder + databaseFileName;
    w.settingsFile = w.systemFolder + settingsFileName;
    w.printFile = w.temporaryFolder + printFileName;
    w.printUrl = QUrl::fromLocalFile(QDir::fromNativeSeparators(w.printFile)).toString();
    return w;
}

} // namespace quillbox
