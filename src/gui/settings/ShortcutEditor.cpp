#include "settings/ShortcutEditor.h"

#include "app/Ids.h"
#include "app/Look.h"
#include "settings/KeyCaptureField.h"
#include "text/ProgramText.h"

#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace quillbox {

namespace {
// The panels, top to bottom, left column first; each holds the commands the table places in it
// and is as tall as they need.
struct Panel {
    int gadget;
    int column;
};

constexpr Panel panels[] = {{46, 0}, {50, 0}, {56, 0}, {74, 0}, {76, 1}, {78, 1}, {80, 1}, {98, 1}};
constexpr int PanelWidth = 325;
constexpr int RowHeight = 30;
constexpr int Gap = 5;

// A panel's commands, in the order of their captions' numbers.
QList<const CommandRow*> commandsOf(int panel) {
    QList<const CommandRow*> rows;
    for (const CommandRow& row : commandTable) {
        if (row.editorPanel == panel) {
            rows.append(&row);
        }
    }
    std::sort(rows.begin(), rows.end(),
              [](const CommandRow* a, const CommandRow* b) { return a->editorLabel < b->editorLabel; });
    return rows;
}

static_assert(
    [] {
        for (const CommandRow& row : commandTable) {
            bool placed = false;
            for (const Panel& panel : panels) {
                placed = placed || panel.gadget == row.editorPanel;
            }
            if (!placed) {
                return false;
            }
        }
        return true;
    }(),
    "every command stands in one of the editor's panels");

// Pictures of buttons 108 (save), 109 (restore the defaults) and 110 (close).
constexpr int ButtonImages[3] = {22, 23, 24};
} // namespace

int ShortcutEditor::boxOfSlot(int slot) {
    return slot >= 0 && slot < CommandCount ? commandRow(slot).editorBox : 0;
}

int ShortcutEditor::slotOfBox(int box) {
    for (const CommandRow& row : commandTable) {
        if (row.editorBox == box) {
            return row.slot;
        }
    }
    return -1;
}

QString ShortcutEditor::labelOfSlot(int slot) {
    return slot >= 0 && slot < CommandCount ? QStringView(commandRow(slot).editorText).toString() : QString();
}

ShortcutEditor::ShortcutEditor(DispatchFn dispatch, QWidget* parent)
    : SecondaryWindow(Id::Window::ShortcutEditor, QStringLiteral("shortcutEditor"),
                      QStringLiteral("QFrame#panel QLabel { background: rgb(191,191,191); }"
                                     "QFrame#panel QLineEdit { border: 1px solid rgb(219,219,219); }"
                                     "QFrame#panel QLineEdit:focus { border: 1px solid rgb(10,140,245); }"
                                     "QFrame#panel QPushButton { background: rgb(191,191,191);"
                                     " border: 1px solid rgb(150,150,150); }"
                                     "QFrame#panel QPushButton:pressed { background: rgb(170,170,170); }"),
                      std::move(dispatch), parent) {
    setWindowTitle(titleMarks + QStringLiteral("  Edit keyboard shortcut key definitions."));
    const DispatchFn& d = dispatcher();
    const int w = Id::Window::ShortcutEditor;
    QList<QWidget*> tabOrder;
    int columnBottom[2] = {0, 0};
    for (const Panel& place : panels) {
        const QList<const CommandRow*> commands = commandsOf(place.gadget);
        const int height = 15 + RowHeight * static_cast<int>(commands.size());
        QFrame* panel = makePanel(
            this, QRect(Gap + place.column * (PanelWidth + Gap), columnBottom[place.column] + Gap, PanelWidth, height));
        columnBottom[place.column] += Gap + height;
        for (qsizetype n = 0; n < commands.size(); ++n) {
            const CommandRow& command = *commands.at(n);
            const int y = static_cast<int>(RowHeight * n);
            auto* label = new QLabel(QStringView(command.editorText).toString(), panel);
            label->setFont(programFont(11));
            label->setAlignment(Qt::AlignCenter);
            label->setGeometry(10, 15 + y, 140, command.editorLabel == 102 ? 25 : 20);
            auto* box = new KeyCaptureField(panel);
            box->setObjectName(QStringLiteral("box%1").arg(command.editorBox));
            box->setFont(programFont(11));
            box->setGeometry(150, 10 + y, 165, 25);
            m_boxes[static_cast<size_t>(command.slot)] = box;
            tabOrder.append(box);
            const int number = command.editorBox;
            connect(box, &KeyCaptureField::captured, this,
                    [d, w, number](int value) { d(w, number, Notify::Changed, value); });
        }
    }
    // Tab visits the boxes top to bottom, left column first.
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
    }

    const int buttonsTop = std::max(columnBottom[0], columnBottom[1]) + Gap;
    QFrame* buttons = makePanel(this, QRect(Gap, buttonsTop, 2 * PanelWidth + Gap, 70));
    const struct {
        int number;
        QRect geometry;
    } buttonPlaces[3] = {{SaveButton, QRect(10, 10, 40, 40)},
                         {RestoreButton, QRect(55, 10, 170, 40)},
                         {CloseButton, QRect(605, 10, 40, 40)}};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(buttons);
        button->setGeometry(buttonPlaces[i].geometry);
        button->setIcon(programImage(ButtonImages[i]));
        button->setIconSize(QSize(32, 32));
        button->setFocusPolicy(Qt::NoFocus);
        if (buttonPlaces[i].number == RestoreButton) {
            button->setText(QStringLiteral("Restore defaults"));
            button->setFont(programFont(10));
        }
        const int number = buttonPlaces[i].number;
        connect(button, &QPushButton::clicked, this, [d, w, number] { d(w, number, Notify::Command, 0); });
        m_buttons[i] = button;
    }

    setFixedSize(2 * PanelWidth + 3 * Gap, buttonsTop + 70 + Gap);
    centreOnScreen(this, parent ? parent->screen() : screen());
}

QPushButton* ShortcutEditor::button(int number) const {
    switch (number) {
    case SaveButton:
        return m_buttons[0];
    case RestoreButton:
        return m_buttons[1];
    case CloseButton:
        return m_buttons[2];
    default:
        return nullptr;
    }
}

void ShortcutEditor::setValues(const std::array<int, CommandCount>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        m_boxes[i]->setValue(values[i]);
    }
}

std::array<int, CommandCount> ShortcutEditor::values() const {
    std::array<int, CommandCount> values{};
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = m_boxes[i]->value();
    }
    return values;
}

void ShortcutEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        report(EscapeKey);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quillbox
