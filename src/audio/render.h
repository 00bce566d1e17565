#pragma once

// The movie's sound track without a device: the same frame loop and mixer
// calls the player makes while it plays, run as fast as the machine goes.

#include "audio/mixer.h"
#include "swf/player.h"

#include <QByteArray>
#include <optional>

namespace plovex::audio {

// The rate a movie is played at: its header's, 12 frames a second when the
// header gives none (or nonsense), never more than 120.
double PlayedFrameRate(double headerRate);

// How many frames a playing root timeline moves on at one of its ticks:
// one at its own rate; while its stream sound plays, as many as make it
// show the frame whose sound is heard (frames are dropped to keep up; none
// while the sound is behind).
int FramesToAdvance(std::optional<int> streamFrame, int currentFrame);

// The mixed track, piece by piece: the movie plays from its first frame at
// its own rate, looping at its end, its root timeline following its stream
// sound as the player's does. Successive calls continue the one track.
// With `scripts` (a headless factory, whose clock moves one frame interval
// a frame) the movie's scripts run, and the sounds they start are heard.
class MovieAudioRenderer {
public:
    explicit MovieAudioRenderer(const std::shared_ptr<const swf::Movie>& movie,
                                const swf::MovieRuntimeFactory& scripts = {});
    MovieAudioRenderer(const MovieAudioRenderer&) = delete;
    MovieAudioRenderer& operator=(const MovieAudioRenderer&) = delete;

    // The next `frames` output frames, interleaved, into `out`.
    void render(int16_t* out, qint64 frames);
    // Moves on by `frames` output frames without keeping them.
    void skip(qint64 frames);

private:
    std::shared_ptr<const swf::Movie> movie_;
    Mixer mixer_;
    swf::Player player_;
    double framePeriod_ = 0;
    qint64 done_ = 0, tick_ = 1, nextTick_ = 0;
};

// Whether the movie carries any sound at all (an event sound or a stream).
bool MovieHasSound(const swf::Movie& movie);

// The mixed track of `outputFrames` frames at 44.1 kHz: the movie plays
// from its first frame at its own rate, looping at its end, its root
// timeline following its stream sound as the player's does (scripts as
// MovieAudioRenderer runs them).
Pcm RenderMovieAudio(const std::shared_ptr<const swf::Movie>& movie, qint64 outputFrames,
                     const swf::MovieRuntimeFactory& scripts = {});

// A 44.1 kHz 16-bit stereo RIFF WAVE file of the samples.
QByteArray WavFile(const Pcm& pcm);

} // namespace plovex::audio
