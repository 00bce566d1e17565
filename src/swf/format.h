#pragma once

// The SWF file format as plain data: a bounded byte/bit reader, the header
// with its decompression, and the tags the engine understands parsed into
// plain types. Nothing here knows about playing or drawing.

#include "swf/limits.h"
#include "swf/player.h"

#include <QByteArray>
#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>
#include <QString>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace plovex::swf {

// Declared lengths in a file are never trusted beyond kMaxDecompressedLength
// (swf/limits.h) when allocating.

// Reads little-endian values and bit fields from a byte range. Reading past
// the end yields zeros and sets the error flag; it never touches memory
// outside the range.
class Reader {
public:
    Reader() = default;
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit Reader(const QByteArray& bytes)
        : data_(reinterpret_cast<const uint8_t*>(bytes.constData())), size_(size_t(bytes.size())) {}

    size_t pos() const { return pos_; }
    size_t size() const { return size_; }
    size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
    bool atEnd() const { return pos_ >= size_; }
    bool failed() const { return failed_; }
    const uint8_t* data() const { return data_; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    int16_t s16() { return int16_t(u16()); }
    int32_t s32() { return int32_t(u32()); }
    float f32();
    double f64();
    double fixed8() { return s16() / 256.0; }    // 8.8 signed
    double fixed16() { return s32() / 65536.0; } // 16.16 signed
    uint32_t encodedU32();
    float f16();
    QByteArray bytes(size_t n);
    QString string();        // NUL-terminated, UTF-8 (version 6+) or Latin-1
    void skip(size_t n);
    Reader sub(size_t n);    // the next n bytes as a reader of their own (clamped)
    void seek(size_t p) { pos_ = p; bitCount_ = 0; }

    // Bit fields (most significant bit first); align() drops the rest of a byte.
    uint32_t ub(int n);
    int32_t sb(int n);
    double fb(int n) { return sb(n) / 65536.0; }
    void align() { bitCount_ = 0; }
    bool flag() { return ub(1) != 0; }

    bool utf8 = true;

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    uint32_t bitBuf_ = 0;
    int bitCount_ = 0;
    bool failed_ = false;
};

struct Rect {
    int xMin = 0, xMax = 0, yMin = 0, yMax = 0;   // twips
    QRectF toPixels() const { return QRectF(xMin / 20.0, yMin / 20.0, (xMax - xMin) / 20.0, (yMax - yMin) / 20.0); }
    bool operator==(const Rect&) const = default;
};

// a, b, c, d as the format's ScaleX, RotateSkew0, RotateSkew1, ScaleY;
// translation in twips.
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    QTransform toQt() const { return QTransform(a, b, c, d, tx, ty); }
    bool operator==(const Matrix&) const = default;
};

struct ColorTransform {
    double rm = 1, gm = 1, bm = 1, am = 1;   // multipliers
    double ra = 0, ga = 0, ba = 0, aa = 0;   // additions, in 0..255 units
    bool isIdentity() const { return rm == 1 && gm == 1 && bm == 1 && am == 1 && ra == 0 && ga == 0 && ba == 0 && aa == 0; }
    QColor apply(const QColor& c) const;
    QRgb apply(QRgb unpremultiplied) const;
    // this after inner: colour = this(inner(colour))
    ColorTransform operator*(const ColorTransform& inner) const;
    bool operator==(const ColorTransform&) const = default;
};

struct Header {
    bool valid = false;
    char signature = 0;        // 'F', 'C' or 'Z'
    int version = 0;
    quint32 declaredLength = 0;
    Rect frameSize;
    double frameRate = 0;
    int frameCount = 0;
    bool truncated = false;    // the body was shorter than declared or broken
};

// Splits a file into its header and the decompressed body that follows the
// header's fixed part (starting with the frame rectangle).
struct DecodedFile {
    Header header;
    QByteArray body;   // from the frame size rectangle on
};
DecodedFile DecodeFile(const QByteArray& file);

// --- Tags -----------------------------------------------------------------

enum TagCode : int {
    kEnd = 0, kShowFrame = 1, kDefineShape = 2, kPlaceObject = 4, kRemoveObject = 5,
    kDefineBits = 6, kDefineButton = 7, kJpegTables = 8, kSetBackgroundColor = 9,
    kDefineFont = 10, kDefineText = 11, kDoAction = 12, kDefineFontInfo = 13, kDefineSound = 14,
    kStartSound = 15, kDefineButtonSound = 17, kSoundStreamHead = 18, kSoundStreamBlock = 19,
    kDefineBitsLossless = 20, kDefineBitsJpeg2 = 21, kDefineShape2 = 22, kDefineButtonCxform = 23,
    kProtect = 24, kPlaceObject2 = 26, kRemoveObject2 = 28, kDefineShape3 = 32, kDefineText2 = 33,
    kDefineButton2 = 34, kDefineBitsJpeg3 = 35, kDefineBitsLossless2 = 36, kDefineEditText = 37,
    kDefineSprite = 39, kFrameLabel = 43, kSoundStreamHead2 = 45, kDefineMorphShape = 46,
    kDefineFont2 = 48, kExportAssets = 56, kDoInitAction = 59, kDefineVideoStream = 60, kVideoFrame = 61,
    kDefineFontInfo2 = 62, kFileAttributes = 69, kPlaceObject3 = 70, kDefineFontAlignZones = 73,
    kCsmTextSettings = 74, kDefineFont3 = 75, kSymbolClass = 76, kMetadata = 77, kDefineScalingGrid = 78,
    kDoAbc = 82, kDefineShape4 = 83, kDefineMorphShape2 = 84, kDefineSceneAndFrameLabelData = 86,
    kDefineBinaryData = 87, kDefineFontName = 88, kStartSound2 = 89, kDefineBitsJpeg4 = 90, kDefineFont4 = 91,
    kEnableTelemetry = 93, kPlaceObject4 = 94,
};

struct Tag {
    int code = 0;
    QByteArray data;
};

// Splits a tag stream into tags. A tag whose declared length runs past the
// end is cut to what is there and ends the list.
// The tags up to the End tag, the end of the data, or kMaxTagsPerTimeline
// tags, whichever comes first; `cut` tells whether the last stopped them.
std::vector<Tag> ReadTags(Reader& r, bool* cut = nullptr);

struct GradientRecord {
    int ratio = 0;
    QColor color;
};
struct Gradient {
    int spread = 0;          // 0 pad, 1 reflect, 2 repeat
    int interpolation = 0;   // 0 normal RGB, 1 linear RGB
    std::vector<GradientRecord> records;
    double focal = 0;        // focal point for focal gradients
};

struct FillStyle {
    enum Type { Solid = 0x00, Linear = 0x10, Radial = 0x12, Focal = 0x13,
                RepeatingBitmap = 0x40, ClippedBitmap = 0x41, RepeatingBitmapHard = 0x42, ClippedBitmapHard = 0x43 };
    int type = Solid;
    QColor color = Qt::black;
    Matrix matrix;           // gradient or bitmap matrix
    Gradient gradient;
    int bitmapId = 0;
    bool isGradient() const { return type == Linear || type == Radial || type == Focal; }
    bool isBitmap() const { return type >= 0x40 && type <= 0x43; }
};

struct LineStyle {
    int width = 20;          // twips
    QColor color = Qt::black;
    int startCap = 0, endCap = 0;   // 0 round, 1 none, 2 square
    int join = 0;                   // 0 round, 1 bevel, 2 miter
    double miterLimit = 3;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    std::optional<FillStyle> fill;  // lines drawn with a fill (DefineShape4)
};

// One edge of a shape outline, in twips. Straight edges have no control point.
struct Edge {
    QPointF from, control, to;
    bool curved = false;
};

// A run of a shape drawn with one set of styles: the styles are replaced
// when a style-change record brings new ones.
struct ShapeRecordPath {
    int fill0 = 0, fill1 = 0, line = 0;   // 1-based, 0 = none
    std::vector<Edge> edges;
};
struct ShapeLayer {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<ShapeRecordPath> paths;
};
struct ShapeData {
    Rect bounds;
    bool nonZero = false;       // DefineShape4's fill rule flag
    std::vector<ShapeLayer> layers;
};

// Reads a shape with its styles (shapeVersion 1..4; 0 means a glyph, without styles).
ShapeData ReadShape(Reader& r, int shapeVersion, bool withStyles);
FillStyle ReadFillStyle(Reader& r, int shapeVersion);
Rect ReadRect(Reader& r);
Matrix ReadMatrix(Reader& r);
ColorTransform ReadColorTransform(Reader& r, bool withAlpha);
QColor ReadRgb(Reader& r);
QColor ReadRgba(Reader& r);

struct Filter {
    enum Type { DropShadow = 0, Blur = 1, Glow = 2, Bevel = 3, GradientGlow = 4, Convolution = 5, ColorMatrix = 6, GradientBevel = 7 };
    int type = Blur;
    std::vector<QColor> colors;      // one for shadow/glow, two for bevel (highlight, shadow: the order stored), n for gradient filters
    std::vector<int> ratios;
    double blurX = 0, blurY = 0;     // pixels
    double angle = 0, distance = 0;  // radians, pixels
    double strength = 1;
    bool inner = false, knockout = false, compositeSource = true, onTop = false;
    int passes = 1;
    // convolution
    int matrixX = 0, matrixY = 0;
    double divisor = 1, bias = 0;
    std::vector<double> matrix;      // convolution or colour matrix (20 values)
    QColor defaultColor;
    bool clamp = true, preserveAlpha = true;
    bool operator==(const Filter&) const = default;
};

// Script attached to a placed clip: the events it answers (the file's
// ClipEventFlags, read as a little-endian 32-bit value), the key of a
// keyPress event, and the action bytes.
struct ClipAction {
    quint32 events = 0;
    int keyCode = 0;
    QByteArray code;
};

// Clip event bits as they lie in the flags (first byte in the low bits).
enum ClipEvent : quint32 {
    kEvLoad = 1u << 0, kEvEnterFrame = 1u << 1, kEvUnload = 1u << 2, kEvMouseMove = 1u << 3,
    kEvMouseDown = 1u << 4, kEvMouseUp = 1u << 5, kEvKeyDown = 1u << 6, kEvKeyUp = 1u << 7,
    kEvData = 1u << 8, kEvInitialize = 1u << 9, kEvPress = 1u << 10, kEvRelease = 1u << 11,
    kEvReleaseOutside = 1u << 12, kEvRollOver = 1u << 13, kEvRollOut = 1u << 14, kEvDragOver = 1u << 15,
    kEvDragOut = 1u << 16, kEvKeyPress = 1u << 17, kEvConstruct = 1u << 18,
};

struct PlaceObject {
    int version = 1;
    int depth = 0;
    bool move = false;
    std::optional<int> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<int> ratio;
    std::optional<QString> name;
    std::optional<int> clipDepth;
    std::optional<std::vector<Filter>> filters;
    std::optional<int> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<QColor> backgroundColor;
    std::optional<QString> className;
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
};
PlaceObject ReadPlaceObject(const Tag& tag, int swfVersion);
std::vector<Filter> ReadFilterList(Reader& r);

struct RemoveObject {
    int depth = 0;
    std::optional<int> characterId;
};

// How an event sound is started (StartSound, StartSound2, DefineButtonSound).
struct SoundEnvelopePoint {
    quint32 position44 = 0;        // in 44.1 kHz samples from the sound's start
    int left = 32768, right = 32768;   // 0..32768
};
struct SoundInfo {
    bool syncStop = false;         // stops the sound's playing instances, starts nothing
    bool syncNoMultiple = false;   // starts nothing while the sound already plays
    std::optional<quint32> inPoint, outPoint;   // in the sound's own samples
    std::optional<int> loops;      // times the sound plays
    std::vector<SoundEnvelopePoint> envelope;
};
SoundInfo ReadSoundInfo(Reader& r);

struct SoundStart {
    int soundId = 0;
    QString className;             // StartSound2 names its sound by class
    SoundInfo info;
};

} // namespace plovex::swf
