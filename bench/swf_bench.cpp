// Measures the engine on whole movies: parse time, frames rendered per
// second at the stage size (antialiased and not), peak memory. Prints
// its figures; never fails on speed.
//
//   swf_bench [--frames N] MOVIE...

#include "swf/movie.h"
#include "swf/player.h"

#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace plovex::swf;

static long peakKiB()
{
    QFile f("/proc/self/status");
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int frames = 200;
    QStringList movies;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else
            movies << QString::fromLocal8Bit(argv[i]);
    }
    if (movies.isEmpty())
        movies << QStringLiteral(PLOVEX_DEMO_PATH);
    std::printf("%-40s %10s %8s %12s %12s %10s\n", "movie", "parse_ms", "fps", "render_fps", "render_fps", "peak_KiB");
    std::printf("%-40s %10s %8s %12s %12s %10s\n", "", "", "", "(high)", "(low)", "");
    for (const QString& path : movies) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            std::printf("%-40s cannot read\n", qPrintable(path));
            continue;
        }
        const QByteArray bytes = f.readAll();
        QElapsedTimer t;
        t.start();
        const auto movie = LoadMovie(bytes);
        const double parseMs = t.nsecsElapsed() / 1e6;
        const QSize size(std::max(1, int(std::lround(movie->info.stageRect.width()))),
                         std::max(1, int(std::lround(movie->info.stageRect.height()))));
        double fps[2] = {0, 0};
        for (int q = 0; q < 2; ++q) {
            Player player(movie);
            RenderOptions o;
            o.antialias = q == 0;
            t.restart();
            for (int i = 0; i < frames; ++i) {
                player.advance(1);
                (void)player.renderImage(size, o);
            }
            fps[q] = frames / std::max(1e-9, t.nsecsElapsed() / 1e9);
        }
        std::printf("%-40s %10.2f %8.1f %12.1f %12.1f %10ld\n", qPrintable(QFileInfo(path).dir().dirName() + "/" + QFileInfo(path).fileName()),
                    parseMs, movie->info.frameRate, fps[0], fps[1], peakKiB());
    }
    return 0;
}
