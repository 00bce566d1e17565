#include "app/splash_form.h"

#include "app/tool_images.h"
#include "platform/errors.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace plovex {

TSplashFrm::TSplashFrm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("SplashFrm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(442, 256);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    Timer1->start();
}

void TSplashFrm::Timer1Timer()
{
    Timer1->stop();
    close();
    deleteLater();
}

void TSplashFrm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), SplashPicture(size()));
}

} // namespace plovex
