// Commands and windows that are still to be built. Each block moves to its own file when its
// window arrives; until then the command does nothing, as the menus promise no more.
#include "app/Program.h"

namespace quillbox {

// Import and export.
void Program::importRecords() {}
void Program::exportRecords() {}

} // namespace quillbox
