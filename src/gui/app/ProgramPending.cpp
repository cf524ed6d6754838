// Commands and windows that are still to be built. Each block moves to its own file when its
// window arrives; until then the command does nothing, as the menus promise no more.
#include "app/Program.h"

namespace quillbox {

// Data form, record actions, About window.
void Program::addNewSite() {}
void Program::editOldSite() {}
void Program::copyToNewOwner() {}
void Program::copyRecords() {}
void Program::openHomePage() {}
void Program::openAbout() {}
void Program::handleAboutEvent(int, Notify, int) {}
void Program::handleDataFormEvent(int, Notify, int) {}

// Password, lock, shortcut editor.
bool Program::passwordStep() { return true; }
void Program::openPasswordEditor() {}
void Program::lockInterface() {}
void Program::openShortcutEditor() {}
void Program::handleShortcutEditorEvent(int, Notify, int) {}
void Program::handlePasswordEditorEvent(int, Notify, int) {}
void Program::handleUnlockEvent(int, Notify, int) {}

// Printing.
void Program::openPrintWindow() {}
void Program::handlePrintEvent(int, Notify, int) {}

} // namespace quillbox
