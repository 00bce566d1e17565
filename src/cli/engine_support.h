#pragma once

// Helpers of the plovex-cli commands that run the SWF engine (info,
// render, trace, bench, export-video).

#include "swf/player.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

namespace plovex::cli {

struct Options {
    QString movie;
    QStringList paths;                   // further paths after the movie
    std::map<QString, QString> values;   // --key value
    QStringList flags;                   // --flag
};

// Splits "MOVIE [PATH...] --key value --flag ..." into the movie path,
// up to `paths - 1` further paths and the options; returns an error
// message for anything it does not know.
QString parseArgs(const QStringList& args, const QStringList& known, Options& out, const QStringList& flags = {},
                  int paths = 1);
// --key as a whole number from min to max; false with a message otherwise.
bool intOption(const Options& o, const QString& key, int& value, int min, int max, QString& error);
// --quality low|high, or the default when absent.
bool qualityOption(const Options& o, bool byDefault, bool& antialias, QString& error);
// Loads the movie, printing what the engine's limits cut short; nullptr
// with a message when it is no movie.
std::shared_ptr<const swf::Movie> loadOrFail(const QString& path, QString& error);
// Scripts of headless runs see a clock that moves one frame interval per
// frame, so a run repeats exactly; trace output goes to `trace`.
swf::MovieRuntimeFactory headlessScripts(const QString& path, std::function<void(const QString&)> trace = {});
// The process's peak resident memory in KiB.
long peakMemoryKiB();

} // namespace plovex::cli
