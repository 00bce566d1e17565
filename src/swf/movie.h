#pragma once

// A loaded movie: its header, the dictionary of characters and the root
// timeline, all immutable after loading so that several players (and
// threads) can share one movie.

#include "swf/format.h"

#include <QImage>
#include <QPainterPath>
#include <functional>
#include <array>
#include <map>
#include <mutex>
#include <unordered_map>
#include <variant>

namespace plovex::swf {

// One display-list instruction of a frame.
using ControlTag = std::variant<PlaceObject, RemoveObject>;

// Action bytes, shared between the movie and the scripts that run them.
using ActionCode = std::shared_ptr<const QByteArray>;

// DoInitAction: runs once, before the frame's own actions, for a sprite.
struct InitAction {
    int spriteId = 0;
    ActionCode code;
};

struct Frame {
    std::vector<ControlTag> tags;
    QString label;
    std::vector<ActionCode> actions;        // DoAction, in file order
    std::vector<InitAction> initActions;    // DoInitAction, in file order
    // Sounds: the event sounds the frame starts, in tag order, and the
    // stream block it carries (an index into Movie::streams and into that
    // stream's blocks; -1 when none).
    std::vector<SoundStart> sounds;
    int stream = -1;
    int streamBlock = -1;
};

struct Timeline {
    std::vector<Frame> frames;   // at least one when it came from a movie
};

// A shape prepared for drawing: per layer, one path per fill style (edges
// chained into closed contours) and one per line style, all in twips.
struct CompiledLayer {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<QPainterPath> fillPaths;   // index = fill style - 1
    std::vector<QPainterPath> linePaths;   // index = line style - 1
};
struct CompiledShape {
    QRectF bounds;          // twips
    std::vector<CompiledLayer> layers;
};
CompiledShape CompileShape(const ShapeData& shape);

enum class CharacterKind { Shape, MorphShape, Bitmap, Sprite, Font, Text, EditText, Button, Video, Sound };

struct Character {
    virtual ~Character() = default;
    virtual CharacterKind kind() const = 0;
    int id = 0;
};

struct ShapeCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Shape; }
    CompiledShape shape;
};

struct MorphShapeCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::MorphShape; }
    Rect startBounds, endBounds;
    ShapeData start;                  // styles carry the start values
    std::vector<Edge> endEdges;       // in the order of the start's edges
    std::vector<FillStyle> endFills;
    std::vector<LineStyle> endLines;
    // The shape at ratio 0..65535.
    ShapeData at(int ratio) const;
};

// A bitmap's picture, decoded when it is first looked at (drawn), not
// when the movie loads: a movie of many or costly pictures loads at once
// and `info` never decodes one. Decoding happens once, also when several
// threads look at once; reads as a const QImage.
class LazyImage {
public:
    LazyImage() = default;
    LazyImage(const LazyImage&) = delete;
    LazyImage& operator=(const LazyImage&) = delete;
    LazyImage& operator=(QImage image)
    {
        image_ = std::move(image);
        decode_ = nullptr;
        return *this;
    }
    // Decoded by `decode` when first looked at.
    void setDecoder(std::function<QImage()> decode) { decode_ = std::move(decode); }

    const QImage& get() const
    {
        std::call_once(once_, [this] {
            if (decode_)
                image_ = decode_();
            decode_ = nullptr;
        });
        return image_;
    }
    operator const QImage&() const { return get(); }
    bool isNull() const { return get().isNull(); }
    QSize size() const { return get().size(); }
    int width() const { return get().width(); }
    int height() const { return get().height(); }
    const uchar* constScanLine(int y) const { return get().constScanLine(y); }
    // Whether the picture was decoded already (or never needed decoding).
    bool decoded() const { return !decode_; }

private:
    mutable std::once_flag once_;
    mutable QImage image_;
    mutable std::function<QImage()> decode_;
};

struct BitmapCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Bitmap; }
    LazyImage image;   // ARGB32 premultiplied; null when it could not be decoded
};

struct SpriteCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Sprite; }
    Timeline timeline;
};

struct FontCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Font; }
    QString name;
    bool bold = false, italic = false;
    double emSquare = 1024;              // glyph units per em
    std::vector<QPainterPath> glyphs;    // in glyph units
    std::vector<int> codes;              // character code of each glyph
    std::vector<double> advances;        // glyph units, when the font has a layout
    double ascent = 0, descent = 0, leading = 0;
    bool hasLayout = false;
    int glyphIndex(int code) const;
};

struct TextGlyph {
    int index = 0;
    double advance = 0;   // twips
};
struct TextRecord {
    int fontId = 0;
    QColor color;
    double x = 0, y = 0;  // twips, in the text's own space
    double height = 0;    // twips
    std::vector<TextGlyph> glyphs;
};
struct TextCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Text; }
    Rect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
};

struct EditTextCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::EditText; }
    Rect bounds;
    bool wordWrap = false, multiline = false, password = false, border = false, html = false, readOnly = false,
         useOutlines = false, autoSize = false, hasFont = false, hasColor = false, noSelect = false;
    int fontId = 0;
    QString fontClass;         // a font named by its class (HasFontClass)
    int maxLength = 0;         // 0: no limit
    // From CSMTextSettings: advanced anti-aliasing, grid fit (0 none,
    // 1 pixel, 2 subpixel), thickness and sharpness.
    bool advancedAntiAlias = false;
    int gridFit = 1;
    double thickness = 0, sharpness = 0;
    double fontHeight = 240;   // twips
    QColor color = Qt::black;
    int align = 0;             // 0 left, 1 right, 2 centre, 3 justify
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;   // twips
    QString variableName, text;
};

struct ButtonRecord {
    int characterId = 0;
    int depth = 0;
    bool up = false, over = false, down = false, hit = false;
    Matrix matrix;
    ColorTransform colorTransform;
    std::vector<Filter> filters;
    int blendMode = 0;
};
// Button condition bits: the first byte's bits in the low byte, the key
// code of a key condition in bits 9..15.
enum ButtonCondition : quint32 {
    kCondIdleToOverUp = 1u << 0, kCondOverUpToIdle = 1u << 1, kCondOverUpToOverDown = 1u << 2,
    kCondOverDownToOverUp = 1u << 3, kCondOverDownToOutDown = 1u << 4, kCondOutDownToOverDown = 1u << 5,
    kCondOutDownToIdle = 1u << 6, kCondIdleToOverDown = 1u << 7, kCondOverDownToIdle = 1u << 8,
};
struct ButtonAction {
    quint32 conditions = 0;
    int keyCode() const { return int(conditions >> 9) & 0x7f; }
    ActionCode code;
};
struct ButtonCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Button; }
    std::vector<ButtonRecord> records;   // sorted by depth
    std::vector<ButtonAction> actions;
    bool trackAsMenu = false;
    // DefineButtonSound, by transition: over to up, up to over, over to
    // down, down to over.
    enum SoundTransition { OverUpToIdle, IdleToOverUp, OverUpToOverDown, OverDownToOverUp };
    std::array<std::optional<SoundStart>, 4> sounds;
};

struct VideoCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Video; }
    int width = 0, height = 0, codec = 0, frameCount = 0;
    bool smoothing = false;
    int deblocking = 0;
    std::map<int, QByteArray> frames;   // frame number -> encoded data
};

struct SoundCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Sound; }
    int format = 0, rate = 0;
    bool is16Bit = false, stereo = false;
    quint32 sampleCount = 0;
    QByteArray data;
};

// A sound stream's head and its blocks, kept per timeline.
struct SoundStream {
    int format = 0, rate = 0;
    bool is16Bit = false, stereo = false;
    int samplesPerBlock = 0;
    int latencySeek = 0;        // MP3: samples the decoder's delay adds at the start
    std::vector<QByteArray> blocks;
};

class Movie {
public:
    MovieInfo info;
    QColor background = Qt::white;
    bool hasBackground = false;
    Timeline root;
    std::unordered_map<int, std::shared_ptr<const Character>> dictionary;
    std::vector<SoundStream> streams;
    // ExportAssets: names under which characters can be attached by scripts.
    std::unordered_map<QString, int> exports;
    // True when the movie carries ActionScript 1/2 (frame, clip or button
    // actions); AVM2 movies (FileAttributes) never run these.
    bool hasScripts = false;
    bool avm2 = false;
    // FileAttributes' network bit: a local movie that may reach the network
    // (and so not other local files).
    bool useNetwork = false;
    // What the engine's limits (swf/limits.h) left out of this movie, one
    // sentence each; empty for every ordinary movie.
    QStringList cutShort;

    const Character* character(int id) const
    {
        const auto it = dictionary.find(id);
        return it == dictionary.end() ? nullptr : it->second.get();
    }
    template <class T>
    const T* get(int id) const
    {
        return dynamic_cast<const T*>(character(id));
    }
};

// Whether a bitmap is within kMaxBitmapSide and kMaxBitmapPixels
// (swf/limits.h); bigger ones are left out.
bool BitmapSizeAllowed(int width, int height);

// Decodes image bytes found in DefineBits* tags (JPEG, PNG or GIF).
QImage DecodeImageData(const QByteArray& data);

} // namespace plovex::swf
