// The Windows bitmap file, written by our own code.

#include "capture/encoders.h"

#include "capture/pixels.h"
#include "platform/errors.h"

#include <cstring>

namespace plovex {

namespace {

void put16(char*& p, quint16 v)
{
    *p++ = char(v & 0xFF);
    *p++ = char(v >> 8);
}

void put32(char*& p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        *p++ = char((v >> (8 * i)) & 0xFF);
}

constexpr quint32 kFileHeaderSize = 14;
constexpr quint32 kInfoHeaderSize = 40;

} // namespace

QByteArray EncodeBmp(const QImage& image, BmpDepth depth)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw PlovexError(QStringLiteral("The picture is empty"));
    const int bits = int(depth);
    const int width = image.width();
    const int height = image.height();
    const quint64 rowBytes = quint64(width) * quint64(bits / 8);
    const quint64 stride = (rowBytes + 3) & ~quint64(3);
    const quint64 pixelBytes = stride * quint64(height);
    const quint64 fileSize = kFileHeaderSize + kInfoHeaderSize + pixelBytes;
    if (fileSize > 0xFFFFFFFFull)
        throw PlovexError(QStringLiteral("The picture is too large for a BMP file"));

    // Qt's BGR888 and RGB32 layouts are the file's own (blue, green, red
    // and, for RGB32 on little-endian machines, a fourth byte of 255).
    const QImage pixels = capture_detail::OpaqueCopy(image, depth == BmpDepth::Bits24 ? QImage::Format_BGR888 : QImage::Format_RGB32);
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 rows are copied as B, G, R, X bytes");

    QByteArray out(qsizetype(fileSize), '\0');
    char* p = out.data();
    // BITMAPFILEHEADER
    *p++ = 'B';
    *p++ = 'M';
    put32(p, quint32(fileSize));
    put32(p, 0); // reserved
    put32(p, kFileHeaderSize + kInfoHeaderSize); // offset of the pixels
    // BITMAPINFOHEADER
    put32(p, kInfoHeaderSize);
    put32(p, quint32(width));
    put32(p, quint32(height)); // positive: rows run bottom-up
    put16(p, 1); // planes
    put16(p, quint16(bits));
    put32(p, 0); // BI_RGB: no compression, no colour masks
    put32(p, quint32(pixelBytes));
    put32(p, quint32(qMax(0, image.dotsPerMeterX())));
    put32(p, quint32(qMax(0, image.dotsPerMeterY())));
    put32(p, 0); // colours used: no colour table
    put32(p, 0); // important colours: all

    for (int y = height - 1; y >= 0; --y) {
        std::memcpy(p, pixels.constScanLine(y), size_t(rowBytes));
        p += stride; // the padding stays zero
    }
    return out;
}

} // namespace plovex
