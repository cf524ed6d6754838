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

#include <numeric>

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
    const auto add = [&](const QString& finding, const HealthRecord& r, const QString& detail) {
        rows.append({finding, r.siteName, r.userName, r.owner, r.record, detail});
        keys.append(r.record.toLongLong());
        m_ownerOf.insert(r.record.toLongLong(), r.owner);
    };
    for (const BreachedPassword& b : m_report.breached) {
        add(QStringLiteral("In a breach"), b.record, QStringLiteral("seen %1 times").arg(b.seen));
    }
    for (const WeakPassword& w : m_report.weak) {
        add(QStringLiteral("Weak"), w.record,
            strengthText(w.strength) +
                (w.strength.warning.isEmpty() ? QString() : QStringLiteral(": ") + w.strength.warning));
    }
    for (qsizetype g = 0; g < m_report.reused.size(); ++g) {
        for (const HealthRecord& r : m_report.reused[g]) {
            add(QStringLiteral("Reused"), r,
                QStringLiteral("group %1, %2 records share it").arg(g + 1).arg(m_report.reused[g].size()));
        }
    }
    for (const HealthRecord& r : m_report.empty) {
        add(QStringLiteral("Empty"), r, QString());
    }
    for (const StalePassword& st : m_report.stale) {
        add(QStringLiteral("A year old"), st.record,
            QStringLiteral("unchanged since %1").arg(st.since.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"))));
    }
    m_window->setRows(rows, keys);
    QString note = QStringLiteral("%1 records of %2 checked: %3 weak, %4 reused (%5 groups), %6 empty, %7 a year old")
                       .arg(m_report.checked)
                       .arg(m_everyOwner ? QStringLiteral("every owner") : m_owner)
                       .arg(m_report.weak.size())
                       .arg(std::accumulate(m_report.reused.begin(), m_report.reused.end(), qsizetype(0),
                                            [](qsizetype n, const QList<HealthRecord>& g) { return n + g.size(); }))
                       .arg(m_report.reused.size())
                       .arg(m_report.empty.size())
                       .arg(m_report.stale.size());
    if (m_report.breachChecked) {
        note += QStringLiteral(", %1 in the breach list").arg(m_report.breached.size());
    }
    m_window->setNote(note + QLatin1Char('.'));
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
