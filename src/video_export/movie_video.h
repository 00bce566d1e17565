#pragma once

// A movie as a video file: its pictures as a headless run shows them, at
// the movie's own frame rate, with its mixed sound track in step.

#include "swf/player.h"
#include "video_export/encoder.h"
#include "video_export/movie_pictures.h"

namespace plovex::video {

struct MovieVideo {
    std::shared_ptr<const swf::Movie> movie;
    // Makes the runtime of a scripted movie (headless, on a clock that
    // moves one frame interval per frame); may be empty.
    swf::MovieRuntimeFactory scripts;
    MoviePictures::Input input;
    QString path;
    VideoFormat format = VideoFormat::Mp4;
    QSize size;                      // of the video; the formats that need even sides get them (VideoSizeFor)
    swf::RenderOptions render;
    int from = 1;                    // the first frame written, counted from 1
    qint64 frames = 0;               // how many
    int crf = -1;
    std::function<bool(const VideoProgress&)> progress;
};

// The frame rate the video runs at: the rate the movie plays at.
double MovieVideoFrameRate(const swf::Movie& movie);
// How many frames `seconds` of the movie are (at least one).
qint64 MovieFramesForSeconds(const swf::Movie& movie, double seconds);

// Writes the video (see ExportVideo): a sound track when the format has one
// and the movie carries any sound, none otherwise.
ExportOutcome ExportMovieVideo(const MovieVideo& job);

} // namespace plovex::video
