#include "player/full_form.h"

#include "platform/errors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>

namespace plovex {

TFullFrm::TFullFrm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FullFrm"));
    setWindowTitle(QStringLiteral("Plovex v3.0"));
    resize(536, 341);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
    qApp->installEventFilter(this);
}

TFullFrm::~TFullFrm()
{
    qApp->removeEventFilter(this);
}

void TFullFrm::hostPlayer(QWidget* player)
{
    player_ = player;
    if (player->parentWidget() != this)
        player->setParent(this);
    player->setGeometry(rect());
    player->show();
}

void TFullFrm::showOver(QScreen* screen)
{
    if (screen)
        setGeometry(screen->geometry());
    setWindowState(windowState() | Qt::WindowFullScreen);
    show();
    raise();
    activateWindow();
}

void TFullFrm::FormKeyUp(int key)
{
    if (key == Qt::Key_Escape && onEscape)
        onEscape();
}

void TFullFrm::FormResize()
{
    if (QWidget* focus = focusWidget())
        focus->clearFocus();
    if (player_ && player_->window() == this)
        player_->setFocus(Qt::OtherFocusReason);
}

void TFullFrm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (player_ && player_->parentWidget() == this)
        player_->setGeometry(rect());
    try {
        FormResize();
    } catch (...) {
        ReportCurrentException();
    }
}

bool TFullFrm::eventFilter(QObject* watched, QEvent* event)
{
    // Key preview: the window sees each key release once, before the
    // control with the focus.
    if (event->type() == QEvent::KeyRelease && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (!key->isAutoRepeat() && widget->window() == this) {
            QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
            if (widget == first) {
                try {
                    FormKeyUp(key->key());
                } catch (...) {
                    ReportCurrentException();
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace plovex
