#include "app/AppState.h"

#include "app/ProgramText.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSystemTrayIcon>

namespace quillbox {

Seams Seams::production() {
    Seams s;
    s.messageBox = [](const QString& title, const QString& text, MessageIcon icon) {
        QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    };
    s.fileRequester = [](const QString& title, const QString& proposedName, const QString& patterns,
                         QString* selectedFilter, bool save) {
        QWidget* parent = QApplication::activeWindow();
        return save ? QFileDialog::getSaveFileName(parent, title, proposedName, patterns, selectedFilter)
                    : QFileDialog::getOpenFileName(parent, title, proposedName, patterns, selectedFilter);
    };
    s.now = [] { return QDateTime::currentDateTime(); };
    s.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    s.setClipboardText = [](const QString& text) { QApplication::clipboard()->setText(text); };
    s.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    s.homeFolder = [] { return QDir::homePath(); };
    return s;
}

void AppState::setWorkingFolder(const QString& folder) {
    currentFolder = QDir::toNativeSeparators(QDir(folder).absolutePath());
    if (!currentFolder.endsWith(QDir::separator())) {
        currentFolder += QDir::separator();
    }
    databaseFolder = currentFolder + QStringLiteral("Database") + QDir::separator();
    systemFolder = currentFolder + QStringLiteral("System") + QDir::separator();
    temporaryFolder = currentFolder + QStringLiteral("Temporary") + QDir::separator();
    databaseFile = databaseFolder + databaseFileName;
    settingsFile = systemFolder + settingsFileName;
    printFile = temporaryFolder + printFileName;
    printUrl = QUrl::fromLocalFile(QDir::fromNativeSeparators(printFile)).toString();
}

} // namespace quillbox
