#include "app/tool_images.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QRadialGradient>

#include "app/ui_font.h"

namespace plovex {

namespace {

const QColor kBlue(40, 90, 170);
const QColor kGreen(30, 140, 60);
const QColor kRed(190, 40, 40);
const QColor kDark(50, 50, 60);
const QColor kGold(220, 170, 40);

void magnifier(QPainter& p, bool plus)
{
    p.setPen(QPen(kDark, 1.6));
    p.setBrush(QColor(210, 230, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(kDark, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    p.setPen(QPen(kBlue, 1.4));
    p.drawLine(QPointF(3.8, 6), QPointF(8.2, 6));
    if (plus)
        p.drawLine(QPointF(6, 3.8), QPointF(6, 8.2));
}

void triangle(QPainter& p, double x, double w, bool right, const QColor& c)
{
    QPolygonF t;
    if (right)
        t << QPointF(x, 3) << QPointF(x + w, 8) << QPointF(x, 13);
    else
        t << QPointF(x + w, 3) << QPointF(x, 8) << QPointF(x + w, 13);
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c);
    p.drawPolygon(t);
}

void page(QPainter& p, const QColor& fill = Qt::white)
{
    p.setPen(QPen(kDark, 1));
    p.setBrush(fill);
    p.drawRect(QRectF(3.5, 1.5, 9, 13));
}

void letter(QPainter& p, const QString& text, const QColor& c, int px = 11)
{
    QFont f = UiFont(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

void draw(QPainter& p, ToolImage image)
{
    switch (image) {
    case ToolImage::Open:
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(kGold);
        p.drawRect(QRectF(1.5, 4.5, 12, 9));
        p.setBrush(QColor(250, 215, 100));
        p.drawPolygon(QPolygonF() << QPointF(3.5, 7.5) << QPointF(15, 7.5) << QPointF(12.5, 13.5) << QPointF(1.5, 13.5));
        break;
    case ToolImage::Folder:
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(kGold);
        p.drawRect(QRectF(1.5, 3.5, 5, 3));
        p.drawRect(QRectF(1.5, 5.5, 13, 8));
        break;
    case ToolImage::CacheList:
        p.setPen(QPen(kBlue, 1));
        p.setBrush(QColor(170, 210, 250));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        break;
    case ToolImage::Play:
        triangle(p, 4, 9, true, kGreen);
        break;
    case ToolImage::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(4, 3, 3, 10));
        p.drawRect(QRectF(9, 3, 3, 10));
        break;
    case ToolImage::Loop: {
        p.setPen(QPen(kGreen, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2, 3, 12, 10), 30 * 16, 300 * 16);
        triangle(p, 10, 4, true, kGreen);
        break;
    }
    case ToolImage::Restart:
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle(p, 6, 7, true, kGreen);
        break;
    case ToolImage::StepForward:
        triangle(p, 3, 7, true, kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case ToolImage::StepBack:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle(p, 6, 7, false, kBlue);
        break;
    case ToolImage::Reverse:
        triangle(p, 1, 7, false, kRed);
        triangle(p, 8, 7, false, kRed);
        break;
    case ToolImage::Goto:
        p.setPen(QPen(kBlue, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(2, 8), QPointF(11, 8));
        triangle(p, 9, 5, true, kBlue);
        p.setPen(QPen(kDark, 1));
        p.drawLine(QPointF(14.5, 2), QPointF(14.5, 14));
        break;
    case ToolImage::ZoomIn:
        magnifier(p, true);
        break;
    case ToolImage::ZoomOut:
        magnifier(p, false);
        break;
    case ToolImage::ShowAll:
        p.setPen(QPen(kDark, 1));
        p.setBrush(QColor(220, 235, 250));
        p.drawRect(QRectF(1.5, 3.5, 13, 9));
        p.setPen(QPen(kBlue, 1.2));
        p.drawRect(QRectF(4.5, 5.5, 7, 5));
        break;
    case ToolImage::FullScreen: {
        p.setPen(QPen(kDark, 1.6));
        const double a = 2, b = 14, l = 4;
        p.drawLine(QPointF(a, a), QPointF(a + l, a));
        p.drawLine(QPointF(a, a), QPointF(a, a + l));
        p.drawLine(QPointF(b, a), QPointF(b - l, a));
        p.drawLine(QPointF(b, a), QPointF(b, a + l));
        p.drawLine(QPointF(a, b), QPointF(a + l, b));
        p.drawLine(QPointF(a, b), QPointF(a, b - l));
        p.drawLine(QPointF(b, b), QPointF(b - l, b));
        p.drawLine(QPointF(b, b), QPointF(b, b - l));
        break;
    }
    case ToolImage::QualityHigh: {
        QRadialGradient g(QPointF(6, 6), 8);
        g.setColorAt(0, Qt::white);
        g.setColorAt(1, kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(QRectF(2, 2, 12, 12));
        break;
    }
    case ToolImage::QualityLow:
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue.lighter(130));
        p.drawRect(5, 2, 6, 12);
        p.drawRect(2, 5, 12, 6);
        p.drawRect(3, 3, 10, 10);
        break;
    case ToolImage::Wallpaper:
        p.setPen(QPen(kDark, 1));
        p.setBrush(QColor(120, 180, 240));
        p.drawRect(QRectF(1.5, 2.5, 13, 9));
        p.setBrush(kGreen);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF() << QPointF(2, 11) << QPointF(7, 6) << QPointF(11, 11));
        p.setPen(QPen(kDark, 1));
        p.drawLine(QPointF(8, 12), QPointF(8, 14));
        p.drawLine(QPointF(5, 14.5), QPointF(11, 14.5));
        break;
    case ToolImage::Capture:
        p.setPen(QPen(kDark, 1));
        p.setBrush(QColor(90, 90, 100));
        p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
        p.drawRect(QRectF(5.5, 2.5, 5, 2));
        p.setBrush(QColor(170, 210, 250));
        p.drawEllipse(QRectF(5, 6, 6, 6));
        break;
    case ToolImage::Mail:
        p.setPen(QPen(kDark, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 3.5, 13, 9));
        p.drawPolyline(QPolygonF() << QPointF(1.5, 3.5) << QPointF(8, 9) << QPointF(14.5, 3.5));
        break;
    case ToolImage::Help:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        letter(p, QStringLiteral("?"), Qt::white);
        break;
    case ToolImage::About:
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        letter(p, QStringLiteral("i"), Qt::white);
        break;
    case ToolImage::Exit:
        p.setPen(QPen(kDark, 1));
        p.setBrush(QColor(180, 120, 70));
        p.drawRect(QRectF(2.5, 1.5, 8, 13));
        triangle(p, 9, 6, true, kRed);
        break;
    case ToolImage::Sound:
        p.setPen(Qt::NoPen);
        p.setBrush(kDark);
        p.drawRect(QRectF(2, 6, 3, 4));
        p.drawPolygon(QPolygonF() << QPointF(5, 6) << QPointF(9, 2) << QPointF(9, 14) << QPointF(5, 10));
        p.setPen(QPen(kBlue, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(7, 4, 6, 8), -60 * 16, 120 * 16);
        p.drawArc(QRectF(7, 2, 9, 12), -60 * 16, 120 * 16);
        break;
    case ToolImage::ExeToSwf:
        page(p, QColor(235, 235, 235));
        letter(p, QStringLiteral("F"), kRed, 10);
        break;
    case ToolImage::SaveAs:
        p.setPen(QPen(kDark, 1));
        p.setBrush(kBlue);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case ToolImage::Colour: {
        const QColor colours[] = {kRed, kGreen, kBlue, kGold};
        for (int i = 0; i < 4; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(colours[i]);
            p.drawRect(QRectF(2 + (i % 2) * 6, 2 + (i / 2) * 6, 6, 6));
        }
        break;
    }
    case ToolImage::Print:
        p.setPen(QPen(kDark, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(180, 180, 190));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        break;
    case ToolImage::Playlist:
        p.setPen(QPen(kDark, 1.4));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(5, 3.5 + i * 3), QPointF(14, 3.5 + i * 3));
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(1.5, 2.5 + i * 3, 2, 2));
        break;
    case ToolImage::Frames:
        p.setPen(QPen(kDark, 1));
        p.setBrush(QColor(230, 230, 230));
        p.drawRect(QRectF(1.5, 3.5, 13, 9));
        p.setBrush(kDark);
        for (int i = 0; i < 4; ++i) {
            p.drawRect(QRectF(2.5 + i * 3.2, 4.5, 1.5, 1));
            p.drawRect(QRectF(2.5 + i * 3.2, 10.5, 1.5, 1));
        }
        break;
    case ToolImage::Associate:
        page(p);
        p.setPen(QPen(kGreen, 1.6));
        p.drawPolyline(QPolygonF() << QPointF(5, 8) << QPointF(7.5, 11) << QPointF(12, 4));
        break;
    case ToolImage::Count:
        break;
    }
}

} // namespace

const QList<QIcon>& ToolImg()
{
    static const QList<QIcon> images = [] {
        QList<QIcon> list;
        for (int i = 0; i < int(ToolImage::Count); ++i) {
            QIcon icon;
            for (const int scale : {1, 2}) {
                QPixmap pixmap(16 * scale, 16 * scale);
                pixmap.setDevicePixelRatio(scale);
                pixmap.fill(Qt::transparent);
                QPainter p(&pixmap);
                p.setRenderHint(QPainter::Antialiasing);
                p.setRenderHint(QPainter::TextAntialiasing);
                draw(p, ToolImage(i));
                p.end();
                icon.addPixmap(pixmap);
            }
            list << icon;
        }
        return list;
    }();
    return images;
}

QIcon ToolIcon(ToolImage image)
{
    return ToolImg().value(int(image));
}

QPixmap SplashPicture(const QSize& size)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(20, 50, 110));
    g.setColorAt(1, QColor(90, 150, 220));
    p.fillRect(pixmap.rect(), g);
    // A film strip across the bottom.
    p.fillRect(QRect(0, size.height() - 46, size.width(), 30), QColor(20, 20, 30, 200));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 230, 240));
    for (int x = 6; x < size.width(); x += 18) {
        p.drawRect(QRect(x, size.height() - 43, 8, 5));
        p.drawRect(QRect(x, size.height() - 24, 8, 5));
    }
    QFont title = UiFont(48);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 40, size.width(), 80), Qt::AlignCenter, QStringLiteral("Plovex"));
    p.setFont(UiFont(18));
    p.setPen(QColor(250, 220, 120));
    p.drawText(QRect(0, 120, size.width(), 30), Qt::AlignCenter, QStringLiteral("V3.0"));
    p.setFont(UiFont(13));
    p.setPen(QColor(230, 240, 255));
    p.drawText(QRect(0, 152, size.width(), 24), Qt::AlignCenter,
               QStringLiteral("Flash 播放 · 逐帧控制 · 图象、声音与 SWF 提取"));
    return pixmap;
}

QPixmap AboutIconPicture()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 32, 32);
    g.setColorAt(0, QColor(230, 60, 50));
    g.setColorAt(1, QColor(150, 20, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    QFont f = UiFont(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("f"));
    return pixmap;
}

} // namespace plovex
