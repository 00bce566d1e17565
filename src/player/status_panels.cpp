#include "player/status_panels.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace plovex {

TStatusBar::TStatusBar(QWidget* parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
}

void TStatusBar::addPanel(int width, const QString& text)
{
    panels_.push_back({width, text});
    update();
}

QString TStatusBar::panelText(int index) const
{
    return index >= 0 && index < panelCount() ? panels_[index].text : QString();
}

void TStatusBar::setPanelText(int index, const QString& text)
{
    if (index < 0 || index >= panelCount() || panels_[index].text == text)
        return;
    panels_[index].text = text;
    update();
}

int TStatusBar::panelWidth(int index) const
{
    return index >= 0 && index < panelCount() ? panels_[index].width : 0;
}

void TStatusBar::setPanelWidth(int index, int width)
{
    if (index < 0 || index >= panelCount() || panels_[index].width == width)
        return;
    panels_[index].width = std::max(0, width);
    update();
}

QSize TStatusBar::sizeHint() const
{
    return {QStatusBar::sizeHint().width(), fontMetrics().height() + 8};
}

QSize TStatusBar::minimumSizeHint() const
{
    return {0, fontMetrics().height() + 8};
}

void TStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    int x = 0;
    for (const Panel& panel : panels_) {
        const QRect box(x, 2, panel.width - 2, height() - 3);
        if (box.width() > 0) {
            QStyleOptionFrame frame;
            frame.initFrom(this);
            frame.rect = box;
            frame.lineWidth = 1;
            frame.state |= QStyle::State_Sunken;
            frame.frameShape = QFrame::Panel;
            style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
            const QRect textBox = box.adjusted(3, 0, -3, 0);
            painter.setPen(palette().windowText().color());
            painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                             fontMetrics().elidedText(panel.text, Qt::ElideRight, textBox.width()));
        }
        x += panel.width;
    }
}

} // namespace plovex
