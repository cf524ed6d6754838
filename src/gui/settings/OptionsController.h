#pragma once

#include "app/AppState.h"
#include "app/Controller.h"

#include <QPointer>

#include <optional>

class QTimer;

namespace quillbox {

class ListController;
class MainWindow;
class SecurityController;
class ShortcutEditor;

// The Options menu (five switches and the entries that take a value), the title-bar clock, the
// main window's tool tips and the keyboard shortcut editor.
class OptionsController : public Controller {
    Q_OBJECT
public:
    OptionsController(const ControllerContext& context, MainWindow& main, ListController& list,
                      SecurityController& security);

    // The menu's check marks, tool tips and value entries as the settings say.
    void start();
    // The dated title, with the running clock when that option is on.
    void startTitle();
    // At exit: the clock stops.
    void shutDown();

    // The five switches, by command slot.
    int& optionValue(int slot);
    void toggleOption(int slot);
    // The Options entries that are not commands: clearing the clipboard, its delay, the idle lock.
    void handleItem(int number);
    void tickClock();

    // Events of the shortcut editor.
    void handleEditorEvent(int number, Notify kind, int detail);
    void openShortcutEditor();
    ShortcutEditor* shortcutEditor() const;

private:
    void saveOptions();
    // The tool tips option put into effect: the main window's tips and those of windows to come.
    void applyToolTips();
    void startClock(bool on);
    void toggleClipboardClearing();
    // A number from the user, kept within lowest..highest; nothing when cancelled.
    std::optional<int> askNumber(const QString& title, const QString& prompt, int current, int lowest,
                                 int highest) const;
    void askClipboardDelay();
    void askIdleLock();
    void askHistoryVersions();
    // Puts the idle lock's minutes into effect and the three entries' texts and check mark.
    void applyValueOptions();
    void checkShortcut(int slot, int value);
    void saveShortcuts();
    void closeEditor();

    MainWindow& m_main;
    ListController& m_list;
    SecurityController& m_security;
    QTimer* m_clock = nullptr;
    QString m_baseTitle; // the dated title the clock is added to
    QPointer<ShortcutEditor> m_editor;
};

} // namespace quillbox
