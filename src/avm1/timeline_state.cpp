#include "avm1/timeline_state.h"

#include <algorithm>

namespace plovex::avm1 {

namespace {

// Tags replayed between checkpoints, at least.
constexpr size_t kMinTagsBetween = 256;
// And at least one tag for this many entries a checkpoint copies, so a
// long list is copied rarely while a goto replays little.
constexpr size_t kEntriesPerTag = 16;

PlacementPtr Lookup(const TimelineState& base, const std::map<int, PlacementPtr>& overlay, int depth)
{
    if (auto o = overlay.find(depth); o != overlay.end())
        return o->second;
    auto it = std::lower_bound(base.begin(), base.end(), depth,
                               [](const std::pair<int, PlacementPtr>& e, int d) { return e.first < d; });
    return it != base.end() && it->first == depth ? it->second : nullptr;
}

} // namespace

TimelineStates::TimelineStates(const swf::Timeline& timeline, TimelineStateBudget& budget)
    : timeline_(timeline), budget_(budget)
{
    checkpoints_.emplace(-1, Checkpoint{});
}

TimelineStates::~TimelineStates()
{
    budget_.bytes -= std::min(budget_.bytes, bytes_);
}

size_t TimelineStates::apply(int f, const TimelineState& base, Overlay& overlay) const
{
    size_t tags = 0;
    for (const swf::ControlTag& tag : timeline_.frames[size_t(f)].tags) {
        if (const auto* p = std::get_if<swf::PlaceObject>(&tag)) {
            ++tags;
            const PlacementPtr current = Lookup(base, overlay, p->depth);
            if (p->move && current) {
                // A move changes what it sets and keeps the object.
                auto acc = std::make_shared<TimelinePlacement>(*current);
                swf::PlaceObject& a = acc->place;
                if (p->characterId) a.characterId = p->characterId;
                if (p->matrix) a.matrix = p->matrix;
                if (p->colorTransform) a.colorTransform = p->colorTransform;
                if (p->ratio) a.ratio = p->ratio;
                if (p->name) a.name = p->name;
                if (p->clipDepth) a.clipDepth = p->clipDepth;
                if (p->filters) a.filters = p->filters;
                if (p->blendMode) a.blendMode = p->blendMode;
                if (p->visible) a.visible = p->visible;
                overlay[p->depth] = std::move(acc);
            } else if (p->characterId && (p->move || !current)) {
                // (A place on a depth in use fails.)
                auto placed = std::make_shared<TimelinePlacement>();
                placed->place = *p;
                placed->place.move = false;
                placed->placedAt = f;
                overlay[p->depth] = std::move(placed);
            }
        } else if (const auto* r = std::get_if<swf::RemoveObject>(&tag)) {
            ++tags;
            if (Lookup(base, overlay, r->depth))
                overlay[r->depth] = nullptr;
        }
    }
    return tags;
}

TimelineState TimelineStates::merge(const TimelineState& base, const Overlay& overlay)
{
    TimelineState out;
    out.reserve(base.size() + overlay.size());
    auto b = base.begin();
    for (const auto& [depth, placement] : overlay) {
        for (; b != base.end() && b->first < depth; ++b)
            out.push_back(*b);
        if (b != base.end() && b->first == depth)
            ++b;
        if (placement)
            out.emplace_back(depth, placement);
    }
    out.insert(out.end(), b, base.end());
    return out;
}

void TimelineStates::build(int frame)
{
    while (builtTo_ < frame) {
        ++builtTo_;
        const auto last = std::prev(checkpoints_.end());
        builtTags_ += apply(builtTo_, last->second.state, builtOverlay_);
        const size_t entries = last->second.state.size() + builtOverlay_.size();
        if (builtTags_ < std::max(kMinTagsBetween, entries / kEntriesPerTag))
            continue;
        Checkpoint c;
        c.state = merge(last->second.state, builtOverlay_);
        // Its entries, and the placements made since the checkpoint before
        // it, which it may be the last to hold.
        c.bytes = 64 + c.state.capacity() * sizeof(TimelineState::value_type) +
                  builtTags_ * (sizeof(TimelinePlacement) + 32);
        bytes_ += c.bytes;
        budget_.bytes += c.bytes;
        checkpoints_.emplace(builtTo_, std::move(c));
        builtOverlay_.clear();
        builtTags_ = 0;
        while (budget_.bytes > budget_.max && checkpoints_.size() > 2)
            thin();
    }
}

void TimelineStates::thin()
{
    // The one whose neighbours lie closest goes; the empty state before
    // frame 0 and the latest one (building goes on from it) stay.
    auto best = checkpoints_.end();
    int bestGap = 0;
    for (auto it = std::next(checkpoints_.begin()); std::next(it) != checkpoints_.end(); ++it) {
        const int gap = std::next(it)->first - std::prev(it)->first;
        if (best == checkpoints_.end() || gap < bestGap) {
            best = it;
            bestGap = gap;
        }
    }
    if (best == checkpoints_.end())
        return;
    bytes_ -= best->second.bytes;
    budget_.bytes -= std::min(budget_.bytes, best->second.bytes);
    checkpoints_.erase(best);
}

TimelineState TimelineStates::at(int frame)
{
    const int count = int(timeline_.frames.size());
    if (count == 0)
        return {};
    frame = std::clamp(frame, 0, count - 1);
    build(frame);
    const auto it = std::prev(checkpoints_.upper_bound(frame));
    if (it->first == frame)
        return it->second.state;
    if (std::next(it) == checkpoints_.end() && builtTo_ == frame)
        return merge(it->second.state, builtOverlay_);
    Overlay overlay;
    for (int f = it->first + 1; f <= frame; ++f)
        apply(f, it->second.state, overlay);
    return merge(it->second.state, overlay);
}

std::vector<int> TimelineStates::checkpointFrames() const
{
    std::vector<int> frames;
    for (const auto& [frame, c] : checkpoints_)
        if (frame >= 0)
            frames.push_back(frame);
    return frames;
}

} // namespace plovex::avm1
