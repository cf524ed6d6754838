#pragma once

#include "app/SecondaryWindow.h"

#include <QHash>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace quillbox {

// The four small password windows: 4 change, 5 create, 6 unlock, 7 start-up. Each reports
// Return and Escape (as its own numbered keys), its close box and the focus leaving an entry
// field; the checks are the program's.
class PasswordWindow : public SecondaryWindow {
    Q_OBJECT
public:
    // window is 4, 5, 6, 7 or 10.
    PasswordWindow(int window, DispatchFn dispatch, QWidget* parent = nullptr);

    // The event numbers of this window's Return and Escape keys.
    int returnKey() const { return m_returnKey; }
    int escapeKey() const { return m_escapeKey; }

    QLineEdit* field(int gadget) const { return m_fields.value(gadget); }
    // The first entry field, which has the focus when the window opens.
    int firstField() const { return m_firstField; }
    // Gadget number of the entry field holding the window's focus, or 0.
    int focusedField() const;
    // The strength of the new password, in the windows that choose one; null in the others.
    QLabel* strengthLabel() const { return m_strength; }
    // The caption over the first field (the confirm window says what the password is asked for).
    void setPrompt(const QString& text);
    // Empties every field, their undo history with them.
    void clearFields();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* addField(QWidget* panel, int gadget, const QRect& geometry, int points);

    int m_returnKey = 0;
    int m_escapeKey = 0;
    int m_firstField = 0;
    QHash<int, QLineEdit*> m_fields;
    QLabel* m_firstLabel = nullptr;
    QLabel* m_strength = nullptr;
};

} // namespace quillbox
