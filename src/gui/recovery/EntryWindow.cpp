#include "recovery/EntryWindow.h"

#include "app/Look.h"
#include "text/ProgramText.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace quillbox {

namespace {
constexpr int keyRole = Qt::UserRole + 1;
}

EntryWindow::EntryWindow(int window, const QString& title, const QStringList& headers, const QList<Button>& buttons,
                         int escapeKey, DispatchFn dispatch, QWidget* parent)
    : SecondaryWindow(window, QStringLiteral("entryWindow"),
                      QStringLiteral("QFrame#panel QLabel { background: rgb(191,191,191); }"
                                     "QFrame#panel QPushButton { background: rgb(191,191,191);"
                                     " border: 1px solid rgb(150,150,150); padding: 2px 10px; }"
                                     "QFrame#panel QPushButton:pressed { background: rgb(170,170,170); }"
                                     "QTreeWidget { background: rgb(219,219,219); }"),
                      std::move(dispatch), parent),
      m_escapeKey(escapeKey) {
    setWindowTitle(titleMarks + QStringLiteral("  ") + title);
    QFrame* listPanel = makePanel(this, QRect(5, 5, 690, 370));
    m_list = new QTreeWidget(listPanel);
    m_list->setGeometry(5, 5, 680, 335);
    m_list->setFont(programFont(10));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels(headers);
    m_list->header()->setStretchLastSection(true);
    m_note = new QLabel(listPanel);
    m_note->setGeometry(8, 345, 675, 20);
    m_note->setFont(programFont(8));
    QFrame* buttonPanel = makePanel(this, QRect(5, 380, 690, 45));
    int x = 10;
    for (const Button& b : buttons) {
        auto* button = new QPushButton(b.text, buttonPanel);
        button->setFont(programFont(10));
        const int width = std::max(90, button->sizeHint().width() + 10);
        // The last button (Close) stands at the right.
        const bool last = &b == &buttons.last();
        button->setGeometry(last ? 690 - 10 - width : x, 8, width, 29);
        x += width + 8;
        const int number = b.number;
        connect(button, &QPushButton::clicked, this, [this, number] { report(number); });
        m_buttons.insert(b.number, button);
    }
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { report(0, Notify::SelectionChanged); });
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { report(0, Notify::DoubleClick); });
    setFixedSize(700, 430);
    centreOnScreen(this, parent ? parent->screen() : screen());
}

void EntryWindow::setRows(const QList<QStringList>& rows, const QList<qint64>& keys) {
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(rows[i]);
        item->setData(0, keyRole, keys.value(i));
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    for (int c = 0; c + 1 < m_list->columnCount(); ++c) {
        m_list->resizeColumnToContents(c);
    }
}

QList<qint64> EntryWindow::selectedKeys() const {
    QList<qint64> keys;
    for (const QTreeWidgetItem* item : m_list->selectedItems()) {
        keys.append(item->data(0, keyRole).toLongLong());
    }
    return keys;
}

void EntryWindow::selectKey(qint64 key) {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->data(0, keyRole).toLongLong() == key) {
            m_list->setCurrentItem(item);
            return;
        }
    }
}

void EntryWindow::setNote(const QString& text) {
    m_note->setText(text);
}

void EntryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        report(m_escapeKey);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quillbox
