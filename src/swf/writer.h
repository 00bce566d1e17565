#pragma once

// Writes SWF files: the mirror of the reader in format.h. Tests build their
// fixtures with it, plovex-mkdemo writes the demo movie with it.
//
//   SwfWriter w({.version = 10, .compression = Compression::Zlib});
//   w.setBackgroundColor(Qt::white);
//   ShapeBuilder b;
//   b.style(0, b.addFill(SolidFill(Qt::red)), 0).rect(QRectF(0, 0, 2000, 2000));
//   w.defineShape(1, b.build());
//   w.placeObject2(PlaceNew(1, 1, Translate(100, 100)));
//   w.showFrame();
//   QByteArray file = w.finish();

#include "swf/format.h"
#include "swf/movie.h"

#include <QStringList>

namespace plovex::swf {

// Writes bit fields most significant bit first, and little-endian values.
class BitWriter {
public:
    void ub(uint32_t value, int bits);
    void sb(int32_t value, int bits);
    void fb(double value, int bits) { sb(int32_t(std::lround(value * 65536)), bits); }
    void align();
    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void s16(int16_t v) { u16(uint16_t(v)); }
    void fixed8(double v) { s16(int16_t(std::lround(v * 256))); }
    void fixed16(double v) { u32(uint32_t(int32_t(std::lround(v * 65536)))); }
    void f32(float v);
    void bytes(const QByteArray& b);
    void string(const QString& s);   // UTF-8, NUL-terminated
    void rgb(const QColor& c);
    void rgba(const QColor& c);
    void rect(const Rect& r);
    void matrix(const Matrix& m);
    void colorTransform(const ColorTransform& c, bool withAlpha);
    QByteArray data() const;

    // Bits needed for a signed / unsigned value.
    static int signedBits(int64_t v);
    static int unsignedBits(uint64_t v);

private:
    QByteArray out_;
    uint32_t bitBuf_ = 0;
    int bitCount_ = 0;
};

// Builds shapes with absolute coordinates in twips.
class ShapeBuilder {
public:
    int addFill(const FillStyle& f);    // returns the 1-based style index
    int addLine(const LineStyle& l);
    // Starts a new path with these styles (0 = none) in the current layer.
    ShapeBuilder& style(int fill0, int fill1, int line);
    // Starts a new layer: later styles added belong to it.
    ShapeBuilder& newLayer();
    ShapeBuilder& moveTo(double x, double y);
    ShapeBuilder& lineTo(double x, double y);
    ShapeBuilder& curveTo(double cx, double cy, double x, double y);
    ShapeBuilder& rect(const QRectF& r);           // a closed rectangle with the current styles
    ShapeBuilder& ellipse(const QRectF& r);        // eight quadratic curves
    ShapeBuilder& polygon(const QPolygonF& points);
    ShapeData build() const;                       // bounds from the edges and line widths

private:
    ShapeRecordPath& path();
    ShapeData shape_{Rect{}, false, {ShapeLayer{}}};
    QPointF pen_;
    int f0_ = 0, f1_ = 0, ln_ = 0;
};

FillStyle SolidFill(const QColor& c);
FillStyle LinearGradientFill(const Matrix& m, std::vector<GradientRecord> stops);
FillStyle RadialGradientFill(const Matrix& m, std::vector<GradientRecord> stops);
FillStyle BitmapFill(int bitmapId, const Matrix& m, bool clipped = false, bool smooth = true);
LineStyle SolidLine(int widthTwips, const QColor& c);

Matrix Translate(double xTwips, double yTwips);
Matrix ScaleRotate(double sx, double sy, double radians, double xTwips, double yTwips);

// A PlaceObject that puts a character at a free depth.
PlaceObject PlaceNew(int characterId, int depth, const Matrix& m = Matrix());
// A PlaceObject that changes the object at a depth.
PlaceObject PlaceMove(int depth, const Matrix& m);

// Tag bodies, usable on their own (raw tag writing).
QByteArray EncodeShape(const ShapeData& s, int shapeVersion);   // styles and records
QByteArray EncodeFillStyle(const FillStyle& f, int shapeVersion);
QByteArray EncodePlaceObject(const PlaceObject& p);            // PlaceObject2 or 3 by p.version
QByteArray EncodeFilters(const std::vector<Filter>& filters);
QByteArray EncodeSoundInfo(const SoundInfo& info);

// Action bytes (DoAction, button and clip actions), written the way the
// Flash authoring tool writes them.
class ActionWriter {
public:
    ActionWriter& op(uint8_t code);                       // an action without data
    ActionWriter& op(uint8_t code, const QByteArray& data);
    ActionWriter& push(const QString& s);
    ActionWriter& push(double n);
    ActionWriter& pushInt(int32_t n);
    ActionWriter& pushBool(bool b);
    ActionWriter& pushUndefined();
    ActionWriter& pushNull();
    ActionWriter& pushRegister(int reg);
    ActionWriter& trace() { return op(0x26); }
    ActionWriter& getVariable() { return op(0x1C); }
    ActionWriter& setVariable() { return op(0x1D); }
    ActionWriter& stop() { return op(0x07); }
    ActionWriter& play() { return op(0x06); }
    ActionWriter& gotoFrame(int frame);                   // GotoFrame, from 0
    ActionWriter& jump(int16_t offset);                   // relative to the next action
    ActionWriter& ifTrue(int16_t offset);
    // DefineFunction (version 1) with its body.
    ActionWriter& defineFunction(const QString& name, const QStringList& params, const ActionWriter& body);
    // obj.method(args): arguments must be pushed last to first before.
    ActionWriter& callMethod(int argCount, const QString& object, const QString& method);
    ActionWriter& callFunction(int argCount, const QString& name);
    int size() const { return int(data_.size()); }
    // The bytes with the closing End action.
    QByteArray bytes() const { return data_ + QByteArray(1, '\0'); }
    const QByteArray& body() const { return data_; }

private:
    QByteArray data_;
};

struct ButtonRecordSpec {
    int characterId = 0;
    int depth = 1;
    bool up = true, over = true, down = true, hit = true;
    Matrix matrix;
};

// A stream of tags: the body of a movie or of a sprite.
class TagStream {
public:
    void tag(int code, const QByteArray& body, bool forceLongHeader = false);
    void showFrame() { tag(kShowFrame, {}); ++frames_; }
    void placeObject2(const PlaceObject& p);   // version 2 or 3 by p.version (set 3 for filters/blend)
    void removeObject2(int depth);
    void removeObject(int characterId, int depth);
    void doAction(const ActionWriter& actions);
    void doInitAction(int spriteId, const ActionWriter& actions);
    // A stream sound's head and blocks, of the movie or of a sprite.
    void soundStreamHead(int format, int rate, bool is16Bit, bool stereo, int samplesPerBlock,
                         bool head2 = false);
    void soundStreamBlock(const QByteArray& data);
    // StartSound of an event sound defined before.
    void startSound(int soundId, const SoundInfo& info = {});
    // One encoded picture of a video stream (VideoFrame).
    void videoFrame(int streamId, int frameNum, const QByteArray& data);
    int frames() const { return frames_; }
    const QByteArray& data() const { return data_; }

private:
    QByteArray data_;
    int frames_ = 0;
};

struct WriterOptions {
    int version = 10;
    Compression compression = Compression::None;
    Rect frameSize{0, 550 * 20, 0, 400 * 20};
    double frameRate = 24;
    int frameCount = -1;   // -1: the number of ShowFrame tags written
};

class SwfWriter : public TagStream {
public:
    explicit SwfWriter(WriterOptions options = {}) : options_(options) {}

    void setBackgroundColor(const QColor& c);
    // DefineShape (1..4 by version; 0 picks the smallest that fits the styles).
    void defineShape(int id, const ShapeData& shape, int version = 0);
    void defineSprite(int id, const TagStream& inner);
    // DefineButton2 with one action list for each condition mask given.
    void defineButton2(int id, const std::vector<ButtonRecordSpec>& records,
                       const std::vector<std::pair<quint32, ActionWriter>>& actions, bool trackAsMenu = false);
    // DefineEditText: the flags, font, colour, length limit and layout
    // that `c` sets (colour when hasColor, layout when any of it is set).
    void defineEditText(int id, const EditTextCharacter& c);
    void exportAssets(const std::vector<std::pair<int, QString>>& names);
    // A text field in the desktop's default font: an input field unless
    // read-only, with its initial text and bound variable.
    void defineEditText(int id, const Rect& bounds, const QString& text, bool readOnly,
                        const QString& variable = QString());
    void defineBitsLossless(int id, const QImage& image);   // DefineBitsLossless2 (32-bit, with alpha)
    void defineBitsJpeg2(int id, const QByteArray& jpeg);
    // Sounds: format 0..15 as in the file (0 raw, 1 ADPCM, 2 MP3, 3 raw LE ...),
    // rate 0..3 (5.5, 11, 22, 44 kHz).
    void defineSound(int id, int format, int rate, bool is16Bit, bool stereo, quint32 sampleCount,
                     const QByteArray& data);
    // DefineVideoStream: codec 2 Sorenson H.263, 3 screen video, 4 VP6,
    // 5 VP6 with alpha, 6 screen video 2; deblocking 0..7 as in the file.
    void defineVideoStream(int id, int frameCount, int width, int height, int codec, bool smoothing = false,
                           int deblocking = 0);

    // The whole file, with header and End tag.
    QByteArray finish() const;

private:
    WriterOptions options_;
};

} // namespace plovex::swf
