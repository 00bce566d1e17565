#include "avm1/runtime.h"

#include "avm1/clip.h"

#include <QDateTime>
#include <QDir>
#include <QUrl>
#include <cmath>
#include <limits>

namespace plovex::avm1 {

Runtime::Runtime(std::shared_ptr<const swf::Movie> movie, swf::DisplayObject* root)
    : movie_(std::move(movie)), root_(root), version_(movie_->info.version)
{
    startMs = QDateTime::currentMSecsSinceEpoch();
    defineBuiltins();
}

Runtime::~Runtime()
{
    // Display objects may outlive the heap; they must not point into it.
    std::function<void(swf::DisplayObject*)> clear = [&](swf::DisplayObject* d) {
        d->script = nullptr;
        for (auto& c : d->children)
            clear(c.get());
    };
    if (root_)
        clear(root_);
    heap_.clear();
}

Object* Runtime::newObject()
{
    return make<Object>(objectProto);
}

ArrayObject* Runtime::newArray()
{
    return make<ArrayObject>(arrayProto);
}

ArrayObject* Runtime::newArray(const std::vector<Value>& items)
{
    ArrayObject* a = make<ArrayObject>(arrayProto);
    a->assign(items);
    return a;
}

FunctionObject* Runtime::newNative(NativeFunction fn, int)
{
    return make<FunctionObject>(functionProto, std::move(fn));
}

FunctionObject* Runtime::newClass(const QString& name, NativeFunction callFn, NativeFunction constructFn, Object* proto,
                                  Object* target)
{
    FunctionObject* f = make<FunctionObject>(functionProto, std::move(callFn));
    f->constructor = std::move(constructFn);
    if (proto) {
        f->define(QStringLiteral("prototype"), Value(proto), kDontEnum | kDontDelete);
        proto->define(QStringLiteral("constructor"), Value(f), kDontEnum);
    }
    if (target)
        target->define(name, Value(f), kDontEnum);
    return f;
}

// --- Conversions ---------------------------------------------------------------

QString Runtime::toString(Activation& a, const Value& v)
{
    switch (v.type()) {
    case Type::Undefined: return a.version >= 7 ? QStringLiteral("undefined") : QString();
    case Type::Null: return QStringLiteral("null");
    case Type::Boolean: return v.asBool() ? QStringLiteral("true") : QStringLiteral("false");
    case Type::Number: return NumberToString(v.asNumber());
    case Type::String: return v.asString();
    case Type::Object: {
        Object* o = v.asObject();
        if (o->isClip()) {
            if (swf::DisplayObject* d = displayOf(o))
                return targetPath(d);
            return QString();
        }
        const Value p = toPrimitive(a, v, true);
        if (p.isObject())
            return o->isFunction() ? QStringLiteral("[type Function]") : QStringLiteral("[type Object]");
        return toString(a, p);
    }
    }
    return QString();
}

double Runtime::toNumber(Activation& a, const Value& v)
{
    switch (v.type()) {
    case Type::Undefined: return a.version >= 7 ? std::nan("") : 0.0;
    case Type::Null: return a.version >= 7 ? std::nan("") : 0.0;
    case Type::Boolean: return v.asBool() ? 1 : 0;
    case Type::Number: return v.asNumber();
    case Type::String: return StringToNumber(v.asString(), a.version);
    case Type::Object: {
        const Value p = toPrimitive(a, v);
        if (p.isObject())
            return std::nan("");
        return toNumber(a, p);
    }
    }
    return 0;
}

bool Runtime::toBool(const Value& v, int version) const
{
    switch (v.type()) {
    case Type::Undefined:
    case Type::Null: return false;
    case Type::Boolean: return v.asBool();
    case Type::Number: return !std::isnan(v.asNumber()) && v.asNumber() != 0;
    case Type::String: {
        if (version >= 7)
            return !v.asString().isEmpty();
        const double n = StringToNumber(v.asString(), version);
        return !std::isnan(n) && n != 0;
    }
    case Type::Object: return true;
    }
    return false;
}

Value Runtime::toPrimitive(Activation& a, const Value& v, bool preferString)
{
    Object* o = v.asObject();
    if (!o)
        return v;
    if (o->isClip() && !preferString)
        return Value(toString(a, v));
    const char* first = preferString ? "toString" : "valueOf";
    const char* second = preferString ? "valueOf" : "toString";
    Value r;
    if (callMethod(a, o, QString::fromLatin1(first), {}, &r) && !r.isObject())
        return r;
    if (callMethod(a, o, QString::fromLatin1(second), {}, &r) && !r.isObject())
        return r;
    return v;
}

Object* Runtime::toObject(Activation& a, const Value& v)
{
    switch (v.type()) {
    case Type::Object: return v.asObject();
    case Type::String: {
        Object* o = make<Object>(stringProto);
        o->primitive = v;
        o->hasPrimitive = true;
        o->define(QStringLiteral("length"), Value(double(v.asString().size())), kDontEnum | kDontDelete);
        return o;
    }
    case Type::Number: {
        Object* o = make<Object>(numberProto);
        o->primitive = v;
        o->hasPrimitive = true;
        return o;
    }
    case Type::Boolean: {
        Object* o = make<Object>(booleanProto);
        o->primitive = v;
        o->hasPrimitive = true;
        return o;
    }
    default: (void)a; return nullptr;
    }
}

QString Runtime::typeOf(const Value& v)
{
    switch (v.type()) {
    case Type::Undefined: return QStringLiteral("undefined");
    case Type::Null: return QStringLiteral("null");
    case Type::Boolean: return QStringLiteral("boolean");
    case Type::Number: return QStringLiteral("number");
    case Type::String: return QStringLiteral("string");
    case Type::Object: return v.asObject()->typeName();
    }
    return QString();
}

Value Runtime::getMember(Activation& a, const Value& base, const QString& name)
{
    if (base.isString() && name == QLatin1String("length"))
        return Value(double(base.asString().size()));
    if (base.isNullish())
        return Value();
    if (Object* o = base.asObject())
        return o->get(a, name);
    // Primitives look their members up on their prototypes, with the
    // primitive itself as `this`.
    Object* proto = base.isString() ? stringProto : base.isNumber() ? numberProto : booleanProto;
    if (!proto)
        return Value();
    if (name == QLatin1String("__proto__"))
        return Value(proto);
    Object* boxed = toObject(a, base);
    return boxed ? boxed->get(a, name) : Value();
}

void Runtime::setMember(Activation& a, const Value& base, const QString& name, const Value& v)
{
    if (Object* o = base.asObject())
        o->set(a, name, v);
}

// --- Display objects ------------------------------------------------------------

ClipObject* Runtime::clipObject(swf::DisplayObject* o)
{
    if (!o)
        return nullptr;
    if (o->script)
        return static_cast<ClipObject*>(o->script);
    Object* proto = movieClipProto;
    if (const swf::Character* c = movie_->character(o->characterId)) {
        if (c->kind() == swf::CharacterKind::Button)
            proto = buttonProto;
        else if (c->kind() == swf::CharacterKind::EditText)
            proto = textFieldProto;
        else if (c->kind() != swf::CharacterKind::Sprite)
            proto = objectProto;
    }
    else if (o->textState) {
        proto = textFieldProto;   // a text field made by a script
    }
    auto* clip = make<ClipObject>(*this, o, proto);
    o->script = clip;
    return clip;
}

Value Runtime::clipValue(swf::DisplayObject* o)
{
    return o ? Value(static_cast<Object*>(clipObject(o))) : Value();
}

swf::DisplayObject* Runtime::displayOf(Object* o) const
{
    if (!o || !o->isClip())
        return nullptr;
    auto* c = static_cast<ClipObject*>(o);
    if (swf::DisplayObject* d = c->display())
        return d;
    // The clip left the stage: an object now at its path stands in for it.
    if (!c->path.isEmpty()) {
        Activation a(const_cast<Runtime&>(*this), version_, nullptr, nullptr, nullptr);
        swf::DisplayObject* d = const_cast<Runtime*>(this)->resolveTarget(a, c->path, root_);
        if (d)
            return d;
    }
    return nullptr;
}

swf::DisplayObject* Runtime::childNamed(swf::DisplayObject* d, const QString& name, bool cs) const
{
    if (!d)
        return nullptr;
    for (const swf::DisplayPtr& c : d->children)
        if (cs ? c->name == name : SameNameFolded(c->name, name)) {
            const swf::Character* ch = movie_->character(c->characterId);
            if (ch && (ch->kind() == swf::CharacterKind::Shape || ch->kind() == swf::CharacterKind::MorphShape ||
                       ch->kind() == swf::CharacterKind::Text || ch->kind() == swf::CharacterKind::Bitmap))
                return d;
            return c.get();
        }
    return nullptr;
}

swf::DisplayObject* Runtime::resolveTarget(Activation& a, const QString& pathIn, swf::DisplayObject* from)
{
    QString path = pathIn;
    if (path.isEmpty())
        return from;
    swf::DisplayObject* d = from ? from : root_;
    const bool cs = a.version >= 7;
    int i = 0;
    if (path.startsWith(QLatin1Char('/'))) {
        d = root_;
        i = 1;
    }
    // Split on '/', '.' and ':' ("a/b", "a.b", "../x").
    QStringList parts;
    QString cur;
    for (; i < path.size(); ++i) {
        const QChar ch = path[i];
        if (ch == QLatin1Char('/') || ch == QLatin1Char(':')) {
            parts << cur;
            cur.clear();
        } else if (ch == QLatin1Char('.')) {
            if (i + 1 < path.size() && path[i + 1] == QLatin1Char('.') && cur.isEmpty()) {
                cur = QStringLiteral("..");
                ++i;
            } else {
                parts << cur;
                cur.clear();
            }
        } else {
            cur += ch;
        }
    }
    parts << cur;
    for (const QString& p : parts) {
        if (p.isEmpty())
            continue;
        if (!d)
            return nullptr;
        if (p == QLatin1String("..") || p.compare(QLatin1String("_parent"), Qt::CaseInsensitive) == 0) {
            d = d->parent;
            continue;
        }
        if (p.compare(QLatin1String("_root"), Qt::CaseInsensitive) == 0 ||
            p.compare(QLatin1String("_level0"), Qt::CaseInsensitive) == 0) {
            d = root_;
            continue;
        }
        if (p.compare(QLatin1String("this"), Qt::CaseInsensitive) == 0)
            continue;
        swf::DisplayObject* next = childNamed(d, p, cs);
        if (!next) {
            // A variable holding a clip also names one.
            if (auto* clip = clipObject(d)) {
                const Property* prop = clip->props().find(p, cs);
                if (prop && prop->value.isObject() && prop->value.asObject()->isClip())
                    next = static_cast<ClipObject*>(prop->value.asObject())->display();
            }
        }
        d = next;
    }
    return d;
}

QString Runtime::targetPath(swf::DisplayObject* o) const
{
    QStringList names;
    for (swf::DisplayObject* d = o; d && d != root_; d = d->parent)
        names.prepend(d->name);
    return names.isEmpty() ? QStringLiteral("_level0") : QStringLiteral("_level0.") + names.join(QLatin1Char('.'));
}

QString Runtime::slashPath(swf::DisplayObject* o) const
{
    QStringList names;
    for (swf::DisplayObject* d = o; d && d != root_; d = d->parent)
        names.prepend(d->name);
    return QLatin1Char('/') + names.join(QLatin1Char('/'));
}

// --- Running code -----------------------------------------------------------------

void Runtime::runActions(const std::shared_ptr<const QByteArray>& code, swf::DisplayObject* clip, int version)
{
    if (!code || aborted || !clip)
        return;
    ClipObject* target = clipObject(clip);
    Scope* globalScope = make<Scope>(nullptr, global);
    Scope* scope = make<Scope>(globalScope, target);
    Activation a(*this, version < 0 ? version_ : version, scope, target, target);
    const bool outer = callDepth == 0;
    if (outer)
        deadlineMs = QDateTime::currentMSecsSinceEpoch() + timeLimitMs;
    try {
        Execute(a, code, 0, int(code->size()));
    } catch (ScriptThrow& t) {
        if (traceOutput)
            traceOutput(QStringLiteral("Warning: Uncaught exception, ") + toString(a, t.value));
    } catch (ScriptAbort& e) {
        if (!outer)
            throw;
        if (warningOutput && !e.reason.isEmpty())
            warningOutput(e.reason);
    }
    if (outer)
        deadlineMs = 0;
}

double Runtime::nowMs() const
{
    if (timeSource == TimeSource::Virtual)
        return virtualMs;
    return double(QDateTime::currentMSecsSinceEpoch() - startMs);
}

void Runtime::runTimers(TimerKind kind)
{
    const double now = nowMs();
    std::vector<int> due;
    for (auto& [id, t] : timers)
        if (t.next <= now && (kind == TimerKind::All || id < -1))
            due.push_back(id);
    for (int id : due) {
        auto it = timers.find(id);
        if (it == timers.end())
            continue;
        Timer t = it->second;
        if (t.repeat)
            it->second.next = now + std::max(t.interval, 1.0);
        else
            timers.erase(it);
        Scope* globalScope = make<Scope>(nullptr, global);
        Activation a(*this, version_, globalScope, nullptr, clipObject(root_));
        try {
            std::vector<Value> args = t.args;
            if (!t.method.isEmpty())
                callMethod(a, t.callback, t.method, args);
            else
                call(a, Value(t.callback), t.thisValue, args);
        } catch (ScriptThrow& e) {
            if (traceOutput)
                traceOutput(QStringLiteral("Warning: Uncaught exception, ") + toString(a, e.value));
        } catch (ScriptAbort&) {
        }
    }
}

// --- Garbage collection -------------------------------------------------------------

void Runtime::markTree(Gc& gc, swf::DisplayObject* o)
{
    if (o->script)
        gc.mark(static_cast<Object*>(o->script));
    for (auto& c : o->children)
        markTree(gc, c.get());
}

void Runtime::markRoots(Gc& gc)
{
    gc.mark(global);
    gc.mark(objectProto);
    gc.mark(functionProto);
    gc.mark(arrayProto);
    gc.mark(stringProto);
    gc.mark(numberProto);
    gc.mark(booleanProto);
    gc.mark(movieClipProto);
    gc.mark(buttonProto);
    gc.mark(textFieldProto);
    gc.mark(errorProto);
    gc.mark(dateProto);
    gc.mark(colorProto);
    gc.mark(soundProto);
    gc.mark(keyObject);
    gc.mark(mouseObject);
    gc.mark(stageObject);
    gc.mark(selectionObject);
    for (Object* c : registeredClasses)
        gc.mark(c);
    for (auto& [id, t] : timers) {
        gc.mark(t.callback);
        gc.mark(t.thisValue);
        for (const Value& v : t.args)
            gc.mark(v);
    }
    for (Object* o : extraRoots)
        gc.mark(o);
    for (const auto& [handle, o] : playingSounds)
        gc.mark(o);
    if (root_)
        markTree(gc, root_);
}

void Runtime::collectGarbage()
{
    if (callDepth > 0 || allocatedSinceGc_ < std::max<size_t>(20000, liveAfterGc_))
        return;
    Gc gc;
    for (auto& o : heap_)
        o->marked = false;
    markRoots(gc);
    gc.drain();
    size_t kept = 0;
    for (size_t i = 0; i < heap_.size(); ++i)
        if (heap_[i]->marked)
            heap_[kept++] = std::move(heap_[i]);
    heap_.resize(kept);
    liveAfterGc_ = kept;
    allocatedSinceGc_ = 0;
}

// --- Sound and loads -----------------------------------------------------------------

swf::TimelineId Runtime::timelineIdOf(const swf::DisplayObject* clip) const
{
    if (!clip || clip == root_)
        return swf::TimelineId{};
    return swf::TimelineId{clip->characterId, clip->serial};
}

void Runtime::syncSoundTransform(swf::DisplayObject* clip, bool subtree)
{
    if (!audio || !clip || clipSoundTransforms.empty())
        return;
    swf::SoundTransform t;
    for (const swf::DisplayObject* d = clip; d; d = d->parent)
        if (const auto it = clipSoundTransforms.find(timelineIdOf(d)); it != clipSoundTransforms.end())
            t = t.within(it->second);
    // Only a change is told (the sound engine may take a lock for it).
    const swf::TimelineId id = timelineIdOf(clip);
    const auto sent = soundTransformsSent_.find(id);
    if (sent == soundTransformsSent_.end() ? t != swf::SoundTransform() : sent->second != t) {
        audio->setSoundTransform(id, t);
        soundTransformsSent_[id] = t;
    }
    if (!subtree)
        return;
    for (const swf::DisplayPtr& c : clip->children)
        if (c->characterId == 0 || movie_->get<swf::SpriteCharacter>(c->characterId))
            syncSoundTransform(c.get(), true);
}

int Runtime::exportedCharacter(const QString& name) const
{
    const auto& ex = movie_->exports;
    if (const auto it = ex.find(name); it != ex.end())
        return it->second;
    for (const auto& [n, id] : ex)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return id;
    return 0;
}

QString Runtime::localFileOf(const QString& url) const
{
    const QUrl u(url);
    if (u.isLocalFile())
        return u.toLocalFile();
    // A relative path, or a Windows path with its drive letter.
    if (!movieFolder.isEmpty() &&
        (u.scheme().isEmpty() || (u.scheme().size() == 1 && url.size() > 2 && url[2] == QLatin1Char('\\'))))
        return QDir(movieFolder).filePath(url.section(QLatin1Char('?'), 0, 0));
    return QString();
}

void Runtime::deliverLater(Object* target, NativeFunction arrival)
{
    // Loads use negative timer ids, rising so they arrive in the order
    // asked, and leave the ids scripts see as they were.
    int id = std::numeric_limits<int>::min() + 1;
    auto it = timers.lower_bound(0);
    if (it != timers.begin() && std::prev(it)->first < -1)
        id = std::prev(it)->first + 1;
    if (timers.count(id))
        return;
    Timer t;
    t.id = id;
    t.callback = newNative(std::move(arrival));
    t.thisValue = Value(target);
    t.repeat = false;
    t.next = nowMs();
    timers[id] = t;
}

} // namespace plovex::avm1
