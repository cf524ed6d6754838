#include "app/BalloonTips.h"
#include "app/Ids.h"
#include "app/Program.h"
#include "app/ProgramText.h"
#include "app/WindowSnapper.h"
#include "mainwindow/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
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
    const QHash<int, QWidget*> gadgets{{Id::Main::RecordList, m_main->recordList()},
                                       {Id::Main::CategoryBox, m_main->categoryBox()},
                                       {Id::Main::SearchTypeBox, m_main->searchTypeBox()},
                                       {Id::Main::FieldBox, m_main->fieldBox()},
                                       {Id::Main::SearchText, m_main->searchText()}};
    if (on) {
        installFormToolTips(Id::Window::Main, gadgets);
    } else {
        toolTips()->remove(Id::Window::Main); // open secondary windows keep theirs
    }
}

BalloonTips* Program::toolTips() {
    if (!m_tips) {
        m_tips = new BalloonTips(this);
    }
    return m_tips;
}

void Program::installSnapping() {
    if (m_snapper) {
        return;
    }
    // The work area is read once; its left and top edges count as 0.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    m_snapper = new WindowSnapper(m_state, area.x() + area.width(), area.y() + area.height(), this);
    qApp->installEventFilter(m_snapper);
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
