// Helpers of the plovex-cli commands that run the SWF engine.

#include "cli/engine_support.h"

#include "avm1/frame_loop.h"
#include "swf/movie.h"
#include "swf/movie_file.h"

#include <QFile>

#include <sys/resource.h>

#include <cstdio>

namespace plovex::cli {

QString parseArgs(const QStringList& args, const QStringList& known, Options& out, const QStringList& flags,
                  int paths)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a.startsWith("--")) {
            const QString key = a.mid(2);
            if (flags.contains(key)) {
                out.flags << key;
                continue;
            }
            if (!known.contains(key))
                return QStringLiteral("unknown option %1").arg(a);
            if (i + 1 >= args.size())
                return QStringLiteral("%1 needs a value").arg(a);
            out.values[key] = args[++i];
        } else if (out.movie.isEmpty()) {
            out.movie = a;
        } else if (out.paths.size() + 1 < paths) {
            out.paths << a;
        } else {
            return QStringLiteral("unexpected argument %1").arg(a);
        }
    }
    if (out.movie.isEmpty())
        return QStringLiteral("no movie given");
    return {};
}

bool intOption(const Options& o, const QString& key, int& value, int min, int max, QString& error)
{
    const auto it = o.values.find(key);
    if (it == o.values.end())
        return true;
    bool ok = false;
    const int v = it->second.toInt(&ok);
    if (!ok || v < min || v > max) {
        error = QStringLiteral("--%1 must be a whole number from %2 to %3").arg(key).arg(min).arg(max);
        return false;
    }
    value = v;
    return true;
}

std::shared_ptr<const swf::Movie> loadOrFail(const QString& path, QString& error)
{
    QByteArray bytes;
    if (const QString reason = swf::ReadMovieFile(path, bytes); !reason.isEmpty()) {
        error = QStringLiteral("%1: %2").arg(path, reason);
        return nullptr;
    }
    auto movie = swf::LoadMovie(bytes);
    if (!movie->info.valid) {
        error = QStringLiteral("%1: not a SWF movie").arg(path);
        return nullptr;
    }
    // The engine's limits cut the movie short: said, and the rest shown.
    for (const QString& cut : movie->cutShort)
        std::fprintf(stderr, "plovex-cli: %s: %s\n", qPrintable(path), qPrintable(cut));
    return movie;
}

long peakMemoryKiB()
{
    QFile f("/proc/self/status");
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toLong();
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

bool qualityOption(const Options& o, bool byDefault, bool& antialias, QString& error)
{
    antialias = byDefault;
    const auto q = o.values.find("quality");
    if (q == o.values.end())
        return true;
    if (q->second == "high" || q->second == "low") {
        antialias = q->second == "high";
        return true;
    }
    error = QStringLiteral("--quality must be low or high");
    return false;
}

swf::MovieRuntimeFactory headlessScripts(const QString& path, std::function<void(const QString&)> trace)
{
    avm1::ScriptOptions so;
    so.virtualClock = true;
    so.moviePath = path;
    so.trace = std::move(trace);
    so.warning = [](const QString& w) { std::fprintf(stderr, "plovex-cli: %s\n", qPrintable(QString(w).replace(QLatin1Char('\n'), QLatin1Char(' ')))); };
    return avm1::ScriptedMovies(so);
}

} // namespace plovex::cli
