#include "app/UndoStack.h"

namespace quillbox {

namespace {
// A long session's steps are kept, but not without end.
constexpr qsizetype mostSteps = 100;
} // namespace

void UndoStack::push(UndoStep step) {
    m_steps.append(std::move(step));
    if (m_steps.size() > mostSteps) {
        m_steps.removeFirst();
    }
    Q_EMIT changed();
}

UndoStep UndoStack::take() {
    UndoStep step = m_steps.takeLast();
    Q_EMIT changed();
    return step;
}

QString UndoStack::menuText() const {
    return m_steps.isEmpty() ? QStringLiteral("Undo: nothing to undo") : m_steps.last().menuText();
}

void UndoStack::clear() {
    m_steps.clear();
    Q_EMIT changed();
}

} // namespace quillbox
