#pragma once

// The frame loop of a scripted movie, in the Flash Player's order: each
// frame, clips from the newest to the oldest (children before their
// parent) get their enterFrame event and move one frame on; a clip that
// enters a frame queues that frame's actions before its display list
// changes; newly placed clips queue load and their first frame's actions;
// the queue then runs. Gotos from scripts apply at once and queue the
// destination frame's actions.

#include "avm1/runtime.h"
#include "avm1/timeline_state.h"
#include "swf/player.h"
#include "swf/sound_events.h"

#include <deque>
#include <map>
#include <set>

namespace plovex::avm1 {

struct ScriptOptions {
    // Time the scripts see: the wall clock, or (headless runs) one frame
    // interval per frame from zero, so runs repeat exactly.
    bool virtualClock = false;
    std::function<void(const QString&)> trace;      // trace() output, one call per line
    // What the player reports about scripts it stopped (not trace output).
    std::function<void(const QString&)> warning;
    QString moviePath;                              // for _url and relative loads
    // Opens a web or mail address; only called while handling the user's input.
    std::function<void(const QString& url)> openExternal;
    qint64 timeLimitMs = 15000;   // how long one action list may run
};

class ScriptedMovie : public swf::MovieRuntime {
public:
    ScriptedMovie(std::shared_ptr<const swf::Movie> movie, ScriptOptions options = {}, swf::AudioEvents* audio = nullptr);
    ~ScriptedMovie() override;

    void advance() override;
    void gotoFrame(int frame) override;
    int currentFrame() const override { return std::max(root_->frame, 0); }
    const swf::DisplayObject& root() const override { return *root_; }
    void mouseMove(double x, double y) override;
    void mouseButton(bool down) override;
    void key(bool down, int keyCode, int ascii) override;
    void text(const QString& typed) override;
    Qt::CursorShape cursor() const override;
    bool mouseHidden() const override { return rt_->mouseHidden; }
    // Where the yellow rectangle of the keyboard focus shows (stage
    // pixels); empty when it does not show.
    QRectF focusRect() const override;

    Runtime& runtime() { return *rt_; }

private:
    using Args = std::vector<Value>;
    struct Queued {
        swf::DisplayPtr clip;
        std::shared_ptr<const QByteArray> code;   // actions to run, or
        QString method;                            // a method of the clip to call
        Args args;
        int version = -1;
    };

    void enterFrame(swf::DisplayObject* clip, int frame, bool queueActions = true);
    void applyTags(swf::DisplayObject* clip, int frame);
    swf::DisplayObject* place(swf::DisplayObject* parent, const swf::PlaceObject& p, int frame);
    swf::DisplayObject* addChild(swf::DisplayObject* parent, int characterId, const QString& name, int depth, int frame);
    void initialize(swf::DisplayObject* o);
    void remove(swf::DisplayObject* o);
    void unload(const swf::DisplayPtr& o);
    void runClipEvent(const swf::DisplayPtr& o, quint32 event);
    Object* registeredClass(int characterId) const;
    void runOnClip(Object* clip, const std::function<void(Activation&)>& body);
    // Runs body, reporting an uncaught throw or a stopped script.
    void runGuarded(Activation& a, const std::function<void(Activation&)>& body);
    void gotoClip(swf::DisplayObject* clip, int frame, bool play);
    void queueFrameActions(swf::DisplayObject* clip, int frame);
    void runInitActions(const swf::Frame& frame);
    void queueClipEvent(const swf::DisplayPtr& o, quint32 event, const char* method, int keyCode = 0);
    void runQueue();
    // Calls onSoundComplete on the Sound objects whose sounds ended.
    void soundsCompleted();
    void collectExecutionOrder(const swf::DisplayPtr& o, std::vector<swf::DisplayPtr>& out);
    swf::DisplayPtr ptrOf(swf::DisplayObject* o) const;
    bool isSprite(const swf::DisplayObject* o) const;   // the root, a sprite or a script-made clip
    // Input.
    swf::DisplayObject* hitTest(double x, double y) const;
    void buttonTransition(swf::DisplayObject* b, quint32 condition, const char* method);
    void broadcast(Object* target, const char* method, Args args = {});
    bool handles(swf::DisplayObject* o) const;
    swf::DisplayObject* inputFieldAt(double x, double y) const;
    swf::TextFieldState* focusedText();
    // Keyboard focus (focus.cpp).
    enum class FocusCause { Script, Keyboard, Mouse };
    void changeFocus(swf::DisplayObject* next, FocusCause cause);
    void rollFocus(swf::DisplayObject* next);
    void cycleFocus(bool reverse);
    bool focusRectShown() const;
    bool onStageNow(const swf::DisplayObject* d) const;

    std::shared_ptr<const swf::Movie> movie_;
    swf::DisplayPtr root_;
    std::unique_ptr<Runtime> rt_;
    std::deque<Queued> queue_;
    int placing_ = 0;                               // placements under way
    std::vector<swf::DisplayPtr> pendingConstructs_;
    std::set<int> initDone_;
    quint64 serial_ = 0;
    int placementBudget_ = 200000;
    ScriptOptions options_;
    swf::AudioEvents* audio_ = nullptr;   // sounds of the frames played
    // What each timeline's tags have standing at a frame, which a goto
    // backwards rebuilds the timeline's objects towards.
    TimelineStateBudget stateBudget_;
    std::map<const swf::Timeline*, std::unique_ptr<TimelineStates>> timelineStates_;
    // Input state.
    std::weak_ptr<swf::DisplayObject> hover_, pressed_;
    bool userEvent_ = false;
};

// For swf::Player: makes a runtime for movies with scripts.
swf::MovieRuntimeFactory ScriptedMovies(ScriptOptions options = {});

} // namespace plovex::avm1
