#include "settings/PasswordWindow.h"

#include "app/Ids.h"
#include "app/Look.h"
#include "settings/Password.h"
#include "settings/PasswordMaker.h"
#include "text/ProgramText.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

namespace quillbox {

namespace {
struct Label {
    int gadget;
    QRect geometry;
    const char* text;
};
struct Field {
    int gadget;
    QRect geometry;
    int points;
};
struct Panel {
    int gadget;
    QRect geometry;
    QList<Label> labels;
    QList<Field> fields;
};
struct Layout {
    QSize size;
    const char* title;
    int returnKey;
    int escapeKey;
    QList<Panel> panels;
};

Layout layoutFor(int window) {
    switch (window) {
    case Id::Window::PasswordEditor:
        // The new password is typed twice: a typo must never lock anyone out of an encrypted file.
        return {QSize(399, 235),
                "   Edit your current password.",
                255,
                256,
                {{111,
                  QRect(5, 5, 390, 110),
                  {{115, QRect(10, 4, 370, 15), "Old password for comparison"},
                   {117, QRect(10, 54, 370, 15), "Retype your old password in here to confirm it"}},
                  {{Id::PasswordField::StoredFingerprint, QRect(10, 25, 370, 25), 11},
                   {Id::PasswordField::OldPassword, QRect(10, 75, 370, 25), 11}}},
                 {113,
                  QRect(5, 120, 390, 110),
                  {{119, QRect(10, 4, 370, 15), "Type in your new password in here"},
                   {112, QRect(10, 54, 370, 15), "Type your new password in here again to confirm it"}},
                  {{Id::PasswordField::NewPassword, QRect(10, 25, 370, 25), 11},
                   {Id::PasswordField::NewConfirmed, QRect(10, 75, 370, 25), 11}}}}};
    case Id::Window::FirstRunPassword:
        return {QSize(400, 121),
                "   Create a new program password.",
                253,
                254,
                {{121,
                  QRect(5, 5, 390, 110),
                  {{123, QRect(10, 5, 370, 15), "Type your new password in here"},
                   {125, QRect(10, 54, 370, 15), "Type your new password in here to confirm it"}},
                  {{Id::PasswordField::Chosen, QRect(10, 25, 370, 25), 10},
                   {Id::PasswordField::Confirmed, QRect(10, 75, 370, 25), 11}}}}};
    case Id::Window::Unlock:
        return {QSize(400, 77),
                "   Type your unlocking password.",
                257,
                258,
                {{127,
                  QRect(5, 10, 390, 60),
                  {{129, QRect(10, 3, 370, 15), "Type your unlock password in here"}},
                  {{Id::PasswordField::Unlock, QRect(10, 25, 370, 25), 11}}}}};
    case Id::Window::ConfirmPassword:
        return {QSize(400, 77),
                "   Type your program password.",
                276,
                277,
                {{135,
                  QRect(5, 10, 390, 60),
                  {{137, QRect(10, 3, 370, 15), "Type your program password in here to go on"}},
                  {{Id::PasswordField::Confirm, QRect(10, 25, 370, 25), 11}}}}};
    default:
        return {QSize(400, 70),
                "   Type the program startup password.",
                259,
                260,
                {{131,
                  QRect(5, 5, 390, 60),
                  {{133, QRect(10, 4, 370, 15), "Type your startup password in here"}},
                  {{Id::PasswordField::Startup, QRect(10, 25, 370, 25), 11}}}}};
    }
}
} // namespace

PasswordWindow::PasswordWindow(int window, DispatchFn dispatch, QWidget* parent)
    : SecondaryWindow(window, QStringLiteral("passwordWindow"),
                      QStringLiteral("QFrame#panel QLineEdit { border: none; }"
                                     "QFrame#panel QLabel { background: rgb(191,191,191); }"),
                      std::move(dispatch), parent,
                      // The change window stays with the main window; the others stand above everything.
                      window == Id::Window::PasswordEditor ? Qt::WindowFlags() : Qt::WindowStaysOnTopHint) {
    const Layout layout = layoutFor(window);
    setWindowTitle(titleMarks + QString::fromUtf8(layout.title));
    m_returnKey = layout.returnKey;
    m_escapeKey = layout.escapeKey;
    for (const Panel& p : layout.panels) {
        QFrame* panel = makePanel(this, p.geometry);
        for (const Label& l : p.labels) {
            auto* label = new QLabel(QString::fromLatin1(l.text), panel);
            label->setGeometry(l.geometry);
            label->setFont(programFont(8));
            if (!m_firstLabel) {
                m_firstLabel = label;
            }
        }
        for (const Field& f : p.fields) {
            addField(panel, f.gadget, f.geometry, f.points);
        }
    }
    m_firstField = layout.panels.first().fields.first().gadget;
    if (window == Id::Window::PasswordEditor) {
        m_fields.value(Id::PasswordField::StoredFingerprint)->setReadOnly(true);
        m_firstField = Id::PasswordField::OldPassword;
    }
    // A new password's strength shows as it is typed, over the right end of its caption.
    const int newField = window == Id::Window::PasswordEditor     ? Id::PasswordField::NewPassword
                         : window == Id::Window::FirstRunPassword ? Id::PasswordField::Chosen
                                                                  : 0;
    if (QLineEdit* field = m_fields.value(newField)) {
        m_strength = new QLabel(field->parentWidget());
        m_strength->setGeometry(field->x() + 150, field->y() - 20, field->width() - 150, 15);
        m_strength->setFont(programFont(8));
        m_strength->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        connect(field, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (passwordLength(text) == PasswordLength::TooLong) {
                m_strength->setText(QStringLiteral("too long"));
                return;
            }
            const PasswordStrength strength = passwordStrength(text);
            m_strength->setText(strength.weak() ? strengthText(strength) + QStringLiteral(": weak, make it longer")
                                                : strengthText(strength));
        });
    }
    setFixedSize(layout.size);
    centreOnScreen(this, parent ? parent->screen() : screen());
}

QLineEdit* PasswordWindow::addField(QWidget* panel, int gadget, const QRect& geometry, int points) {
    auto* field = new QLineEdit(panel);
    field->setGeometry(geometry);
    field->setFont(programFont(points));
    field->setFrame(false);
    field->setEchoMode(QLineEdit::Password);
    field->setProperty("gadget", gadget);
    field->installEventFilter(this);
    m_fields.insert(gadget, field);
    return field;
}

void PasswordWindow::setPrompt(const QString& text) {
    if (m_firstLabel) {
        m_firstLabel->setText(text);
    }
}

void PasswordWindow::clearFields() {
    for (QLineEdit* field : std::as_const(m_fields)) {
        field->setText(QString()); // unlike clear(), leaves nothing in the undo history
    }
}

int PasswordWindow::focusedField() const {
    // The window's own focus child, so the answer holds while a message box is active.
    const QWidget* focus = focusWidget();
    return focus ? focus->property("gadget").toInt() : 0;
}

void PasswordWindow::keyPressEvent(QKeyEvent* event) {
    // Entry fields pass Return and Escape on; they arrive here as the window's own keys.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            report(m_returnKey);
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            report(m_escapeKey);
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

bool PasswordWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Focus taken by a message box or another program is not the user leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            report(watched->property("gadget").toInt(), Notify::FocusLost);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillbox
