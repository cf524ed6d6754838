// The recycle bin window and Undo.
#include "recovery/RecoveryController.h"

#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/UndoStack.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "recovery/EntryWindow.h"
#include "settings/ProgramSettings.h"
#include "store/RecordHistory.h"
#include "text/ProgramText.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTreeWidget>

namespace quillbox {

namespace Bin = Id::RecycleBin;

namespace {
QString records(qsizetype count) {
    return recordCountText(QString::number(count)).toLower();
}
} // namespace

RecoveryController::RecoveryController(const ControllerContext& context, MainWindow& main, ListController& list)
    : Controller(context), m_main(main), m_list(list) {
    m_commands.add(Id::Slot::Undo, [this] { undoLast(); });
    connect(&m_undo, &UndoStack::changed, this, &RecoveryController::updateUndoItem);
    updateUndoItem();
}

void RecoveryController::updateUndoItem() {
    m_main.setCommandLabel(Id::Slot::Undo, m_undo.menuText());
    m_main.menuAction(Id::Slot::Undo)->setEnabled(!m_undo.isEmpty());
    m_main.popupAction(Id::Slot::Undo)->setEnabled(!m_undo.isEmpty());
}

void RecoveryController::undoLast() {
    if (m_undo.isEmpty()) {
        m_status.info(QStringLiteral("There is nothing to undo."));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const UndoResult result =
        undo(m_state.database, m_undo.top(), m_state.seams.now(), historyVersions(m_state.settings));
    QApplication::restoreOverrideCursor();
    if (!result.error.isEmpty()) {
        // A locked or full database may take it later; a change that can no longer be taken back goes.
        if (!m_state.database.lastFailureRefusesWrites()) {
            m_undo.take();
        }
        m_list.refreshAfterChange();
        m_status.error(QStringLiteral("Nothing was undone: %1.").arg(result.error));
        return;
    }
    m_undo.take();
    m_list.refreshAfterChange();
    if (m_bin) {
        refreshBin();
    }
    m_status.info(result.message);
}

void RecoveryController::openBin() {
    if (m_guard.isOpen()) {
        m_status.error(m_guard.message());
        return;
    }
    auto* window = new EntryWindow(Id::Window::RecycleBin, QStringLiteral("The recycle bin"),
                                   {QStringLiteral("Deleted"), QStringLiteral("Site name"), QStringLiteral("Owner"),
                                    QStringLiteral("Category"), QStringLiteral("Record")},
                                   {{Bin::Restore, QStringLiteral("Restore")},
                                    {Bin::Empty, QStringLiteral("Empty the recycle bin")},
                                    {Bin::Close, QStringLiteral("Close")}},
                                   Bin::EscapeKey, m_dispatch, &m_main);
    m_bin = window;
    m_guard.open(QStringLiteral("Recycle bin"));
    refreshBin();
    fadeIn(m_state.settings, window);
    window->list()->setFocus();
}

void RecoveryController::refreshBin() {
    QString error;
    const std::optional<QList<HistoryEntry>> entries = binEntries(m_state.database, &error);
    if (!entries) {
        m_bin->setRows({}, {});
        m_bin->setNote(QStringLiteral("The recycle bin could not be read: %1").arg(error));
        m_status.error(QStringLiteral("The recycle bin could not be read: %1").arg(error));
        return;
    }
    QList<QStringList> rows;
    QList<qint64> keys;
    rows.reserve(entries->size());
    for (const HistoryEntry& e : *entries) {
        rows.append({e.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), e.values[Col::SiteName],
                     e.values[Col::Owner], e.values[Col::Category], e.record});
        keys.append(e.entry);
    }
    m_bin->setRows(rows, keys);
    m_bin->setNote(entries->isEmpty() ? QStringLiteral("The recycle bin is empty.")
                                      : QStringLiteral("%1 in the recycle bin. A restored record gets its old number "
                                                       "back when no record holds it, else a new one.")
                                            .arg(records(entries->size())));
    m_bin->button(Bin::Empty)->setEnabled(!entries->isEmpty());
}

void RecoveryController::handleBinEvent(int number, Notify kind, int /*detail*/) {
    if (!m_bin) {
        return;
    }
    if (kind == Notify::Closed || number == Bin::Close || number == Bin::EscapeKey) {
        closeBin();
    } else if (number == Bin::Restore) {
        restoreSelected();
    } else if (number == Bin::Empty) {
        emptyTheBin();
    }
}

void RecoveryController::restoreSelected() {
    const QList<qint64> chosen = m_bin->selectedKeys();
    if (chosen.isEmpty()) {
        m_status.info(QStringLiteral("Choose the records to restore in the list."));
        return;
    }
    QList<Restored> restored;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Result done = restoreFromBin(m_state.database, chosen, &restored);
    QApplication::restoreOverrideCursor();
    if (!done) {
        m_status.error(QStringLiteral("Nothing was restored: %1.").arg(done.error()));
        return;
    }
    QStringList moved;
    for (const Restored& r : restored) {
        if (r.to != r.from) {
            moved.append(QStringLiteral("%1 is now record %2 (its number %3 was taken)")
                             .arg(r.siteName.isEmpty() ? QStringLiteral("A record") : r.siteName, r.to, r.from));
        }
    }
    m_list.refreshAfterChange();
    refreshBin();
    m_status.info(QStringLiteral("%1 restored, %2 under %3.")
                      .arg(records(restored.size()))
                      .arg(restored.size() - moved.size())
                      .arg(restored.size() - moved.size() == 1 ? QStringLiteral("its old number")
                                                               : QStringLiteral("their old numbers")));
    if (!moved.isEmpty()) {
        const qsizetype shown = std::min<qsizetype>(moved.size(), 10);
        QString text = QStringLiteral("Restored under new numbers:\n") + moved.mid(0, shown).join(QLatin1Char('\n'));
        if (moved.size() > shown) {
            text += QStringLiteral("\nand %1 more.").arg(moved.size() - shown);
        }
        m_status.messageBox(QStringLiteral("Recycle bin"), text, MessageIcon::None);
    }
}

void RecoveryController::emptyTheBin() {
    const int count = m_bin->list()->topLevelItemCount();
    if (m_status.ask(QStringLiteral("Empty the recycle bin"),
                     QStringLiteral("Erase the %1 in the recycle bin for good? They cannot be restored afterwards.")
                         .arg(records(count)),
                     {QStringLiteral("Empty the recycle bin"), QStringLiteral("Cancel")}, 1) != 0) {
        return;
    }
    qsizetype erased = 0;
    const Result done = emptyBin(m_state.database, &erased);
    refreshBin();
    if (!done) {
        m_status.error(QStringLiteral("The recycle bin was not emptied: %1.").arg(done.error()));
        return;
    }
    m_status.info(QStringLiteral("The recycle bin was emptied: %1 erased for good.").arg(records(erased)));
}

void RecoveryController::closeBin() {
    EntryWindow* window = m_bin;
    m_bin = nullptr;
    m_guard.close(window);
}

} // namespace quillbox
