#pragma once

#include <QWidget>

class QAction;
class QLabel;
class QSlider;

namespace plovex {

class TShockwaveFlash;
class TToolWindowLook;

// The playback-progress window: a small borderless window on top of the
// others with a slider over the movie's frames. Moving the slider moves
// the movie to that frame. The slider does not follow the playing movie;
// it takes the movie's values when the window is shown and when a movie is
// opened (RefreshProgress).
class TPlyPFrm final : public QWidget {
    Q_OBJECT
public:
    // flash: the player; playItem: the "播放" mark of the main menu, which
    // says whether the movie plays on after a move of the slider.
    TPlyPFrm(TShockwaveFlash* flash, QAction* playItem, QWidget* parent = nullptr);

    void FormShow();
    void RefreshProgress();
    void TrackBar1Change();

    TToolWindowLook* Look = nullptr;
    QWidget* Panel1 = nullptr;     // the title strip's area
    QLabel* Image1 = nullptr;      // the strip's picture (drags the window)
    QLabel* Image2 = nullptr;      // the close picture
    QLabel* Label1 = nullptr;      // "播放进度"
    QLabel* PValue = nullptr;      // "(frame/total)"
    QSlider* TrackBar1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showValues();

    TShockwaveFlash* flash_;
    QAction* playItem_;
};

} // namespace plovex
