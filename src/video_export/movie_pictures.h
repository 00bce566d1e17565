#pragma once

// The frames of a headless run, as `plovex-cli render` shows them: the
// movie plays from its first frame, one frame at a time, with its scripts
// (when the factory makes them) and the user input given for each frame.
// Given a mixer, the run is heard as well: the frames' sounds and the
// scripts' go to it, and its clock moves one frame interval a frame (the
// samples are dropped), so what scripts learn of their sounds (where they
// are, when they end) comes at the same frames on every run.

#include "audio/mixer.h"
#include "swf/player.h"

#include <functional>
#include <memory>

namespace plovex::video {

class MoviePictures {
public:
    // Input for frame `frame` (counted from 1), sent once it is shown.
    using Input = std::function<void(int frame, swf::MovieRuntime& runtime)>;

    MoviePictures(std::shared_ptr<const swf::Movie> movie, const swf::MovieRuntimeFactory& scripts, Input input = {},
                  audio::Mixer* sound = nullptr);

    // Moves on to frame `frame` (counted from 1; never back): the first
    // frame is shown at once, each later one is one advance followed by
    // that frame's input.
    void showFrame(int frame);
    int frame() const { return frame_; }

    QImage picture(const QSize& size, const swf::RenderOptions& options) const
    {
        return player_.renderImage(size, options);
    }
    swf::Player& player() { return player_; }

private:
    audio::Mixer* sound_ = nullptr;
    swf::Player player_;
    Input input_;
    int frame_ = 0;
    double framePeriod_ = 0;   // output frames
    qint64 mixed_ = 0;         // output frames the mixer has run
};

} // namespace plovex::video
