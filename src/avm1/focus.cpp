#include "avm1/focus.h"

#include "avm1/clip.h"
#include "avm1/frame_loop.h"
#include "avm1/globals/globals.h"

#include <algorithm>
#include <cmath>

namespace plovex::avm1 {

using swf::DisplayObject;

namespace {

// A property of the object's script side, undefined when it has none.
Value scriptProperty(Runtime& rt, const DisplayObject* d, const char* name)
{
    auto* obj = static_cast<Object*>(d->script);
    if (!obj)
        return Value();
    Activation a(rt, rt.version(), nullptr, obj, obj);
    return obj->get(a, QString::fromLatin1(name));
}

bool isButton(Runtime& rt, const DisplayObject* d)
{
    return rt.movie().get<swf::ButtonCharacter>(d->characterId) != nullptr;
}

bool tabChildren(Runtime& rt, DisplayObject* d)
{
    const Value v = scriptProperty(rt, d, "tabChildren");
    return v.isUndefined() || rt.toBool(v, rt.version());
}

void collectTabbable(Runtime& rt, DisplayObject* d, std::vector<DisplayObject*>& out)
{
    if (!tabChildren(rt, d))
        return;
    for (const swf::DisplayPtr& c : d->children) {
        if (!c->visible)
            continue;   // hidden objects and all inside them are left out
        if (TabEnabled(rt, c.get()))
            out.push_back(c.get());
        if (!IsTextField(rt, c.get()) && !isButton(rt, c.get()))
            collectTabbable(rt, c.get(), out);
    }
}

// The point the automatic order sorts by: the stage bounds' top-left
// corner, in twips, as 6y + x.
qint64 orderKey(Runtime& rt, DisplayObject* d)
{
    QRectF local = LocalBounds(rt.movie(), *d);
    std::function<void(DisplayObject*, const QTransform&)> addChildren = [&](DisplayObject* o, const QTransform& t) {
        for (const swf::DisplayPtr& c : o->children) {
            const QTransform ct = c->matrix.toQt() * t;
            const QRectF b = LocalBounds(rt.movie(), *c);
            if (!b.isEmpty())
                local = local.united(ct.mapRect(b));
            addChildren(c.get(), ct);
        }
    };
    addChildren(d, QTransform());
    const QRectF r = StageTransform(d).mapRect(local);
    return qint64(std::floor(r.top())) * 6 + qint64(std::floor(r.left()));
}

} // namespace

bool InTree(const DisplayObject* d, const DisplayObject* root)
{
    while (d && d->parent)
        d = d->parent;
    return d == root;
}

bool IsTextField(Runtime& rt, const DisplayObject* d)
{
    if (!d)
        return false;
    if (rt.movie().get<swf::EditTextCharacter>(d->characterId))
        return true;
    return d->characterId == 0 && d->textState && d->parent;
}

bool IsEditableText(Runtime& rt, DisplayObject* d)
{
    if (!IsTextField(rt, d))
        return false;
    if (d->textState)
        return d->textState->input;
    const auto* et = rt.movie().get<swf::EditTextCharacter>(d->characterId);
    return et && !et->readOnly;
}

bool ActsAsButton(Runtime& rt, const DisplayObject* d)
{
    if (d->clipActions)
        for (const auto& ca : *d->clipActions)
            if (ca.events & (swf::kEvPress | swf::kEvRelease | swf::kEvReleaseOutside | swf::kEvRollOver |
                             swf::kEvRollOut | swf::kEvDragOver | swf::kEvDragOut))
                return true;
    if (d->script) {
        auto* obj = static_cast<Object*>(d->script);
        Activation a(rt, rt.version(), nullptr, obj, obj);
        for (const char* m : {"onPress", "onRelease", "onRollOver", "onRollOut", "onReleaseOutside", "onDragOver",
                              "onDragOut"})
            if (obj->get(a, QString::fromLatin1(m)).isObject())
                return true;
    }
    return false;
}

bool Focusable(Runtime& rt, DisplayObject* d)
{
    if (!d || !d->parent)
        return d && d == rt.root() && rt.toBool(scriptProperty(rt, d, "focusEnabled"), rt.version());
    if (isButton(rt, d) || IsTextField(rt, d))
        return true;
    if (rt.movie().character(d->characterId) && !rt.movie().get<swf::SpriteCharacter>(d->characterId))
        return false;   // shapes, static text, bitmaps
    return rt.toBool(scriptProperty(rt, d, "focusEnabled"), rt.version()) || ActsAsButton(rt, d);
}

bool TabEnabled(Runtime& rt, DisplayObject* d)
{
    const bool text = IsTextField(rt, d);
    if (text && !IsEditableText(rt, d))
        return false;   // only fields the user types into
    if (!text && !isButton(rt, d) && d != rt.root() && rt.movie().character(d->characterId) &&
        !rt.movie().get<swf::SpriteCharacter>(d->characterId))
        return false;
    const Value v = scriptProperty(rt, d, "tabEnabled");
    if (!v.isUndefined())
        return rt.toBool(v, rt.version());
    if (text || isButton(rt, d))
        return true;
    return d != rt.root() && ActsAsButton(rt, d);
}

bool TabIndexOf(Runtime& rt, DisplayObject* d, int& index)
{
    const Value v = scriptProperty(rt, d, "tabIndex");
    if (v.isUndefined() || v.isNull())
        return false;
    auto* obj = static_cast<Object*>(d->script);
    Activation a(rt, rt.version(), nullptr, obj, obj);
    const double n = rt.toNumber(a, v);
    if (!std::isfinite(n))
        return false;
    index = int(qint64(n));
    return index != -1;
}

std::vector<DisplayObject*> TabOrder(Runtime& rt)
{
    std::vector<DisplayObject*> order;
    DisplayObject* root = rt.root();
    if (root->visible && TabEnabled(rt, root))
        order.push_back(root);
    if (root->visible)
        collectTabbable(rt, root, order);
    struct Entry {
        DisplayObject* d;
        qint64 key;
    };
    std::vector<Entry> entries;
    bool custom = false;
    for (DisplayObject* d : order) {
        int index = 0;
        if (TabIndexOf(rt, d, index))
            custom = true;
    }
    for (DisplayObject* d : order) {
        int index = 0;
        if (custom) {
            if (TabIndexOf(rt, d, index))
                entries.push_back({d, index});
        } else {
            entries.push_back({d, orderKey(rt, d)});
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) { return x.key < y.key; });
    if (!custom)
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const Entry& x, const Entry& y) { return x.key == y.key; }),
                      entries.end());
    std::vector<DisplayObject*> out;
    out.reserve(entries.size());
    for (const Entry& e : entries)
        out.push_back(e.d);
    return out;
}

void ReplaceSelection(swf::TextFieldState& s, const QString& with)
{
    const int length = int(s.text.size());
    const int anchor = std::clamp(s.selectionAnchor < 0 ? s.caret : s.selectionAnchor, 0, length);
    const int caret = std::clamp(s.caret, 0, length);
    const int begin = std::min(anchor, caret), end = std::max(anchor, caret);
    s.replace(begin, end, with, begin > 0 ? s.formatAt(begin - 1, s.newFormat) : s.newFormat);
    s.caret = s.selectionAnchor = begin + int(with.size());
}

swf::TextFieldState* TextStateOf(Runtime& rt, DisplayObject* field)
{
    return field ? &TextFieldStateOf(rt, field) : nullptr;
}

// --- The stage's side: moving the focus with its events ------------------------------

void ScriptedMovie::rollFocus(DisplayObject* next)
{
    // The focus takes the place of the pointer: what the pointer was over
    // rolls out, the focused button or clip rolls over (text fields have
    // no roll events).
    const swf::DisplayPtr old = hover_.lock();
    hover_ = next ? ptrOf(next) : swf::DisplayPtr();
    if (old && onStageNow(old.get()) && !IsTextField(*rt_, old.get())) {
        old->buttonState = 0;
        buttonTransition(old.get(), swf::kCondOverUpToIdle, "onRollOut");
    }
    if (next && !IsTextField(*rt_, next)) {
        next->buttonState = 1;
        buttonTransition(next, swf::kCondIdleToOverUp, "onRollOver");
    }
}

void ScriptedMovie::changeFocus(DisplayObject* next, FocusCause cause)
{
    if (cause != FocusCause::Mouse)
        rollFocus(next);
    if (cause == FocusCause::Keyboard)
        runQueue();   // tabbing rolls over at once, a script's focus change later
    DisplayObject* old = rt_->focus;
    if (old && !onStageNow(old))
        old = nullptr;
    if (cause == FocusCause::Mouse)
        rt_->focusByKeyboard = false;
    if (old != next) {
        const swf::DisplayPtr keepOld = ptrOf(old), keepNext = ptrOf(next);
        rt_->focus = next;
        rt_->focusByKeyboard = cause != FocusCause::Mouse;
        if (old && old->textState) {
            old->textState->selectionAnchor = -1;
            old->textState->caret = -1;
        }
        const Value oldValue = old ? rt_->clipValue(old) : Value::null();
        const Value nextValue = next ? rt_->clipValue(next) : Value::null();
        if (old) {
            ClipObject* obj = rt_->clipObject(old);
            runOnClip(obj, [&](Activation& a) { rt_->callMethod(a, obj, QStringLiteral("onKillFocus"), {nextValue}); });
        }
        if (next && onStageNow(next)) {
            ClipObject* obj = rt_->clipObject(next);
            runOnClip(obj, [&](Activation& a) { rt_->callMethod(a, obj, QStringLiteral("onSetFocus"), {oldValue}); });
        }
        broadcast(rt_->selectionObject, "onSetFocus", {oldValue, nextValue});
    }
    // A field the user types into starts with all its text selected.
    if (rt_->focus && IsEditableText(*rt_, rt_->focus))
        if (swf::TextFieldState* s = TextStateOf(*rt_, rt_->focus)) {
            s->selectionAnchor = 0;
            s->caret = int(s->text.size());
        }
}

void ScriptedMovie::cycleFocus(bool reverse)
{
    std::vector<DisplayObject*> order = TabOrder(*rt_);
    if (order.empty())
        return;
    if (reverse)
        std::reverse(order.begin(), order.end());
    DisplayObject* next = order.front();
    if (rt_->focus) {
        auto it = std::find(order.begin(), order.end(), rt_->focus);
        if (it != order.end() && it + 1 != order.end())
            next = *(it + 1);
    }
    changeFocus(next, FocusCause::Keyboard);
}

bool ScriptedMovie::focusRectShown() const
{
    DisplayObject* f = rt_->focus;
    if (!f || !rt_->focusByKeyboard || IsTextField(*rt_, f) || !onStageNow(f) || f == root_.get())
        return false;
    // From SWF 6 an object's own _focusrect overrides the global one.
    if (rt_->version() >= 6 && f->script) {
        const Value own = static_cast<ClipObject*>(static_cast<Object*>(f->script))->focusRect;
        if (own.isBool())
            return own.asBool();
    }
    return rt_->stageFocusRect;
}

QRectF ScriptedMovie::focusRect() const
{
    if (!focusRectShown())
        return {};
    DisplayObject* f = rt_->focus;
    QRectF local = LocalBounds(*movie_, *f);
    std::function<void(DisplayObject*, const QTransform&)> addChildren = [&](DisplayObject* o, const QTransform& t) {
        for (const swf::DisplayPtr& c : o->children) {
            const QTransform ct = c->matrix.toQt() * t;
            const QRectF b = LocalBounds(*movie_, *c);
            if (!b.isEmpty())
                local = local.united(ct.mapRect(b));
            addChildren(c.get(), ct);
        }
    };
    addChildren(f, QTransform());
    if (local.isEmpty())
        return {};
    const QRectF r = StageTransform(f).mapRect(local);
    return QRectF(r.x() / 20, r.y() / 20, r.width() / 20, r.height() / 20);
}

bool ScriptedMovie::onStageNow(const DisplayObject* d) const
{
    return InTree(d, root_.get());
}

} // namespace plovex::avm1
