#include "video_export/movie_pictures.h"

#include "audio/render.h"

#include <cmath>
#include <vector>

namespace plovex::video {

MoviePictures::MoviePictures(std::shared_ptr<const swf::Movie> movie, const swf::MovieRuntimeFactory& scripts,
                             Input input, audio::Mixer* sound)
    : sound_(sound), player_([&] {
          if (sound_)
              sound_->setMovie(movie);
          return movie;
      }(), scripts, sound), input_(std::move(input))
{
    if (sound_)
        framePeriod_ = audio::kOutputRate / audio::PlayedFrameRate(player_.info().frameRate);
}

void MoviePictures::showFrame(int frame)
{
    std::vector<int16_t> scratch;
    while (frame_ < frame) {
        if (++frame_ > 1) {
            if (sound_) {
                // The frame interval before this frame is heard.
                const qint64 until = std::llround(double(frame_ - 1) * framePeriod_);
                scratch.resize(size_t(std::max<qint64>(0, until - mixed_)) * audio::kOutputChannels);
                sound_->mix(scratch.data(), until - mixed_);
                mixed_ = until;
            }
            player_.advance(1);
        }
        if (swf::MovieRuntime* rt = player_.scripts(); rt && input_)
            input_(frame_, *rt);
    }
}

} // namespace plovex::video
