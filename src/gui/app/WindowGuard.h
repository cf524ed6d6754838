#pragma once

#include <QString>

class QWidget;

namespace quillbox {

struct ProgramSettings;

// The one-window rule: while a secondary window that edits something is open (data form, shortcut
// editor, password change, print), no other such window opens. Also closes windows the program's
// way, faded out when fading is on.
class WindowGuard {
public:
    explicit WindowGuard(const ProgramSettings& settings) : m_settings(settings) {}

    bool isOpen() const { return m_open; }
    QString caption() const { return m_caption; }
    // "The [caption] window is still open."
    QString message() const;

    // A guarded window opens under its caption.
    void open(const QString& caption);
    // Closes a guarded window (faded out with the given step) and lifts the guard.
    void close(QWidget* window, int step = 8);
    // Fades the window out, closes it and deletes it once its events are done with; the guard is
    // left as it is (About and unlock windows never set it).
    void dismiss(QWidget* window, int step = 8) const;

private:
    const ProgramSettings& m_settings;
    bool m_open = false;
    QString m_caption;
};

} // namespace quillbox
