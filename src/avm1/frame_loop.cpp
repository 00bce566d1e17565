#include "avm1/frame_loop.h"

#include "avm1/clip.h"
#include "avm1/focus.h"
#include "avm1/globals/globals.h"
#include "swf/limits.h"

#include <QDateTime>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace plovex::avm1 {

using swf::DisplayObject;
using swf::DisplayPtr;

namespace {

constexpr int kDepthOffset = 16384;   // file depth 1 is script depth -16383
constexpr size_t kMaxQueuedPerFrame = 200000;

constexpr auto onStage = InTree;

} // namespace

ScriptedMovie::ScriptedMovie(std::shared_ptr<const swf::Movie> movie, ScriptOptions options, swf::AudioEvents* audio)
    : movie_(std::move(movie)), options_(std::move(options)), audio_(audio)
{
    root_ = std::make_shared<DisplayObject>();
    root_->frame = -1;
    root_->name = QString();
    rt_ = std::make_unique<Runtime>(movie_, root_.get());
    rt_->gotoFrame = [this](DisplayObject* d, int frame, bool play) { gotoClip(d, frame, play); };
    rt_->attachChild = [this](DisplayObject* parent, int id, const QString& name, int depth) {
        return addChild(parent, id, name, depth, -1);
    };
    rt_->removeChild = [this](DisplayObject* d) { remove(d); };
    rt_->duplicateClip = [this](DisplayObject* src, const QString& name, int depth) -> DisplayObject* {
        if (!src->parent)
            return nullptr;
        DisplayObject* c = addChild(src->parent, src->characterId, name, depth, -1);
        if (!c)
            return nullptr;
        c->matrix = src->matrix;
        c->colorTransform = src->colorTransform;
        c->visible = src->visible;
        c->filters = src->filters;
        c->blendMode = src->blendMode;
        c->clipActions = src->clipActions;
        c->drawing = src->drawing;
        if (src->drawingSource)
            c->drawingSource = std::make_shared<swf::ScriptDrawing>(*src->drawingSource);
        if (src->textState)
            c->textState = std::make_shared<swf::TextFieldState>(*src->textState);
        return c;
    };
    rt_->openUrl = [this](const QString& url, const QString&) {
        const QString lower = url.trimmed().toLower();
        if (lower.startsWith(QLatin1String("fscommand:")))
            return;
        if (!userEvent_)
            return;
        if (!(lower.startsWith(QLatin1String("http:")) || lower.startsWith(QLatin1String("https:")) ||
              lower.startsWith(QLatin1String("mailto:"))))
            return;
        if (options_.openExternal)
            options_.openExternal(url);
    };
    rt_->traceOutput = [this](const QString& text) {
        if (!options_.trace)
            return;
        // A multi-line string prints as several lines.
        QString t = text;
        t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        for (const QString& line : t.split(QLatin1Char('\n')))
            options_.trace(line);
    };
    if (!options_.moviePath.isEmpty()) {
        const QFileInfo fi(options_.moviePath);
        rt_->movieUrl = QUrl::fromLocalFile(fi.absoluteFilePath()).toString();
        rt_->movieFolder = fi.absolutePath();
    }
    rt_->timeLimitMs = options_.timeLimitMs;
    rt_->warningOutput = options_.warning;
    if (options_.virtualClock) {
        rt_->timeSource = TimeSource::Virtual;
        rt_->virtualMs = 0;
    }
    rt_->setFocus = [this](DisplayObject* d) { changeFocus(d, FocusCause::Script); };
    rt_->stopSounds = [this] {
        if (audio_)
            audio_->stopAll();
    };
    rt_->audio = audio_;
    rt_->clipObject(root_.get());
    enterFrame(root_.get(), 0);
    runQueue();
    // Loads asked for by the first frame that end at once (a missing
    // file) end within it, as later frames' do.
    rt_->runTimers(Runtime::TimerKind::Arrivals);
}

ScriptedMovie::~ScriptedMovie()
{
    queue_.clear();
    rt_.reset();
}


bool ScriptedMovie::isSprite(const DisplayObject* o) const
{
    return (o->characterId == 0 && !o->textState) || movie_->get<swf::SpriteCharacter>(o->characterId);
}

DisplayPtr ScriptedMovie::ptrOf(DisplayObject* o) const
{
    return o ? o->shared_from_this() : DisplayPtr();
}

// --- Frames ------------------------------------------------------------------------

void ScriptedMovie::runInitActions(const swf::Frame& frame)
{
    for (const swf::InitAction& ia : frame.initActions) {
        if (initDone_.count(ia.spriteId))
            continue;
        initDone_.insert(ia.spriteId);
        rt_->runActions(ia.code, root_.get());
    }
}

void ScriptedMovie::queueFrameActions(DisplayObject* clip, int frame)
{
    const swf::Timeline* tl = TimelineOf(*movie_, clip);
    if (!tl || frame < 0 || size_t(frame) >= tl->frames.size())
        return;
    for (const auto& code : tl->frames[size_t(frame)].actions)
        queue_.push_back(Queued{ptrOf(clip), code, QString(), {}, -1});
}

void ScriptedMovie::enterFrame(DisplayObject* clip, int frame, bool queueActions)
{
    const swf::Timeline* tl = TimelineOf(*movie_, clip);
    if (!tl || frame < 0 || size_t(frame) >= tl->frames.size())
        return;
    runInitActions(tl->frames[size_t(frame)]);
    if (queueActions)
        queueFrameActions(clip, frame);
    clip->frame = frame;
    if (audio_) {
        rt_->syncSoundTransform(clip, false);
        swf::PlayFrameSounds(*tl, rt_->timelineIdOf(clip), frame, *audio_);
    }
    applyTags(clip, frame);
}

void ScriptedMovie::applyTags(DisplayObject* clip, int frame)
{
    const swf::Timeline* tl = TimelineOf(*movie_, clip);
    if (!tl || frame < 0 || size_t(frame) >= tl->frames.size())
        return;
    const DisplayPtr keep = ptrOf(clip);
    for (const swf::ControlTag& tag : tl->frames[size_t(frame)].tags) {
        if (const auto* p = std::get_if<swf::PlaceObject>(&tag)) {
            place(clip, *p, frame);
        } else if (const auto* r = std::get_if<swf::RemoveObject>(&tag)) {
            auto it = swf::FindDepth(clip->children, r->depth);
            if (it != clip->children.end() && (*it)->depth == r->depth && (*it)->placeFrame >= 0)
                remove(it->get());
        }
    }
}

namespace {

// How many clips hold `o`, `o` included: a movie whose sprite places
// itself would otherwise nest without end.
int NestingOf(const DisplayObject* o)
{
    int n = 0;
    for (; o && n <= swf::kMaxSpriteNesting; o = o->parent)
        ++n;
    return n;
}

// What a PlaceObject sets on the object it places or moves.
void applyPlacement(DisplayObject& o, const swf::PlaceObject& p)
{
    if (p.matrix) o.matrix = *p.matrix;
    if (p.colorTransform) o.colorTransform = *p.colorTransform;
    if (p.ratio) o.ratio = *p.ratio;
    if (p.name) o.name = *p.name;
    if (p.clipDepth) o.clipDepth = *p.clipDepth;
    if (p.filters) o.filters = std::make_shared<const std::vector<swf::Filter>>(*p.filters);
    if (p.blendMode) o.blendMode = *p.blendMode;
    if (p.cacheAsBitmap) o.cacheAsBitmap = *p.cacheAsBitmap;
    if (p.visible) o.visible = *p.visible;
}

} // namespace

DisplayObject* ScriptedMovie::place(DisplayObject* parent, const swf::PlaceObject& p, int frame)
{
    auto it = swf::FindDepth(parent->children, p.depth);
    const bool occupied = it != parent->children.end() && (*it)->depth == p.depth;
    DisplayObject* o = nullptr;
    if (p.move && occupied) {
        o = it->get();
        if (o->placeFrame < 0)
            return nullptr;   // a script took this object over
        if (p.characterId && *p.characterId != o->characterId && movie_->character(*p.characterId)) {
            // Replacing the character keeps the object (shapes and the like).
            o->characterId = *p.characterId;
        }
    } else {
        if (!p.characterId || !movie_->character(*p.characterId))
            return nullptr;
        if (occupied) {
            // A place (not a move) never takes a depth that is in use. The
            // same object placed again when its frame comes round once more
            // stands already; anything else is a fault of the movie.
            const DisplayObject& there = **it;
            if (!(there.placeFrame >= 0 && there.characterId == *p.characterId && frame <= there.placeFrame))
                rt_->traceOutput(QStringLiteral("Warning: Failed to place object at depth %1.").arg(p.depth));
            return nullptr;
        }
        if (NestingOf(parent) >= swf::kMaxSpriteNesting || --placementBudget_ < 0)
            return nullptr;
        auto n = std::make_shared<DisplayObject>();
        n->depth = p.depth;
        n->characterId = *p.characterId;
        n->parent = parent;
        n->placeFrame = frame;
        n->serial = ++serial_;
        n->clipActions = p.clipActions;
        auto pos = swf::FindDepth(parent->children, p.depth);
        parent->children.insert(pos, n);
        o = n.get();
        applyPlacement(*o, p);
        // Every unnamed clip, button and text field gets the next
        // "instanceN" name; shapes, bitmaps and static text take no number.
        if (!p.name) {
            const swf::Character* c = movie_->character(o->characterId);
            const auto kind = c ? c->kind() : swf::CharacterKind::Sprite;
            if (kind == swf::CharacterKind::Sprite || kind == swf::CharacterKind::Button ||
                kind == swf::CharacterKind::EditText)
                o->name = QStringLiteral("instance%1").arg(++rt_->instanceCounter);
        }
        initialize(o);
        return o;
    }
    applyPlacement(*o, p);
    return o;
}

DisplayObject* ScriptedMovie::addChild(DisplayObject* parent, int characterId, const QString& name, int depth, int frame)
{
    if (!parent || NestingOf(parent) >= swf::kMaxSpriteNesting || --placementBudget_ < 0)
        return nullptr;
    if (characterId > 0 && !movie_->character(characterId))
        return nullptr;
    auto it = swf::FindDepth(parent->children, depth);
    if (it != parent->children.end() && (*it)->depth == depth)
        remove(it->get());
    auto n = std::make_shared<DisplayObject>();
    n->depth = depth;
    n->characterId = characterId < 0 ? 0 : characterId;
    n->parent = parent;
    n->placeFrame = frame;
    n->serial = ++serial_;
    n->name = name;
    if (characterId < 0) {
        // A text field made by a script: no character behind it.
        n->textState = std::make_shared<swf::TextFieldState>();
    }
    auto pos = swf::FindDepth(parent->children, depth);
    parent->children.insert(pos, n);
    initialize(n.get());
    return n.get();
}

void ScriptedMovie::initialize(DisplayObject* o)
{
    const DisplayPtr self = ptrOf(o);
    // A class registered for the symbol gives the clip its prototype.
    Object* ctor = registeredClass(o->characterId);
    // Shapes, morphs, bitmaps and static text are out of scripts' reach:
    // their script object is made when something first asks for it, so
    // long timelines of shapes do not fill the script heap.
    const swf::Character* character = movie_->character(o->characterId);
    const auto kind = character ? character->kind() : swf::CharacterKind::Sprite;
    if (ctor || kind == swf::CharacterKind::Sprite || kind == swf::CharacterKind::Button ||
        kind == swf::CharacterKind::EditText || kind == swf::CharacterKind::Video)
        rt_->clipObject(o);
    if (ctor) {
        ClipObject* obj = rt_->clipObject(o);
        Activation a(*rt_, rt_->version(), nullptr, obj, obj);
        if (Object* proto = ctor->get(a, QStringLiteral("prototype")).asObject())
            obj->setProto(proto);
    }
    // initialize runs at once; construct (and the class constructor) once
    // the outermost placement is complete, parents before children; load
    // and the first frame's actions join the queue.
    ++placing_;
    runClipEvent(self, swf::kEvInitialize);
    pendingConstructs_.push_back(self);
    queueClipEvent(self, swf::kEvLoad, isSprite(o) ? "onLoad" : nullptr);   // buttons and fields have no onLoad
    if (TimelineOf(*movie_, o) && o->characterId != 0) {
        o->playing = true;
        enterFrame(o, 0);
    } else if (o->characterId == 0) {
        o->frame = 0;
        o->playing = false;
    }
    if (--placing_ == 0) {
        std::vector<DisplayPtr> constructs;
        constructs.swap(pendingConstructs_);
        for (const DisplayPtr& c : constructs) {
            runClipEvent(c, swf::kEvConstruct);
            if (Object* cls = registeredClass(c->characterId)) {
                ClipObject* co = rt_->clipObject(c.get());
                runOnClip(co, [&](Activation& a) {
                    Args none;
                    rt_->call(a, Value(cls), Value(static_cast<Object*>(co)), none);
                });
            }
        }
    }
}

void ScriptedMovie::runOnClip(Object* clip, const std::function<void(Activation&)>& body)
{
    // Runs with the clip as `this` and timeline; an uncaught throw is
    // reported as the Flash Player reports it, a stopped script as a warning.
    Scope* globalScope = rt_->make<Scope>(nullptr, rt_->global);
    Activation a(*rt_, rt_->version(), rt_->make<Scope>(globalScope, clip), clip, clip);
    runGuarded(a, body);
}

void ScriptedMovie::runGuarded(Activation& a, const std::function<void(Activation&)>& body)
{
    try {
        body(a);
    } catch (ScriptThrow& t) {
        if (rt_->traceOutput)
            rt_->traceOutput(QStringLiteral("Warning: Uncaught exception, ") + rt_->toString(a, t.value));
    } catch (ScriptAbort& e) {
        if (rt_->warningOutput && !e.reason.isEmpty())
            rt_->warningOutput(e.reason);
    }
}

Object* ScriptedMovie::registeredClass(int characterId) const
{
    if (rt_->registeredClasses.isEmpty())
        return nullptr;
    for (const auto& [name, id] : movie_->exports)
        if (id == characterId)
            if (Object* c = rt_->registeredClasses.value(name, nullptr))
                return c;
    return nullptr;
}

void ScriptedMovie::runClipEvent(const DisplayPtr& o, quint32 event)
{
    if (!o->clipActions)
        return;
    for (const swf::ClipAction& ca : *o->clipActions)
        if (ca.events & event)
            rt_->runActions(std::make_shared<const QByteArray>(ca.code), o.get());
}

void ScriptedMovie::unload(const DisplayPtr& o)
{
    // Children first, then the clip's own unload event and onUnload.
    for (auto it = o->children.rbegin(); it != o->children.rend(); ++it)
        unload(*it);
    runClipEvent(o, swf::kEvUnload);
    if (o->script) {
        auto* obj = static_cast<Object*>(o->script);
        Scope* globalScope = rt_->make<Scope>(nullptr, rt_->global);
        Activation a(*rt_, rt_->version(), rt_->make<Scope>(globalScope, obj), obj, obj);
        try {
            rt_->callMethod(a, obj, QStringLiteral("onUnload"), {});
        } catch (ScriptThrow&) {
        } catch (ScriptAbort&) {
        }
    }
}

void ScriptedMovie::remove(DisplayObject* o)
{
    if (!o || !o->parent)
        return;
    DisplayPtr keep = ptrOf(o);
    // The focus leaves with the object that holds it.
    for (DisplayObject* f = rt_->focus; f; f = f->parent)
        if (f == o) {
            changeFocus(nullptr, FocusCause::Script);
            break;
        }
    if (!o->parent)
        return;   // a focus handler removed it already
    auto& list = o->parent->children;
    // Found by its depth, or (a list out of depth order) by a search.
    auto it = swf::FindDepth(list, o->depth);
    if (it == list.end() || it->get() != o)
        it = std::find_if(list.begin(), list.end(), [o](const DisplayPtr& c) { return c.get() == o; });
    if (it != list.end())
        list.erase(it);
    unload(keep);
    o->parent = nullptr;
}

void ScriptedMovie::queueClipEvent(const DisplayPtr& o, quint32 event, const char* method, int keyCode)
{
    if (o->clipActions)
        for (const swf::ClipAction& ca : *o->clipActions)
            if ((ca.events & event) && (event != swf::kEvKeyPress || ca.keyCode == keyCode))
                queue_.push_back(Queued{o, std::make_shared<const QByteArray>(ca.code), QString(), {}, -1});
    if (method)
        queue_.push_back(Queued{o, nullptr, QString::fromLatin1(method), {}, -1});
}

void ScriptedMovie::runQueue()
{
    size_t ran = 0;
    while (!queue_.empty() && ran++ < kMaxQueuedPerFrame && !rt_->aborted) {
        Queued q = std::move(queue_.front());
        queue_.pop_front();
        // A clip that left the stage runs nothing more.
        if (q.clip.get() != root_.get() && !onStage(q.clip.get(), root_.get()))
            continue;
        if (q.code) {
            rt_->runActions(q.code, q.clip.get(), q.version);
            continue;
        }
        if (q.method.isEmpty())
            continue;
        ClipObject* obj = rt_->clipObject(q.clip.get());
        runOnClip(obj, [&](Activation& a) { rt_->callMethod(a, obj, q.method, q.args); });
    }
    queue_.clear();
}

void ScriptedMovie::collectExecutionOrder(const DisplayPtr& o, std::vector<DisplayPtr>& out)
{
    for (auto it = o->children.rbegin(); it != o->children.rend(); ++it)
        collectExecutionOrder(*it, out);
    out.push_back(o);
}

void ScriptedMovie::advance()
{
    if (options_.virtualClock && movie_->info.frameRate > 0)
        rt_->virtualMs += 1000.0 / movie_->info.frameRate;
    soundsCompleted();
    std::vector<DisplayPtr> order;
    collectExecutionOrder(root_, order);
    for (const DisplayPtr& c : order) {
        if (!onStage(c.get(), root_.get()))
            continue;
        if (!isSprite(c.get()))
            continue;
        queueClipEvent(c, swf::kEvEnterFrame, "onEnterFrame");
        if (!c->playing)
            continue;
        const swf::Timeline* tl = TimelineOf(*movie_, c.get());
        if (!tl)
            continue;
        const int count = int(tl->frames.size());
        if (c->frame + 1 < count)
            enterFrame(c.get(), c->frame + 1);
        else if (count > 1)
            gotoClip(c.get(), 0, true);
    }
    runQueue();
    rt_->runTimers();
    SyncBoundTextFields(*rt_, root_.get());
    // Dragged clips follow the pointer.
    if (auto d = rt_->dragged.lock(); d && d->parent) {
        bool ok = false;
        const QTransform inv = StageTransform(d->parent).inverted(&ok);
        const QPointF p = inv.map(QPointF(rt_->mouseX * 20, rt_->mouseY * 20));
        d->matrix.tx = std::round(p.x() + (rt_->dragLockCenter ? 0 : rt_->dragOffsetX * 20));
        d->matrix.ty = std::round(p.y() + (rt_->dragLockCenter ? 0 : rt_->dragOffsetY * 20));
    }
    rt_->collectGarbage();
}

void ScriptedMovie::soundsCompleted()
{
    if (!audio_ || rt_->playingSounds.empty())
        return;
    // Sound objects whose sounds were stopped are let go.
    const std::vector<quint64> ended = audio_->takeFinishedSounds();
    for (auto it = rt_->playingSounds.begin(); it != rt_->playingSounds.end();) {
        if (std::find(ended.begin(), ended.end(), it->first) == ended.end() && audio_->soundPosition(it->first) < 0)
            it = rt_->playingSounds.erase(it);
        else
            ++it;
    }
    // Each Sound object whose sound came to its end hears onSoundComplete,
    // in the order the sounds ended.
    for (quint64 handle : ended) {
        const auto it = rt_->playingSounds.find(handle);
        if (it == rt_->playingSounds.end())
            continue;
        Object* sound = it->second;
        rt_->playingSounds.erase(it);
        if (rt_->aborted)
            continue;
        ClipObject* rootObj = rt_->clipObject(root_.get());
        Scope* globalScope = rt_->make<Scope>(nullptr, rt_->global);
        Activation a(*rt_, rt_->version(), globalScope, sound, rootObj);
        rt_->deadlineMs = QDateTime::currentMSecsSinceEpoch() + rt_->timeLimitMs;
        runGuarded(a, [&](Activation& act) { rt_->callMethod(act, sound, QStringLiteral("onSoundComplete"), {}); });
        rt_->deadlineMs = 0;
    }
}

void ScriptedMovie::gotoFrame(int frame)
{
    gotoClip(root_.get(), frame, root_->playing);
    runQueue();
}

void ScriptedMovie::gotoClip(DisplayObject* clip, int frame, bool play)
{
    const swf::Timeline* tl = TimelineOf(*movie_, clip);
    if (!tl)
        return;
    const int count = int(tl->frames.size());
    frame = std::clamp(frame, 0, std::max(count - 1, 0));
    clip->playing = play;
    if (frame == clip->frame)
        return;
    if (frame > clip->frame) {
        for (int f = clip->frame + 1; f < frame; ++f) {
            runInitActions(tl->frames[size_t(f)]);
            clip->frame = f;
            applyTags(clip, f);
        }
        enterFrame(clip, frame);
        return;
    }
    // Backwards: rebuild the timeline's objects for the destination frame,
    // keeping those that would stand there anyway.
    auto& states = timelineStates_[tl];
    if (!states)
        states = std::make_unique<TimelineStates>(*tl, stateBudget_);
    const TimelineState want = states->at(frame);
    // Remove what does not belong (both lists go by depth).
    std::vector<DisplayPtr> drop;   // kept alive: removal runs scripts
    auto w = want.begin();
    for (const DisplayPtr& c : std::as_const(clip->children)) {
        if (c->placeFrame < 0 || c->depth >= kDepthOffset)
            continue;
        while (w != want.end() && w->first < c->depth)
            ++w;
        if (w == want.end() || w->first != c->depth || !w->second->place.characterId ||
            *w->second->place.characterId != c->characterId || w->second->placedAt != c->placeFrame)
            drop.push_back(c);
    }
    for (const DisplayPtr& d : drop)
        remove(d.get());
    clip->frame = frame;
    runInitActions(tl->frames[size_t(frame)]);
    queueFrameActions(clip, frame);
    // Objects that stand get the timeline's transform, colour and ratio
    // back; missing ones are placed. Placing runs scripts, which may change
    // the list, so the walk finds its place again after each one.
    const swf::DisplayList& children = clip->children;
    auto it = children.begin();
    bool lost = false;
    for (const auto& [depth, placement] : want) {
        if (lost) {
            it = swf::FindDepth(children, depth);
            lost = false;
        }
        while (it != children.end() && (*it)->depth < depth)
            ++it;
        if (it != children.end() && (*it)->depth == depth) {
            DisplayObject* o = it->get();
            if (o->placeFrame < 0)
                continue;
            // What the tags leave unset is as a fresh placement has it, so a
            // ratio or colour a later frame gave does not linger.
            const swf::PlaceObject& p = placement->place;
            o->matrix = p.matrix.value_or(swf::Matrix());
            o->colorTransform = p.colorTransform.value_or(swf::ColorTransform());
            o->ratio = p.ratio.value_or(0);
            continue;
        }
        place(clip, placement->place, placement->placedAt);
        lost = true;
    }
}

// --- Input ---------------------------------------------------------------------------

bool ScriptedMovie::handles(DisplayObject* o) const
{
    return movie_->get<swf::ButtonCharacter>(o->characterId) || ActsAsButton(*rt_, o);
}

DisplayObject* ScriptedMovie::hitTest(double x, double y) const
{
    std::function<DisplayObject*(const DisplayPtr&)> visit = [&](const DisplayPtr& o) -> DisplayObject* {
        if (!o->visible)
            return nullptr;
        for (auto it = o->children.rbegin(); it != o->children.rend(); ++it)
            if (DisplayObject* h = visit(*it)) {
                // A clip that handles the mouse takes it for its children.
                for (DisplayObject* p = o.get(); p && p != root_.get(); p = p->parent)
                    if (handles(p))
                        return p;
                return h;
            }
        if (o.get() == root_.get())
            return nullptr;
        const QTransform t = StageTransform(o.get());
        QRectF local;
        if (const auto* b = movie_->get<swf::ButtonCharacter>(o->characterId)) {
            for (const auto& rec : b->records)
                if (rec.hit) {
                    DisplayObject tmp;
                    tmp.characterId = rec.characterId;
                    local = local.united(rec.matrix.toQt().mapRect(LocalBounds(*movie_, tmp)));
                }
        } else if (handles(o.get())) {
            local = LocalBounds(*movie_, *o);
        } else if (o->children.empty()) {
            return nullptr;
        }
        if (local.isEmpty())
            return nullptr;
        if (t.mapRect(local).contains(QPointF(x * 20, y * 20)) && handles(o.get()))
            return o.get();
        return nullptr;
    };
    return visit(root_);
}

void ScriptedMovie::buttonTransition(DisplayObject* b, quint32 condition, const char* method)
{
    const DisplayPtr self = ptrOf(b);
    if (const auto* bc = movie_->get<swf::ButtonCharacter>(b->characterId))
        for (const auto& act : bc->actions)
            if (act.conditions & condition)
                queue_.push_back(Queued{ptrOf(b->parent), act.code, QString(), {}, -1});
    quint32 clipEvent = 0;
    switch (condition) {
    case swf::kCondOverUpToOverDown: clipEvent = swf::kEvPress; break;
    case swf::kCondOverDownToOverUp: clipEvent = swf::kEvRelease; break;
    case swf::kCondOutDownToIdle: clipEvent = swf::kEvReleaseOutside; break;
    case swf::kCondIdleToOverUp: clipEvent = swf::kEvRollOver; break;
    case swf::kCondOverUpToIdle: clipEvent = swf::kEvRollOut; break;
    default: break;
    }
    if (clipEvent)
        queueClipEvent(self, clipEvent, method);
    else if (method)
        queue_.push_back(Queued{self, nullptr, QString::fromLatin1(method), {}, -1});
}

void ScriptedMovie::broadcast(Object* target, const char* method, Args args)
{
    if (!target)
        return;
    Scope* globalScope = rt_->make<Scope>(nullptr, rt_->global);
    ClipObject* rootObj = rt_->clipObject(root_.get());
    Activation a(*rt_, rt_->version(), globalScope, rootObj, rootObj);
    try {
        Broadcast(a, target, QString::fromLatin1(method), args);
    } catch (ScriptThrow&) {
    } catch (ScriptAbort&) {
    }
}

void ScriptedMovie::mouseMove(double x, double y)
{
    rt_->mouseX = x;
    rt_->mouseY = y;
    std::vector<DisplayPtr> order;
    collectExecutionOrder(root_, order);
    for (const DisplayPtr& c : order)
        queueClipEvent(c, swf::kEvMouseMove, isSprite(c.get()) ? "onMouseMove" : nullptr);
    broadcast(rt_->mouseObject, "onMouseMove");
    DisplayObject* hit = hitTest(x, y);
    auto old = hover_.lock();
    if (hit != old.get()) {
        if (old && onStage(old.get(), root_.get()) && !IsTextField(*rt_, old.get())) {
            if (rt_->mouseDown && pressed_.lock() == old) {
                old->buttonState = 1;
                buttonTransition(old.get(), swf::kCondOverDownToOutDown, "onDragOut");
            } else {
                old->buttonState = 0;
                buttonTransition(old.get(), swf::kCondOverUpToIdle, "onRollOut");
            }
        }
        if (hit) {
            if (rt_->mouseDown && pressed_.lock().get() == hit) {
                hit->buttonState = 2;
                buttonTransition(hit, swf::kCondOutDownToOverDown, "onDragOver");
            } else if (!rt_->mouseDown) {
                hit->buttonState = 1;
                buttonTransition(hit, swf::kCondIdleToOverUp, "onRollOver");
            }
        }
        hover_ = hit ? ptrOf(hit) : DisplayPtr();
    }
    if (auto d = rt_->dragged.lock(); d && d->parent) {
        bool ok = false;
        const QTransform inv = StageTransform(d->parent).inverted(&ok);
        const QPointF p = inv.map(QPointF(x * 20, y * 20));
        d->matrix.tx = std::round(p.x() + (rt_->dragLockCenter ? 0 : rt_->dragOffsetX * 20));
        d->matrix.ty = std::round(p.y() + (rt_->dragLockCenter ? 0 : rt_->dragOffsetY * 20));
    }
    runQueue();
}

void ScriptedMovie::mouseButton(bool down)
{
    userEvent_ = true;
    rt_->mouseDown = down;
    std::vector<DisplayPtr> order;
    collectExecutionOrder(root_, order);
    for (const DisplayPtr& c : order)
        queueClipEvent(c, down ? swf::kEvMouseDown : swf::kEvMouseUp,
                       isSprite(c.get()) ? (down ? "onMouseDown" : "onMouseUp") : nullptr);
    broadcast(rt_->mouseObject, down ? "onMouseDown" : "onMouseUp");
    DisplayObject* hit = hitTest(rt_->mouseX, rt_->mouseY);
    if (down) {
        // A click gives the keyboard to the text field under the pointer,
        // and takes it from anything else.
        runQueue();
        changeFocus(inputFieldAt(rt_->mouseX, rt_->mouseY), FocusCause::Mouse);
        if (hit && !onStage(hit, root_.get()))
            hit = nullptr;
        if (hit) {
            hit->buttonState = 2;
            pressed_ = ptrOf(hit);
            buttonTransition(hit, swf::kCondOverUpToOverDown, "onPress");
        }
    } else {
        auto p = pressed_.lock();
        if (p && p.get() == hit) {
            hit->buttonState = 1;
            buttonTransition(hit, swf::kCondOverDownToOverUp, "onRelease");
        } else if (p) {
            p->buttonState = 0;
            buttonTransition(p.get(), swf::kCondOutDownToIdle, "onReleaseOutside");
        }
        pressed_.reset();
    }
    runQueue();
    userEvent_ = false;
}

void ScriptedMovie::key(bool down, int keyCode, int ascii)
{
    userEvent_ = true;
    if (keyCode >= 0 && keyCode < 256)
        rt_->keysDown[keyCode] = down;
    rt_->lastKeyCode = keyCode;
    if (down)
        rt_->lastAscii = ascii;
    std::vector<DisplayPtr> order;
    collectExecutionOrder(root_, order);
    for (const DisplayPtr& c : order)
        queueClipEvent(c, down ? swf::kEvKeyDown : swf::kEvKeyUp, nullptr);
    if (down) {
        // Key conditions of buttons and keyPress clip events.
        int swfKey = ascii;
        switch (keyCode) {
        case 37: swfKey = 1; break;
        case 39: swfKey = 2; break;
        case 36: swfKey = 3; break;
        case 35: swfKey = 4; break;
        case 45: swfKey = 5; break;
        case 46: swfKey = 6; break;
        case 8: swfKey = 8; break;
        case 13: swfKey = 13; break;
        case 38: swfKey = 14; break;
        case 40: swfKey = 15; break;
        case 33: swfKey = 16; break;
        case 34: swfKey = 17; break;
        case 9: swfKey = 18; break;
        case 27: swfKey = 19; break;
        default: break;
        }
        for (const DisplayPtr& c : order) {
            queueClipEvent(c, swf::kEvKeyPress, nullptr, swfKey);
            if (const auto* bc = movie_->get<swf::ButtonCharacter>(c->characterId))
                for (const auto& act : bc->actions)
                    if (act.keyCode() == swfKey && swfKey != 0)
                        queue_.push_back(Queued{ptrOf(c->parent), act.code, QString(), {}, -1});
        }
    }
    if (down && (keyCode == 8 || keyCode == 13) && focusedText())
        TextFieldKey(*rt_, rt_->focus, keyCode);
    // The focused button or clip hears its keys until a click takes the
    // keyboard away from it.
    DisplayObject* focused = rt_->focus && rt_->focusByKeyboard && onStage(rt_->focus, root_.get()) &&
                                     !IsTextField(*rt_, rt_->focus) && rt_->version() >= 6
                                 ? rt_->focus
                                 : nullptr;
    if (focused) {
        ClipObject* obj = rt_->clipObject(focused);
        runOnClip(obj, [&](Activation& a) { rt_->callMethod(a, obj, QString::fromLatin1(down ? "onKeyDown" : "onKeyUp"), {}); });
    }
    broadcast(rt_->keyObject, down ? "onKeyDown" : "onKeyUp");
    if (down && keyCode == 9) {
        // Tab and Shift+Tab move the focus along the tab order.
        runQueue();
        cycleFocus(rt_->keysDown[16]);
    } else if (down && (keyCode == 13 || keyCode == 32) && focused && !focusRect().isEmpty()) {
        // Enter and Space on a highlighted button or clip click it.
        focused->buttonState = 2;
        buttonTransition(focused, swf::kCondOverUpToOverDown, "onPress");
        focused->buttonState = 1;
        buttonTransition(focused, swf::kCondOverDownToOverUp, "onRelease");
    }
    runQueue();
    userEvent_ = false;
}

DisplayObject* ScriptedMovie::inputFieldAt(double x, double y) const
{
    std::function<DisplayObject*(const DisplayPtr&)> visit = [&](const DisplayPtr& o) -> DisplayObject* {
        if (!o->visible)
            return nullptr;
        for (auto it = o->children.rbegin(); it != o->children.rend(); ++it)
            if (DisplayObject* h = visit(*it))
                return h;
        // Fields the user types into or selects text in.
        if (o.get() == root_.get() || !IsTextField(*rt_, o.get()) ||
            !(IsEditableText(*rt_, o.get()) || !o->textState || o->textState->selectable))
            return nullptr;
        const QRectF r = StageTransform(o.get()).mapRect(LocalBounds(*movie_, *o));
        return r.contains(QPointF(x * 20, y * 20)) ? o.get() : nullptr;
    };
    return visit(root_);
}

swf::TextFieldState* ScriptedMovie::focusedText()
{
    DisplayObject* f = rt_->focus;
    if (!f || !onStage(f, root_.get()) || !IsEditableText(*rt_, f))
        return nullptr;
    swf::TextFieldState* s = &TextFieldStateOf(*rt_, f);
    if (s->caret < 0 || s->caret > int(s->text.size())) {
        s->caret = int(s->text.size());
        s->selectionAnchor = s->caret;
    }
    return s;
}


void ScriptedMovie::text(const QString& typed)
{
    if (focusedText())
        TextFieldType(*rt_, rt_->focus, typed);
}

Qt::CursorShape ScriptedMovie::cursor() const
{
    auto h = hover_.lock();
    if (!h)
        return Qt::ArrowCursor;
    if (h->script) {
        auto* obj = static_cast<Object*>(h->script);
        Activation a(*rt_, rt_->version(), nullptr, obj, obj);
        const Value v = obj->get(a, QStringLiteral("useHandCursor"));
        if (v.isBool() && !v.asBool())
            return Qt::ArrowCursor;
    }
    return Qt::PointingHandCursor;
}

swf::MovieRuntimeFactory ScriptedMovies(ScriptOptions options)
{
    return [options](std::shared_ptr<const swf::Movie> movie, swf::AudioEvents* audio) -> std::unique_ptr<swf::MovieRuntime> {
        return std::make_unique<ScriptedMovie>(std::move(movie), options, audio);
    };
}

} // namespace plovex::avm1
