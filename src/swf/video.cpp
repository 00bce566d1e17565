#include "swf/video.h"

#include "swf/movie.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <mutex>
#include <set>

namespace plovex::swf {

// --- Packets ------------------------------------------------------------------

namespace {

// Walks a screen video packet's blocks from `at`. Returns false unless the
// blocks end exactly at the packet's end; `whole` is set when every block
// carries its own pixels (nothing is taken from the picture before).
bool walkScreenBlocks(const QByteArray& data, size_t at, bool version2, bool& whole)
{
    if (size_t(data.size()) < at + 4)
        return false;
    Reader r(reinterpret_cast<const uint8_t*>(data.constData()) + at, size_t(data.size()) - at);
    const int blockW = 16 * (int(r.ub(4)) + 1);
    const int width = int(r.ub(12));
    const int blockH = 16 * (int(r.ub(4)) + 1);
    const int height = int(r.ub(12));
    if (width == 0 || height == 0)
        return false;
    if (version2) {
        const uint8_t flags = r.u8();
        if (flags & 0x03)   // a key picture or palette of its own: not handled by the decoder
            return false;
    }
    const int blocks = ((width + blockW - 1) / blockW) * ((height + blockH - 1) / blockH);
    whole = true;
    for (int i = 0; i < blocks; ++i) {
        const size_t size = size_t(r.u8()) << 8 | r.u8();
        if (r.failed() || size > r.remaining())
            return false;
        if (size == 0) {
            whole = false;
            continue;
        }
        if (version2) {
            // Flags: colour depth, a difference against the key picture,
            // or pixels primed from the picture before.
            const uint8_t flags = r.data()[r.pos()];
            if (flags & 0x07)
                whole = false;
        }
        r.skip(size);
    }
    return !r.failed() && r.atEnd();
}

// Sorenson H.263: an intra picture stands on its own.
bool h263Key(const QByteArray& data)
{
    Reader r(data);
    if (r.ub(17) != 1)
        return false;
    r.ub(5);    // version
    r.ub(8);    // temporal reference
    const uint32_t size = r.ub(3);
    if (size == 0)
        r.ub(16);
    else if (size == 1)
        r.ub(32);
    const uint32_t type = r.ub(2);
    return !r.failed() && type == 0;
}

} // namespace

VideoPacket ParseVideoPacket(int codec, const QByteArray& frameData)
{
    VideoPacket p;
    p.data = frameData;
    switch (codec) {
    case kVideoH263:
        p.key = h263Key(frameData);
        break;
    case kVideoVp6:
        p.key = !frameData.isEmpty() && !(uchar(frameData[0]) & 0x80);
        break;
    case kVideoVp6Alpha:
        p.key = frameData.size() > 3 && !(uchar(frameData[3]) & 0x80);
        break;
    case kVideoScreen:
    case kVideoScreen2: {
        const bool v2 = codec == kVideoScreen2;
        bool whole = false;
        // Flash tools write the FLV frame-type byte in front: key (1) or
        // inter (2) in the high half, the codec in the low half.
        if (!frameData.isEmpty()) {
            const int first = uchar(frameData[0]);
            const int type = first >> 4;
            if ((first & 0x0f) == codec && (type == 1 || type == 2) && walkScreenBlocks(frameData, 1, v2, whole)) {
                p.data = frameData.mid(1);
                p.key = type == 1 && whole;
                break;
            }
        }
        p.key = walkScreenBlocks(frameData, 0, v2, whole) && whole;
        break;
    }
    default:
        break;
    }
    return p;
}

// --- Decoder ------------------------------------------------------------------

struct VideoDecoder::Impl {
    const VideoCharacter& video;
    std::set<int> keys;           // frame numbers of key frames
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* sws = nullptr;
    int last = -1;                // the last frame number given to the decoder
    bool lastGood = false;        // whether the decoder holds a good picture
    QImage shown;                 // that picture, converted

    explicit Impl(const VideoCharacter& v) : video(v)
    {
        for (const auto& [number, data] : v.frames)
            if (ParseVideoPacket(v.codec, data).key)
                keys.insert(number);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
    }
    ~Impl()
    {
        close();
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    void close()
    {
        avcodec_free_context(&ctx);
        last = -1;
        lastGood = false;
        shown = QImage();
    }

    bool open()
    {
        AVCodecID id = AV_CODEC_ID_NONE;
        switch (video.codec) {
        case kVideoH263: id = AV_CODEC_ID_FLV1; break;
        case kVideoScreen: id = AV_CODEC_ID_FLASHSV; break;
        case kVideoVp6: id = AV_CODEC_ID_VP6F; break;
        case kVideoVp6Alpha: id = AV_CODEC_ID_VP6A; break;
        case kVideoScreen2: id = AV_CODEC_ID_FLASHSV2; break;
        default: return false;
        }
        // Damaged frames are expected in old files and handled here; the
        // decoder's own complaints would only clutter standard error.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
        const AVCodec* codec = avcodec_find_decoder(id);
        if (!codec || !frame || !packet)
            return false;
        ctx = avcodec_alloc_context3(codec);
        if (!ctx)
            return false;
        // One thread, so that the same frames always give the same
        // pictures; pictures no bigger than the Flash Player's bitmaps.
        ctx->thread_count = 1;
        ctx->max_pixels = kMaxBitmapPixels;
        if (avcodec_open2(ctx, codec, nullptr) < 0) {
            avcodec_free_context(&ctx);
            return false;
        }
        return true;
    }

    // Gives one frame to the decoder; false when it is damaged.
    bool decode(int number, const VideoPacket& p)
    {
        // The decoder may read a little past the data it is given, so the
        // data is copied into a buffer with zeroed padding.
        if (av_new_packet(packet, int(p.data.size())) < 0)
            return false;
        std::memcpy(packet->data, p.data.constData(), size_t(p.data.size()));
        if (p.key)
            packet->flags |= AV_PKT_FLAG_KEY;
        packet->pts = number;
        int rc = avcodec_send_packet(ctx, packet);
        av_packet_unref(packet);
        if (rc < 0)
            return false;
        rc = avcodec_receive_frame(ctx, frame);
        if (rc < 0)
            return false;
        const bool ok = frame->decode_error_flags == 0 && !(frame->flags & AV_FRAME_FLAG_CORRUPT);
        if (!ok)
            av_frame_unref(frame);
        return ok;
    }

    QImage convert()
    {
        const int w = frame->width, h = frame->height;
        if (w <= 0 || h <= 0 || !BitmapSizeAllowed(w, h))
            return {};
        sws = sws_getCachedContext(sws, w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_BGRA,
                                   SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
        if (!sws)
            return {};
        // BGRA bytes are ARGB32 words on little-endian machines.
        QImage img(w, h, QImage::Format_ARGB32);
        if (img.isNull())
            return {};
        uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
        if (sws_scale(sws, frame->data, frame->linesize, 0, h, dst, dstStride) != h)
            return {};
        if (video.codec != kVideoVp6Alpha) {
            // Only VP6 with alpha has transparency.
            for (int y = 0; y < h; ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < w; ++x)
                    line[x] |= 0xff000000u;
            }
        }
        // VP6 codes whole 16 x 16 blocks; the stream's size says how much
        // of them is picture.
        if ((video.codec == kVideoVp6 || video.codec == kVideoVp6Alpha) && video.width > 0 && video.height > 0 &&
            (video.width < w || video.height < h))
            img = img.copy(0, 0, std::min(w, video.width), std::min(h, video.height));
        return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

    QImage picture(int wanted)
    {
        const auto& frames = video.frames;
        auto target = frames.upper_bound(wanted);
        if (target == frames.begin())
            return {};
        --target;
        if (ctx && last == target->first)
            return shown;
        // Start at the key frame at or before the target (or the first
        // frame when there is none), unless the decoder already stands
        // between that key frame and the target.
        auto key = keys.upper_bound(target->first);
        auto from = key == keys.begin() ? frames.begin() : frames.find(*std::prev(key));
        if (ctx && last >= from->first && last < target->first) {
            from = frames.upper_bound(last);
        } else {
            close();
            if (!open())
                return {};
        }
        for (auto it = from;; ++it) {
            const VideoPacket p = ParseVideoPacket(video.codec, it->second);
            last = it->first;
            // An empty frame repeats the picture before it.
            if (!p.data.isEmpty())
                lastGood = decode(it->first, p);
            if (it == target)
                break;
        }
        // Only the wanted picture is converted; the ones before it merely
        // feed the decoder.
        shown = lastGood ? convert() : QImage();
        return shown;
    }
};

VideoDecoder::VideoDecoder(const VideoCharacter& video) : d_(std::make_unique<Impl>(video)) {}
VideoDecoder::~VideoDecoder() = default;

QImage VideoDecoder::picture(int frame)
{
    return d_->picture(frame);
}

} // namespace plovex::swf
