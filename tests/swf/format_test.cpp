// The format layer: header and decompression, bounded reading of damaged
// files, and round trips through the writer.

#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"
#include "swf/sound_events.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

QImage frameImage(const std::shared_ptr<const Movie>& movie, int frame)
{
    Player p(movie);
    p.gotoFrame(frame);
    RenderOptions o;
    o.antialias = false;
    return p.renderImage(QSize(100, 80), o);
}

TEST(SwfHeader, ReadsVersionRateFramesAndStage)
{
    const auto movie = LoadMovie(AnimatedMovie(Compression::None, 7));
    const MovieInfo& i = movie->info;
    EXPECT_TRUE(i.valid);
    EXPECT_EQ(i.version, 7);
    EXPECT_EQ(i.compression, Compression::None);
    EXPECT_DOUBLE_EQ(i.frameRate, 12.5);
    EXPECT_EQ(i.headerFrameCount, 10);
    EXPECT_EQ(i.stageRect, QRectF(0, 0, 100, 80));
    Player p(movie);
    EXPECT_EQ(p.frameCount(), 10);
    EXPECT_EQ(p.backgroundColor(), QColor(250, 250, 250));
}

TEST(SwfHeader, CompressedVariantsLoadIdentically)
{
    struct Case {
        Compression compression;
        int version;
    };
    const Case cases[] = {{Compression::None, 1}, {Compression::None, 10}, {Compression::Zlib, 6},
                          {Compression::Zlib, 10}, {Compression::Lzma, 13}, {Compression::Lzma, 40}};
    const auto reference = LoadMovie(AnimatedMovie(Compression::None, 10));
    for (const Case& c : cases) {
        const QByteArray bytes = AnimatedMovie(c.compression, c.version);
        const auto movie = LoadMovie(bytes);
        SCOPED_TRACE(std::string(bytes.left(3).constData(), 3) + " v" + std::to_string(c.version));
        EXPECT_EQ(bytes.at(0), c.compression == Compression::Zlib ? 'C' : c.compression == Compression::Lzma ? 'Z' : 'F');
        EXPECT_TRUE(movie->info.valid);
        EXPECT_EQ(movie->info.compression, c.compression);
        EXPECT_EQ(movie->info.version, c.version);
        EXPECT_EQ(movie->info.declaredLength, reference->info.declaredLength);
        EXPECT_EQ(movie->root.frames.size(), 10u);
        for (int f : {0, 5, 9})
            EXPECT_EQ(frameImage(movie, f), frameImage(reference, f)) << "frame " << f;
    }
}

TEST(SwfHeader, NotAMovieIsEmpty)
{
    for (const QByteArray& bytes : {QByteArray(), QByteArray("GIF89a"), QByteArray("FWS"), QByteArray(64, 'x'),
                                    QByteArray("PK\x03\x04 not a movie at all")}) {
        const auto movie = LoadMovie(bytes);
        EXPECT_FALSE(movie->info.valid);
        Player p(movie);
        EXPECT_EQ(p.frameCount(), 0);
        p.nextFrame();
        p.gotoFrame(5);
        const QImage img = p.renderImage(QSize(20, 10), RenderOptions());
        EXPECT_EQ(img.pixelColor(5, 5), QColor(Qt::white));
    }
}

// Every prefix of a movie (plain, zlib and LZMA) loads without reading
// past its bytes and plays what it has.
TEST(SwfDamaged, EveryTruncationLoads)
{
    for (Compression c : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        const QByteArray full = AnimatedMovie(c);
        for (qsizetype n = 0; n < full.size(); ++n) {
            // A copy of exactly n bytes, so a read past it is a real overrun
            // that the sanitizer build reports.
            const QByteArray cut(full.constData(), n);
            const auto movie = LoadMovie(cut);
            Player p(movie);
            EXPECT_LE(p.frameCount(), 10);
            p.gotoFrame(9);
            p.gotoFrame(2);
            (void)p.renderImage(QSize(10, 8), RenderOptions());
        }
    }
    // A cut plain movie keeps the frames before the cut.
    const QByteArray full = AnimatedMovie();
    const auto partial = LoadMovie(full.left(full.size() * 3 / 4));
    EXPECT_TRUE(partial->info.valid);
    EXPECT_GT(partial->root.frames.size(), 1u);
    EXPECT_LT(partial->root.frames.size(), 10u);
}

TEST(SwfDamaged, GarbageAfterAValidHeaderLoads)
{
    std::mt19937 rng(7);
    const QByteArray good = AnimatedMovie();
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = good;
        // Flip some bytes after the header.
        const int flips = 1 + int(rng() % 20);
        for (int i = 0; i < flips; ++i)
            bytes[qsizetype(8 + rng() % (bytes.size() - 8))] = char(rng());
        const auto movie = LoadMovie(bytes);
        Player p(movie);
        for (int f = 0; f < p.frameCount(); ++f) {
            p.nextFrame();
            (void)p.renderImage(QSize(25, 20), RenderOptions());
        }
    }
    QByteArray noise(4096, 0);
    for (auto& ch : noise)
        ch = char(rng());
    noise.replace(0, 3, "FWS");
    (void)LoadMovie(noise);
}

TEST(SwfDamaged, HugeDeclaredLengthsAreCapped)
{
    // A zlib movie that claims 4 GiB uncompressed.
    QByteArray cws = AnimatedMovie(Compression::Zlib);
    cws[4] = cws[5] = cws[6] = cws[7] = char(0xff);
    auto movie = LoadMovie(cws);
    EXPECT_TRUE(movie->info.valid);
    EXPECT_EQ(movie->info.declaredLength, 0xffffffffu);
    EXPECT_EQ(movie->root.frames.size(), 10u);
    // The same for LZMA.
    QByteArray zws = AnimatedMovie(Compression::Lzma);
    zws[4] = zws[5] = zws[6] = zws[7] = char(0xff);
    movie = LoadMovie(zws);
    EXPECT_EQ(movie->root.frames.size(), 10u);
    // An LZMA dictionary of 4 GiB in the properties is cut to what the
    // movie can use (found by fuzzing: it was allocated as declared).
    zws[13] = zws[14] = zws[15] = zws[16] = char(0xff);
    movie = LoadMovie(zws);
    EXPECT_EQ(movie->root.frames.size(), 10u);

    // A tag that declares a length far past the end of the file.
    SwfWriter w;
    w.defineShape(1, RectShape(QRectF(0, 0, 10, 10), Qt::red));
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    BitWriter long_;
    long_.u16(uint16_t((kDefineShape << 6) | 0x3f));
    long_.u32(0xfffffff0u);
    QByteArray body = w.finish();
    body.chop(2);   // drop End
    body.append(long_.data());
    body.append("abc");
    movie = LoadMovie(body);
    EXPECT_EQ(movie->root.frames.size(), 1u);

    // A bitmap that claims 65535 x 65535 pixels.
    SwfWriter b;
    BitWriter bits;
    bits.u16(7);
    bits.u8(5);
    bits.u16(0xffff);
    bits.u16(0xffff);
    bits.bytes(QByteArray(16, 0));
    b.tag(kDefineBitsLossless2, bits.data());
    b.showFrame();
    movie = LoadMovie(b.finish());
    ASSERT_NE(movie->get<BitmapCharacter>(7), nullptr);
    EXPECT_TRUE(movie->get<BitmapCharacter>(7)->image.isNull());
}

TEST(SwfDamaged, UnknownTagsAreSkippedByLength)
{
    SwfWriter w;
    w.tag(200, QByteArray(10, 'q'));
    w.tag(201, QByteArray(300, 'q'));
    w.defineShape(1, RectShape(QRectF(0, 0, 100, 80), Qt::blue));
    w.tag(kDefineShape, QByteArray(5, '\xff'), true);   // nonsense shape body
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    const auto movie = LoadMovie(w.finish());
    Player p(movie);
    EXPECT_EQ(p.frameCount(), 1);
    EXPECT_EQ(p.renderImage(QSize(550, 400), RenderOptions()).pixelColor(50, 40), QColor(Qt::blue));
}

TEST(SwfReader, BitFieldsAndBounds)
{
    BitWriter w;
    w.ub(5, 3);
    w.sb(-3, 4);
    w.fb(1.5, 20);
    w.u16(0xbeef);
    const QByteArray d = w.data();
    Reader r(d);
    EXPECT_EQ(r.ub(3), 5u);
    EXPECT_EQ(r.sb(4), -3);
    EXPECT_DOUBLE_EQ(r.fb(20), 1.5);
    EXPECT_EQ(r.u16(), 0xbeef);
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_TRUE(r.failed());
}

TEST(SwfWriter, ShapeRoundTrip)
{
    ShapeBuilder b;
    const int red = b.addFill(SolidFill(QColor(255, 0, 0, 128)));
    const int grad = b.addFill(LinearGradientFill(ScaleRotate(0.1, 0.1, 0.3, 500, 600),
                                                  {{0, Qt::white}, {128, QColor(1, 2, 3)}, {255, Qt::black}}));
    LineStyle thick = SolidLine(80, Qt::darkGreen);
    thick.join = 2;
    thick.miterLimit = 2.5;
    thick.startCap = thick.endCap = 1;
    const int line = b.addLine(thick);
    b.style(0, red, line).rect(QRectF(-100, -200, 3000, 1000));
    b.style(red, grad, 0).moveTo(10, 10).curveTo(400, -300, 800, 10).lineTo(10, 10);
    b.newLayer();
    const int blue = b.addFill(SolidFill(Qt::blue));
    b.style(0, blue, 0).ellipse(QRectF(0, 0, 2000, 1000));
    const ShapeData shape = b.build();

    for (int version : {4}) {
        const QByteArray bytes = EncodeShape(shape, version);
        Reader r(bytes);
        const ShapeData back = ReadShape(r, version, true);
        EXPECT_FALSE(r.failed());
        ASSERT_EQ(back.layers.size(), shape.layers.size());
        for (size_t l = 0; l < shape.layers.size(); ++l) {
            const auto& a = shape.layers[l];
            const auto& c = back.layers[l];
            ASSERT_EQ(c.fills.size(), a.fills.size());
            ASSERT_EQ(c.lines.size(), a.lines.size());
            ASSERT_EQ(c.paths.size(), a.paths.size());
            for (size_t i = 0; i < a.fills.size(); ++i) {
                EXPECT_EQ(c.fills[i].type, a.fills[i].type);
                EXPECT_EQ(c.fills[i].color, a.fills[i].color);
                EXPECT_EQ(c.fills[i].gradient.records.size(), a.fills[i].gradient.records.size());
                EXPECT_NEAR(c.fills[i].matrix.a, a.fills[i].matrix.a, 1e-4);
                EXPECT_NEAR(c.fills[i].matrix.c, a.fills[i].matrix.c, 1e-4);
            }
            for (size_t i = 0; i < a.lines.size(); ++i) {
                EXPECT_EQ(c.lines[i].width, a.lines[i].width);
                EXPECT_EQ(c.lines[i].join, a.lines[i].join);
                EXPECT_DOUBLE_EQ(c.lines[i].miterLimit, a.lines[i].miterLimit);
                EXPECT_EQ(c.lines[i].startCap, a.lines[i].startCap);
            }
            for (size_t p = 0; p < a.paths.size(); ++p) {
                EXPECT_EQ(c.paths[p].fill0, a.paths[p].fill0);
                EXPECT_EQ(c.paths[p].fill1, a.paths[p].fill1);
                EXPECT_EQ(c.paths[p].line, a.paths[p].line);
                ASSERT_EQ(c.paths[p].edges.size(), a.paths[p].edges.size());
                for (size_t e = 0; e < a.paths[p].edges.size(); ++e) {
                    EXPECT_EQ(c.paths[p].edges[e].from, a.paths[p].edges[e].from);
                    EXPECT_EQ(c.paths[p].edges[e].to, a.paths[p].edges[e].to);
                    EXPECT_EQ(c.paths[p].edges[e].curved, a.paths[p].edges[e].curved);
                }
            }
        }
    }
}

TEST(SwfWriter, PlaceObjectRoundTrip)
{
    PlaceObject p;
    p.version = 3;
    p.depth = 17;
    p.characterId = 300;
    p.matrix = ScaleRotate(2, 0.5, 1, 1234, -567);
    ColorTransform cx;
    cx.rm = 0.5;
    cx.aa = -20;
    cx.ga = 100;
    p.colorTransform = cx;
    p.ratio = 32768;
    p.name = QStringLiteral("knopf");
    p.clipDepth = 20;
    Filter blur;
    blur.type = Filter::Blur;
    blur.blurX = 4;
    blur.blurY = 6.5;
    blur.passes = 2;
    Filter shadow;
    shadow.type = Filter::DropShadow;
    shadow.colors = {QColor(10, 20, 30, 40)};
    shadow.blurX = shadow.blurY = 3;
    shadow.angle = 0.75;
    shadow.distance = 5;
    shadow.strength = 1.5;
    shadow.passes = 3;
    p.filters = std::vector<Filter>{blur, shadow};
    p.blendMode = 3;
    p.cacheAsBitmap = true;
    Tag t{kPlaceObject3, EncodePlaceObject(p)};
    const PlaceObject back = ReadPlaceObject(t, 10);
    EXPECT_EQ(back.depth, 17);
    EXPECT_EQ(back.characterId, 300);
    EXPECT_NEAR(back.matrix->a, p.matrix->a, 1e-4);
    EXPECT_NEAR(back.matrix->c, p.matrix->c, 1e-4);
    EXPECT_EQ(back.matrix->tx, 1234);
    EXPECT_EQ(back.matrix->ty, -567);
    EXPECT_EQ(back.colorTransform, cx);
    EXPECT_EQ(back.ratio, 32768);
    EXPECT_EQ(back.name, QStringLiteral("knopf"));
    EXPECT_EQ(back.clipDepth, 20);
    ASSERT_TRUE(back.filters);
    ASSERT_EQ(back.filters->size(), 2u);
    EXPECT_EQ((*back.filters)[0].type, Filter::Blur);
    EXPECT_DOUBLE_EQ((*back.filters)[0].blurY, 6.5);
    EXPECT_EQ((*back.filters)[0].passes, 2);
    EXPECT_EQ((*back.filters)[1].colors.front(), QColor(10, 20, 30, 40));
    EXPECT_DOUBLE_EQ((*back.filters)[1].strength, 1.5);
    EXPECT_EQ(back.blendMode, 3);
    EXPECT_EQ(back.cacheAsBitmap, true);
}

TEST(SwfWriter, SoundTagsRoundTrip)
{
    SwfWriter w;
    w.defineSound(3, 2, 3, true, true, 1152, QByteArray("mp3data"));
    w.soundStreamHead(0, 1, true, false, 512);
    w.soundStreamBlock(QByteArray(100, 'a'));
    w.showFrame();
    w.soundStreamBlock(QByteArray(50, 'b'));
    w.showFrame();
    const auto movie = LoadMovie(w.finish());
    const auto* s = movie->get<SoundCharacter>(3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->format, 2);
    EXPECT_EQ(s->rate, 3);
    EXPECT_TRUE(s->is16Bit);
    EXPECT_TRUE(s->stereo);
    EXPECT_EQ(s->sampleCount, 1152u);
    EXPECT_EQ(s->data, QByteArray("mp3data"));
    ASSERT_EQ(movie->streams.size(), 1u);
    EXPECT_EQ(movie->streams[0].samplesPerBlock, 512);
    EXPECT_EQ(movie->streams[0].rate, 1);
    ASSERT_EQ(movie->streams[0].blocks.size(), 2u);
    EXPECT_EQ(movie->streams[0].blocks[1], QByteArray(50, 'b'));
}

} // namespace

namespace {

// Found by the fuzzer: a second DefineFont with a taken id was dropped
// while font info tags still went to it.
TEST(SwfDamaged, DuplicateFontIdsKeepTheFirstFont)
{
    auto fontTag = [](int id, int glyphs) {
        BitWriter w;
        w.u16(uint16_t(id));
        // Offsets table, then one empty glyph shape (bits 1/0, end) each.
        for (int i = 0; i < glyphs; ++i)
            w.u16(uint16_t(glyphs * 2 + i * 2));
        for (int i = 0; i < glyphs; ++i) {
            w.u8(0x10);
            w.u8(0x00);
        }
        return w.data();
    };
    SwfWriter sw;
    sw.tag(kDefineFont, fontTag(5, 2));
    sw.tag(kDefineFont, fontTag(5, 3));
    BitWriter info;
    info.u16(5);
    info.u8(4);
    info.bytes("Sans");
    info.u8(0);
    info.u8('A');
    info.u8('B');
    sw.tag(kDefineFontInfo, info.data());
    sw.showFrame();
    const auto movie = LoadMovie(sw.finish());
    const auto* font = movie->get<FontCharacter>(5);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->glyphs.size(), 2u);
    EXPECT_EQ(font->name, QStringLiteral("Sans"));
    EXPECT_EQ(font->glyphIndex('B'), 1);
}

// Each frame records the sounds it starts and the stream block it carries;
// a sprite's stream, read between the movie's head and its blocks, does not
// disturb the movie's own; a block before any head is dropped.
TEST(Format, FramesRecordTheirSoundEvents)
{
    SwfWriter w;
    w.soundStreamBlock(QByteArray(8, 'x'));   // before any head
    w.defineSound(3, 3, 3, true, false, 4, QByteArray(8, '\0'));
    w.soundStreamHead(3, 3, true, false, 4);
    w.soundStreamBlock(QByteArray(8, 'a'));
    SoundInfo info;
    info.syncNoMultiple = true;
    info.inPoint = 5;
    info.outPoint = 900;
    info.loops = 3;
    info.envelope = {{0, 0, 32768}, {4410, 32768, 100}};
    w.startSound(3, info);
    w.showFrame();
    TagStream sprite;
    sprite.soundStreamHead(3, 1, true, true, 4);
    sprite.soundStreamBlock(QByteArray(16, 's'));
    sprite.showFrame();
    w.defineSprite(9, sprite);
    w.showFrame();   // no sound
    w.soundStreamBlock(QByteArray(8, 'b'));
    w.startSound(3, SoundInfo{.syncStop = true});
    w.showFrame();
    const auto movie = LoadMovie(w.finish());
    ASSERT_EQ(movie->root.frames.size(), 3u);
    ASSERT_EQ(movie->streams.size(), 2u);
    const Frame& f0 = movie->root.frames[0];
    EXPECT_EQ(f0.stream, 0);
    EXPECT_EQ(f0.streamBlock, 0);
    ASSERT_EQ(f0.sounds.size(), 1u);
    EXPECT_EQ(f0.sounds[0].soundId, 3);
    const SoundInfo& got = f0.sounds[0].info;
    EXPECT_TRUE(got.syncNoMultiple);
    EXPECT_FALSE(got.syncStop);
    EXPECT_EQ(got.inPoint, 5u);
    EXPECT_EQ(got.outPoint, 900u);
    EXPECT_EQ(got.loops, 3);
    ASSERT_EQ(got.envelope.size(), 2u);
    EXPECT_EQ(got.envelope[1].position44, 4410u);
    EXPECT_EQ(got.envelope[1].left, 32768);
    EXPECT_EQ(got.envelope[1].right, 100);
    EXPECT_EQ(movie->root.frames[1].streamBlock, -1);
    EXPECT_TRUE(movie->root.frames[1].sounds.empty());
    EXPECT_EQ(movie->root.frames[2].stream, 0);
    EXPECT_EQ(movie->root.frames[2].streamBlock, 1);
    ASSERT_EQ(movie->root.frames[2].sounds.size(), 1u);
    EXPECT_TRUE(movie->root.frames[2].sounds[0].info.syncStop);
    EXPECT_EQ(movie->streams[0].blocks, (std::vector<QByteArray>{QByteArray(8, 'a'), QByteArray(8, 'b')}));
    const auto* s = movie->get<SpriteCharacter>(9);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->timeline.frames[0].stream, 1);
    EXPECT_EQ(s->timeline.frames[0].streamBlock, 0);
    EXPECT_EQ(movie->streams[1].blocks.size(), 1u);
}

// DefineButtonSound gives a button its four transition sounds; one for an
// unknown button is ignored, a cut tag keeps what it read.
TEST(Format, ButtonSoundsBelongToTheirButton)
{
    SwfWriter w;
    BitWriter button;
    button.u16(4);
    button.u8(0);   // DefineButton2 flags
    button.u16(0);  // no actions
    button.u8(0);   // no records
    w.tag(kDefineButton2, button.data());
    BitWriter sounds;
    sounds.u16(4);
    sounds.u16(0);                     // over to up: none
    sounds.u16(7);                     // up to over
    sounds.bytes(EncodeSoundInfo(SoundInfo{.loops = 2}));
    sounds.u16(8);                     // over to down
    sounds.bytes(EncodeSoundInfo(SoundInfo{}));
    w.tag(kDefineButtonSound, sounds.data().left(sounds.data().size()));   // down to over missing: cut
    BitWriter other;
    other.u16(99);
    other.u16(7);
    w.tag(kDefineButtonSound, other.data());
    w.showFrame();
    const auto movie = LoadMovie(w.finish());
    const auto* b = movie->get<ButtonCharacter>(4);
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->sounds[ButtonCharacter::OverUpToIdle].has_value());
    ASSERT_TRUE(b->sounds[ButtonCharacter::IdleToOverUp].has_value());
    EXPECT_EQ(b->sounds[ButtonCharacter::IdleToOverUp]->soundId, 7);
    EXPECT_EQ(b->sounds[ButtonCharacter::IdleToOverUp]->info.loops, 2);
    ASSERT_TRUE(b->sounds[ButtonCharacter::OverUpToOverDown].has_value());
    EXPECT_EQ(b->sounds[ButtonCharacter::OverUpToOverDown]->soundId, 8);
    EXPECT_FALSE(b->sounds[ButtonCharacter::OverDownToOverUp].has_value());
}

TEST(SoundTransformArithmetic, PanVolumeAndNesting)
{
    // setPan as the Flash Player sets it, and getPan as it reports it back
    // (negative gains count by their size).
    struct PanCase {
        int pan, ll, rr, reported;
    };
    for (const PanCase& c : std::vector<PanCase>{{0, 100, 100, 0},
                                                 {50, 50, 100, 50},
                                                 {-50, 100, 50, -50},
                                                 {200, -100, 100, 0},
                                                 {-200, 100, -100, 0},
                                                 {std::numeric_limits<int>::min(), 100, -2147483548, 2147483448}}) {
        SoundTransform t;
        t.leftToRight = t.rightToLeft = 7;
        t.setPan(c.pan);
        EXPECT_EQ(t.leftToLeft, c.ll) << c.pan;
        EXPECT_EQ(t.rightToRight, c.rr) << c.pan;
        EXPECT_EQ(t.leftToRight + t.rightToLeft, 0) << c.pan;
        EXPECT_EQ(t.pan(), c.reported) << c.pan;
    }
    // A transform heard through another: volumes multiply, the gains
    // multiply as matrices (out = outer x inner), whole numbers throughout,
    // 30 bits kept.
    SoundTransform inner;
    inner.volume = 50;
    inner.leftToLeft = 0;
    inner.rightToLeft = 100;   // the left speaker plays the right channel
    SoundTransform outer;
    outer.volume = 30;
    outer.setPan(-60);         // the right speaker at 40 %
    const SoundTransform t = inner.within(outer);
    EXPECT_EQ(t.volume, 15);
    EXPECT_EQ(t.leftToLeft, 0);
    EXPECT_EQ(t.rightToLeft, 100);
    EXPECT_EQ(t.leftToRight, 0);
    EXPECT_EQ(t.rightToRight, 40);
    EXPECT_EQ(inner.within(SoundTransform()), inner);
    SoundTransform negative;
    negative.volume = -1;
    EXPECT_EQ(negative.within(SoundTransform()).volume, (1 << 30) - 1);
}

} // namespace
