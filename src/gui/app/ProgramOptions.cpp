#include "app/Ids.h"
#include "app/Program.h"
#include "app/ProgramText.h"
#include "mainwindow/MainWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

namespace quillbox {

int& Program::optionValue(int slot) {
    switch (slot) {
    case Id::Slot::ToolTips:
        return m_state.optToolTips;
    case Id::Slot::Fading:
        return m_state.optFading;
    case Id::Slot::Snap:
        return m_state.optSnap;
    case Id::Slot::ShowPrivate:
        return m_state.optShowPrivate;
    default:
        return m_state.optTitleClock;
    }
}

void Program::toggleOption(int slot) {
    static const struct {
        const char* off;
        const char* on;
    } messages[] = {
        {"The global form tool tips have now been turned off.", "The global form tool tips have now been turned on."},
        {"Fading of forms in and out of the screen has now been turned off.",
         "Fading of forms in and out of the screen has now been turned on."},
        {"Snapping forms to borders has now been turned off.", "Snapping forms to borders has now been turned on."},
        {"Showing passwords in the list been turned off.", "Showing passwords in the list been turned on."},
        {"Updating time in window titlebar has been turned off.",
         "Updating time in window titlebar has been turned on."}};
    int& option = optionValue(slot);
    // A value other than 0 or 1 (a hand-edited file) is left alone, without a message.
    if (option == 0 || option == 1) {
        option = 1 - option;
        const bool on = option == 1;
        switch (slot) {
        case Id::Slot::ToolTips:
            installMainToolTips(on);
            break;
        case Id::Slot::ShowPrivate:
            maskList(on);
            break;
        case Id::Slot::TitleClock:
            startClock(on);
            if (!on) {
                m_main->setWindowTitle(datedTitle(m_state.seams.now().date()));
            }
            break;
        default:
            break;
        }
        const auto& m = messages[slot - Id::Slot::ToolTips];
        showInfo(QString::fromLatin1(on ? m.on : m.off));
    }
    const SettingsResult saved = saveSettings(m_state.settingsFile, m_state);
    if (!saved.ok) {
        showError(saved.error);
    }
    m_main->setChecked(slot, option == 1);
}

void Program::installMainToolTips(bool on) {
    const QString listTip = QStringLiteral(
        "Double left click to edit a highlighted record.\r\n\r\nDouble right click to create a new record.\r\n\r\n"
        "Press ALT + X to exit, click the exit button or pres the red 'x' in top right of the window\r\n\r\n"
        "Passwords can be hidden or shown with ALT + P.");
    auto tip = [on](QWidget* w, const QString& text) { w->setToolTip(on ? text : QString()); };
    tip(m_main->recordList(), listTip);
    tip(m_main->categoryBox(), QStringLiteral("Select the product/sitename category to display."));
    tip(m_main->searchTypeBox(), QStringLiteral("Select the type of SQL search to perform."));
    tip(m_main->fieldBox(), QStringLiteral("Select the field in which you wish to search."));
    tip(m_main->searchText(), QStringLiteral("Start typing your search string and matches will be instant if found."));
}

void Program::startClock(bool on) {
    if (!on) {
        if (m_clock) {
            m_clock->stop();
        }
        return;
    }
    if (!m_clock) {
        m_clock = new QTimer(this);
        m_clock->setInterval(1000);
        connect(m_clock, &QTimer::timeout, this,
                [this] { dispatch(Id::Window::Main, Id::Main::ClockTimer, Notify::Timer, 0); });
    }
    m_clock->start();
}

void Program::tickClock() {
    if (m_main) {
        m_main->setWindowTitle(clockTitle(m_state.baseTitle, m_state.seams.now().time()));
    }
}

} // namespace quillbox
