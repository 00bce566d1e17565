#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QWidget>

namespace plovex {

// The region frame: a rectangle outline, one pixel wide, with a clear
// inside so that the movie shows through, and the four-way move cursor.
// It keeps its own size, which may be shrunk to nothing or below; the
// widget then simply has no area. Mouse presses anywhere inside it, the
// clear interior included, are passed on as signals; the main window
// does the dragging.
class TCutShape final : public QWidget {
    Q_OBJECT

public:
    explicit TCutShape(QWidget* parent = nullptr);

    QColor penColor() const { return penColor_; }
    void setPenColor(const QColor& color);

    // Position and size as the frame knows them (the size may be zero or
    // negative).
    QRect frameRect() const { return QRect(pos(), QSize(width_, height_)); }
    int frameWidth() const { return width_; }
    int frameHeight() const { return height_; }
    void setFrameSize(int width, int height);
    // Moves the top-left corner; the size stays.
    void setFramePos(const QPoint& topLeft) { move(topLeft); }

signals:
    void mousePressed(Qt::MouseButton button, const QPoint& pos);
    void mouseMoved(const QPoint& pos);
    void mouseReleased(Qt::MouseButton button, const QPoint& pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor penColor_ = Qt::red;
    int width_ = 0;
    int height_ = 0;
};

} // namespace plovex
