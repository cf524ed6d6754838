#pragma once

#include "app/AppState.h"
#include "transfer/ImportRead.h"

#include <QObject>

namespace quillbox {

class CommandTable;
class ListController;
class UndoStack;
class MainWindow;
class StatusLine;

// Import and export: the file requester, the choice of format, the preview and progress of an
// import and the warnings before an export.
class TransferController : public QObject {
    Q_OBJECT
public:
    TransferController(AppState& state, MainWindow& main, StatusLine& status, CommandTable& commands,
                       ListController& list, UndoStack& undo);

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
    QString homeFolder() const;

    AppState& m_state;
    MainWindow& m_main;
    StatusLine& m_status;
    ListController& m_list;
    UndoStack& m_undo;
    bool m_exportWarned = false;
};

} // namespace quillbox
