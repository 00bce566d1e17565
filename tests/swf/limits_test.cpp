// Hostile movies: what the engine refuses or cuts short so that loading
// and drawing stay bounded, while ordinary movies show as before.

#include "swf/fixtures.h"
#include "swf/hostile_movies.h"
#include "swf/movie_file.h"
#include "swf/movie.h"
#include "swf/player.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

// A DefineBitsLossless2 body declaring w x h pixels, with `data` as its
// compressed pixels.
QByteArray losslessBody(int id, int w, int h, const QByteArray& zdata)
{
    BitWriter b;
    b.u16(uint16_t(id));
    b.u8(5);   // 32-bit pixels
    b.u16(uint16_t(w));
    b.u16(uint16_t(h));
    b.bytes(zdata);
    return b.data();
}

QImage loadedBitmap(const QByteArray& file, int id)
{
    const auto movie = LoadMovie(file);
    const auto* bmp = movie->get<BitmapCharacter>(id);
    return bmp ? bmp->image : QImage();
}

TEST(SwfLimits, BitmapsPastTheFlashPlayerSizeLimitAreLeftOut)
{
    struct Case {
        int w, h;
        bool kept;
    };
    // 8191 pixels a side at most, and fewer than 4096 x 4096 in all.
    const Case cases[] = {
        {8191, 1, true}, {8192, 1, false}, {1, 8192, false}, {4095, 4096, true}, {4096, 4096, false},
    };
    for (const Case& c : cases) {
        // The first row of opaque blue pixels (ARGB bytes); the rest is cut
        // short, which leaves it transparent.
        QByteArray row;
        for (int i = 0; i < c.w; ++i)
            row.append("\xff\x00\x00\xff", 4);
        SwfWriter w;
        w.tag(kDefineBitsLossless2, losslessBody(7, c.w, c.h, qCompress(row).mid(4)));
        w.showFrame();
        const QImage img = loadedBitmap(w.finish(), 7);
        EXPECT_EQ(!img.isNull(), c.kept) << c.w << "x" << c.h;
        if (c.kept) {
            EXPECT_EQ(img.size(), QSize(c.w, c.h));
            EXPECT_EQ(img.pixelColor(c.w - 1, 0), QColor(Qt::blue));
            EXPECT_EQ(img.pixelColor(0, c.h - 1).alpha(), c.h > 1 ? 0 : 255);
        }
    }
}

TEST(SwfLimits, ABitmapWithoutPixelDataIsLeftOut)
{
    // A big declared size with nothing to inflate makes no picture at all,
    // while data cut short still gives the part it has.
    SwfWriter w;
    w.tag(kDefineBitsLossless2, losslessBody(1, 8000, 2000, QByteArray()));
    QImage small(4, 4, QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::red);
    w.defineBitsLossless(2, small);
    w.showFrame();
    const QByteArray file = w.finish();
    EXPECT_TRUE(loadedBitmap(file, 1).isNull());
    EXPECT_EQ(loadedBitmap(file, 2).pixelColor(3, 3), QColor(Qt::red));
}

// A DefineButton2 body whose up state shows the given characters, each
// moved right by 10 px from the one before.
QByteArray buttonBody(int id, const std::vector<int>& characters)
{
    BitWriter b;
    b.u16(uint16_t(id));
    b.u8(0);    // not a menu
    b.u16(0);   // no actions
    int depth = 1;
    for (int c : characters) {
        b.u8(0x01);   // up state
        b.u16(uint16_t(c));
        b.u16(uint16_t(depth));
        b.matrix(Translate((depth - 1) * 200, 0));
        b.colorTransform(ColorTransform(), true);
        ++depth;
    }
    b.u8(0);
    return b.data();
}

TEST(SwfLimits, ButtonsHoldingThemselvesAreDrawnOnce)
{
    // Button 10 shows a red square and, three times, itself; button 11
    // shows button 12, which shows button 11 again and a blue square. Each
    // is drawn once instead of ever deeper. Both are placed with a blend
    // mode, so they are also measured for their layers.
    SwfWriter w({.frameSize = Rect{0, 100 * 20, 0, 40 * 20}});
    w.defineShape(1, RectShape(QRectF(0, 0, 10, 10), Qt::red));
    w.defineShape(2, RectShape(QRectF(0, 0, 10, 10), Qt::blue));
    w.tag(kDefineButton2, buttonBody(10, {1, 10, 10, 10}));
    w.tag(kDefineButton2, buttonBody(11, {12, 11}));
    w.tag(kDefineButton2, buttonBody(12, {11, 2}));
    for (PlaceObject place : {PlaceNew(10, 1), PlaceNew(11, 2, Translate(0, 400))}) {
        place.version = 3;
        place.blendMode = 3;   // multiply, over white: the colours stay
        w.placeObject2(place);
    }
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    RenderOptions o;
    o.antialias = false;
    const QImage img = p.renderImage(QSize(100, 40), o);
    EXPECT_EQ(img.pixelColor(5, 5), QColor(Qt::red));
    // Button 10 inside button 10 is not drawn: nothing red to the right.
    EXPECT_EQ(img.pixelColor(15, 5), QColor(Qt::white));
    // Button 11 -> 12 draws 12's blue square 10 px on; 12's own 11 stops.
    EXPECT_EQ(img.pixelColor(15, 25), QColor(Qt::blue));
    EXPECT_EQ(img.pixelColor(35, 25), QColor(Qt::white));
}

TEST(SwfLimits, BlursAreCutToWhatTheFlashPlayerAllows)
{
    // At most 255 pixels and 15 passes; a wide blur on a tiny stage still
    // draws a picture the size asked for, in bounded time.
    Filter f;
    f.type = Filter::DropShadow;
    f.colors = {Qt::black};
    f.blurX = 20000;
    f.blurY = 300;
    f.distance = 30000;
    f.passes = 31;
    const QByteArray encoded = EncodeFilters({f, f});
    Reader r(encoded);
    const std::vector<Filter> read = ReadFilterList(r);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].blurX, 255);
    EXPECT_EQ(read[0].blurY, 255);
    EXPECT_EQ(read[0].passes, 15);

    SwfWriter w({.frameSize = Rect{0, 20, 0, 20}});
    w.defineShape(1, RectShape(QRectF(0, 0, 1, 1), Qt::red));
    TagStream inner;
    PlaceObject p = PlaceNew(1, 1);
    p.version = 3;
    p.filters = {f, f};
    inner.placeObject2(p);
    inner.showFrame();
    w.defineSprite(2, inner);
    p.characterId = 2;
    w.placeObject2(p);
    w.showFrame();
    Player player(LoadMovie(w.finish()));
    EXPECT_EQ(player.renderImage(QSize(200, 200), RenderOptions()).size(), QSize(200, 200));
}

// A convolution larger than 15 x 15 is not applied, and an object's
// filters stop at 45 passes over its picture.
TEST(SwfLimits, FilterListsAreCutToTheirShareOfWork)
{
    Filter blur;
    blur.type = Filter::Blur;
    blur.blurX = blur.blurY = 10;
    blur.passes = 15;
    Filter shadow = blur;
    shadow.type = Filter::DropShadow;
    shadow.passes = 1;
    shadow.colors = {Qt::black};
    Filter matrix;
    matrix.type = Filter::ColorMatrix;
    matrix.matrix.assign(20, 0.5);
    struct Case {
        const char* name;
        std::vector<Filter> filters;
        std::vector<Filter::Type> kept;
    };
    const Case cases[] = {
        {"15 x 15 convolution", {test::BigConvolution(15)}, {Filter::Convolution}},
        {"16 x 15 convolution", {test::BigConvolution(16)}, {}},
        {"three full blurs", {blur, blur, blur}, {Filter::Blur, Filter::Blur, Filter::Blur}},
        {"a fourth blur", {blur, blur, blur, blur}, {Filter::Blur, Filter::Blur, Filter::Blur}},
        {"one-pass filters after the blurs", {blur, blur, shadow, blur, matrix, shadow},
         {Filter::Blur, Filter::Blur, Filter::DropShadow, Filter::ColorMatrix, Filter::DropShadow}},
        {"255 blurs", std::vector<Filter>(255, blur), {Filter::Blur, Filter::Blur, Filter::Blur}},
    };
    for (const Case& c : cases) {
        const QByteArray encoded = EncodeFilters(c.filters);
        Reader r(encoded);
        std::vector<Filter::Type> kept;
        for (const Filter& f : ReadFilterList(r))
            kept.push_back(Filter::Type(f.type));
        EXPECT_EQ(kept, c.kept) << c.name;
    }
}

// Pictures are decoded when first drawn, not when the movie loads.
TEST(SwfLimits, PicturesAreDecodedWhenFirstDrawn)
{
    const auto movie = LoadMovie(test::ManyScansJpegMovie(3));
    const auto* bmp = movie->get<BitmapCharacter>(1);
    ASSERT_NE(bmp, nullptr);
    EXPECT_FALSE(bmp->image.decoded());
    Player player(movie);
    const QImage frame = player.renderImage(QSize(64, 64), RenderOptions());
    EXPECT_TRUE(bmp->image.decoded());
    EXPECT_EQ(bmp->image.size(), QSize(64, 64));
    EXPECT_GT(frame.pixelColor(32, 32).green(), 240);
    EXPECT_LT(frame.pixelColor(32, 32).red(), 16);

    // A JPEG of more scans than any real picture is left out.
    const auto many = LoadMovie(test::ManyScansJpegMovie(kMaxJpegScans + 1));
    EXPECT_TRUE(many->get<BitmapCharacter>(1)->image.isNull());
}

// The picture of a stage is cut down in proportion to the Flash Player's
// bitmap limits.
TEST(SwfLimits, StagePicturesAreCutDownInProportion)
{
    struct Case {
        QRectF stage;
        QSize size;
        bool cut;
    };
    const Case cases[] = {
        {QRectF(0, 0, 550, 400), QSize(550, 400), false},
        {QRectF(0, 0, 0.2, 0), QSize(1, 1), false},
        {QRectF(0, 0, 8191, 2048), QSize(8191, 2048), false},
        {QRectF(0, 0, 8192, 100), QSize(8191, 99), true},
        {QRectF(0, 0, 50000, 50000), QSize(4095, 4095), true},
        {QRectF(0, 0, 100, 300000), QSize(2, 8191), true},
    };
    for (const Case& c : cases) {
        bool cut = false;
        EXPECT_EQ(StagePictureSize(c.stage, &cut), c.size) << c.stage.width() << "x" << c.stage.height();
        EXPECT_EQ(cut, c.cut);
    }
}

// What cannot be a movie is refused before a byte is read.
TEST(SwfLimits, MovieFilesThatAreNoFilesAreRefused)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge.swf"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kMaxMovieFileBytes + 1));
    }
    const QString fine = dir.filePath(QStringLiteral("fine.swf"));
    {
        QFile f(fine);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(test::HugeStageMovie(2000));
    }
    struct Case {
        QString path;
        QString reason;
    };
    const Case cases[] = {
        {fifo, QStringLiteral("is not a regular file")},
        {QStringLiteral("/dev/zero"), QStringLiteral("is not a regular file")},
        {dir.path(), QStringLiteral("is a folder")},
        {huge, QStringLiteral("larger than any movie")},
        {dir.filePath(QStringLiteral("missing.swf")), QStringLiteral("no such file")},
        {fine, QString()},
    };
    for (const Case& c : cases) {
        QByteArray bytes("left over");
        const QString reason = ReadMovieFile(c.path, bytes);
        EXPECT_TRUE(c.reason.isEmpty() ? reason.isEmpty() : reason.contains(c.reason)) << reason.toStdString();
        EXPECT_EQ(bytes.isEmpty(), !c.reason.isEmpty());
        // The player shows them as an empty movie.
        EXPECT_EQ(LoadMovieFile(c.path)->info.valid, c.reason.isEmpty());
    }
}

} // namespace
