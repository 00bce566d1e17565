// plovex-cli commands on the sound engine: render-audio.

#include "audio/render.h"
#include "cli/command.h"
#include "cli/engine_support.h"
#include "platform/safefile.h"
#include "swf/movie.h"

#include <QFileInfo>
#include <cmath>

namespace plovex::cli {
namespace {

// The longest track written: three hours.
constexpr double kMaxSeconds = 3 * 60 * 60;

int runRenderAudio(const QStringList& args)
{
    const QString usageText = QStringLiteral("usage: render-audio MOVIE OUT.wav [--frames N | --seconds S]");
    QStringList paths;
    std::optional<double> frames, seconds;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--frames") || a == QLatin1String("--seconds")) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value").arg(a));
            bool ok = false;
            const double v = args[++i].toDouble(&ok);
            if (!ok || !(v > 0) || !std::isfinite(v) || (a == QLatin1String("--frames") && v != std::floor(v)))
                return fail(QStringLiteral("%1 must be a %2 above 0").arg(a, a == QLatin1String("--frames") ? "whole number" : "number"));
            (a == QLatin1String("--frames") ? frames : seconds) = v;
        } else if (a.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option %1").arg(a));
        } else {
            paths << a;
        }
    }
    if (paths.size() != 2)
        return fail(usageText);
    if (frames && seconds)
        return fail(QStringLiteral("--frames and --seconds do not go together"));
    if (!QFileInfo(paths[0]).isFile())
        return fail(QStringLiteral("%1: no such file").arg(paths[0]));
    const auto movie = swf::LoadMovieFile(paths[0]);
    if (!movie->info.valid)
        return fail(QStringLiteral("%1: not a SWF movie").arg(paths[0]));
    const double rate = audio::PlayedFrameRate(movie->info.frameRate);
    // By default one pass through the main timeline.
    double length = seconds ? *seconds : (frames ? *frames : double(movie->root.frames.size())) / rate;
    if (length > kMaxSeconds)
        return fail(QStringLiteral("the track may be at most %1 seconds long").arg(kMaxSeconds));
    const qint64 outputFrames = qint64(std::llround(length * audio::kOutputRate));
    // Scripts run as in the other headless commands, so the sounds they
    // start are in the track, the same on every run.
    const audio::Pcm track = audio::RenderMovieAudio(movie, outputFrames, headlessScripts(paths[0], {}));
    const QString error = ReplaceFileContents(paths[1], audio::WavFile(track));
    if (!error.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(paths[1], error));
    return 0;
}

const Command renderAudio("render-audio",
                          "render-audio MOVIE OUT.wav [--frames N | --seconds S]   write the movie's mixed "
                          "sound track as a 44.1 kHz 16-bit stereo WAV",
                          runRenderAudio);

} // namespace
} // namespace plovex::cli
