#pragma once

#include "app/AppState.h"
#include "app/Controller.h"
#include "transfer/ImportJob.h"
#include "transfer/ImportRead.h"

class QFile;

namespace quillbox {

class ListController;
class MainWindow;

// Import and export: the file requester, the choice of format, the preview and progress of an
// import and the warnings before an export.
class TransferController : public Controller {
    Q_OBJECT
public:
    TransferController(const ControllerContext& context, MainWindow& main, ListController& list);

    void importRecords();
    void exportRecords();

private:
    struct FileChoice {
        QString path; // empty when cancelled
        int pattern = 0;
    };
    FileChoice askForFile(const QString& title, const QString& patternList, bool save) const;
    // Reads the file twice, a piece at a time: first into a preview the user sees before anything
    // is stored, then, if the user goes on, into the database in one transaction.
    void importFile(const QString& path, const QString& cannotOpen, ImportFormat format, const QString& owner);
    void importXml(const QString& path);
    // The first reading, on a thread of its own, with a progress dialog that can cancel it. False
    // when cancelled.
    bool readFirst(QFile& file, ImportFormat format, const ImportCallbacks& callbacks, const ImportOptions& options,
                   ImportPreview& preview, ImportReading& reading);
    QString homeFolder() const;

    MainWindow& m_main;
    ListController& m_list;
    bool m_exportWarned = false;
};

} // namespace quillbox
