// Button: the prototype of button instances.

#include "avm1/globals/globals.h"

namespace plovex::avm1 {

void InstallButton(Runtime& rt)
{
    Object* p = rt.buttonProto;
    rt.newClass(QStringLiteral("Button"), [](Activation&, Object*, Args&) -> Value { return Value(); }, nullptr, p,
                rt.global)->constructor = nullptr;
    p->defineNative(rt, QStringLiteral("getDepth"), [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = rt.displayOf(o);
        return d ? Value(double(d->depth - 16384)) : Value();
    });
    p->define(QStringLiteral("useHandCursor"), Value(true), 0);
    p->define(QStringLiteral("enabled"), Value(true), 0);
}

} // namespace plovex::avm1
