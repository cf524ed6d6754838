// The keyboard shortcuts editor: opening, the duplicate check and saving.
#include "app/Ids.h"
#include "app/Program.h"
#include "app/WindowEffects.h"
#include "mainwindow/MainWindow.h"
#include "settings/KeyCaptureField.h"
#include "settings/ShortcutEditor.h"
#include "settings/Shortcuts.h"

namespace quillbox {

ShortcutEditor* Program::shortcutEditor() const {
    return m_shortcutEditor;
}

void Program::openShortcutEditor() {
    if (m_state.secondaryWindowOpen == 1) {
        showError(QStringLiteral("Another program window is already opened."));
        return;
    }
    if (!m_main) {
        showError(QStringLiteral("The data form window could not be opened."));
        return;
    }
    auto* editor = new ShortcutEditor([this](int w, int n, Notify kind, int detail) { dispatch(w, n, kind, detail); },
                                      m_main.get());
    m_shortcutEditor = editor;
    m_state.secondaryWindowOpen = 1;
    m_state.secondaryCaption = QStringLiteral("Edit key list");
    editor->setValues(m_state.shortcutCodes);
    editor->box(Id::Slot::Exit)->setFocus();
    fadeIn(m_state, editor);
    showInfo(QStringLiteral("Now editing the keyboard shortcuts list."));
}

void Program::handleShortcutEditorEvent(int number, Notify kind, int detail) {
    ShortcutEditor* editor = m_shortcutEditor;
    if (!editor) {
        return;
    }
    if (kind == Notify::Closed || number == ShortcutEditor::EscapeKey || number == ShortcutEditor::CloseButton) {
        m_shortcutEditor = nullptr;
        closeSecondaryWindow(editor, Id::Window::ShortcutEditor); // changes are dropped
    } else if (number == ShortcutEditor::SaveButton) {
        saveShortcuts();
    } else if (kind == Notify::Changed) {
        const int slot = ShortcutEditor::slotOfBox(number);
        if (slot >= 0) {
            checkDuplicateShortcut(slot, detail);
        }
    }
}

void Program::checkDuplicateShortcut(int slot, int value) {
    // Against the saved table, not the other boxes.
    const int holder = slotHoldingShortcut(m_state.shortcutCodes, value);
    if (holder < 0) {
        return;
    }
    m_shortcutEditor->box(slot)->setValue(m_state.shortcutCodes[static_cast<size_t>(slot)]);
    messageBox(QStringLiteral("Duplicate ShortCut"),
               QStringLiteral("This shortcut has already been assigned to \r\n\r\n\"") +
                   ShortcutEditor::labelOfSlot(holder) + QStringLiteral("\"\r\n\r\nPlease try another combination."),
               MessageIcon::Exclamation);
}

void Program::saveShortcuts() {
    ShortcutEditor* editor = m_shortcutEditor;
    m_state.shortcutCodes = editor->values();
    const SettingsResult saved = saveSettings(m_state.settingsFile, m_state);
    m_main->registerShortcuts();
    m_main->refreshMenuTexts();
    m_shortcutEditor = nullptr;
    closeSecondaryWindow(editor, Id::Window::ShortcutEditor);
    if (saved.ok) {
        showInfo(QStringLiteral("KeyBoard ShortCut changes saved, changes reloaded."));
    } else {
        showError(saved.error);
    }
}

} // namespace quillbox
