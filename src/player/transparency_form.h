#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QSlider;

namespace plovex {

class TToolWindowLook;

// The transparency window: a small borderless window on top of the others
// with a slider from 1 to 255 that sets the opacity of one target window
// (the main window). It refuses to close while the slider stands below 100,
// so that the target cannot be left nearly invisible.
class TCTMFrm final : public QWidget {
    Q_OBJECT
public:
    // target: the window whose opacity the slider sets; player: the widget
    // whose offsets place this window when it is shown.
    TCTMFrm(QWidget* target, QWidget* player, QWidget* parent = nullptr);

    static constexpr int kLowestClosable = 100;

    void FormShow();
    void TrackBar1Change();
    bool FormCloseQuery();

    TToolWindowLook* Look = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label1 = nullptr;   // "窗体透明度"
    QLabel* Label2 = nullptr;   // "(position)", empty until the slider first moves
    QSlider* TrackBar1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<QWidget> target_;
    QPointer<QWidget> player_;
};

} // namespace plovex
