#include "player/transparency_form.h"

#include "platform/errors.h"
#include "platform/prompts.h"
#include "widgets/tool_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QSlider>

namespace plovex {

TCTMFrm::TCTMFrm(QWidget* target, QWidget* player, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      target_(target), player_(player)
{
    setObjectName(QStringLiteral("CTMFrm"));
    setWindowTitle(QStringLiteral("窗体透明度"));
    setFixedSize(496, 55);

    Look = new TToolWindowLook(this, 496, 480);
    Image1 = Look->titleStrip();
    Image2 = Look->closePicture();
    Panel1 = Image1;
    auto label = [this](const char* name, const QString& text, const QPoint& at) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        QFont font = l->font();
        font.setPixelSize(12);
        l->setFont(font);
        l->setStyleSheet(QStringLiteral("color: red;"));
        l->move(at);
        l->setMinimumHeight(TToolWindowLook::kStripHeight - 2);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);   // the strip under it drags the window
        return l;
    };
    Label1 = label("Label1", QStringLiteral("窗体透明度"), QPoint(5, 2));
    Label2 = label("Label2", QString(), QPoint(72, 0));
    Label2->setMinimumWidth(60);
    Image2->raise();

    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(1, 24, 489, 25);
    TrackBar1->setToolTip(QStringLiteral("播放进度调节"));
    TrackBar1->setRange(1, 255);
    TrackBar1->setValue(255);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(16);
    connect(TrackBar1, &QSlider::valueChanged, this, Guarded([this] { TrackBar1Change(); }));
}

void TCTMFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    try {
        FormShow();
    } catch (...) {
        ReportCurrentException();
    }
}

void TCTMFrm::FormShow()
{
    Look->applyBackground();
    // Over the player, clear of the main window's bars and whole on the screen.
    if (player_)
        move(ToolWindowPlace(player_, size()));
}

void TCTMFrm::TrackBar1Change()
{
    const int position = TrackBar1->value();
    if (target_)
        target_->setWindowOpacity(position / 255.0);
    Label2->setText(QStringLiteral("(%1)").arg(position));
    Label2->adjustSize();
}

bool TCTMFrm::FormCloseQuery()
{
    if (TrackBar1->value() < kLowestClosable) {
        prompts().showMessage(QStringLiteral("对不起，您设置的窗体过于透明！"));
        return false;
    }
    return true;
}

void TCTMFrm::closeEvent(QCloseEvent* event)
{
    // Once the main window has closed, the program is ending (Qt asks every
    // window to close before it quits): the refusal must not keep it alive.
    if (!target_ || !target_->isVisible() || QCoreApplication::closingDown()) {
        event->accept();
        return;
    }
    if (GuardedCloseQuery([this] { return FormCloseQuery(); }))
        event->accept();
    else
        event->ignore();
}

} // namespace plovex
