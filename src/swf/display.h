#pragma once

// The player's model: display objects on a display list, and the rules by
// which a timeline's frames change that list.

#include "swf/movie.h"
#include "swf/sound_events.h"

namespace plovex::swf {

struct DisplayObject {
    int depth = 0;
    int characterId = 0;
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
    std::vector<DisplayObject> children;   // sorted by depth
};

// Runs timelines against display lists. Newly placed sprites run their
// first frame at once; existing sprites advance one frame per tick.
class TimelineRunner {
public:
    explicit TimelineRunner(const Movie& movie, int spriteBudget = 200000) : movie_(movie), budget_(spriteBudget) {}
    // Sprite instances this runner may still create.
    int spriteBudget() const { return budget_; }

    // One frame on for a timeline owner (the root or a sprite), looping
    // at the end the way the Flash Player does: objects that stay keep
    // their own state.
    void tick(const Timeline& timeline, int& frame, std::vector<DisplayObject>& list);
    // Applies frame `index` of the timeline's tags to the list.
    void runFrame(const Timeline& timeline, int index, std::vector<DisplayObject>& list, std::vector<int>* placed);
    // Sound: when set, each frame a timeline enters is told to the sink.
    void setAudioEvents(AudioEvents* sink) { sounds_ = sink; }

private:
    void place(const PlaceObject& p, std::vector<DisplayObject>& list, std::vector<int>* placed);
    void instantiate(DisplayObject& o);
    const Movie& movie_;
    AudioEvents* sounds_ = nullptr;   // sound
    TimelineId timeline_;             // sound: the timeline being run
    int depthGuard_ = 0;
    // Hostile files can nest sprites to build huge trees; a runner creates
    // at most this many sprite instances.
    int budget_;
};

} // namespace plovex::swf
