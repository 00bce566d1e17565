#pragma once

// Runs a movie built with the project's writer through the frame loop,
// with its trace output collected.

#include "avm1/frame_loop.h"
#include "swf/player.h"
#include "swf/writer.h"

#include <QStringList>

#include <memory>

namespace plovex::avm1 {

struct Run {
    QStringList lines;
    QStringList warnings;
    std::unique_ptr<swf::Player> player;
};

// Loads the movie with its scripts; trace output goes to lines.
inline std::unique_ptr<Run> Start(const QByteArray& bytes, qint64 timeLimitMs = 15000)
{
    auto run = std::make_unique<Run>();
    ScriptOptions o;
    o.virtualClock = true;
    o.timeLimitMs = timeLimitMs;
    QStringList* lines = &run->lines;
    o.trace = [lines](const QString& l) { lines->append(l); };
    QStringList* warnings = &run->warnings;
    o.warning = [warnings](const QString& w) { warnings->append(w); };
    run->player = std::make_unique<swf::Player>(swf::LoadMovie(bytes), ScriptedMovies(o));
    return run;
}

inline swf::WriterOptions Options(int version = 10)
{
    swf::WriterOptions o;
    o.version = version;
    o.frameSize = swf::Rect{0, 200 * 20, 0, 100 * 20};
    o.frameRate = 10;
    return o;
}

} // namespace plovex::avm1
