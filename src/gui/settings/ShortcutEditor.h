#pragma once

#include "app/SecondaryWindow.h"
#include "settings/ProgramSettings.h"

#include <QWidget>

#include <array>

class QPushButton;

namespace quillbox {

class KeyCaptureField;

// Window 3: one capture box per command. Reports every key taken in a box (gadget = box
// number, detail = the new value), its buttons, Escape (263) and its close box.
class ShortcutEditor : public SecondaryWindow {
    Q_OBJECT
public:
    static constexpr int SaveButton = 108;
    static constexpr int RestoreButton = 109; // puts the default keys back in the boxes
    static constexpr int CloseButton = 110;
    static constexpr int EscapeKey = 263;

    ShortcutEditor(DispatchFn dispatch, QWidget* parent = nullptr);

    // Box gadget number of a command slot, and the slot of a box number (-1 when none).
    static int boxOfSlot(int slot);
    static int slotOfBox(int box);
    // The label the editor shows for a command slot.
    static QString labelOfSlot(int slot);

    KeyCaptureField* box(int slot) const { return m_boxes[static_cast<size_t>(slot)]; }
    QPushButton* button(int number) const;
    void setValues(const std::array<int, CommandCount>& values);
    std::array<int, CommandCount> values() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::array<KeyCaptureField*, CommandCount> m_boxes{};
    QPushButton* m_buttons[3] = {};
};

} // namespace quillbox
