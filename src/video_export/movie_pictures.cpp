#include "video_export/movie_pictures.h"

namespace plovex::video {

MoviePictures::MoviePictures(std::shared_ptr<const swf::Movie> movie, const swf::MovieRuntimeFactory& scripts,
                             Input input)
    : player_(std::move(movie), scripts), input_(std::move(input))
{
}

void MoviePictures::showFrame(int frame)
{
    while (frame_ < frame) {
        if (++frame_ > 1)
            player_.advance(1);
        if (swf::MovieRuntime* rt = player_.scripts(); rt && input_)
            input_(frame_, *rt);
    }
}

} // namespace plovex::video
