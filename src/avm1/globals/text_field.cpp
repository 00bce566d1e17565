#include "avm1/focus.h"
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
    if (is(name, "type")) {
        out = Value(IsEditableText(rt, d) ? QStringLiteral("input") : QStringLiteral("dynamic"));
        return true;
    }
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
    if (is(name, "type")) {
        const QString type = rt.toString(a, v).toLower();
        if (type == QLatin1String("input") || type == QLatin1String("dynamic"))
            state(rt, d).input = type == QLatin1String("input");
        return true;
    }
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

} // namespace plovex::avm1
