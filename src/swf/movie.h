#pragma once

// A loaded movie: its header, the dictionary of characters and the root
// timeline, all immutable after loading so that several players (and
// threads) can share one movie.

#include "swf/format.h"

#include <QImage>
#include <QPainterPath>
#include <array>
#include <map>
#include <unordered_map>
#include <variant>

namespace plovex::swf {

// One display-list instruction of a frame.
using ControlTag = std::variant<PlaceObject, RemoveObject>;

struct Frame {
    std::vector<ControlTag> tags;
    QString label;
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

struct BitmapCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Bitmap; }
    QImage image;   // ARGB32 premultiplied; null when it could not be decoded
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
    bool wordWrap = false, multiline = false, password = false, border = false, html = false,
         useOutlines = false, autoSize = false, hasFont = false;
    int fontId = 0;
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
struct ButtonCharacter final : Character {
    CharacterKind kind() const override { return CharacterKind::Button; }
    std::vector<ButtonRecord> records;   // sorted by depth
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

// The largest bitmap the Flash Player accepts: 8191 pixels a side and
// 16,777,215 pixels in all. Bigger ones are left out.
inline constexpr int kMaxBitmapSide = 8191;
inline constexpr qint64 kMaxBitmapPixels = 16777215;
bool BitmapSizeAllowed(int width, int height);

// Decodes image bytes found in DefineBits* tags (JPEG, PNG or GIF).
QImage DecodeImageData(const QByteArray& data);

} // namespace plovex::swf
