// Commands and windows that are still to be built. Each block moves to its own file when its
// window arrives; until then the command does nothing, as the menus promise no more.
#include "app/Program.h"

namespace quillbox {

// Password, lock, shortcut editor.
bool Program::passwordStep() { return true; }
void Program::openPasswordEditor() {}
void Program::lockInterface() {}
void Program::openShortcutEditor() {}
void Program::handleShortcutEditorEvent(int, Notify, int) {}
void Program::handlePasswordEditorEvent(int, Notify, int) {}
void Program::handleUnlockEvent(int, Notify, int) {}

// Import and export.
void Program::importRecords() {}
void Program::exportRecords() {}

} // namespace quillbox
