// Writes the demo movie: 550 x 400 pixels, 24 frames per second, 48
// frames. A soft blue backdrop, a rotating star, two circles swinging
// round the centre and a row of squares whose colour shifts frame by frame.

#include "swf/writer.h"

#include <QFile>
#include <cmath>
#include <cstdio>

using namespace plovex::swf;

namespace {

constexpr int kFrames = 48;
constexpr double kTwips = 20;

ShapeData star(double outer, double inner, const QColor& fill, const QColor& line)
{
    ShapeBuilder b;
    const int f = b.addFill(SolidFill(fill));
    const int l = b.addLine(SolidLine(60, line));
    QPolygonF pts;
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double r = (i % 2 ? inner : outer) * kTwips;
        pts << QPointF(r * std::cos(a), r * std::sin(a));
    }
    b.style(0, f, l).polygon(pts);
    return b.build();
}

ShapeData circle(double radius, const QColor& fill)
{
    ShapeBuilder b;
    const int f = b.addFill(SolidFill(fill));
    const int l = b.addLine(SolidLine(40, fill.darker(160)));
    b.style(0, f, l).ellipse(QRectF(-radius * kTwips, -radius * kTwips, 2 * radius * kTwips, 2 * radius * kTwips));
    return b.build();
}

ShapeData square(double side, const QColor& fill)
{
    ShapeBuilder b;
    const int f = b.addFill(SolidFill(fill));
    const double h = side * kTwips / 2;
    b.style(0, f, 0).rect(QRectF(-h, -h, 2 * h, 2 * h));
    return b.build();
}

ShapeData backdrop()
{
    ShapeBuilder b;
    const int top = b.addFill(SolidFill(QColor(214, 230, 245)));
    const int bottom = b.addFill(SolidFill(QColor(190, 212, 236)));
    b.style(0, top, 0).rect(QRectF(0, 0, 550 * kTwips, 260 * kTwips));
    b.style(0, bottom, 0).rect(QRectF(0, 260 * kTwips, 550 * kTwips, 140 * kTwips));
    return b.build();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: plovex-mkdemo OUT.swf\n");
        return 2;
    }
    WriterOptions opt;
    opt.version = 10;
    opt.compression = Compression::Zlib;
    opt.frameSize = Rect{0, 550 * 20, 0, 400 * 20};
    opt.frameRate = 24;
    SwfWriter w(opt);
    w.setBackgroundColor(QColor(240, 244, 250));
    w.defineShape(1, backdrop());
    w.defineShape(2, star(70, 30, QColor(255, 196, 40), QColor(200, 120, 0)));
    w.defineShape(3, circle(28, QColor(230, 70, 90)));
    w.defineShape(4, circle(22, QColor(60, 170, 120)));
    w.defineShape(5, square(36, QColor(80, 110, 220)));

    w.placeObject2(PlaceNew(1, 1));
    for (int f = 0; f < kFrames; ++f) {
        const double t = double(f) / kFrames;   // one full cycle over the movie
        const double angle = 2 * M_PI * t;
        const double cx = 275 * kTwips, cy = 190 * kTwips;
        PlaceObject s = f == 0 ? PlaceNew(2, 10) : PlaceMove(10, Matrix());
        s.matrix = ScaleRotate(1 + 0.15 * std::sin(2 * angle), 1 + 0.15 * std::sin(2 * angle), angle, cx, cy);
        w.placeObject2(s);
        PlaceObject a = f == 0 ? PlaceNew(3, 20) : PlaceMove(20, Matrix());
        a.matrix = Translate(cx + 150 * kTwips * std::cos(angle), cy + 90 * kTwips * std::sin(angle));
        w.placeObject2(a);
        PlaceObject b = f == 0 ? PlaceNew(4, 21) : PlaceMove(21, Matrix());
        b.matrix = Translate(cx - 150 * kTwips * std::cos(angle), cy - 90 * kTwips * std::sin(angle));
        w.placeObject2(b);
        for (int i = 0; i < 6; ++i) {
            const double phase = angle + i * M_PI / 3;
            PlaceObject q = f == 0 ? PlaceNew(5, 30 + i) : PlaceMove(30 + i, Matrix());
            q.matrix = ScaleRotate(1, 1, phase / 2, (75 + i * 80) * kTwips, (340 + 12 * std::sin(phase)) * kTwips);
            ColorTransform c;
            c.rm = 0.6 + 0.4 * std::sin(phase);
            c.gm = 0.6 + 0.4 * std::sin(phase + 2 * M_PI / 3);
            c.ra = 90 * (1 + std::sin(phase)) / 2;
            c.ga = 60 * (1 + std::cos(phase)) / 2;
            q.colorTransform = c;
            w.placeObject2(q);
        }
        w.showFrame();
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(w.finish()) < 0) {
        std::fprintf(stderr, "plovex-mkdemo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
