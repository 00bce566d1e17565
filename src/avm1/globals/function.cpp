#include "avm1/globals/globals.h"

namespace plovex::avm1 {

void InstallFunction(Runtime& rt)
{
    Object* proto = rt.functionProto;
    FunctionObject* ctor = rt.newClass(
        QStringLiteral("Function"), [](Activation&, Object*, Args& args) -> Value { return Arg(args, 0); },
        [&rt](Activation&, Object*, Args&) -> Value { return Value(rt.newObject()); }, proto, rt.global);
    (void)ctor;
    proto->defineNative(rt, QStringLiteral("call"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        const Value thisv = Arg(args, 0);
        Args rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
        return rt.call(a, Value(self), thisv.isNullish() ? Value(rt.global) : thisv, rest);
    }, kDontEnum | kVersion6);
    proto->defineNative(rt, QStringLiteral("apply"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        const Value thisv = Arg(args, 0);
        Args rest;
        if (Object* list = Arg(args, 1).asObject()) {
            const double n = rt.toNumber(a, list->get(a, QStringLiteral("length")));
            const int count = std::isfinite(n) ? std::clamp(int(n), 0, 1 << 16) : 0;
            for (int i = 0; i < count; ++i)
                rest.push_back(list->get(a, QString::number(i)));
        }
        return rt.call(a, Value(self), thisv.isNullish() ? Value(rt.global) : thisv, rest);
    }, kDontEnum | kVersion6);
}

} // namespace plovex::avm1
