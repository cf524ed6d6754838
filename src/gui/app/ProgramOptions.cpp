#include "app/BalloonTips.h"
#include "app/ClipboardKeeper.h"
#include "app/IdleWatch.h"
#include "app/Ids.h"
#include "app/Program.h"
#include "app/ProgramText.h"
#include "app/ToolTipTexts.h"
#include "app/WindowSnapper.h"
#include "mainwindow/MainWindow.h"

#include <QAction>
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
    saveOptions();
    m_main->setChecked(slot, option == 1);
}

void Program::saveOptions() {
    const SettingsResult saved = saveSettings(m_state.settingsFile, m_state);
    if (!saved.ok) {
        showError(saved.error);
    }
}

namespace {
constexpr int MaxClipboardSeconds = 3600;
constexpr int MaxIdleMinutes = 24 * 60;

QString unitText(int count, const char* unit) {
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(unit)).arg(count == 1 ? "" : "s");
}
} // namespace

int Program::clipboardDelaySeconds() const {
    return std::clamp(m_state.clipboardSeconds, 1, MaxClipboardSeconds);
}

int Program::idleLockMinutes() const {
    return std::clamp(m_state.idleLockMinutes, 0, MaxIdleMinutes);
}

void Program::handleOptionItem(int number) {
    switch (number) {
    case Id::ClearClipboardItem:
        toggleClipboardClearing();
        break;
    case Id::ClipboardDelayItem:
        askClipboardDelay();
        break;
    case Id::IdleLockItem:
        askIdleLock();
        break;
    default:
        break; // other numbers are ignored
    }
}

void Program::toggleClipboardClearing() {
    int& option = m_state.optClearClipboard;
    // As with the other switches, a value other than 0 or 1 is left alone, without a message.
    if (option == 0 || option == 1) {
        option = 1 - option;
        showInfo(option == 1 ? QStringLiteral("Copies are now taken off the clipboard after ") +
                                   unitText(clipboardDelaySeconds(), "second") + QLatin1Char('.')
                             : QStringLiteral("Copies now stay on the clipboard."));
    }
    saveOptions();
    applyValueOptions();
}

void Program::askClipboardDelay() {
    if (!m_state.seams.askNumber) {
        return;
    }
    const std::optional<int> seconds = m_state.seams.askNumber(QStringLiteral("Clear the clipboard"),
                                                               QStringLiteral("Seconds a copy stays on the clipboard:"),
                                                               clipboardDelaySeconds(), 1, MaxClipboardSeconds);
    if (!seconds) {
        return;
    }
    m_state.clipboardSeconds = std::clamp(*seconds, 1, MaxClipboardSeconds);
    showInfo(QStringLiteral("Copies are taken off the clipboard after ") +
             unitText(m_state.clipboardSeconds, "second") +
             (m_state.optClearClipboard == 1 ? QStringLiteral(".") : QStringLiteral(" once clearing is turned on.")));
    saveOptions();
    applyValueOptions();
}

void Program::askIdleLock() {
    if (!m_state.seams.askNumber) {
        return;
    }
    const std::optional<int> minutes = m_state.seams.askNumber(
        QStringLiteral("Lock when idle"), QStringLiteral("Minutes without input before Quillbox locks (0 never):"),
        idleLockMinutes(), 0, MaxIdleMinutes);
    if (!minutes) {
        return;
    }
    m_state.idleLockMinutes = std::clamp(*minutes, 0, MaxIdleMinutes);
    showInfo(m_state.idleLockMinutes > 0
                 ? QStringLiteral("Quillbox now locks after ") + unitText(m_state.idleLockMinutes, "minute") +
                       QStringLiteral(" without input.")
                 : QStringLiteral("Quillbox no longer locks when left alone."));
    saveOptions();
    applyValueOptions();
}

void Program::applyValueOptions() {
    if (m_idle) {
        m_idle->setTimeout(idleLockMinutes() * 60 * 1000);
    }
    if (!m_main) {
        return;
    }
    QAction* clearing = m_main->itemAction(Id::ClearClipboardItem);
    clearing->setText(QStringLiteral("Clear the clipboard after a copy"));
    clearing->setChecked(m_state.optClearClipboard == 1);
    m_main->itemAction(Id::ClipboardDelayItem)
        ->setText(QStringLiteral("Clipboard delay: ") + unitText(clipboardDelaySeconds(), "second") +
                  QStringLiteral("..."));
    const int minutes = idleLockMinutes();
    m_main->itemAction(Id::IdleLockItem)
        ->setText(minutes > 0 ? QStringLiteral("Lock after ") + unitText(minutes, "minute") +
                                    QStringLiteral(" without input...")
                              : QStringLiteral("Lock when idle: never..."));
}

void Program::putOnClipboard(const QString& text) {
    m_clipboard->put(text, m_state.optClearClipboard == 1 ? clipboardDelaySeconds() * 1000 : 0);
}

void Program::installMainToolTips(bool on) {
    const QHash<int, QWidget*> gadgets{{Id::Main::RecordList, m_main->recordList()},
                                       {Id::Main::CategoryBox, m_main->categoryBox()},
                                       {Id::Main::SearchTypeBox, m_main->searchTypeBox()},
                                       {Id::Main::FieldBox, m_main->fieldBox()},
                                       {Id::Main::SearchText, m_main->searchText()}};
    if (on) {
        installFormToolTips(Id::Window::Main, gadgets);
        if (m_state.optToolTips == 1) {
            // The menu entries with tips of their own, by item number.
            for (const ToolTipEntry& entry : toolTipTable()) {
                QAction* action = entry.window == Id::Window::Main && !gadgets.contains(entry.gadget)
                                      ? m_main->actionOfNumber(entry.gadget)
                                      : nullptr;
                if (action) {
                    toolTips()->install(Id::Window::Main, entry.gadget, action, entry.text);
                }
            }
        }
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
