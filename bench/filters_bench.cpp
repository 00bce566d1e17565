// Measures the bitmap filters alone (the renderer caches their results, so
// whole-movie figures hide them): each kind on a 300x300 layer holding a
// disc, at quality 1 (low), 2 (medium) and 3 (high). Prints milliseconds
// per application; never fails on speed.
//
//   filters_bench [--rounds N]

#include "swf/filters.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace plovex::swf;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int rounds = 50;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));

    QImage source(300, 300, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::transparent);
    {
        QPainter p(&source);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(200, 120, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(50, 50, 200, 200));
    }

    auto make = [](int type, int passes) {
        Filter f;
        f.type = type;
        f.passes = passes;
        f.blurX = f.blurY = 20;
        f.strength = 1;
        f.distance = 10;
        f.angle = M_PI / 4;
        f.inner = type == Filter::Bevel;
        if (type == Filter::Bevel)
            f.colors = {QColor(255, 255, 255, 127), QColor(255, 0, 0, 127)};
        else
            f.colors = {QColor(0, 0, 0)};
        return f;
    };
    const struct {
        const char* name;
        int type;
    } kinds[] = {{"blur", Filter::Blur}, {"drop shadow", Filter::DropShadow}, {"glow", Filter::Glow},
                 {"bevel", Filter::Bevel}};
    std::printf("%-14s %10s %10s %10s   (ms per 300x300 layer, blur 20)\n", "filter", "low", "medium", "high");
    for (const auto& k : kinds) {
        std::printf("%-14s", k.name);
        for (int passes = 1; passes <= 3; ++passes) {
            const Filter f = make(k.type, passes);
            QImage layer = source;
            ApplyFilters(layer, {f}, 1.0);   // warm up
            QElapsedTimer t;
            t.start();
            for (int r = 0; r < rounds; ++r) {
                layer = source;
                layer.detach();
                ApplyFilters(layer, {f}, 1.0);
            }
            std::printf(" %10.3f", t.nsecsElapsed() / 1e6 / rounds);
        }
        std::printf("\n");
    }
    return 0;
}
