#include "app/BalloonTips.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

namespace quillbox {

namespace {
constexpr int Padding = 8;
constexpr int Radius = 8;
constexpr int StemHeight = 12;
constexpr int StemWidth = 14;
constexpr int ShowMilliseconds = 10000;
const QColor balloonColour(10, 140, 245);
} // namespace

BalloonTip::BalloonTip()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(QToolTip::font());
}

void BalloonTip::showAt(const QPoint& point, const QString& text) {
    // The texts carry Windows line ends; one break is enough here.
    m_text = QString(text).remove(QLatin1Char('\r'));
    const QFontMetrics metrics(font());
    const int textWidth = MaxWidth - 2 * Padding - 2;
    m_textRect = metrics.boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, m_text);
    const int width = std::max(m_textRect.width() + 2 * Padding + 2, 2 * Radius + StemWidth + 8);
    const int height = m_textRect.height() + 2 * Padding + 2 + StemHeight;

    const QScreen* screen = QGuiApplication::screenAt(point);
    const QRect area = screen ? screen->availableGeometry() : QRect(point - QPoint(2000, 2000), QSize(4000, 4000));
    m_stemAtTop = point.y() + height <= area.bottom();
    int left = point.x() - (Radius + StemWidth / 2 + 4);
    left = std::clamp(left, area.left(), std::max(area.left(), area.right() - width));
    m_stemX = std::clamp(point.x() - left, Radius + StemWidth / 2, width - Radius - StemWidth / 2);
    const int top = m_stemAtTop ? point.y() : point.y() - height;
    m_textRect.moveTopLeft(QPoint(Padding + 1, (m_stemAtTop ? StemHeight : 0) + Padding + 1));

    setGeometry(left, top, width, height);
    // Masked, not translucent: the shape holds without a compositor.
    setMask(QRegion(outline().toFillPolygon().toPolygon()));
    update();
    show();
    raise();
}

QPainterPath BalloonTip::outline() const {
    const QRectF body = m_stemAtTop ? QRectF(0.5, StemHeight + 0.5, width() - 1.0, height() - StemHeight - 1.0)
                                    : QRectF(0.5, 0.5, width() - 1.0, height() - StemHeight - 1.0);
    QPainterPath path;
    path.addRoundedRect(body, Radius, Radius);
    QPolygonF stem;
    if (m_stemAtTop) {
        stem << QPointF(m_stemX - StemWidth / 2.0, body.top() + 1) << QPointF(m_stemX, 0.5)
             << QPointF(m_stemX + StemWidth / 2.0, body.top() + 1);
    } else {
        stem << QPointF(m_stemX - StemWidth / 2.0, body.bottom() - 1) << QPointF(m_stemX, height() - 0.5)
             << QPointF(m_stemX + StemWidth / 2.0, body.bottom() - 1);
    }
    QPainterPath stemPath;
    stemPath.addPolygon(stem);
    stemPath.closeSubpath();
    return path.united(stemPath);
}

void BalloonTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(balloonColour.darker(160), 1));
    painter.setBrush(balloonColour);
    painter.drawPath(outline());
    painter.setPen(Qt::black);
    painter.drawText(m_textRect, Qt::TextWordWrap, m_text);
}

BalloonTips::BalloonTips(QObject* parent) : QObject(parent) {
    m_autoHide.setSingleShot(true);
    m_autoHide.setInterval(ShowMilliseconds);
    connect(&m_autoHide, &QTimer::timeout, this, &BalloonTips::hideBalloon);
}

BalloonTips::~BalloonTips() {
    delete m_balloon;
}

void BalloonTips::prune() {
    m_entries.removeIf([](const Entry& e) { return e.widget.isNull(); });
}

void BalloonTips::install(int window, int gadget, QWidget* widget, const QString& text) {
    if (widget) {
        add({window, gadget, widget, text});
    }
}

void BalloonTips::install(int window, int gadget, QAction* action, const QString& text) {
    QMenu* menu = nullptr;
    for (QObject* shown : action ? action->associatedObjects() : QObjectList()) {
        if ((menu = qobject_cast<QMenu*>(shown))) {
            break;
        }
    }
    if (menu) {
        add({window, gadget, menu, text, action});
    }
}

void BalloonTips::add(Entry entry) {
    prune();
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries.at(i);
        if (e.window == entry.window && e.gadget == entry.gadget) {
            if (e.widget == entry.widget && e.action == entry.action) {
                return;
            }
            // A window of this number was closed and built anew: its old gadget no longer counts.
            QWidget* old = e.widget;
            m_entries.removeAt(i);
            detach(old);
            break;
        }
    }
    QWidget* widget = entry.widget;
    m_entries.append(std::move(entry));
    widget->installEventFilter(this);
    // Scrolling gadgets see the mouse through their viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
        area->viewport()->installEventFilter(this);
    }
}

void BalloonTips::detach(QWidget* widget) {
    if (!widget ||
        std::any_of(m_entries.cbegin(), m_entries.cend(), [widget](const Entry& e) { return e.widget == widget; })) {
        return;
    }
    widget->removeEventFilter(this);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
        area->viewport()->removeEventFilter(this);
    }
}

void BalloonTips::remove(int window) {
    prune();
    for (qsizetype i = 0; i < m_entries.size();) {
        const Entry& e = m_entries.at(i);
        if (e.window != window) {
            ++i;
            continue;
        }
        if (e.widget == m_shownFor) {
            hideBalloon();
        }
        QWidget* widget = e.widget;
        m_entries.removeAt(i);
        detach(widget);
    }
}

QString BalloonTips::text(int window, int gadget) const {
    for (const Entry& e : m_entries) {
        if (e.window == window && e.gadget == gadget && !e.widget.isNull()) {
            return e.text;
        }
    }
    return QString();
}

int BalloonTips::count(int window) const {
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(),
                                          [&](const Entry& e) { return e.window == window && !e.widget.isNull(); }));
}

void BalloonTips::hideBalloon() {
    m_autoHide.stop();
    m_shownFor = nullptr;
    m_shownAction = nullptr;
    if (m_balloon) {
        m_balloon->hide();
    }
}

const BalloonTips::Entry* BalloonTips::entryFor(const QObject* watched, const QEvent* event) const {
    // In a menu the tip is the entry's under the mouse, when the event says where the mouse is.
    const QAction* hovered = nullptr;
    if (const auto* menu = qobject_cast<const QMenu*>(watched); menu && event && event->type() == QEvent::ToolTip) {
        hovered = menu->actionAt(static_cast<const QHelpEvent*>(event)->pos());
        if (!hovered) {
            return nullptr;
        }
    }
    for (const Entry& e : m_entries) {
        if (e.widget.isNull() || (hovered && e.action != hovered)) {
            continue;
        }
        if (e.widget == watched) {
            return &e;
        }
        if (auto* area = qobject_cast<QAbstractScrollArea*>(e.widget.get()); area && area->viewport() == watched) {
            return &e;
        }
    }
    return nullptr;
}

bool BalloonTips::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ToolTip:
        if (const Entry* e = entryFor(watched, event)) {
            if (!m_balloon) {
                m_balloon = new BalloonTip;
            }
            m_balloon->showAt(static_cast<QHelpEvent*>(event)->globalPos(), e->text);
            m_shownFor = e->widget;
            m_shownAction = e->action;
            m_autoHide.start();
            return true;
        }
        break;
    case QEvent::MouseMove:
        // Within a menu the mouse may leave the entry without leaving the menu.
        if (auto* menu = qobject_cast<QMenu*>(watched);
            menu && m_shownAction && menu == m_shownFor &&
            menu->actionAt(static_cast<QMouseEvent*>(event)->pos()) != m_shownAction) {
            hideBalloon();
        }
        break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
        if (const Entry* e = m_shownFor ? entryFor(watched) : nullptr; e && e->widget == m_shownFor) {
            hideBalloon();
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void BalloonTips::installAll(int window, const QList<GadgetTip>& tips, const QHash<int, QWidget*>& gadgets,
                             const std::function<QAction*(int)>& menuEntry) {
    if (m_wanted && !m_wanted()) {
        return;
    }
    for (const GadgetTip& tip : tips) {
        if (QWidget* widget = gadgets.value(tip.gadget)) {
            install(window, tip.gadget, widget, tip.text);
        } else if (QAction* action = menuEntry ? menuEntry(tip.gadget) : nullptr) {
            install(window, tip.gadget, action, tip.text);
        }
    }
}

} // namespace quillbox
