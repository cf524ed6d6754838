#pragma once

#include "clock/Clock.h"

#include <QObject>
#include <QString>

namespace quillbox {

// Puts the program's copies on the system clipboard and takes them off again after a while, but
// only while the clipboard still holds them: whatever the user copied since is left alone.
class ClipboardKeeper : public QObject {
    Q_OBJECT
public:
    // The mark that asks clipboard managers not to keep a copy in their history.
    static inline const QString SecretHint = QStringLiteral("x-kde-passwordManagerHint");

    explicit ClipboardKeeper(Clock& clock, QObject* parent = nullptr);

    // Replaces the clipboard's contents with the text, marked secret. With clearAfterMs above 0
    // the text is taken off again that long after.
    void put(const QString& text, int clearAfterMs);
    // Takes the text off now when the clipboard still holds it and a clearing is due (at exit).
    void clearNowIfPending();
    bool isPending() const { return m_clearing.isActive(); }
    // The program locks: its copy goes from the clipboard whether a clearing was due or not, and
    // so does text selected in its windows (which X11 offers to every program as the primary
    // selection). The program then holds none of either.
    void clearForLock();

private:
    void clearIfUnchanged();

    QString m_text;
    Alarm m_clearing;
};

} // namespace quillbox
