// GIF encoding: the fixed 216-colour palette is ours, the file structure
// and the LZW coding are giflib's.

#include "capture/encoders.h"

#include "capture/pixels.h"
#include "platform/errors.h"

#include <array>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace plovex {

namespace {

constexpr int kPaletteColours = 216;
constexpr int kTableEntries = 256;

int appendToArray(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

[[noreturn]] void gifFailed(int code)
{
    const char* text = GifErrorString(code);
    throw PlovexError(QStringLiteral("Cannot encode the picture as GIF: %1")
                          .arg(text ? QString::fromLatin1(text) : QString::number(code)));
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// Closes the file (and frees giflib's state) if encoding stops early.
struct GifDeleter {
    void operator()(GifFileType* gif) const
    {
        int ignored = 0;
        EGifCloseFile(gif, &ignored);
    }
};

// Level of each 8-bit component: 0 for 0-47, 1 for 48-98, ... 5 for 252-255.
constexpr std::array<quint8, 256> levels()
{
    std::array<quint8, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = quint8((c + 3) / 51);
    return table;
}
constexpr std::array<quint8, 256> kLevel = levels();

} // namespace

QByteArray EncodeGif(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw PlovexError(QStringLiteral("The picture is empty"));
    if (image.width() > 65535 || image.height() > 65535)
        throw PlovexError(QStringLiteral("The picture is too large for a GIF file (at most 65535 × 65535 pixels)"));
    const QImage rgb = capture_detail::OpaqueCopy(image, QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();

    GifColorType colours[kTableEntries] = {};
    for (int i = 0; i < kPaletteColours; ++i) {
        colours[i].Red = GifByteType(51 * (i / 36));
        colours[i].Green = GifByteType(51 * (i / 6 % 6));
        colours[i].Blue = GifByteType(51 * (i % 6));
    }
    std::unique_ptr<ColorMapObject, MapDeleter> table(GifMakeMapObject(kTableEntries, colours));
    if (!table)
        gifFailed(E_GIF_ERR_NOT_ENOUGH_MEM);

    QByteArray out;
    int error = 0;
    std::unique_ptr<GifFileType, GifDeleter> gif(EGifOpen(&out, appendToArray, &error));
    if (!gif)
        gifFailed(error);
    EGifSetGifVersion(gif.get(), false); // "GIF87a": no extension blocks

    if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, nullptr) == GIF_ERROR)
        gifFailed(gif->Error);
    if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, table.get()) == GIF_ERROR)
        gifFailed(gif->Error);

    std::vector<GifPixelType> indices(size_t(width), 0);
    for (int y = 0; y < height; ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = pixels[x];
            indices[size_t(x)] = GifPixelType(36 * kLevel[qRed(p)] + 6 * kLevel[qGreen(p)] + kLevel[qBlue(p)]);
        }
        if (EGifPutLine(gif.get(), indices.data(), width) == GIF_ERROR)
            gifFailed(gif->Error);
    }

    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR)
        gifFailed(error);
    return out;
}

} // namespace plovex
