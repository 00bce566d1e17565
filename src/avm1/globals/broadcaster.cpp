#include "avm1/globals/globals.h"

namespace plovex::avm1 {

namespace {

Object* gBroadcasterMethods = nullptr;

} // namespace

void MakeBroadcaster(Runtime& rt, Object* o)
{
    Activation a(rt, rt.version(), nullptr, nullptr, nullptr);
    Object* methods = rt.global->get(a, QStringLiteral("AsBroadcaster")).asObject();
    if (!methods)
        return;
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"})
        o->define(QString::fromLatin1(name), methods->get(a, QString::fromLatin1(name)), kDontEnum);
    o->define(QStringLiteral("_listeners"), Value(rt.newArray()), kDontEnum);
}

void Broadcast(Activation& a, Object* broadcaster, const QString& method, const Args& args)
{
    if (!broadcaster)
        return;
    auto* list = dynamic_cast<ArrayObject*>(broadcaster->get(a, QStringLiteral("_listeners")).asObject());
    if (!list)
        return;
    const std::vector<Value> listeners = list->elems;   // listeners may change while called
    for (const Value& l : listeners)
        if (Object* o = l.asObject())
            a.rt.callMethod(a, o, method, args);
}

void InstallBroadcaster(Runtime& rt)
{
    Object* b = rt.newObject();
    rt.global->define(QStringLiteral("AsBroadcaster"), Value(b), kDontEnum);
    b->defineNative(rt, QStringLiteral("initialize"), [&rt](Activation&, Object*, Args& args) -> Value {
        if (Object* o = Arg(args, 0).asObject())
            MakeBroadcaster(rt, o);
        return Value();
    });
    b->defineNative(rt, QStringLiteral("addListener"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self)
            return Value(false);
        auto* list = dynamic_cast<ArrayObject*>(self->get(a, QStringLiteral("_listeners")).asObject());
        if (!list)
            return Value(false);
        const Value l = Arg(args, 0);
        for (const Value& v : list->elems)
            if (v.asObject() && v.asObject() == l.asObject())
                return Value(true);
        list->push(l);
        (void)rt;
        return Value(true);
    });
    b->defineNative(rt, QStringLiteral("removeListener"), [](Activation& a, Object* self, Args& args) -> Value {
        if (!self)
            return Value(false);
        auto* list = dynamic_cast<ArrayObject*>(self->get(a, QStringLiteral("_listeners")).asObject());
        if (!list)
            return Value(false);
        const Value l = Arg(args, 0);
        for (size_t i = 0; i < list->elems.size(); ++i)
            if (list->elems[i].asObject() && list->elems[i].asObject() == l.asObject()) {
                list->erase(int(i), 1);
                return Value(true);
            }
        return Value(false);
    });
    b->defineNative(rt, QStringLiteral("broadcastMessage"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.empty())
            return Value();
        const QString method = rt.toString(a, args[0]);
        Args rest(args.begin() + 1, args.end());
        Broadcast(a, self, method, rest);
        return Value();
    });
    (void)gBroadcasterMethods;
}

void InstallKey(Runtime& rt)
{
    Object* key = rt.newObject();
    rt.keyObject = key;
    rt.global->define(QStringLiteral("Key"), Value(key), kDontEnum);
    MakeBroadcaster(rt, key);
    const struct { const char* name; int code; } codes[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40}, {"END", 35},
        {"ENTER", 13}, {"ESCAPE", 27}, {"HOME", 36}, {"INSERT", 45}, {"LEFT", 37}, {"PGDN", 34}, {"PGUP", 33},
        {"RIGHT", 39}, {"SHIFT", 16}, {"SPACE", 32}, {"TAB", 9}, {"UP", 38}, {"ALT", 18}};
    for (const auto& c : codes)
        key->define(QString::fromLatin1(c.name), Value(double(c.code)), kDontEnum | kDontDelete | kReadOnly);
    key->defineNative(rt, QStringLiteral("isDown"), [&rt](Activation& a, Object*, Args& args) -> Value {
        const int c = ToInt32(rt.toNumber(a, Arg(args, 0)));
        return Value(c >= 0 && c < 256 && rt.keysDown[c]);
    });
    key->defineNative(rt, QStringLiteral("isToggled"), [](Activation&, Object*, Args&) -> Value { return Value(false); });
    key->defineNative(rt, QStringLiteral("getCode"), [&rt](Activation&, Object*, Args&) -> Value {
        return Value(double(rt.lastKeyCode));
    });
    key->defineNative(rt, QStringLiteral("getAscii"), [&rt](Activation&, Object*, Args&) -> Value {
        return Value(double(rt.lastAscii));
    });
}

void InstallMouse(Runtime& rt)
{
    Object* mouse = rt.newObject();
    rt.mouseObject = mouse;
    rt.global->define(QStringLiteral("Mouse"), Value(mouse), kDontEnum);
    MakeBroadcaster(rt, mouse);
    mouse->defineNative(rt, QStringLiteral("hide"), [&rt](Activation&, Object*, Args&) -> Value {
        const bool was = !rt.mouseHidden;
        rt.mouseHidden = true;
        return Value(was ? 1.0 : 0.0);
    });
    mouse->defineNative(rt, QStringLiteral("show"), [&rt](Activation&, Object*, Args&) -> Value {
        const bool was = !rt.mouseHidden;
        rt.mouseHidden = false;
        return Value(was ? 1.0 : 0.0);
    });
}

void InstallStage(Runtime& rt)
{
    Object* stage = rt.newObject();
    rt.stageObject = stage;
    rt.global->define(QStringLiteral("Stage"), Value(stage), kDontEnum);
    MakeBroadcaster(rt, stage);
    const QRectF r = rt.movie().info.stageRect;
    auto getter = [&rt](std::function<Value()> f) { return rt.newNative([f](Activation&, Object*, Args&) { return f(); }); };
    auto prop = [&](const char* name, std::function<Value()> f, Object* setter = nullptr) {
        Property& p = stage->props().insert(QString::fromLatin1(name), true);
        p.getter = getter(std::move(f));
        p.setter = setter;
        p.flags = kDontEnum | kDontDelete;
    };
    prop("width", [r] { return Value(std::round(r.width())); });
    prop("height", [r] { return Value(std::round(r.height())); });
    prop("scaleMode", [&rt] { return Value(rt.stageScaleMode); },
         rt.newNative([&rt](Activation& a, Object*, Args& args) -> Value {
             const QString m = rt.toString(a, Arg(args, 0));
             for (const char* s : {"showAll", "noBorder", "exactFit", "noScale"})
                 if (m.compare(QLatin1String(s), Qt::CaseInsensitive) == 0)
                     rt.stageScaleMode = QString::fromLatin1(s);
             return Value();
         }));
    prop("align", [&rt] { return Value(rt.stageAlign); },
         rt.newNative([&rt](Activation& a, Object*, Args& args) -> Value {
             // Kept as the letters L, T, R, B in that order.
             const QString given = rt.toString(a, Arg(args, 0)).toUpper();
             rt.stageAlign.clear();
             for (QChar c : QStringLiteral("LTRB"))
                 if (given.contains(c))
                     rt.stageAlign += c;
             return Value();
         }));
    prop("showMenu", [] { return Value(true); });
    prop("displayState", [] { return Value(QStringLiteral("normal")); });
}

void InstallSystem(Runtime& rt)
{
    Object* system = rt.newObject();
    rt.global->define(QStringLiteral("System"), Value(system), kDontEnum);
    Object* caps = rt.newObject();
    system->define(QStringLiteral("capabilities"), Value(caps), kDontEnum);
    Object* security = rt.newObject();
    system->define(QStringLiteral("security"), Value(security), kDontEnum);
    security->defineNative(rt, QStringLiteral("allowDomain"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    security->defineNative(rt, QStringLiteral("allowInsecureDomain"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    security->defineNative(rt, QStringLiteral("loadPolicyFile"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    // A movie opened from a disk: which of the two local sandboxes it asked
    // for decides whether it may reach the network or other local files.
    security->define(QStringLiteral("sandboxType"),
                     Value(rt.movie().useNetwork ? QStringLiteral("localWithNetwork") : QStringLiteral("localWithFile")),
                     kDontEnum);
    system->define(QStringLiteral("useCodepage"), Value(false), 0);
    system->defineNative(rt, QStringLiteral("setClipboard"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    system->defineNative(rt, QStringLiteral("showSettings"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    const struct { const char* name; Value v; } values[] = {
        {"avHardwareDisable", Value(false)}, {"hasAccessibility", Value(true)}, {"hasAudio", Value(true)},
        {"hasAudioEncoder", Value(true)}, {"hasEmbeddedVideo", Value(true)}, {"hasMP3", Value(true)},
        {"hasPrinting", Value(true)}, {"hasScreenBroadcast", Value(false)}, {"hasScreenPlayback", Value(false)},
        {"hasStreamingAudio", Value(true)}, {"hasStreamingVideo", Value(true)}, {"hasVideoEncoder", Value(true)},
        {"isDebugger", Value(false)}, {"language", Value(QStringLiteral("zh-CN"))},
        {"localFileReadDisable", Value(false)}, {"manufacturer", Value(QStringLiteral("Adobe Linux"))},
        {"os", Value(QStringLiteral("Linux"))}, {"pixelAspectRatio", Value(1.0)}, {"playerType", Value(QStringLiteral("StandAlone"))},
        {"screenColor", Value(QStringLiteral("color"))}, {"screenDPI", Value(72.0)},
        {"screenResolutionX", Value(1920.0)}, {"screenResolutionY", Value(1080.0)},
        {"version", Value(QStringLiteral("LNX 10,0,2,0"))}, {"hasIME", Value(true)}, {"hasTLS", Value(true)},
    };
    for (const auto& v : values)
        caps->define(QString::fromLatin1(v.name), v.v, kDontDelete | kReadOnly);
}

} // namespace plovex::avm1
