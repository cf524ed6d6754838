#pragma once

#include <QLineEdit>

namespace quillbox {

// Takes one key with its modifiers and holds it as a shortcut value (virtual-key code and
// modifier bits), shown as the menus show it. Backspace or Delete alone clears it to no key;
// Tab and Escape alone keep their usual meaning for the window.
class KeyCaptureField : public QLineEdit {
    Q_OBJECT
public:
    explicit KeyCaptureField(QWidget* parent = nullptr);

    int value() const { return m_value; }
    // Sets the value without reporting it.
    void setValue(int value);

Q_SIGNALS:
    // Every key taken, also one that gives the value the field already held.
    void captured(int value);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    static bool passesThrough(const QKeyEvent* event);
    void showValue();

    int m_value = 0;
};

} // namespace quillbox
