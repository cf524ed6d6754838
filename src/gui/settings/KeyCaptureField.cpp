#include "settings/KeyCaptureField.h"

#include "settings/Shortcuts.h"

#include <QKeyEvent>

namespace quillbox {

namespace {
bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}
} // namespace

KeyCaptureField::KeyCaptureField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    showValue();
}

void KeyCaptureField::setValue(int value) {
    m_value = value;
    showValue();
}

void KeyCaptureField::showValue() {
    setText(shortcutDisplayText(m_value));
}

bool KeyCaptureField::passesThrough(const QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_Backtab) {
        return mods == Qt::ShiftModifier;
    }
    return mods == Qt::NoModifier && (key == Qt::Key_Tab || key == Qt::Key_Escape);
}

bool KeyCaptureField::event(QEvent* event) {
    // Every combination belongs to the field while it has the focus, not to a shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!passesThrough(key)) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void KeyCaptureField::keyPressEvent(QKeyEvent* event) {
    if (passesThrough(event)) {
        event->ignore();
        return;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (isModifierKey(key)) {
        // While only modifiers are held the field shows them as the start of a combination.
        const int bits = shortcutModifierBits(mods);
        setText(shortcutDisplayText(bits ? bits : m_value));
        return;
    }
    if ((mods & ~Qt::KeypadModifier) == Qt::NoModifier && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        m_value = 0;
    } else {
        const int value = valueForKeyCombination(event->keyCombination());
        if (value == 0) {
            showValue(); // a key without a virtual-key code: nothing taken
            return;
        }
        m_value = value;
    }
    showValue();
    Q_EMIT captured(m_value);
}

void KeyCaptureField::keyReleaseEvent(QKeyEvent* event) {
    if (isModifierKey(event->key())) {
        // Platforms differ on whether the released key still counts among the modifiers.
        const int key = event->key();
        const int released = key == Qt::Key_Shift     ? ShortcutBits::Shift
                             : key == Qt::Key_Control ? ShortcutBits::Ctrl
                             : key == Qt::Key_Alt     ? ShortcutBits::Alt
                                                      : 0;
        const int held = shortcutModifierBits(event->modifiers()) & ~released;
        setText(shortcutDisplayText(held ? held : m_value));
    }
    event->accept();
}

void KeyCaptureField::focusOutEvent(QFocusEvent* event) {
    showValue();
    QLineEdit::focusOutEvent(event);
}

} // namespace quillbox
