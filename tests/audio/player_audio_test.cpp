// The player control's sound: what it tells its sound as the commands run.

#include "player/shockwave_flash.h"
#include "swf/writer.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace plovex;

namespace {

// Records what the control asks of its sound, and answers the stream clock
// with what the test sets.
struct Recorder : audio::PlayerAudio {
    std::vector<std::string> calls;
    std::optional<int> clock;
    void setMovie(std::shared_ptr<const swf::Movie> movie) override { calls.push_back(movie ? "movie" : "no movie"); }
    void stopStreams() override { calls.push_back("stop streams"); }
    std::optional<int> rootStreamFrame(const swf::Timeline&) override { return clock; }
    void startSound(const swf::SoundStart& s) override { calls.push_back("start " + std::to_string(s.soundId)); }
    void streamBlock(const swf::TimelineId& t, int stream, int block) override
    {
        calls.push_back((t.isRoot() ? "root " : "sprite ") + std::to_string(stream) + ":" + std::to_string(block));
    }
    void stopAll() override { calls.push_back("stop all"); }
    std::vector<std::string> take() { return std::exchange(calls, {}); }
};

using Calls = std::vector<std::string>;

// 20 frames, a stream block in each, sound 2 started at frames 0 and 3.
QString WriteMovie(const QTemporaryDir& dir, const QString& name)
{
    swf::SwfWriter w({.frameRate = 20});
    w.defineSound(2, 3, 3, true, false, 10, QByteArray(20, '\1'));
    w.soundStreamHead(3, 3, true, false, 2205);
    for (int f = 0; f < 20; ++f) {
        w.soundStreamBlock(QByteArray(4410, '\2'));
        if (f == 0 || f == 3)
            w.startSound(2);
        w.showFrame();
    }
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(w.finish());
    return path;
}

struct PlayerAudio : ::testing::Test {
    QTemporaryDir dir;
    TShockwaveFlash flash;
    Recorder* rec = nullptr;
    void SetUp() override
    {
        auto r = std::make_unique<Recorder>();
        rec = r.get();
        flash.SetAudioForTesting(std::move(r));
        rec->take();
    }
};

TEST_F(PlayerAudio, OpeningAMoviePlaysItsFirstFrame)
{
    flash.SetMovie(WriteMovie(dir, "a.swf"));
    EXPECT_EQ(rec->take(), (Calls{"movie", "start 2", "root 0:0", "root 0:0"}));
    EXPECT_TRUE(flash.Playing());
    flash.SetMovie(WriteMovie(dir, "b.swf"));
    EXPECT_EQ(rec->take(), (Calls{"stop streams", "movie", "start 2", "root 0:0", "root 0:0"}));
    flash.SetMovie(" ");
    EXPECT_EQ(rec->take(), (Calls{"stop streams", "no movie"}));
}

// Played frames are heard; stepping, going to a frame and the timers'
// frame setting play nothing; Stop silences everything; Play resumes the
// stream at the frame's own block.
TEST_F(PlayerAudio, CommandsAndTheirSounds)
{
    flash.SetMovie(WriteMovie(dir, "a.swf"));
    rec->take();
    flash.PlayTimerTick();
    flash.PlayTimerTick();
    flash.PlayTimerTick();
    EXPECT_EQ(rec->take(), (Calls{"root 0:1", "root 0:2", "start 2", "root 0:3"}));
    flash.Stop();
    EXPECT_EQ(rec->take(), (Calls{"stop streams", "stop all"}));
    flash.SetFrameNum(9);
    flash.Forward();
    flash.Back();
    flash.SetFrameNum(2);
    EXPECT_TRUE(rec->take().empty());
    flash.Play();
    EXPECT_EQ(rec->take(), (Calls{"root 0:2"}));
    flash.SetFrameNum(12);   // halts: the stream stops, nothing starts
    EXPECT_EQ(rec->take(), (Calls{"stop streams"}));
    flash.Play();
    flash.Rewind();          // playing on from frame 0: the stream starts there
    EXPECT_EQ(rec->take(), (Calls{"root 0:12", "stop streams", "root 0:0"}));
}

// While the root's stream plays, the timer follows its clock: it jumps to
// the frame being heard, and waits while the sound is behind.
TEST_F(PlayerAudio, TimelineFollowsTheStreamClock)
{
    flash.SetMovie(WriteMovie(dir, "a.swf"));
    rec->take();
    rec->clock = 4;
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 4);
    EXPECT_EQ(rec->take(), (Calls{"root 0:1", "root 0:2", "start 2", "root 0:3", "root 0:4"}));
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 4);   // the sound has not moved on
    rec->clock.reset();               // no stream sound: the movie's own rate
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 5);
    // Without loop, the clock does not carry the movie past its end.
    flash.SetLoop(false);
    rec->clock = 40;
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 19);
    flash.PlayTimerTick();
    EXPECT_FALSE(flash.Playing());
}

} // namespace
