#pragma once

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QSize>

class QLabel;
class QWidget;

namespace plovex {

// The pictures of the small windows' title strip and of their close button.
QPixmap TitleStripPicture(const QSize& size);
QPixmap ClosePicture();

// Where a small tool window of `size` opens over the player: at the
// player's offsets inside its parent, taken as screen coordinates. Where
// that place would cover the part of the player's window above the player
// (its title, menu bar and toolbars; while that window is shown), it moves
// to the player's top left corner on the screen instead. Either way the window is kept whole on the screen
// that shows the player's window.
QPoint ToolWindowPlace(const QWidget* player, const QSize& size);

// The look that the small borderless tool windows share (the progress and
// transparency windows, the About box, the EXE-to-SWF dialog): a light blue
// background set each time the window is shown, an 18-pixel title strip
// across the top that drags the window, and a 15 x 15 close picture with
// the hint "关闭" at the strip's right end. Clicking the picture asks the
// window to close, so a window that refuses in its closeEvent stays open.
//
// The look is an object owned by the window; the window keeps its own
// base class (dialog or plain widget) and its own close rules.
class TToolWindowLook final : public QObject {
    Q_OBJECT
public:
    static constexpr int kStripHeight = 18;

    // The strip spans stripWidth pixels from the window's top left corner;
    // the close picture sits at (closeLeft, 1).
    TToolWindowLook(QWidget* window, int stripWidth, int closeLeft);

    static QColor background() { return QColor(216, 228, 240); }

    QLabel* titleStrip() const { return strip_; }       // Image1
    QLabel* closePicture() const { return close_; }     // Image2

    // Gives the window (and the widgets named) the light blue background.
    void applyBackground(std::initializer_list<QWidget*> more = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    QLabel* strip_;
    QLabel* close_;
    QPoint dragOffset_;
    bool dragging_ = false;
};

} // namespace plovex
