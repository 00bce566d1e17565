#include "avm1/globals/globals.h"

#include <QTextDocumentFragment>

namespace plovex::avm1 {

namespace {

const swf::EditTextCharacter* editText(Runtime& rt, swf::DisplayObject* d)
{
    return rt.movie().get<swf::EditTextCharacter>(d->characterId);
}

swf::TextFieldState& state(Runtime& rt, swf::DisplayObject* d)
{
    if (!d->textState) {
        auto s = std::make_shared<swf::TextFieldState>();
        if (const auto* c = editText(rt, d)) {
            s->text = c->html ? QTextDocumentFragment::fromHtml(c->text).toPlainText() : c->text;
            s->html = c->html;
            s->color = c->color;
            s->border = c->border;
            s->background = c->border;
        }
        d->textState = s;
    }
    return *d->textState;
}

bool is(const QString& a, const char* b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

} // namespace

bool TextFieldGet(Activation& a, ClipObject*, swf::DisplayObject* d, const QString& name, Value& out)
{
    Runtime& rt = a.rt;
    const auto* c = editText(rt, d);
    if (!c)
        return false;
    if (is(name, "text")) {
        out = Value(state(rt, d).text);
        return true;
    }
    if (is(name, "htmlText")) {
        out = Value(state(rt, d).text.toHtmlEscaped());
        return true;
    }
    if (is(name, "length")) {
        out = Value(double(state(rt, d).text.size()));
        return true;
    }
    if (is(name, "textColor")) {
        const QColor col = state(rt, d).color;
        out = Value(double((col.red() << 16) | (col.green() << 8) | col.blue()));
        return true;
    }
    if (is(name, "variable")) {
        out = c->variableName.isEmpty() ? Value::null() : Value(c->variableName);
        return true;
    }
    if (is(name, "multiline")) { out = Value(c->multiline); return true; }
    if (is(name, "wordWrap")) { out = Value(c->wordWrap); return true; }
    if (is(name, "password")) { out = Value(c->password); return true; }
    if (is(name, "html")) { out = Value(state(rt, d).html); return true; }
    if (is(name, "border")) { out = Value(state(rt, d).border); return true; }
    if (is(name, "background")) { out = Value(state(rt, d).background); return true; }
    if (is(name, "selectable")) { out = Value(state(rt, d).selectable); return true; }
    if (is(name, "embedFonts")) { out = Value(c->useOutlines); return true; }
    if (is(name, "maxChars")) { out = Value::null(); return true; }
    if (is(name, "type")) { out = Value(QStringLiteral("dynamic")); return true; }
    if (is(name, "autoSize")) { out = Value(QStringLiteral("none")); return true; }
    if (is(name, "scroll") || is(name, "hscroll")) { out = Value(is(name, "scroll") ? 1.0 : 0.0); return true; }
    if (is(name, "maxscroll")) { out = Value(1.0); return true; }
    return false;
}

bool TextFieldSet(Activation& a, ClipObject*, swf::DisplayObject* d, const QString& name, const Value& v)
{
    Runtime& rt = a.rt;
    if (!editText(rt, d))
        return false;
    if (is(name, "text")) {
        state(rt, d).text = rt.toString(a, v);
        return true;
    }
    if (is(name, "htmlText")) {
        auto& s = state(rt, d);
        s.text = s.html ? QTextDocumentFragment::fromHtml(rt.toString(a, v)).toPlainText() : rt.toString(a, v);
        return true;
    }
    if (is(name, "textColor")) {
        const uint32_t c = ToUint32(rt.toNumber(a, v));
        state(rt, d).color = QColor(int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255));
        return true;
    }
    if (is(name, "html")) { state(rt, d).html = rt.toBool(v, a.version); return true; }
    if (is(name, "border")) { state(rt, d).border = rt.toBool(v, a.version); return true; }
    if (is(name, "background")) { state(rt, d).background = rt.toBool(v, a.version); return true; }
    if (is(name, "selectable")) { state(rt, d).selectable = rt.toBool(v, a.version); return true; }
    return false;
}

void InstallTextField(Runtime& rt)
{
    Object* p = rt.textFieldProto;
    rt.newClass(QStringLiteral("TextField"), [](Activation&, Object*, Args&) -> Value { return Value(); }, nullptr, p,
                rt.global)->constructor = nullptr;
    p->defineNative(rt, QStringLiteral("getDepth"), [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = rt.displayOf(o);
        return d ? Value(double(d->depth - 16384)) : Value();
    });
    p->defineNative(rt, QStringLiteral("removeTextField"), [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = rt.displayOf(o);
        if (d && d->parent && d->depth >= 16384 && rt.removeChild) rt.removeChild(d);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("setTextFormat"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    p->defineNative(rt, QStringLiteral("setNewTextFormat"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    rt.movieClipProto->defineNative(rt, QStringLiteral("createTextField"), [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = rt.displayOf(o);
        if (!d || args.size() < 6 || !rt.attachChild)
            return Value();
        const double depth = rt.toNumber(a, args[1]);
        if (!std::isfinite(depth))
            return Value();
        swf::DisplayObject* t = rt.attachChild(d, -1, rt.toString(a, args[0]), int(depth) + 16384);
        if (!t)
            return Value();
        t->matrix.tx = std::round(rt.toNumber(a, args[2]) * 20);
        t->matrix.ty = std::round(rt.toNumber(a, args[3]) * 20);
        auto s = std::make_shared<swf::TextFieldState>();
        s->width = rt.toNumber(a, args[4]) * 20;
        s->height = rt.toNumber(a, args[5]) * 20;
        t->textState = s;
        return a.version >= 8 ? rt.clipValue(t) : Value();
    });
}

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
