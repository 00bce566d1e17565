// plovex-cli commands on the SWF engine: info, render, trace, bench.

#include "audio/mixer.h"
#include "capture/image_files.h"
#include "cli/command.h"
#include "cli/engine_support.h"
#include "platform/errors.h"
#include "platform/safefile.h"
#include "swf/movie.h"
#include "swf/movie_file.h"
#include "swf/player.h"
#include "avm1/frame_loop.h"
#include "cli/input_script.h"
#include "video_export/movie_pictures.h"

#include <QElapsedTimer>
#include <QFile>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstdio>
#include <ctime>

namespace plovex::cli {

namespace {

// Writes the picture to a file: JPEG, GIF or BMP through the capture
// encoders when the extension is one of the three the capture command
// takes (.jpg, .gif, .bmp in any letter case), PNG otherwise.
bool writeImage(const QImage& image, const QString& path, QString& error)
{
    try {
        if (WriteImageFileByExtension(image, FileExtension(path), path))
            return true;
    } catch (const PlovexError& e) {
        error = e.text();
        return false;
    }
    try {
        WritePngFile(image, path);
    } catch (const PlovexError& e) {
        error = e.text();
        return false;
    }
    return true;
}

const char* compressionName(swf::Compression c)
{
    switch (c) {
    case swf::Compression::Zlib: return "zlib";
    case swf::Compression::Lzma: return "lzma";
    default: return "none";
    }
}

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

int runInfo(const QStringList& args)
{
    Options o;
    QString error = parseArgs(args, {}, o);
    if (!error.isEmpty())
        return fail(error);
    // The header alone: info never loads tags nor decodes pictures.
    QByteArray bytes;
    if (const QString reason = swf::ReadMovieFile(o.movie, bytes); !reason.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(o.movie, reason));
    const swf::MovieInfo i = swf::ReadMovieInfo(bytes);
    if (!i.valid)
        return fail(QStringLiteral("%1: not a SWF movie").arg(o.movie));
    std::printf("version: %d\n", i.version);
    std::printf("compression: %s\n", compressionName(i.compression));
    std::printf("width: %s\n", qPrintable(number(i.stageRect.width())));
    std::printf("height: %s\n", qPrintable(number(i.stageRect.height())));
    std::printf("frame_rate: %s\n", qPrintable(number(i.frameRate)));
    std::printf("frames: %d\n", i.headerFrameCount);
    return 0;
}

int runTrace(const QStringList& args)
{
    Options o;
    QString error = parseArgs(args, {"frames", "input"}, o);
    if (!error.isEmpty())
        return fail(error);
    int frames = 1;
    if (!intOption(o, "frames", frames, 1, 10000000, error))
        return fail(error);
    std::vector<InputEvent> input;
    if (const auto in = o.values.find("input"); in != o.values.end() && !ReadInputFile(in->second, input, error))
        return fail(error);
    const auto movie = loadOrFail(o.movie, error);
    if (!movie)
        return fail(error);
    // The run is heard too (nothing is played): scripts see their sounds
    // move on and end as the player would.
    audio::Mixer sound;
    video::MoviePictures run(movie,
                             headlessScripts(o.movie,
                                             [](const QString& line) {
                                                 std::fputs(line.toUtf8().constData(), stdout);
                                                 std::fputc('\n', stdout);
                                             }),
                             InputFor(input), &sound);
    run.showFrame(frames);
    std::fflush(stdout);
    return 0;
}

int runRender(const QStringList& args)
{
    Options o;
    QString error = parseArgs(args, {"frames", "out", "quality", "width", "height", "input"}, o);
    if (!error.isEmpty())
        return fail(error);
    int frames = 1, width = 0, height = 0;
    if (!intOption(o, "frames", frames, 1, 1000000, error) || !intOption(o, "width", width, 1, 16384, error) ||
        !intOption(o, "height", height, 1, 16384, error))
        return fail(error);
    if ((width > 0) != (height > 0))
        return fail(QStringLiteral("--width and --height go together"));
    const auto out = o.values.find("out");
    if (out == o.values.end())
        return fail(QStringLiteral("--out FILE is required"));
    swf::RenderOptions ro;
    // Low quality (no antialiasing) unless asked, like the Flash Player's
    // own low setting; it gives crisp, exactly reproducible pictures.
    if (!qualityOption(o, false, ro.antialias, error))
        return fail(error);
    std::vector<InputEvent> input;
    if (const auto in = o.values.find("input"); in != o.values.end() && !ReadInputFile(in->second, input, error))
        return fail(error);
    // The picture never replaces the movie it comes from, whatever name
    // leads to it: checked before loading and again just before writing.
    try {
        RefuseWritingOverSource(o.movie, out->second);
    } catch (const PlovexError& e) {
        return fail(e.text());
    }
    const auto movie = loadOrFail(o.movie, error);
    if (!movie)
        return fail(error);
    video::MoviePictures run(movie, headlessScripts(o.movie), InputFor(input));
    run.showFrame(frames);
    QSize size(width, height);
    if (width == 0) {
        bool cut = false;
        size = swf::StagePictureSize(movie->info.stageRect, &cut);
        if (cut)
            std::fprintf(stderr,
                         "plovex-cli: the stage is %s x %s pixels; the picture is cut down to %d x %d "
                         "(at most %d a side and %lld pixels in all; --width and --height choose another size)\n",
                         qPrintable(number(movie->info.stageRect.width())),
                         qPrintable(number(movie->info.stageRect.height())), size.width(), size.height(),
                         swf::kMaxStageSide, static_cast<long long>(swf::kMaxStagePixels));
    }
    const QImage image = run.picture(size, ro);
    if (image.isNull())
        return fail(QStringLiteral("the picture is too large"));
    try {
        RefuseWritingOverSource(o.movie, out->second);
    } catch (const PlovexError& e) {
        return fail(e.text());
    }
    if (!writeImage(image, out->second, error))
        return fail(error);
    return 0;
}

// bench MOVIE --seek: the engine's seeking alone, without drawing, in the
// order a user meets it: from frame 0 to the last frame, then steps back
// from there (as reverse play makes them), then from frame 0 to the middle.
// Scripted movies seek through their scripts, as in the player.
int runSeekBench(const Options& o)
{
    QString error;
    const auto movie = loadOrFail(o.movie, error);
    if (!movie)
        return fail(error);
    swf::Player player(movie, headlessScripts(o.movie));
    const int n = player.frameCount();
    if (n < 1)
        return fail(QStringLiteral("%1: the movie has no frames").arg(o.movie));
    QElapsedTimer t;
    t.start();
    player.gotoFrame(n - 1);
    const double lastMs = t.nsecsElapsed() / 1e6;
    std::vector<double> backMs;
    const int steps = std::min(n - 1, 250);
    for (int i = 0; i < steps; ++i) {
        const int to = player.currentFrame() - 1;
        t.restart();
        player.gotoFrame(to);
        backMs.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(backMs.begin(), backMs.end());
    const auto quantile = [&](double q) {
        return backMs.empty() ? 0.0 : backMs[std::min(backMs.size() - 1, size_t(q * double(backMs.size())))];
    };
    player.gotoFrame(0);
    t.restart();
    player.gotoFrame(n / 2);
    const double middleMs = t.nsecsElapsed() / 1e6;
    std::printf("seek: %d frames, goto last %.2f ms, step back median %.3f ms p95 %.3f ms, goto middle %.2f ms, "
                "peak %.0f MiB\n",
                n, lastMs, quantile(0.5), quantile(0.95), middleMs, peakMemoryKiB() / 1024.0);
    return 0;
}

// Plays `frames` frames of a fresh player as the widget does (the first
// frame shown at once, then advance: clips run on, scripts run) and draws
// each at `size`; prints the "playback:" line with the frame times.
void benchPlayback(const std::shared_ptr<const swf::Movie>& movie, const QString& path, int frames, QSize size,
                   const swf::RenderOptions& ro)
{
    swf::Player player(movie, headlessScripts(path));
    std::vector<double> ms;
    ms.reserve(size_t(frames));
    // Frame times are the processor time the whole process spends (all its
    // threads, the system's work for it included), so that other programs
    // on a busy machine do not count against the movie.
    auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    };
    for (int f = 1; f <= frames; ++f) {
        const double start = cpuMs();
        if (f > 1)
            player.advance(1);
        const QImage img = player.renderImage(size, ro);
        (void)img;
        ms.push_back(cpuMs() - start);
    }
    double total = 0;
    for (double v : ms)
        total += v;
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    // The 95th percentile by the nearest rank.
    const size_t rank = size_t(std::ceil(0.95 * double(sorted.size())));
    const double p95 = sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
    std::printf("playback: %d frames at %dx%d, %s quality: %.1f fps mean, p95 %.1f ms, peak %ld MiB\n", frames,
                size.width(), size.height(), ro.antialias ? "high" : "low", total > 0 ? frames * 1000.0 / total : 0.0,
                p95, (peakMemoryKiB() + 1023) / 1024);
}

int runBench(const QStringList& args)
{
    Options o;
    if (args.contains(QStringLiteral("--seek"))) {
        QStringList rest = args;
        rest.removeAll(QStringLiteral("--seek"));
        const QString bad = parseArgs(rest, {}, o);
        return bad.isEmpty() ? runSeekBench(o) : fail(bad);
    }
    QString error = parseArgs(args, {"frames", "quality", "width", "height"}, o);
    if (!error.isEmpty())
        return fail(error);
    int frames = 100, width = 0, height = 0;
    if (!intOption(o, "frames", frames, 1, 1000000, error) || !intOption(o, "width", width, 1, 16384, error) ||
        !intOption(o, "height", height, 1, 16384, error))
        return fail(error);
    if ((width > 0) != (height > 0))
        return fail(QStringLiteral("--width and --height go together"));
    swf::RenderOptions ro;
    if (!qualityOption(o, true, ro.antialias, error))
        return fail(error);
    QByteArray bytes;
    if (const QString reason = swf::ReadMovieFile(o.movie, bytes); !reason.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(o.movie, reason));
    QElapsedTimer t;
    t.start();
    const auto movie = swf::LoadMovie(bytes);
    const double parseMs = t.nsecsElapsed() / 1e6;
    if (!movie->info.valid)
        return fail(QStringLiteral("%1: not a SWF movie").arg(o.movie));
    const QSize size = width > 0 ? QSize(width, height) : swf::StagePictureSize(movie->info.stageRect);
    {
        swf::Player player(movie);
        // The first frame draws every shape afresh; later frames reuse what
        // did not change.
        t.restart();
        (void)player.renderImage(size, ro);
        const double firstMs = t.nsecsElapsed() / 1e6;
        t.restart();
        for (int i = 0; i < frames; ++i) {
            player.nextFrame();
            const QImage img = player.renderImage(size, ro);
            (void)img;
        }
        const double secs = t.nsecsElapsed() / 1e9;
        std::printf("parse_ms: %.3f\n", parseMs);
        std::printf("quality: %s\n", ro.antialias ? "high" : "low");
        std::printf("first_frame_ms: %.3f\n", firstMs);
        std::printf("frames: %d\n", frames);
        std::printf("render_fps: %.1f\n", secs > 0 ? frames / secs : 0.0);
        std::printf("movie_fps: %s\n", qPrintable(number(movie->info.frameRate)));
        std::printf("size: %dx%d\n", size.width(), size.height());
        std::printf("peak_memory_kib: %ld\n", peakMemoryKiB());
    }
    benchPlayback(movie, o.movie, frames, size, ro);
    return 0;
}

const Command info("info", "info MOVIE", runInfo);
const Command render("render",
                     "render MOVIE --frames N --out FILE.png|.jpg|.gif|.bmp [--quality low|high] [--width W --height H]",
                     runRender);
const Command trace("trace", "trace MOVIE [--frames N] [--input FILE]", runTrace);
const Command bench("bench",
                    "bench MOVIE [--width W --height H] [--frames N] [--quality low|high] | bench MOVIE --seek",
                    runBench);

} // namespace

} // namespace plovex::cli
