#include "health/HealthController.h"

#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "recovery/EntryWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

namespace quillbox {

namespace Health = Id::Health;

HealthController::HealthController(const ControllerContext& context, MainWindow& main, ListController& list)
    : Controller(context), m_main(main), m_list(list) {
    m_commands.add(Id::Slot::PasswordHealth, [this] { open(); });
}

void HealthController::open() {
    if (m_guard.isOpen()) {
        m_status.error(m_guard.message());
        return;
    }
    m_owner = m_main.ownerBox()->currentText();
    m_everyOwner = m_owner.isEmpty();
    m_breachList.clear();
    auto* window = new EntryWindow(Id::Window::Health, QStringLiteral("Password health"),
                                   {QStringLiteral("Finding"), QStringLiteral("Site name"), QStringLiteral("User name"),
                                    QStringLiteral("Owner"), QStringLiteral("Record"), QStringLiteral("Detail")},
                                   {{Health::Open, QStringLiteral("Open the record")},
                                    {Health::Owners, QStringLiteral("Every owner")},
                                    {Health::BreachList, QStringLiteral("Check a breach list...")},
                                    {Health::Close, QStringLiteral("Close")}},
                                   Health::EscapeKey, m_dispatch, &m_main);
    m_window = window;
    m_guard.open(QStringLiteral("Password health"));
    refresh();
    fadeIn(m_state.settings, window);
    window->list()->setFocus();
}

void HealthController::refresh() {
    HealthRequest request;
    request.owner = m_everyOwner ? QString() : m_owner;
    request.now = m_state.seams.now();
    request.breachList = m_breachList;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_report = checkPasswordHealth(m_state.database, request);
    QApplication::restoreOverrideCursor();
    m_window->button(Health::Owners)
        ->setText(m_everyOwner ? QStringLiteral("Only %1").arg(m_owner) : QStringLiteral("Every owner"));
    m_window->button(Health::Owners)->setEnabled(!m_owner.isEmpty());
    if (!m_report.error.isEmpty()) {
        m_window->setRows({}, {});
        m_window->setNote(QStringLiteral("The passwords could not be checked: %1").arg(m_report.error));
        return;
    }
    QList<QStringList> rows;
    QList<qint64> keys;
    m_ownerOf.clear();
    for (const HealthFinding& f : healthFindings(m_report)) {
        rows.append({f.finding, f.record.siteName, f.record.userName, f.record.owner, f.record.record, f.detail});
        keys.append(f.record.record.toLongLong());
        m_ownerOf.insert(f.record.record.toLongLong(), f.record.owner);
    }
    m_window->setRows(rows, keys);
    m_window->setNote(healthSummary(m_report, m_everyOwner ? QStringLiteral("every owner") : m_owner));
    m_window->button(Health::Open)->setEnabled(!rows.isEmpty());
}

void HealthController::handleEvent(int number, Notify kind, int /*detail*/) {
    if (!m_window) {
        return;
    }
    if (kind == Notify::Closed || number == Health::Close || number == Health::EscapeKey) {
        close();
    } else if (number == Health::Open || kind == Notify::DoubleClick) {
        openSelected();
    } else if (number == Health::Owners) {
        m_everyOwner = !m_everyOwner;
        refresh();
    } else if (number == Health::BreachList) {
        chooseBreachList();
    }
}

void HealthController::chooseBreachList() {
    QString filter;
    const QString file =
        m_state.seams.fileRequester(QStringLiteral("A breach list of SHA-1 hashes"), QString(),
                                    QStringLiteral("Breach lists (*.txt);;All files (*)"), &filter, false);
    if (file.isEmpty()) {
        return;
    }
    m_breachList = file;
    refresh();
}

void HealthController::openSelected() {
    const QList<qint64> chosen = m_window->selectedKeys();
    if (chosen.isEmpty()) {
        m_status.info(QStringLiteral("Choose a row to open its record."));
        return;
    }
    const QString record = QString::number(chosen.constFirst());
    const QString owner = m_ownerOf.value(chosen.constFirst());
    close();
    if (!m_list.showRecord(record, owner)) {
        m_status.error(QStringLiteral("Record %1 is no longer in the list.").arg(record));
        return;
    }
    m_commands.run(Id::Slot::EditRecord);
}

void HealthController::close() {
    EntryWindow* window = m_window;
    m_window = nullptr;
    m_report = HealthReport();
    m_ownerOf.clear();
    m_guard.close(window);
}

} // namespace quillbox
