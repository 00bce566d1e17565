// Sound: a script's handle on a clip's sounds.

#include "avm1/globals/globals.h"

namespace plovex::avm1 {

void InstallSound(Runtime& rt)
{
    Object* p = rt.soundProto;
    rt.newClass(QStringLiteral("Sound"), [](Activation&, Object*, Args&) -> Value { return Value(); },
                [&rt, p](Activation&, Object*, Args& args) -> Value {
                    Object* s = rt.make<Object>(p);
                    s->define(QStringLiteral("_target"), Arg(args, 0), kDontEnum);
                    return Value(s);
                },
                p, rt.global);
    // Playback arrives with the mixer; the object keeps its state meanwhile.
    for (const char* name : {"attachSound", "start", "stop", "loadSound", "setPan", "setTransform", "setVolume"})
        p->defineNative(rt, QString::fromLatin1(name), [](Activation&, Object*, Args&) -> Value { return Value(); });
    p->defineNative(rt, QStringLiteral("getVolume"), [](Activation&, Object*, Args&) -> Value { return Value(100.0); });
    p->defineNative(rt, QStringLiteral("getPan"), [](Activation&, Object*, Args&) -> Value { return Value(0.0); });
    p->defineNative(rt, QStringLiteral("getBytesLoaded"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    p->defineNative(rt, QStringLiteral("getBytesTotal"), [](Activation&, Object*, Args&) -> Value { return Value(); });
}

} // namespace plovex::avm1
