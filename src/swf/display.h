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

#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

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

// The objects of one timeline, sorted by depth.
//
// Held in runs of consecutive objects (chunks) of at most kChunkMax
// pointers, so that placing or removing an object at any depth moves a
// few dozen pointers, not the whole list, and drawing still walks
// contiguous memory. A copy of a list copies only its chunk pointers:
// the copies share their chunks until one of them writes, and a write
// (any access through a non-const iterator) first gives the writing list
// a chunk of its own. So a saved state of a long list costs little more
// than the objects that changed since the state before it.
class DisplayList {
    using Chunk = std::vector<DisplayPtr>;
    using ChunkPtr = std::shared_ptr<Chunk>;

public:
    static constexpr size_t kChunkMax = 128;   // a chunk that grows past this is split in two

    template <bool Const>
    class Iter {
        using List = std::conditional_t<Const, const DisplayList, DisplayList>;

    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = DisplayPtr;
        using difference_type = std::ptrdiff_t;
        using reference = std::conditional_t<Const, const DisplayPtr&, DisplayPtr&>;
        using pointer = std::conditional_t<Const, const DisplayPtr*, DisplayPtr*>;

        Iter() = default;
        Iter(List* list, size_t chunk, size_t index) : list_(list), chunk_(chunk), index_(index) {}
        operator Iter<true>() const { return Iter<true>(list_, chunk_, index_); }

        reference operator*() const
        {
            if constexpr (Const)
                return (*list_->chunks_[chunk_])[index_];
            else
                return list_->writable(chunk_)[index_];
        }
        pointer operator->() const { return &**this; }
        Iter& operator++()
        {
            if (++index_ == list_->chunks_[chunk_]->size()) {
                ++chunk_;
                index_ = 0;
            }
            return *this;
        }
        Iter operator++(int)
        {
            Iter t = *this;
            ++*this;
            return t;
        }
        Iter& operator--()
        {
            if (index_ == 0)
                index_ = list_->chunks_[--chunk_]->size();
            --index_;
            return *this;
        }
        Iter operator--(int)
        {
            Iter t = *this;
            --*this;
            return t;
        }
        friend bool operator==(const Iter& a, const Iter& b) { return a.chunk_ == b.chunk_ && a.index_ == b.index_; }
        // Reading the pointer here never copies a shared chunk.
        const DisplayPtr& peek() const { return (*list_->chunks_[chunk_])[index_]; }

    private:
        friend class DisplayList;
        List* list_ = nullptr;
        size_t chunk_ = 0, index_ = 0;   // the end: chunk_ == the number of chunks, index_ 0
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;
    using value_type = DisplayPtr;
    using size_type = size_t;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear()
    {
        chunks_.clear();
        size_ = 0;
    }
    iterator begin() { return iterator(this, 0, 0); }
    iterator end() { return iterator(this, chunks_.size(), 0); }
    const_iterator begin() const { return const_iterator(this, 0, 0); }
    const_iterator end() const { return const_iterator(this, chunks_.size(), 0); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }
    reverse_iterator rbegin() { return reverse_iterator(end()); }
    reverse_iterator rend() { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }
    const DisplayPtr& front() const { return chunks_.front()->front(); }
    const DisplayPtr& back() const { return chunks_.back()->back(); }

    // Puts `p` before `pos`; returns where it went.
    iterator insert(const_iterator pos, DisplayPtr p);
    void push_back(DisplayPtr p) { insert(end(), std::move(p)); }
    // Removes the object at `pos`; returns the place after it.
    iterator erase(const_iterator pos);
    // The first object at `depth` or deeper (the end when none).
    iterator lowerBound(int depth);
    const_iterator lowerBound(int depth) const;

    // Chunks the list is held in: what copying the list copies.
    size_t chunkCount() const { return chunks_.size(); }
    // How many of this list's chunks `older` holds too (both lists in depth order).
    size_t chunksSharedWith(const DisplayList& older) const;

private:
    Chunk& writable(size_t chunk);
    size_t chunkAtDepth(int depth) const;
    std::vector<ChunkPtr> chunks_;   // none empty
    size_t size_ = 0;
};

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
inline DisplayList::iterator FindDepth(DisplayList& list, int depth)
{
    return list.lowerBound(depth);
}
inline DisplayList::const_iterator FindDepth(const DisplayList& list, int depth)
{
    return list.lowerBound(depth);
}

} // namespace plovex::swf
