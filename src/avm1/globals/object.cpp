#include "avm1/globals/globals.h"

namespace plovex::avm1 {

void InstallObject(Runtime& rt)
{
    Object* proto = rt.objectProto;
    rt.objectCtor = rt.newClass(
        QStringLiteral("Object"),
        [&rt](Activation& a, Object*, Args& args) -> Value {
            const Value v = Arg(args, 0);
            if (v.isNullish())
                return Value(rt.newObject());
            return Value(rt.toObject(a, v));
        },
        [&rt](Activation& a, Object*, Args& args) -> Value {
            const Value v = Arg(args, 0);
            if (v.isNullish())
                return Value(rt.newObject());
            return Value(rt.toObject(a, v));
        },
        proto, rt.global);

    proto->defineNative(rt, QStringLiteral("toString"), [&rt](Activation& a, Object* self, Args&) -> Value {
        if (self && self->hasPrimitive)
            return Value(rt.toString(a, self->primitive));
        if (self && self->isFunction())
            return Value(QStringLiteral("[type Function]"));
        if (self && self->isClip())
            return Value(rt.toString(a, Value(self)));
        return Value(QStringLiteral("[object Object]"));
    });
    proto->defineNative(rt, QStringLiteral("toLocaleString"), [&rt](Activation& a, Object* self, Args&) -> Value {
        Value r;
        if (rt.callMethod(a, self, QStringLiteral("toString"), {}, &r))
            return r;
        return Value(QStringLiteral("[object Object]"));
    });
    proto->defineNative(rt, QStringLiteral("valueOf"), [](Activation&, Object* self, Args&) -> Value {
        if (self && self->hasPrimitive)
            return self->primitive;
        return Value(self);
    });
    proto->defineNative(rt, QStringLiteral("hasOwnProperty"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.empty())
            return Value(false);
        return Value(self->hasOwnProperty(a, rt.toString(a, args[0])));
    }, kDontEnum | kVersion6);
    proto->defineNative(rt, QStringLiteral("isPropertyEnumerable"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.empty())
            return Value(false);
        const Property* p = self->props().find(rt.toString(a, args[0]), a.caseSensitive());
        return Value(p && !(p->flags & kDontEnum));
    }, kDontEnum | kVersion6);
    proto->defineNative(rt, QStringLiteral("isPrototypeOf"), [](Activation&, Object* self, Args& args) -> Value {
        Object* o = Arg(args, 0).asObject();
        int guard = 0;
        for (Object* p = o ? o->proto() : nullptr; p && ++guard < 256; p = p->proto())
            if (p == self)
                return Value(true);
        return Value(false);
    }, kDontEnum | kVersion6);
    proto->defineNative(rt, QStringLiteral("addProperty"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.size() < 2)
            return Value(false);
        const QString name = rt.toString(a, args[0]);
        Object* getter = args[1].asObject();
        Object* setter = Arg(args, 2).asObject();
        if (name.isEmpty() || !getter || !getter->isFunction())
            return Value(false);
        // The setter is a function or null; a missing one refuses the call.
        if (setter ? !setter->isFunction() : !Arg(args, 2).isNull())
            return Value(false);
        Property& p = self->props().insert(name, a.caseSensitive());
        p.getter = getter;
        p.setter = setter;
        p.value = Value();
        return Value(true);
    });
    proto->defineNative(rt, QStringLiteral("watch"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.size() < 2 || !args[1].isObject() || !args[1].asObject()->isFunction())
            return Value(false);
        self->watches.insert(rt.toString(a, args[0]), Object::Watch{args[1].asObject(), Arg(args, 2)});
        return Value(true);
    });
    proto->defineNative(rt, QStringLiteral("unwatch"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.empty())
            return Value(false);
        return Value(self->watches.remove(rt.toString(a, args[0])) > 0);
    });

    auto* ctor = rt.objectCtor;
    ctor->defineNative(rt, QStringLiteral("registerClass"), [&rt](Activation& a, Object*, Args& args) -> Value {
        if (args.size() < 2)
            return Value(false);
        const QString name = rt.toString(a, args[0]);
        if (Object* c = args[1].asObject())
            rt.registeredClasses.insert(name, c);
        else
            rt.registeredClasses.remove(name);
        return Value(true);
    });

    // ASSetPropFlags(object, names, set, clear)
    rt.global->defineNative(rt, QStringLiteral("ASSetPropFlags"), [&rt](Activation& a, Object*, Args& args) -> Value {
        Object* o = Arg(args, 0).asObject();
        if (!o)
            return Value();
        const Value names = Arg(args, 1);
        const uint16_t setFlags = uint16_t(ToInt32(rt.toNumber(a, Arg(args, 2))));
        const uint16_t clearFlags = args.size() > 3 ? uint16_t(ToInt32(rt.toNumber(a, args[3]))) : 0;
        std::vector<QString> list;
        if (names.isNull()) {
            for (const Property& p : o->props().all())
                list.push_back(p.name);
        } else if (auto* arr = dynamic_cast<ArrayObject*>(names.asObject())) {
            for (const Value& v : arr->elems)
                list.push_back(rt.toString(a, v));
        } else {
            list = [&] {
                std::vector<QString> l;
                for (const QString& s : rt.toString(a, names).split(QLatin1Char(',')))
                    l.push_back(s);
                return l;
            }();
        }
        for (const QString& n : list)
            if (Property* p = o->props().find(n, a.caseSensitive()))
                p->flags = uint16_t((p->flags & ~clearFlags) | setFlags);
        return Value();
    });
}

} // namespace plovex::avm1
