// plovex-cli export-video: a movie written as an MP4, WebM, MKV or GIF file.

#include "cli/command.h"
#include "cli/engine_support.h"
#include "cli/input_script.h"
#include "platform/errors.h"
#include "platform/safefile.h"
#include "swf/movie.h"
#include "swf/movie_file.h"
#include "video_export/movie_video.h"

#include <QElapsedTimer>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace plovex::cli {
namespace {

// The longest video written: three hours of the movie.
constexpr double kMaxSeconds = 3 * 60 * 60;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

// Ctrl+C, a closed terminal and a polite kill end the export between two
// pictures, so that the partial file can be removed.
class InterruptGuard {
public:
    InterruptGuard()
    {
        interrupted = 0;
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &sa, &old_[i]);
    }
    ~InterruptGuard()
    {
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &old_[i], nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction old_[3] {};
};

QString duration(double seconds)
{
    const qint64 s = qint64(std::llround(std::max(0.0, seconds)));
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// Progress on standard error: a line redrawn in place while it is a
// terminal (percentage, pictures a second, time left).
class ProgressLine {
public:
    explicit ProgressLine(bool quiet) : quiet_(quiet), terminal_(!quiet && ::isatty(STDERR_FILENO)) {}

    void update(const video::VideoProgress& p)
    {
        if (!terminal_ || (p.done < p.total && p.seconds - shownAt_ < 0.25))
            return;
        shownAt_ = p.seconds;
        const double fps = p.seconds > 0 ? p.done / p.seconds : 0;
        const double left = fps > 0 ? (p.total - p.done) / fps : 0;
        std::fprintf(stderr, "\rexport-video: %3d%%  %.1f fps  %s left   ", int(100 * p.done / std::max<qint64>(1, p.total)),
                     fps, qPrintable(duration(left)));
        std::fflush(stderr);
        drawn_ = true;
    }

    void end()
    {
        if (drawn_)
            std::fputc('\n', stderr);
        drawn_ = false;
    }

    bool quiet() const { return quiet_; }

private:
    bool quiet_, terminal_;
    bool drawn_ = false;
    double shownAt_ = -1;
};

int runExportVideo(const QStringList& args)
{
    Options o;
    QString error = parseArgs(args, {"width", "height", "frames", "seconds", "from", "quality", "input", "crf"}, o,
                              {"quiet"}, 2);
    if (!error.isEmpty())
        return fail(error);
    if (o.paths.size() != 1)
        return fail(QStringLiteral("usage: export-video MOVIE OUT.mp4|.webm|.mkv|.gif [options]"));
    const QString out = o.paths.front();
    const auto format = video::VideoFormatForPath(out);
    if (!format)
        return fail(QStringLiteral("%1: unknown video format; the file name must end in %2")
                        .arg(out, video::KnownVideoExtensions()));

    int width = 0, height = 0, frames = 0, from = 1, crf = -1;
    if (!intOption(o, "width", width, 1, swf::kMaxStageSide, error) ||
        !intOption(o, "height", height, 1, swf::kMaxStageSide, error) ||
        !intOption(o, "frames", frames, 1, 10000000, error) || !intOption(o, "from", from, 1, 10000000, error) ||
        !intOption(o, "crf", crf, 0, video::MaxCrf(*format), error))
        return fail(error);
    if ((width > 0) != (height > 0))
        return fail(QStringLiteral("--width and --height go together"));
    if (width > 0 && video::VideoSizeFor(*format, QSize(width, height)) != QSize(width, height))
        return fail(QStringLiteral("--width and --height must be even for %1 files")
                        .arg(video::VideoFormatExtension(*format)));
    std::optional<double> seconds;
    if (const auto s = o.values.find("seconds"); s != o.values.end()) {
        bool ok = false;
        const double v = s->second.toDouble(&ok);
        if (!ok || !(v > 0) || v > kMaxSeconds)
            return fail(QStringLiteral("--seconds must be a number above 0, at most %1").arg(kMaxSeconds));
        seconds = v;
    }
    if (seconds && frames > 0)
        return fail(QStringLiteral("--frames and --seconds do not go together"));
    swf::RenderOptions ro;
    if (!qualityOption(o, false, ro.antialias, error))
        return fail(error);
    std::vector<InputEvent> input;
    if (const auto in = o.values.find("input"); in != o.values.end() && !ReadInputFile(in->second, input, error))
        return fail(error);
    try {
        RefuseWritingOverSource(o.movie, out);
    } catch (const PlovexError& e) {
        return fail(e.text());
    }
    const auto movie = loadOrFail(o.movie, error);
    if (!movie)
        return fail(error);

    video::MovieVideo job;
    job.movie = movie;
    job.scripts = headlessScripts(o.movie);
    job.input = InputFor(input);
    job.path = out;
    job.format = *format;
    job.size = width > 0 ? QSize(width, height) : swf::StagePictureSize(movie->info.stageRect);
    job.render = ro;
    job.from = from;
    // By default one pass of the root timeline.
    job.frames = seconds ? video::MovieFramesForSeconds(*movie, *seconds)
                         : frames > 0 ? frames : std::max<qint64>(1, qint64(movie->root.frames.size()));
    const double rate = video::MovieVideoFrameRate(*movie);
    if (job.frames / rate > kMaxSeconds)
        return fail(QStringLiteral("the video may be at most %1 seconds long").arg(kMaxSeconds));
    job.crf = crf;
    ProgressLine progress(o.flags.contains("quiet"));
    job.progress = [&progress](const video::VideoProgress& p) {
        progress.update(p);
        return interrupted == 0;
    };

    InterruptGuard guard;
    video::ExportOutcome outcome;
    double seconds_taken = 0;
    try {
        QElapsedTimer clock;
        clock.start();
        outcome = video::ExportMovieVideo(job);
        seconds_taken = clock.nsecsElapsed() / 1e9;
    } catch (const PlovexError& e) {
        progress.end();
        return fail(e.text());
    }
    progress.end();
    if (outcome == video::ExportOutcome::Cancelled) {
        fail(QStringLiteral("interrupted; %1 was not written").arg(out));
        return 130;
    }
    if (!progress.quiet()) {
        const QSize size = video::VideoSizeFor(*format, job.size);
        const double length = job.frames / rate;
        std::fprintf(stderr, "export-video: %s: %lld frames, %dx%d, %s fps, %s; written in %.1f s (%.2fx real time)\n",
                     qPrintable(out), static_cast<long long>(job.frames), size.width(), size.height(),
                     qPrintable(QString::number(rate, 'g', 6)), qPrintable(duration(length)), seconds_taken,
                     seconds_taken > 0 ? length / seconds_taken : 0.0);
    }
    return 0;
}

const Command exportVideo(
    "export-video",
    "export-video MOVIE OUT.mp4|.webm|.mkv|.gif [--width W --height H] [--frames N | --seconds S] [--from F] "
    "[--quality low|high] [--input FILE] [--crf N] [--quiet]",
    runExportVideo);

} // namespace
} // namespace plovex::cli
