#include "app/AppState.h"

#include "text/ProgramText.h"
#include "transfer/CsvColumnsWindow.h"
#include "transfer/ImportPreviewWindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTextDocument>

namespace quillbox {

Seams Seams::production() {
    Seams s;
    s.messageBox = [](const QString& title, const QString& text, MessageIcon icon) {
        QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    };
    s.ask = [](const QString& title, const QString& text, const QStringList& buttons) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, QApplication::activeWindow());
        QList<QAbstractButton*> added;
        for (const QString& label : buttons) {
            added.append(box.addButton(label, added.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
        }
        // The last button is the harmless one of every question (Cancel): Escape answers with it,
        // and so does Return pressed out of habit.
        box.setDefaultButton(qobject_cast<QPushButton*>(added.value(added.size() - 1)));
        box.setEscapeButton(added.value(added.size() - 1));
        box.exec();
        return static_cast<int>(added.indexOf(box.clickedButton()));
    };
    s.fileRequester = [](const QString& title, const QString& proposedName, const QString& patterns,
                         QString* selectedFilter, bool save) {
        QWidget* parent = QApplication::activeWindow();
        return save ? QFileDialog::getSaveFileName(parent, title, proposedName, patterns, selectedFilter)
                    : QFileDialog::getOpenFileName(parent, title, proposedName, patterns, selectedFilter);
    };
    s.askNumber = [](const QString& title, const QString& label, int value, int minimum,
                     int maximum) -> std::optional<int> {
        bool ok = false;
        const int chosen =
            QInputDialog::getInt(QApplication::activeWindow(), title, label, value, minimum, maximum, 1, &ok);
        return ok ? std::optional<int>(chosen) : std::nullopt;
    };
    s.now = [] { return QDateTime::currentDateTime(); };
    s.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    s.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    s.printDocument = [](QTextDocument* document, bool preview, QWidget* parent) {
        const QString noPrinter = QStringLiteral("No printer is installed, nothing was printed.");
        // The preview needs no printer; from it the user may still print to a file.
        if (!preview && QPrinterInfo::availablePrinters().isEmpty()) {
            return noPrinter;
        }
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(QStringLiteral("Quillbox"));
        if (preview) {
            QPrintPreviewDialog dialog(&printer, parent);
            QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                             [document](QPrinter* target) { document->print(target); });
            dialog.exec();
            if (parent) {
                parent->activateWindow(); // the keys go back to the window the preview came from
            }
            return QString();
        }
        if (!printer.isValid()) {
            return noPrinter;
        }
        document->print(&printer);
        return QString();
    };
    s.modalLoop = [](QWidget*, const std::function<bool()>& done) {
        // One event at a time until the window's check passes or it is left.
        while (!done()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };
    s.homeFolder = [] { return QDir::homePath(); };
    s.importPreview = [](const ImportPreview& preview, bool columnsStep, QWidget* parent) {
        return showImportPreview(preview, columnsStep, parent);
    };
    s.csvColumns = [](QIODevice& file, ImportOptions& options, QWidget* parent) {
        return chooseCsvColumns(file, options, parent);
    };
    s.kdfCost = [] { return programKdfCost(); };
    return s;
}

} // namespace quillbox
