#include "avm1/globals/globals.h"

#include "swf/render.h"

namespace plovex::avm1 {

namespace {

swf::DisplayObject* self(Runtime& rt, Object* o)
{
    return rt.displayOf(o);
}

int intOf(Activation& a, const Value& v)
{
    return ToInt32(a.rt.toNumber(a, v));
}

// Script-made shapes: the drawing API collects paths on the object,
// prepared again on each change.
swf::ScriptDrawing& drawingOf(swf::DisplayObject* d)
{
    if (!d->drawingSource)
        d->drawingSource = std::make_shared<swf::ScriptDrawing>();
    return *d->drawingSource;
}

void recompile(swf::DisplayObject* d, swf::ScriptDrawing& s)
{
    auto shape = std::make_shared<swf::CompiledShape>(swf::CompileShape(s.shape));
    // Bounds of what was drawn, strokes with half their width outside.
    QRectF b;
    for (const swf::CompiledLayer& layer : shape->layers) {
        for (const QPainterPath& p : layer.fillPaths)
            if (!p.isEmpty())
                b = b.isNull() ? p.boundingRect() : b.united(p.boundingRect());
        for (size_t i = 0; i < layer.linePaths.size() && i < layer.lines.size(); ++i)
            if (!layer.linePaths[i].isEmpty()) {
                const double h = layer.lines[i].width / 2.0;
                const QRectF r = layer.linePaths[i].boundingRect().adjusted(-h, -h, h, h);
                b = b.isNull() ? r : b.united(r);
            }
    }
    shape->bounds = b;
    d->drawing = std::move(shape);
}

swf::ShapeRecordPath& currentPath(swf::ScriptDrawing& s)
{
    if (s.shape.layers.empty())
        s.shape.layers.emplace_back();
    auto& layer = s.shape.layers.back();
    if (layer.paths.empty() || layer.paths.back().fill1 != s.fill || layer.paths.back().line != s.line) {
        swf::ShapeRecordPath p;
        p.fill1 = s.fill;
        p.line = s.line;
        layer.paths.push_back(p);
    }
    return layer.paths.back();
}

QColor colorOf(Activation& a, const Value& rgb, const Value& alpha)
{
    const uint32_t c = ToUint32(a.rt.toNumber(a, rgb));
    double al = alpha.isUndefined() ? 100 : a.rt.toNumber(a, alpha);
    if (std::isnan(al))
        al = 100;
    return QColor(int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255), int(std::clamp(al, 0.0, 100.0) * 255 / 100));
}

} // namespace

void InstallMovieClip(Runtime& rt)
{
    Object* p = rt.movieClipProto;
    rt.newClass(QStringLiteral("MovieClip"), [](Activation&, Object*, Args&) -> Value { return Value(); }, nullptr, p,
                rt.global)->constructor = nullptr;
    auto def = [&](const char* name, NativeFunction fn) { p->defineNative(rt, QString::fromLatin1(name), std::move(fn)); };

    def("play", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o)) d->playing = true;
        return Value();
    });
    def("stop", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o)) d->playing = false;
        return Value();
    });
    auto gotoFn = [&rt](bool play) {
        return [&rt, play](Activation& a, Object* o, Args& args) -> Value {
            swf::DisplayObject* d = self(rt, o);
            if (!d || args.empty())
                return Value();
            GotoFrame(a, d, args[0], play, 0, false);
            return Value();
        };
    };
    def("gotoAndPlay", gotoFn(true));
    def("gotoAndStop", gotoFn(false));
    def("nextFrame", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o); d && rt.gotoFrame) rt.gotoFrame(d, d->frame + 1, false);
        return Value();
    });
    def("prevFrame", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o); d && rt.gotoFrame && d->frame > 0) rt.gotoFrame(d, d->frame - 1, false);
        return Value();
    });
    def("getDepth", [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = self(rt, o);
        return d ? Value(double(d->depth - 16384)) : Value();
    });
    def("getNextHighestDepth", [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = self(rt, o);
        if (!d) return Value();
        int next = 0;
        for (const auto& c : d->children)
            next = std::max(next, c->depth - 16384 + 1);
        return Value(double(next));
    });
    def("getInstanceAtDepth", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d || args.empty()) return Value();
        const int depth = intOf(a, args[0]) + 16384;
        for (const auto& c : d->children)
            if (c->depth == depth)
                return rt.clipValue(c.get());
        return Value();
    });
    def("swapDepths", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d || !d->parent || args.empty()) return Value();
        swf::DisplayObject* parent = d->parent;
        int target;
        if (auto* other = rt.displayOf(args[0].asObject())) {
            if (other->parent != parent) return Value();
            target = other->depth;
        } else {
            target = intOf(a, args[0]) + 16384;
        }
        // Both objects leave the list and go back in at their new depths.
        auto& list = parent->children;
        const auto take = [&list](const std::function<bool(const swf::DisplayPtr&)>& match) {
            swf::DisplayPtr taken;
            const auto it = std::find_if(list.cbegin(), list.cend(), match);
            if (it != list.cend()) {
                taken = *it;
                list.erase(it);
            }
            return taken;
        };
        const swf::DisplayPtr mine = take([d](const swf::DisplayPtr& c) { return c.get() == d; });
        const swf::DisplayPtr other = take([d, target](const swf::DisplayPtr& c) { return c->depth == target && c.get() != d; });
        if (other) {
            other->depth = d->depth;
            other->placeFrame = -1;
            list.insert(swf::FindDepth(list, other->depth), other);
        }
        d->depth = target;
        d->placeFrame = -1;
        if (mine)
            list.insert(swf::FindDepth(list, target), mine);
        return Value();
    });
    def("attachMovie", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d || args.size() < 3 || !rt.attachChild) return Value();
        const QString id = rt.toString(a, args[0]);
        const QString name = rt.toString(a, args[1]);
        const int scriptDepth = intOf(a, args[2]);
        // Depths outside what the Flash Player takes attach nothing.
        if (scriptDepth < -16384 || scriptDepth > 2130690044)
            return Value();
        const int depth = scriptDepth + 16384;
        const int character = rt.exportedCharacter(id);
        if (character == 0) return Value();
        swf::DisplayObject* c = rt.attachChild(d, character, name, depth);
        if (!c) return Value();
        if (auto* init = Arg(args, 3).asObject()) {
            ClipObject* co = rt.clipObject(c);
            for (const QString& k : init->enumerate(a))
                co->set(a, k, init->get(a, k));
        }
        return rt.clipValue(c);
    });
    def("createEmptyMovieClip", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d || args.size() < 2 || !rt.attachChild) return Value();
        swf::DisplayObject* c = rt.attachChild(d, 0, rt.toString(a, args[0]), intOf(a, args[1]) + 16384);
        return rt.clipValue(c);
    });
    def("duplicateMovieClip", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d || args.size() < 2 || !rt.duplicateClip) return Value();
        swf::DisplayObject* c = rt.duplicateClip(d, rt.toString(a, args[0]), intOf(a, args[1]) + 16384);
        if (c)
            if (auto* init = Arg(args, 2).asObject()) {
                ClipObject* co = rt.clipObject(c);
                for (const QString& k : init->enumerate(a))
                    co->set(a, k, init->get(a, k));
            }
        return rt.clipValue(c);
    });
    def("removeMovieClip", [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = self(rt, o);
        if (d && d->parent && d->depth >= 16384 && rt.removeChild) rt.removeChild(d);
        return Value();
    });
    def("getBytesLoaded", [&rt](Activation&, Object*, Args&) -> Value { return Value(double(rt.movie().info.declaredLength)); });
    def("getBytesTotal", [&rt](Activation&, Object*, Args&) -> Value { return Value(double(rt.movie().info.declaredLength)); });
    def("getSWFVersion", [&rt](Activation&, Object*, Args&) -> Value { return Value(double(rt.version())); });
    auto bounds = [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d) return Value();
        QRectF r = LocalBounds(rt.movie(), *d);
        QTransform t;
        if (!args.empty()) {
            swf::DisplayObject* space = rt.displayOf(args[0].asObject());
            if (space) {
                bool ok = false;
                t = StageTransform(d) * StageTransform(space).inverted(&ok);
            }
        }
        Object* out = rt.newObject();
        if (r.isNull()) {
            for (const char* k : {"xMin", "xMax", "yMin", "yMax"})
                out->set(a, QString::fromLatin1(k), Value(6710886.35));
            return Value(out);
        }
        r = t.mapRect(r);
        out->set(a, QStringLiteral("xMin"), Value(r.left() / 20));
        out->set(a, QStringLiteral("xMax"), Value(r.right() / 20));
        out->set(a, QStringLiteral("yMin"), Value(r.top() / 20));
        out->set(a, QStringLiteral("yMax"), Value(r.bottom() / 20));
        return Value(out);
    };
    def("getBounds", bounds);
    def("getRect", bounds);
    auto convert = [&rt](bool toGlobal) {
        return [&rt, toGlobal](Activation& a, Object* o, Args& args) -> Value {
            auto* d = self(rt, o);
            Object* pt = Arg(args, 0).asObject();
            if (!d || !pt) return Value();
            const double x = rt.toNumber(a, pt->get(a, QStringLiteral("x")));
            const double y = rt.toNumber(a, pt->get(a, QStringLiteral("y")));
            QTransform t = StageTransform(d);
            if (!toGlobal) {
                bool ok = false;
                t = t.inverted(&ok);
            }
            const QPointF q = t.map(QPointF(x * 20, y * 20));
            pt->set(a, QStringLiteral("x"), Value(q.x() / 20));
            pt->set(a, QStringLiteral("y"), Value(q.y() / 20));
            return Value();
        };
    };
    def("localToGlobal", convert(true));
    def("globalToLocal", convert(false));
    def("hitTest", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d) return Value(false);
        const QRectF mine = StageTransform(d->parent).mapRect(d->matrix.toQt().mapRect(LocalBounds(rt.movie(), *d)));
        if (args.size() >= 2) {
            const double x = rt.toNumber(a, args[0]) * 20, y = rt.toNumber(a, args[1]) * 20;
            return Value(mine.contains(QPointF(x, y)));
        }
        auto* other = rt.displayOf(Arg(args, 0).asObject());
        if (!other) return Value(false);
        const QRectF theirs = StageTransform(other->parent).mapRect(other->matrix.toQt().mapRect(LocalBounds(rt.movie(), *other)));
        return Value(mine.intersects(theirs));
    });
    def("startDrag", [&rt](Activation& a, Object* o, Args& args) -> Value {
        StartDrag(rt, self(rt, o), rt.toBool(Arg(args, 0), a.version));
        return Value();
    });
    def("stopDrag", [&rt](Activation&, Object*, Args&) -> Value {
        StartDrag(rt, nullptr, false);
        return Value();
    });
    def("setMask", [&rt](Activation&, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d) return Value();
        auto* m = rt.displayOf(Arg(args, 0).asObject());
        d->maskedBy = m;
        if (m) m->isMask = true;
        return Value(true);
    });
    def("getURL", [&rt](Activation& a, Object*, Args& args) -> Value {
        if (rt.openUrl && !args.empty())
            rt.openUrl(rt.toString(a, args[0]), rt.toString(a, Arg(args, 1)));
        return Value();
    });
    def("loadMovie", [&rt](Activation& a, Object* o, Args& args) -> Value {
        LoadInto(rt, a, rt.toString(a, Arg(args, 0)), rt.targetPath(self(rt, o)), LoadKind::Movie);
        return Value();
    });
    def("loadVariables", [&rt](Activation& a, Object* o, Args& args) -> Value {
        LoadInto(rt, a, rt.toString(a, Arg(args, 0)), rt.targetPath(self(rt, o)), LoadKind::Variables);
        return Value();
    });
    def("unloadMovie", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o)) {
            d->children.clear();
            d->playing = false;
        }
        return Value();
    });
    // Drawing.
    def("clear", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o)) {
            d->drawingSource = nullptr;
            d->drawing = nullptr;
        }
        return Value();
    });
    def("lineStyle", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d) return Value();
        swf::ScriptDrawing& s = drawingOf(d);
        if (s.shape.layers.empty()) s.shape.layers.emplace_back();
        if (args.empty() || args[0].isUndefined()) {
            s.line = 0;
            return Value();
        }
        swf::LineStyle ls;
        const double w = rt.toNumber(a, args[0]);
        ls.width = int(std::clamp(std::isfinite(w) ? w : 0.0, 0.0, 255.0) * 20);
        ls.color = colorOf(a, Arg(args, 1), Arg(args, 2));
        s.shape.layers.back().lines.push_back(ls);
        s.line = int(s.shape.layers.back().lines.size());
        return Value();
    });
    def("beginFill", [&rt](Activation& a, Object* o, Args& args) -> Value {
        auto* d = self(rt, o);
        if (!d) return Value();
        swf::ScriptDrawing& s = drawingOf(d);
        if (s.shape.layers.empty()) s.shape.layers.emplace_back();
        if (args.empty() || args[0].isUndefined()) {
            s.fill = 0;
            return Value();
        }
        swf::FillStyle f;
        f.color = colorOf(a, args[0], Arg(args, 1));
        s.shape.layers.back().fills.push_back(f);
        s.fill = int(s.shape.layers.back().fills.size());
        return Value();
    });
    def("beginGradientFill", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o)) {
            swf::ScriptDrawing& s = drawingOf(d);
            if (s.shape.layers.empty()) s.shape.layers.emplace_back();
            swf::FillStyle f;
            f.color = Qt::gray;
            s.shape.layers.back().fills.push_back(f);
            s.fill = int(s.shape.layers.back().fills.size());
        }
        return Value();
    });
    def("endFill", [&rt](Activation&, Object* o, Args&) -> Value {
        if (auto* d = self(rt, o)) {
            swf::ScriptDrawing& s = drawingOf(d);
            s.fill = 0;
            recompile(d, s);
        }
        return Value();
    });
    def("moveTo", [&rt](Activation& a, Object* o, Args& args) -> Value {
        if (auto* d = self(rt, o)) {
            swf::ScriptDrawing& s = drawingOf(d);
            s.pen = QPointF(rt.toNumber(a, Arg(args, 0)) * 20, rt.toNumber(a, Arg(args, 1)) * 20);
            if (s.shape.layers.empty()) s.shape.layers.emplace_back();
            s.shape.layers.back().paths.push_back(swf::ShapeRecordPath{0, s.fill, s.line, {}});
        }
        return Value();
    });
    def("lineTo", [&rt](Activation& a, Object* o, Args& args) -> Value {
        if (auto* d = self(rt, o)) {
            swf::ScriptDrawing& s = drawingOf(d);
            const QPointF to(rt.toNumber(a, Arg(args, 0)) * 20, rt.toNumber(a, Arg(args, 1)) * 20);
            if (!std::isfinite(to.x()) || !std::isfinite(to.y())) return Value();
            swf::Edge e;
            e.from = s.pen;
            e.to = to;
            currentPath(s).edges.push_back(e);
            s.pen = to;
            recompile(d, s);
        }
        return Value();
    });
    def("curveTo", [&rt](Activation& a, Object* o, Args& args) -> Value {
        if (auto* d = self(rt, o)) {
            swf::ScriptDrawing& s = drawingOf(d);
            const QPointF c(rt.toNumber(a, Arg(args, 0)) * 20, rt.toNumber(a, Arg(args, 1)) * 20);
            const QPointF to(rt.toNumber(a, Arg(args, 2)) * 20, rt.toNumber(a, Arg(args, 3)) * 20);
            if (!std::isfinite(to.x()) || !std::isfinite(to.y()) || !std::isfinite(c.x()) || !std::isfinite(c.y())) return Value();
            swf::Edge e;
            e.from = s.pen;
            e.control = c;
            e.to = to;
            e.curved = true;
            currentPath(s).edges.push_back(e);
            s.pen = to;
            recompile(d, s);
        }
        return Value();
    });
}

void StartDrag(Runtime& rt, swf::DisplayObject* d, bool lockCenter)
{
    rt.dragged = d ? d->weak_from_this() : std::weak_ptr<swf::DisplayObject>();
    rt.dragLockCenter = lockCenter;
    if (d) {
        rt.dragOffsetX = d->matrix.tx / 20 - rt.mouseX;
        rt.dragOffsetY = d->matrix.ty / 20 - rt.mouseY;
    }
}

} // namespace plovex::avm1
