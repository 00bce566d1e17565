// Embedded video: pictures encoded here with libavcodec's own encoders
// (Sorenson H.263 and screen video), written into a movie with the
// writer, and shown at the frame the timeline reaches.

#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"
#include "swf/video.h"

#include <gtest/gtest.h>

#include <functional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

constexpr int kW = 128, kH = 96;

// Encodes solid pictures (each with an optional corner of another colour,
// 64 x 32 pixels at the top left) with the codec's encoder; key frames where
// `keys` says.
struct Picture {
    Picture(QColor c, std::optional<QColor> k = std::nullopt) : color(c), corner(k) {}
    QColor color;
    std::optional<QColor> corner;
    QColor at(int x, int y) const { return corner && x < 64 && y < 32 ? *corner : color; }
};
std::vector<QByteArray> Encode(AVCodecID id, const std::vector<Picture>& pictures, const std::vector<bool>& keys)
{
    std::vector<QByteArray> out;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec)
        return out;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = kW;
    ctx->height = kH;
    ctx->time_base = AVRational{1, 12};
    ctx->gop_size = 600;   // key frames only where asked
    ctx->pix_fmt = id == AV_CODEC_ID_FLV1 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGR24;
    ctx->thread_count = 1;
    if (id == AV_CODEC_ID_FLV1)
        av_opt_set_int(ctx->priv_data, "sc_threshold", 1000000000, 0);   // no key frames of its own
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return out;
    }
    AVFrame* frame = av_frame_alloc();
    frame->format = ctx->pix_fmt;
    frame->width = kW;
    frame->height = kH;
    av_frame_get_buffer(frame, 0);
    AVPacket* packet = av_packet_alloc();
    for (size_t i = 0; i < pictures.size(); ++i) {
        av_frame_make_writable(frame);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const QColor c = pictures[i].at(x, y);
                if (ctx->pix_fmt == AV_PIX_FMT_BGR24) {
                    uint8_t* px = frame->data[0] + y * frame->linesize[0] + x * 3;
                    px[0] = uint8_t(c.blue());
                    px[1] = uint8_t(c.green());
                    px[2] = uint8_t(c.red());
                } else {
                    // BT.601, limited range.
                    const double r = c.red(), g = c.green(), b = c.blue();
                    frame->data[0][y * frame->linesize[0] + x] = uint8_t(std::lround(16 + 0.257 * r + 0.504 * g + 0.098 * b));
                    if (x % 2 == 0 && y % 2 == 0) {
                        frame->data[1][y / 2 * frame->linesize[1] + x / 2] = uint8_t(std::lround(128 - 0.148 * r - 0.291 * g + 0.439 * b));
                        frame->data[2][y / 2 * frame->linesize[2] + x / 2] = uint8_t(std::lround(128 + 0.439 * r - 0.368 * g - 0.071 * b));
                    }
                }
            }
        frame->pts = int64_t(i);
        frame->pict_type = keys[i] ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (avcodec_send_frame(ctx, frame) < 0)
            break;
        while (avcodec_receive_packet(ctx, packet) == 0) {
            out.emplace_back(reinterpret_cast<const char*>(packet->data), packet->size);
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

// Screen video as an inter frame: only block `keep` carries pixels, the
// others (size 0) stay as they were. Blocks run from the picture's bottom
// left, row by row upwards.
QByteArray KeepOnlyBlock(const QByteArray& packet, int keep)
{
    QByteArray out = packet.left(4);
    const auto* p = reinterpret_cast<const uchar*>(packet.constData());
    const int blockW = 16 * ((p[0] >> 4) + 1), width = (p[0] & 0x0f) << 8 | p[1];
    const int blockH = 16 * ((p[2] >> 4) + 1), height = (p[2] & 0x0f) << 8 | p[3];
    const int blocks = ((width + blockW - 1) / blockW) * ((height + blockH - 1) / blockH);
    qsizetype at = 4;
    for (int i = 0; i < blocks; ++i) {
        const int size = p[at] << 8 | p[at + 1];
        out.append(i == keep ? packet.mid(at, 2 + size) : QByteArray(2, '\0'));
        at += 2 + size;
    }
    return out;
}

// A movie of as many frames as pictures: a video placed at frame 0 shows
// picture i at frame i through its ratio.
QByteArray VideoMovie(int codec, const std::vector<QByteArray>& pictures, bool smoothing = false, int deblocking = 0,
                      int version = 10)
{
    SwfWriter w({.version = version, .frameSize = Rect{0, kW * 20, 0, kH * 20}, .frameRate = 12});
    w.setBackgroundColor(Qt::white);
    w.defineVideoStream(1, int(pictures.size()), kW, kH, codec, smoothing, deblocking);
    for (size_t i = 0; i < pictures.size(); ++i) {
        w.videoFrame(1, int(i), pictures[i]);
        PlaceObject p = i == 0 ? PlaceNew(1, 1) : PlaceMove(1, Matrix());
        p.ratio = int(i);
        if (i > 0)
            p.matrix.reset();
        w.placeObject2(p);
        w.showFrame();
    }
    return w.finish();
}

QColor at(const Player& p, int x = kW / 2, int y = kH / 2)
{
    RenderOptions o;
    o.antialias = false;
    return p.renderImage(QSize(kW, kH), o).pixelColor(x, y);
}

// Lossy pictures come back close to what was encoded.
bool near(const QColor& a, const QColor& b, int tolerance = 24)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

const std::vector<Picture> kRgb = {{Qt::red}, {Qt::green}, {Qt::blue}};

TEST(SwfVideo, SorensonFramesShowByStepAndBySeekInBothDirections)
{
    // Only frame 0 is a key frame: frames 1 and 2 need the ones before.
    const auto pictures = Encode(AV_CODEC_ID_FLV1, kRgb, {true, false, false});
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_TRUE(ParseVideoPacket(kVideoH263, pictures[0]).key);
    EXPECT_FALSE(ParseVideoPacket(kVideoH263, pictures[1]).key);
    const QByteArray file = VideoMovie(kVideoH263, pictures);
    Player p(LoadMovie(file));
    ASSERT_EQ(p.frameCount(), 3);
    // Stepping.
    for (int f = 0; f < 3; ++f) {
        p.gotoFrame(f);
        EXPECT_TRUE(near(at(p), kRgb[size_t(f)].color)) << f << " " << at(p).name().toStdString();
    }
    // Seeking back and forth, and a fresh player seeking straight on.
    for (int f : {1, 0, 2, 1, 2, 0}) {
        p.gotoFrame(f);
        EXPECT_TRUE(near(at(p), kRgb[size_t(f)].color)) << f;
        Player fresh(LoadMovie(file));
        fresh.gotoFrame(f);
        EXPECT_EQ(at(fresh), at(p)) << f;
    }
}

TEST(SwfVideo, SeeksStartAtTheKeyFrameBeforeTheTarget)
{
    // Key frames at 0 and 2; frame 3 shows green over blue.
    const std::vector<Picture> pics = {{Qt::red}, {Qt::yellow}, {Qt::blue}, {Qt::green}};
    const auto pictures = Encode(AV_CODEC_ID_FLV1, pics, {true, false, true, false});
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_TRUE(ParseVideoPacket(kVideoH263, pictures[2]).key);
    Player p(LoadMovie(VideoMovie(kVideoH263, pictures)));
    for (int f : {3, 1, 3, 2, 0, 3}) {
        p.gotoFrame(f);
        EXPECT_TRUE(near(at(p), pics[size_t(f)].color)) << f << " " << at(p).name().toStdString();
    }
}

TEST(SwfVideo, ScreenVideoKeepsUnchangedBlocksFromThePictureBefore)
{
    // Frame 1 only sends its top-left block (a green square); the rest of
    // it comes from frame 0. Flash tools write a frame-type byte in front,
    // other writers do not: both are read.
    const std::vector<Picture> pics = {{Qt::red}, {Qt::red, Qt::green}, {Qt::blue}};
    auto raw = Encode(AV_CODEC_ID_FLASHSV, pics, {true, false, true});
    ASSERT_EQ(raw.size(), 3u);
    // 64 x 64 blocks over 128 x 96 pixels: the top-left corner is block 2.
    raw[1] = KeepOnlyBlock(raw[1], 2);
    for (bool typeByte : {true, false}) {
        std::vector<QByteArray> pictures = raw;
        if (typeByte)
            for (size_t i = 0; i < pictures.size(); ++i)
                pictures[i].prepend(char((i == 1 ? 0x20 : 0x10) | kVideoScreen));
        EXPECT_TRUE(ParseVideoPacket(kVideoScreen, pictures[0]).key);
        EXPECT_FALSE(ParseVideoPacket(kVideoScreen, pictures[1]).key);
        EXPECT_EQ(ParseVideoPacket(kVideoScreen, pictures[1]).data, raw[1]);
        Player p(LoadMovie(VideoMovie(kVideoScreen, pictures)));
        for (int f : {1, 2, 1, 0, 2}) {
            p.gotoFrame(f);
            for (QPoint pt : {QPoint(8, 8), QPoint(63, 31), QPoint(64, 8), QPoint(8, 32), QPoint(100, 80)})
                EXPECT_EQ(at(p, pt.x(), pt.y()), pics[size_t(f)].at(pt.x(), pt.y())) << f << typeByte;
        }
    }
}

TEST(SwfVideo, ADamagedFrameIsLeftOut)
{
    auto pictures = Encode(AV_CODEC_ID_FLASHSV, kRgb, {true, true, true});
    ASSERT_EQ(pictures.size(), 3u);
    auto h263 = Encode(AV_CODEC_ID_FLV1, kRgb, {true, true, true});
    ASSERT_EQ(h263.size(), 3u);
    struct Case {
        int codec;
        std::vector<QByteArray> frames;
    };
    for (Case c : {Case{kVideoScreen, pictures}, Case{kVideoH263, h263}}) {
        // Frame 1 cut to a few bytes; frames 0 and 2 are whole.
        c.frames[1] = c.frames[1].left(c.codec == kVideoH263 ? 6 : 8);
        Player p(LoadMovie(VideoMovie(c.codec, c.frames)));
        for (int f : {0, 1, 2, 1}) {
            p.gotoFrame(f);
            if (f == 1)
                EXPECT_EQ(at(p), QColor(Qt::white)) << c.codec;
            else
                EXPECT_TRUE(near(at(p), kRgb[size_t(f)].color)) << c.codec << " " << f;
        }
    }
}

TEST(SwfVideo, ThePictureFillsTheStreamsRectangleWherePlaced)
{
    // A 128 x 96 stream declared 32 x 24 and placed at (10, 10) px.
    const auto pictures = Encode(AV_CODEC_ID_FLASHSV, {{Qt::blue}}, {true});
    ASSERT_EQ(pictures.size(), 1u);
    SwfWriter w({.frameSize = Rect{0, kW * 20, 0, kH * 20}});
    w.defineVideoStream(1, 1, 32, 24, kVideoScreen);
    w.videoFrame(1, 0, pictures[0]);
    w.placeObject2(PlaceNew(1, 1, Translate(200, 200)));
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    EXPECT_EQ(at(p, 9, 9), QColor(Qt::white));
    EXPECT_EQ(at(p, 10, 10), QColor(Qt::blue));
    EXPECT_EQ(at(p, 41, 33), QColor(Qt::blue));
    EXPECT_EQ(at(p, 42, 34), QColor(Qt::white));
}

TEST(SwfVideo, RatiosPastTheDeclaredFramesCountRoundAgainAndMissingFramesShowTheOneBefore)
{
    const auto pictures = Encode(AV_CODEC_ID_FLASHSV, kRgb, {true, true, true});
    ASSERT_EQ(pictures.size(), 3u);
    // Frames 0, 5 and 9 of a stream declared 10 frames long.
    SwfWriter w({.frameSize = Rect{0, kW * 20, 0, kH * 20}});
    w.defineVideoStream(1, 10, kW, kH, kVideoScreen);
    w.videoFrame(1, 0, pictures[0]);
    w.videoFrame(1, 5, pictures[1]);
    w.videoFrame(1, 9, pictures[2]);
    struct Step {
        int ratio;
        QColor shown;
    } steps[] = {{0, Qt::red},    {3, Qt::red},    {7, Qt::green}, {9, Qt::blue},
                 {10, Qt::red},   {15, Qt::green}, {20, Qt::red},  {29, Qt::blue}};
    for (const Step& s : steps) {
        PlaceObject p = s.ratio == 0 ? PlaceNew(1, 1) : PlaceMove(1, Matrix());
        if (s.ratio != 0)
            p.matrix.reset();
        p.ratio = s.ratio;
        w.placeObject2(p);
        w.showFrame();
    }
    Player p(LoadMovie(w.finish()));
    const int count = int(std::size(steps));
    ASSERT_EQ(p.frameCount(), count);
    // In order, backwards, and each on a fresh player.
    for (int f = 0; f < count; ++f) {
        p.gotoFrame(f);
        EXPECT_EQ(at(p), steps[f].shown) << "ratio " << steps[f].ratio;
    }
    for (int f = count - 1; f >= 0; --f) {
        p.gotoFrame(f);
        EXPECT_EQ(at(p), steps[f].shown) << "ratio " << steps[f].ratio;
        Player fresh(LoadMovie(w.finish()));
        fresh.gotoFrame(f);
        EXPECT_EQ(at(fresh), steps[f].shown) << "ratio " << steps[f].ratio;
    }
}

// VP6 with alpha puts the alpha data's offset first: a frame of those
// three bytes or fewer carries no picture and repeats the one before,
// like an empty frame of any codec.
TEST(SwfVideo, Vp6AlphaFramesOfOnlyTheAlphaOffsetAreEmpty)
{
    struct Case {
        QByteArray data;
        bool empty, key;
    } cases[] = {
        {QByteArray(), true, false},
        {QByteArray(3, '\0'), true, false},
        {QByteArray::fromHex("000001") , true, false},
        {QByteArray::fromHex("00000100"), false, true},
        {QByteArray::fromHex("00000180"), false, false},
    };
    for (const Case& c : cases) {
        const VideoPacket p = ParseVideoPacket(kVideoVp6Alpha, c.data);
        EXPECT_EQ(p.data.isEmpty(), c.empty) << c.data.toHex().toStdString();
        EXPECT_EQ(p.key, c.key) << c.data.toHex().toStdString();
    }
}

TEST(SwfVideo, AnEmptyFrameRepeatsThePictureBefore)
{
    auto pictures = Encode(AV_CODEC_ID_FLV1, kRgb, {true, true, true});
    ASSERT_EQ(pictures.size(), 3u);
    pictures[1].clear();
    Player p(LoadMovie(VideoMovie(kVideoH263, pictures)));
    for (int f : {1, 2, 1, 0}) {
        p.gotoFrame(f);
        EXPECT_TRUE(near(at(p), kRgb[size_t(f == 1 ? 0 : f)].color)) << f << " " << at(p).name().toStdString();
    }
}

} // namespace

namespace {

// One Sorenson key picture at a fixed quantizer, its planes filled by
// `fill` (luma, then the two colour-difference planes at half size).
QByteArray EncodeSorensonKey(const std::function<void(AVFrame*)>& fill, int quantizer)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FLV1);
    if (!codec)
        return {};
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = kW;
    ctx->height = kH;
    ctx->time_base = AVRational{1, 12};
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    QByteArray out;
    if (avcodec_open2(ctx, codec, nullptr) == 0) {
        AVFrame* frame = av_frame_alloc();
        frame->format = ctx->pix_fmt;
        frame->width = kW;
        frame->height = kH;
        av_frame_get_buffer(frame, 0);
        fill(frame);
        frame->quality = quantizer * FF_QP2LAMBDA;
        frame->pict_type = AV_PICTURE_TYPE_I;
        AVPacket* packet = av_packet_alloc();
        if (avcodec_send_frame(ctx, frame) == 0 && avcodec_send_frame(ctx, nullptr) == 0 &&
            avcodec_receive_packet(ctx, packet) == 0)
            out = QByteArray(reinterpret_cast<const char*>(packet->data), packet->size);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }
    avcodec_free_context(&ctx);
    return out;
}

// A diagonal ramp of greys, coded coarsely (quantizer 31), so that its
// 8 x 8 blocks show.
QByteArray CoarseRamp()
{
    return EncodeSorensonKey(
        [](AVFrame* frame) {
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    frame->data[0][y * frame->linesize[0] + x] = uint8_t(40 + (x + y) * 160 / (kW + kH));
            for (int y = 0; y < kH / 2; ++y)
                for (int x = 0; x < kW / 2; ++x)
                    frame->data[1][y * frame->linesize[1] + x] = frame->data[2][y * frame->linesize[2] + x] = 128;
        },
        31);
}

// The picture's own deblocking flag, set or cleared.
QByteArray WithDeblockingFlag(QByteArray picture, bool on)
{
    // Start code, version, temporal reference, size code, then the custom
    // size for codes 0 and 1, then the picture type; the flag follows.
    const int sizeCode = (uchar(picture[3]) & 0x03) << 1 | uchar(picture[4]) >> 7;
    const int bit = 17 + 5 + 8 + 3 + (sizeCode == 0 ? 16 : sizeCode == 1 ? 32 : 0) + 2;
    char& byte = picture[bit / 8];
    const char mask = char(0x80 >> (bit % 8));
    byte = on ? char(byte | mask) : char(byte & ~mask);
    return picture;
}

// How much the grey steps across the edges between 8 x 8 blocks, summed
// over the picture.
long BlockEdgeSteps(const QImage& img)
{
    long sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 8; x < img.width(); x += 8)
            sum += std::abs(qGreen(img.pixel(x, y)) - qGreen(img.pixel(x - 1, y)));
    for (int y = 8; y < img.height(); y += 8)
        for (int x = 0; x < img.width(); ++x)
            sum += std::abs(qGreen(img.pixel(x, y)) - qGreen(img.pixel(x, y - 1)));
    return sum;
}

} // namespace

// Block edges of Sorenson pictures are smoothed after decoding when the
// stream asks for it (deblocking 2 and up), never when it says off (1),
// and when it leaves it to the pictures (0), by each picture's own flag.
TEST(SwfVideo, SorensonBlockEdgesAreSmoothedAsTheStreamOrThePictureAsks)
{
    const QByteArray coarse = CoarseRamp();
    ASSERT_FALSE(coarse.isEmpty());
    const SorensonHeader header = ReadSorensonHeader(coarse);
    ASSERT_TRUE(header.valid && header.key);
    EXPECT_EQ(header.quantizer, 31);
    EXPECT_TRUE(ReadSorensonHeader(WithDeblockingFlag(coarse, true)).deblocking);
    EXPECT_FALSE(ReadSorensonHeader(WithDeblockingFlag(coarse, false)).deblocking);

    struct Case {
        int streamSetting;
        bool pictureFlag;
        bool smoothed;
    } cases[] = {
        {0, false, false}, {0, true, true}, {1, true, false}, {1, false, false}, {2, false, true}, {3, true, true},
    };
    auto render = [](const QByteArray& movie) {
        Player p(LoadMovie(movie));
        RenderOptions o;
        o.antialias = false;
        return p.renderImage(QSize(kW, kH), o);
    };
    const QImage plain = render(VideoMovie(kVideoH263, {WithDeblockingFlag(coarse, false)}, false, 1));
    ASSERT_FALSE(plain.isNull());
    for (const Case& c : cases) {
        const QImage img =
            render(VideoMovie(kVideoH263, {WithDeblockingFlag(coarse, c.pictureFlag)}, false, c.streamSetting));
        if (c.smoothed) {
            EXPECT_LT(BlockEdgeSteps(img), BlockEdgeSteps(plain) * 3 / 4)
                << "setting " << c.streamSetting << " flag " << c.pictureFlag;
            // Away from block edges the picture is what was decoded.
            EXPECT_EQ(img.pixel(12, 12), plain.pixel(12, 12));
        } else {
            EXPECT_EQ(img, plain) << "setting " << c.streamSetting << " flag " << c.pictureFlag;
        }
    }
}

// The filter on one plane: a small step at a block edge is evened out,
// one much larger than the strength (an edge of the picture) stays.
TEST(SwfVideo, DeblockingEvensSmallStepsAndKeepsRealEdges)
{
    struct Case {
        int left, right, quantizer;
        bool evened;
    } cases[] = {{100, 108, 31, true}, {100, 108, 1, false}, {20, 220, 31, false}};
    for (const Case& c : cases) {
        std::vector<uint8_t> plane(16 * 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                plane[size_t(y * 16 + x)] = uint8_t(x < 8 ? c.left : c.right);
        DeblockPlane(plane.data(), 16, 16, 16, c.quantizer);
        const int step = plane[8] - plane[7];
        if (c.evened)
            EXPECT_LT(std::abs(step), std::abs(c.right - c.left)) << c.left << ".." << c.right << " q" << c.quantizer;
        else
            EXPECT_GE(std::abs(step), std::abs(c.right - c.left) - 1) << c.left << ".." << c.right << " q" << c.quantizer;
        EXPECT_EQ(plane[0], c.left);   // far from the edge: untouched
    }
}

// Levels from BT.601 with studio range: black at 16, white at 235, no
// colour at 128, full colour differences at 16 and 240.
TEST(SwfVideo, LevelsConvertAsBt601StudioRange)
{
    struct Case {
        int y, cb, cr;
        QRgb rgb;
    } cases[] = {
        {16, 128, 128, qRgb(0, 0, 0)},       {235, 128, 128, qRgb(255, 255, 255)},
        {0, 128, 128, qRgb(0, 0, 0)},        {255, 128, 128, qRgb(255, 255, 255)},
        {17, 128, 128, qRgb(1, 1, 1)},       {234, 128, 128, qRgb(254, 254, 254)},
        // Grey between black and white (125.5): 126.92 and 128.08.
        {125, 128, 128, qRgb(127, 127, 127)}, {126, 128, 128, qRgb(128, 128, 128)},
        // Full red, green and blue as rounded studio levels: 254.44,
        // -0.48, -0.97; 0.18, 255.61, 0.93; 0.38, -0.13, 255.04.
        {81, 90, 240, qRgb(254, 0, 0)},      {145, 54, 34, qRgb(0, 255, 1)},
        {41, 240, 110, qRgb(0, 0, 255)},
        // A mid colour: 115.66, 146.48, 208.93.
        {140, 160, 110, qRgb(116, 146, 209)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QColor(YuvToRgb(c.y, c.cb, c.cr)), QColor(c.rgb)) << c.y << "," << c.cb << "," << c.cr;
}

// Each colour-difference sample colours exactly the 2 x 2 pixels it
// covers; nothing is blended across their edges. An odd last column and
// row take the last samples.
TEST(SwfVideo, ColourDifferencesCoverTheirPixelsWithoutBlending)
{
    const uint8_t y[3 * 3] = {126, 126, 126, 60, 60, 60, 200, 200, 200};
    const uint8_t cb[2 * 2] = {90, 54, 160, 240};
    const uint8_t cr[2 * 2] = {240, 34, 110, 110};
    YuvPlanes planes;
    planes.y = y;
    planes.cb = cb;
    planes.cr = cr;
    planes.yStride = 3;
    planes.cStride = 2;
    const QImage img = YuvToImage(planes, 3, 3);
    ASSERT_EQ(img.size(), QSize(3, 3));
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 3; ++x) {
            const int c = row / 2 * 2 + x / 2;
            EXPECT_EQ(img.pixel(x, row), YuvToRgb(y[row * 3 + x], cb[c], cr[c])) << x << "," << row;
        }
    // Cut to fewer pixels than coded, the samples stay where they were.
    const QImage cut = YuvToImage(planes, 2, 1);
    ASSERT_EQ(cut.size(), QSize(2, 1));
    EXPECT_EQ(cut.pixel(1, 0), img.pixel(1, 0));
}

// VP6 with alpha codes its colour already multiplied by the alpha: the
// levels are kept as they are (within the alpha), not multiplied again.
TEST(SwfVideo, AlphaPicturesKeepTheirCodedColour)
{
    const uint8_t y[4] = {235, 100, 100, 16};
    const uint8_t cb[1] = {128}, cr[1] = {128};
    const uint8_t a[4] = {255, 128, 64, 0};
    YuvPlanes planes;
    planes.y = y;
    planes.cb = cb;
    planes.cr = cr;
    planes.a = a;
    planes.yStride = 2;
    planes.cStride = 1;
    planes.aStride = 2;
    const QImage img = YuvToImage(planes, 2, 2);
    ASSERT_EQ(img.format(), QImage::Format_ARGB32_Premultiplied);
    const int grey = qRed(YuvToRgb(100, 128, 128));   // 97.8 -> 98
    ASSERT_EQ(grey, 98);
    const QRgb expected[4] = {qRgba(255, 255, 255, 255), qRgba(grey, grey, grey, 128), qRgba(64, 64, 64, 64),
                              qRgba(0, 0, 0, 0)};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(reinterpret_cast<const QRgb*>(img.constScanLine(i / 2))[i % 2], expected[i]) << i;
}

// A whole Sorenson picture of two flat colours side by side (each block
// flat, so the decoder gives back the coded levels exactly) shows each
// colour as the levels convert, up to the pixel where they meet.
TEST(SwfVideo, SorensonPicturesShowTheirLevelsConverted)
{
    struct Levels {
        uint8_t y, cb, cr;
    };
    const Levels left{144, 90, 200}, right{80, 170, 100};
    const QByteArray picture = EncodeSorensonKey(
        [&](AVFrame* frame) {
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    frame->data[0][y * frame->linesize[0] + x] = x < kW / 2 ? left.y : right.y;
            for (int y = 0; y < kH / 2; ++y)
                for (int x = 0; x < kW / 2; ++x) {
                    const Levels& l = x < kW / 4 ? left : right;
                    frame->data[1][y * frame->linesize[1] + x] = l.cb;
                    frame->data[2][y * frame->linesize[2] + x] = l.cr;
                }
        },
        2);
    ASSERT_FALSE(picture.isEmpty());
    Player p(LoadMovie(VideoMovie(kVideoH263, {picture}, false, 1)));
    const QColor l(YuvToRgb(left.y, left.cb, left.cr)), r(YuvToRgb(right.y, right.cb, right.cr));
    for (int y : {0, kH / 2, kH - 1}) {
        for (int x : {0, kW / 2 - 2, kW / 2 - 1})
            EXPECT_EQ(at(p, x, y), l) << x << "," << y;
        for (int x : {kW / 2, kW / 2 + 1, kW - 1})
            EXPECT_EQ(at(p, x, y), r) << x << "," << y;
    }
}

// Scaled up, a video's picture is smoothed at high quality only: by the
// stream's flag from version 8 on; before that only a stream of a single
// picture is.
TEST(SwfVideo, SmoothingFollowsTheStreamsFlagFromVersion8)
{
    const std::vector<Picture> pics = {{Qt::red, Qt::green}, {Qt::red, Qt::green}, {Qt::red, Qt::green}};
    const auto pictures = Encode(AV_CODEC_ID_FLASHSV, pics, {true, true, true});
    ASSERT_EQ(pictures.size(), 3u);
    struct Case {
        int version;
        bool flag;
        size_t frames;
        bool antialias, smoothed;
    } cases[] = {
        {8, true, 3, true, true},   {8, false, 3, true, false}, {10, true, 1, true, true},
        {10, false, 1, true, false}, {7, true, 3, true, false},  {7, false, 1, true, true},
        {8, true, 3, false, false}, {7, false, 1, false, false},
    };
    for (const Case& c : cases) {
        const std::vector<QByteArray> used(pictures.begin(), pictures.begin() + ptrdiff_t(c.frames));
        Player p(LoadMovie(VideoMovie(kVideoScreen, used, c.flag, 0, c.version)));
        RenderOptions o;
        o.antialias = c.antialias;
        const QImage img = p.renderImage(QSize(kW * 4, kH * 4), o);
        // Across the corner's right edge (64 px, 256 at this scale).
        int blended = 0;
        for (int x = 240; x < 272; ++x) {
            const QColor px = img.pixelColor(x, 40);
            if (px != QColor(Qt::red) && px != QColor(Qt::green))
                ++blended;
        }
        EXPECT_EQ(blended > 0, c.smoothed) << "version " << c.version << " flag " << c.flag << " frames " << c.frames
                                           << " antialias " << c.antialias;
    }
}
