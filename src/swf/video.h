#pragma once

// Embedded video: the pictures of a DefineVideoStream, decoded with
// libavcodec (Sorenson H.263, screen video 1 and 2, VP6 with and without
// alpha).

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace plovex::swf {

struct VideoCharacter;

enum VideoCodec : int { kVideoH263 = 2, kVideoScreen = 3, kVideoVp6 = 4, kVideoVp6Alpha = 5, kVideoScreen2 = 6 };

// One VideoFrame's data as the decoder wants it: screen video written by
// Flash tools carries a leading frame-type byte (as in FLV), which is
// taken off here; `key` tells whether the picture stands on its own.
struct VideoPacket {
    QByteArray data;
    bool key = false;
};
VideoPacket ParseVideoPacket(int codec, const QByteArray& frameData);

// The fields of a Sorenson H.263 picture header that decide how it is
// shown: whether it stands on its own, whether the encoder asks for its
// block edges to be smoothed, and its quantizer (1..31).
struct SorensonHeader {
    bool valid = false;
    bool key = false;
    bool deblocking = false;
    int quantizer = 0;
};
SorensonHeader ReadSorensonHeader(const QByteArray& data);

// The colour the Flash Player shows for one decoded sample: BT.601 with
// studio levels (luma 16..235, colour differences 16..240 around 128)
// spread over 0..255, worked in 16.16 fixed point, rounded to nearest and
// clamped.
QRgb YuvToRgb(int y, int cb, int cr);

// The planes of one decoded 4:2:0 picture: luma (and alpha, when the
// stream has it) at full size, the two colour-difference planes at half
// size rounded up.
struct YuvPlanes {
    const uint8_t* y = nullptr;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
    const uint8_t* a = nullptr;   // null: opaque
    ptrdiff_t yStride = 0, cStride = 0, aStride = 0;
};

// Converts the top-left `width` x `height` pixels of a picture as the
// Flash Player does: each colour-difference sample is used as it is for
// the 2 x 2 pixels it covers (nothing is interpolated), and with an alpha
// plane the coded colour is already multiplied by the alpha (as VP6 with
// alpha stores it), so it is only kept within the alpha. The result is
// ARGB32 premultiplied.
QImage YuvToImage(const YuvPlanes& planes, int width, int height);

// Smooths the edges between the 8 x 8 blocks of one picture plane, by a
// strength that grows with the quantizer, as the Flash Player does after
// decoding: steps across block edges smaller than the coding could make
// are evened out, larger ones are kept as edges of the picture.
void DeblockPlane(uint8_t* plane, int width, int height, ptrdiff_t stride, int quantizer);

// Decodes one stream. The picture for a frame number is what the Flash
// Player shows when a PlaceObject's ratio selects it: the stream's last
// frame at or before that number (counted round again past the stream's
// declared frame count), decoded from the key frame before it
// (inter frames need their predecessors), so any order of requests gives
// the same pictures. The last decoded state is kept, so playing on decodes
// one frame a step. Not thread-safe; each player keeps its own.
class VideoDecoder {
public:
    explicit VideoDecoder(const VideoCharacter& video);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // ARGB32 premultiplied at the decoded size (VP6 cut to the declared
    // size); null when the stream has nothing at or before `frame`, or
    // that frame is damaged.
    QImage picture(int frame);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace plovex::swf
