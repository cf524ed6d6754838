#include "app/SecretLineEdit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quillbox {

namespace {
// An eye, open or struck through.
QIcon eyeIcon(bool open) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 2.5));
    QPainterPath lid;
    lid.moveTo(3, 16);
    lid.quadTo(16, 2, 29, 16);
    lid.quadTo(16, 30, 3, 16);
    painter.drawPath(lid);
    painter.setBrush(QColor(60, 60, 60));
    painter.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    if (!open) {
        painter.setPen(QPen(QColor(150, 0, 0), 3));
        painter.drawLine(5, 27, 27, 5);
    }
    return QIcon(pixmap);
}
} // namespace

SecretLineEdit::SecretLineEdit(QWidget* parent) : QLineEdit(parent) {
    m_eye = addAction(eyeIcon(true), QLineEdit::TrailingPosition);
    m_eye->setVisible(false);
    m_eye->setToolTip(QStringLiteral("Show the password in this form"));
    connect(m_eye, &QAction::triggered, this, [this] { setRevealed(!m_revealed); });
}

void SecretLineEdit::setSecret(bool secret, bool shown) {
    m_secret = secret;
    m_shown = shown;
    applyEcho();
}

void SecretLineEdit::setRevealed(bool revealed) {
    m_revealed = revealed;
    applyEcho();
}

void SecretLineEdit::applyEcho() {
    const bool clear = !m_secret || m_shown || m_revealed;
    setEchoMode(clear ? QLineEdit::Normal : QLineEdit::Password);
    m_eye->setVisible(m_secret && !m_shown);
    m_eye->setIcon(eyeIcon(!m_revealed));
    m_eye->setToolTip(m_revealed ? QStringLiteral("Hide the password again")
                                 : QStringLiteral("Show the password in this form"));
}

template <typename Handler> void SecretLineEdit::masked(Handler&& handler) {
    if (!m_secret || echoMode() != QLineEdit::Normal) {
        handler();
        return;
    }
    // A line edit copies its selection to the primary selection after a key or a click, and cuts
    // and copies, only while its text is shown; the text is shown again before anything is painted.
    const bool blocked = blockSignals(true);
    setEchoMode(QLineEdit::Password);
    blockSignals(blocked);
    handler();
    const bool blockedAgain = blockSignals(true);
    setEchoMode(QLineEdit::Normal);
    blockSignals(blockedAgain);
}

void SecretLineEdit::keyPressEvent(QKeyEvent* event) {
    masked([&] { QLineEdit::keyPressEvent(event); });
}
void SecretLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    masked([&] { QLineEdit::mouseReleaseEvent(event); });
}
void SecretLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    masked([&] { QLineEdit::contextMenuEvent(event); });
}

} // namespace quillbox
