#pragma once

// The engine as the rest of the program sees it: load a movie, step its
// timeline, draw a frame. Everything below this header (format reader,
// characters, display list, renderer) is the engine's own business.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <memory>
#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace plovex::swf {

enum class Compression { None, Zlib, Lzma };
enum class ScaleMode { ShowAll, NoBorder, ExactFit, NoScale };

struct MovieInfo {
    bool valid = false;            // false: not a movie, or nothing usable; plays as an empty movie
    int version = 0;
    Compression compression = Compression::None;
    quint32 declaredLength = 0;    // the header's uncompressed length
    QRectF stageRect;              // in pixels (twips / 20)
    double frameRate = 0;          // frames per second, from the header
    int headerFrameCount = 0;      // the header's frame count
};

class Movie;
struct DisplayObject;
class DisplayList;

// A movie whose own scripts run. The player hands frames, gotos and input
// to it and draws what it shows; script-free movies play without one.
class MovieRuntime {
public:
    virtual ~MovieRuntime() = default;
    virtual void advance() = 0;                 // one frame on, scripts included
    virtual void gotoFrame(int frame) = 0;      // root goto; the destination frame's scripts run
    virtual int currentFrame() const = 0;       // root frame, from 0
    virtual const DisplayObject& root() const = 0;
    // Input in stage pixels; true when the movie wants a repaint.
    virtual void mouseMove(double x, double y) = 0;
    virtual void mouseButton(bool down) = 0;
    virtual void key(bool down, int keyCode, int ascii) = 0;
    virtual void text(const QString& typed) = 0;
    // The pointer the movie asks for over its current point.
    virtual Qt::CursorShape cursor() const = 0;
    virtual bool mouseHidden() const = 0;
    // The yellow rectangle around the object that Tab gave the keyboard
    // focus, in stage pixels; empty when none shows.
    virtual QRectF focusRect() const { return {}; }
};
class AudioEvents;
// Makes the runtime of a scripted movie; its frames' sounds go to the
// audio sink when there is one.
using MovieRuntimeFactory =
    std::function<std::unique_ptr<MovieRuntime>(std::shared_ptr<const Movie>, AudioEvents* audio)>;

// Loading never throws and never reads past the bytes given; a file that is
// not a movie, or is cut short, yields an empty (or partial) movie.
std::shared_ptr<const Movie> LoadMovie(const QByteArray& bytes);
// Reads the whole file and closes it at once, so the file is not held open.
std::shared_ptr<const Movie> LoadMovieFile(const QString& path);

struct RenderOptions {
    ScaleMode scale = ScaleMode::ShowAll;
    double zoom = 1.0;                     // extra magnification around the view's centre
    bool antialias = true;                 // quality high (true) or low (false)
    std::optional<QColor> background;      // overrides the movie's own background
    // Pictures kept from earlier frames (shapes, filter results) are used
    // again; off, every frame is drawn afresh, which gives the same pixels.
    bool reuse = true;
    // Shapes and glyphs are filled by the engine's own filler straight
    // into the picture (coverage.h); off, through QPainter, which gives
    // the same pixels without antialiasing and differs only in the
    // coverage of edge pixels with it (kept to compare the two).
    bool ownFiller = true;
};

// The stage-to-viewport transform of the Flash Player's scale modes, with
// the zoom applied around the viewport's centre. Stage units are pixels.
QTransform ViewTransform(const QRectF& stageRect, const QSizeF& viewport, const RenderOptions& options);

class Player {
public:
    Player();                                        // no movie: draws only the background
    explicit Player(std::shared_ptr<const Movie> movie);
    // Runs the movie's scripts through a runtime from `scripts` when the
    // movie has any.
    Player(std::shared_ptr<const Movie> movie, const MovieRuntimeFactory& scripts, AudioEvents* audio = nullptr);
    // The same, telling `audio` the sounds of every frame that is played
    // (the first one, and each one advance() enters; not those that
    // gotoFrame() or nextFrame() rebuild). See sound_events.h.
    Player(std::shared_ptr<const Movie> movie, AudioEvents* audio);
    void setAudioEvents(AudioEvents* audio);
    ~Player();
    Player(Player&&) noexcept;
    Player& operator=(Player&&) noexcept;

    const MovieInfo& info() const;
    int frameCount() const;                          // frames the movie really has, at least 1 when valid
    int currentFrame() const;                        // counted from 0
    // Shows exactly that frame (clamped to the movie), also backwards.
    void gotoFrame(int frame);
    // One frame on; after the last frame it starts again at frame 0.
    void nextFrame();
    // Runs the movie on by `frames` frames as the Flash Player plays it:
    // at the end the timeline loops and the objects that stay keep running
    // (animated sprites go on). Frame 1 of a movie is shown after one
    // frame, so showing the picture after n frames is advance(n - 1) on a
    // fresh player.
    void advance(int frames = 1);
    QColor backgroundColor() const;                  // the movie's SetBackgroundColor, white if none
    // The script runtime, when the movie's scripts run (input goes there).
    MovieRuntime* scripts() const;
    // What the current frame shows: the root's display list (swf/display.h).
    const DisplayList& displayList() const;
    // The frames whose display lists seeking keeps (ascending).
    std::vector<int> checkpointFrames() const;

    // Draws the current frame into the painter's device over viewport.
    void render(QPainter& painter, const QRect& viewport, const RenderOptions& options) const;
    // The same into a new ARGB32 premultiplied image of the given size.
    QImage renderImage(const QSize& size, const RenderOptions& options) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace plovex::swf
