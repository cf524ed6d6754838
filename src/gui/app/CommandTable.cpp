#include "app/CommandTable.h"

#include "app/Ids.h"
#include "settings/Shortcuts.h"

#include <algorithm>
#include <span>

namespace quillbox {

void CommandTable::add(int slot, Command command) {
    if (slot >= 0 && slot < CommandCount) {
        m_commands[static_cast<size_t>(slot)] = std::move(command);
    }
}

bool CommandTable::run(int slot) const {
    if (slot < 0 || slot >= CommandCount || !m_commands[static_cast<size_t>(slot)]) {
        return false;
    }
    m_commands[static_cast<size_t>(slot)]();
    return true;
}

int CommandTable::slotOf(int number) {
    static_assert(std::size(Id::MenuItemOfSlot) == CommandCount && std::size(Id::PopupItemOfSlot) == CommandCount);
    if (number == Id::ReturnKey) {
        return Id::Slot::EditRecord;
    }
    for (const auto& table : {std::span(Id::MenuItemOfSlot), std::span(Id::PopupItemOfSlot)}) {
        if (const auto it = std::find(table.begin(), table.end(), number); it != table.end()) {
            return static_cast<int>(it - table.begin());
        }
    }
    return slotForShortcutEvent(number);
}

} // namespace quillbox
