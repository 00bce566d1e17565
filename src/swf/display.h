#pragma once

// The player's model: display objects on a display list, and the rules by
// which a timeline's frames change that list.
//
// Objects live on the heap and are shared by pointer, so an object keeps
// its identity while the list around it changes: scripts and the input
// code hold on to objects, not to places in a list.

#include "swf/movie.h"
#include "swf/sound_events.h"
#include "swf/text_format.h"

#include <memory>

namespace plovex::swf {

// What a script drew with the drawing API: the shape later calls add to,
// the pen and the styles in use.
struct ScriptDrawing {
    ShapeData shape;
    QPointF pen;
    int fill = 0, line = 0;
};

// Pixels a script owns (ActionScript's BitmapData), shown by the objects
// it is attached to. `version` moves on each time the pixels change, so a
// frame that shows changed pixels is drawn again; a disposed bitmap has a
// null image and shows nothing.
struct ScriptBitmap {
    QImage image;   // ARGB32 premultiplied
    quint64 version = 0;
};

struct DisplayObject;
using DisplayPtr = std::shared_ptr<DisplayObject>;
using DisplayList = std::vector<DisplayPtr>;   // sorted by depth

// State of a text field that scripts or the user changed; absent while
// the field shows its character's initial text. The text and its runs of
// format come from FormattedText; `newFormat` is the format of text that
// is set or typed from now on.
struct TextFieldState : FormattedText {
    SpanFormat newFormat;
    bool html = false;
    bool border = false, background = false, selectable = true;
    QColor borderColor = Qt::black, backgroundColor = Qt::white;
    double width = -1, height = -1;   // twips, when changed from the character's bounds
    int caret = -1;                   // caret position while the field has focus, -1 otherwise
    int selectionAnchor = -1;         // the selection runs from here to the caret; -1: none
    bool input = false, multiline = false, wordWrap = false, password = false;
    bool condenseWhite = false, embedFonts = false, mouseWheelEnabled = true;
    int autoSize = 0;                 // 0 none, 1 left, 2 center, 3 right
    int maxChars = 0;                 // 0: no limit
    std::optional<QString> restrictChars;   // what typing may enter (the `restrict` property); none: anything
    QString variable;                 // the variable the field shows
    int scroll = 1, hscroll = 0;
    QString antiAliasType = QStringLiteral("normal"), gridFitType = QStringLiteral("pixel");
    double sharpness = 0, thickness = 0;
    bool operator==(const TextFieldState&) const = default;
};

struct DisplayObject : std::enable_shared_from_this<DisplayObject> {
    int depth = 0;
    int characterId = 0;          // 0: an empty clip (the root, or made by a script)
    Matrix matrix;
    ColorTransform colorTransform;
    int ratio = 0;
    int clipDepth = 0;
    int blendMode = 0;
    bool cacheAsBitmap = false;
    bool visible = true;
    QString name;
    std::shared_ptr<const std::vector<Filter>> filters;
    // A sprite's own timeline: its current frame and its display list.
    int frame = -1;
    DisplayList children;
    // The timeline runner's index of `children`: the depths (ascending)
    // of the children whose own timelines run, so a frame visits those
    // without walking the whole list.
    std::vector<int> runningChildren;

    // --- The live tree (set while scripts run; harmless otherwise) ---
    DisplayObject* parent = nullptr;
    int placeFrame = -1;              // frame of the parent's timeline that placed it; -1: made by a script
    bool playing = true;
    quint64 serial = 0;               // instantiation order
    int buttonState = 0;              // 0 up, 1 over, 2 down
    std::shared_ptr<const CompiledShape> drawing;   // shapes drawn by a script, below the children
    std::shared_ptr<ScriptDrawing> drawingSource;   // what `drawing` was prepared from
    std::shared_ptr<ScriptBitmap> bitmap;            // attachBitmap: pixels shown below the drawing
    bool bitmapSmoothing = false;
    std::shared_ptr<TextFieldState> textState;
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
    DisplayObject* maskedBy = nullptr;   // setMask: the object that masks this one
    bool isMask = false;
    // The script machine's own object for this display object; owned there.
    void* script = nullptr;
};

// A deep copy of a list (children copied too, live-tree links dropped).
DisplayList CloneList(const DisplayList& list);

// Runs timelines against display lists. Newly placed sprites run their
// first frame at once; existing sprites advance one frame per tick.
//
// Objects that are shared with another list (a saved state of the
// player's seeking) are copied before they change, so the states a list
// was copied into keep what they held: a copy of a list is a copy of its
// pointers, and only what changes is copied again.
class TimelineRunner {
public:
    explicit TimelineRunner(const Movie& movie, int spriteBudget = kMaxObjectsCreatedPerFrame)
        : movie_(movie), budget_(spriteBudget) {}
    // Display objects (sprite instances and the objects placed in new
    // places) this runner may still create.
    int spriteBudget() const { return budget_; }

    // One frame on for a timeline owner (the root or a sprite), looping
    // at the end the way the Flash Player does: objects that stay keep
    // their own state. `running` is the owner's index of running children
    // (see DisplayObject::runningChildren), kept up to date here.
    void tick(const Timeline& timeline, int& frame, DisplayList& list, std::vector<int>& running);
    // Applies frame `index` of the timeline's tags to the list, keeping
    // `running` up to date when given.
    void runFrame(const Timeline& timeline, int index, DisplayList& list, std::vector<int>* placed,
                  std::vector<int>* running = nullptr);
    // Sound: when set, each frame a timeline enters is told to the sink.
    void setAudioEvents(AudioEvents* sink) { sounds_ = sink; }
    // What this runner did, in units of about one placement: frames run,
    // tags applied, objects made or copied. Seeking spaces its saved
    // states by it.
    quint64 work() const { return work_; }

    // Pointers copied for the cost of about one unit of work.
    static constexpr int kSlotsPerWorkUnit = 32;

private:
    void place(const PlaceObject& p, int frameIndex, DisplayList& list, std::vector<int>* placed,
               std::vector<int>* running);
    void instantiate(DisplayObject& o);
    // The object at `p`, first copied if another list holds it too.
    DisplayObject& own(DisplayPtr& p);
    const Movie& movie_;
    AudioEvents* sounds_ = nullptr;   // sound
    TimelineId timeline_;             // sound: the timeline being run
    int depthGuard_ = 0;
    // Hostile files can nest sprites to build huge trees; a runner creates
    // at most this many objects (swf/limits.h).
    int budget_;
    quint64 work_ = 0;
};

// The position in a depth-sorted list where `depth` is or would go.
DisplayList::iterator FindDepth(DisplayList& list, int depth);

} // namespace plovex::swf
