#pragma once

// Writing pictures and a sound track as a video file through the FFmpeg
// libraries: H.264 with AAC in MP4, VP9 with Opus in WebM, H.264 with
// FLAC in Matroska, and animated GIF with a palette made for the pictures.

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace plovex::video {

enum class VideoFormat { Mp4, Webm, Mkv, Gif };

// The format a file name's extension chooses (".mp4", ".webm", ".mkv",
// ".gif", in any letter case); nothing for any other name.
std::optional<VideoFormat> VideoFormatForPath(const QString& path);
// ".mp4" and so on.
QString VideoFormatExtension(VideoFormat format);
// The extensions taken, for messages: ".mp4, .webm, .mkv or .gif".
QString KnownVideoExtensions();
// Whether the format carries a sound track (all but GIF).
bool VideoFormatHasSound(VideoFormat format);
// Whether the format keeps colour at half the resolution, so that both
// sides of its pictures must be even (all but GIF).
bool VideoFormatNeedsEvenSize(VideoFormat format);
// `size` with each side rounded down to an even number (at least 2) when
// the format needs it, else unchanged.
QSize VideoSizeFor(VideoFormat format, QSize size);

struct VideoProgress {
    qint64 done = 0;     // pictures encoded so far (a GIF counts each twice: it makes two passes)
    qint64 total = 0;
    double seconds = 0;  // since the export began
};

struct VideoJob {
    VideoFormat format = VideoFormat::Mp4;
    QString path;                 // the file to create or replace
    QSize size;                   // of every picture
    double frameRate = 24;
    qint64 frames = 0;            // how many pictures
    int crf = -1;                 // the encoder's constant-quality setting; -1: the format's default
    // Starts a run of the pictures from the first: each call of the
    // function returned gives the next picture, of `size`. A GIF makes two
    // runs (the first for its palette).
    std::function<std::function<QImage()>()> pictures;
    // The sound track in order, 44.1 kHz stereo 16-bit interleaved; empty
    // for a file without sound. Asked for exactly as many samples as the
    // pictures last.
    std::function<void(int16_t* out, qint64 frames)> sound;
    // Called after every picture; returning false cancels the export.
    std::function<bool(const VideoProgress&)> progress;
};

enum class ExportOutcome { Written, Cancelled };

// The constant-quality setting a format uses unless told (x264's and
// VP9's CRF scale; unused for GIF), and the range it takes.
int DefaultCrf(VideoFormat format);
int MaxCrf(VideoFormat format);

// Writes the video. The file is written beside its target and renamed
// over it when complete, so a failure or a cancel leaves no partial file
// and an existing file as it was. Raises PlovexError ("Cannot create file
// "<path>". <reason>") when the file cannot be written or encoded.
ExportOutcome ExportVideo(const VideoJob& job);

} // namespace plovex::video
