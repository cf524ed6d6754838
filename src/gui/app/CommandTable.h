#pragma once

#include "settings/ProgramSettings.h"

#include <array>
#include <functional>

namespace quillbox {

// The commands of the menus, the pop-up menu and the keyboard shortcuts, by command slot
// (Id::Slot). Each controller registers the commands it carries out.
class CommandTable {
public:
    using Command = std::function<void()>;

    void add(int slot, Command command);
    // Runs the slot's command; false when none is registered ("Show help" has no action).
    bool run(int slot) const;

    // The slot of a menu item, pop-up item or shortcut event number, or -1. Return in the list
    // edits the record.
    static int slotOf(int number);

private:
    std::array<Command, CommandCount> m_commands;
};

} // namespace quillbox
