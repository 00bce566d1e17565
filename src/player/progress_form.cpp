#include "player/progress_form.h"

#include "platform/errors.h"
#include "player/shockwave_flash.h"
#include "widgets/tool_window.h"

#include <QAction>
#include <QLabel>
#include <QSlider>

namespace plovex {

namespace {

QLabel* redLabel(QWidget* parent, const char* name, const QString& text, const QPoint& at)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setPixelSize(12);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: red;"));
    label->move(at);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);   // the strip under it drags the window
    return label;
}

} // namespace

TPlyPFrm::TPlyPFrm(TShockwaveFlash* flash, QAction* playItem, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      flash_(flash), playItem_(playItem)
{
    setObjectName(QStringLiteral("PlyPFrm"));
    setWindowTitle(QStringLiteral("播放进度"));
    setFixedSize(496, 55);

    Look = new TToolWindowLook(this, 496, 480);
    Image1 = Look->titleStrip();
    Image2 = Look->closePicture();
    Panel1 = Image1;
    Label1 = redLabel(this, "Label1", QStringLiteral("播放进度"), QPoint(5, 2));
    PValue = redLabel(this, "PValue", QString(), QPoint(64, 0));
    PValue->setMinimumWidth(200);
    PValue->setMinimumHeight(TToolWindowLook::kStripHeight);
    Image2->raise();

    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(0, 24, 489, 25);
    TrackBar1->setToolTip(QStringLiteral("播放进度调节"));
    TrackBar1->setMinimum(0);
    TrackBar1->setMaximum(10);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    connect(TrackBar1, &QSlider::valueChanged, this, Guarded([this] { TrackBar1Change(); }));
}

void TPlyPFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    try {
        FormShow();
    } catch (...) {
        ReportCurrentException();
    }
}

void TPlyPFrm::FormShow()
{
    Look->applyBackground();
    // Over the player, clear of the main window's bars and whole on the screen.
    move(ToolWindowPlace(flash_, size()));
    RefreshProgress();
}

void TPlyPFrm::RefreshProgress()
{
    // Each step that moves the slider runs TrackBar1Change.
    const int total = flash_->TotalFrames();
    if (total >= TrackBar1->minimum())
        TrackBar1->setMaximum(total);
    TrackBar1->setValue(std::clamp(flash_->FrameNum(), TrackBar1->minimum(), TrackBar1->maximum()));
    showValues();
}

void TPlyPFrm::TrackBar1Change()
{
    const bool playing = playItem_ && playItem_->isChecked();
    flash_->SetFrameNum(TrackBar1->value());
    showValues();
    if (playing)
        flash_->Play();
}

void TPlyPFrm::showValues()
{
    PValue->setText(QStringLiteral("(%1/%2)").arg(flash_->FrameNum()).arg(flash_->TotalFrames()));
    PValue->adjustSize();
}

} // namespace plovex
