#pragma once

#include <QByteArray>
#include <QImage>

namespace plovex {

// The three encodings of captured frames, each with its fixed settings.
// Each returns the whole file's bytes and raises PlovexError when the
// picture cannot be encoded (empty, or too large for the format). A
// picture with transparent pixels is encoded as it shows over black.

// JPEG through libjpeg: quality 90, baseline, colour (YCbCr), sequential,
// everything else at the library's defaults: a baseline JFIF file with
// 2x2 chroma subsampling and the standard Huffman tables.
QByteArray EncodeJpeg(const QImage& image);

// GIF87a through giflib: no global colour table, one image of the full
// size with a 256-entry local table (the fixed 216-colour palette, entry
// 36*r + 6*g + b holding 51*r, 51*g, 51*b, then 40 black entries), each
// component reduced to level (c + 3) / 51 without dithering, no
// extension blocks. Width and height are limited to 65535.
QByteArray EncodeGif(const QImage& image);

// The palette index EncodeGif gives a pixel.
inline int GifPaletteIndex(int red, int green, int blue)
{
    return 36 * ((red + 3) / 51) + 6 * ((green + 3) / 51) + (blue + 3) / 51;
}

// The Windows bitmap file: "BM" file header, BITMAPINFOHEADER,
// uncompressed rows bottom-up, each padded to a multiple of 4 bytes.
// 24 bits per pixel (blue, green, red) or 32 (blue, green, red and an
// unused byte written as 255, so that readers which take it for alpha
// still show an opaque picture).
enum class BmpDepth { Bits24 = 24, Bits32 = 32 };
QByteArray EncodeBmp(const QImage& image, BmpDepth depth = BmpDepth::Bits24);

} // namespace plovex
