#include "app/PopupKeys.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QTimer>

namespace quillbox {

void PopupKeys::watch(QComboBox* box) {
    box->view()->installEventFilter(this);
}

bool PopupKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_key = key == Qt::Key_Enter ? Qt::Key_Return : key;
            // Forgotten once this key press has been handled.
            QTimer::singleShot(0, this, [this] { m_key = 0; });
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillbox
