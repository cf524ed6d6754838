// The Options menu, the title-bar clock, the main window's tool tips and the shortcut editor.
#include "settings/OptionsController.h"

#include "app/BalloonTips.h"
#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "settings/KeyCaptureField.h"
#include "settings/SecurityController.h"
#include "settings/ShortcutEditor.h"
#include "settings/Shortcuts.h"
#include "text/ProgramText.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

namespace quillbox {

OptionsController::OptionsController(const ControllerContext& context, MainWindow& main, ListController& list,
                                     SecurityController& security)
    : Controller(context), m_main(main), m_list(list), m_security(security) {
    using namespace Id::Slot;
    for (int slot : {ToolTips, Fading, Snap, ShowPrivate, TitleClock}) {
        m_commands.add(slot, [this, slot] { toggleOption(slot); });
    }
    m_commands.add(ShortcutKeys, [this] { openShortcutEditor(); });
}

void OptionsController::start() {
    for (int slot = Id::Slot::ToolTips; slot <= Id::Slot::TitleClock; ++slot) {
        m_main.setChecked(slot, optionValue(slot) == 1);
    }
    applyToolTips();
    applyValueOptions();
}

void OptionsController::startTitle() {
    m_baseTitle = datedTitle(m_state.seams.now().date());
    m_main.setWindowTitle(m_baseTitle);
    startClock(m_state.settings.optTitleClock == 1);
}

void OptionsController::shutDown() {
    startClock(false);
}

int& OptionsController::optionValue(int slot) {
    switch (slot) {
    case Id::Slot::ToolTips:
        return m_state.settings.optToolTips;
    case Id::Slot::Fading:
        return m_state.settings.optFading;
    case Id::Slot::Snap:
        return m_state.settings.optSnap;
    case Id::Slot::ShowPrivate:
        return m_state.settings.optShowPrivate;
    default:
        return m_state.settings.optTitleClock;
    }
}

void OptionsController::toggleOption(int slot) {
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
            applyToolTips();
            break;
        case Id::Slot::ShowPrivate:
            m_list.maskList(on);
            break;
        case Id::Slot::TitleClock:
            startClock(on);
            if (!on) {
                m_main.setWindowTitle(datedTitle(m_state.seams.now().date()));
            }
            break;
        default:
            break;
        }
        const auto& m = messages[slot - Id::Slot::ToolTips];
        m_status.info(QString::fromLatin1(on ? m.on : m.off));
    }
    saveOptions();
    m_main.setChecked(slot, option == 1);
}

void OptionsController::saveOptions() {
    const Result saved = saveSettings(m_state.files.settingsFile, m_state.settings);
    if (!saved.ok()) {
        m_status.error(saved.error());
    }
}

namespace {
QString unitText(int count, const char* unit) {
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(unit)).arg(count == 1 ? "" : "s");
}
} // namespace

void OptionsController::handleItem(int number) {
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
    case Id::HistoryItem:
        askHistoryVersions();
        break;
    default:
        break; // other numbers are ignored
    }
}

void OptionsController::toggleClipboardClearing() {
    int& option = m_state.settings.optClearClipboard;
    // As with the other switches, a value other than 0 or 1 is left alone, without a message.
    if (option == 0 || option == 1) {
        option = 1 - option;
        m_status.info(option == 1 ? QStringLiteral("Copies are now taken off the clipboard after ") +
                                        unitText(clipboardDelaySeconds(m_state.settings), "second") + QLatin1Char('.')
                                  : QStringLiteral("Copies now stay on the clipboard."));
    }
    saveOptions();
    applyValueOptions();
}

std::optional<int> OptionsController::askNumber(const QString& title, const QString& prompt, int current, int lowest,
                                                int highest) const {
    if (!m_state.seams.askNumber) {
        return std::nullopt;
    }
    const std::optional<int> number = m_state.seams.askNumber(title, prompt, current, lowest, highest);
    return number ? std::optional<int>(std::clamp(*number, lowest, highest)) : std::nullopt;
}

void OptionsController::askClipboardDelay() {
    const std::optional<int> seconds =
        askNumber(QStringLiteral("Clear the clipboard"), QStringLiteral("Seconds a copy stays on the clipboard:"),
                  clipboardDelaySeconds(m_state.settings), 1, MaxClipboardSeconds);
    if (!seconds) {
        return;
    }
    m_state.settings.clipboardSeconds = *seconds;
    m_status.info(QStringLiteral("Copies are taken off the clipboard after ") +
                  unitText(m_state.settings.clipboardSeconds, "second") +
                  (m_state.settings.optClearClipboard == 1 ? QStringLiteral(".")
                                                           : QStringLiteral(" once clearing is turned on.")));
    saveOptions();
    applyValueOptions();
}

void OptionsController::askIdleLock() {
    const std::optional<int> minutes = askNumber(
        QStringLiteral("Lock when idle"), QStringLiteral("Minutes without input before Quillbox locks (0 never):"),
        idleLockMinutes(m_state.settings), 0, MaxIdleMinutes);
    if (!minutes) {
        return;
    }
    m_state.settings.idleLockMinutes = *minutes;
    m_status.info(m_state.settings.idleLockMinutes > 0
                      ? QStringLiteral("Quillbox now locks after ") +
                            unitText(m_state.settings.idleLockMinutes, "minute") + QStringLiteral(" without input.")
                      : QStringLiteral("Quillbox no longer locks when left alone."));
    saveOptions();
    applyValueOptions();
}

void OptionsController::askHistoryVersions() {
    const std::optional<int> versions =
        askNumber(QStringLiteral("Versions kept"), QStringLiteral("Earlier versions kept of each record (0 none):"),
                  historyVersions(m_state.settings), 0, MaxKeptVersions);
    if (!versions) {
        return;
    }
    m_state.settings.historyVersions = *versions;
    m_status.info(*versions > 0 ? QStringLiteral("Each record now keeps its last ") + unitText(*versions, "version") +
                                      QStringLiteral(" when it is saved.")
                                : QStringLiteral("Records no longer keep earlier versions when they are saved."));
    saveOptions();
    applyValueOptions();
}

void OptionsController::applyValueOptions() {
    m_security.applyIdleLock();
    QAction* clearing = m_main.itemAction(Id::ClearClipboardItem);
    clearing->setText(QStringLiteral("Clear the clipboard after a copy"));
    clearing->setChecked(m_state.settings.optClearClipboard == 1);
    m_main.itemAction(Id::ClipboardDelayItem)
        ->setText(QStringLiteral("Clipboard delay: ") + unitText(clipboardDelaySeconds(m_state.settings), "second") +
                  QStringLiteral("..."));
    m_main.itemAction(Id::HistoryItem)
        ->setText(QStringLiteral("Versions kept of each record: %1...").arg(historyVersions(m_state.settings)));
    const int minutes = idleLockMinutes(m_state.settings);
    m_main.itemAction(Id::IdleLockItem)
        ->setText(minutes > 0 ? QStringLiteral("Lock after ") + unitText(minutes, "minute") +
                                    QStringLiteral(" without input...")
                              : QStringLiteral("Lock when idle: never..."));
}

void OptionsController::applyToolTips() {
    if (m_state.settings.optToolTips != 1) {
        m_tips.remove(Id::Window::Main); // open secondary windows keep theirs
        return;
    }
    const QHash<int, QWidget*> gadgets{{Id::Main::RecordList, m_main.recordList()},
                                       {Id::Main::CategoryBox, m_main.categoryBox()},
                                       {Id::Main::SearchTypeBox, m_main.searchTypeBox()},
                                       {Id::Main::FieldBox, m_main.fieldBox()},
                                       {Id::Main::SearchText, m_main.searchText()}};
    m_tips.installAll(Id::Window::Main, MainWindow::toolTips(), gadgets,
                      [this](int number) { return m_main.actionOfNumber(number); });
}

void OptionsController::startClock(bool on) {
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
                [this] { m_dispatch(Id::Window::Main, Id::Main::ClockTimer, Notify::Timer, 0); });
    }
    m_clock->start();
}

void OptionsController::tickClock() {
    m_main.setWindowTitle(clockTitle(m_baseTitle, m_state.seams.now().time()));
}

void OptionsController::openShortcutEditor() {
    if (m_guard.isOpen()) {
        m_status.error(QStringLiteral("Another program window is already opened."));
        return;
    }
    auto* editor = new ShortcutEditor(m_dispatch, &m_main);
    m_editor = editor;
    m_guard.open(QStringLiteral("Edit key list"));
    editor->setValues(m_state.settings.shortcutCodes);
    editor->box(Id::Slot::Exit)->setFocus();
    fadeIn(m_state.settings, editor);
    m_status.info(QStringLiteral("Now editing the keyboard shortcuts list."));
}

void OptionsController::handleEditorEvent(int number, Notify kind, int detail) {
    if (!m_editor) {
        return;
    }
    if (kind == Notify::Closed || number == ShortcutEditor::EscapeKey || number == ShortcutEditor::CloseButton) {
        closeEditor(); // changes are dropped
    } else if (number == ShortcutEditor::SaveButton) {
        saveShortcuts();
    } else if (number == ShortcutEditor::RestoreButton) {
        if (m_status.ask(QStringLiteral("Restore defaults"),
                         QStringLiteral("Give every command back the key it came with?\r\n\r\nThe keys take effect "
                                        "when you save."),
                         {QStringLiteral("Restore"), QStringLiteral("Cancel")}, 1) == 0) {
            m_editor->setValues(defaultShortcutCodes());
        }
    } else if (kind == Notify::Changed) {
        const int slot = ShortcutEditor::slotOfBox(number);
        if (slot >= 0) {
            checkShortcut(slot, detail);
        }
    }
}

void OptionsController::checkShortcut(int slot, int value) {
    // Duplicates are weighed against the saved table, not the other boxes.
    const int holder = slotHoldingShortcut(m_state.settings.shortcutCodes, value);
    const QString refusal = holder < 0 ? shortcutRefusal(slot, value) : QString();
    if (holder < 0 && refusal.isEmpty()) {
        return;
    }
    m_editor->box(slot)->setValue(m_state.settings.shortcutCodes[static_cast<size_t>(slot)]);
    if (!refusal.isEmpty()) {
        m_status.messageBox(QStringLiteral("Key refused"), refusal, MessageIcon::Exclamation);
        return;
    }
    m_status.messageBox(QStringLiteral("Duplicate ShortCut"),
                        QStringLiteral("This shortcut has already been assigned to \r\n\r\n\"") +
                            ShortcutEditor::labelOfSlot(holder) +
                            QStringLiteral("\"\r\n\r\nPlease try another combination."),
                        MessageIcon::Exclamation);
}

void OptionsController::saveShortcuts() {
    m_state.settings.shortcutCodes = m_editor->values();
    const Result saved = saveSettings(m_state.files.settingsFile, m_state.settings);
    m_main.registerShortcuts();
    m_main.refreshMenuTexts();
    closeEditor();
    if (saved.ok()) {
        m_status.info(QStringLiteral("KeyBoard ShortCut changes saved, changes reloaded."));
    } else {
        m_status.error(saved.error());
    }
}

void OptionsController::closeEditor() {
    ShortcutEditor* editor = m_editor;
    m_editor = nullptr;
    m_guard.close(editor);
}

ShortcutEditor* OptionsController::shortcutEditor() const {
    return m_editor;
}

} // namespace quillbox
