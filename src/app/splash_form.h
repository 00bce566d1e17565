#pragma once

#include <QTimer>
#include <QWidget>

namespace plovex {

// The splash picture: borderless, 442 x 256, on top, centred. The first
// tick of its 100-ms timer closes it and releases it once the tick's
// handler has returned, so the splash stays up until the message loop runs.
class TSplashFrm final : public QWidget {
    Q_OBJECT
public:
    explicit TSplashFrm(QWidget* parent = nullptr);
    QTimer* Timer1 = nullptr;
    void Timer1Timer();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace plovex
