#pragma once

#include "app/Controller.h"
#include "health/PasswordHealth.h"

#include <QHash>
#include <QPointer>

namespace quillbox {

class DataFormController;
class EntryWindow;
class ListController;
class MainWindow;

// The password health report (window 13): the shown owner's records, or every owner's, whose
// passwords are weak, reused, empty, a year old, or in a breach list the user picks; a row opens
// its record in the data form.
class HealthController : public Controller {
    Q_OBJECT
public:
    HealthController(const ControllerContext& context, MainWindow& main, ListController& list);

    void handleEvent(int number, Notify kind, int detail);
    EntryWindow* window() const { return m_window; }
    const HealthReport& report() const { return m_report; }

private:
    void open();
    void refresh();
    void openSelected();
    void chooseBreachList();
    void close();

    MainWindow& m_main;
    ListController& m_list;
    QPointer<EntryWindow> m_window;
    HealthReport m_report;
    bool m_everyOwner = false;
    QString m_owner;      // the owner shown when the report was opened
    QString m_breachList; // the file chosen for this report, if any
    QHash<qint64, QString> m_ownerOf;
};

} // namespace quillbox
