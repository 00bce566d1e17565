#include "video_export/encoder.h"

#include "platform/errors.h"
#include "platform/safefile.h"

#include <QElapsedTimer>
#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace plovex::video {

namespace {

constexpr int kSoundRate = 44100;
constexpr int kSoundChannels = 2;
// GIF delays count hundredths of a second.
constexpr AVRational kGifTimeBase{1, 100};

QString averror(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

template <class T, void (*Free)(T**)>
struct AvDeleter {
    void operator()(T* p) const { Free(&p); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, AvDeleter<AVCodecContext, avcodec_free_context>>;
using FramePtr = std::unique_ptr<AVFrame, AvDeleter<AVFrame, av_frame_free>>;
using PacketPtr = std::unique_ptr<AVPacket, AvDeleter<AVPacket, av_packet_free>>;
using SwrPtr = std::unique_ptr<SwrContext, AvDeleter<SwrContext, swr_free>>;
using GraphPtr = std::unique_ptr<AVFilterGraph, AvDeleter<AVFilterGraph, avfilter_graph_free>>;

struct SwsDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct FifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

// The output file: the muxer writing through our own I/O into the new file
// beside the target.
class Output {
public:
    Output(const QString& path, const char* muxer) : path_(path)
    {
        if (const QString reason = file_.open(path); !reason.isEmpty())
            fail(reason);
        try {
            constexpr int kBufferSize = 1 << 16;
            auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
            io_ = avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &Output::writePacket, &Output::seek);
            if (!io_) {
                av_free(buffer);
                fail(averror(AVERROR(ENOMEM)));
            }
            if (const int r = avformat_alloc_output_context2(&fmt_, nullptr, muxer, nullptr); r < 0)
                fail(averror(r));
            fmt_->pb = io_;
            fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
            // The MP4 muxer reads the file back by this name to move its
            // index to the front.
            fmt_->url = av_strdup(file_.tempPath().constData());
        } catch (...) {
            release();
            throw;
        }
    }
    ~Output() { release(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    AVFormatContext* format() const { return fmt_; }

    // The one-line failure, with the reason of the file's own failed write
    // when there was one.
    [[noreturn]] void fail(const QString& reason) const
    {
        const QString why = file_.error().isEmpty() ? reason : file_.error();
        throw PlovexError(QStringLiteral("Cannot create file \"%1\". %2").arg(path_, why));
    }
    void check(int code) const
    {
        if (code < 0)
            fail(averror(code));
    }

    void commit()
    {
        avio_flush(io_);
        if (io_->error < 0)
            fail(averror(io_->error));
        if (const QString reason = file_.commit(); !reason.isEmpty())
            fail(reason);
    }

private:
    void release()
    {
        if (fmt_)
            avformat_free_context(fmt_);
        fmt_ = nullptr;
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
        // The new file goes unless committed.
        file_.abandon();
    }

    static int writePacket(void* opaque, uint8_t* data, int size)
    {
        auto* self = static_cast<Output*>(opaque);
        return self->file_.write(reinterpret_cast<const char*>(data), size) ? size : AVERROR(EIO);
    }
    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* self = static_cast<Output*>(opaque);
        whence &= ~AVSEEK_FORCE;
        if (whence == AVSEEK_SIZE)
            return AVERROR(ENOSYS);
        const qint64 at = self->file_.seek(offset, whence);
        return at < 0 ? AVERROR(EIO) : at;
    }

    QString path_;
    ReplacementFile file_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* fmt_ = nullptr;
};

// One encoder feeding one stream of the output.
struct Encoder {
    CodecPtr codec;
    AVStream* stream = nullptr;
    PacketPtr packet{av_packet_alloc()};

    // Sends a frame (or, with nullptr, the end) and writes what comes out.
    void send(const Output& out, const AVFrame* frame)
    {
        out.check(avcodec_send_frame(codec.get(), frame));
        for (;;) {
            const int r = avcodec_receive_packet(codec.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return;
            out.check(r);
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            out.check(av_interleaved_write_frame(out.format(), packet.get()));
        }
    }
};

CodecPtr openCodec(const Output& out, const char* name, const std::function<void(AVCodecContext*)>& setUp,
                   AVDictionary** options = nullptr)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        out.fail(QStringLiteral("The encoder %1 is not available.").arg(QString::fromLatin1(name)));
    CodecPtr ctx(avcodec_alloc_context3(codec));
    setUp(ctx.get());
    if (out.format()->oformat->flags & AVFMT_GLOBALHEADER)
        ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    out.check(avcodec_open2(ctx.get(), codec, options));
    return ctx;
}

AVStream* addStream(const Output& out, const AVCodecContext* codec)
{
    AVStream* s = avformat_new_stream(out.format(), nullptr);
    if (!s)
        out.fail(averror(AVERROR(ENOMEM)));
    out.check(avcodec_parameters_from_context(s->codecpar, codec));
    s->time_base = codec->time_base;
    return s;
}

// A filter graph from a description whose open inputs are named (each fed
// by a buffer source with the arguments given for its name) and whose one
// open output goes to a buffer sink.
struct FilterGraph {
    GraphPtr graph{avfilter_graph_alloc()};
    std::map<std::string, AVFilterContext*> sources;
    AVFilterContext* sink = nullptr;

    FilterGraph(const Output& out, const char* description, const std::map<std::string, std::string>& sourceArgs)
    {
        AVFilterInOut* inputs = nullptr;
        AVFilterInOut* outputs = nullptr;
        const int parsed = avfilter_graph_parse2(graph.get(), description, &inputs, &outputs);
        const auto freeLists = [&] {
            avfilter_inout_free(&inputs);
            avfilter_inout_free(&outputs);
        };
        if (parsed < 0) {
            freeLists();
            out.check(parsed);
        }
        int r = 0;
        for (AVFilterInOut* in = inputs; in && r >= 0; in = in->next) {
            const auto args = sourceArgs.find(in->name ? in->name : "");
            if (args == sourceArgs.end()) {
                r = AVERROR(EINVAL);
                break;
            }
            AVFilterContext* src = nullptr;
            r = avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), in->name, args->second.c_str(),
                                             nullptr, graph.get());
            if (r >= 0)
                r = avfilter_link(src, 0, in->filter_ctx, unsigned(in->pad_idx));
            sources[in->name] = src;
        }
        if (r >= 0 && outputs) {
            r = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                             graph.get());
            if (r >= 0)
                r = avfilter_link(outputs->filter_ctx, unsigned(outputs->pad_idx), sink, 0);
        }
        freeLists();
        out.check(r);
        out.check(avfilter_graph_config(graph.get(), nullptr));
    }
};

std::string bufferArgs(QSize size, AVPixelFormat format)
{
    return QStringLiteral("video_size=%1x%2:pix_fmt=%3:time_base=%4/%5:pixel_aspect=1/1")
        .arg(size.width())
        .arg(size.height())
        .arg(int(format))
        .arg(kGifTimeBase.num)
        .arg(kGifTimeBase.den)
        .toStdString();
}

// A rendered picture as 32-bit pixels in memory order B, G, R, A: a
// premultiplied picture as it is (the stage is opaque, and what is not
// opaque comes out as over black, as RGB32 would make it), any other
// format converted.
QImage bgraPicture(const Output& out, const QImage& picture, QSize size)
{
    if (picture.size() != size)
        out.fail(QStringLiteral("A picture came out at %1 x %2 pixels instead of %3 x %4.")
                     .arg(picture.width())
                     .arg(picture.height())
                     .arg(size.width())
                     .arg(size.height()));
    switch (picture.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return picture;
    default:
        return picture.convertToFormat(QImage::Format_RGB32);
    }
}

// A rendered picture as an FFmpeg frame (BGRA in memory), sharing nothing.
FramePtr pictureFrame(const Output& out, const QImage& picture, QSize size)
{
    const QImage rgb = bgraPicture(out, picture, size);
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_BGRA;
    frame->width = size.width();
    frame->height = size.height();
    out.check(av_frame_get_buffer(frame.get(), 0));
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(frame->data[0] + qsizetype(y) * frame->linesize[0], rgb.constScanLine(y),
                    size_t(size.width()) * 4);
    return frame;
}

class Exporter {
public:
    explicit Exporter(const VideoJob& job)
        : job_(job), out_(job.path, muxerName(job.format)), rate_(av_d2q(job.frameRate, 100000))
    {
        clock_.start();
        passes_ = job.format == VideoFormat::Gif ? 2 : 1;
    }

    ExportOutcome run()
    {
        if (job_.format == VideoFormat::Gif) {
            if (!makePalette())
                return ExportOutcome::Cancelled;
        }
        openVideo();
        if (job_.sound && VideoFormatHasSound(job_.format))
            openSound();
        AVDictionary* muxerOptions = nullptr;
        if (job_.format == VideoFormat::Mp4)
            av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
        const int header = avformat_write_header(out_.format(), &muxerOptions);
        av_dict_free(&muxerOptions);
        out_.check(header);

        const auto next = job_.pictures();
        for (qint64 i = 0; i < job_.frames; ++i) {
            encodePicture(next(), i);
            if (sound_.codec)
                pumpSound(soundSamplesUntil(i + 1), false);
            if (!report())
                return ExportOutcome::Cancelled;
        }
        if (sound_.codec) {
            pumpSound(soundSamplesUntil(job_.frames), true);
            sound_.send(out_, nullptr);
        }
        if (job_.format == VideoFormat::Gif)
            flushGif();
        video_.send(out_, nullptr);
        out_.check(av_write_trailer(out_.format()));
        out_.commit();
        return ExportOutcome::Written;
    }

private:
    static const char* muxerName(VideoFormat f)
    {
        switch (f) {
        case VideoFormat::Mp4: return "mp4";
        case VideoFormat::Webm: return "webm";
        case VideoFormat::Mkv: return "matroska";
        case VideoFormat::Gif: return "gif";
        }
        return "mp4";
    }

    bool report()
    {
        ++done_;
        if (!job_.progress)
            return true;
        return job_.progress(VideoProgress{done_, job_.frames * passes_, clock_.nsecsElapsed() / 1e9});
    }

    qint64 soundSamplesUntil(qint64 picture) const
    {
        return qint64(std::llround(double(picture) * kSoundRate / job_.frameRate));
    }

    qint64 gifTime(qint64 picture) const
    {
        return qint64(std::llround(double(picture) * kGifTimeBase.den / job_.frameRate));
    }

    // ---- pictures

    void openVideo()
    {
        const QSize size = job_.size;
        const int crf = job_.crf >= 0 ? job_.crf : DefaultCrf(job_.format);
        AVDictionary* options = nullptr;
        const char* name = "libx264";
        if (job_.format == VideoFormat::Webm) {
            name = "libvpx-vp9";
            av_dict_set_int(&options, "crf", crf, 0);
            av_dict_set(&options, "deadline", "good", 0);
            av_dict_set_int(&options, "cpu-used", 5, 0);
            av_dict_set_int(&options, "row-mt", 1, 0);
        } else if (job_.format == VideoFormat::Gif) {
            name = "gif";
        } else {
            av_dict_set_int(&options, "crf", crf, 0);
            av_dict_set(&options, "preset", "veryfast", 0);
        }
        const bool gif = job_.format == VideoFormat::Gif;
        const std::unique_ptr<AVDictionary*, void (*)(AVDictionary**)> freeOptions(&options, av_dict_free);
        video_.codec = openCodec(
            out_, name,
            [&](AVCodecContext* c) {
                c->width = size.width();
                c->height = size.height();
                c->sample_aspect_ratio = AVRational{1, 1};
                c->time_base = gif ? kGifTimeBase : av_inv_q(rate_);
                c->framerate = rate_;
                c->pix_fmt = gif ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
                c->thread_count = 0;
                if (!gif) {
                    c->bit_rate = 0;
                    c->color_range = AVCOL_RANGE_MPEG;
                    c->colorspace = AVCOL_SPC_BT709;
                    c->color_primaries = AVCOL_PRI_BT709;
                    c->color_trc = AVCOL_TRC_BT709;
                }
            },
            &options);
        video_.stream = addStream(out_, video_.codec.get());
        video_.stream->avg_frame_rate = rate_;
        video_.stream->r_frame_rate = rate_;
        if (gif)
            return;
        yuv_.reset(av_frame_alloc());
        yuv_->format = AV_PIX_FMT_YUV420P;
        yuv_->width = size.width();
        yuv_->height = size.height();
        yuv_->color_range = AVCOL_RANGE_MPEG;
        yuv_->colorspace = AVCOL_SPC_BT709;
        out_.check(av_frame_get_buffer(yuv_.get(), 0));
        scaler_.reset(sws_getContext(size.width(), size.height(), AV_PIX_FMT_BGRA, size.width(), size.height(),
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP,
                                     nullptr, nullptr, nullptr));
        if (!scaler_)
            out_.fail(QStringLiteral("The colour conversion cannot be set up."));
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(scaler_.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }

    void encodePicture(const QImage& picture, qint64 index)
    {
        if (job_.format == VideoFormat::Gif) {
            FramePtr rgb = pictureFrame(out_, picture, job_.size);
            rgb->pts = gifTime(index);
            out_.check(av_buffersrc_add_frame(gifGraph_->sources.at("in"), rgb.get()));
            drainGif();
            return;
        }
        // The picture's own pixels go to the colour conversion: no copy.
        const QImage rgb = bgraPicture(out_, picture, job_.size);
        const uint8_t* const planes[4] = {rgb.constBits(), nullptr, nullptr, nullptr};
        const int strides[4] = {int(rgb.bytesPerLine()), 0, 0, 0};
        out_.check(av_frame_make_writable(yuv_.get()));
        sws_scale(scaler_.get(), planes, strides, 0, job_.size.height(), yuv_->data, yuv_->linesize);
        yuv_->pts = index;
        video_.send(out_, yuv_.get());
    }

    // ---- GIF: a palette made from every picture, then each picture
    // mapped onto it.

    bool makePalette()
    {
        FilterGraph stats(out_, "[in]palettegen=max_colors=256:reserve_transparent=0:stats_mode=full",
                          {{"in", bufferArgs(job_.size, AV_PIX_FMT_BGRA)}});
        const auto next = job_.pictures();
        for (qint64 i = 0; i < job_.frames; ++i) {
            FramePtr rgb = pictureFrame(out_, next(), job_.size);
            rgb->pts = gifTime(i);
            out_.check(av_buffersrc_add_frame(stats.sources.at("in"), rgb.get()));
            if (!report())
                return false;
        }
        out_.check(av_buffersrc_add_frame(stats.sources.at("in"), nullptr));
        palette_.reset(av_frame_alloc());
        out_.check(av_buffersink_get_frame(stats.sink, palette_.get()));
        gifGraph_ = std::make_unique<FilterGraph>(
            out_, "[in][pal]paletteuse=dither=bayer:bayer_scale=5:diff_mode=rectangle",
            std::map<std::string, std::string>{
                {"in", bufferArgs(job_.size, AV_PIX_FMT_BGRA)},
                {"pal", bufferArgs(QSize(palette_->width, palette_->height), AVPixelFormat(palette_->format))}});
        out_.check(av_buffersrc_add_frame(gifGraph_->sources.at("pal"), palette_.get()));
        out_.check(av_buffersrc_add_frame(gifGraph_->sources.at("pal"), nullptr));
        return true;
    }

    // Encodes the mapped pictures the graph has ready.
    void drainGif()
    {
        for (;;) {
            FramePtr mapped(av_frame_alloc());
            const int r = av_buffersink_get_frame(gifGraph_->sink, mapped.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return;
            out_.check(r);
            video_.send(out_, mapped.get());
        }
    }

    void flushGif()
    {
        out_.check(av_buffersrc_add_frame(gifGraph_->sources.at("in"), nullptr));
        drainGif();
    }

    // ---- sound

    void openSound()
    {
        const char* name = "aac";
        AVSampleFormat format = AV_SAMPLE_FMT_FLTP;
        int rate = kSoundRate;
        int64_t bitRate = 192000;
        if (job_.format == VideoFormat::Webm) {
            name = "libopus";
            format = AV_SAMPLE_FMT_S16;
            rate = 48000;   // the only rate Opus files carry
            bitRate = 160000;
        } else if (job_.format == VideoFormat::Mkv) {
            name = "flac";
            format = AV_SAMPLE_FMT_S16;
            bitRate = 0;
        }
        sound_.codec = openCodec(out_, name, [&](AVCodecContext* c) {
            c->sample_fmt = format;
            c->sample_rate = rate;
            c->bit_rate = bitRate;
            av_channel_layout_default(&c->ch_layout, kSoundChannels);
            c->time_base = AVRational{1, rate};
        });
        sound_.stream = addStream(out_, sound_.codec.get());
        AVChannelLayout stereo;
        av_channel_layout_default(&stereo, kSoundChannels);
        SwrContext* swr = nullptr;
        out_.check(swr_alloc_set_opts2(&swr, &stereo, format, rate, &stereo, AV_SAMPLE_FMT_S16, kSoundRate, 0,
                                       nullptr));
        resampler_.reset(swr);
        out_.check(swr_init(swr));
        fifo_.reset(av_audio_fifo_alloc(format, kSoundChannels, 1 << 14));
        if (!fifo_)
            out_.fail(averror(AVERROR(ENOMEM)));
        frameSize_ = sound_.codec->frame_size > 0 ? sound_.codec->frame_size : 1024;
    }

    // Takes the track up to input sample `until`, and encodes every whole
    // frame of it (at the end, what is left too).
    void pumpSound(qint64 until, bool end)
    {
        const AVCodecContext* c = sound_.codec.get();
        std::vector<int16_t> input;
        std::vector<uint8_t*> planes(kSoundChannels);
        std::vector<std::vector<uint8_t>> converted(kSoundChannels);
        const bool planar = av_sample_fmt_is_planar(c->sample_fmt);
        const int bytes = av_get_bytes_per_sample(c->sample_fmt) * (planar ? 1 : kSoundChannels);
        const auto convert = [&](const int16_t* in, int count) {
            const int room = swr_get_out_samples(resampler_.get(), count) + 16;
            for (int p = 0; p < (planar ? kSoundChannels : 1); ++p) {
                converted[p].resize(size_t(room) * size_t(bytes));
                planes[p] = converted[p].data();
            }
            const uint8_t* inPlanes[1] = {reinterpret_cast<const uint8_t*>(in)};
            const int made = swr_convert(resampler_.get(), planes.data(), room, in ? inPlanes : nullptr, count);
            out_.check(made);
            if (made > 0 && av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes.data()), made) < made)
                out_.fail(averror(AVERROR(ENOMEM)));
        };
        while (soundIn_ < until) {
            const int n = int(std::min<qint64>(until - soundIn_, 4096));
            input.assign(size_t(n) * kSoundChannels, 0);
            job_.sound(input.data(), n);
            convert(input.data(), n);
            soundIn_ += n;
        }
        if (end)
            convert(nullptr, 0);
        const qint64 wanted = end ? qint64(std::llround(double(soundIn_) * c->sample_rate / kSoundRate)) : 0;
        while (av_audio_fifo_size(fifo_.get()) >= frameSize_ || (end && av_audio_fifo_size(fifo_.get()) > 0)) {
            int n = std::min(frameSize_, av_audio_fifo_size(fifo_.get()));
            // The resampler's last samples may run past the track's end.
            if (end && soundPts_ + n > wanted)
                n = int(std::max<qint64>(0, wanted - soundPts_));
            if (n <= 0)
                break;
            FramePtr frame(av_frame_alloc());
            frame->nb_samples = n;
            frame->format = c->sample_fmt;
            frame->sample_rate = c->sample_rate;
            out_.check(av_channel_layout_copy(&frame->ch_layout, &c->ch_layout));
            out_.check(av_frame_get_buffer(frame.get(), 0));
            if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), n) < n)
                out_.fail(averror(AVERROR(EIO)));
            frame->pts = soundPts_;
            soundPts_ += n;
            sound_.send(out_, frame.get());
        }
    }

    const VideoJob& job_;
    Output out_;
    AVRational rate_;
    QElapsedTimer clock_;
    qint64 done_ = 0;
    int passes_ = 1;

    Encoder video_;
    FramePtr yuv_;
    std::unique_ptr<SwsContext, SwsDeleter> scaler_;
    FramePtr palette_;
    std::unique_ptr<FilterGraph> gifGraph_;

    Encoder sound_;
    SwrPtr resampler_;
    std::unique_ptr<AVAudioFifo, FifoDeleter> fifo_;
    int frameSize_ = 1024;
    qint64 soundIn_ = 0, soundPts_ = 0;
};

} // namespace

std::optional<VideoFormat> VideoFormatForPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mp4"))
        return VideoFormat::Mp4;
    if (suffix == QLatin1String("webm"))
        return VideoFormat::Webm;
    if (suffix == QLatin1String("mkv"))
        return VideoFormat::Mkv;
    if (suffix == QLatin1String("gif"))
        return VideoFormat::Gif;
    return std::nullopt;
}

QString VideoFormatExtension(VideoFormat format)
{
    switch (format) {
    case VideoFormat::Mp4: return QStringLiteral(".mp4");
    case VideoFormat::Webm: return QStringLiteral(".webm");
    case VideoFormat::Mkv: return QStringLiteral(".mkv");
    case VideoFormat::Gif: return QStringLiteral(".gif");
    }
    return {};
}

QString KnownVideoExtensions()
{
    return QStringLiteral(".mp4, .webm, .mkv or .gif");
}

bool VideoFormatHasSound(VideoFormat format)
{
    return format != VideoFormat::Gif;
}

bool VideoFormatNeedsEvenSize(VideoFormat format)
{
    return format != VideoFormat::Gif;
}

QSize VideoSizeFor(VideoFormat format, QSize size)
{
    if (!VideoFormatNeedsEvenSize(format))
        return size;
    return QSize(std::max(2, size.width() & ~1), std::max(2, size.height() & ~1));
}

int DefaultCrf(VideoFormat format)
{
    return format == VideoFormat::Webm ? 24 : 18;
}

int MaxCrf(VideoFormat format)
{
    return format == VideoFormat::Webm ? 63 : 51;
}

ExportOutcome ExportVideo(const VideoJob& job)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    if (job.size.width() < 1 || job.size.height() < 1 || job.frames < 1 || !job.pictures)
        throw PlovexError(QStringLiteral("Cannot create file \"%1\". Nothing to write.").arg(job.path));
    if (VideoSizeFor(job.format, job.size) != job.size)
        throw PlovexError(QStringLiteral("Cannot create file \"%1\". The %2 format needs an even width and height.")
                              .arg(job.path, VideoFormatExtension(job.format)));
    Exporter exporter(job);
    return exporter.run();
}

} // namespace plovex::video
