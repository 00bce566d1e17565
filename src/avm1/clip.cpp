#include "avm1/clip.h"

#include <QTransform>
#include <cmath>

namespace plovex::avm1 {

using swf::DisplayObject;

namespace {

bool nameEq(const QString& a, const char* b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

swf::CharacterKind kindOf(const swf::Movie& movie, const DisplayObject* d)
{
    const swf::Character* c = movie.character(d->characterId);
    return c ? c->kind() : swf::CharacterKind::Sprite;
}

void decompose(const swf::Matrix& m, double& xs, double& ys, double& rot)
{
    xs = std::sqrt(m.a * m.a + m.b * m.b) * 100;
    ys = std::sqrt(m.c * m.c + m.d * m.d) * 100;
    rot = std::atan2(m.b, m.a) * 180 / M_PI;
    // A mirrored matrix shows as a negative y scale.
    if (m.a * m.d - m.b * m.c < 0)
        ys = -ys;
}

void recompose(swf::Matrix& m, double xs, double ys, double rot)
{
    // Keep the skew between the axes that the matrix already has.
    const double rx = std::atan2(m.b, m.a);
    const double ry = std::atan2(-m.c, m.d);
    const double skew = ry - rx;
    const double r = rot * M_PI / 180;
    m.a = xs / 100 * std::cos(r);
    m.b = xs / 100 * std::sin(r);
    m.c = -ys / 100 * std::sin(r + skew);
    m.d = ys / 100 * std::cos(r + skew);
}

} // namespace

const swf::Timeline* TimelineOf(const swf::Movie& movie, const DisplayObject* d)
{
    if (!d)
        return nullptr;
    if (!d->parent && d->characterId == 0)
        return &movie.root;
    if (const auto* s = movie.get<swf::SpriteCharacter>(d->characterId))
        return &s->timeline;
    return nullptr;
}

int FrameOfLabel(Activation& a, DisplayObject* d, const QString& label)
{
    const swf::Timeline* tl = TimelineOf(a.rt.movie(), d);
    if (!tl)
        return -1;
    bool ok = false;
    const int n = label.toInt(&ok);
    if (ok)
        return n - 1;
    for (size_t i = 0; i < tl->frames.size(); ++i)
        if (tl->frames[i].label.compare(label, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void GotoFrame(Activation& a, DisplayObject* d, const Value& frame, bool play, int bias, bool playUnknownLabel)
{
    if (!d)
        return;
    if (frame.isString()) {
        QString s = frame.asString();
        // "target:frame"
        const int colon = s.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            d = a.rt.resolveTarget(a, s.left(colon), d);
            s = s.mid(colon + 1);
            if (!d)
                return;
        }
        const int f = FrameOfLabel(a, d, s);
        if (f >= 0 && a.rt.gotoFrame)
            a.rt.gotoFrame(d, f + bias, play);
        else if (f < 0 && play && playUnknownLabel)
            d->playing = true;
        return;
    }
    const double n = a.rt.toNumber(a, frame);
    // Frame numbers wrap as 32-bit integers; a fraction, or frame 0 and
    // below, does nothing.
    if (!std::isfinite(n) || n != std::trunc(n))
        return;
    const qint64 f = qint64(ToInt32(n)) + bias;
    if (f < 1)
        return;
    if (a.rt.gotoFrame)
        a.rt.gotoFrame(d, int(std::min<qint64>(f, 1 << 30)) - 1, play);
}

QRectF LocalBounds(const swf::Movie& movie, const DisplayObject& d)
{
    const swf::Character* c = movie.character(d.characterId);
    QRectF r;
    auto rectOf = [](const swf::Rect& b) { return QRectF(b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin); };
    if (c) {
        switch (c->kind()) {
        case swf::CharacterKind::Shape: r = static_cast<const swf::ShapeCharacter*>(c)->shape.bounds; break;
        case swf::CharacterKind::MorphShape: r = rectOf(static_cast<const swf::MorphShapeCharacter*>(c)->startBounds); break;
        case swf::CharacterKind::Text: {
            const auto* t = static_cast<const swf::TextCharacter*>(c);
            r = t->matrix.toQt().mapRect(rectOf(t->bounds));
            break;
        }
        case swf::CharacterKind::EditText: {
            const auto* t = static_cast<const swf::EditTextCharacter*>(c);
            r = rectOf(t->bounds);
            if (d.textState && d.textState->width >= 0)
                r.setWidth(d.textState->width);
            if (d.textState && d.textState->height >= 0)
                r.setHeight(d.textState->height);
            break;
        }
        case swf::CharacterKind::Video: {
            const auto* v = static_cast<const swf::VideoCharacter*>(c);
            r = QRectF(0, 0, v->width * 20.0, v->height * 20.0);
            break;
        }
        case swf::CharacterKind::Button:
            for (const auto& rec : static_cast<const swf::ButtonCharacter*>(c)->records)
                if (rec.up) {
                    DisplayObject tmp;
                    tmp.characterId = rec.characterId;
                    if (rec.characterId != d.characterId)
                        r = r.united(rec.matrix.toQt().mapRect(LocalBounds(movie, tmp)));
                }
            break;
        default: break;
        }
    }
    if (!c && d.textState)
        r = QRectF(0, 0, std::max(0.0, d.textState->width), std::max(0.0, d.textState->height));
    if (d.bitmap && !d.bitmap->image.isNull()) {
        const QRectF b(0, 0, d.bitmap->image.width() * 20.0, d.bitmap->image.height() * 20.0);
        r = r.isEmpty() ? b : r.united(b);
    }
    if (d.drawing && !d.drawing->bounds.isEmpty())
        r = r.isEmpty() ? d.drawing->bounds : r.united(d.drawing->bounds);
    for (const swf::DisplayPtr& ch : d.children) {
        const QRectF cr = ch->matrix.toQt().mapRect(LocalBounds(movie, *ch));
        if (!cr.isNull())
            r = r.isNull() ? cr : r.united(cr);
    }
    return r;
}

QTransform StageTransform(const DisplayObject* d)
{
    QTransform t;
    for (; d; d = d->parent)
        t = t * d->matrix.toQt();
    return t;
}

// --- Clip objects ---------------------------------------------------------------

ClipObject::ClipObject(Runtime& rt, DisplayObject* d, Object* proto) : Object(proto), rt(rt)
{
    ref = d->weak_from_this();
    object_ = d;
    path = rt.targetPath(d);
}

ClipObject::~ClipObject()
{
    if (auto d = ref.lock())
        if (d->script == this)
            d->script = nullptr;
}

DisplayObject* ClipObject::display()
{
    // Asked on every name lookup, so the weak reference is only checked,
    // not locked: scripts run on one thread.
    if (ref.expired())
        return nullptr;
    return object_->parent || object_ == rt.root() ? object_ : nullptr;
}

QString ClipObject::typeName() const
{
    auto d = ref.lock();
    if (!d)
        return QStringLiteral("movieclip");
    const auto k = kindOf(rt.movie(), d.get());
    if (d->textState && !rt.movie().character(d->characterId))
        return QStringLiteral("object");   // a text field made by a script
    return k == swf::CharacterKind::Sprite ? QStringLiteral("movieclip") : QStringLiteral("object");
}

Value ClipObject::get(Activation& a, const QString& name)
{
    DisplayObject* d = display();
    if (d && name.startsWith(QLatin1Char('_'))) {
        const swf::Matrix& m = d->matrix;
        if (nameEq(name, "_x")) return Value(m.tx / 20);
        if (nameEq(name, "_y")) return Value(m.ty / 20);
        if (nameEq(name, "_xscale") || nameEq(name, "_yscale") || nameEq(name, "_rotation")) {
            if (!hasCachedTransform || !(cachedFor.a == m.a && cachedFor.b == m.b && cachedFor.c == m.c && cachedFor.d == m.d)) {
                decompose(m, xscale, yscale, rotation);
                cachedFor = m;
                hasCachedTransform = true;
            }
            return Value(nameEq(name, "_xscale") ? xscale : nameEq(name, "_yscale") ? yscale : rotation);
        }
        if (nameEq(name, "_alpha")) return Value(d->colorTransform.am * 100);
        if (nameEq(name, "_visible")) return Value(d->visible);
        if (nameEq(name, "_name")) return Value(d->name);
        if (nameEq(name, "_target")) return Value(rt.slashPath(d));
        if (nameEq(name, "_width") || nameEq(name, "_height")) {
            const QRectF b = m.toQt().mapRect(LocalBounds(rt.movie(), *d));
            return Value((nameEq(name, "_width") ? b.width() : b.height()) / 20);
        }
        if (nameEq(name, "_currentframe")) return Value(double(std::max(d->frame, 0) + 1));
        if (nameEq(name, "_totalframes") || nameEq(name, "_framesloaded")) {
            const swf::Timeline* tl = TimelineOf(rt.movie(), d);
            return Value(double(tl ? tl->frames.size() : 1));
        }
        if (nameEq(name, "_parent")) return d->parent ? rt.clipValue(d->parent) : Value();
        if (nameEq(name, "_root")) return rt.clipValue(rt.root());
        if (nameEq(name, "_url")) return Value(rt.movieUrl);
        if (nameEq(name, "_droptarget")) return Value(QString());
        if (nameEq(name, "_focusrect")) {
            // Before SWF 6 every object reads the one global setting (as
            // 0 or 1); later each has its own, the root's being the global.
            if (rt.version() < 6)
                return Value(rt.stageFocusRect ? 1.0 : 0.0);
            return d == rt.root() ? Value(rt.stageFocusRect) : focusRect;
        }
        if (nameEq(name, "_quality")) return Value(QStringLiteral("HIGH"));
        if (nameEq(name, "_highquality")) return Value(1.0);
        if (nameEq(name, "_soundbuftime")) return Value(5.0);
        if (nameEq(name, "_xmouse") || nameEq(name, "_ymouse")) {
            bool ok = false;
            const QTransform inv = StageTransform(d).inverted(&ok);
            const QPointF p = inv.map(QPointF(rt.mouseX * 20, rt.mouseY * 20));
            return Value((nameEq(name, "_xmouse") ? p.x() : p.y()) / 20);
        }
        if (name.startsWith(QLatin1String("_level"), Qt::CaseInsensitive)) {
            bool ok = false;
            const int n = name.mid(6).toInt(&ok);
            if (ok && rt.levelClip(n))
                return rt.clipValue(rt.levelClip(n));
        }
        if (nameEq(name, "_global")) return Value(rt.global);
    }
    // Own properties, then children by instance name, then prototypes.
    if (const Property* p = props_.find(name, a.caseSensitive()); p && p->visibleTo(a.version)) {
        if (p->getter) {
            std::vector<Value> args;
            return rt.call(a, Value(p->getter), Value(this), args);
        }
        return p->value;
    }
    if (d) {
        if (DisplayObject* c = rt.childNamed(d, name, a.caseSensitive()))
            return rt.clipValue(c);
        if (d->textState || kindOf(rt.movie(), d) == swf::CharacterKind::EditText) {
            Value v;
            if (TextFieldGet(a, this, d, name, v))
                return v;
        }
    }
    return Object::get(a, name);
}

void ClipObject::set(Activation& a, const QString& name, const Value& v)
{
    DisplayObject* d = display();
    if (d && name.startsWith(QLatin1Char('_'))) {
        swf::Matrix& m = d->matrix;
        auto num = [&]() { return rt.toNumber(a, v); };
        if (nameEq(name, "_x")) { const double n = num(); if (std::isfinite(n)) m.tx = std::round(n * 20); return; }
        if (nameEq(name, "_y")) { const double n = num(); if (std::isfinite(n)) m.ty = std::round(n * 20); return; }
        if (nameEq(name, "_xscale") || nameEq(name, "_yscale") || nameEq(name, "_rotation")) {
            const double n = num();
            if (!std::isfinite(n))
                return;
            if (!hasCachedTransform || !(cachedFor.a == m.a && cachedFor.b == m.b && cachedFor.c == m.c && cachedFor.d == m.d))
                decompose(m, xscale, yscale, rotation);
            if (nameEq(name, "_xscale")) xscale = n;
            else if (nameEq(name, "_yscale")) yscale = n;
            else {
                double r = std::fmod(n, 360.0);
                if (r > 180) r -= 360;
                else if (r < -180) r += 360;
                rotation = r;
            }
            recompose(m, xscale, yscale, rotation);
            cachedFor = m;
            hasCachedTransform = true;
            return;
        }
        if (nameEq(name, "_alpha")) { const double n = num(); if (std::isfinite(n)) d->colorTransform.am = n / 100; return; }
        if (nameEq(name, "_visible")) { d->visible = rt.toBool(v, a.version); return; }
        if (nameEq(name, "_name")) { d->name = rt.toString(a, v); return; }
        if ((nameEq(name, "_width") || nameEq(name, "_height")) &&
            (d->textState || kindOf(rt.movie(), d) == swf::CharacterKind::EditText) && TextFieldSet(a, this, d, name, v))
            return;
        if (nameEq(name, "_width") || nameEq(name, "_height")) {
            const double n = num();
            if (!std::isfinite(n))
                return;
            // The size is that of the box around the rotated object, so the
            // new scales solve for that box. An object with no extent in the
            // direction set ends up with both scales at zero, as in the
            // Flash Player.
            const QRectF b = LocalBounds(rt.movie(), *d);
            const bool w = nameEq(name, "_width");
            const double bw = b.width() / 20, bh = b.height() / 20;
            double xs, ys, rot;
            decompose(m, xs, ys, rot);
            const double cs = std::abs(std::cos(rot * M_PI / 180)), sn = std::abs(std::sin(rot * M_PI / 180));
            const double ratio = w ? bh / bw : bw / bh;
            const bool extent = w ? bw != 0 : bh != 0;
            const double tx = extent ? n / bw : 0, ty = extent ? n / bh : 0;
            const double px = xs / 100, py = ys / 100;
            double nx, ny;
            if (w) {
                nx = ratio * (cs * tx + sn * ty) / ((cs + ratio * sn) * (ratio * cs + sn));
                ny = (sn * px + ratio * cs * py) / (ratio * cs + sn);
            } else {
                nx = (ratio * cs * px + sn * py) / (ratio * cs + sn);
                ny = ratio * (sn * tx + cs * ty) / ((cs + ratio * sn) * (ratio * cs + sn));
            }
            xs = std::isfinite(nx) ? nx * 100 : 0;
            ys = std::isfinite(ny) ? ny * 100 : 0;
            recompose(m, xs, ys, rot);
            hasCachedTransform = false;
            return;
        }
        if (nameEq(name, "_currentframe") || nameEq(name, "_totalframes") || nameEq(name, "_framesloaded") ||
            nameEq(name, "_target") || nameEq(name, "_url") || nameEq(name, "_droptarget") ||
            nameEq(name, "_xmouse") || nameEq(name, "_ymouse") || nameEq(name, "_parent") || nameEq(name, "_root"))
            return;
        if (nameEq(name, "_focusrect")) {
            if (rt.version() >= 6 && d != rt.root()) {
                focusRect = v.isUndefined() || v.isNull() ? Value::null() : Value(rt.toBool(v, a.version));
                return;
            }
            // An object turns it off, anything else that is not zero on.
            if (v.isObject())
                rt.stageFocusRect = false;
            else if (v.isBool())
                rt.stageFocusRect = v.asBool();
            else
                rt.stageFocusRect = rt.toNumber(a, v) != 0;   // NaN counts as on
            return;
        }
        if (nameEq(name, "_quality") || nameEq(name, "_highquality") ||
            nameEq(name, "_soundbuftime"))
            return;
    }
    // Text field properties are set through setSpecial, after watchers.
    Object::set(a, name, v);
}

bool ClipObject::setSpecial(Activation& a, const QString& name, const Value& v)
{
    DisplayObject* d = display();
    return d && (d->textState || kindOf(rt.movie(), d) == swf::CharacterKind::EditText) && TextFieldSet(a, this, d, name, v);
}

bool ClipObject::hasProperty(Activation& a, const QString& name)
{
    DisplayObject* d = display();
    if (d && name.startsWith(QLatin1Char('_'))) {
        static const char* const names[] = {"_x", "_y", "_xscale", "_yscale", "_rotation", "_alpha", "_visible",
                                            "_name", "_target", "_width", "_height", "_currentframe", "_totalframes",
                                            "_framesloaded", "_parent", "_root", "_url", "_droptarget", "_focusrect",
                                            "_quality", "_highquality", "_soundbuftime", "_xmouse", "_ymouse"};
        for (const char* n : names)
            if (nameEq(name, n))
                return !(nameEq(name, "_parent") && !d->parent);
    }
    if (d && rt.childNamed(d, name, a.caseSensitive()))
        return true;
    return Object::hasProperty(a, name);
}

std::vector<QString> ClipObject::enumerate(Activation& a)
{
    std::vector<QString> out;
    if (DisplayObject* d = display())
        for (auto it = d->children.rbegin(); it != d->children.rend(); ++it)
            if (!(*it)->name.isEmpty())
                out.push_back((*it)->name);
    const std::vector<QString> rest = Object::enumerate(a);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

void ClipObject::trace(Gc& gc)
{
    Object::trace(gc);
    gc.mark(textVariable);
}

} // namespace plovex::avm1
