// The script Sound object heard through the mixer: movies built with the
// project's writer whose scripts attach, start, transform and stop an
// exported sound, rendered as `plovex-cli render-audio` renders them, with
// the samples checked one by one.

#include "audio/render.h"
#include "audio/sound_fixtures.h"
#include "avm1/frame_loop.h"
#include "swf/writer.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <tuple>

namespace plovex::avm1 {
namespace {

using swf::ActionWriter;

constexpr int kSoundFrames = 3000;   // about 68 ms at 44.1 kHz
constexpr int kFramePeriod = 4410;   // output frames of one movie frame at 10 frames a second

// The exported sound: stereo 16-bit PCM at 44.1 kHz, every sample its own
// value, the left channel positive and the right negative.
int16_t Left(int i) { return int16_t(6000 + i); }
int16_t Right(int i) { return int16_t(-3000 - 2 * i); }

QByteArray SoundData()
{
    QByteArray d;
    for (int i = 0; i < kSoundFrames; ++i)
        for (int16_t v : {Left(i), Right(i)})
            d.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    return d;
}

ActionWriter& Pop(ActionWriter& a) { return a.op(0x17); }

// name = new Sound(target); target "" makes a Sound of no clip.
ActionWriter& NewSound(ActionWriter& a, const QString& name, const QString& target)
{
    a.push(name);
    if (target.isEmpty())
        a.pushInt(0);
    else
        a.push(target).pushInt(1);
    return a.push(QStringLiteral("Sound")).op(0x40).setVariable();
}

// A movie of `frames` frames at 10 a second; frame 1 runs `setup`, and
// every frame traces its number first.
QByteArray Movie(const ActionWriter& setup, int frames = 6, const std::map<int, ActionWriter>& later = {})
{
    swf::SwfWriter w({.version = 8, .frameRate = 10});
    w.defineSound(1, 3, 3, true, true, kSoundFrames, SoundData());
    w.exportAssets({{1, QStringLiteral("tone")}});
    for (int f = 0; f < frames; ++f) {
        ActionWriter a;
        a.push(QStringLiteral("frame %1").arg(f + 1)).trace();
        w.doAction(a);
        if (f == 0)
            w.doAction(setup);
        if (const auto it = later.find(f); it != later.end())
            w.doAction(it->second);
        w.showFrame();
    }
    return w.finish();
}

struct Heard {
    audio::Pcm pcm;
    QStringList lines;
};

// The movie's track as render-audio makes it: scripts on the headless
// clock, the mixer's clock driving the frames.
Heard Render(const QByteArray& bytes, qint64 outputFrames, const QString& moviePath = {})
{
    Heard h;
    ScriptOptions o;
    o.virtualClock = true;
    o.moviePath = moviePath;
    o.trace = [&h](const QString& line) { h.lines << line; };
    h.pcm = audio::RenderMovieAudio(swf::LoadMovie(bytes), outputFrames, ScriptedMovies(o));
    return h;
}

// What one sample frame of the sound becomes through a transform: gains
// in per cent (ll: left to left, rl: right to left, ...) and a volume.
struct Gains {
    int ll = 100, rl = 0, lr = 0, rr = 100, volume = 100;
};
std::pair<int, int> Through(const Gains& g, int i)
{
    const double l = Left(i), r = Right(i), v = g.volume / 100.0;
    return {int(std::llround((l * g.ll / 100.0 + r * g.rl / 100.0) * v)),
            int(std::llround((l * g.lr / 100.0 + r * g.rr / 100.0) * v))};
}

// Checks that the track holds the sound `loops` times through `g` from its
// first frame on, and silence after.
void ExpectLoops(const audio::Pcm& pcm, const Gains& g, int loops, const std::string& what)
{
    const qint64 end = qint64(loops) * kSoundFrames;
    ASSERT_GE(pcm.frames(), end + kSoundFrames) << what;
    int wrong = 0;
    for (qint64 i = 0; i < pcm.frames(); ++i) {
        const auto [l, r] = i < end ? Through(g, int(i % kSoundFrames)) : std::pair<int, int>{0, 0};
        if ((pcm.samples[size_t(2 * i)] != l || pcm.samples[size_t(2 * i + 1)] != r) && wrong++ < 3)
            ADD_FAILURE() << what << ": frame " << i << " is " << pcm.samples[size_t(2 * i)] << ", "
                          << pcm.samples[size_t(2 * i + 1)] << " instead of " << l << ", " << r;
    }
    EXPECT_EQ(wrong, 0) << what;
}

TEST(Avm1Sound, StartedSoundsLoopThroughTheirTransforms)
{
    struct Case {
        const char* what;
        std::function<void(ActionWriter&)> script;   // with s a Sound on "tone"
        const char* target;
        Gains gains;
        int loops;
    };
    const std::vector<Case> cases = {
        {"played as it is, once", [](ActionWriter&) {}, "", {}, 1},
        {"a global volume of 50", [](ActionWriter& a) { Pop(a.push(50.0).callMethod(1, "s", "setVolume")); }, "",
         {.volume = 50}, 3},
        {"the root clip's pan -60: the right speaker at 40 %",
         [](ActionWriter& a) { Pop(a.push(-60.0).callMethod(1, "s", "setPan")); }, "_root", {.rr = 40}, 2},
        {"pan 25: the left speaker at 75 %", [](ActionWriter& a) { Pop(a.push(25.0).callMethod(1, "s", "setPan")); },
         "_root", {.ll = 75}, 1},
        {"setTransform's \"lr\" sends the right channel to the left speaker",
         [](ActionWriter& a) {
             a.push(QStringLiteral("ll")).push(0.0).push(QStringLiteral("lr")).push(100.0);
             a.push(QStringLiteral("rl")).push(0.0).push(QStringLiteral("rr")).push(100.0).pushInt(4).op(0x43);
             Pop(a.callMethod(1, "s", "setTransform"));
         },
         "", {.ll = 0, .rl = 100, .lr = 0, .rr = 100}, 2},
        {"the clip's volume within the global one",
         [](ActionWriter& a) {
             Pop(a.push(50.0).callMethod(1, "s", "setVolume"));
             NewSound(a, QStringLiteral("g"), QString());
             Pop(a.push(40.0).callMethod(1, "g", "setVolume"));
         },
         "_root", {.volume = 20}, 1},
        {"another clip's volume does not reach it",
         [](ActionWriter& a) {
             Pop(a.pushInt(5).push(QStringLiteral("mc")).callMethod(2, "_root", "createEmptyMovieClip"));
             NewSound(a, QStringLiteral("m"), QStringLiteral("mc"));
             Pop(a.push(0.0).callMethod(1, "m", "setVolume"));
         },
         "_root", {}, 2},
    };
    for (const Case& c : cases) {
        ActionWriter a;
        NewSound(a, QStringLiteral("s"), QString::fromLatin1(c.target));
        Pop(a.push(QStringLiteral("tone")).callMethod(1, "s", "attachSound"));
        c.script(a);
        Pop(a.push(double(c.loops)).push(0.0).callMethod(2, "s", "start"));
        const Heard h = Render(Movie(a), 5 * kFramePeriod);
        ExpectLoops(h.pcm, c.gains, c.loops, c.what);
    }
}

TEST(Avm1Sound, OnSoundCompleteComesOnceAtTheFrameAfterTheEnd)
{
    // Three loops of 3000 frames end 9000 frames in, during the third
    // movie frame (8820 to 13230); the next frame hears of it first.
    ActionWriter done;
    done.push(QStringLiteral("complete")).trace();
    ActionWriter a;
    NewSound(a, QStringLiteral("s"), QString());
    Pop(a.push(QStringLiteral("tone")).callMethod(1, "s", "attachSound"));
    a.push(QStringLiteral("s")).getVariable().push(QStringLiteral("onSoundComplete"));
    a.defineFunction(QString(), {}, done).op(0x4F);
    a.push(QStringLiteral("s")).getVariable().push(QStringLiteral("duration")).op(0x4E).trace();
    Pop(a.push(3.0).push(0.0).callMethod(2, "s", "start"));
    std::map<int, ActionWriter> later;
    // Where the sound is at the second frame: 4410 frames in, 1410 into
    // its second loop, 32 ms.
    later[1].push(QStringLiteral("s")).getVariable().push(QStringLiteral("position")).op(0x4E).trace();
    const Heard h = Render(Movie(a, 6, later), 6 * kFramePeriod - 1);
    EXPECT_EQ(h.lines, (QStringList{"frame 1", "68", "frame 2", "32", "frame 3", "complete", "frame 4", "frame 5",
                                    "frame 6"}));
    ExpectLoops(h.pcm, {}, 3, "three loops");
}

TEST(Avm1Sound, StopSilencesTheSoundsItNames)
{
    struct Case {
        const char* what;
        const char* target;
        std::function<void(ActionWriter&)> stop;
        bool silenced;
    };
    const std::vector<Case> cases = {
        {"stop() on a Sound of no clip", "", [](ActionWriter& a) { Pop(a.callMethod(0, "s", "stop")); }, true},
        {"stop() on the clip's Sound", "_root", [](ActionWriter& a) { Pop(a.callMethod(0, "s", "stop")); }, true},
        {"stop(name)", "_root",
         [](ActionWriter& a) { Pop(a.push(QStringLiteral("tone")).callMethod(1, "s", "stop")); }, true},
        {"stop(another name)", "",
         [](ActionWriter& a) { Pop(a.push(QStringLiteral("none")).callMethod(1, "s", "stop")); }, false},
        {"stop() on another clip's Sound", "_root",
         [](ActionWriter& a) {
             Pop(a.pushInt(5).push(QStringLiteral("mc")).callMethod(2, "_root", "createEmptyMovieClip"));
             NewSound(a, QStringLiteral("m"), QStringLiteral("mc"));
             Pop(a.callMethod(0, "m", "stop"));
         },
         false},
    };
    for (const Case& c : cases) {
        // Ten loops, stopped by the third frame's script (8820 frames in)
        // or heard to their end; never completed when stopped.
        ActionWriter a;
        NewSound(a, QStringLiteral("s"), QString::fromLatin1(c.target));
        Pop(a.push(QStringLiteral("tone")).callMethod(1, "s", "attachSound"));
        a.push(QStringLiteral("s")).getVariable().push(QStringLiteral("onSoundComplete"));
        a.defineFunction(QString(), {}, ActionWriter().push(QStringLiteral("complete")).trace()).op(0x4F);
        Pop(a.push(10.0).push(0.0).callMethod(2, "s", "start"));
        std::map<int, ActionWriter> later;
        c.stop(later[2]);
        const Heard h = Render(Movie(a, 12, later), 11 * kFramePeriod);
        const qint64 heardUntil = c.silenced ? 2 * kFramePeriod : 10 * kSoundFrames;
        int wrong = 0;
        for (qint64 i = 0; i < h.pcm.frames(); ++i) {
            const int16_t want = i < heardUntil ? Left(int(i % kSoundFrames)) : 0;
            if (h.pcm.samples[size_t(2 * i)] != want && wrong++ < 3)
                ADD_FAILURE() << c.what << ": frame " << i << " is " << h.pcm.samples[size_t(2 * i)] << " instead of "
                              << want;
        }
        EXPECT_EQ(wrong, 0) << c.what;
        EXPECT_EQ(h.lines.contains(QStringLiteral("complete")), !c.silenced) << c.what;
    }
}

TEST(Avm1Sound, LoadSoundReadsALocalMp3BesideTheMovie)
{
    // A 22.05 kHz MP3 from ffmpeg beside the movie, and a name that is not
    // there: both arrive once the frame that asked is done, in the order
    // asked.
    QTemporaryDir dir;
    audio::test::EncodeTone(dir.filePath("tone.mp3"), QStringLiteral("libmp3lame"), QStringLiteral("mp3"), 22050, 1, 0.5);
    const qint64 size = QFileInfo(dir.filePath("tone.mp3")).size();
    ASSERT_GT(size, 0);
    ActionWriter loaded;
    loaded.push(QStringLiteral("loaded ")).push(QStringLiteral("ok")).getVariable().op(0x47).trace();
    loaded.push(QStringLiteral("s")).getVariable().push(QStringLiteral("duration")).op(0x4E).trace();
    loaded.callMethod(0, "s", "getBytesTotal").trace();
    Pop(loaded.callMethod(0, "s", "start"));
    ActionWriter missing;
    missing.push(QStringLiteral("missing ")).push(QStringLiteral("ok")).getVariable().op(0x47).trace();
    ActionWriter a;
    for (const auto& [name, file, onLoad] : {std::tuple{"s", "tone.mp3", &loaded}, std::tuple{"m", "missing.mp3", &missing}}) {
        NewSound(a, QString::fromLatin1(name), QString());
        a.push(QString::fromLatin1(name)).getVariable().push(QStringLiteral("onLoad"));
        a.defineFunction(QString(), {QStringLiteral("ok")}, *onLoad).op(0x4F);
        Pop(a.pushBool(false).push(QString::fromLatin1(file)).callMethod(2, name, "loadSound"));
    }
    const QString moviePath = dir.filePath("movie.swf");
    const Heard h = Render(Movie(a), 4 * kFramePeriod - 1, moviePath);
    ASSERT_EQ(h.lines.size(), 8) << h.lines.join('|').toStdString();
    EXPECT_EQ(h.lines.mid(0, 2), (QStringList{"frame 1", "loaded true"}));
    // Half a second, with the encoder's delay and padding.
    EXPECT_GE(h.lines[2].toDouble(), 500) << h.lines[2].toStdString();
    EXPECT_LE(h.lines[2].toDouble(), 600) << h.lines[2].toStdString();
    EXPECT_EQ(h.lines[3], QString::number(size));
    EXPECT_EQ(h.lines.mid(4), (QStringList{"missing false", "frame 2", "frame 3", "frame 4"}));
    // Started as the first frame's scripts ended: heard with that frame.
    const auto rms = [&h](qint64 from, qint64 to) {
        double sum = 0;
        for (qint64 i = from; i < to; ++i)
            sum += double(h.pcm.samples[size_t(2 * i)]) * h.pcm.samples[size_t(2 * i)];
        return std::sqrt(sum / double(to - from));
    };
    // ffmpeg's sine peaks at 1/8 of full scale.
    EXPECT_GT(rms(kFramePeriod, 3 * kFramePeriod), 1500);
}

} // namespace
} // namespace plovex::avm1
