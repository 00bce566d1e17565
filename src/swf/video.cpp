#include "swf/video.h"

#include "swf/movie.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

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

} // namespace

SorensonHeader ReadSorensonHeader(const QByteArray& data)
{
    SorensonHeader h;
    Reader r(data);
    if (r.ub(17) != 1)
        return h;
    r.ub(5);    // version
    r.ub(8);    // temporal reference
    const uint32_t size = r.ub(3);
    if (size == 0)
        r.ub(16);
    else if (size == 1)
        r.ub(32);
    const uint32_t type = r.ub(2);
    h.deblocking = r.flag();
    h.quantizer = int(r.ub(5));
    h.valid = !r.failed();
    h.key = h.valid && type == 0;
    return h;
}

namespace {

// The strength of the block-edge filter for a quantizer (1..31), as the
// H.263 deblocking filter (Annex J) relates them.
constexpr uint8_t kQuantToStrength[32] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 4, 5, 5, 6, 6, 7, 7,
                                          7, 8, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};

// Smooths the step across one block edge: a and b lie before it, c and d
// after it, along a row or a column.
void smoothEdge(uint8_t& a, uint8_t& b, uint8_t& c, uint8_t& d, int strength)
{
    const int A = a, B = b, C = c, D = d;
    const int step = (A - 4 * B + 4 * C - D) / 8;
    // Small steps are taken out; steps well beyond the strength are real
    // edges of the picture and are left alone.
    const int size = std::abs(step);
    const int kept = std::max(0, size - std::max(0, 2 * (size - strength)));
    const int d1 = step < 0 ? -kept : kept;
    const int limit = std::abs(d1 / 2);
    const int d2 = std::clamp((A - D) / 4, -limit, limit);
    b = uint8_t(std::clamp(B + d1, 0, 255));
    c = uint8_t(std::clamp(C - d1, 0, 255));
    a = uint8_t(std::clamp(A - d2, 0, 255));
    d = uint8_t(std::clamp(D + d2, 0, 255));
}

} // namespace

void DeblockPlane(uint8_t* plane, int width, int height, ptrdiff_t stride, int quantizer)
{
    if (width <= 0 || height <= 0)
        return;
    const int strength = kQuantToStrength[std::clamp(quantizer, 1, 31)];
    // The edges between rows of blocks first, then those between columns.
    for (int y = 8; y + 1 < height; y += 8) {
        uint8_t* ra = plane + (y - 2) * stride;
        uint8_t* rb = ra + stride;
        uint8_t* rc = rb + stride;
        uint8_t* rd = rc + stride;
        for (int x = 0; x < width; ++x)
            smoothEdge(ra[x], rb[x], rc[x], rd[x], strength);
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = plane + y * stride;
        for (int x = 8; x + 1 < width; x += 8)
            smoothEdge(row[x - 2], row[x - 1], row[x], row[x + 1], strength);
    }
}

// --- Colour --------------------------------------------------------------------

namespace {

// BT.601's weights of red and blue in luma; green takes the rest.
constexpr double kKr = 0.299, kKb = 0.114, kKg = 1 - kKr - kKb;
// Studio levels: luma spans 219 steps from 16, colour differences 224
// steps around 128.
constexpr double kLumaScale = 255.0 / 219, kChromaScale = 255.0 / 224;

constexpr int fixed16(double v)
{
    return int(v * 65536 + (v < 0 ? -0.5 : 0.5));
}

constexpr int kYToGrey = fixed16(kLumaScale);
constexpr int kCrToR = fixed16(2 * (1 - kKr) * kChromaScale);
constexpr int kCrToG = fixed16(-2 * (1 - kKr) * kKr / kKg * kChromaScale);
constexpr int kCbToG = fixed16(-2 * (1 - kKb) * kKb / kKg * kChromaScale);
constexpr int kCbToB = fixed16(2 * (1 - kKb) * kChromaScale);

inline int toLevel(int v16)
{
    return std::clamp((v16 + 32768) >> 16, 0, 255);
}

} // namespace

QRgb YuvToRgb(int y, int cb, int cr)
{
    const int grey = (y - 16) * kYToGrey;
    cb -= 128;
    cr -= 128;
    return qRgb(toLevel(grey + cr * kCrToR), toLevel(grey + cr * kCrToG + cb * kCbToG), toLevel(grey + cb * kCbToB));
}

QImage YuvToImage(const YuvPlanes& planes, int width, int height)
{
    if (width <= 0 || height <= 0 || !planes.y || !planes.cb || !planes.cr)
        return {};
    QImage img(width, height, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return {};
    for (int row = 0; row < height; ++row) {
        const uint8_t* y = planes.y + ptrdiff_t(row) * planes.yStride;
        const uint8_t* cb = planes.cb + ptrdiff_t(row / 2) * planes.cStride;
        const uint8_t* cr = planes.cr + ptrdiff_t(row / 2) * planes.cStride;
        const uint8_t* a = planes.a ? planes.a + ptrdiff_t(row) * planes.aStride : nullptr;
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(row));
        for (int x = 0; x < width; ++x) {
            const QRgb c = YuvToRgb(y[x], cb[x / 2], cr[x / 2]);
            if (!a) {
                line[x] = c;
                continue;
            }
            const int alpha = a[x];
            line[x] = qRgba(std::min(qRed(c), alpha), std::min(qGreen(c), alpha), std::min(qBlue(c), alpha), alpha);
        }
    }
    return img;
}

VideoPacket ParseVideoPacket(int codec, const QByteArray& frameData)
{
    VideoPacket p;
    p.data = frameData;
    switch (codec) {
    case kVideoH263:
        p.key = ReadSorensonHeader(frameData).key;
        break;
    case kVideoVp6:
        p.key = !frameData.isEmpty() && !(uchar(frameData[0]) & 0x80);
        break;
    case kVideoVp6Alpha:
        // The offset of the alpha data comes first; a frame of no more
        // than that is an empty one, which repeats the picture before.
        if (frameData.size() <= 3)
            p.data.clear();
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
    SorensonHeader header;        // the last H.263 picture's header

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
        if (video.codec == kVideoH263)
            header = ReadSorensonHeader(p.data);
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
        const auto format = AVPixelFormat(frame->format);
        if (format != AV_PIX_FMT_YUV420P && format != AV_PIX_FMT_YUVA420P)
            return convertOther(w, h);
        YuvPlanes planes;
        planes.y = frame->data[0];
        planes.cb = frame->data[1];
        planes.cr = frame->data[2];
        planes.yStride = frame->linesize[0];
        planes.cStride = frame->linesize[1];
        if (frame->linesize[1] != frame->linesize[2])
            return {};
        // Only VP6 with alpha has transparency.
        if (format == AV_PIX_FMT_YUVA420P && video.codec == kVideoVp6Alpha) {
            planes.a = frame->data[3];
            planes.aStride = frame->linesize[3];
        }
        // Smoothing block edges works on copies of the planes: the decoder
        // predicts the next picture from its own, unsmoothed ones.
        std::vector<uint8_t> copies;
        if (smoothBlockEdges()) {
            const int cw = (w + 1) / 2, ch = (h + 1) / 2;
            const int widths[3] = {w, cw, cw}, heights[3] = {h, ch, ch};
            copies.resize(size_t(w) * h + 2 * size_t(cw) * ch);
            uint8_t* at = copies.data();
            const uint8_t** targets[3] = {&planes.y, &planes.cb, &planes.cr};
            for (int i = 0; i < 3; ++i) {
                for (int y = 0; y < heights[i]; ++y)
                    std::memcpy(at + size_t(y) * widths[i], frame->data[i] + ptrdiff_t(y) * frame->linesize[i],
                                size_t(widths[i]));
                DeblockPlane(at, widths[i], heights[i], widths[i], header.quantizer);
                *targets[i] = at;
                at += size_t(widths[i]) * heights[i];
            }
            planes.yStride = w;
            planes.cStride = (w + 1) / 2;
        }
        // VP6 codes whole 16 x 16 blocks; the stream's size says how much
        // of them is picture.
        int shownW = w, shownH = h;
        if ((video.codec == kVideoVp6 || video.codec == kVideoVp6Alpha) && video.width > 0 && video.height > 0) {
            shownW = std::min(w, video.width);
            shownH = std::min(h, video.height);
        }
        return YuvToImage(planes, shownW, shownH);
    }

    // Pictures that are not YUV (screen video's BGR) are copied as they
    // are, opaque.
    QImage convertOther(int w, int h)
    {
        sws = sws_getCachedContext(sws, w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_BGRA, SWS_POINT, nullptr,
                                   nullptr, nullptr);
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
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x)
                line[x] |= 0xff000000u;
        }
        return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

    // Whether the picture's block edges are smoothed: the stream's
    // deblocking setting decides (1 off, 2 and up on), or when it leaves
    // it to the pictures (0), each H.263 picture's own flag.
    bool smoothBlockEdges() const
    {
        if (video.codec != kVideoH263 || !header.valid || video.deblocking == 1)
            return false;
        return video.deblocking >= 2 || header.deblocking;
    }

    QImage picture(int wanted)
    {
        // A ratio past the stream's declared frames starts it over, as
        // the Flash Player counts them.
        if (video.frameCount > 0 && wanted >= video.frameCount)
            wanted %= video.frameCount;
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
