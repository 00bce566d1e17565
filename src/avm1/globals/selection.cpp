#include "avm1/focus.h"
#include "avm1/globals/globals.h"

#include <climits>

namespace plovex::avm1 {

namespace {

// The focused text field's state when it has a selection.
swf::TextFieldState* selectionState(Runtime& rt)
{
    swf::DisplayObject* f = rt.focus;
    if (!f || !IsTextField(rt, f) || !f->textState || f->textState->selectionAnchor < 0)
        return nullptr;
    return f->textState.get();
}

} // namespace

void InstallSelection(Runtime& rt)
{
    Object* sel = rt.newObject();
    rt.selectionObject = sel;
    rt.global->define(QStringLiteral("Selection"), Value(sel), kDontEnum);
    MakeBroadcaster(rt, sel);
    sel->defineNative(rt, QStringLiteral("getFocus"), [&rt](Activation&, Object*, Args&) -> Value {
        if (!rt.focus)
            return Value::null();
        return Value(rt.targetPath(rt.focus));
    });
    // True when the focus moved (or was taken away), false when the
    // object cannot take it.
    sel->defineNative(rt, QStringLiteral("setFocus"), [&rt](Activation& a, Object*, Args& args) -> Value {
        const Value v = Arg(args, 0);
        swf::DisplayObject* d = nullptr;
        if (v.isUndefined() || v.isNull()) {
            if (rt.setFocus)
                rt.setFocus(nullptr);
            return Value(true);
        }
        if (v.isString()) {
            swf::DisplayObject* from = rt.displayOf(a.target);
            d = rt.resolveTarget(a, v.asString(), from ? from : rt.root());
        } else if (Object* o = v.asObject()) {
            d = rt.displayOf(o);
        } else {
            return Value(false);
        }
        if (!d || !Focusable(rt, d))
            return Value(false);
        if (rt.setFocus)
            rt.setFocus(d);
        return Value(true);
    });
    sel->defineNative(rt, QStringLiteral("getBeginIndex"), [&rt](Activation&, Object*, Args&) -> Value {
        const swf::TextFieldState* s = selectionState(rt);
        return Value(double(s ? std::min(s->selectionAnchor, s->caret) : -1));
    });
    sel->defineNative(rt, QStringLiteral("getEndIndex"), [&rt](Activation&, Object*, Args&) -> Value {
        const swf::TextFieldState* s = selectionState(rt);
        return Value(double(s ? std::max(s->selectionAnchor, s->caret) : -1));
    });
    sel->defineNative(rt, QStringLiteral("getCaretIndex"), [&rt](Activation&, Object*, Args&) -> Value {
        const swf::TextFieldState* s = selectionState(rt);
        return Value(double(s ? s->caret : -1));
    });
    sel->defineNative(rt, QStringLiteral("setSelection"), [&rt](Activation& a, Object*, Args& args) -> Value {
        if (args.empty() || !rt.focus || !IsTextField(rt, rt.focus))
            return Value();
        auto clampedArg = [&](size_t i, int fallback) {
            if (i >= args.size())
                return fallback;
            const double n = rt.toNumber(a, args[i]);
            if (!std::isfinite(n))
                return 0;
            return int(std::clamp(n, 0.0, double(INT_MAX)));
        };
        const int start = clampedArg(0, 0);
        const int end = clampedArg(1, INT_MAX);
        swf::TextFieldState* s = TextStateOf(rt, rt.focus);
        if (!s)
            return Value();
        const int length = int(s->text.size());
        s->selectionAnchor = std::min(start, length);
        s->caret = std::min(end, length);
        return Value();
    });
    // TextField.replaceSel: the focused field's selection gives way to the
    // text, and the caret follows it.
    if (rt.textFieldProto)
        rt.textFieldProto->defineNative(rt, QStringLiteral("replaceSel"), [&rt](Activation& a, Object* self, Args& args) -> Value {
            swf::DisplayObject* d = self ? rt.displayOf(self) : nullptr;
            if (args.empty() || !d || d != rt.focus || !IsTextField(rt, d))
                return Value();
            swf::TextFieldState* s = TextStateOf(rt, d);
            if (!s || s->selectionAnchor < 0)
                return Value();
            ReplaceSelection(*s, rt.toString(a, args[0]));
            return Value();
        });
}

} // namespace plovex::avm1
