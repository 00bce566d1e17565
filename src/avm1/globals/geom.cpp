#include "avm1/globals/globals.h"

#include "avm1/clip.h"

// flash.geom: Point, Rectangle and Matrix keep their fields as ordinary
// properties (scripts may store anything there and read it back as
// stored); ColorTransform keeps numbers behind accessors on its
// prototype.

namespace plovex::avm1 {

namespace {

// The classes' shared parts; kept on the heap as a root so the natives
// that refer to it live as long as the runtime.
struct Geom : Object {
    explicit Geom(Runtime& rt) : rt(rt) {}
    void trace(Gc& gc) override
    {
        Object::trace(gc);
        for (Object* o : {pointProto, rectProto, matrixProto, colorProto, transformProto, (Object*)pointCtor, (Object*)rectCtor,
                          (Object*)matrixCtor})
            gc.mark(o);
    }
    Runtime& rt;
    Object* pointProto = nullptr;
    Object* rectProto = nullptr;
    Object* matrixProto = nullptr;
    Object* colorProto = nullptr;
    Object* transformProto = nullptr;
    FunctionObject* pointCtor = nullptr;
    FunctionObject* rectCtor = nullptr;
    FunctionObject* matrixCtor = nullptr;
};

class ColorTransformObject : public Object {
public:
    explicit ColorTransformObject(Object* proto) : Object(proto) {}
    // red, green, blue, alpha multipliers, then the same offsets.
    double v[8] = {1, 1, 1, 1, 0, 0, 0, 0};
};

const QString kColorSlot = QStringLiteral("__colorTransform");

// The numbers of a ColorTransform, or of an object whose constructor
// called ColorTransform's as its super constructor.
ColorTransformObject* ColorData(Object* o)
{
    return NativeOf<ColorTransformObject>(o, kColorSlot);
}

bool Inherits(Object* o, Object* proto)
{
    int guard = 0;
    for (Object* p = o ? o->proto() : nullptr; p && guard < 10000; p = p->proto(), ++guard)
        if (p == proto)
            return true;
    return false;
}

// A class called as a function: from a subclass's constructor (super())
// it fills in `this`; otherwise it makes a new object.
NativeFunction CallOrInit(Object*& proto, NativeFunction construct)
{
    return [&proto, construct](Activation& a, Object* self, std::vector<Value>& args) -> Value {
        const Value made = construct(a, self, args);
        if (!self || !Inherits(self, proto) || ColorData(self))
            return made;
        Object* o = made.asObject();
        if (dynamic_cast<ColorTransformObject*>(o))
            self->define(kColorSlot, made, kDontEnum);
        else if (o)
            for (const Property& p : o->props().all())
                self->define(p.name, p.value, p.flags);
        return Value();
    };
}

Value Get(Activation& a, const Value& base, const char* name)
{
    return a.rt.getMember(a, base, QString::fromLatin1(name));
}

double Num(Activation& a, const Value& base, const char* name)
{
    return a.rt.toNumber(a, Get(a, base, name));
}

double NumArg(Activation& a, const Args& args, size_t i)
{
    return a.rt.toNumber(a, Arg(args, i));
}

void Put(Activation& a, Object* o, const char* name, const Value& v)
{
    o->set(a, QString::fromLatin1(name), v);
}

Object* NewPoint(Activation& a, Geom& g, const Value& x, const Value& y)
{
    Object* p = a.rt.make<Object>(g.pointProto);
    Put(a, p, "x", x);
    Put(a, p, "y", y);
    return p;
}

Object* NewRect(Activation& a, Geom& g, const Value& x, const Value& y, const Value& w, const Value& h)
{
    Object* r = a.rt.make<Object>(g.rectProto);
    Put(a, r, "x", x);
    Put(a, r, "y", y);
    Put(a, r, "width", w);
    Put(a, r, "height", h);
    return r;
}

// "(x=1, y=2)" from the named fields.
QString Describe(Activation& a, Object* self, std::initializer_list<std::pair<const char*, const char*>> fields)
{
    QString s = QStringLiteral("(");
    bool first = true;
    for (const auto& [label, name] : fields) {
        if (!first)
            s += QStringLiteral(", ");
        first = false;
        s += QString::fromLatin1(label) + QLatin1Char('=') + a.rt.toString(a, Get(a, Value(self), name));
    }
    return s + QLatin1Char(')');
}

void Accessor(Runtime& rt, Object* proto, const QString& name, NativeFunction get, NativeFunction set, uint16_t flags)
{
    DefineAccessor(rt, proto, name, std::move(get), std::move(set), flags);
}

Object* GeomPackage(Runtime& rt)
{
    Activation a(rt, rt.version(), nullptr, rt.global, nullptr);
    auto child = [&](Object* parent, const QString& name) {
        if (Object* o = parent->get(a, name).asObject())
            return o;
        Object* o = rt.newObject();
        parent->define(name, Value(o), kDontEnum | kVersion8);
        return o;
    };
    return child(child(rt.global, QStringLiteral("flash")), QStringLiteral("geom"));
}

void InstallPoint(Geom& g, Object* pkg)
{
    Runtime& rt = g.rt;
    Object* p = g.pointProto;
    auto construct = [&g](Activation& a, Object*, Args& args) -> Value {
        if (args.empty())
            return Value(NewPoint(a, g, Value(0), Value(0)));
        return Value(NewPoint(a, g, args[0], Arg(args, 1)));
    };
    g.pointCtor = rt.newClass(QStringLiteral("Point"), CallOrInit(g.pointProto, construct), construct, p);
    pkg->define(QStringLiteral("Point"), Value(g.pointCtor), 0);

    Accessor(rt, p, QStringLiteral("length"), [](Activation& a, Object* self, Args&) -> Value {
        const double x = Num(a, Value(self), "x"), y = Num(a, Value(self), "y");
        return Value(std::sqrt(x * x + y * y));
    }, nullptr, kDontEnum);
    p->defineNative(rt, QStringLiteral("add"), [&g](Activation& a, Object* self, Args& args) -> Value {
        const Value o = Arg(args, 0);
        return Value(NewPoint(a, g, Value(Num(a, Value(self), "x") + Num(a, o, "x")),
                              Value(Num(a, Value(self), "y") + Num(a, o, "y"))));
    });
    p->defineNative(rt, QStringLiteral("subtract"), [&g](Activation& a, Object* self, Args& args) -> Value {
        const Value o = Arg(args, 0);
        return Value(NewPoint(a, g, Value(Num(a, Value(self), "x") - Num(a, o, "x")),
                              Value(Num(a, Value(self), "y") - Num(a, o, "y"))));
    });
    p->defineNative(rt, QStringLiteral("equals"), [&g](Activation& a, Object* self, Args& args) -> Value {
        Object* o = Arg(args, 0).asObject();
        if (!o || !a.rt.instanceOf(a, o, g.pointCtor))
            return Value(false);
        return Value(Num(a, Value(self), "x") == Num(a, Value(o), "x") && Num(a, Value(self), "y") == Num(a, Value(o), "y"));
    });
    p->defineNative(rt, QStringLiteral("clone"), [&g](Activation& a, Object* self, Args&) -> Value {
        return Value(NewPoint(a, g, Get(a, Value(self), "x"), Get(a, Value(self), "y")));
    });
    p->defineNative(rt, QStringLiteral("offset"), [](Activation& a, Object* self, Args& args) -> Value {
        Put(a, self, "x", Value(Num(a, Value(self), "x") + NumArg(a, args, 0)));
        Put(a, self, "y", Value(Num(a, Value(self), "y") + NumArg(a, args, 1)));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("normalize"), [](Activation& a, Object* self, Args& args) -> Value {
        const double x = Num(a, Value(self), "x"), y = Num(a, Value(self), "y");
        const double len = std::sqrt(x * x + y * y);
        // A zero or unknown length leaves the point as it is.
        if (len > 0) {
            const double k = NumArg(a, args, 0) / len;
            Put(a, self, "x", Value(x * k));
            Put(a, self, "y", Value(y * k));
        }
        return Value();
    });
    p->defineNative(rt, QStringLiteral("toString"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(Describe(a, self, {{"x", "x"}, {"y", "y"}}));
    });

    FunctionObject* ctor = g.pointCtor;
    ctor->defineNative(rt, QStringLiteral("distance"), [](Activation& a, Object*, Args& args) -> Value {
        // The first point's own subtract decides, as a script would.
        Object* p1 = Arg(args, 0).asObject();
        Value diff;
        if (!p1 || !a.rt.callMethod(a, p1, QStringLiteral("subtract"), {Arg(args, 1)}, &diff))
            return Value();
        return Get(a, diff, "length");
    });
    ctor->defineNative(rt, QStringLiteral("interpolate"), [&g](Activation& a, Object*, Args& args) -> Value {
        const Value p1 = Arg(args, 0), p2 = Arg(args, 1);
        const double f = NumArg(a, args, 2);
        const double x2 = Num(a, p2, "x"), y2 = Num(a, p2, "y");
        return Value(NewPoint(a, g, Value(x2 + f * (Num(a, p1, "x") - x2)), Value(y2 + f * (Num(a, p1, "y") - y2))));
    });
    ctor->defineNative(rt, QStringLiteral("polar"), [&g](Activation& a, Object*, Args& args) -> Value {
        const double len = NumArg(a, args, 0), angle = NumArg(a, args, 1);
        return Value(NewPoint(a, g, Value(len * std::cos(angle)), Value(len * std::sin(angle))));
    });
}

void InstallRectangle(Geom& g, Object* pkg)
{
    Runtime& rt = g.rt;
    Object* p = g.rectProto;
    auto construct = [&g](Activation& a, Object*, Args& args) -> Value {
        if (args.empty())
            return Value(NewRect(a, g, Value(0), Value(0), Value(0), Value(0)));
        return Value(NewRect(a, g, args[0], Arg(args, 1), Arg(args, 2), Arg(args, 3)));
    };
    g.rectCtor = rt.newClass(QStringLiteral("Rectangle"), CallOrInit(g.rectProto, construct), construct, p);
    pkg->define(QStringLiteral("Rectangle"), Value(g.rectCtor), 0);

    struct Box {
        double x, y, w, h;
    };
    auto box = [](Activation& a, const Value& v) {
        return Box{Num(a, v, "x"), Num(a, v, "y"), Num(a, v, "width"), Num(a, v, "height")};
    };
    auto store = [](Activation& a, Object* o, const Box& b) {
        Put(a, o, "x", Value(b.x));
        Put(a, o, "y", Value(b.y));
        Put(a, o, "width", Value(b.w));
        Put(a, o, "height", Value(b.h));
    };
    auto empty = [](const Box& b) { return !(b.w > 0) || !(b.h > 0); };

    p->defineNative(rt, QStringLiteral("toString"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(Describe(a, self, {{"x", "x"}, {"y", "y"}, {"w", "width"}, {"h", "height"}}));
    });
    p->defineNative(rt, QStringLiteral("clone"), [&g](Activation& a, Object* self, Args&) -> Value {
        const Value s(self);
        return Value(NewRect(a, g, Get(a, s, "x"), Get(a, s, "y"), Get(a, s, "width"), Get(a, s, "height")));
    });
    p->defineNative(rt, QStringLiteral("setEmpty"), [store](Activation& a, Object* self, Args&) -> Value {
        store(a, self, Box{0, 0, 0, 0});
        return Value();
    });
    p->defineNative(rt, QStringLiteral("isEmpty"), [box, empty](Activation& a, Object* self, Args&) -> Value {
        return Value(empty(box(a, Value(self))));
    });
    p->defineNative(rt, QStringLiteral("contains"), [box](Activation& a, Object* self, Args& args) -> Value {
        const Box b = box(a, Value(self));
        const double x = NumArg(a, args, 0), y = NumArg(a, args, 1);
        return Value(x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h);
    });
    p->defineNative(rt, QStringLiteral("containsPoint"), [box](Activation& a, Object* self, Args& args) -> Value {
        const Box b = box(a, Value(self));
        const double x = Num(a, Arg(args, 0), "x"), y = Num(a, Arg(args, 0), "y");
        return Value(x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h);
    });
    p->defineNative(rt, QStringLiteral("containsRectangle"), [box](Activation& a, Object* self, Args& args) -> Value {
        const Box b = box(a, Value(self)), o = box(a, Arg(args, 0));
        return Value(o.x >= b.x && o.y >= b.y && o.x + o.w <= b.x + b.w && o.y + o.h <= b.y + b.h);
    });
    auto intersection = [box, empty](Activation& a, Object* self, const Value& other) {
        const Box b = box(a, Value(self)), o = box(a, other);
        const double x0 = std::max(b.x, o.x), y0 = std::max(b.y, o.y);
        const double x1 = std::min(b.x + b.w, o.x + o.w), y1 = std::min(b.y + b.h, o.y + o.h);
        Box r{x0, y0, x1 - x0, y1 - y0};
        if (empty(r))
            r = Box{0, 0, 0, 0};
        return r;
    };
    p->defineNative(rt, QStringLiteral("intersects"), [intersection, empty](Activation& a, Object* self, Args& args) -> Value {
        return Value(!empty(intersection(a, self, Arg(args, 0))));
    });
    p->defineNative(rt, QStringLiteral("intersection"), [&g, intersection](Activation& a, Object* self, Args& args) -> Value {
        const Box r = intersection(a, self, Arg(args, 0));
        return Value(NewRect(a, g, Value(r.x), Value(r.y), Value(r.w), Value(r.h)));
    });
    p->defineNative(rt, QStringLiteral("union"), [&g, box, empty](Activation& a, Object* self, Args& args) -> Value {
        const Box b = box(a, Value(self)), o = box(a, Arg(args, 0));
        Box r;
        if (empty(b))
            r = o;
        else if (empty(o))
            r = b;
        else {
            const double x0 = std::min(b.x, o.x), y0 = std::min(b.y, o.y);
            r = Box{x0, y0, std::max(b.x + b.w, o.x + o.w) - x0, std::max(b.y + b.h, o.y + o.h) - y0};
        }
        return Value(NewRect(a, g, Value(r.x), Value(r.y), Value(r.w), Value(r.h)));
    });
    auto offset = [box, store](Activation& a, Object* self, double dx, double dy) {
        Box b = box(a, Value(self));
        b.x += dx;
        b.y += dy;
        store(a, self, b);
    };
    auto inflate = [box, store](Activation& a, Object* self, double dx, double dy) {
        Box b = box(a, Value(self));
        b = Box{b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy};
        store(a, self, b);
    };
    p->defineNative(rt, QStringLiteral("offset"), [offset](Activation& a, Object* self, Args& args) -> Value {
        offset(a, self, NumArg(a, args, 0), NumArg(a, args, 1));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("offsetPoint"), [offset](Activation& a, Object* self, Args& args) -> Value {
        offset(a, self, Num(a, Arg(args, 0), "x"), Num(a, Arg(args, 0), "y"));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("inflate"), [inflate](Activation& a, Object* self, Args& args) -> Value {
        inflate(a, self, NumArg(a, args, 0), NumArg(a, args, 1));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("inflatePoint"), [inflate](Activation& a, Object* self, Args& args) -> Value {
        inflate(a, self, Num(a, Arg(args, 0), "x"), Num(a, Arg(args, 0), "y"));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("equals"), [&g, box](Activation& a, Object* self, Args& args) -> Value {
        Object* o = Arg(args, 0).asObject();
        if (!o || !a.rt.instanceOf(a, o, g.rectCtor))
            return Value(false);
        const Box b = box(a, Value(self)), c = box(a, Value(o));
        return Value(b.x == c.x && b.y == c.y && b.w == c.w && b.h == c.h);
    });

    // Edges and corners, read and written through x, y, width and height.
    auto edge = [&rt, p](const char* name, std::function<double(const Box&)> get, std::function<Box(Box, double)> set) {
        Accessor(rt, p, QString::fromLatin1(name),
                 [get](Activation& a, Object* self, Args&) -> Value {
                     const Value s(self);
                     return Value(get(Box{Num(a, s, "x"), Num(a, s, "y"), Num(a, s, "width"), Num(a, s, "height")}));
                 },
                 [set](Activation& a, Object* self, Args& args) -> Value {
                     const Value s(self);
                     const Box b = set(Box{Num(a, s, "x"), Num(a, s, "y"), Num(a, s, "width"), Num(a, s, "height")},
                                       NumArg(a, args, 0));
                     Put(a, self, "x", Value(b.x));
                     Put(a, self, "y", Value(b.y));
                     Put(a, self, "width", Value(b.w));
                     Put(a, self, "height", Value(b.h));
                     return Value();
                 },
                 kDontEnum);
    };
    edge("left", [](const Box& b) { return b.x; }, [](Box b, double v) { b.w += b.x - v; b.x = v; return b; });
    edge("top", [](const Box& b) { return b.y; }, [](Box b, double v) { b.h += b.y - v; b.y = v; return b; });
    edge("right", [](const Box& b) { return b.x + b.w; }, [](Box b, double v) { b.w = v - b.x; return b; });
    edge("bottom", [](const Box& b) { return b.y + b.h; }, [](Box b, double v) { b.h = v - b.y; return b; });
    auto corner = [&rt, &g, p, box, store](const char* name, std::function<std::pair<double, double>(const Box&)> get,
                                           std::function<Box(Box, double, double)> set) {
        Accessor(rt, p, QString::fromLatin1(name),
                 [&g, box, get](Activation& a, Object* self, Args&) -> Value {
                     const auto [x, y] = get(box(a, Value(self)));
                     return Value(NewPoint(a, g, Value(x), Value(y)));
                 },
                 [box, store, set](Activation& a, Object* self, Args& args) -> Value {
                     const Value pt = Arg(args, 0);
                     store(a, self, set(box(a, Value(self)), Num(a, pt, "x"), Num(a, pt, "y")));
                     return Value();
                 },
                 kDontEnum);
    };
    corner("topLeft", [](const Box& b) { return std::pair(b.x, b.y); },
           [](Box b, double x, double y) { b.w += b.x - x; b.h += b.y - y; b.x = x; b.y = y; return b; });
    corner("bottomRight", [](const Box& b) { return std::pair(b.x + b.w, b.y + b.h); },
           [](Box b, double x, double y) { b.w = x - b.x; b.h = y - b.y; return b; });
    corner("size", [](const Box& b) { return std::pair(b.w, b.h); },
           [](Box b, double x, double y) { b.w = x; b.h = y; return b; });
}

struct Mat {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Mat ReadMatrix(Activation& a, const Value& m)
{
    return Mat{Num(a, m, "a"), Num(a, m, "b"), Num(a, m, "c"), Num(a, m, "d"), Num(a, m, "tx"), Num(a, m, "ty")};
}

void WriteMatrix(Activation& a, Object* o, const Mat& m)
{
    Put(a, o, "a", Value(m.a));
    Put(a, o, "b", Value(m.b));
    Put(a, o, "c", Value(m.c));
    Put(a, o, "d", Value(m.d));
    Put(a, o, "tx", Value(m.tx));
    Put(a, o, "ty", Value(m.ty));
}

// m followed by n.
Mat Concat(const Mat& m, const Mat& n)
{
    return Mat{m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d, m.c * n.a + m.d * n.c, m.c * n.b + m.d * n.d,
               m.tx * n.a + m.ty * n.c + n.tx, m.tx * n.b + m.ty * n.d + n.ty};
}

void InstallMatrix(Geom& g, Object* pkg)
{
    Runtime& rt = g.rt;
    Object* p = g.matrixProto;
    auto construct = [&g](Activation& a, Object*, Args& args) -> Value {
        Object* m = a.rt.make<Object>(g.matrixProto);
        if (args.empty()) {
            WriteMatrix(a, m, Mat{});
        } else {
            const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
            for (size_t i = 0; i < 6; ++i)
                Put(a, m, names[i], Arg(args, i));
        }
        return Value(m);
    };
    g.matrixCtor = rt.newClass(QStringLiteral("Matrix"), CallOrInit(g.matrixProto, construct), construct, p);
    pkg->define(QStringLiteral("Matrix"), Value(g.matrixCtor), 0);

    p->defineNative(rt, QStringLiteral("toString"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(Describe(a, self, {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}, {"tx", "tx"}, {"ty", "ty"}}));
    });
    p->defineNative(rt, QStringLiteral("clone"), [&g](Activation& a, Object* self, Args&) -> Value {
        Object* m = a.rt.make<Object>(g.matrixProto);
        for (const char* n : {"a", "b", "c", "d", "tx", "ty"})
            Put(a, m, n, Get(a, Value(self), n));
        return Value(m);
    });
    p->defineNative(rt, QStringLiteral("identity"), [](Activation& a, Object* self, Args&) -> Value {
        WriteMatrix(a, self, Mat{});
        return Value();
    });
    p->defineNative(rt, QStringLiteral("concat"), [](Activation& a, Object* self, Args& args) -> Value {
        WriteMatrix(a, self, Concat(ReadMatrix(a, Value(self)), ReadMatrix(a, Arg(args, 0))));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("invert"), [](Activation& a, Object* self, Args&) -> Value {
        const Mat m = ReadMatrix(a, Value(self));
        const double det = m.a * m.d - m.b * m.c;
        Mat r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
        r.tx = -(r.a * m.tx + r.c * m.ty);
        r.ty = -(r.b * m.tx + r.d * m.ty);
        WriteMatrix(a, self, r);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("rotate"), [](Activation& a, Object* self, Args& args) -> Value {
        const double q = NumArg(a, args, 0);
        const double cs = std::cos(q), sn = std::sin(q);
        WriteMatrix(a, self, Concat(ReadMatrix(a, Value(self)), Mat{cs, sn, -sn, cs, 0, 0}));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("scale"), [](Activation& a, Object* self, Args& args) -> Value {
        const double sx = NumArg(a, args, 0), sy = NumArg(a, args, 1);
        WriteMatrix(a, self, Concat(ReadMatrix(a, Value(self)), Mat{sx, 0, 0, sy, 0, 0}));
        return Value();
    });
    p->defineNative(rt, QStringLiteral("translate"), [](Activation& a, Object* self, Args& args) -> Value {
        Put(a, self, "tx", Value(Num(a, Value(self), "tx") + NumArg(a, args, 0)));
        Put(a, self, "ty", Value(Num(a, Value(self), "ty") + NumArg(a, args, 1)));
        return Value();
    });
    // Omitted offsets are 0; createBox takes an omitted rotation as NaN
    // while createGradientBox takes it as 0.
    auto box = [](Activation& a, Object* self, const Args& args, double sx, double sy, bool gradient) {
        const double q = Arg(args, 2).isUndefined() && gradient ? 0 : NumArg(a, args, 2);
        const double tx = Arg(args, 3).isUndefined() ? 0 : NumArg(a, args, 3);
        const double ty = Arg(args, 4).isUndefined() ? 0 : NumArg(a, args, 4);
        const double cs = std::cos(q), sn = std::sin(q);
        Mat m{sx * cs, sy * sn, -sx * sn, sy * cs, tx, ty};
        if (gradient) {
            m.tx += NumArg(a, args, 0) / 2;
            m.ty += NumArg(a, args, 1) / 2;
        }
        WriteMatrix(a, self, m);
    };
    p->defineNative(rt, QStringLiteral("createBox"), [box](Activation& a, Object* self, Args& args) -> Value {
        box(a, self, args, NumArg(a, args, 0), NumArg(a, args, 1), false);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("createGradientBox"), [box](Activation& a, Object* self, Args& args) -> Value {
        // Gradients are drawn on a square of 1638.4 pixels.
        box(a, self, args, NumArg(a, args, 0) / 1638.4, NumArg(a, args, 1) / 1638.4, true);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("transformPoint"), [&g](Activation& a, Object* self, Args& args) -> Value {
        const Mat m = ReadMatrix(a, Value(self));
        const double x = Num(a, Arg(args, 0), "x"), y = Num(a, Arg(args, 0), "y");
        return Value(NewPoint(a, g, Value(m.a * x + m.c * y + m.tx), Value(m.b * x + m.d * y + m.ty)));
    });
    p->defineNative(rt, QStringLiteral("deltaTransformPoint"), [&g](Activation& a, Object* self, Args& args) -> Value {
        const Mat m = ReadMatrix(a, Value(self));
        const double x = Num(a, Arg(args, 0), "x"), y = Num(a, Arg(args, 0), "y");
        return Value(NewPoint(a, g, Value(m.a * x + m.c * y), Value(m.b * x + m.d * y)));
    });
}

void InstallColorTransform(Geom& g, Object* pkg)
{
    Runtime& rt = g.rt;
    Object* p = g.colorProto;
    auto construct = [&g](Activation& a, Object*, Args& args) -> Value {
        auto* c = a.rt.make<ColorTransformObject>(g.colorProto);
        for (size_t i = 0; i < 8 && i < args.size(); ++i)
            c->v[i] = a.rt.toNumber(a, args[i]);
        return Value(c);
    };
    FunctionObject* ctor = rt.newClass(QStringLiteral("ColorTransform"), CallOrInit(g.colorProto, construct), construct, p);
    pkg->define(QStringLiteral("ColorTransform"), Value(ctor), 0);

    // Listed by for-in, most recent first, as the player lists them.
    const char* names[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                           "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
    for (int i : {3, 0, 1, 2, 7, 4, 5, 6}) {
        Accessor(rt, p, QString::fromLatin1(names[i]),
                 [i](Activation&, Object* self, Args&) -> Value {
                     auto* c = ColorData(self);
                     return c ? Value(c->v[i]) : Value();
                 },
                 [i](Activation& a, Object* self, Args& args) -> Value {
                     if (auto* c = ColorData(self))
                         c->v[i] = NumArg(a, args, 0);
                     return Value();
                 },
                 0);
    }
    Accessor(rt, p, QStringLiteral("rgb"),
             [](Activation&, Object* self, Args&) -> Value {
                 auto* c = ColorData(self);
                 if (!c)
                     return Value();
                 auto part = [](double v) { return uint32_t(ToInt32(v)) & 0xFF; };
                 return Value(double((part(c->v[4]) << 16) | (part(c->v[5]) << 8) | part(c->v[6])));
             },
             [](Activation& a, Object* self, Args& args) -> Value {
                 auto* c = ColorData(self);
                 if (!c)
                     return Value();
                 const uint32_t rgb = ToUint32(NumArg(a, args, 0));
                 c->v[0] = c->v[1] = c->v[2] = 0;
                 c->v[4] = (rgb >> 16) & 0xFF;
                 c->v[5] = (rgb >> 8) & 0xFF;
                 c->v[6] = rgb & 0xFF;
                 return Value();
             },
             0);
    p->defineNative(rt, QStringLiteral("concat"), [](Activation&, Object* self, Args& args) -> Value {
        auto* c = ColorData(self);
        auto* o = ColorData(Arg(args, 0).asObject());
        if (!c || !o)
            return Value();
        for (int i = 0; i < 4; ++i) {
            c->v[4 + i] += c->v[i] * o->v[4 + i];
            c->v[i] *= o->v[i];
        }
        return Value();
    }, 0);
    p->defineNative(rt, QStringLiteral("toString"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(Describe(a, self, {{"redMultiplier", "redMultiplier"}, {"greenMultiplier", "greenMultiplier"},
                                        {"blueMultiplier", "blueMultiplier"}, {"alphaMultiplier", "alphaMultiplier"},
                                        {"redOffset", "redOffset"}, {"greenOffset", "greenOffset"},
                                        {"blueOffset", "blueOffset"}, {"alphaOffset", "alphaOffset"}}));
    }, 0);
}

// A display object's placement as flash.geom objects: reads make new
// Matrix and ColorTransform objects, writes change the object at once.
class TransformObject : public Object {
public:
    explicit TransformObject(Object* proto) : Object(proto) {}
    void trace(Gc& gc) override
    {
        Object::trace(gc);
        gc.mark(clip);
    }
    ClipObject* clip = nullptr;
    swf::DisplayObject* display() const { return clip ? clip->display() : nullptr; }
};

Object* NewMatrix(Activation& a, Geom& g, const Mat& m)
{
    Object* o = a.rt.make<Object>(g.matrixProto);
    WriteMatrix(a, o, m);
    return o;
}

Object* NewColorTransform(Activation& a, Geom& g, const swf::ColorTransform& c)
{
    auto* o = a.rt.make<ColorTransformObject>(g.colorProto);
    const double v[8] = {c.rm, c.gm, c.bm, c.am, c.ra, c.ga, c.ba, c.aa};
    std::copy(std::begin(v), std::end(v), o->v);
    return o;
}

Mat ToPixels(const QTransform& t)
{
    return Mat{t.m11(), t.m12(), t.m21(), t.m22(), t.dx() / 20, t.dy() / 20};
}

void InstallTransform(Geom& g, Object* pkg)
{
    Runtime& rt = g.rt;
    Object* p = g.transformProto;
    auto construct = [&g](Activation& a, Object*, Args& args) -> Value {
        // Without a clip to follow there is no Transform at all.
        Object* o = Arg(args, 0).asObject();
        if (!o || !o->isClip())
            return Value();
        auto* t = a.rt.make<TransformObject>(g.transformProto);
        t->clip = static_cast<ClipObject*>(o);
        return Value(t);
    };
    FunctionObject* ctor = rt.newClass(QStringLiteral("Transform"), construct, construct, p);
    pkg->define(QStringLiteral("Transform"), Value(ctor), 0);

    using Getter = std::function<Value(Activation&, swf::DisplayObject*)>;
    using Setter = std::function<void(Activation&, swf::DisplayObject*, const Value&)>;
    auto property = [&rt, p](const char* name, Getter get, Setter set) {
        Accessor(rt, p, QString::fromLatin1(name),
                 [get](Activation& a, Object* self, Args&) -> Value {
                     auto* t = dynamic_cast<TransformObject*>(self);
                     swf::DisplayObject* d = t ? t->display() : nullptr;
                     return d ? get(a, d) : Value();
                 },
                 [set](Activation& a, Object* self, Args& args) -> Value {
                     auto* t = dynamic_cast<TransformObject*>(self);
                     swf::DisplayObject* d = t ? t->display() : nullptr;
                     if (d && set)
                         set(a, d, Arg(args, 0));
                     return Value();
                 },
                 kDontEnum);
    };
    property("matrix",
             [&g](Activation& a, swf::DisplayObject* d) {
                 const swf::Matrix& m = d->matrix;
                 return Value(NewMatrix(a, g, Mat{m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20}));
             },
             [&g](Activation& a, swf::DisplayObject* d, const Value& v) {
                 Object* o = v.asObject();
                 if (!o || !a.rt.instanceOf(a, o, g.matrixCtor))
                     return;
                 const Mat m = ReadMatrix(a, v);
                 d->matrix = swf::Matrix{m.a, m.b, m.c, m.d, std::round(m.tx * 20), std::round(m.ty * 20)};
             });
    property("colorTransform",
             [&g](Activation& a, swf::DisplayObject* d) { return Value(NewColorTransform(a, g, d->colorTransform)); },
             [](Activation&, swf::DisplayObject* d, const Value& v) {
                 if (auto* c = ColorData(v.asObject()))
                     d->colorTransform = swf::ColorTransform{c->v[0], c->v[1], c->v[2], c->v[3],
                                                             c->v[4], c->v[5], c->v[6], c->v[7]};
             });
    property("concatenatedMatrix",
             [&g](Activation& a, swf::DisplayObject* d) { return Value(NewMatrix(a, g, ToPixels(StageTransform(d)))); },
             nullptr);
    property("concatenatedColorTransform",
             [&g](Activation& a, swf::DisplayObject* d) {
                 swf::ColorTransform c = d->colorTransform;
                 // The player keeps combined offsets in 16 bits.
                 auto wrap = [](double v) {
                     return std::isfinite(v) ? double(int16_t(uint16_t(int64_t(std::floor(v)) & 0xFFFF))) : v;
                 };
                 for (swf::DisplayObject* p = d->parent; p; p = p->parent) {
                     c = p->colorTransform * c;
                     c.ra = wrap(c.ra);
                     c.ga = wrap(c.ga);
                     c.ba = wrap(c.ba);
                     c.aa = wrap(c.aa);
                 }
                 return Value(NewColorTransform(a, g, c));
             },
             nullptr);
    property("pixelBounds",
             [&g](Activation& a, swf::DisplayObject* d) {
                 const QRectF r = StageTransform(d).mapRect(LocalBounds(a.rt.movie(), *d));
                 return Value(NewRect(a, g, Value(r.x() / 20), Value(r.y() / 20), Value(r.width() / 20),
                                      Value(r.height() / 20)));
             },
             nullptr);

    // MovieClip.transform: a new Transform of the clip on every read; a
    // Transform written takes the other clip's matrix and colours.
    Accessor(rt, rt.movieClipProto, QStringLiteral("transform"),
             [&g](Activation& a, Object* self, Args&) -> Value {
                 if (!self || !self->isClip())
                     return Value();
                 auto* t = a.rt.make<TransformObject>(g.transformProto);
                 t->clip = static_cast<ClipObject*>(self);
                 return Value(t);
             },
             [](Activation&, Object* self, Args& args) -> Value {
                 auto* t = dynamic_cast<TransformObject*>(Arg(args, 0).asObject());
                 swf::DisplayObject* from = t ? t->display() : nullptr;
                 swf::DisplayObject* to = self && self->isClip() ? static_cast<ClipObject*>(self)->display() : nullptr;
                 if (from && to) {
                     to->matrix = from->matrix;
                     to->colorTransform = from->colorTransform;
                 }
                 return Value();
             },
             kDontEnum | kVersion8);
}

} // namespace

const double* ColorTransformNumbers(Object* o)
{
    const ColorTransformObject* c = ColorData(o);
    return c ? c->v : nullptr;
}

void InstallGeom(Runtime& rt)
{
    Geom* g = rt.make<Geom>(rt);
    rt.extraRoots.push_back(g);
    g->pointProto = rt.make<Object>(rt.objectProto);
    g->rectProto = rt.make<Object>(rt.objectProto);
    g->matrixProto = rt.make<Object>(rt.objectProto);
    g->colorProto = rt.make<Object>(rt.objectProto);
    g->transformProto = rt.make<Object>(rt.objectProto);
    Object* pkg = GeomPackage(rt);
    InstallPoint(*g, pkg);
    InstallRectangle(*g, pkg);
    InstallMatrix(*g, pkg);
    InstallColorTransform(*g, pkg);
    InstallTransform(*g, pkg);
}

} // namespace plovex::avm1
