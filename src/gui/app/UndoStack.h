#pragma once

#include "store/UndoStep.h"

#include <QList>
#include <QObject>

namespace quillbox {

// The changes of this session that Undo can take back, newest last. Whoever makes a change pushes
// it; the Undo command takes the newest.
class UndoStack : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void push(UndoStep step);
    bool isEmpty() const { return m_steps.isEmpty(); }
    const UndoStep& top() const { return m_steps.last(); }
    UndoStep take();
    // The menu's text for what Undo would do now.
    QString menuText() const;
    void clear();

Q_SIGNALS:
    void changed();

private:
    QList<UndoStep> m_steps;
};

} // namespace quillbox
