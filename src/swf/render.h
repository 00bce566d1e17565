#pragma once

// Draws a display list onto a QImage with QPainter.

#include "swf/display.h"
#include "swf/video.h"

#include <QImage>
#include <array>
#include <list>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace plovex::swf {

// Things worth keeping between frames: compiled morph shapes, decoded
// video frames, colour-transformed bitmaps.
class RenderCache {
public:
    const CompiledShape& morph(const MorphShapeCharacter& m, int ratio);
    QImage transformedBitmap(const BitmapCharacter& b, const ColorTransform& cx);
    // The picture a video shows at a frame number (null: nothing to show).
    QImage videoPicture(const VideoCharacter& v, int frame);

    // Shapes drawn once at a given transform (up to a whole-pixel shift)
    // and colour transform are kept as pictures and reused.
    struct ShapeKey {
        const void* shape;
        double m11, m12, m21, m22, fx, fy;
        ColorTransform cx;
        bool aa;
        bool fillsOnly;
        bool ownFiller;
        bool operator==(const ShapeKey&) const = default;
    };
    struct ShapePicture {
        QImage image;
        QPoint origin;   // where the picture's top left goes, before the whole-pixel shift
    };
    // Filter results, found again by the picture they were made from.
    // The key keeps the filters it was made with: objects come and go, and
    // a new object's filters may take the memory of gone ones, so a key
    // matches by the filters' values, not by where they lie.
    struct FilterKey {
        quint64 contentHash;
        QSize size;
        std::shared_ptr<const std::vector<Filter>> filters;
        double scale;
        bool operator==(const FilterKey& o) const
        {
            return contentHash == o.contentHash && size == o.size && scale == o.scale && filters && o.filters &&
                   (filters == o.filters || *filters == *o.filters);
        }
    };
    const QImage* findFiltered(const FilterKey& key);
    void storeFiltered(const FilterKey& key, const QImage& image);

    const ShapePicture* findShape(const ShapeKey& key);
    const ShapePicture& storeShape(const ShapeKey& key, ShapePicture picture);
    // True when the shape was drawn at this key before without being kept:
    // only what comes back is worth keeping, so a shape that moves on
    // every frame costs no memory.
    bool seenBefore(const ShapeKey& key);
    // A transparent picture of the given size in memory that is reused;
    // valid until the next call.
    QImage scratchLayer(QSize size);

    // Using pictures kept from earlier frames can be turned off, to check
    // that the pictures come out the same without them.
    void setReuse(bool reuse) { reuse_ = reuse; }
    bool reuse() const { return reuse_; }
    // Filling with the engine's own antialiased filler (RenderOptions::ownFiller).
    void setOwnFiller(bool own) { ownFiller_ = own; }
    bool ownFiller() const { return ownFiller_; }

private:
    std::unordered_map<quint64, CompiledShape> morphs_;
    struct BitmapEntry {
        const BitmapCharacter* bitmap;
        ColorTransform cx;
        QImage image;
    };
    std::list<BitmapEntry> bitmaps_;
    struct KeyHash {
        size_t operator()(const ShapeKey& k) const;
    };
    std::list<std::pair<ShapeKey, ShapePicture>> shapes_;
    std::unordered_map<ShapeKey, std::list<std::pair<ShapeKey, ShapePicture>>::iterator, KeyHash> shapeIndex_;
    qint64 shapeBytes_ = 0;
    std::unordered_set<ShapeKey, KeyHash> seen_;
    std::vector<quint32> scratch_;
    bool reuse_ = true;
    bool ownFiller_ = true;
    std::list<std::pair<FilterKey, QImage>> filtered_;
    std::unordered_map<const VideoCharacter*, std::unique_ptr<VideoDecoder>> videos_;
};

// A gradient's 256 colours (premultiplied), with its colour transform
// applied to the records.
using GradientRamp = std::array<QRgb, 256>;
GradientRamp BuildGradientRamp(const Gradient& g, const ColorTransform& cx);

// Fills `img` (whose top left is device pixel `origin`) with a bitmap fill
// seen through `toDevice` (the bitmap's pixels to device pixels). Each
// pixel takes the texel under its centre, or with `smooth` the four
// texels around it mixed. Outside the bitmap a repeating fill repeats and
// a clipped one carries its edge pixels on.
void PaintBitmapFill(QImage& img, QPoint origin, const QImage& bitmap, const QTransform& toDevice, bool repeat,
                     bool smooth);

// What a display tree shows, in a form that can be compared with another
// frame's: trees with equal descriptions draw the same picture, so a frame
// in which nothing changed need not be drawn again.
class DrawnState {
public:
    // Describes `list`; `root` is the object whose children they are (its
    // own transform counts too). The description is made again in place,
    // keeping its memory.
    void assign(const DisplayList& list, const DisplayObject* root = nullptr);
    bool operator==(const DrawnState& o) const;

private:
    struct Item {
        int level, depth, characterId;
        Matrix matrix;
        ColorTransform colorTransform;
        int ratio, clipDepth, blendMode, buttonState;
        bool visible;
        std::shared_ptr<const std::vector<Filter>> filters;
        std::shared_ptr<const CompiledShape> drawing;   // held, so its address stays its own
        std::shared_ptr<ScriptBitmap> bitmap;            // held likewise
        quint64 bitmapVersion;
        // A copy of a field's state (most objects have none; an inline
        // copy would make every item several times larger).
        std::shared_ptr<const TextFieldState> text;
    };
    void add(const DisplayObject& o, int level);
    std::vector<Item> items_;
};

// Width and height in twips of a field's text as it is laid out (its
// textWidth and textHeight, each line with its leading); `base` is the
// field's own font, if any. Text
// in device fonts measures only where the application has a GUI.
QSizeF MeasureFieldText(const Movie& movie, const TextFieldState& state, const FontCharacter* base);

// Draws `list` into `target` (ARGB32 premultiplied). `twipsToDevice` maps
// the stage's twips to the image's pixels.
void RenderDisplayList(const Movie& movie, const DisplayList& list, QImage& target,
                       const QTransform& twipsToDevice, bool antialias, RenderCache& cache);

} // namespace plovex::swf
