#include "capture/region_frame.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace plovex {

TCutShape::TCutShape(QWidget* parent)
    : QWidget(parent)
{
    setCursor(Qt::SizeAllCursor);
    // Moves are reported while a button is held, as the drag needs.
    setMouseTracking(false);
}

void TCutShape::setPenColor(const QColor& color)
{
    penColor_ = color;
    update();
}

void TCutShape::setFrameSize(int width, int height)
{
    width_ = width;
    height_ = height;
    resize(std::max(0, width), std::max(0, height));
    update();
}

void TCutShape::paintEvent(QPaintEvent*)
{
    if (width() <= 0 || height() <= 0)
        return;
    QPainter p(this);
    p.setPen(QPen(penColor_, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TCutShape::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(event->button(), event->position().toPoint());
    event->accept();
}

void TCutShape::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved(event->position().toPoint());
    event->accept();
}

void TCutShape::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseReleased(event->button(), event->position().toPoint());
    event->accept();
}

} // namespace plovex
