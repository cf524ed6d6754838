#pragma once

#include <QObject>

class QComboBox;

namespace quillbox {

// A drop-down list closes on Return or Escape, and the same key press then reaches the window's
// shortcut for that key, which would act as if the list had never been open (closing a whole
// form, editing a record). A guard watches the lists of a window's boxes and tells its shortcuts,
// for the rest of that key press, that a list took the key.
class PopupKeys : public QObject {
public:
    using QObject::QObject;
    void watch(QComboBox* box);
    // True while the key press that a list just took is being handled.
    bool listTook(int key) const { return m_key == key; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_key = 0;
};

} // namespace quillbox
