// Writes the movies that measure seeking: each frame places one more
// rectangle, so the display list grows with the frame number. Measure one
// with `plovex-cli bench MOVIE --seek`.
//
//   growing_movie FRAMES OUT.swf [--down] [--script]
//
// --down places each new rectangle below the others (at a lower depth
// than all before it) instead of on top; --script adds a frame script, so
// the movie plays and seeks through the script machine.

#include "swf/writer.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace plovex::swf;

int main(int argc, char** argv)
{
    int frames = 0;
    const char* out = nullptr;
    bool down = false, script = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--down"))
            down = true;
        else if (!std::strcmp(argv[i], "--script"))
            script = true;
        else if (!frames)
            frames = std::atoi(argv[i]);
        else if (!out)
            out = argv[i];
    }
    // Depths go up to 65535 in a file; the rectangles take one each.
    if (frames < 1 || frames > 65000 || !out) {
        std::fprintf(stderr, "usage: growing_movie FRAMES(1..65000) OUT.swf [--down] [--script]\n");
        return 2;
    }
    WriterOptions o;
    o.frameSize = Rect{0, 400 * 20, 0, 300 * 20};
    o.frameRate = 25;
    SwfWriter w(o);
    w.setBackgroundColor(Qt::white);
    ShapeBuilder b;
    b.style(0, b.addFill(SolidFill(QColor(40, 90, 200))), 0).rect(QRectF(0, 0, 8 * 20, 6 * 20));
    w.defineShape(1, b.build());
    if (script) {
        ActionWriter a;
        a.push(QStringLiteral("n")).pushInt(0).setVariable();
        w.doAction(a);
    }
    for (int f = 0; f < frames; ++f) {
        const int depth = down ? frames - f : f + 1;
        // Rectangles in rows over the stage, row after row.
        const double x = (f % 50) * 8 * 20, y = ((f / 50) % 50) * 6 * 20;
        w.placeObject2(PlaceNew(1, depth, Translate(x, y)));
        w.showFrame();
    }
    QFile file(QString::fromLocal8Bit(out));
    if (!file.open(QIODevice::WriteOnly) || file.write(w.finish()) < 0) {
        std::fprintf(stderr, "growing_movie: cannot write %s\n", out);
        return 1;
    }
    return 0;
}
