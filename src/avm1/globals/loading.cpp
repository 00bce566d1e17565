// Loading from files beside the movie: loadVariables and loadMovie (the
// actions and the clip methods), LoadVars and MovieClipLoader. The player
// reaches no network: an address is read only when it names a local file
// (see Runtime::localFileOf), and what is read arrives at the next timers'
// turn, as a download would.
//
// Other movies are not loaded into this one yet: a load of a movie that
// exists is reported as a warning and, to a MovieClipLoader's listeners, as
// a load that never completed.

#include "avm1/globals/globals.h"

#include <QFile>
#include <QFileInfo>

namespace plovex::avm1 {

Value LoadText(Runtime& rt, const QString& url, double& bytes)
{
    const QString path = rt.localFileOf(url);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return Value();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > Runtime::kMaxStringLength)
        return Value();
    QByteArray raw = f.readAll();
    bytes = double(raw.size());
    if (raw.startsWith("\xEF\xBB\xBF"))
        raw.remove(0, 3);
    return Value(QString::fromUtf8(raw));
}

void DeliverText(Runtime& rt, Object* target, const Value& text, double bytes)
{
    // On arrival the byte counts are set, then onData has the text.
    rt.deliverLater(target, [target, text, bytes](Activation& a, Object*, Args&) -> Value {
        if (text.isString()) {
            target->define(QStringLiteral("_bytesLoaded"), Value(bytes), kDontEnum);
            target->define(QStringLiteral("_bytesTotal"), Value(bytes), kDontEnum);
        }
        a.rt.callMethod(a, target, QStringLiteral("onData"), {text});
        return Value();
    });
}

void DecodeVariables(Activation& a, Object* target, const QString& text)
{
    for (const QString& pair : text.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        QString name = eq < 0 ? pair : pair.left(eq);
        QString value = eq < 0 ? QString() : pair.mid(eq + 1);
        name.replace(QLatin1Char('+'), QLatin1Char(' '));
        value.replace(QLatin1Char('+'), QLatin1Char(' '));
        target->set(a, Unescape(name, a.version), Value(Unescape(value, a.version)));
    }
}

namespace {

// A movie file that a load names, if it is there to read.
bool MovieFileExists(Runtime& rt, const QString& url)
{
    const QString path = rt.localFileOf(url);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void WarnUnloadedMovie(Runtime& rt, const QString& url)
{
    if (rt.warningOutput)
        rt.warningOutput(QStringLiteral("Loading another movie is not supported yet: %1").arg(url));
}

// "_levelN" as a level number, or -1.
int LevelNumber(const QString& target)
{
    if (!target.startsWith(QLatin1String("_level"), Qt::CaseInsensitive))
        return -1;
    bool ok = false;
    const int n = target.mid(6).toInt(&ok);
    return ok && n >= 0 ? n : -1;
}

swf::DisplayObject* LoadTarget(Runtime& rt, Activation& a, const QString& target)
{
    const int level = LevelNumber(target);
    if (level >= 0)
        return rt.levelClip(level);
    return rt.resolveTarget(a, target, rt.displayOf(a.target));
}

// What a MovieClipLoader method is given as its target: a clip, a level
// number or a path.
swf::DisplayObject* LoaderTarget(Runtime& rt, Activation& a, const Value& v)
{
    if (Object* o = v.asObject())
        return rt.displayOf(o);
    if (v.isNumber())
        return rt.levelClip(ToInt32(v.asNumber()));
    return LoadTarget(rt, a, rt.toString(a, v));
}

void Unload(swf::DisplayObject* d)
{
    d->children.clear();
    d->playing = false;
}

} // namespace

void LoadInto(Runtime& rt, Activation& a, const QString& url, const QString& target, LoadKind kind)
{
    swf::DisplayObject* d = LoadTarget(rt, a, target);
    if (kind == LoadKind::Variables) {
        if (!d)
            return;
        double bytes = 0;
        const Value text = LoadText(rt, url, bytes);
        if (!text.isString())
            return;
        ClipObject* clip = rt.clipObject(d);
        rt.deliverLater(clip, [clip, text](Activation& act, Object*, Args&) -> Value {
            if (clip->display())
                DecodeVariables(act, clip, text.asString());
            return Value();
        });
        return;
    }
    if (url.isEmpty()) {
        if (d)
            Unload(d);
        return;
    }
    if (MovieFileExists(rt, url))
        WarnUnloadedMovie(rt, url);
}

void InstallLoading(Runtime& rt)
{
    // LoadVars: name=value pairs read from a file, and written back out.
    Object* lp = rt.newObject();
    rt.newClass(QStringLiteral("LoadVars"), [](Activation&, Object*, Args&) -> Value { return Value(); },
                [&rt, lp](Activation&, Object*, Args&) -> Value { return Value(rt.make<Object>(lp)); }, lp,
                rt.global);
    lp->define(QStringLiteral("contentType"), Value(QStringLiteral("application/x-www-form-urlencoded")), kDontEnum);
    auto startLoad = [&rt](Activation& a, Object* target, const Value& url) {
        target->set(a, QStringLiteral("loaded"), Value(false));
        target->define(QStringLiteral("_bytesLoaded"), Value(0), kDontEnum);
        double bytes = 0;
        DeliverText(rt, target, LoadText(rt, rt.toString(a, url), bytes), bytes);
    };
    lp->defineNative(rt, QStringLiteral("load"), [startLoad](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.empty())
            return Value(false);
        startLoad(a, self, args[0]);
        return Value(true);
    });
    lp->defineNative(rt, QStringLiteral("sendAndLoad"), [startLoad](Activation& a, Object*, Args& args) -> Value {
        Object* target = Arg(args, 1).asObject();
        if (!target)
            return Value(false);
        startLoad(a, target, Arg(args, 0));
        return Value(true);
    });
    // Nothing can be sent: there is no network.
    lp->defineNative(rt, QStringLiteral("send"), [](Activation&, Object*, Args&) -> Value { return Value(false); });
    lp->defineNative(rt, QStringLiteral("addRequestHeader"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    lp->defineNative(rt, QStringLiteral("decode"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (self && !args.empty())
            DecodeVariables(a, self, rt.toString(a, args[0]));
        return Value();
    });
    lp->defineNative(rt, QStringLiteral("toString"), [&rt](Activation& a, Object* self, Args&) -> Value {
        if (!self)
            return Value();
        QStringList pairs;
        for (const QString& name : self->enumerate(a))
            pairs << Escape(name) + QLatin1Char('=') + Escape(rt.toString(a, self->get(a, name)));
        return Value(pairs.join(QLatin1Char('&')));
    });
    lp->defineNative(rt, QStringLiteral("getBytesLoaded"), [](Activation& a, Object* self, Args&) -> Value {
        return self ? self->get(a, QStringLiteral("_bytesLoaded")) : Value();
    });
    lp->defineNative(rt, QStringLiteral("getBytesTotal"), [](Activation& a, Object* self, Args&) -> Value {
        return self ? self->get(a, QStringLiteral("_bytesTotal")) : Value();
    });
    lp->defineNative(rt, QStringLiteral("onLoad"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    lp->defineNative(rt, QStringLiteral("onData"), [](Activation& a, Object* self, Args& args) -> Value {
        if (!self)
            return Value();
        const Value text = Arg(args, 0);
        if (!text.isString()) {
            a.rt.callMethod(a, self, QStringLiteral("onLoad"), {Value(false)});
            return Value();
        }
        DecodeVariables(a, self, text.asString());
        self->set(a, QStringLiteral("loaded"), Value(true));
        a.rt.callMethod(a, self, QStringLiteral("onLoad"), {Value(true)});
        return Value();
    });

    // MovieClipLoader: a broadcaster that hears itself; each load ends in
    // an error for now (a missing file, or a movie that cannot be loaded
    // into this one yet).
    Object* mp = rt.newObject();
    rt.newClass(QStringLiteral("MovieClipLoader"), [](Activation&, Object*, Args&) -> Value { return Value(); },
                [&rt, mp](Activation& a, Object*, Args&) -> Value {
                    Object* loader = rt.make<Object>(mp);
                    MakeBroadcaster(rt, loader);
                    if (auto* list = dynamic_cast<ArrayObject*>(loader->get(a, QStringLiteral("_listeners")).asObject()))
                        list->push(Value(loader));
                    return Value(loader);
                },
                mp, rt.global);
    mp->defineNative(rt, QStringLiteral("loadClip"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self || args.size() < 2)
            return Value(false);
        swf::DisplayObject* d = LoaderTarget(rt, a, args[1]);
        if (!d)
            return Value(false);
        const QString url = rt.toString(a, args[0]);
        const bool exists = MovieFileExists(rt, url);
        if (exists)
            WarnUnloadedMovie(rt, url);
        ClipObject* clip = rt.clipObject(d);
        rt.deliverLater(self, [self, clip, exists](Activation& act, Object*, Args&) -> Value {
            const Value target(static_cast<Object*>(clip));
            if (exists)
                Broadcast(act, self, QStringLiteral("onLoadStart"), {target});
            Broadcast(act, self, QStringLiteral("onLoadError"),
                      {target, Value(exists ? QStringLiteral("LoadNeverCompleted") : QStringLiteral("URLNotFound"))});
            return Value();
        });
        return Value(true);
    });
    mp->defineNative(rt, QStringLiteral("unloadClip"), [&rt](Activation& a, Object*, Args& args) -> Value {
        swf::DisplayObject* d = LoaderTarget(rt, a, Arg(args, 0));
        if (!d)
            return Value(false);
        Unload(d);
        return Value(true);
    });
    mp->defineNative(rt, QStringLiteral("getProgress"), [&rt](Activation& a, Object*, Args& args) -> Value {
        Object* progress = rt.newObject();
        const double bytes = LoaderTarget(rt, a, Arg(args, 0)) ? double(rt.movie().info.declaredLength) : 0;
        progress->set(a, QStringLiteral("bytesLoaded"), Value(bytes));
        progress->set(a, QStringLiteral("bytesTotal"), Value(bytes));
        return Value(progress);
    });
}

} // namespace plovex::avm1
