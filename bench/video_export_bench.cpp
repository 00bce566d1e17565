// Prints how fast a movie is exported as video, as a multiple of real time
// (seconds of video written per second of work), at 1920 x 1080 and at the
// movie's stage size, and the process's peak memory.
//
//   bench_video_export [MOVIE] [--frames N] [--format mp4|webm|mkv|gif] [--quality low|high]
//
// Without a movie, a built-in one of moving shapes (550 x 400, 24 fps) is
// used. Run on one core with `taskset -c 0`.

#include "avm1/frame_loop.h"
#include "swf/movie.h"
#include "swf/movie_file.h"
#include "swf/writer.h"
#include "video_export/movie_video.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace plovex;

namespace {

QByteArray builtInMovie()
{
    swf::SwfWriter w;
    swf::ShapeBuilder b;
    b.style(0, b.addFill(swf::RadialGradientFill(swf::ScaleRotate(0.05, 0.05, 0, 0, 0),
                                                 {{0, QColor(250, 200, 40)}, {255, QColor(40, 60, 200)}})),
            b.addLine(swf::SolidLine(60, Qt::black)))
        .ellipse(QRectF(-1200, -900, 2400, 1800));
    w.defineShape(1, b.build());
    for (int f = 0; f < 48; ++f) {
        for (int d = 0; d < 12; ++d) {
            const swf::Matrix m = swf::ScaleRotate(1, 1, f * 0.05 + d, 1000 + d * 700, 1500 + (f * 40 + d * 300) % 5000);
            w.placeObject2(f == 0 ? swf::PlaceNew(1, d + 1, m) : swf::PlaceMove(d + 1, m));
        }
        w.showFrame();
    }
    return w.finish();
}

// Processor time of the whole process (every thread), in seconds: on a
// shared machine the wall clock also counts other programs' turns.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

long peakMemoryKiB()
{
    QFile f("/proc/self/status");
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString path, format = "mp4";
    int frames = 0;
    bool antialias = true;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--frames" && i + 1 < args.size())
            frames = args[++i].toInt();
        else if (args[i] == "--format" && i + 1 < args.size())
            format = args[++i];
        else if (args[i] == "--quality" && i + 1 < args.size())
            antialias = args[++i] == "high";
        else
            path = args[i];
    }
    QByteArray bytes;
    if (path.isEmpty()) {
        bytes = builtInMovie();
    } else if (const QString reason = swf::ReadMovieFile(path, bytes); !reason.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(reason));
        return 1;
    }
    const auto movie = swf::LoadMovie(bytes);
    if (!movie->info.valid) {
        std::fprintf(stderr, "not a SWF movie\n");
        return 1;
    }
    QTemporaryDir dir;
    const double rate = video::MovieVideoFrameRate(*movie);
    if (frames <= 0)
        frames = int(std::max<qint64>(int(std::ceil(rate * 2)), qint64(movie->root.frames.size())));
    std::printf("movie: %s\nframe_rate: %g\nframes: %d\nformat: %s\nquality: %s\n",
                path.isEmpty() ? "built-in" : qPrintable(path), rate, frames, qPrintable(format),
                antialias ? "high" : "low");
    const QSize stage = swf::StagePictureSize(movie->info.stageRect);
    for (const auto& [name, size] : {std::pair{"1920x1080", QSize(1920, 1080)}, std::pair{"stage", stage}}) {
        video::MovieVideo job;
        job.movie = movie;
        avm1::ScriptOptions so;
        so.virtualClock = true;
        job.scripts = avm1::ScriptedMovies(so);
        job.path = dir.filePath("bench." + format);
        job.format = *video::VideoFormatForPath(job.path);
        job.size = size;
        job.render.antialias = antialias;
        job.frames = frames;
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuSeconds();
        video::ExportMovieVideo(job);
        const double secs = t.nsecsElapsed() / 1e9, cpu = cpuSeconds() - cpu0;
        const QSize written = video::VideoSizeFor(job.format, size);
        std::printf("%s (%dx%d): wall %.2f s (%.1f fps, %.2fx real time); processor %.2f s (%.2fx real time); "
                    "%lld bytes\n",
                    name, written.width(), written.height(), secs, frames / secs, (frames / rate) / secs, cpu,
                    (frames / rate) / cpu, static_cast<long long>(QFile(job.path).size()));
    }
    std::printf("peak_memory_kib: %ld\n", peakMemoryKiB());
    return 0;
}
