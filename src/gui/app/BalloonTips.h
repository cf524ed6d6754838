#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPainterPath>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAction;

namespace quillbox {

// The balloon itself: black text on the program's blue, at most 290 pixels wide, with a stem
// pointing at the spot the mouse rests on.
class BalloonTip : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxWidth = 290;

    BalloonTip();
    // Shows the text with the stem's point at a global position; the balloon hangs below the
    // point, or above it where the screen ends.
    void showAt(const QPoint& point, const QString& text);
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPainterPath outline() const;

    QString m_text;
    QRect m_textRect;
    int m_stemX = 0;
    bool m_stemAtTop = true;
};

// A tool tip of a window's gadget (or menu entry), by number.
struct GadgetTip {
    int gadget;
    QString text;
};

// The tool-tip registry: at most one tip per (window number, gadget number). Tips show as
// balloons when the mouse rests on their gadget.
class BalloonTips : public QObject {
    Q_OBJECT
public:
    explicit BalloonTips(QObject* parent = nullptr);
    ~BalloonTips() override;

    // Does nothing when the pair already has a tip on this gadget. A tip left behind by an
    // earlier, closed window of the same number is replaced.
    void install(int window, int gadget, QWidget* widget, const QString& text);
    // A tip on a menu entry, shown while the mouse rests on the entry in its menu.
    void install(int window, int gadget, QAction* action, const QString& text);
    // Installs the window's tips on those of its gadgets that are given; menu entries are found
    // through menuEntry, when given. Nothing while tips are switched off.
    void installAll(int window, const QList<GadgetTip>& tips, const QHash<int, QWidget*>& gadgets,
                    const std::function<QAction*(int)>& menuEntry = {});
    // The tool tips option: while it says no, windows that open get no tips; those already
    // installed stay until their window goes or remove() drops them.
    void setWanted(std::function<bool()> wanted) { m_wanted = std::move(wanted); }
    // Drops every tip of the window, in the order they were installed.
    void remove(int window);

    QString text(int window, int gadget) const;
    int count(int window) const;
    // The balloon while it is shown, for tests and for hiding it.
    BalloonTip* balloon() const { return m_balloon && m_balloon->isVisible() ? m_balloon.get() : nullptr; }
    void hideBalloon();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        int window;
        int gadget;
        QPointer<QWidget> widget; // for a menu entry, its menu
        QString text;
        QPointer<QAction> action = nullptr;
    };
    void add(Entry entry);
    void prune();
    // Stops watching the widget once no tip is left on it.
    void detach(QWidget* widget);
    const Entry* entryFor(const QObject* widget, const QEvent* event = nullptr) const;

    QList<Entry> m_entries;
    std::function<bool()> m_wanted;
    QPointer<BalloonTip> m_balloon;
    QPointer<QWidget> m_shownFor;
    QPointer<QAction> m_shownAction;
    QTimer m_autoHide;
};

} // namespace quillbox
