// TextFormat: a set of text properties, each null until given. Setting a
// property converts the value as the Flash Player does (whole numbers
// rounded half to even, margins not below zero, colours as 32-bit
// unsigned numbers); the constructor's arguments are cut to whole numbers
// instead.

#include "avm1/globals/globals.h"

#include "swf/render.h"

namespace plovex::avm1 {

namespace {

class TextFormatObject final : public Object {
public:
    using Object::Object;
    swf::TextFormat format;
    QString display = QStringLiteral("block");   // how the text flows; kept, not used

    bool getSpecial(Activation& a, const QString& name, Value& out) override;
    bool setSpecial(Activation& a, const QString& name, const Value& v) override;
};

enum class Field {
    Font, Size, Color, Bold, Italic, Underline, Url, Target, Align, LeftMargin, RightMargin, Indent, Leading,
    BlockIndent, TabStops, Bullet, Kerning, LetterSpacing, Display, None
};

// Names in the order of the constructor's arguments first.
const char* const kNames[] = {"font", "size", "color", "bold", "italic", "underline", "url", "target", "align",
                              "leftMargin", "rightMargin", "indent", "leading", "blockIndent", "tabStops",
                              "bullet", "kerning", "letterSpacing", "display"};

Field FieldOf(Activation& a, const QString& name)
{
    const Qt::CaseSensitivity cs = a.caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < int(std::size(kNames)); ++i)
        if (name.compare(QLatin1String(kNames[i]), cs) == 0)
            return Field(i);
    return Field::None;
}

const char* AlignName(int align)
{
    switch (align) {
    case swf::kAlignRight: return "right";
    case swf::kAlignCenter: return "center";
    case swf::kAlignJustify: return "justify";
    default: return "left";
    }
}

std::optional<int> AlignOf(const QString& s)
{
    const QString l = s.toLower();
    if (l == QLatin1String("left")) return swf::kAlignLeft;
    if (l == QLatin1String("right")) return swf::kAlignRight;
    if (l == QLatin1String("center")) return swf::kAlignCenter;
    if (l == QLatin1String("justify")) return swf::kAlignJustify;
    return std::nullopt;
}

bool IsNothing(const Value& v)
{
    return v.isUndefined() || v.isNull();
}

double RoundHalfEven(double v)
{
    if (!std::isfinite(v))
        return std::isnan(v) ? 0 : v;
    return double(ToInt32(std::nearbyint(v)));
}

Value Number(const std::optional<double>& v)
{
    return v ? Value(*v) : Value::null();
}

Value Bool(const std::optional<bool>& v)
{
    return v ? Value(*v) : Value::null();
}

Value String(const std::optional<QString>& v)
{
    return v ? Value(*v) : Value::null();
}

double Cut(double v)
{
    return std::isfinite(v) ? double(ToInt32(v)) : 0;
}

// Writes one property: setters round numbers half to even and keep
// margins from going below zero; the constructor cuts numbers instead.
void Store(Activation& a, swf::TextFormat& f, Field field, const Value& v, bool constructing)
{
    double (*whole)(double) = constructing ? &Cut : &RoundHalfEven;
    Runtime& rt = a.rt;
    const bool none = IsNothing(v);
    auto num = [&](std::optional<double>& out, bool notNegative) {
        if (none) { out.reset(); return; }
        double d = whole(rt.toNumber(a, v));
        if (notNegative && d < 0) d = 0;
        out = d;
    };
    auto flag = [&](std::optional<bool>& out) {
        if (none) out.reset(); else out = rt.toBool(v, a.version);
    };
    auto text = [&](std::optional<QString>& out) {
        if (none) out.reset(); else out = rt.toString(a, v);
    };
    switch (field) {
    case Field::Font: text(f.font); break;
    case Field::Size: num(f.size, false); break;
    case Field::Color:
        if (none) f.color.reset(); else f.color = ToUint32(rt.toNumber(a, v));
        break;
    case Field::Bold: flag(f.bold); break;
    case Field::Italic: flag(f.italic); break;
    case Field::Underline: flag(f.underline); break;
    case Field::Url: text(f.url); break;
    case Field::Target: text(f.target); break;
    case Field::Align:
        if (!none)
            if (auto al = AlignOf(rt.toString(a, v)))
                f.align = al;
        break;
    case Field::LeftMargin: num(f.leftMargin, !constructing); break;
    case Field::RightMargin: num(f.rightMargin, !constructing); break;
    case Field::Indent: num(f.indent, false); break;
    case Field::Leading: num(f.leading, false); break;
    case Field::BlockIndent: num(f.blockIndent, false); break;
    case Field::LetterSpacing:
        if (none) f.letterSpacing.reset(); else f.letterSpacing = rt.toNumber(a, v);
        break;
    case Field::Bullet: flag(f.bullet); break;
    case Field::Kerning: flag(f.kerning); break;
    case Field::TabStops:
        if (Object* o = v.asObject(); o && !none) {
            std::vector<double> stops;
            const int n = std::clamp(ToInt32(rt.toNumber(a, o->get(a, QStringLiteral("length")))), 0, 1 << 16);
            for (int i = 0; i < n; ++i)
                stops.push_back(RoundHalfEven(rt.toNumber(a, o->get(a, QString::number(i)))));
            f.tabStops = stops;
        } else {
            f.tabStops.reset();
        }
        break;
    case Field::Display:
    case Field::None: break;
    }
}

// Keeps the class's prototype alive with the runtime.
struct TextFormatClass : Object {
    Object* proto = nullptr;
    void trace(Gc& gc) override
    {
        Object::trace(gc);
        gc.mark(proto);
    }
};

} // namespace

bool TextFormatObject::getSpecial(Activation& a, const QString& name, Value& out)
{
    const swf::TextFormat& f = format;
    switch (FieldOf(a, name)) {
    case Field::Font: out = String(f.font); return true;
    case Field::Size: out = Number(f.size); return true;
    case Field::Color: out = f.color ? Value(double(*f.color)) : Value::null(); return true;
    case Field::Bold: out = Bool(f.bold); return true;
    case Field::Italic: out = Bool(f.italic); return true;
    case Field::Underline: out = Bool(f.underline); return true;
    case Field::Url: out = String(f.url); return true;
    case Field::Target: out = String(f.target); return true;
    case Field::Align: out = f.align ? Value(QString::fromLatin1(AlignName(*f.align))) : Value::null(); return true;
    case Field::LeftMargin: out = Number(f.leftMargin); return true;
    case Field::RightMargin: out = Number(f.rightMargin); return true;
    case Field::Indent: out = Number(f.indent); return true;
    case Field::Leading: out = Number(f.leading); return true;
    case Field::BlockIndent: out = Number(f.blockIndent); return true;
    case Field::LetterSpacing: out = Number(f.letterSpacing); return true;
    case Field::Bullet: out = Bool(f.bullet); return true;
    case Field::Kerning: out = Bool(f.kerning); return true;
    case Field::TabStops:
        if (!f.tabStops) {
            out = Value::null();
        } else {
            std::vector<Value> items;
            for (double t : *f.tabStops)
                items.emplace_back(t);
            out = Value(a.rt.newArray(items));
        }
        return true;
    case Field::Display: out = Value(display); return true;
    case Field::None: return false;
    }
    return false;
}

bool TextFormatObject::setSpecial(Activation& a, const QString& name, const Value& v)
{
    const Field field = FieldOf(a, name);
    if (field == Field::None)
        return false;
    if (field == Field::Display) {
        const QString d = a.rt.toString(a, v);
        if (d == QLatin1String("block") || d == QLatin1String("inline") || d == QLatin1String("none"))
            display = d;
        return true;
    }
    Store(a, format, field, v, false);
    return true;
}

Object* NewTextFormatObject(Runtime& rt, Object* proto, const swf::TextFormat& f)
{
    auto* o = rt.make<TextFormatObject>(proto);
    o->format = f;
    return o;
}

std::optional<swf::TextFormat> TextFormatOf(const Value& v)
{
    if (auto* o = dynamic_cast<TextFormatObject*>(v.asObject()))
        return o->format;
    return std::nullopt;
}

Object* InstallTextFormat(Runtime& rt)
{
    auto* holder = rt.make<TextFormatClass>();
    rt.extraRoots.push_back(holder);
    Object* p = holder->proto = rt.make<Object>(rt.objectProto);
    rt.newClass(QStringLiteral("TextFormat"), [](Activation&, Object*, Args&) -> Value { return Value(); },
                [&rt, p](Activation& a, Object*, Args& args) -> Value {
                    auto* o = rt.make<TextFormatObject>(p);
                    for (size_t i = 0; i < std::min<size_t>(args.size(), 13); ++i)
                        Store(a, o->format, Field(i), args[i], true);
                    return Value(o);
                },
                p, rt.global);
    p->defineNative(rt, QStringLiteral("getTextExtent"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        // Width and height of one line of text in this format, without
        // wrapping; the field's 2-pixel gutters are in textFieldWidth/Height.
        swf::SpanFormat f;
        if (auto* t = dynamic_cast<TextFormatObject*>(self))
            t->format.applyTo(f);
        swf::TextFieldState line;
        line.newFormat = f;
        line.text = rt.toString(a, Arg(args, 0)).remove(u'\r').remove(u'\n');
        line.normalize(f);
        const QSizeF twips = swf::MeasureFieldText(rt.movie(), line, nullptr);
        const QSizeF size(twips.width() / 20, twips.height() / 20);
        Object* o = rt.newObject();
        const double w = std::round(size.width()), h = std::round(size.height());
        o->set(a, QStringLiteral("width"), Value(w));
        o->set(a, QStringLiteral("height"), Value(h));
        o->set(a, QStringLiteral("ascent"), Value(std::round(h * 0.8)));
        o->set(a, QStringLiteral("descent"), Value(h - std::round(h * 0.8)));
        o->set(a, QStringLiteral("textFieldWidth"), Value(w + 4));
        o->set(a, QStringLiteral("textFieldHeight"), Value(h + 4));
        return Value(o);
    });
    return p;
}

} // namespace plovex::avm1
