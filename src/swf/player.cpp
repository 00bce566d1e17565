#include "swf/player.h"

#include "swf/display.h"
#include "swf/render.h"
#include "swf/sound_events.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_set>
#include <utility>

namespace plovex::swf {

// --- Display lists -------------------------------------------------------------

DisplayList::Chunk& DisplayList::writable(size_t chunk)
{
    ChunkPtr& c = chunks_[chunk];
    if (c.use_count() > 1)
        c = std::make_shared<Chunk>(*c);
    return *c;
}

DisplayList::iterator DisplayList::insert(const_iterator pos, DisplayPtr p)
{
    size_t c = pos.chunk_, i = pos.index_;
    if (chunks_.empty()) {
        chunks_.push_back(std::make_shared<Chunk>());
        c = i = 0;
    } else if (c == chunks_.size()) {
        // After the last object: at the end of the last chunk.
        c = chunks_.size() - 1;
        i = chunks_[c]->size();
    }
    Chunk& chunk = writable(c);
    chunk.insert(chunk.begin() + std::ptrdiff_t(i), std::move(p));
    ++size_;
    if (chunk.size() > kChunkMax) {
        // Split in two halves, so that either side has room again.
        const size_t half = chunk.size() / 2;
        auto upper = std::make_shared<Chunk>();
        upper->assign(std::make_move_iterator(chunk.begin() + std::ptrdiff_t(half)),
                      std::make_move_iterator(chunk.end()));
        chunk.erase(chunk.begin() + std::ptrdiff_t(half), chunk.end());
        chunks_.insert(chunks_.begin() + std::ptrdiff_t(c) + 1, std::move(upper));
        if (i >= half) {
            ++c;
            i -= half;
        }
    }
    return iterator(this, c, i);
}

DisplayList::iterator DisplayList::erase(const_iterator pos)
{
    size_t c = pos.chunk_, i = pos.index_;
    Chunk& chunk = writable(c);
    chunk.erase(chunk.begin() + std::ptrdiff_t(i));
    --size_;
    if (chunk.empty()) {
        chunks_.erase(chunks_.begin() + std::ptrdiff_t(c));
        return iterator(this, c, 0);
    }
    // A chunk that has shrunk to a quarter takes in the one after it when
    // both fit in one, so removals do not leave a trail of tiny chunks.
    if (chunk.size() < kChunkMax / 4 && c + 1 < chunks_.size() &&
        chunk.size() + chunks_[c + 1]->size() <= kChunkMax / 2) {
        const Chunk& next = *chunks_[c + 1];
        if (chunks_[c + 1].use_count() > 1)
            chunk.insert(chunk.end(), next.begin(), next.end());
        else
            chunk.insert(chunk.end(), std::make_move_iterator(chunks_[c + 1]->begin()),
                         std::make_move_iterator(chunks_[c + 1]->end()));
        chunks_.erase(chunks_.begin() + std::ptrdiff_t(c) + 1);
    }
    if (i == chunks_[c]->size())
        return iterator(this, c + 1, 0);
    return iterator(this, c, i);
}

size_t DisplayList::chunkAtDepth(int depth) const
{
    // Most placements go on top of everything before them.
    if (chunks_.empty() || chunks_.back()->back()->depth < depth)
        return chunks_.size();
    const auto it = std::partition_point(chunks_.begin(), chunks_.end(),
                                         [depth](const ChunkPtr& c) { return c->back()->depth < depth; });
    return size_t(it - chunks_.begin());
}

DisplayList::const_iterator DisplayList::lowerBound(int depth) const
{
    const size_t c = chunkAtDepth(depth);
    if (c == chunks_.size())
        return end();
    const Chunk& chunk = *chunks_[c];
    const auto it = std::lower_bound(chunk.begin(), chunk.end(), depth,
                                     [](const DisplayPtr& o, int d) { return o->depth < d; });
    return const_iterator(this, c, size_t(it - chunk.begin()));
}

DisplayList::iterator DisplayList::lowerBound(int depth)
{
    const const_iterator it = std::as_const(*this).lowerBound(depth);
    return iterator(this, it.chunk_, it.index_);
}

size_t DisplayList::chunksSharedWith(const DisplayList& older) const
{
    std::unordered_set<const Chunk*> theirs;
    theirs.reserve(older.chunks_.size());
    for (const ChunkPtr& c : older.chunks_)
        theirs.insert(c.get());
    size_t shared = 0;
    for (const ChunkPtr& c : chunks_)
        shared += theirs.count(c.get());
    return shared;
}

// --- Timelines ----------------------------------------------------------------

DisplayList CloneList(const DisplayList& list)
{
    DisplayList out;
    for (const DisplayPtr& o : list) {
        auto c = std::make_shared<DisplayObject>(*o);
        c->parent = nullptr;
        c->script = nullptr;
        c->maskedBy = nullptr;
        if (c->textState)
            c->textState = std::make_shared<TextFieldState>(*c->textState);
        c->children = CloneList(o->children);
        for (const DisplayPtr& ch : c->children)
            ch->parent = c.get();
        out.push_back(std::move(c));
    }
    return out;
}

namespace {

// Keeps a running-children index (ascending depths) in step with the list.
void NoteRunning(std::vector<int>* running, int depth, bool runs)
{
    if (!running)
        return;
    auto it = std::lower_bound(running->begin(), running->end(), depth);
    const bool there = it != running->end() && *it == depth;
    if (runs && !there)
        running->insert(it, depth);
    else if (!runs && there)
        running->erase(it);
}

} // namespace

DisplayObject& TimelineRunner::own(DisplayPtr& p)
{
    if (p.use_count() > 1) {
        p = std::make_shared<DisplayObject>(*p);
        work_ += 1 + p->children.chunkCount() / kSlotsPerWorkUnit;
    }
    return *p;
}

void TimelineRunner::instantiate(DisplayObject& o)
{
    o.children.clear();
    o.runningChildren.clear();
    o.frame = -1;
    o.clipActions = nullptr;
    const auto* sprite = movie_.get<SpriteCharacter>(o.characterId);
    if (!sprite || depthGuard_ > kMaxSpriteNesting || budget_ <= 0)
        return;
    --budget_;
    ++depthGuard_;
    const TimelineId parent = timeline_;   // sound
    timeline_ = {o.characterId, ChildInstanceKey(parent.instance, o.depth, o.characterId)};
    runFrame(sprite->timeline, 0, o.children, nullptr, &o.runningChildren);
    timeline_ = parent;
    o.frame = 0;
    --depthGuard_;
}

void TimelineRunner::place(const PlaceObject& p, int frameIndex, DisplayList& list, std::vector<int>* placed,
                           std::vector<int>* running)
{
    auto it = FindDepth(list, p.depth);
    const bool occupied = it != list.end() && (*it)->depth == p.depth;
    DisplayObject* o = nullptr;
    bool fresh = false;
    if (!p.move || !occupied) {
        if (!p.characterId || !movie_.character(*p.characterId))
            return;
        if (!occupied && budget_-- <= 0)
            return;
        auto n = std::make_shared<DisplayObject>();
        n->depth = p.depth;
        n->characterId = *p.characterId;
        if (occupied)
            *it = std::move(n);
        else
            it = list.insert(it, std::move(n));
        o = it->get();
        fresh = true;
    } else {
        o = &own(*it);
        if (p.characterId && *p.characterId != o->characterId && movie_.character(*p.characterId)) {
            o->characterId = *p.characterId;
            fresh = true;
        }
    }
    ++work_;
    if (p.matrix)
        o->matrix = *p.matrix;
    if (p.colorTransform)
        o->colorTransform = *p.colorTransform;
    if (p.ratio)
        o->ratio = *p.ratio;
    if (p.name)
        o->name = *p.name;
    if (p.clipDepth)
        o->clipDepth = *p.clipDepth;
    if (p.filters)
        o->filters = std::make_shared<const std::vector<Filter>>(*p.filters);
    if (p.blendMode)
        o->blendMode = *p.blendMode;
    if (p.cacheAsBitmap)
        o->cacheAsBitmap = *p.cacheAsBitmap;
    if (p.visible)
        o->visible = *p.visible;
    if (fresh) {
        o->placeFrame = frameIndex;
        instantiate(*o);
        NoteRunning(running, o->depth, o->frame >= 0);
        if (placed)
            placed->push_back(o->depth);
    }
}

void TimelineRunner::runFrame(const Timeline& timeline, int index, DisplayList& list, std::vector<int>* placed,
                              std::vector<int>* running)
{
    if (index < 0 || size_t(index) >= timeline.frames.size())
        return;
    ++work_;
    if (sounds_)   // sound
        PlayFrameSounds(timeline, timeline_, index, *sounds_);
    for (const ControlTag& tag : timeline.frames[size_t(index)].tags) {
        if (const auto* p = std::get_if<PlaceObject>(&tag)) {
            place(*p, index, list, placed, running);
        } else if (const auto* r = std::get_if<RemoveObject>(&tag)) {
            ++work_;
            auto it = FindDepth(list, r->depth);
            if (it != list.end() && (*it)->depth == r->depth) {
                list.erase(it);
                NoteRunning(running, r->depth, false);
            }
        }
    }
}

void TimelineRunner::tick(const Timeline& timeline, int& frame, DisplayList& list, std::vector<int>& running)
{
    // Sprites already on the list play on by one frame, in depth order.
    if (++depthGuard_ <= kMaxSpriteNesting) {
        for (size_t i = 0; i < running.size(); ++i) {
            auto it = FindDepth(list, running[i]);
            if (it == list.end() || (*it)->depth != running[i] || (*it)->frame < 0)
                continue;
            const auto* s = movie_.get<SpriteCharacter>((*it)->characterId);
            if (!s)
                continue;
            DisplayObject& o = own(*it);
            const TimelineId parent = timeline_;   // sound
            timeline_ = {o.characterId, ChildInstanceKey(parent.instance, o.depth, o.characterId)};
            tick(s->timeline, o.frame, o.children, o.runningChildren);
            timeline_ = parent;
        }
    }
    --depthGuard_;
    const int count = int(timeline.frames.size());
    const int next = frame + 1;
    if (next < count) {
        runFrame(timeline, next, list, nullptr, &running);
        frame = next;
        return;
    }
    if (count <= 1 && frame >= 0)
        return;   // a one-frame timeline just stays
    // Loop: rebuild frame 0. An object that has stood since frame 0 and
    // is placed there again (same depth, same character) keeps its own
    // state; one placed later is a new instance, even of that character.
    DisplayList old = std::move(list);
    list.clear();
    running.clear();
    std::vector<int> placed;
    runFrame(timeline, 0, list, &placed, &running);
    for (const DisplayPtr& o : list) {
        auto it = FindDepth(old, o->depth);
        if (it != old.end() && (*it)->depth == o->depth && (*it)->characterId == o->characterId &&
            (*it)->placeFrame == 0) {
            // `o` is new; the old object may still be held by a saved state.
            const bool shared = it->use_count() > 1;
            o->frame = (*it)->frame;
            o->children = shared ? (*it)->children : std::move((*it)->children);
            o->runningChildren = shared ? (*it)->runningChildren : std::move((*it)->runningChildren);
            NoteRunning(&running, o->depth, o->frame >= 0);
        }
    }
    frame = 0;
}

// --- View ----------------------------------------------------------------------

QTransform ViewTransform(const QRectF& stage, const QSizeF& viewport, const RenderOptions& options)
{
    QTransform t;
    if (stage.width() <= 0 || stage.height() <= 0 || viewport.isEmpty())
        return t;
    double sx = viewport.width() / stage.width();
    double sy = viewport.height() / stage.height();
    // A stage whose size is not whole pixels is shown at 100% in a view of
    // its rounded size, as the Flash Player's own window does, rather than
    // shrunk by a fraction of a pixel and moved off the pixel grid.
    const bool natural = viewport.width() == std::round(stage.width()) && viewport.height() == std::round(stage.height());
    switch (options.scale) {
    case ScaleMode::ShowAll: sx = sy = std::min(sx, sy); break;
    case ScaleMode::NoBorder: sx = sy = std::max(sx, sy); break;
    case ScaleMode::ExactFit: break;
    case ScaleMode::NoScale: sx = sy = 1; break;
    }
    if (natural)
        sx = sy = 1;
    const double dx = natural ? -stage.x() : (viewport.width() - stage.width() * sx) / 2 - stage.x() * sx;
    const double dy = natural ? -stage.y() : (viewport.height() - stage.height() * sy) / 2 - stage.y() * sy;
    t = QTransform(sx, 0, 0, sy, dx, dy);
    if (options.zoom > 0 && options.zoom != 1.0) {
        const QPointF c(viewport.width() / 2, viewport.height() / 2);
        t = t * QTransform::fromTranslate(-c.x(), -c.y()) * QTransform::fromScale(options.zoom, options.zoom) *
            QTransform::fromTranslate(c.x(), c.y());
    }
    return t;
}

// --- Player ----------------------------------------------------------------------

// Seeking. A goto replays the timeline from the nearest saved state (a
// checkpoint) at or before the destination, so its cost does not grow with
// the frame number. Checkpoints are copies of the display list, which
// copy its chunk pointers: chunks and objects that did not change are
// shared with the live list (the list copies a chunk, and the runner an
// object, before changing a shared one). They are taken while
// the timeline plays from the start, each once the replay work since the
// previous one outweighs copying the list, and they are thinned out where
// they lie closest when their memory passes a bound.
namespace {

// Replay work (TimelineRunner::work) between checkpoints, at least.
constexpr quint64 kMinCheckpointWork = 256;
// And at least one unit for this many pointers of the list: a long run
// forward copies little, while a step back replays a few milliseconds
// at most.
constexpr size_t kCheckpointSlotsPerWork = 4;
// Memory all checkpoints of one player may hold.
constexpr size_t kMaxCheckpointBytes = size_t(160) << 20;

struct Checkpoint {
    DisplayList list;
    std::vector<int> running;
    quint64 work = 0;    // replay work from the start to this frame
    size_t bytes = 0;
};

} // namespace

struct Player::State {
    std::shared_ptr<const Movie> movie;
    MovieInfo noMovie;
    int frame = -1;
    DisplayList list;
    std::vector<int> running;   // the root's running children (DisplayObject::runningChildren)
    // True while the state is what running from the start to `frame`
    // gives, so it can be stepped on and checkpointed.
    bool canonical = true;
    quint64 work = 0;       // replay work from the start to `frame`, while canonical
    quint64 baseWork = 0;   // the same at the latest checkpoint passed
    std::map<int, Checkpoint> checkpoints;
    size_t checkpointBytes = 0;
    mutable std::mutex cacheMutex;
    mutable RenderCache cache;
    // The last picture drawn; its memory is drawn into again once the
    // caller has let it go, which spares a large allocation per frame.
    mutable QImage lastPicture;
    // What the last picture shows and how it was drawn: a frame that shows
    // the same is not drawn again.
    mutable DrawnState lastDrawn, nextDrawn;   // next: filled each picture, its memory kept
    mutable bool lastDrawnValid = false;
    mutable RenderOptions lastOptions;
    std::unique_ptr<MovieRuntime> scripts;
    // Sound: frames that are played (not those rebuilt by seeking) are
    // told to this sink.
    AudioEvents* audio = nullptr;
    bool sounding = false;

    int count() const { return movie ? int(movie->root.frames.size()) : 0; }

    void reset()
    {
        frame = -1;
        list.clear();
        running.clear();
        canonical = true;
        work = baseWork = 0;
    }

    void restore(const std::map<int, Checkpoint>::const_iterator& it)
    {
        list = it->second.list;
        running = it->second.running;
        frame = it->first;
        canonical = true;
        work = baseWork = it->second.work;
    }

    static quint64 restoreWork(const Checkpoint& c) { return c.list.chunkCount() / TimelineRunner::kSlotsPerWorkUnit; }

    void step()
    {
        TimelineRunner runner(*movie);
        if (sounding)   // sound
            runner.setAudioEvents(audio);
        runner.tick(movie->root, frame, list, running);
        if (!canonical)
            return;
        work += runner.work();
        if (auto it = checkpoints.find(frame); it != checkpoints.end()) {
            baseWork = it->second.work;
            return;
        }
        if (work - baseWork >= std::max(kMinCheckpointWork, quint64(list.chunkCount() / kCheckpointSlotsPerWork)))
            checkpoint(work - baseWork);
    }

    void checkpoint(quint64 workSince)
    {
        Checkpoint c;
        c.list = list;
        c.running = running;
        c.work = work;
        // Its chunk pointers, the chunks the checkpoint before it does not
        // hold, and (at most) the objects made since then, which this one
        // may be the last to hold.
        size_t ownChunks = c.list.chunkCount();
        if (auto before = checkpoints.lower_bound(frame); before != checkpoints.begin())
            ownChunks -= c.list.chunksSharedWith(std::prev(before)->second.list);
        c.bytes = sizeof(Checkpoint) + 64 + c.list.chunkCount() * sizeof(DisplayPtr) +
                  c.running.size() * sizeof(int) + ownChunks * (64 + DisplayList::kChunkMax * sizeof(DisplayPtr)) +
                  workSince * sizeof(DisplayObject);
        checkpointBytes += c.bytes;
        checkpoints.emplace(frame, std::move(c));
        baseWork = work;
        while (checkpointBytes > kMaxCheckpointBytes && checkpoints.size() > 2)
            thin();
    }

    // Drops the checkpoint whose neighbours lie closest together, so the
    // rest stay spread evenly over the replay work.
    void thin()
    {
        auto best = checkpoints.end();
        quint64 bestGap = ~quint64(0);
        quint64 before = 0;
        for (auto it = checkpoints.begin(); it != checkpoints.end(); ++it) {
            auto next = std::next(it);
            if (next == checkpoints.end())
                break;   // the latest one stays
            const quint64 gap = next->second.work - before;
            if (gap < bestGap) {
                bestGap = gap;
                best = it;
            }
            before = it->second.work;
        }
        if (best == checkpoints.end())
            return;
        checkpointBytes -= best->second.bytes;
        checkpoints.erase(best);
    }

    void goTo(int target)
    {
        if (!movie || count() == 0)
            return;
        target = std::clamp(target, 0, count() - 1);
        auto it = checkpoints.upper_bound(target);
        const bool haveCheckpoint = it != checkpoints.begin();
        if (haveCheckpoint)
            --it;
        if (canonical && frame >= 0 && frame <= target) {
            // Forward: from a later checkpoint when that is cheaper than
            // stepping there.
            if (haveCheckpoint && it->first > frame && it->second.work - work > restoreWork(it->second))
                restore(it);
        } else if (haveCheckpoint) {
            restore(it);
        } else {
            reset();
        }
        while (frame < target)
            step();
    }
};

Player::Player() : state_(std::make_unique<State>()) {}

Player::Player(std::shared_ptr<const Movie> movie) : state_(std::make_unique<State>())
{
    state_->movie = std::move(movie);
    if (state_->movie && state_->count() > 0)
        state_->goTo(0);
}

Player::Player(std::shared_ptr<const Movie> movie, const MovieRuntimeFactory& scripts, AudioEvents* audio)
    : state_(std::make_unique<State>())
{
    state_->movie = std::move(movie);
    state_->audio = audio;
    if (!state_->movie || state_->count() == 0)
        return;
    if (scripts && state_->movie->hasScripts && !state_->movie->avm2)
        state_->scripts = scripts(state_->movie, audio);
    if (!state_->scripts) {
        state_->sounding = audio != nullptr;   // sound: the first frame is played, so heard
        state_->goTo(0);
        state_->sounding = false;
    }
}

MovieRuntime* Player::scripts() const
{
    return state_->scripts.get();
}

const DisplayList& Player::displayList() const
{
    return state_->scripts ? state_->scripts->root().children : state_->list;
}

std::vector<int> Player::checkpointFrames() const
{
    std::vector<int> frames;
    for (const auto& [frame, c] : state_->checkpoints)
        frames.push_back(frame);
    return frames;
}

Player::Player(std::shared_ptr<const Movie> movie, AudioEvents* audio) : state_(std::make_unique<State>())
{
    state_->movie = std::move(movie);
    state_->audio = audio;
    state_->sounding = audio != nullptr;   // sound: the first frame is played, so heard
    if (state_->movie && state_->count() > 0)
        state_->goTo(0);
    state_->sounding = false;
}

void Player::setAudioEvents(AudioEvents* audio)
{
    state_->audio = audio;
}

Player::~Player() = default;
Player::Player(Player&&) noexcept = default;
Player& Player::operator=(Player&&) noexcept = default;

const MovieInfo& Player::info() const
{
    return state_->movie ? state_->movie->info : state_->noMovie;
}

int Player::frameCount() const
{
    return state_->count();
}

int Player::currentFrame() const
{
    if (state_->scripts)
        return state_->scripts->currentFrame();
    return std::max(0, state_->frame);
}

void Player::gotoFrame(int frame)
{
    if (state_->scripts) {
        state_->scripts->gotoFrame(std::clamp(frame, 0, std::max(0, state_->count() - 1)));
        return;
    }
    state_->goTo(frame);
}

void Player::nextFrame()
{
    if (state_->count() == 0)
        return;
    const int cur = currentFrame();
    gotoFrame(cur + 1 < state_->count() ? cur + 1 : 0);
}

void Player::advance(int frames)
{
    State& s = *state_;
    if (!s.movie || s.count() == 0)
        return;
    if (s.scripts) {
        for (int i = 0; i < frames; ++i)
            s.scripts->advance();
        return;
    }
    s.sounding = s.audio != nullptr;   // sound: played frames are heard
    for (int i = 0; i < frames; ++i) {
        if (s.frame + 1 >= s.count())
            s.canonical = false;
        s.step();
    }
    s.sounding = false;
}

QColor Player::backgroundColor() const
{
    return state_->movie && state_->movie->hasBackground ? state_->movie->background : QColor(Qt::white);
}

QImage Player::renderImage(const QSize& size, const RenderOptions& options) const
{
    const State& s = *state_;
    std::lock_guard lock(s.cacheMutex);
    const bool drawsMovie = s.movie && s.movie->info.valid;
    const bool describe = drawsMovie && options.reuse;
    if (describe) {
        if (s.scripts)
            s.nextDrawn.assign(s.scripts->root().children, &s.scripts->root());
        else
            s.nextDrawn.assign(s.list);
        const RenderOptions& l = s.lastOptions;
        if (s.lastDrawnValid && s.lastDrawn == s.nextDrawn && s.lastPicture.size() == size &&
            l.scale == options.scale && l.zoom == options.zoom && l.antialias == options.antialias &&
            l.background == options.background && l.ownFiller == options.ownFiller)
            return s.lastPicture;
    }
    QImage img;
    if (s.lastPicture.size() == size && s.lastPicture.isDetached())
        img = std::move(s.lastPicture);
    else
        img = QImage(size, QImage::Format_ARGB32_Premultiplied);
    s.lastPicture = QImage();
    s.lastDrawnValid = false;
    if (img.isNull())
        return img;
    const QColor bg = options.background.value_or(backgroundColor());
    img.fill(bg);
    if (!drawsMovie)
        return img;
    const QTransform view = ViewTransform(s.movie->info.stageRect, QSizeF(size), options);
    const QTransform twips = QTransform::fromScale(1.0 / 20, 1.0 / 20) * view;
    s.cache.setReuse(options.reuse);
    s.cache.setOwnFiller(options.ownFiller);
    if (s.scripts) {
        // The root clip itself may be moved, scaled or faded by a script.
        const DisplayObject& root = s.scripts->root();
        const QTransform t = root.matrix.toQt() * twips;
        RenderDisplayList(*s.movie, root.children, img, t, options.antialias, s.cache);
    } else {
        RenderDisplayList(*s.movie, s.list, img, twips, options.antialias, s.cache);
    }
    s.lastPicture = img;
    if (describe) {
        std::swap(s.lastDrawn, s.nextDrawn);
        s.lastDrawnValid = true;
    }
    s.lastOptions = options;
    return img;
}

void Player::render(QPainter& painter, const QRect& viewport, const RenderOptions& options) const
{
    const QImage img = renderImage(viewport.size(), options);
    painter.drawImage(viewport.topLeft(), img);
}

} // namespace plovex::swf
