#pragma once

// What a timeline's own tags have standing at each depth at any frame: the
// target a backwards goto rebuilds the timeline's objects towards.
//
// That state depends on the tags alone (never on scripts), so it is kept
// at checkpoints, taken as the frames are first asked for, and a frame's
// state is the nearest checkpoint at or before it with the few frames
// since then replayed on top. A goto back in a long movie then costs the
// size of the list and a bounded replay, not a replay from frame 0.

#include "swf/movie.h"

#include <map>
#include <memory>
#include <vector>

namespace plovex::avm1 {

// The objects at one depth: the placing tag with the changes of the later
// moves folded in, and the frame of the placing tag.
struct TimelinePlacement {
    swf::PlaceObject place;
    int placedAt = 0;
};
using PlacementPtr = std::shared_ptr<const TimelinePlacement>;
// A timeline's state at one frame, by depth (ascending).
using TimelineState = std::vector<std::pair<int, PlacementPtr>>;

// Memory the checkpoints of all timelines of one movie may hold.
struct TimelineStateBudget {
    size_t bytes = 0;
    size_t max = size_t(128) << 20;
};

class TimelineStates {
public:
    TimelineStates(const swf::Timeline& timeline, TimelineStateBudget& budget);
    ~TimelineStates();
    TimelineStates(const TimelineStates&) = delete;
    TimelineStates& operator=(const TimelineStates&) = delete;

    // The state at `frame` (a frame past either end: the nearest one).
    TimelineState at(int frame);
    // The frames whose states are kept (ascending).
    std::vector<int> checkpointFrames() const;

private:
    // Frames' changes on top of a checkpoint; a null pointer: removed.
    using Overlay = std::map<int, PlacementPtr>;
    struct Checkpoint {
        TimelineState state;
        size_t bytes = 0;
    };
    // Folds frame `f`'s tags into the overlay on top of `base`; returns the tags applied.
    size_t apply(int f, const TimelineState& base, Overlay& overlay) const;
    static TimelineState merge(const TimelineState& base, const Overlay& overlay);
    // Replays frames on from the last checkpoint up to `frame`, keeping
    // checkpoints on the way.
    void build(int frame);
    void thin();

    const swf::Timeline& timeline_;
    TimelineStateBudget& budget_;
    size_t bytes_ = 0;
    std::map<int, Checkpoint> checkpoints_;   // frame -1: the empty state before frame 0
    // Where building stands: frames up to `builtTo_` are covered, with
    // `builtOverlay_` on top of the last checkpoint.
    int builtTo_ = -1;
    Overlay builtOverlay_;
    size_t builtTags_ = 0;   // tags in builtOverlay_
};

} // namespace plovex::avm1
