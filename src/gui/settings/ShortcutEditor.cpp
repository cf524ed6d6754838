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

namespace quillbox {

namespace {
struct Command {
    int slot;
    int label;
    int box;
    const char* text;
};

// Containers with their commands, top to bottom, as the window lays them out.
struct Container {
    int gadget;
    QRect geometry;
    QList<Command> commands;
};

const QList<Container>& containers() {
    static const QList<Container> list{
        {46, QRect(5, 5, 325, 45), {{0, 48, 49, "Exit Quillbox"}}},
        {50, QRect(5, 55, 325, 75), {{2, 52, 53, "Lock Quillbox"}, {1, 54, 55, "Edit password"}}},
        {56,
         QRect(5, 135, 325, 255),
         {{3, 58, 59, "Add site"},
          {4, 60, 61, "Copy site"},
          {5, 62, 63, "Copy to owner"},
          {6, 64, 65, "Delete site"},
          {7, 66, 67, "Edit site"},
          {8, 68, 69, "Print site"},
          {9, 70, 71, "Home page"},
          {10, 72, 73, "Tag all sites"}}},
        // The commands added after the first 22, in the container that used to stand empty.
        {74, QRect(5, 395, 325, 75), {{22, 111, 112, "Copy user name"}, {23, 113, 114, "Copy password"}}},
        {76, QRect(335, 5, 325, 75), {{11, 82, 83, "Import sites"}, {12, 84, 85, "Export sites"}}},
        {78, QRect(335, 85, 325, 75), {{18, 86, 87, "Reset fields"}, {24, 115, 116, "Undo change"}}},
        {80,
         QRect(335, 165, 325, 165),
         {{13, 88, 89, "Tool tips"},
          {14, 90, 91, "Form fade"},
          {15, 92, 93, "Screen snap"},
          {16, 94, 95, "Password/keys hide"},
          {17, 96, 97, "Title time"}}},
        {98,
         QRect(335, 335, 325, 135),
         {{19, 100, 101, "About Quillbox"}, {20, 102, 103, "Shortcut keys"}, {21, 104, 105, "Help wanted"}}},
    };
    return list;
}

const Command* commandOfSlot(int slot) {
    for (const Container& c : containers()) {
        for (const Command& command : c.commands) {
            if (command.slot == slot) {
                return &command;
            }
        }
    }
    return nullptr;
}

// Pictures of buttons 108 (save), 109 (no action) and 110 (close).
constexpr int ButtonImages[3] = {22, 23, 24};
} // namespace

int ShortcutEditor::boxOfSlot(int slot) {
    const Command* c = commandOfSlot(slot);
    return c ? c->box : 0;
}

int ShortcutEditor::slotOfBox(int box) {
    for (int slot = 0; slot < CommandCount; ++slot) {
        if (boxOfSlot(slot) == box) {
            return slot;
        }
    }
    return -1;
}

QString ShortcutEditor::labelOfSlot(int slot) {
    const Command* c = commandOfSlot(slot);
    return c ? QString::fromLatin1(c->text) : QString();
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
    for (const Container& c : containers()) {
        QFrame* panel = makePanel(this, c.geometry);
        for (qsizetype n = 0; n < c.commands.size(); ++n) {
            const Command& command = c.commands.at(n);
            const int y = static_cast<int>(30 * n);
            auto* label = new QLabel(QString::fromLatin1(command.text), panel);
            label->setFont(programFont(11));
            label->setAlignment(Qt::AlignCenter);
            label->setGeometry(10, 15 + y, 140, command.label == 102 ? 25 : 20);
            auto* box = new KeyCaptureField(panel);
            box->setObjectName(QStringLiteral("box%1").arg(command.box));
            box->setFont(programFont(11));
            box->setGeometry(150, 10 + y, 165, 25);
            m_boxes[static_cast<size_t>(command.slot)] = box;
            tabOrder.append(box);
            const int number = command.box;
            connect(box, &KeyCaptureField::captured, this,
                    [d, w, number](int value) { d(w, number, Notify::Changed, value); });
        }
    }
    // Tab visits the boxes top to bottom, left column first.
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
    }

    QFrame* buttons = makePanel(this, QRect(5, 475, 655, 70));
    const struct {
        int number;
        QRect geometry;
    } buttonPlaces[3] = {{SaveButton, QRect(10, 10, 40, 40)},
                         {BlankButton, QRect(50, 10, 40, 40)},
                         {CloseButton, QRect(605, 10, 40, 40)}};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(buttons);
        button->setGeometry(buttonPlaces[i].geometry);
        button->setIcon(programImage(ButtonImages[i]));
        button->setIconSize(QSize(32, 32));
        button->setFocusPolicy(Qt::NoFocus);
        const int number = buttonPlaces[i].number;
        connect(button, &QPushButton::clicked, this, [d, w, number] { d(w, number, Notify::Command, 0); });
        m_buttons[i] = button;
    }

    setFixedSize(665, 550);
    centreOnScreen(this, parent ? parent->screen() : screen());
}

QPushButton* ShortcutEditor::button(int number) const {
    switch (number) {
    case SaveButton:
        return m_buttons[0];
    case BlankButton:
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
