// The action loop: decodes each action from the bytes as it goes and runs
// it against the activation's stack, registers and scope chain.

#include "avm1/clip.h"
#include "avm1/runtime.h"

#include <QDateTime>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <limits>

namespace plovex::avm1 {

namespace {

const bool kDebugActions = qEnvironmentVariableIsSet("PLOVEX_AVM1_DEBUG");

class Bytes {
public:
    // Reads stay inside [pos, end); a jump out of that range ends the list.
    Bytes(const QByteArray& b, int pos, int end)
        : d_(reinterpret_cast<const uint8_t*>(b.constData())), begin_(std::max(pos, 0)), pos_(pos), end_(end) {}
    int pos() const { return pos_; }
    void seek(int p) { pos_ = p; }
    bool atEnd() const { return pos_ < begin_ || pos_ >= end_; }
    uint8_t u8() { return atEnd() ? (pos_++, 0) : d_[pos_++]; }
    uint16_t u16() { const uint16_t lo = u8(); return uint16_t(lo | (u8() << 8)); }
    uint32_t u32() { const uint32_t lo = u16(); return lo | (uint32_t(u16()) << 16); }
    QString str(int limit, int version)
    {
        if (pos_ < begin_) {
            pos_ = limit;
            return {};
        }
        const int start = pos_;
        while (pos_ < limit && pos_ < end_ && d_[pos_] != 0)
            ++pos_;
        const char* s = reinterpret_cast<const char*>(d_ + start);
        QString out = version >= 6 ? QString::fromUtf8(s, pos_ - start) : QString::fromLatin1(s, pos_ - start);
        if (pos_ < limit)
            ++pos_;
        return out;
    }

private:
    const uint8_t* d_;
    int begin_, pos_, end_;
};

struct Stack {
    std::vector<Value> v;
    Value pop()
    {
        if (v.empty())
            return Value();
        Value x = std::move(v.back());
        v.pop_back();
        return x;
    }
    void push(Value x) { v.push_back(std::move(x)); }
    Value& top()
    {
        if (v.empty())
            v.emplace_back();
        return v.back();
    }
};

// The scope chain with its timeline entry (the first plain scope that holds
// a clip) standing for clip instead, so names inside tellTarget are looked
// up on the target.
Scope* withTimeline(Activation& a, Scope* s, Object* clip)
{
    if (!s)
        return nullptr;
    if (!s->isWith && s->parent && s->target && s->target->isClip())
        return s->target == clip ? s : a.rt.make<Scope>(s->parent, clip);
    Scope* parent = withTimeline(a, s->parent, clip);
    return parent == s->parent ? s : a.rt.make<Scope>(parent, s->target, s->isWith);
}

// tellTarget: a path from the code's own timeline; "" goes back to it.
void setTarget(Activation& a, const QString& path)
{
    if (path.isEmpty()) {
        a.target = a.baseClip;
    } else {
        swf::DisplayObject* d = a.rt.resolveTarget(a, path, a.rt.displayOf(a.baseClip));
        // Up to version 6 a target that does not resolve leaves the movie's
        // root as the target; later versions act on nothing.
        if (!d && a.version <= 6)
            d = a.rt.root();
        a.target = d ? a.rt.clipObject(d) : nullptr;
    }
    // Variables follow the target, or the root while there is none.
    Object* names = a.target ? a.target : a.rt.clipObject(a.rt.root());
    if (names)
        a.scope = withTimeline(a, a.scope, names);
}

// A call's argument count, then its arguments (first on top).
std::vector<Value> popArgs(Activation& a, Stack& st)
{
    // The count is read as an unsigned 32-bit number, so a huge or negative
    // one takes every value left on the stack.
    const double n = a.rt.toNumber(a, st.pop());
    const int count = int(std::min<qint64>(ToUint32(n), qint64(st.v.size())));
    std::vector<Value> args;
    args.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        args.push_back(st.pop());
    return args;
}

bool isPath(const QString& name)
{
    for (QChar c : name)
        if (c == QLatin1Char(':') || c == QLatin1Char('/') || c == QLatin1Char('.'))
            return true;
    return false;
}

// Timeline scope of the chain: where undeclared variables go.
Object* timelineOf(Activation& a)
{
    for (Scope* s = a.scope; s; s = s->parent)
        if (!s->isWith && s->target && s->target->isClip())
            return s->target;
    return a.target;
}

Value lookupScope(Activation& a, const QString& name, Object** found)
{
    for (Scope* s = a.scope; s; s = s->parent) {
        Object* t = s->target;
        if (!t)
            continue;
        // A timeline that has left the stage is looked up on the root instead.
        const bool timeline = !s->isWith && s->parent && t->isClip();
        if (timeline && !static_cast<ClipObject*>(t)->display())
            t = a.rt.clipObject(a.rt.root());
        // Other spellings of `this` (before version 7) reach the timeline,
        // which answers with itself.
        if (timeline && t && !a.caseSensitive() && name.compare(QLatin1String("this"), Qt::CaseInsensitive) == 0) {
            if (found)
                *found = t;
            return Value(t);
        }
        if (t && t->hasProperty(a, name)) {
            if (found)
                *found = t;
            return t->get(a, name);
        }
    }
    if (found)
        *found = nullptr;
    return Value();
}

Object* makeArguments(Activation& a, std::vector<Value>& args, Object* callee, Object* caller);

class SuperObject : public Object {
public:
    SuperObject(Object* thisObj, Object* proto) : Object(proto), self(thisObj) {}
    void trace(Gc& gc) override
    {
        Object::trace(gc);
        gc.mark(self);
    }
    Object* self;
};

// The object the part of a variable path before its variable names: the
// movie's own timeline for "", a clip for a slash path, and for a dot path
// ("a.b") the first scope of the chain from which every part leads to an
// object (and, when reading, that has the variable), so a path that breaks
// off in one scope is tried in the next.
Value pathBase(Activation& a, const QString& path, const QString* reading = nullptr)
{
    if (path.isEmpty())
        return a.target ? Value(a.target) : Value();
    if (path.contains(QLatin1Char('/')) || path.contains(QLatin1Char(':'))) {
        swf::DisplayObject* d = a.rt.resolveTarget(a, path, a.rt.displayOf(a.target));
        return d ? a.rt.clipValue(d) : Value();
    }
    const QStringList parts = path.split(QLatin1Char('.'));
    auto walk = [&](Value base) {
        for (int i = 1; i < parts.size() && base.isObject(); ++i)
            base = a.rt.getMember(a, base, parts[i]);
        return base.isObject() ? base : Value();
    };
    for (Scope* s = a.scope; s; s = s->parent) {
        if (!s->target || !s->target->hasProperty(a, parts[0]))
            continue;
        const Value base = walk(s->target->get(a, parts[0]));
        if (base.isObject() && (!reading || base.asObject()->hasProperty(a, *reading)))
            return base;
    }
    return walk(GetVariable(a, parts[0]));   // this, _root, _levelN, ...
}

} // namespace

// Resolves "a.b.c", "/a/b:c", "_root.x" and plain names as the Flash
// Player's GetVariable does.
Value GetVariable(Activation& a, const QString& name)
{
    if (name.isEmpty())
        return Value();
    const bool cs = a.caseSensitive();
    auto eq = [cs](const QString& x, const char* y) {
        return cs ? x == QLatin1String(y) : x.compare(QLatin1String(y), Qt::CaseInsensitive) == 0;
    };
    if (name == QLatin1String("this"))
        return a.thisObj ? Value(a.thisObj) : Value();
    // A function's `arguments` and `super` are made when first asked for.
    if (a.locals && a.callee && (eq(name, "arguments") || eq(name, "super")) &&
        !a.locals->hasOwnProperty(a, name) && !a.suppressed(name)) {
        Value v;
        if (eq(name, "arguments"))
            v = Value(makeArguments(a, a.callArgs, a.callee, a.caller));
        else if (a.thisObj)
            v = Value(a.rt.make<SuperObject>(a.thisObj, a.superProto ? a.superProto : a.thisObj->proto()));
        a.locals->define(name, v, eq(name, "super") ? kDontEnum : 0);
        return v;
    }
    if (eq(name, "_global"))
        return Value(a.rt.global);
    if (!isPath(name)) {
        Object* found = nullptr;
        Value v = lookupScope(a, name, &found);
        if (found)
            return v;
        if (eq(name, "_root"))
            return a.rt.clipValue(a.rt.root());
        if (name.startsWith(QLatin1String("_level"), cs ? Qt::CaseSensitive : Qt::CaseInsensitive)) {
            bool ok = false;
            const int n = name.mid(6).toInt(&ok);
            if (ok)
                return a.rt.levelClip(n) ? a.rt.clipValue(a.rt.levelClip(n)) : Value();
        }
        return Value();
    }
    // Path: the part before the last ':' (or '.') names a clip, the rest a variable.
    int sep = name.lastIndexOf(QLatin1Char(':'));
    if (sep < 0)
        sep = name.lastIndexOf(QLatin1Char('.'));
    if (sep < 0) {
        // Slash path to a clip.
        swf::DisplayObject* d = a.rt.resolveTarget(a, name, a.rt.displayOf(a.target));
        return d ? a.rt.clipValue(d) : Value();
    }
    const QString path = name.left(sep);
    const QString var = name.mid(sep + 1);
    const Value base = pathBase(a, path, &var);
    if (!base.isObject())
        return Value();
    return a.rt.getMember(a, base, var);
}

void SetVariable(Activation& a, const QString& name, const Value& v)
{
    if (name.isEmpty())
        return;
    if (isPath(name)) {
        int sep = name.lastIndexOf(QLatin1Char(':'));
        if (sep < 0)
            sep = name.lastIndexOf(QLatin1Char('.'));
        if (sep >= 0) {
            const QString path = name.left(sep);
            const QString var = name.mid(sep + 1);
            const Value base = pathBase(a, path);
            if (base.isObject())
                a.rt.setMember(a, base, var, v);
            return;
        }
    }
    for (Scope* s = a.scope; s; s = s->parent) {
        if (!s->target || s->target == a.rt.global)
            continue;
        if (s->target->hasProperty(a, name)) {
            s->target->set(a, name, v);
            return;
        }
    }
    if (Object* t = timelineOf(a))
        t->set(a, name, v);
}

namespace {

// Abstract equality (Equals2) as ECMA-262 edition 3 defines it.
bool looseEquals(Activation& a, const Value& x, const Value& y)
{
    Runtime& rt = a.rt;
    if (x.type() == y.type()) {
        switch (x.type()) {
        case Type::Undefined:
        case Type::Null: return true;
        case Type::Number: return x.asNumber() == y.asNumber();
        case Type::String: return x.asString() == y.asString();
        case Type::Boolean: return x.asBool() == y.asBool();
        case Type::Object: return x.asObject() == y.asObject();
        }
    }
    if (x.isNullish() && y.isNullish())
        return true;
    if (x.isNullish() || y.isNullish())
        return false;
    if (x.isNumber() && y.isString())
        return x.asNumber() == rt.toNumber(a, y);
    if (x.isString() && y.isNumber())
        return rt.toNumber(a, x) == y.asNumber();
    if (x.isBool())
        return looseEquals(a, Value(x.asBool() ? 1.0 : 0.0), y);
    if (y.isBool())
        return looseEquals(a, x, Value(y.asBool() ? 1.0 : 0.0));
    if ((x.isNumber() || x.isString()) && y.isObject())
        return looseEquals(a, x, rt.toPrimitive(a, y));
    if (x.isObject() && (y.isNumber() || y.isString()))
        return looseEquals(a, rt.toPrimitive(a, x), y);
    return false;
}

bool strictEquals(const Value& x, const Value& y)
{
    if (x.type() != y.type())
        return false;
    switch (x.type()) {
    case Type::Undefined:
    case Type::Null: return true;
    // The Flash Player finds NaN strictly equal to itself.
    case Type::Number: return x.asNumber() == y.asNumber() || (std::isnan(x.asNumber()) && std::isnan(y.asNumber()));
    case Type::String: return x.asString() == y.asString();
    case Type::Boolean: return x.asBool() == y.asBool();
    case Type::Object: return x.asObject() == y.asObject();
    }
    return false;
}

// Less2: undefined result as undefined (NaN involved).
Value lessThan(Activation& a, const Value& x, const Value& y)
{
    Runtime& rt = a.rt;
    const Value px = rt.toPrimitive(a, x), py = rt.toPrimitive(a, y);
    if (px.isString() && py.isString())
        return Value(px.asString() < py.asString());
    const double nx = rt.toNumber(a, px), ny = rt.toNumber(a, py);
    if (std::isnan(nx) || std::isnan(ny))
        return Value();
    return Value(nx < ny);
}

QString joined(const QString& x, const QString& y)
{
    if (qint64(x.size()) + y.size() > Runtime::kMaxStringLength)
        throw ScriptAbort{QStringLiteral("A script in this movie built a string too long to keep; its actions were stopped.")};
    return x + y;
}

Value add2(Activation& a, const Value& x, const Value& y)
{
    Runtime& rt = a.rt;
    if (x.isNumber() && y.isNumber())
        return Value(x.asNumber() + y.asNumber());
    const Value py = rt.toPrimitive(a, y);
    const Value px = rt.toPrimitive(a, x);
    if (px.isString() || py.isString())
        return Value(joined(rt.toString(a, px), rt.toString(a, py)));
    return Value(rt.toNumber(a, px) + rt.toNumber(a, py));
}

double swf4Number(Activation& a, const Value& v)
{
    return a.rt.toNumber(a, v);
}

Value swf4Bool(Activation& a, bool b)
{
    // Version 4 movies push 1 and 0 for comparisons.
    if (a.version < 5)
        return Value(b ? 1.0 : 0.0);
    return Value(b);
}

Value getProperty(Activation& a, swf::DisplayObject* d, int index);
void setProperty(Activation& a, swf::DisplayObject* d, int index, const Value& v);

const char* const kPropertyNames[] = {"_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes", "_alpha",
                                      "_visible", "_width", "_height", "_rotation", "_target", "_framesloaded",
                                      "_name", "_droptarget", "_url", "_highquality", "_focusrect",
                                      "_soundbuftime", "_quality", "_xmouse", "_ymouse"};

Value getProperty(Activation& a, swf::DisplayObject* d, int index)
{
    if (index < 0 || index > 21)
        return Value();
    if (!d)
        return Value();
    return a.rt.getMember(a, a.rt.clipValue(d), QString::fromLatin1(kPropertyNames[index]));
}

void setProperty(Activation& a, swf::DisplayObject* d, int index, const Value& v)
{
    if (index < 0 || index > 21 || !d)
        return;
    a.rt.setMember(a, a.rt.clipValue(d), QString::fromLatin1(kPropertyNames[index]), v);
}

struct Block {
    Value returned;
    bool hasReturn = false;
};

void runBlock(Activation& a, const std::shared_ptr<const QByteArray>& code, int start, int end, Stack& st, Block& out);

// Frames named by label or number; a number string is a frame number.
Object* makeArguments(Activation& a, std::vector<Value>& args, Object* callee, Object* caller)
{
    ArrayObject* arr = a.rt.newArray(args);
    arr->define(QStringLiteral("callee"), callee ? Value(callee) : Value(), kDontEnum);
    arr->define(QStringLiteral("caller"), caller ? Value(caller) : Value::null(), kDontEnum);
    return arr;
}


void defineFunction(Activation& a, const std::shared_ptr<const QByteArray>& code, Bytes& r, int len, bool v2,
                    Stack& st)
{
    const int bodyStart0 = r.pos() + len;
    auto fn = std::make_shared<ScriptFunction>();
    fn->code = code;
    fn->version = a.version;
    fn->v2 = v2;
    fn->constants = a.constants;
    fn->name = r.str(bodyStart0, a.version);
    const int count = r.u16();
    if (v2) {
        fn->registerCount = r.u8();
        fn->flags = r.u16();
        for (int i = 0; i < count && r.pos() < bodyStart0; ++i) {
            ScriptFunction::Param p;
            p.reg = r.u8();
            p.name = r.str(bodyStart0, a.version);
            fn->params.push_back(p);
        }
    } else {
        for (int i = 0; i < count && r.pos() < bodyStart0; ++i) {
            ScriptFunction::Param p;
            p.name = r.str(bodyStart0, a.version);
            fn->params.push_back(p);
        }
    }
    // The body's size is the record's last field; the body follows it.
    r.seek(bodyStart0 - 2);
    const int size = r.u16();
    fn->start = bodyStart0;
    fn->end = std::min(fn->start + size, int(code->size()));
    r.seek(fn->end);
    Object* proto = a.rt.newObject();
    FunctionObject* f = a.rt.make<FunctionObject>(a.rt.functionProto, fn, a.scope, a.baseClip);
    proto->define(QStringLiteral("constructor"), Value(f), kDontEnum);
    f->define(QStringLiteral("prototype"), Value(proto), kDontEnum);
    if (fn->name.isEmpty())
        st.push(Value(f));
    else
        SetVariable(a, fn->name, Value(f));
    // A named function is also a local of the function it is in.
    if (!fn->name.isEmpty() && a.locals)
        a.locals->set(a, fn->name, Value(f));
}

// CallMethod: a method of an object, a super call, or the object itself
// called as a function when there is no name.
void callMethod(Activation& a, Stack& st, const Value& obj, Object* o, const QString& name, std::vector<Value>& args)
{
    if (auto* sup = dynamic_cast<SuperObject*>(o)) {
        Object* p = sup->proto();
        if (name.isEmpty()) {
            Value ctor = p ? p->get(a, QStringLiteral("__constructor__")) : Value();
            if (!ctor.isObject() && p) ctor = p->get(a, QStringLiteral("constructor"));
            Object* next2 = p ? p->proto() : nullptr;
            st.push(a.rt.call(a, ctor, Value(sup->self), args, next2));
        } else {
            const Value m = p ? p->get(a, name) : Value();
            // The method's own super is one prototype further up.
            Object* owner = p;
            while (owner && !owner->hasOwnProperty(a, name)) owner = owner->proto();
            st.push(a.rt.call(a, m, Value(sup->self), args, owner ? owner->proto() : nullptr));
        }
        return;
    }
    if (name.isEmpty()) {
        st.push(a.rt.call(a, obj, Value(), args));
        return;
    }
    if (obj.isNullish()) {
        st.push(Value());
        return;
    }
    const Value m = a.rt.getMember(a, obj, name);
    if (!m.isObject() || !m.asObject()->isFunction()) {
        st.push(Value());
        return;
    }
    // Find the prototype the method came from, for super inside it.
    Object* owner = nullptr;
    if (Object* base = a.rt.toObject(a, obj)) {
        owner = base;
        int guard = 0;
        while (owner && !owner->hasOwnProperty(a, name) && ++guard < 256) owner = owner->proto();
    }
    st.push(a.rt.call(a, m, obj, args, owner ? owner->proto() : nullptr));
}

// Whether the timeline the running code belongs to has left the stage: a
// call that removed it ends the code, as in the Flash Player.
bool baseRemoved(Activation& a)
{
    return a.baseClip && a.baseClip->isClip() && !static_cast<ClipObject*>(a.baseClip)->display();
}

void runBlock(Activation& a, const std::shared_ptr<const QByteArray>& code, int start, int end, Stack& st, Block& out)
{
    Runtime& rt = a.rt;
    // Nested with and try blocks count towards the same limit as calls,
    // so no action list can nest without end.
    struct Nesting {
        int& d;
        explicit Nesting(int& x) : d(x)
        {
            if (++d > 256) {
                --d;
                throw ScriptAbort{QStringLiteral("256 levels of recursion were exceeded in one action list.\n"
                                                 "This is probably an infinite loop.\n"
                                                 "Further execution of actions has been disabled in this movie.")};
            }
        }
        ~Nesting() { --d; }
    } nesting(rt.blockDepth);
    const QByteArray& bytes = *code;
    end = std::min(end, int(bytes.size()));
    Bytes r(bytes, start, end);
    while (!r.atEnd() && !rt.aborted) {
        if ((++rt.actionCount & 0xffff) == 0 && rt.deadlineMs && QDateTime::currentMSecsSinceEpoch() > rt.deadlineMs)
            throw ScriptAbort{QStringLiteral("A script in this movie is causing the Flash Player to run slowly.")};
        const int at = r.pos();
        const uint8_t op = r.u8();
        int len = 0;
        if (op >= 0x80)
            len = r.u16();
        const int next = r.pos() + len;
        if (op == 0)
            return;
        if (kDebugActions)
            std::fprintf(stderr, "avm1 %d: op %02x len %d stack %d\n", at, op, len, int(st.v.size()));
        switch (op) {
        // --- Version 3 timeline actions ---
        case 0x04: {   // NextFrame
            if (auto* d = rt.displayOf(a.target)) {
                if (rt.gotoFrame) rt.gotoFrame(d, d->frame + 1, false);
            }
            break;
        }
        case 0x05:
            if (auto* d = rt.displayOf(a.target)) {
                if (rt.gotoFrame && d->frame > 0) rt.gotoFrame(d, d->frame - 1, false);
            }
            break;
        case 0x06:
            if (auto* d = rt.displayOf(a.target)) d->playing = true;
            break;
        case 0x07:
            if (auto* d = rt.displayOf(a.target)) d->playing = false;
            break;
        case 0x08: break;   // ToggleQuality
        case 0x09:          // StopSounds
            if (rt.stopSounds) rt.stopSounds();
            break;
        case 0x81: {        // GotoFrame
            const int f = r.u16();
            if (auto* d = rt.displayOf(a.target))
                if (rt.gotoFrame) rt.gotoFrame(d, f, false);
            break;
        }
        case 0x83: {        // GetURL
            const QString url = r.str(next, a.version);
            const QString target = r.str(next, a.version);
            if (target.startsWith(QLatin1String("_level"), Qt::CaseInsensitive))
                LoadInto(rt, a, url, target, LoadKind::Movie);   // loadMovieNum
            else if (rt.openUrl)
                rt.openUrl(url, target);
            break;
        }
        case 0x8A: {        // WaitForFrame: every frame is loaded
            r.u16();
            r.u8();
            break;
        }
        case 0x8B: {        // SetTarget
            setTarget(a, r.str(next, a.version));
            break;
        }
        case 0x8C: {        // GoToLabel
            const QString label = r.str(next, a.version);
            if (auto* d = rt.displayOf(a.target)) {
                const int f = FrameOfLabel(a, d, label);
                if (f >= 0 && rt.gotoFrame) rt.gotoFrame(d, f, false);
            }
            break;
        }
        // --- Version 4 stack machine ---
        case 0x96: {        // Push
            while (r.pos() < next) {
                const uint8_t t = r.u8();
                switch (t) {
                case 0: st.push(Value(r.str(next, a.version))); break;
                case 1: {
                    const uint32_t bits = r.u32();
                    float f;
                    std::memcpy(&f, &bits, 4);
                    st.push(Value(double(f)));
                    break;
                }
                case 2: st.push(Value::null()); break;
                case 3: st.push(Value()); break;
                case 4: {
                    const int reg = r.u8();
                    st.push(reg < int(a.registers.size()) ? a.registers[size_t(reg)] : Value());
                    break;
                }
                case 5: st.push(Value(r.u8() != 0)); break;
                case 6: {
                    const uint64_t hi = r.u32();
                    const uint64_t lo = r.u32();
                    const uint64_t bits = (hi << 32) | lo;
                    double d;
                    std::memcpy(&d, &bits, 8);
                    st.push(Value(d));
                    break;
                }
                case 7: st.push(Value(double(int32_t(r.u32())))); break;
                case 8:
                case 9: {
                    const int i = t == 8 ? r.u8() : r.u16();
                    if (a.constants && i < int(a.constants->size()))
                        st.push(Value((*a.constants)[size_t(i)]));
                    else
                        st.push(Value());
                    break;
                }
                default: r.seek(next); break;
                }
            }
            break;
        }
        case 0x17: st.pop(); break;
        case 0x0A: case 0x0B: case 0x0C: case 0x0D: {
            // The left operand is converted first (its valueOf runs first).
            const Value bv = st.pop(), xv = st.pop();
            const double x = swf4Number(a, xv), b = swf4Number(a, bv);
            double v = 0;
            if (op == 0x0A) v = x + b;
            else if (op == 0x0B) v = x - b;
            else if (op == 0x0C) v = x * b;
            else {
                if (b == 0 && a.version < 5) { st.push(Value(QStringLiteral("#ERROR#"))); break; }
                v = x / b;
            }
            st.push(Value(v));
            break;
        }
        case 0x0E: {        // Equals (numbers)
            const double b = swf4Number(a, st.pop()), x = swf4Number(a, st.pop());
            st.push(swf4Bool(a, x == b));
            break;
        }
        case 0x0F: {        // Less: the left operand is converted first
            const Value bv = st.pop(), xv = st.pop();
            const double x = swf4Number(a, xv);
            const double b = swf4Number(a, bv);
            st.push(swf4Bool(a, x < b));
            break;
        }
        case 0x10: {        // And
            const Value b = st.pop(), x = st.pop();
            st.push(swf4Bool(a, rt.toBool(x, a.version) && rt.toBool(b, a.version)));
            break;
        }
        case 0x11: {
            const Value b = st.pop(), x = st.pop();
            st.push(swf4Bool(a, rt.toBool(x, a.version) || rt.toBool(b, a.version)));
            break;
        }
        case 0x12: st.push(swf4Bool(a, !rt.toBool(st.pop(), a.version))); break;
        case 0x13: {        // StringEquals
            const QString b = rt.toString(a, st.pop()), x = rt.toString(a, st.pop());
            st.push(swf4Bool(a, x == b));
            break;
        }
        case 0x14: case 0x31: st.push(Value(double(rt.toString(a, st.pop()).size()))); break;
        case 0x15: case 0x35: {   // StringExtract
            const double count = rt.toNumber(a, st.pop());
            const double index = rt.toNumber(a, st.pop());
            const QString s = rt.toString(a, st.pop());
            int i = std::isfinite(index) ? int(std::clamp(index, -1e9, 1e9)) - 1 : 0;
            int n = std::isfinite(count) ? int(std::clamp(count, -1e9, 1e9)) : 0;
            if (i < 0) i = 0;
            if (n < 0) n = int(s.size());
            st.push(Value(s.mid(i, n)));
            break;
        }
        case 0x18: {        // ToInteger
            const double n = rt.toNumber(a, st.pop());
            st.push(Value(std::isfinite(n) ? std::trunc(n) : (std::isnan(n) ? 0.0 : n)));
            break;
        }
        case 0x1C: {        // GetVariable
            const QString name = rt.toString(a, st.pop());
            st.push(GetVariable(a, name));
            break;
        }
        case 0x1D: {        // SetVariable
            const Value v = st.pop();
            const QString name = rt.toString(a, st.pop());
            SetVariable(a, name, v);
            break;
        }
        case 0x20: {        // SetTarget2
            const Value t = st.pop();
            // A clip is taken by its path, so of two clips with one name
            // the first is the target.
            swf::DisplayObject* d = t.isObject() ? rt.displayOf(t.asObject()) : nullptr;
            setTarget(a, d ? rt.targetPath(d) : rt.toString(a, t));
            break;
        }
        case 0x21: {        // StringAdd
            const QString b = rt.toString(a, st.pop()), x = rt.toString(a, st.pop());
            st.push(Value(joined(x, b)));
            break;
        }
        case 0x22: {        // GetProperty
            const double idx = rt.toNumber(a, st.pop());
            const Value t = st.pop();
            swf::DisplayObject* d = nullptr;
            if (t.isObject()) d = rt.displayOf(t.asObject());
            else {
                const QString path = rt.toString(a, t);
                d = path.isEmpty() ? rt.displayOf(a.target) : rt.resolveTarget(a, path, rt.displayOf(a.target));
            }
            st.push(std::isfinite(idx) ? getProperty(a, d, int(idx)) : Value());
            break;
        }
        case 0x23: {        // SetProperty
            const Value v = st.pop();
            const double idx = rt.toNumber(a, st.pop());
            const Value t = st.pop();
            swf::DisplayObject* d = nullptr;
            if (t.isObject()) d = rt.displayOf(t.asObject());
            else {
                const QString path = rt.toString(a, t);
                d = path.isEmpty() ? rt.displayOf(a.target) : rt.resolveTarget(a, path, rt.displayOf(a.target));
            }
            if (std::isfinite(idx)) setProperty(a, d, int(idx), v);
            break;
        }
        case 0x24: {        // CloneSprite
            const double depth = rt.toNumber(a, st.pop());
            const QString name = rt.toString(a, st.pop());
            const Value src = st.pop();
            swf::DisplayObject* d = src.isObject() ? rt.displayOf(src.asObject())
                                                   : rt.resolveTarget(a, rt.toString(a, src), rt.displayOf(a.target));
            if (d && rt.duplicateClip && std::isfinite(depth))
                rt.duplicateClip(d, name, int(depth));
            break;
        }
        case 0x25: {        // RemoveSprite
            const Value t = st.pop();
            swf::DisplayObject* d = t.isObject() ? rt.displayOf(t.asObject())
                                                 : rt.resolveTarget(a, rt.toString(a, t), rt.displayOf(a.target));
            if (d && rt.removeChild) rt.removeChild(d);
            break;
        }
        case 0x26: {        // Trace
            const Value v = st.pop();
            if (rt.traceOutput)
                rt.traceOutput(v.isUndefined() ? QStringLiteral("undefined") : rt.toString(a, v));
            break;
        }
        case 0x27: {        // StartDrag
            const Value t = st.pop();
            const bool lock = rt.toBool(st.pop(), a.version);
            const bool constrain = rt.toBool(st.pop(), a.version);
            if (constrain) { st.pop(); st.pop(); st.pop(); st.pop(); }
            swf::DisplayObject* d = t.isObject() ? rt.displayOf(t.asObject())
                                                 : rt.resolveTarget(a, rt.toString(a, t), rt.displayOf(a.target));
            StartDrag(rt, d, lock);
            break;
        }
        case 0x28: StartDrag(rt, nullptr, false); break;   // EndDrag
        case 0x29: {        // StringLess
            const QString b = rt.toString(a, st.pop()), x = rt.toString(a, st.pop());
            st.push(swf4Bool(a, x < b));
            break;
        }
        case 0x30: {        // RandomNumber
            const double maxv = rt.toNumber(a, st.pop());
            const int m = std::isfinite(maxv) ? int(std::clamp(maxv, 0.0, 2147483647.0)) : 0;
            st.push(Value(m > 0 ? double(std::uniform_int_distribution<int>(0, m - 1)(rt.random)) : 0.0));
            break;
        }
        case 0x32: case 0x36: {   // CharToAscii
            const QString s = rt.toString(a, st.pop());
            st.push(Value(s.isEmpty() ? 0.0 : double(s[0].unicode())));
            break;
        }
        case 0x33: case 0x37: {   // AsciiToChar
            const double n = rt.toNumber(a, st.pop());
            const int c = ToInt32(n) & 0xffff;
            st.push(Value(c ? QString(QChar(c)) : QString()));
            break;
        }
        case 0x34: st.push(Value(std::floor(rt.nowMs()))); break;   // GetTime
        case 0x99: {        // Jump
            const int16_t off = int16_t(r.u16());
            r.seek(next + off);
            continue;
        }
        case 0x9D: {        // If
            const int16_t off = int16_t(r.u16());
            if (rt.toBool(st.pop(), a.version)) {
                r.seek(next + off);
                continue;
            }
            break;
        }
        case 0x9E: {        // Call: runs a frame's actions
            const Value f = st.pop();
            swf::DisplayObject* d = rt.displayOf(a.target);
            QString s = rt.toString(a, f);
            const int colon = s.lastIndexOf(QLatin1Char(':'));
            if (colon >= 0) {
                d = rt.resolveTarget(a, s.left(colon), d);
                s = s.mid(colon + 1);
            }
            if (!d) break;
            const int frame = FrameOfLabel(a, d, s);
            const swf::Timeline* tl = TimelineOf(rt.movie(), d);
            if (tl && frame >= 0 && size_t(frame) < tl->frames.size())
                for (const auto& code2 : tl->frames[size_t(frame)].actions)
                    rt.runActions(code2, d);
            break;
        }
        case 0x9A: {        // GetURL2
            const uint8_t flags = r.u8();
            const Value target = st.pop();
            const Value url = st.pop();
            const QString u = rt.toString(a, url);
            const QString t = rt.toString(a, target);
            // The low bits say how variables would be sent: there is no
            // network, so they are not.
            if (flags & 0x80) {
                LoadInto(rt, a, u, t, LoadKind::Variables);   // into a clip (0x40) or a level
            } else if ((flags & 0x40) || t.startsWith(QLatin1String("_level"), Qt::CaseInsensitive)) {
                LoadInto(rt, a, u, t, LoadKind::Movie);
            } else if (rt.openUrl) {
                rt.openUrl(u, t);
            }
            break;
        }
        case 0x9F: {        // GotoFrame2
            const uint8_t flags = r.u8();
            int bias = 0;
            if (flags & 0x02) bias = r.u16();
            const Value f = st.pop();
            GotoFrame(a, rt.displayOf(a.target), f, flags & 0x01, bias);
            break;
        }
        case 0x8D: {        // WaitForFrame2
            // The whole movie is in memory, so the only frames "not loaded"
            // are whole numbers past the player's frame limit; a label or
            // any other value counts as loaded.
            const int skip = r.u8();
            const Value f = st.pop();
            bool loaded = true;
            if (f.isNumber() && std::isfinite(f.asNumber()) && f.asNumber() == std::trunc(f.asNumber())) {
                const int32_t index = int32_t(uint32_t(ToInt32(f.asNumber())) - 1u);
                loaded = index <= 16000;
            }
            if (!loaded) {
                r.seek(next);
                for (int i = 0; i < skip && !r.atEnd(); ++i) {
                    const uint8_t code = r.u8();
                    if (code >= 0x80) {
                        const int length = r.u16();
                        r.seek(r.pos() + length);
                    }
                }
                continue;
            }
            break;
        }
        // --- Version 5 ---
        case 0x88: {        // ConstantPool
            const int count = r.u16();
            auto pool = std::make_shared<std::vector<QString>>();
            pool->reserve(size_t(std::min(count, 65535)));
            for (int i = 0; i < count && r.pos() < next; ++i)
                pool->push_back(r.str(next, a.version));
            a.constants = std::move(pool);
            break;
        }
        case 0x87: {        // StoreRegister
            const int reg = r.u8();
            if (reg < int(a.registers.size()))
                a.registers[size_t(reg)] = st.top();
            break;
        }
        case 0x3A: {        // Delete
            const QString name = rt.toString(a, st.pop());
            const Value obj = st.pop();
            bool ok = false;
            if (Object* o = obj.asObject()) ok = o->deleteProperty(a, name);
            st.push(Value(ok));
            break;
        }
        case 0x3B: {        // Delete2
            const QString name = rt.toString(a, st.pop());
            bool ok = false;
            if (isPath(name)) {
                st.push(Value(false));
                break;
            }
            for (Scope* s = a.scope; s; s = s->parent)
                if (s->target && s->target->hasOwnProperty(a, name)) {
                    ok = s->target->deleteProperty(a, name);
                    break;
                }
            st.push(Value(ok));
            break;
        }
        case 0x3C: {        // DefineLocal
            const Value v = st.pop();
            const QString name = rt.toString(a, st.pop());
            if (a.locals) a.locals->set(a, name, v);
            else if (Object* t = timelineOf(a)) t->set(a, name, v);
            break;
        }
        case 0x41: {        // DefineLocal2
            const QString name = rt.toString(a, st.pop());
            Object* where = a.locals ? a.locals : timelineOf(a);
            if (where && !where->hasOwnProperty(a, name)) where->set(a, name, Value());
            break;
        }
        case 0x3D: {        // CallFunction
            const QString name = rt.toString(a, st.pop());
            std::vector<Value> args = popArgs(a, st);
            const Value fn = GetVariable(a, name);
            if (kDebugActions)
                std::fprintf(stderr, "avm1 call %s: %s\n", qPrintable(name), qPrintable(rt.typeOf(fn)));
            // A plain call runs with the current timeline as `this`.
            Object* self = a.target ? a.target : rt.clipObject(rt.root());
            if (fn.isObject() && fn.asObject()->isFunction())
                st.push(rt.call(a, fn, Value(self), args));
            else
                st.push(Value());
            if (baseRemoved(a)) { out.hasReturn = true; return; }
            break;
        }
        case 0x52: {        // CallMethod
            const Value nameV = st.pop();
            const Value obj = st.pop();
            std::vector<Value> args = popArgs(a, st);
            const QString name = nameV.isUndefined() ? QString() : rt.toString(a, nameV);
            Object* o = obj.asObject();
            callMethod(a, st, obj, o, name, args);
            if (o && baseRemoved(a)) { out.hasReturn = true; return; }
            break;
        }
        case 0x3E: {        // Return
            out.returned = st.pop();
            out.hasReturn = true;
            return;
        }
        case 0x3F: {        // Modulo
            const double b = rt.toNumber(a, st.pop()), x = rt.toNumber(a, st.pop());
            st.push(Value(std::fmod(x, b)));
            break;
        }
        case 0x40: {        // NewObject
            const QString name = rt.toString(a, st.pop());
            std::vector<Value> args = popArgs(a, st);
            const Value ctor = GetVariable(a, name);
            st.push(rt.construct(a, ctor, args));
            if (baseRemoved(a)) { out.hasReturn = true; return; }
            break;
        }
        case 0x53: {        // NewMethod
            const Value nameV = st.pop();
            const Value obj = st.pop();
            std::vector<Value> args = popArgs(a, st);
            const QString name = nameV.isUndefined() ? QString() : rt.toString(a, nameV);
            const Value ctor = name.isEmpty() ? obj : rt.getMember(a, obj, name);
            st.push(rt.construct(a, ctor, args));
            if (obj.isObject() && baseRemoved(a)) { out.hasReturn = true; return; }
            break;
        }
        case 0x42: {        // InitArray
            const double n = rt.toNumber(a, st.pop());
            const int count = std::isfinite(n) ? std::clamp(int(n), 0, int(st.v.size())) : 0;
            std::vector<Value> items;
            for (int i = 0; i < count; ++i) items.push_back(st.pop());
            st.push(Value(rt.newArray(items)));
            break;
        }
        case 0x43: {        // InitObject
            const double n = rt.toNumber(a, st.pop());
            const int count = std::isfinite(n) ? std::clamp(int(n), 0, int(st.v.size()) / 2) : 0;
            Object* o = rt.newObject();
            for (int i = 0; i < count; ++i) {
                const Value v = st.pop();
                const QString k = rt.toString(a, st.pop());
                o->set(a, k, v);
            }
            st.push(Value(o));
            break;
        }
        case 0x44: st.push(Value(rt.typeOf(st.pop()))); break;   // TypeOf
        case 0x45: {        // TargetPath
            const Value v = st.pop();
            swf::DisplayObject* d = v.isObject() ? rt.displayOf(v.asObject()) : nullptr;
            st.push(d ? Value(rt.targetPath(d)) : Value());
            break;
        }
        case 0x46: case 0x55: {   // Enumerate, Enumerate2
            Value v = st.pop();
            if (op == 0x46) v = GetVariable(a, rt.toString(a, v));
            st.push(Value::null());
            Object* o = v.asObject();
            if (o) {
                const std::vector<QString> names = o->enumerate(a);
                for (auto it = names.rbegin(); it != names.rend(); ++it)
                    st.push(Value(*it));
            }
            break;
        }
        case 0x47: {        // Add2
            const Value b = st.pop(), x = st.pop();
            st.push(add2(a, x, b));
            break;
        }
        case 0x48: {        // Less2
            const Value b = st.pop(), x = st.pop();
            st.push(lessThan(a, x, b));
            break;
        }
        case 0x67: {        // Greater
            const Value b = st.pop(), x = st.pop();
            st.push(lessThan(a, b, x));
            break;
        }
        case 0x49: {        // Equals2
            const Value b = st.pop(), x = st.pop();
            st.push(Value(looseEquals(a, x, b)));
            break;
        }
        case 0x66: {        // StrictEquals
            const Value b = st.pop(), x = st.pop();
            st.push(Value(strictEquals(x, b)));
            break;
        }
        case 0x68: {        // StringGreater
            const QString b = rt.toString(a, st.pop()), x = rt.toString(a, st.pop());
            st.push(Value(x > b));
            break;
        }
        case 0x4A: st.push(Value(rt.toNumber(a, st.pop()))); break;
        case 0x4B: st.push(Value(rt.toString(a, st.pop()))); break;
        case 0x4C: st.push(st.top()); break;   // PushDuplicate
        case 0x4D: {        // StackSwap
            Value x = st.pop(), y = st.pop();
            st.push(x);
            st.push(y);
            break;
        }
        case 0x4E: {        // GetMember
            const Value name = st.pop();
            const Value obj = st.pop();
            st.push(rt.getMember(a, obj, name.isNumber() ? NumberToString(name.asNumber()) : rt.toString(a, name)));
            break;
        }
        case 0x4F: {        // SetMember
            const Value v = st.pop();
            const Value name = st.pop();
            const Value obj = st.pop();
            rt.setMember(a, obj, name.isNumber() ? NumberToString(name.asNumber()) : rt.toString(a, name), v);
            break;
        }
        case 0x50: st.push(Value(rt.toNumber(a, st.pop()) + 1)); break;
        case 0x51: st.push(Value(rt.toNumber(a, st.pop()) - 1)); break;
        case 0x60: case 0x61: case 0x62: case 0x63: case 0x64: case 0x65: {
            const Value bv = st.pop(), xv = st.pop();
            const int32_t b = ToInt32(rt.toNumber(a, bv)), x = ToInt32(rt.toNumber(a, xv));
            double v = 0;
            switch (op) {
            case 0x60: v = x & b; break;
            case 0x61: v = x | b; break;
            case 0x62: v = x ^ b; break;
            case 0x63: v = int32_t(uint32_t(x) << (b & 31)); break;
            case 0x64: v = x >> (b & 31); break;
            // Up to version 8 the shifted bits are read back as a signed
            // integer, so a shift by 0 (or 32) keeps a negative number negative.
            default:
                v = a.version <= 8 ? double(int32_t(uint32_t(x) >> (b & 31))) : double(uint32_t(x) >> (b & 31));
                break;
            }
            st.push(Value(v));
            break;
        }
        case 0x94: {        // With
            const int size = r.u16();
            const Value o = st.pop();
            const int bodyEnd = std::min(next + size, end);
            Object* obj = rt.toObject(a, o);
            if (!obj) {
                // with(undefined) and with(null) skip their block.
                r.seek(bodyEnd);
                continue;
            }
            Scope* saved = a.scope;
            if (obj)
                a.scope = rt.make<Scope>(a.scope, obj, true);
            Block inner;
            try {
                runBlock(a, code, next, bodyEnd, st, inner);
            } catch (...) {
                a.scope = saved;
                throw;
            }
            a.scope = saved;
            if (inner.hasReturn) {
                out = inner;
                return;
            }
            r.seek(bodyEnd);
            continue;
        }
        case 0x9B:          // DefineFunction
        case 0x8E:          // DefineFunction2
            defineFunction(a, code, r, len, op == 0x8E, st);
            continue;
        // --- Versions 6 and 7 ---
        case 0x54: {        // InstanceOf
            const Value ctor = st.pop();
            const Value obj = st.pop();
            st.push(Value(obj.isObject() && ctor.isObject() && rt.instanceOf(a, obj.asObject(), ctor.asObject())));
            break;
        }
        case 0x2A: {        // Throw
            throw ScriptThrow{st.pop()};
        }
        case 0x2B: {        // CastOp
            const Value obj = st.pop();
            const Value ctor = st.pop();
            if (obj.isObject() && ctor.isObject() && rt.instanceOf(a, obj.asObject(), ctor.asObject()))
                st.push(obj);
            else
                st.push(Value::null());
            break;
        }
        case 0x2C: {        // ImplementsOp
            const Value ctor = st.pop();
            const double n = rt.toNumber(a, st.pop());
            const int count = std::isfinite(n) ? std::clamp(int(n), 0, int(st.v.size())) : 0;
            Object* proto = ctor.isObject() ? rt.getMember(a, ctor, QStringLiteral("prototype")).asObject() : nullptr;
            for (int i = 0; i < count; ++i) {
                const Value iface = st.pop();
                if (proto && iface.isObject()) proto->interfaces.push_back(iface.asObject());
            }
            break;
        }
        case 0x69: {        // Extends
            const Value super = st.pop();
            const Value sub = st.pop();
            Object* subObj = sub.asObject();
            Object* superProto = super.isObject() ? rt.getMember(a, super, QStringLiteral("prototype")).asObject() : nullptr;
            if (subObj) {
                Object* proto = rt.make<Object>(superProto);
                proto->define(QStringLiteral("__constructor__"), super, kDontEnum);
                if (a.version < 7)
                    proto->define(QStringLiteral("constructor"), super, kDontEnum);
                subObj->set(a, QStringLiteral("prototype"), Value(proto));
            }
            break;
        }
        case 0x8F: {        // Try
            const uint8_t flags = r.u8();
            const int trySize = r.u16(), catchSize = r.u16(), finallySize = r.u16();
            QString catchName;
            int catchReg = -1;
            if (flags & 0x04) catchReg = r.u8();
            else catchName = r.str(next, a.version);
            const int tryStart = next, catchStart = tryStart + trySize, finallyStart = catchStart + catchSize,
                      after = finallyStart + finallySize;
            Block result;
            std::optional<ScriptThrow> pending;
            Scope* savedScope = a.scope;
            const size_t savedDepth = st.v.size();
            try {
                runBlock(a, code, tryStart, std::min(catchStart, end), st, result);
            } catch (ScriptThrow& t) {
                a.scope = savedScope;
                st.v.resize(std::min(st.v.size(), savedDepth));
                if (flags & 0x01) {
                    if (catchReg >= 0) {
                        if (catchReg < int(a.registers.size())) a.registers[size_t(catchReg)] = t.value;
                    } else if (a.locals) {
                        a.locals->set(a, catchName, t.value);
                    } else {
                        SetVariable(a, catchName, t.value);
                    }
                    try {
                        runBlock(a, code, catchStart, std::min(finallyStart, end), st, result);
                    } catch (ScriptThrow& t2) {
                        pending = t2;
                    }
                } else {
                    pending = t;
                }
            }
            if (flags & 0x02) {
                Block fin;
                runBlock(a, code, finallyStart, std::min(after, end), st, fin);
                if (fin.hasReturn) {
                    out = fin;
                    return;
                }
            }
            if (pending)
                throw *pending;
            if (result.hasReturn) {
                out = result;
                return;
            }
            r.seek(std::min(after, end));
            continue;
        }
        default:
            break;   // unknown actions are skipped by their length
        }
        if (op >= 0x80)
            r.seek(next);
        (void)at;
    }
}

} // namespace

Value Execute(Activation& a, const std::shared_ptr<const QByteArray>& code, int start, int end)
{
    Stack st;
    Block out;
    runBlock(a, code, start, end, st, out);
    return out.hasReturn ? out.returned : Value();
}

// --- Calls -------------------------------------------------------------------------

Value Runtime::call(Activation& caller, const Value& fnv, const Value& thisValue, std::vector<Value>& args,
                    Object* superProto)
{
    auto* fn = dynamic_cast<FunctionObject*>(fnv.asObject());
    if (!fn)
        return Value();
    if (callDepth >= 255) {
        aborted = true;
        throw ScriptAbort{QStringLiteral("256 levels of recursion were exceeded in one action list.\n"
                                         "This is probably an infinite loop.\n"
                                         "Further execution of actions has been disabled in this movie.")};
    }
    struct DepthGuard {
        int& d;
        explicit DepthGuard(int& x) : d(x) { ++d; }
        ~DepthGuard() { --d; }
    } guard(callDepth);
    // Primitives are boxed to be `this`.
    Object* self = thisValue.isObject() ? thisValue.asObject()
                   : (thisValue.isString() || thisValue.isNumber() || thisValue.isBool()) ? toObject(caller, thisValue)
                                                                                             : nullptr;
    if (!fn->script) {
        if (!fn->native)
            return Value();
        Object* saved = caller.thisObj;
        Value r = fn->native(caller, self, args);
        caller.thisObj = saved;
        return r;
    }
    const ScriptFunction& sf = *fn->script;
    Object* locals = make<Object>(nullptr);
    Scope* scope = make<Scope>(fn->scope, locals);
    Object* base = fn->baseClip;
    // A function defined on a timeline that is gone runs on the caller's.
    if (base && base->isClip() && !displayOf(base))
        base = caller.target;
    Activation act(*this, sf.version, scope, self, base);
    act.locals = locals;
    act.constants = sf.constants;
    act.callee = fn;
    act.superProto = superProto;
    act.registers.assign(size_t(std::max(sf.v2 ? sf.registerCount : 4, 1)), Value());
    Object* argsObj = nullptr;
    auto argumentsObj = [&]() {
        if (!argsObj)
            argsObj = makeArguments(act, args, fn, caller.callee);
        return argsObj;
    };
    if (sf.v2) {
        int reg = 1;
        const uint16_t f = sf.flags;
        auto preload = [&](const Value& v) {
            if (reg < int(act.registers.size()))
                act.registers[size_t(reg)] = v;
            ++reg;
        };
        if (f & 0x01) preload(self ? Value(self) : Value());
        if (f & 0x04) preload(Value(argumentsObj()));
        act.suppressArguments = (f & 0x08) != 0;
        act.suppressSuper = (f & 0x20) != 0;
        if (f & 0x10) preload(superProto || (self && self->proto()) ? Value(make<SuperObject>(self, superProto ? superProto : self->proto())) : Value());

        if (f & 0x40) preload(clipValue(root()));
        if (f & 0x80) {
            swf::DisplayObject* d = displayOf(base);
            preload(d && d->parent ? clipValue(d->parent) : Value());
        }
        if (f & 0x100) preload(Value(global));
        for (size_t i = 0; i < sf.params.size(); ++i) {
            const Value v = i < args.size() ? args[i] : Value();
            const auto& p = sf.params[i];
            if (p.reg > 0 && p.reg < int(act.registers.size()))
                act.registers[size_t(p.reg)] = v;
            else
                locals->set(act, p.name, v);
        }
    } else {
        // `arguments` and `super` are made when the body asks for them.
        for (size_t i = 0; i < sf.params.size(); ++i)
            locals->set(act, sf.params[i].name, i < args.size() ? args[i] : Value());
    }
    act.callArgs = args;
    act.caller = caller.callee;
    if (!self) act.thisObj = nullptr;
    return Execute(act, sf.code, sf.start, sf.end);
}

Value Runtime::construct(Activation& caller, const Value& ctorv, std::vector<Value>& args)
{
    auto* ctor = dynamic_cast<FunctionObject*>(ctorv.asObject());
    if (!ctor)
        return Value();
    if (ctor->constructor)
        return ctor->constructor(caller, nullptr, args);
    Object* proto = ctor->get(caller, QStringLiteral("prototype")).asObject();
    Object* obj = make<Object>(proto);
    obj->define(QStringLiteral("__constructor__"), Value(ctor), kDontEnum);
    if (caller.version < 7)
        obj->define(QStringLiteral("constructor"), Value(ctor), kDontEnum);
    const Value r = call(caller, ctorv, Value(obj), args, proto ? proto->proto() : nullptr);
    (void)r;
    return Value(obj);
}

bool Runtime::callMethod(Activation& caller, Object* obj, const QString& name, std::vector<Value> args, Value* result)
{
    if (!obj)
        return false;
    const Value m = obj->get(caller, name);
    if (!m.isObject() || !m.asObject()->isFunction())
        return false;
    const Value r = call(caller, m, Value(obj), args);
    if (result)
        *result = r;
    return true;
}

bool Runtime::instanceOf(Activation& a, Object* obj, Object* ctor)
{
    Object* proto = ctor->get(a, QStringLiteral("prototype")).asObject();
    if (!proto)
        return false;
    int guard = 0;
    for (Object* p = obj->proto(); p && ++guard < 256; p = p->proto()) {
        if (p == proto)
            return true;
        // Interfaces a class implements count too.
        std::vector<Object*> todo = p->interfaces;
        for (size_t i = 0; i < todo.size() && i < 256; ++i) {
            Object* iface = todo[i];
            if (iface == ctor)
                return true;
            Object* ip = iface->get(a, QStringLiteral("prototype")).asObject();
            if (ip == proto)
                return true;
            if (ip)
                todo.insert(todo.end(), ip->interfaces.begin(), ip->interfaces.end());
        }
    }
    return false;
}

} // namespace plovex::avm1
