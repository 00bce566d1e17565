// Color: a clip's colour transform as a colour and an offset table.

#include "avm1/globals/globals.h"

namespace plovex::avm1 {

void InstallColor(Runtime& rt)
{
    Object* p = rt.colorProto;
    rt.newClass(QStringLiteral("Color"), [](Activation&, Object*, Args&) -> Value { return Value(); },
                [&rt, p](Activation& a, Object*, Args& args) -> Value {
                    Object* c = rt.make<Object>(p);
                    c->define(QStringLiteral("target"), Arg(args, 0), kDontEnum);
                    (void)a;
                    return Value(c);
                },
                p, rt.global);
    auto target = [&rt](Activation& a, Object* self) -> swf::DisplayObject* {
        if (!self) return nullptr;
        const Value t = self->get(a, QStringLiteral("target"));
        if (t.isObject()) return rt.displayOf(t.asObject());
        return rt.resolveTarget(a, rt.toString(a, t), rt.displayOf(a.target));
    };
    p->defineNative(rt, QStringLiteral("setRGB"), [&rt, target](Activation& a, Object* self, Args& args) -> Value {
        if (auto* d = target(a, self)) {
            const uint32_t c = ToUint32(rt.toNumber(a, Arg(args, 0)));
            auto& cx = d->colorTransform;
            cx.rm = cx.gm = cx.bm = 0;
            cx.ra = (c >> 16) & 255;
            cx.ga = (c >> 8) & 255;
            cx.ba = c & 255;
        }
        return Value();
    });
    p->defineNative(rt, QStringLiteral("getRGB"), [target](Activation& a, Object* self, Args&) -> Value {
        if (auto* d = target(a, self)) {
            const auto& cx = d->colorTransform;
            return Value(double((int(cx.ra) << 16) | (int(cx.ga) << 8) | int(cx.ba)));
        }
        return Value();
    });
    p->defineNative(rt, QStringLiteral("setTransform"), [&rt, target](Activation& a, Object* self, Args& args) -> Value {
        auto* d = target(a, self);
        Object* t = Arg(args, 0).asObject();
        if (!d || !t) return Value();
        auto& cx = d->colorTransform;
        auto field = [&](const char* n, double& out, double scale) {
            if (t->hasProperty(a, QString::fromLatin1(n))) out = rt.toNumber(a, t->get(a, QString::fromLatin1(n))) * scale;
        };
        field("ra", cx.rm, 0.01); field("ga", cx.gm, 0.01); field("ba", cx.bm, 0.01); field("aa", cx.am, 0.01);
        field("rb", cx.ra, 1); field("gb", cx.ga, 1); field("bb", cx.ba, 1); field("ab", cx.aa, 1);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("getTransform"), [&rt, target](Activation& a, Object* self, Args&) -> Value {
        auto* d = target(a, self);
        if (!d) return Value();
        const auto& cx = d->colorTransform;
        Object* o = rt.newObject();
        o->set(a, QStringLiteral("ra"), Value(cx.rm * 100)); o->set(a, QStringLiteral("rb"), Value(cx.ra));
        o->set(a, QStringLiteral("ga"), Value(cx.gm * 100)); o->set(a, QStringLiteral("gb"), Value(cx.ga));
        o->set(a, QStringLiteral("ba"), Value(cx.bm * 100)); o->set(a, QStringLiteral("bb"), Value(cx.ba));
        o->set(a, QStringLiteral("aa"), Value(cx.am * 100)); o->set(a, QStringLiteral("ab"), Value(cx.aa));
        return Value(o);
    });
}

} // namespace plovex::avm1
