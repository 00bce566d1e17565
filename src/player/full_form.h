#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QScreen;

namespace plovex {

// The borderless window that hosts the player while full screen is on. It
// has no controls of its own: the player is moved into it and back out
// again, and keeps its movie, frame, zoom and scale through both moves.
class TFullFrm final : public QWidget {
    Q_OBJECT
public:
    explicit TFullFrm(QWidget* parent = nullptr);
    ~TFullFrm() override;

    // Makes this window the player's parent; the player fills it.
    void hostPlayer(QWidget* player);
    QWidget* player() const { return player_; }

    // Run on the release of Esc inside this window (key preview: before the
    // control with the focus sees it).
    std::function<void()> onEscape;

    // Shows the window over the whole of the screen: the full-screen state
    // for a window manager, and the screen's geometry for a display without one.
    void showOver(QScreen* screen);

    void FormKeyUp(int key);
    void FormResize();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<QWidget> player_;
};

} // namespace plovex
