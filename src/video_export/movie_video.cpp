#include "video_export/movie_video.h"

#include "audio/render.h"

#include <cmath>

namespace plovex::video {

double MovieVideoFrameRate(const swf::Movie& movie)
{
    return audio::PlayedFrameRate(movie.info.frameRate);
}

qint64 MovieFramesForSeconds(const swf::Movie& movie, double seconds)
{
    return std::max<qint64>(1, qint64(std::llround(seconds * MovieVideoFrameRate(movie))));
}

ExportOutcome ExportMovieVideo(const MovieVideo& job)
{
    const double rate = MovieVideoFrameRate(*job.movie);
    VideoJob v;
    v.format = job.format;
    v.path = job.path;
    v.size = VideoSizeFor(job.format, job.size);
    v.frameRate = rate;
    v.frames = job.frames;
    v.crf = job.crf;
    v.progress = job.progress;
    // Each run of pictures is a new headless run from the movie's start,
    // so the pictures repeat exactly.
    v.pictures = [&job, size = v.size]() -> std::function<QImage()> {
        auto run = std::make_shared<MoviePictures>(job.movie, job.scripts, job.input);
        auto next = std::make_shared<int>(std::max(1, job.from));
        return [run, next, size, &job] {
            run->showFrame((*next)++);
            return run->picture(size, job.render);
        };
    };
    std::unique_ptr<audio::MovieAudioRenderer> sound;
    if (VideoFormatHasSound(job.format) && audio::MovieHasSound(*job.movie)) {
        sound = std::make_unique<audio::MovieAudioRenderer>(job.movie, job.scripts);
        // The track from the first frame written: frame F is heard from
        // (F - 1) frame intervals on.
        sound->skip(qint64(std::llround((std::max(1, job.from) - 1) * audio::kOutputRate / rate)));
        v.sound = [&sound](int16_t* out, qint64 frames) { sound->render(out, frames); };
    }
    return ExportVideo(v);
}

} // namespace plovex::video
