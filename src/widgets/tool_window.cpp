#include "widgets/tool_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace plovex {

QPixmap TitleStripPicture(const QSize& size)
{
    QPixmap pixmap(size.expandedTo(QSize(1, 1)));
    QPainter p(&pixmap);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, QColor(70, 110, 180));
    g.setColorAt(1, QColor(200, 220, 245));
    p.fillRect(pixmap.rect(), g);
    return pixmap;
}

QPixmap ClosePicture()
{
    QPixmap pixmap(15, 15);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 30, 30), 1));
    p.setBrush(QColor(220, 80, 70));
    p.drawRoundedRect(QRectF(0.5, 0.5, 14, 14), 3, 3);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 4.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 4.5), QPointF(4.5, 10.5));
    return pixmap;
}

namespace {

int keptWithin(int start, int length, int low, int high)
{
    // [start, start + length) inside [low, high); the low end wins when the
    // window is larger than the room.
    return std::max(low, std::min(start, high - length));
}

} // namespace

QPoint ToolWindowPlace(const QWidget* player, const QSize& size)
{
    QPoint place(player->x(), player->y());
    const QWidget* window = player->window();
    if (window && window->isVisible() && !window->isMinimized()) {
        // The part of the window above the player: its title, menu bar and
        // toolbars.
        const QPoint playerTopLeft = player->mapToGlobal(QPoint(0, 0));
        const QRect frame = window->frameGeometry();
        const QRect bars(frame.left(), frame.top(), frame.width(), playerTopLeft.y() - frame.top());
        if (bars.intersects(QRect(place, size)))
            place = playerTopLeft;
    }
    const QScreen* screen = window && window->isVisible() ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::screenAt(place);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect room = screen->availableGeometry();
        place.setX(keptWithin(place.x(), size.width(), room.left(), room.left() + room.width()));
        place.setY(keptWithin(place.y(), size.height(), room.top(), room.top() + room.height()));
    }
    return place;
}

TToolWindowLook::TToolWindowLook(QWidget* window, int stripWidth, int closeLeft)
    : QObject(window), window_(window)
{
    setObjectName(QStringLiteral("ToolWindowLook"));
    window_->setAutoFillBackground(true);

    strip_ = new QLabel(window_);
    strip_->setObjectName(QStringLiteral("Image1"));
    strip_->setGeometry(0, 0, stripWidth, kStripHeight);
    strip_->setScaledContents(true);
    strip_->setPixmap(TitleStripPicture(QSize(stripWidth, kStripHeight)));
    strip_->installEventFilter(this);

    close_ = new QLabel(window_);
    close_->setObjectName(QStringLiteral("Image2"));
    close_->setGeometry(closeLeft, 1, 15, 15);
    close_->setPixmap(ClosePicture());
    close_->setToolTip(QStringLiteral("关闭"));
    close_->setCursor(Qt::PointingHandCursor);
    close_->installEventFilter(this);

    window_->installEventFilter(this);
}

void TToolWindowLook::applyBackground(std::initializer_list<QWidget*> more)
{
    QPalette p = window_->palette();
    p.setColor(QPalette::Window, background());
    p.setColor(QPalette::Base, background());
    window_->setPalette(p);
    for (QWidget* w : more)
        w->setPalette(p);
}

bool TToolWindowLook::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_) {
        if (event->type() == QEvent::Show)
            applyBackground();
        return false;
    }
    if (watched == strip_) {
        // Only the mouse cases below may treat the event as a mouse event.
        const auto mouse = [event] { return static_cast<QMouseEvent*>(event); };
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            // The window manager moves the window; where it cannot (no
            // window manager, some platforms), follow the mouse ourselves.
            dragging_ = !(window_->windowHandle() && window_->windowHandle()->startSystemMove());
            if (dragging_)
                dragOffset_ = mouse()->globalPosition().toPoint() - window_->frameGeometry().topLeft();
            return true;
        case QEvent::MouseMove:
            if (dragging_)
                window_->move(mouse()->globalPosition().toPoint() - dragOffset_);
            return dragging_;
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            return true;
        default:
            return false;
        }
    }
    if (watched == close_ && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // Like a button: only a release over the picture counts.
        if (close_->rect().contains(mouse->position().toPoint()))
            window_->close();
        return true;
    }
    return false;
}

} // namespace plovex
