#pragma once

#include <QLineEdit>

class QAction;

namespace quillbox {

// A line edit that can hold a secret: masked unless shown, with an eye button that shows it for as
// long as the box lives, and never put on the X11 primary selection, shown or not (the line edit's
// own key and mouse handlers copy a selection there unless the text is masked, so they run with it
// masked).
class SecretLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit SecretLineEdit(QWidget* parent = nullptr);

    // A secret box is masked unless `shown` or revealed by its eye; a plain box is a line edit.
    void setSecret(bool secret, bool shown);
    bool isSecret() const { return m_secret; }
    bool revealed() const { return m_revealed; }
    void setRevealed(bool revealed);
    QAction* eyeAction() const { return m_eye; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    template <typename Handler> void masked(Handler&& handler);
    void applyEcho();

    QAction* m_eye = nullptr;
    bool m_secret = false;
    bool m_shown = false;
    bool m_revealed = false;
};

} // namespace quillbox
