#pragma once

#include "app/SecondaryWindow.h"

#include <QHash>
#include <QList>
#include <QStringList>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quillbox {

// A list of kept records with a row of buttons: the recycle bin (window 11) and a record's
// history (window 12). It reports its buttons, its close box and Escape; the controller fills it.
class EntryWindow : public SecondaryWindow {
    Q_OBJECT
public:
    struct Button {
        int number;
        QString text;
    };
    EntryWindow(int window, const QString& title, const QStringList& headers, const QList<Button>& buttons,
                int escapeKey, DispatchFn dispatch, QWidget* parent);

    // One row per entry, keyed by the entry's number.
    void setRows(const QList<QStringList>& rows, const QList<qint64>& keys);
    QList<qint64> selectedKeys() const;
    void selectKey(qint64 key);
    QTreeWidget* list() const { return m_list; }
    QPushButton* button(int number) const { return m_buttons.value(number); }
    // The line under the list (how many entries, what a restore will do).
    void setNote(const QString& text);
    QLabel* note() const { return m_note; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_escapeKey;
    QTreeWidget* m_list = nullptr;
    QLabel* m_note = nullptr;
    QHash<int, QPushButton*> m_buttons;
};

} // namespace quillbox
