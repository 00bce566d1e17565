#include "capture/encoders.h"
#include "capture/image_files.h"
#include "platform/errors.h"
#include "platform/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

using namespace plovex;

namespace {

// ---------------------------------------------------------------- helpers

quint32 le32(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
        | quint32(quint8(b[at + 3])) << 24;
}
quint16 le16(const QByteArray& b, qsizetype at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}
quint16 be16(const QByteArray& b, qsizetype at)
{
    return quint16(quint8(b[at]) << 8 | quint8(b[at + 1]));
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// A frame with areas of flat colour, a gradient and fine detail, at a size
// that is no multiple of the JPEG block size.
QImage sampleFrame(int width = 75, int height = 43)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(20, 40, 200));
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height / 2, QColor(255, 0, 0));
    p.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(250, 250, 250));
    QLinearGradient g(0, 0, width, 0);
    g.setColorAt(0, Qt::black);
    g.setColorAt(1, Qt::yellow);
    p.fillRect(0, height / 2, width, height / 4, g);
    p.setPen(Qt::green);
    p.drawEllipse(QRect(width / 4, height / 4, width / 2, height / 2));
    return image;
}

// ------------------------------------------------------------------- JPEG

// One marker segment of a JPEG file before its entropy-coded data.
struct Segment {
    int marker;
    QByteArray payload; // without the length field
};

std::vector<Segment> jpegSegments(const QByteArray& jpeg)
{
    std::vector<Segment> segments;
    EXPECT_GE(jpeg.size(), 4);
    EXPECT_EQ(be16(jpeg, 0), 0xFFD8) << "SOI";
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        EXPECT_EQ(quint8(jpeg[at]), 0xFF);
        const int marker = quint8(jpeg[at + 1]);
        const int length = be16(jpeg, at + 2);
        segments.push_back({marker, jpeg.mid(at + 4, length - 2)});
        at += 2 + length;
        if (marker == 0xDA)
            break; // entropy-coded data follows
    }
    return segments;
}

// Annex K of the JPEG standard: the example tables, in natural order.
constexpr std::array<int, 64> kLuminance = {
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, //
    14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62, //
    18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92, //
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::array<int, 64> kChrominance = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, //
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99, //
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, //
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// The natural position of the n-th coefficient in zigzag order, the order
// in which DQT segments list them.
constexpr std::array<int, 64> kZigzag = {
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6, 7, 14, 21, 28, //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A table scaled for quality 90: factor 200 - 2 * 90 = 20 percent,
// rounded, kept within 1..255 (baseline), listed in zigzag order.
QByteArray quality90(const std::array<int, 64>& table)
{
    QByteArray zigzag;
    for (int n = 0; n < 64; ++n)
        zigzag += char(std::clamp((table[size_t(kZigzag[size_t(n)])] * 20 + 50) / 100, 1, 255));
    return zigzag;
}

struct DecodedJpeg {
    bool ok = false;
    QImage image;
    J_COLOR_SPACE colourSpace = JCS_UNKNOWN;
    bool progressive = true;
    bool jfif = false;
    int components = 0;
    std::array<int, 3> hSampling{}, vSampling{};
};

struct JpegTestErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jpegTestError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegTestErrors*>(cinfo->err)->jump, 1);
}

bool decodeInto(const QByteArray& bytes, DecodedJpeg& out, JpegTestErrors& errors)
{
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jpegTestError;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), (unsigned long)bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    out.colourSpace = cinfo.jpeg_color_space;
    out.progressive = cinfo.progressive_mode;
    out.jfif = cinfo.saw_JFIF_marker;
    out.components = cinfo.num_components;
    for (int c = 0; c < std::min(3, cinfo.num_components); ++c) {
        out.hSampling[size_t(c)] = cinfo.comp_info[c].h_samp_factor;
        out.vSampling[size_t(c)] = cinfo.comp_info[c].v_samp_factor;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.image.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

DecodedJpeg decodeJpeg(const QByteArray& bytes, QSize size)
{
    DecodedJpeg out;
    out.image = QImage(size, QImage::Format_RGB888);
    JpegTestErrors errors{};
    out.ok = decodeInto(bytes, out, errors);
    return out;
}

// A picture without sharp edges, which JPEG keeps close to the source.
QImage smoothFrame(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / std::max(1, width - 1), y * 255 / std::max(1, height - 1), 128));
    return image;
}

double meanAbsoluteError(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

TEST(JpegEncoder, BaselineQuality90ColourSequential)
{
    const QImage frame = sampleFrame();
    const QByteArray jpeg = EncodeJpeg(frame);
    ASSERT_EQ(be16(jpeg, jpeg.size() - 2), 0xFFD9) << "ends with EOI";

    const std::vector<Segment> segments = jpegSegments(jpeg);
    std::vector<int> markers;
    std::vector<QByteArray> quantTables;
    std::vector<QByteArray> huffmanTables;
    const Segment* frameHeader = nullptr;
    for (const Segment& s : segments) {
        markers.push_back(s.marker);
        if (s.marker == 0xC0)
            frameHeader = &s;
        for (qsizetype at = 0; s.marker == 0xDB && at < s.payload.size(); at += 65) {
            EXPECT_EQ(quint8(s.payload[at]) >> 4, 0) << "8-bit quantisation values";
            quantTables.push_back(s.payload.mid(at, 65));
        }
        for (qsizetype at = 0; s.marker == 0xC4 && at + 17 <= s.payload.size();) {
            int count = 0;
            for (int i = 1; i <= 16; ++i)
                count += quint8(s.payload[at + i]);
            huffmanTables.push_back(s.payload.mid(at, 17 + count));
            at += 17 + count;
        }
    }
    // JFIF header first, one baseline frame (SOF0), a single scan.
    ASSERT_FALSE(markers.empty());
    EXPECT_EQ(markers.front(), 0xE0);
    EXPECT_TRUE(segments.front().payload.startsWith(QByteArray("JFIF\0", 5)));
    EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xC0), 1);
    for (int sof : {0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        EXPECT_EQ(std::count(markers.begin(), markers.end(), sof), 0) << std::hex << sof;
    EXPECT_EQ(markers.back(), 0xDA);
    EXPECT_EQ(jpeg.count(QByteArray("\xFF\xDA", 2)), 1) << "sequential: one scan";

    // Frame header: 8-bit samples, the size, three components (Y, Cb, Cr)
    // with 2x2 sampling for Y and quantisation tables 0, 1, 1.
    ASSERT_NE(frameHeader, nullptr);
    const QByteArray& sof = frameHeader->payload;
    ASSERT_EQ(sof.size(), 6 + 3 * 3);
    EXPECT_EQ(quint8(sof[0]), 8);
    EXPECT_EQ(be16(sof, 1), frame.height());
    EXPECT_EQ(be16(sof, 3), frame.width());
    EXPECT_EQ(quint8(sof[5]), 3);
    EXPECT_EQ(sof.mid(6), QByteArray("\x01\x22\x00\x02\x11\x01\x03\x11\x01", 9));

    // Quantisation: the standard tables scaled for quality 90.
    ASSERT_EQ(quantTables.size(), 2u);
    EXPECT_EQ(quantTables[0], char(0) + quality90(kLuminance));
    EXPECT_EQ(quantTables[1], char(1) + quality90(kChrominance));
    EXPECT_EQ(quality90(kLuminance).left(4), QByteArray("\x03\x02\x02\x03", 4)); // the scaling itself

    // Huffman: the four standard tables (class and id, then the counts of
    // codes of each length).
    ASSERT_EQ(huffmanTables.size(), 4u);
    const QByteArray dcLuminance("\x00\x00\x01\x05\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00", 17);
    const QByteArray acLuminance("\x10\x00\x02\x01\x03\x03\x02\x04\x03\x05\x05\x04\x04\x00\x00\x01\x7d", 17);
    const QByteArray dcChrominance("\x01\x00\x03\x01\x01\x01\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00", 17);
    const QByteArray acChrominance("\x11\x00\x02\x01\x02\x04\x04\x03\x04\x07\x05\x04\x04\x00\x01\x02\x77", 17);
    std::vector<QByteArray> heads;
    for (const QByteArray& t : huffmanTables)
        heads.push_back(t.left(17));
    std::sort(heads.begin(), heads.end());
    std::vector<QByteArray> expected{dcLuminance, acLuminance, dcChrominance, acChrominance};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(heads, expected);

    // And a decoder agrees: YCbCr, not progressive, close to the source.
    const DecodedJpeg decoded = decodeJpeg(jpeg, frame.size());
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.colourSpace, JCS_YCbCr);
    EXPECT_FALSE(decoded.progressive);
    EXPECT_TRUE(decoded.jfif);
    EXPECT_EQ(decoded.components, 3);
    EXPECT_EQ(decoded.hSampling, (std::array<int, 3>{2, 1, 1}));
    EXPECT_EQ(decoded.vSampling, (std::array<int, 3>{2, 1, 1}));
    const QColor centreOfRed = decoded.image.pixelColor(frame.width() / 8, frame.height() / 8);
    EXPECT_NEAR(centreOfRed.red(), 255, 6);
    EXPECT_NEAR(centreOfRed.green(), 0, 6);
    EXPECT_NEAR(centreOfRed.blue(), 0, 6);
    const QImage smooth = smoothFrame(75, 43);
    EXPECT_LT(meanAbsoluteError(decodeJpeg(EncodeJpeg(smooth), smooth.size()).image, smooth), 1.5);
}

TEST(JpegEncoder, OddSizesAndFormats)
{
    QImage transparent(3, 2, QImage::Format_ARGB32);
    transparent.fill(QColor(0, 0, 255, 255));
    transparent.setPixelColor(0, 0, QColor(255, 255, 255, 0)); // shows as black
    QImage single(1, 1, QImage::Format_RGB32);
    single.fill(QColor(200, 100, 50));
    const QImage cases[] = {
        single,
        smoothFrame(17, 9),
        smoothFrame(9, 17).convertToFormat(QImage::Format_Indexed8),
        smoothFrame(8, 300).convertToFormat(QImage::Format_RGB16),
        smoothFrame(33, 5).convertToFormat(QImage::Format_ARGB32_Premultiplied),
    };
    // Steep gradients on tiny pictures lose some detail; a wrong size,
    // row or channel order would be off by far more.
    for (const QImage& image : cases) {
        const QByteArray jpeg = EncodeJpeg(image);
        const DecodedJpeg decoded = decodeJpeg(jpeg, image.size());
        ASSERT_TRUE(decoded.ok) << image.width() << "x" << image.height();
        EXPECT_LT(meanAbsoluteError(decoded.image, image.convertToFormat(QImage::Format_RGB32)), 8.0)
            << image.width() << "x" << image.height();
    }
    for (const QImage& image : {transparent, transparent.convertToFormat(QImage::Format_ARGB32_Premultiplied)}) {
        const DecodedJpeg decoded = decodeJpeg(EncodeJpeg(image), image.size());
        EXPECT_LT(decoded.image.pixelColor(0, 0).lightness(), 90);
        EXPECT_GT(decoded.image.pixelColor(2, 1).blue(), 200);
    }
}

TEST(JpegEncoder, SameBytesAsTheLibrarysOwnCompressor)
{
    // cjpeg -quality 90 -baseline applies the same settings to the same
    // library, so the files must agree byte for byte.
    const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    if (cjpeg.isEmpty())
        GTEST_SKIP() << "cjpeg (libjpeg-turbo-progs) is not installed";
    const QImage frame = sampleFrame(161, 97).convertToFormat(QImage::Format_RGB888);
    QTemporaryDir dir;
    const QString ppm = dir.filePath(QStringLiteral("frame.ppm"));
    {
        QFile f(ppm);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("P6\n%1 %2\n255\n").arg(frame.width()).arg(frame.height()).toLatin1());
        for (int y = 0; y < frame.height(); ++y)
            f.write(reinterpret_cast<const char*>(frame.constScanLine(y)), frame.width() * 3);
    }
    QProcess process;
    process.start(cjpeg, {QStringLiteral("-quality"), QStringLiteral("90"), QStringLiteral("-baseline"), ppm});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(EncodeJpeg(frame), process.readAllStandardOutput());
}

// -------------------------------------------------------------------- GIF

struct GifReader {
    const QByteArray* bytes;
    qsizetype at = 0;
};

int readFromArray(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* reader = static_cast<GifReader*>(gif->UserData);
    const int n = int(std::min<qsizetype>(length, reader->bytes->size() - reader->at));
    std::memcpy(buffer, reader->bytes->constData() + reader->at, size_t(n));
    reader->at += n;
    return n;
}

// The level each component value must reach, from the boundaries of the
// reduction (0-47, 48-98, 99-149, 150-200, 201-251, 252-255).
int expectedLevel(int c)
{
    const int upper[] = {47, 98, 149, 200, 251, 255};
    int level = 0;
    while (c > upper[level])
        ++level;
    return level;
}

// Checks the file's structure byte by byte and returns each pixel's index
// as giflib's decoder reads it.
std::vector<quint8> checkGif(const QByteArray& gif, int width, int height)
{
    EXPECT_TRUE(gif.startsWith("GIF87a"));
    EXPECT_EQ(le16(gif, 6), width);
    EXPECT_EQ(le16(gif, 8), height);
    EXPECT_EQ(quint8(gif[10]) & 0x80, 0) << "no global colour table";
    EXPECT_EQ(quint8(gif[12]), 0) << "no aspect ratio";
    // With no global table the image descriptor follows at once: no
    // extension block (0x21) anywhere before it.
    EXPECT_EQ(quint8(gif[13]), 0x2C);
    EXPECT_EQ(le16(gif, 14), 0);
    EXPECT_EQ(le16(gif, 16), 0);
    EXPECT_EQ(le16(gif, 18), width);
    EXPECT_EQ(le16(gif, 20), height);
    EXPECT_EQ(quint8(gif[22]), 0x87) << "local table of 256 entries, not interlaced, not sorted";
    const QByteArray table = gif.mid(23, 768);
    for (int i = 0; i < 256; ++i) {
        const int r = i < 216 ? 51 * (i / 36) : 0;
        const int g = i < 216 ? 51 * (i / 6 % 6) : 0;
        const int b = i < 216 ? 51 * (i % 6) : 0;
        EXPECT_EQ(quint8(table[3 * i]), r) << "entry " << i;
        EXPECT_EQ(quint8(table[3 * i + 1]), g) << "entry " << i;
        EXPECT_EQ(quint8(table[3 * i + 2]), b) << "entry " << i;
    }
    EXPECT_EQ(quint8(gif[23 + 768]), 8) << "LZW minimum code size";
    EXPECT_EQ(quint8(gif[gif.size() - 1]), 0x3B) << "trailer";
    EXPECT_EQ(quint8(gif[gif.size() - 2]), 0x00) << "block terminator before the trailer";

    GifReader reader{&gif};
    int error = 0;
    GifFileType* file = DGifOpen(&reader, readFromArray, &error);
    EXPECT_NE(file, nullptr);
    if (!file)
        return {};
    std::vector<quint8> pixels;
    if (DGifSlurp(file) == GIF_OK) {
        EXPECT_EQ(file->ImageCount, 1);
        EXPECT_EQ(file->SColorMap, nullptr);
        EXPECT_EQ(file->ExtensionBlockCount, 0);
        const SavedImage& image = file->SavedImages[0];
        EXPECT_EQ(image.ExtensionBlockCount, 0);
        EXPECT_FALSE(image.ImageDesc.Interlace);
        EXPECT_EQ(image.ImageDesc.Width, width);
        EXPECT_EQ(image.ImageDesc.Height, height);
        pixels.assign(image.RasterBits, image.RasterBits + size_t(width) * size_t(height));
    } else {
        ADD_FAILURE() << "giflib cannot read the file: " << GifErrorString(file->Error);
    }
    DGifCloseFile(file, &error);
    return pixels;
}

TEST(GifEncoder, KnownColoursMapToTheirIndices)
{
    struct Case {
        QColor colour;
        int index;
    };
    const Case cases[] = {
        {QColor(255, 0, 0), 180},
        {QColor(0, 0, 0), 0},
        {QColor(255, 255, 255), 215},
        {QColor(47, 47, 47), 0},
        {QColor(48, 48, 48), 36 + 6 + 1},
        {QColor(47, 48, 0), 6},
        {QColor(98, 99, 149), 36 * 1 + 6 * 2 + 2},
        {QColor(150, 200, 201), 36 * 3 + 6 * 3 + 4},
        {QColor(251, 252, 255), 36 * 4 + 6 * 5 + 5},
        {QColor(0, 0, 255), 5},
        {QColor(0, 255, 0), 30},
        {QColor(51, 102, 153), 36 * 1 + 6 * 2 + 3},
    };
    const int n = int(std::size(cases));
    QImage image(n, 2, QImage::Format_RGB32);
    for (int x = 0; x < n; ++x) {
        image.setPixelColor(x, 0, cases[x].colour);
        image.setPixelColor(n - 1 - x, 1, cases[x].colour);
    }
    const std::vector<quint8> pixels = checkGif(EncodeGif(image), n, 2);
    ASSERT_EQ(pixels.size(), size_t(2 * n));
    for (int x = 0; x < n; ++x) {
        EXPECT_EQ(pixels[size_t(x)], cases[x].index) << cases[x].colour.name().toStdString();
        EXPECT_EQ(pixels[size_t(n + n - 1 - x)], cases[x].index) << cases[x].colour.name().toStdString();
        EXPECT_EQ(GifPaletteIndex(cases[x].colour.red(), cases[x].colour.green(), cases[x].colour.blue()), cases[x].index);
    }
}

TEST(GifEncoder, EveryComponentValueOfEveryChannel)
{
    // Row 0 varies red, row 1 green, row 2 blue through 0..255; row 3
    // varies all three together. No dithering: each pixel on its own.
    QImage image(256, 4, QImage::Format_RGB32);
    for (int c = 0; c < 256; ++c) {
        image.setPixel(c, 0, qRgb(c, 0, 0));
        image.setPixel(c, 1, qRgb(0, c, 0));
        image.setPixel(c, 2, qRgb(0, 0, c));
        image.setPixel(c, 3, qRgb(c, c, c));
    }
    const std::vector<quint8> pixels = checkGif(EncodeGif(image), 256, 4);
    ASSERT_EQ(pixels.size(), 1024u);
    for (int c = 0; c < 256; ++c) {
        const int level = expectedLevel(c);
        EXPECT_EQ(pixels[size_t(c)], 36 * level) << c;
        EXPECT_EQ(pixels[size_t(256 + c)], 6 * level) << c;
        EXPECT_EQ(pixels[size_t(512 + c)], level) << c;
        EXPECT_EQ(pixels[size_t(768 + c)], 43 * level) << c;
    }
}

TEST(GifEncoder, LargeFrameRoundTripsThroughTheDecoder)
{
    // Enough pixels for the LZW table to fill and reset several times.
    const QImage frame = sampleFrame(640, 360);
    const std::vector<quint8> pixels = checkGif(EncodeGif(frame), 640, 360);
    ASSERT_EQ(pixels.size(), size_t(640 * 360));
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    int wrong = 0;
    for (int y = 0; y < 360; ++y)
        for (int x = 0; x < 640; ++x) {
            const QRgb p = rgb.pixel(x, y);
            const int expected = 36 * expectedLevel(qRed(p)) + 6 * expectedLevel(qGreen(p)) + expectedLevel(qBlue(p));
            wrong += pixels[size_t(y * 640 + x)] != expected;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(GifEncoder, RejectsPicturesTheFormatCannotHold)
{
    EXPECT_THROW(EncodeGif(QImage()), PlovexError);
    EXPECT_THROW(EncodeGif(QImage(65536, 1, QImage::Format_RGB32)), PlovexError);
    EXPECT_NO_THROW(EncodeGif(QImage(65535, 1, QImage::Format_RGB32)));
}

// -------------------------------------------------------------------- BMP

TEST(BmpEncoder, HeadersAndBottomUpPaddedRows)
{
    // Width 5: 15 bytes of pixels per row at 24 bits, padded to 16.
    QImage image(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgb(10 * x + y, 100 + y, 200 + x));
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(2835);

    for (BmpDepth depth : {BmpDepth::Bits24, BmpDepth::Bits32}) {
        const int bytesPerPixel = int(depth) / 8;
        const int stride = depth == BmpDepth::Bits24 ? 16 : 20;
        const QByteArray bmp = EncodeBmp(image, depth);
        ASSERT_EQ(bmp.size(), 54 + 3 * stride);
        EXPECT_TRUE(bmp.startsWith("BM"));
        EXPECT_EQ(le32(bmp, 2), quint32(bmp.size()));
        EXPECT_EQ(le32(bmp, 6), 0u);
        EXPECT_EQ(le32(bmp, 10), 54u);
        EXPECT_EQ(le32(bmp, 14), 40u);
        EXPECT_EQ(le32(bmp, 18), 5u);
        EXPECT_EQ(le32(bmp, 22), 3u) << "positive height: bottom-up";
        EXPECT_EQ(le16(bmp, 26), 1);
        EXPECT_EQ(le16(bmp, 28), int(depth));
        EXPECT_EQ(le32(bmp, 30), 0u) << "BI_RGB";
        EXPECT_EQ(le32(bmp, 34), quint32(3 * stride));
        EXPECT_EQ(le32(bmp, 38), 3780u);
        EXPECT_EQ(le32(bmp, 42), 2835u);
        EXPECT_EQ(le32(bmp, 46), 0u);
        EXPECT_EQ(le32(bmp, 50), 0u);
        for (int row = 0; row < 3; ++row) {
            const int y = 2 - row; // the first row in the file is the bottom one
            const qsizetype start = 54 + qsizetype(row) * stride;
            for (int x = 0; x < 5; ++x) {
                const qsizetype at = start + x * bytesPerPixel;
                EXPECT_EQ(quint8(bmp[at]), 200 + x);
                EXPECT_EQ(quint8(bmp[at + 1]), 100 + y);
                EXPECT_EQ(quint8(bmp[at + 2]), 10 * x + y);
                if (depth == BmpDepth::Bits32) {
                    EXPECT_EQ(quint8(bmp[at + 3]), 255);
                }
            }
            for (qsizetype pad = start + 5 * bytesPerPixel; pad < start + stride; ++pad)
                EXPECT_EQ(bmp[pad], '\0');
        }
        // A common reader shows the same picture.
        const QImage read = QImage::fromData(bmp, "BMP");
        ASSERT_FALSE(read.isNull());
        EXPECT_FALSE(read.hasAlphaChannel());
        EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), image);
    }
}

TEST(BmpEncoder, EveryRowWidthPadsToFourBytes)
{
    for (int width = 1; width <= 8; ++width) {
        const QImage image = sampleFrame(width, 2);
        const QByteArray bmp = EncodeBmp(image);
        const int stride = (3 * width + 3) / 4 * 4;
        EXPECT_EQ(bmp.size(), 54 + 2 * stride) << width;
        EXPECT_EQ(QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB32), image) << width;
    }
    EXPECT_THROW(EncodeBmp(QImage()), PlovexError);
}

TEST(Encoders, TransparentPixelsShowOverBlack)
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixelColor(0, 0, QColor(255, 255, 255, 0));
    image.setPixelColor(1, 0, QColor(255, 0, 0, 255));
    for (const QImage& picture : {image, image.convertToFormat(QImage::Format_ARGB32_Premultiplied)}) {
        EXPECT_EQ(checkGif(EncodeGif(picture), 2, 1), (std::vector<quint8>{0, 180}));
        const QByteArray bmp = EncodeBmp(picture);
        EXPECT_EQ(bmp.mid(54, 8), QByteArray("\x00\x00\x00\x00\x00\xff\x00\x00", 8));
    }
}

// ------------------------------------------------------------ extensions

TEST(ImageFiles, ExtensionOfAPath)
{
    const std::pair<QString, QString> cases[] = {
        {"/home/u/frame.JpG", ".JpG"},
        {"/home/u/frame.tar.gif", ".gif"},
        {"/home/u/frame", ""},
        {"/home/u.d/frame", ""},
        {"/home/u/frame.", "."},
        {"/home/u/.bmp", ".bmp"},
        {"frame.bmp", ".bmp"},
        {"", ""},
    };
    for (const auto& [path, extension] : cases)
        EXPECT_EQ(FileExtension(path), extension) << path.toStdString();
}

TEST(ImageFiles, OnlyThreeSpellingsChooseAFormat)
{
    const std::pair<QString, std::optional<ImageFormat>> cases[] = {
        {".jpg", ImageFormat::Jpeg},
        {".JPG", ImageFormat::Jpeg},
        {".JpG", ImageFormat::Jpeg},
        {".bmp", ImageFormat::Bmp},
        {".BMP", ImageFormat::Bmp},
        {".gif", ImageFormat::Gif},
        {".Gif", ImageFormat::Gif},
        {".jpeg", std::nullopt},
        {".jpe", std::nullopt},
        {".png", std::nullopt},
        {".dib", std::nullopt},
        {"", std::nullopt},
        {".", std::nullopt},
        {"jpg", std::nullopt},
        {".jpg ", std::nullopt},
        {".jpg.", std::nullopt},
        {QStringLiteral(".ｊｐｇ"), std::nullopt}, // full-width letters are no ASCII letters
    };
    for (const auto& [extension, format] : cases)
        EXPECT_EQ(ImageFormatForExtension(extension), format) << extension.toStdString();
}

class ImageFilesOnDisk : public ::testing::Test {
protected:
    void TearDown() override { SetWriteLimitForTesting(-1); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    QTemporaryDir dir;
    QImage frame = sampleFrame(40, 30);
};

TEST_F(ImageFilesOnDisk, ExtensionChoosesTheEncoding)
{
    struct Case {
        const char* name;
        QByteArray start; // the first bytes of the file, empty: no file
    };
    const Case cases[] = {
        {"a.JpG", QByteArray("\xFF\xD8\xFF\xE0", 4)},
        {"b.jpg", QByteArray("\xFF\xD8\xFF\xE0", 4)},
        {"c.GIF", "GIF87a"},
        {"d.bmp", "BM"},
        {"e.jpeg", {}},
        {"f.png", {}},
        {"g", {}},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        const bool written = WriteImageFileByExtension(frame, FileExtension(path), path);
        EXPECT_EQ(written, !c.start.isEmpty()) << c.name;
        EXPECT_EQ(QFileInfo::exists(path), !c.start.isEmpty()) << c.name;
        if (!c.start.isEmpty()) {
            EXPECT_TRUE(readFile(path).startsWith(c.start)) << c.name;
        }
    }
    EXPECT_EQ(entries(), (QStringList{"a.JpG", "b.jpg", "c.GIF", "d.bmp"}));
    // What is written is the encoder's output for the frame, whole.
    EXPECT_EQ(readFile(dir.filePath("a.JpG")), EncodeJpeg(frame));
    EXPECT_EQ(readFile(dir.filePath("c.GIF")), EncodeGif(frame));
    EXPECT_EQ(readFile(dir.filePath("d.bmp")), EncodeBmp(frame, BmpDepth::Bits24));
}

TEST_F(ImageFilesOnDisk, TheExtensionAloneDecides)
{
    // The name says .jpg; the extension given says GIF: GIF it is.
    const QString path = dir.filePath(QStringLiteral("frame.jpg"));
    ASSERT_TRUE(WriteImageFileByExtension(frame, QStringLiteral(".gif"), path));
    EXPECT_TRUE(readFile(path).startsWith("GIF87a"));
}

TEST_F(ImageFilesOnDisk, ASecondWriteReplacesTheFirst)
{
    const QString path = dir.filePath(QStringLiteral("frame.bmp"));
    ASSERT_TRUE(WriteImageFileByExtension(sampleFrame(64, 64), QStringLiteral(".bmp"), path));
    ASSERT_TRUE(WriteImageFileByExtension(sampleFrame(3, 2), QStringLiteral(".bmp"), path));
    EXPECT_EQ(QImage(path).size(), QSize(3, 2));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("frame.bmp")});
}

TEST_F(ImageFilesOnDisk, UnwritableFileRaisesWithPathAndReason)
{
    // A "folder" that is a regular file stops the write even for root.
    const QString plain = dir.filePath(QStringLiteral("plain"));
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString path = plain + QStringLiteral("/frame.jpg");
    try {
        WriteImageFileByExtension(frame, QStringLiteral(".jpg"), path);
        FAIL() << "no error raised";
    } catch (const PlovexError& e) {
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("Cannot create file \"") + path + QStringLiteral("\". ")))
            << e.text().toStdString();
        EXPECT_GT(e.text().size(), (QStringLiteral("Cannot create file \"") + path + QStringLiteral("\". ")).size());
    }
}

TEST_F(ImageFilesOnDisk, FullDiskKeepsTheOldPicture)
{
    const QString path = dir.filePath(QStringLiteral("frame.gif"));
    ASSERT_TRUE(WriteImageFileByExtension(frame, QStringLiteral(".gif"), path));
    const QByteArray before = readFile(path);
    SetWriteLimitForTesting(100);
    EXPECT_THROW(WriteImageFileByExtension(sampleFrame(300, 300), QStringLiteral(".gif"), path), PlovexError);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("frame.gif")});
}

} // namespace
