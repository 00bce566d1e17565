// Sound: a script's handle on sounds. A Sound made on a clip starts its
// sounds as that clip's and sets that clip's sound transform (which its
// frames' sounds and the clips inside it are heard through); a Sound of no
// clip sets the transform every sound is heard through last.

#include "avm1/globals/globals.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace plovex::avm1 {

namespace {

constexpr double kOutputRate = 44100;   // the sound engine's frames a second

class SoundObject final : public Object {
public:
    using Object::Object;
    // The clip the Sound was made on, if any, as it was given (a clip or a
    // path): a Sound finds its clip each time, so a path names whichever
    // clip is there then.
    std::optional<Value> owner;
    int soundId = 0;          // the attached or loaded sound; 0: none
    bool loading = false;
    bool streaming = false;   // loaded with isStreaming: one instance at a time
    struct Play {
        double offset = 0;
        int loops = 1;
    };
    std::vector<Play> queued;   // start() calls while loading
    quint64 handle = 0;         // the instance last started
    double position = 0;        // ms into the sound, as last heard
    std::optional<double> duration;   // ms
    double bytesLoaded = 0;
    std::optional<double> bytesTotal;

    void trace(Gc& gc) override
    {
        Object::trace(gc);
        if (owner)
            gc.mark(*owner);
    }
};

SoundObject* AsSound(Object* o)
{
    return dynamic_cast<SoundObject*>(o);
}

// A number as the Flash Player turns it into a volume or pan: whole
// numbers in range keep their integer part; anything else (out of range,
// NaN) is the smallest integer.
int ClampToInt32(double v)
{
    if (!(v >= double(std::numeric_limits<int>::min()) && v <= double(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::min();
    return int(v);
}

double Milliseconds(qint64 frames)
{
    return std::round(double(frames) * 1000.0 / kOutputRate);
}

// What a Sound acts on: its clip, or (no clip) every sound. `missing`: a
// Sound made on a clip that is no longer at its path, which does nothing.
struct Target {
    swf::DisplayObject* clip = nullptr;
    bool missing = false;
};

Target TargetOf(Activation& a, const SoundObject& s)
{
    Target t;
    if (s.owner) {
        Runtime& rt = a.rt;
        t.clip = s.owner->isObject() ? rt.displayOf(s.owner->asObject())
                                     : rt.resolveTarget(a, rt.toString(a, *s.owner), rt.displayOf(a.target));
        t.missing = t.clip == nullptr;
    }
    return t;
}

swf::SoundTransform& TransformOf(Runtime& rt, const Target& t)
{
    return t.clip ? rt.clipSoundTransforms[rt.timelineIdOf(t.clip)] : rt.globalSoundTransform;
}

void SetTransform(Runtime& rt, const Target& target, const swf::SoundTransform& t)
{
    TransformOf(rt, target) = t;
    if (target.clip)
        rt.syncSoundTransform(target.clip, true);
    else if (rt.audio)
        rt.audio->setSoundTransform(std::nullopt, t);
}

// Where the Sound's sound is, brought up to date from the sound engine.
void UpdatePosition(Runtime& rt, SoundObject& s)
{
    if (!rt.audio || s.handle == 0)
        return;
    const qint64 at = rt.audio->soundPosition(s.handle);
    if (at >= 0)
        s.position = Milliseconds(at);
}

// A Sound with a sound gets `position` and `duration` as properties of its
// own (read-only, not listed), as the Flash Player gives them.
void DefineSoundProperties(Activation& a, SoundObject* s)
{
    Runtime& rt = a.rt;
    const auto getter = [&](const QString& name, NativeFunction fn) {
        if (s->hasProperty(a, name))
            return;
        Property& p = s->props().insert(name, a.caseSensitive());
        p.getter = rt.newNative(std::move(fn));
        p.value = Value();
        p.flags = kDontEnum | kDontDelete;
    };
    getter(QStringLiteral("position"), [](Activation& a, Object* self, Args&) -> Value {
        SoundObject* s = AsSound(self);
        if (!s || s->soundId == 0)
            return Value();
        UpdatePosition(a.rt, *s);
        return Value(s->position);
    });
    getter(QStringLiteral("duration"), [](Activation&, Object* self, Args&) -> Value {
        SoundObject* s = AsSound(self);
        return s && s->duration ? Value(*s->duration) : Value();
    });
}

void Start(Activation& a, SoundObject* s, double offset, int loops)
{
    Runtime& rt = a.rt;
    if (s->loading) {
        s->queued.push_back({offset, loops});
        return;
    }
    const Target target = TargetOf(a, *s);
    if (s->soundId == 0 || !rt.audio || target.missing)
        return;
    if (s->streaming) {
        // A streamed sound plays once at a time.
        swf::SoundStart stop;
        stop.soundId = s->soundId;
        stop.info.syncStop = true;
        rt.audio->startSound(stop);
    }
    swf::ScriptSound sound;
    sound.soundId = s->soundId;
    if (target.clip)
        sound.owner = rt.timelineIdOf(target.clip);
    sound.inPoint = offset > 0 ? qint64(std::min(offset * kOutputRate, double(std::numeric_limits<quint32>::max()))) : 0;
    sound.loops = loops;
    if (target.clip)
        rt.syncSoundTransform(target.clip, false);
    if (const quint64 handle = rt.audio->startScriptSound(sound)) {
        s->handle = handle;
        s->position = Milliseconds(sound.inPoint);
        rt.playingSounds[handle] = s;
    }
}

// The MP3 file a Sound loads, at most this large (an hour of the
// richest MP3).
constexpr qint64 kMaxLoadedSoundBytes = 320 * 1000 / 8 * 3600;

void Arrive(Activation& a, SoundObject* s, const std::shared_ptr<const QByteArray>& file)
{
    Runtime& rt = a.rt;
    s->loading = false;
    std::vector<SoundObject::Play> queued = std::exchange(s->queued, {});
    qint64 length = -1;
    int id = 0;
    if (file && rt.audio) {
        id = --rt.lastLoadedSoundId;
        rt.audio->addLoadedSound(id, file);
        length = rt.audio->soundLength(id);
    }
    if (!file || (rt.audio && length < 0)) {
        rt.callMethod(a, s, QStringLiteral("onLoad"), {Value(false)});
        return;
    }
    s->soundId = id;
    s->bytesLoaded = double(file->size());
    s->bytesTotal = double(file->size());
    s->duration = length >= 0 ? std::optional<double>(Milliseconds(length)) : std::nullopt;
    s->position = 0;
    DefineSoundProperties(a, s);
    for (const SoundObject::Play& p : queued)
        Start(a, s, p.offset, p.loops);
    // A streamed sound plays as soon as it arrives.
    if (s->streaming && queued.empty())
        Start(a, s, 0, 1);
    rt.callMethod(a, s, QStringLiteral("onLoad"), {Value(true)});
}

} // namespace

void InstallSound(Runtime& rt)
{
    Object* p = rt.soundProto;
    rt.newClass(QStringLiteral("Sound"), [](Activation&, Object*, Args&) -> Value { return Value(); },
                [&rt, p](Activation&, Object*, Args& args) -> Value {
                    auto* s = rt.make<SoundObject>(p);
                    // The clip whose sounds this Sound controls; none: the
                    // Sound of all sounds.
                    if (!args.empty() && !args[0].isNullish())
                        s->owner = args[0];
                    return Value(static_cast<Object*>(s));
                },
                p, rt.global);
    constexpr uint16_t kMethod = kDontEnum | kDontDelete | kReadOnly;
    // Methods act on a Sound whose clip (if it has one) is there.
    using Method = std::function<Value(Activation&, SoundObject*, const Target&, Args&)>;
    const auto method = [&rt, p](const char* name, uint16_t flags, Method fn) {
        p->defineNative(rt, QString::fromLatin1(name),
                        [fn = std::move(fn)](Activation& a, Object* self, Args& args) -> Value {
                            SoundObject* s = AsSound(self);
                            if (!s)
                                return Value();
                            const Target t = TargetOf(a, *s);
                            return t.missing ? Value() : fn(a, s, t, args);
                        },
                        flags);
    };
    method("getPan", kMethod, [](Activation& a, SoundObject*, const Target& target, Args&) -> Value {
        return Value(TransformOf(a.rt, target).pan());
    });
    method("getTransform", kMethod, [](Activation& a, SoundObject*, const Target& target, Args&) -> Value {
        const swf::SoundTransform t = TransformOf(a.rt, target);
        Object* o = a.rt.newObject();
        // "lr" is how much of the right channel the left speaker plays,
        // "rl" how much of the left the right one plays.
        o->set(a, QStringLiteral("ll"), Value(t.leftToLeft));
        o->set(a, QStringLiteral("lr"), Value(t.rightToLeft));
        o->set(a, QStringLiteral("rl"), Value(t.leftToRight));
        o->set(a, QStringLiteral("rr"), Value(t.rightToRight));
        return Value(o);
    });
    method("getVolume", kMethod, [](Activation& a, SoundObject*, const Target& target, Args&) -> Value {
        return Value(TransformOf(a.rt, target).volume);
    });
    method("setPan", kMethod, [](Activation& a, SoundObject*, const Target& target, Args& args) -> Value {
        swf::SoundTransform t = TransformOf(a.rt, target);
        t.setPan(ClampToInt32(args.empty() ? 0.0 : a.rt.toNumber(a, args[0])));
        SetTransform(a.rt, target, t);
        return Value();
    });
    method("setTransform", kMethod, [](Activation& a, SoundObject*, const Target& target, Args& args) -> Value {
        Object* o = Arg(args, 0).isObject() ? Arg(args, 0).asObject() : nullptr;
        swf::SoundTransform t = TransformOf(a.rt, target);
        // Only the object's own fields count, not its prototype's.
        const auto field = [&](const char* name, int& out) {
            const QString n = QString::fromLatin1(name);
            if (o && o->hasOwnProperty(a, n))
                out = ToInt32(a.rt.toNumber(a, o->get(a, n)));
        };
        field("ll", t.leftToLeft);
        field("rl", t.leftToRight);
        field("lr", t.rightToLeft);
        field("rr", t.rightToRight);
        SetTransform(a.rt, target, t);
        return Value();
    });
    method("setVolume", kMethod, [](Activation& a, SoundObject*, const Target& target, Args& args) -> Value {
        swf::SoundTransform t = TransformOf(a.rt, target);
        t.volume = ClampToInt32(args.empty() ? 0.0 : a.rt.toNumber(a, args[0]));
        SetTransform(a.rt, target, t);
        return Value();
    });
    method("stop", kMethod, [](Activation& a, SoundObject* s, const Target& target, Args& args) -> Value {
        Runtime& rt = a.rt;
        if (!args.empty()) {
            // Every instance of the sound exported under that name.
            const int id = rt.exportedCharacter(rt.toString(a, args[0]));
            if (id != 0 && rt.movie().get<swf::SoundCharacter>(id) && rt.audio) {
                swf::SoundStart stop;
                stop.soundId = id;
                stop.info.syncStop = true;
                rt.audio->startSound(stop);
            }
        } else if (target.clip) {
            // Every sound of the clip.
            if (rt.audio)
                rt.audio->stopOwnerSounds(rt.timelineIdOf(target.clip));
            s->handle = 0;
        } else if (rt.stopSounds) {
            // A Sound of no clip stops everything.
            rt.stopSounds();
        }
        return Value();
    });
    method("attachSound", kMethod, [](Activation& a, SoundObject* s, const Target&, Args& args) -> Value {
        Runtime& rt = a.rt;
        const int id = rt.exportedCharacter(rt.toString(a, Arg(args, 0)));
        const auto* sound = id != 0 ? rt.movie().get<swf::SoundCharacter>(id) : nullptr;
        if (!sound)
            return Value();
        s->soundId = id;
        s->loading = false;
        s->queued.clear();
        s->streaming = false;
        const int rate = swf::SoundSampleRate(sound->format, sound->rate);
        s->duration = std::round(double(sound->sampleCount) * 1000.0 / rate);
        s->position = 0;
        DefineSoundProperties(a, s);
        return Value();
    });
    method("start", kMethod, [](Activation& a, SoundObject* s, const Target&, Args& args) -> Value {
        const double offset = args.size() > 0 ? a.rt.toNumber(a, args[0]) : 0.0;
        const double loops = args.size() > 1 ? a.rt.toNumber(a, args[1]) : 1.0;
        // Loops count as a 16-bit number, at least one.
        const int n = std::isnan(loops) ? 1 : int(std::clamp(loops, 1.0, 65535.0));
        Start(a, s, std::isnan(offset) ? 0.0 : offset, n);
        return Value();
    });
    constexpr uint16_t kMethod6 = kMethod | kVersion6;
    method("getDuration", kMethod6, [](Activation&, SoundObject* s, const Target&, Args&) -> Value {
        return s->duration ? Value(*s->duration) : Value();
    });
    method("setDuration", kMethod6, [](Activation&, SoundObject*, const Target&, Args&) -> Value { return Value(); });
    method("getPosition", kMethod6, [](Activation& a, SoundObject* s, const Target&, Args&) -> Value {
        if (s->soundId == 0)
            return Value();
        UpdatePosition(a.rt, *s);
        return Value(s->position);
    });
    method("setPosition", kMethod6, [](Activation&, SoundObject*, const Target&, Args&) -> Value { return Value(); });
    method("loadSound", kMethod6, [](Activation& a, SoundObject* s, const Target&, Args& args) -> Value {
        Runtime& rt = a.rt;
        if (args.empty())
            return Value();
        const QString url = rt.toString(a, args[0]);
        s->streaming = rt.toBool(Arg(args, 1), a.version);
        if (s->streaming && s->handle != 0 && s->soundId != 0 && rt.audio) {
            swf::SoundStart stop;
            stop.soundId = s->soundId;
            stop.info.syncStop = true;
            rt.audio->startSound(stop);
        }
        s->loading = true;
        s->queued.clear();
        // Only a local file is read; it arrives at the next timers' turn.
        std::shared_ptr<const QByteArray> file;
        const QString path = rt.localFileOf(url);
        if (!path.isEmpty() && QFileInfo(path).isFile() && QFileInfo(path).size() <= kMaxLoadedSoundBytes) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                file = std::make_shared<const QByteArray>(f.read(kMaxLoadedSoundBytes));
        }
        rt.deliverLater(s, [s, file](Activation& a, Object*, Args&) -> Value {
            Arrive(a, s, file);
            return Value();
        });
        return Value();
    });
    method("getBytesLoaded", kMethod6, [](Activation&, SoundObject* s, const Target&, Args&) -> Value {
        return Value(s->bytesLoaded);
    });
    method("getBytesTotal", kMethod6, [](Activation&, SoundObject* s, const Target&, Args&) -> Value {
        return s->bytesTotal ? Value(*s->bytesTotal) : Value();
    });
}

} // namespace plovex::avm1
