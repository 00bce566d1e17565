// TextField: a field's text with its runs of format, its settings as
// scripts read and write them, and TextFormat access by range.

#include "avm1/globals/globals.h"

#include "swf/render.h"

namespace plovex::avm1 {

namespace {

const swf::EditTextCharacter* editText(Runtime& rt, swf::DisplayObject* d)
{
    return rt.movie().get<swf::EditTextCharacter>(d->characterId);
}

bool is(const QString& a, const char* b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

Scope* GlobalScope(Runtime& rt)
{
    return rt.make<Scope>(nullptr, rt.global);
}

// The variable a field shows, read from the field's timeline; null when
// the variable is not there.
std::optional<Value> BoundValue(Runtime& rt, swf::DisplayObject* d, const QString& name)
{
    if (!d->parent || name.isEmpty())
        return std::nullopt;
    ClipObject* owner = rt.clipObject(d->parent);
    Activation a(rt, rt.version(), rt.make<Scope>(GlobalScope(rt), owner), owner, owner);
    const Value v = GetVariable(a, name);
    if (v.isUndefined())
        return std::nullopt;
    return v;
}

void SetPlain(swf::TextFieldState& s, const QString& text)
{
    s.text = swf::FieldNewlines(text);
    s.spans.clear();
    s.normalize(s.newFormat);
}

void SetHtml(swf::TextFieldState& s, const QString& html, int version)
{
    static_cast<swf::FormattedText&>(s) =
        swf::FormattedText::FromHtml(html, s.newFormat, swf::HtmlOptions{s.multiline, s.condenseWhite, version});
}

// The text shown by a field bound to a variable: numbers and the rest as
// strings; a field whose variable is missing keeps its text.
void ShowBound(Runtime& rt, swf::DisplayObject* d, swf::TextFieldState& s)
{
    if (s.variable.isEmpty())
        return;
    const std::optional<Value> v = BoundValue(rt, d, s.variable);
    if (!v)
        return;
    Activation a(rt, rt.version(), GlobalScope(rt), nullptr, nullptr);
    const QString text = rt.toString(a, *v);
    if (s.html) {
        const QString now = s.toHtml();
        if (now != text && s.text != text)
            SetHtml(s, text, rt.version());
    } else if (s.text != swf::FieldNewlines(text)) {
        SetPlain(s, text);
    }
}

// Writes the field's text to its variable, as typing and `text` do.
void StoreBound(Runtime& rt, swf::DisplayObject* d, const swf::TextFieldState& s)
{
    if (s.variable.isEmpty() || !d->parent)
        return;
    ClipObject* owner = rt.clipObject(d->parent);
    Activation a(rt, rt.version(), rt.make<Scope>(GlobalScope(rt), owner), owner, owner);
    SetVariable(a, s.variable, Value(s.html ? s.toHtml() : s.text));
}

// A whole number of a range argument: cut towards zero, negatives at 0.
int Index(Activation& a, const Value& v)
{
    const double n = a.rt.toNumber(a, v);
    return std::isfinite(n) ? std::max(0, ToInt32(n)) : 0;
}

QString AutoSizeName(int a)
{
    static const char* const names[] = {"none", "left", "center", "right"};
    return QString::fromLatin1(names[std::clamp(a, 0, 3)]);
}

const swf::FontCharacter* FieldFont(Runtime& rt, swf::DisplayObject* d)
{
    const auto* c = editText(rt, d);
    return c && c->hasFont ? rt.movie().get<swf::FontCharacter>(c->fontId) : nullptr;
}

// textWidth and textHeight in pixels.
QSizeF TextSize(Runtime& rt, swf::DisplayObject* d, const swf::TextFieldState& s)
{
    const QSizeF tw = swf::MeasureFieldText(rt.movie(), s, FieldFont(rt, d));
    return QSizeF(std::floor(tw.width() / 20), std::floor(tw.height() / 20));
}

// The field's box in twips: its own size or its character's.
QRectF Box(Runtime& rt, swf::DisplayObject* d)
{
    return LocalBounds(rt.movie(), *d);
}

// A field with autoSize grows or shrinks to its text, keeping the side
// (or centre) autoSize names.
void ApplyAutoSize(Runtime& rt, swf::DisplayObject* d, swf::TextFieldState& s)
{
    if (s.autoSize == 0)
        return;
    const QRectF box = Box(rt, d);
    const QSizeF text = TextSize(rt, d, s);
    const double height = std::round(text.height() * 20) + 80;
    s.height = height;
    if (s.wordWrap)
        return;
    const double width = std::round(text.width() * 20) + 80;
    const double old = box.width();
    s.width = width;
    if (s.autoSize == 2)
        d->matrix.tx += std::round((old - width) / 2);
    else if (s.autoSize == 3)
        d->matrix.tx += old - width;
}

// Lines of text (paragraphs; fields do not wrap lines yet) and how many
// fit in the box, for the scroll properties.
int LineCount(const swf::TextFieldState& s)
{
    return int(s.text.count(u'\r')) + 1;
}

int VisibleLines(Runtime& rt, swf::DisplayObject* d, const swf::TextFieldState& s)
{
    const int lines = LineCount(s);
    const QSizeF text = TextSize(rt, d, s);
    if (lines <= 0 || text.height() <= 0)
        return lines;
    const double lineHeight = text.height() / lines;
    const double inner = Box(rt, d).height() / 20 - 4;
    return std::max(1, int(std::floor(inner / lineHeight + 1e-9)));
}

// Whether `restrict` lets typing enter `c`: ranges ("a-z"), '^' to
// switch to characters taken out, '\\' before a character meant as itself.
bool RestrictAllows(const QString& restrict, QChar c)
{
    bool include = true;
    bool allowed = restrict.startsWith(u'^');
    for (qsizetype i = 0; i < restrict.size(); ++i) {
        QChar first = restrict[i];
        if (first == u'^') {
            include = !include;
            continue;
        }
        if (first == u'\\' && i + 1 < restrict.size())
            first = restrict[++i];
        QChar last = first;
        if (i + 2 < restrict.size() && restrict[i + 1] == u'-') {
            i += 2;
            last = restrict[i];
            if (last == u'\\' && i + 1 < restrict.size())
                last = restrict[++i];
        }
        if (c >= first && c <= last)
            allowed = include;
    }
    return allowed;
}

// What typing `c` enters under `restrict`: the character, the same letter
// in the other case when only that is allowed, or nothing.
std::optional<QChar> Restricted(const std::optional<QString>& restrict, QChar c)
{
    if (!restrict || restrict->isEmpty() || RestrictAllows(*restrict, c))
        return c;
    const QChar other = c.isUpper() ? c.toLower() : c.toUpper();
    if (other != c && RestrictAllows(*restrict, other))
        return other;
    return std::nullopt;
}

// Calls the field's onChanged handler, as the Flash Player does after the
// user changed its text.
void NotifyChanged(Runtime& rt, swf::DisplayObject* d)
{
    ClipObject* obj = rt.clipObject(d);
    Activation a(rt, rt.version(), GlobalScope(rt), obj, obj);
    const Value fn = obj->get(a, QStringLiteral("onChanged"));
    if (fn.isObject() && fn.asObject()->isFunction()) {
        std::vector<Value> args{Value(static_cast<Object*>(obj))};
        rt.call(a, fn, Value(static_cast<Object*>(obj)), args);
    }
}

void UserEdited(Runtime& rt, swf::DisplayObject* d, swf::TextFieldState& s)
{
    StoreBound(rt, d, s);
    ApplyAutoSize(rt, d, s);
    NotifyChanged(rt, d);
}

} // namespace

namespace {

// The selected range of a focused field, or the caret (or the end) as an
// empty range.
std::pair<int, int> EditRange(const swf::TextFieldState& s)
{
    const int length = int(s.text.size());
    const int caret = s.caret >= 0 ? std::min(s.caret, length) : length;
    if (s.caret < 0 || s.selectionAnchor < 0)
        return {caret, caret};
    const int anchor = std::clamp(s.selectionAnchor, 0, length);
    return {std::min(anchor, caret), std::max(anchor, caret)};
}

void ReplaceRange(swf::TextFieldState& s, int from, int to, const QString& with)
{
    s.replace(from, to, with, from > 0 ? s.formatAt(from - 1, s.newFormat) : s.newFormat);
    if (s.caret >= 0)
        s.caret = s.selectionAnchor = from + int(with.size());
}

} // namespace

void TextFieldType(Runtime& rt, swf::DisplayObject* d, const QString& typed)
{
    swf::TextFieldState& s = TextFieldStateOf(rt, d);
    if (!s.input)
        return;
    for (const QChar typedChar : typed) {
        QChar c = typedChar;
        if (c == u'\n')
            c = u'\r';
        if (c == u'\r' ? !s.multiline : !c.isPrint())
            continue;
        const std::optional<QChar> entered = c == u'\r' ? std::optional<QChar>(c) : Restricted(s.restrictChars, c);
        // Typing replaces the selection.
        const auto [from, to] = EditRange(s);
        if (!entered || (s.maxChars > 0 && s.text.size() - (to - from) >= s.maxChars))
            continue;
        ReplaceRange(s, from, to, QString(*entered));
        UserEdited(rt, d, s);
    }
}

void TextFieldKey(Runtime& rt, swf::DisplayObject* d, int keyCode)
{
    swf::TextFieldState& s = TextFieldStateOf(rt, d);
    if (!s.input)
        return;
    if (keyCode == 13) {
        TextFieldType(rt, d, QStringLiteral("\r"));
        return;
    }
    if (keyCode != 8 || s.text.isEmpty())
        return;
    // Backspace deletes the selection, or the character before the caret.
    auto [from, to] = EditRange(s);
    if (from == to) {
        if (from == 0)
            return;
        --from;
    }
    ReplaceRange(s, from, to, QString());
    UserEdited(rt, d, s);
}

swf::SpanFormat DefaultTextFormat(const swf::Movie& movie, const swf::EditTextCharacter& c)
{
    swf::SpanFormat f;
    const swf::FontCharacter* font = c.hasFont ? movie.get<swf::FontCharacter>(c.fontId) : nullptr;
    if (font && !font->name.isEmpty())
        f.font = font->name;
    else if (!c.fontClass.isEmpty())
        f.font = c.fontClass;
    // HTML text takes bold and italic from its own tags.
    f.bold = !c.html && font && font->bold;
    f.italic = !c.html && font && font->italic;
    if (c.hasFont || !c.fontClass.isEmpty())
        f.size = c.fontHeight / 20;
    if (c.hasColor)
        f.color = (quint32(c.color.red()) << 16) | (quint32(c.color.green()) << 8) | quint32(c.color.blue());
    f.align = c.align;
    f.leftMargin = c.leftMargin / 20;
    f.rightMargin = c.rightMargin / 20;
    f.indent = c.indent / 20;
    f.leading = c.leading / 20;
    return f;
}

swf::TextFieldState& TextFieldStateOf(Runtime& rt, swf::DisplayObject* d)
{
    if (!d->textState) {
        auto s = std::make_shared<swf::TextFieldState>();
        if (const auto* c = editText(rt, d)) {
            s->newFormat = DefaultTextFormat(rt.movie(), *c);
            s->html = c->html;
            s->multiline = c->multiline;
            s->wordWrap = c->wordWrap;
            s->password = c->password;
            s->input = !c->readOnly;
            s->selectable = !c->noSelect;
            s->embedFonts = c->useOutlines;
            s->autoSize = c->autoSize ? 1 : 0;
            s->maxChars = c->maxLength;
            s->border = c->border;
            s->background = c->border;
            s->variable = c->variableName;
            s->antiAliasType = c->advancedAntiAlias ? QStringLiteral("advanced") : QStringLiteral("normal");
            s->gridFitType = c->gridFit == 0 ? QStringLiteral("none") : c->gridFit == 2 ? QStringLiteral("subpixel")
                                                                                         : QStringLiteral("pixel");
            s->thickness = c->thickness;
            s->sharpness = c->sharpness;
            if (c->html)
                SetHtml(*s, c->text, rt.version());
            else
                SetPlain(*s, c->text);
        }
        d->textState = s;
    }
    return *d->textState;
}

void SyncBoundTextFields(Runtime& rt, swf::DisplayObject* root)
{
    std::vector<swf::DisplayObject*> todo{root};
    while (!todo.empty()) {
        swf::DisplayObject* d = todo.back();
        todo.pop_back();
        for (const swf::DisplayPtr& c : d->children)
            todo.push_back(c.get());
        const auto* c = editText(rt, d);
        if ((c && !c->variableName.isEmpty()) || (d->textState && !d->textState->variable.isEmpty()))
            ShowBound(rt, d, TextFieldStateOf(rt, d));
    }
}

bool TextFieldGet(Activation& a, ClipObject*, swf::DisplayObject* d, const QString& name, Value& out)
{
    Runtime& rt = a.rt;
    if (!d->textState && !editText(rt, d))
        return false;
    swf::TextFieldState& s = TextFieldStateOf(rt, d);
    if (is(name, "text")) {
        ShowBound(rt, d, s);
        out = Value(s.text);
    } else if (is(name, "htmlText")) {
        ShowBound(rt, d, s);
        out = Value(s.html ? s.toHtml() : s.text);
    } else if (is(name, "length")) {
        out = Value(double(s.text.size()));
    } else if (is(name, "textColor")) {
        out = Value(double(s.newFormat.color));
    } else if (is(name, "variable")) {
        out = s.variable.isEmpty() ? Value::null() : Value(s.variable);
    } else if (is(name, "type")) {
        out = Value(s.input ? QStringLiteral("input") : QStringLiteral("dynamic"));
    } else if (is(name, "autoSize")) {
        out = Value(AutoSizeName(s.autoSize));
    } else if (is(name, "multiline")) {
        out = Value(s.multiline);
    } else if (is(name, "wordWrap")) {
        out = Value(s.wordWrap);
    } else if (is(name, "password")) {
        out = Value(s.password);
    } else if (is(name, "html")) {
        out = Value(s.html);
    } else if (is(name, "border")) {
        out = Value(s.border);
    } else if (is(name, "background")) {
        out = Value(s.background);
    } else if (is(name, "borderColor") || is(name, "backgroundColor")) {
        const QColor c = is(name, "borderColor") ? s.borderColor : s.backgroundColor;
        out = Value(double((c.red() << 16) | (c.green() << 8) | c.blue()));
    } else if (is(name, "selectable")) {
        out = Value(s.selectable);
    } else if (is(name, "embedFonts")) {
        out = Value(s.embedFonts);
    } else if (is(name, "condenseWhite")) {
        out = Value(s.condenseWhite);
    } else if (is(name, "mouseWheelEnabled")) {
        out = Value(s.mouseWheelEnabled);
    } else if (is(name, "maxChars")) {
        out = s.maxChars > 0 ? Value(double(s.maxChars)) : Value::null();
    } else if (is(name, "restrict")) {
        out = s.restrictChars ? Value(*s.restrictChars) : Value::null();
    } else if (is(name, "antiAliasType") && a.version >= 8) {
        out = Value(s.antiAliasType);
    } else if (is(name, "gridFitType") && a.version >= 8) {
        out = Value(s.gridFitType);
    } else if (is(name, "sharpness") && a.version >= 8) {
        out = Value(s.sharpness);
    } else if (is(name, "thickness") && a.version >= 8) {
        out = Value(s.thickness);
    } else if (is(name, "textWidth") || is(name, "textHeight")) {
        const QSizeF size = TextSize(rt, d, s);
        out = Value(is(name, "textWidth") ? size.width() : size.height());
    } else if (is(name, "scroll")) {
        out = Value(double(s.scroll));
    } else if (is(name, "maxscroll")) {
        out = Value(double(std::max(1, LineCount(s) - VisibleLines(rt, d, s) + 1)));
    } else if (is(name, "bottomScroll")) {
        out = Value(double(std::min(LineCount(s), s.scroll + VisibleLines(rt, d, s) - 1)));
    } else if (is(name, "hscroll")) {
        out = Value(double(s.hscroll));
    } else if (is(name, "maxhscroll")) {
        const double over = TextSize(rt, d, s).width() - (Box(rt, d).width() / 20 - 4);
        out = Value(s.wordWrap ? 0.0 : std::max(0.0, std::ceil(over)));
    } else {
        return false;
    }
    return true;
}

bool TextFieldSet(Activation& a, ClipObject*, swf::DisplayObject* d, const QString& name, const Value& v)
{
    Runtime& rt = a.rt;
    if (!d->textState && !editText(rt, d))
        return false;
    swf::TextFieldState& s = TextFieldStateOf(rt, d);
    auto flag = [&](bool& out) { out = rt.toBool(v, a.version); };
    auto nothing = [&] { return v.isUndefined() || v.isNull(); };
    if (is(name, "text")) {
        SetPlain(s, rt.toString(a, v));
        StoreBound(rt, d, s);
        ApplyAutoSize(rt, d, s);
    } else if (is(name, "htmlText")) {
        if (s.html)
            SetHtml(s, rt.toString(a, v), a.version);
        else
            SetPlain(s, rt.toString(a, v));
        StoreBound(rt, d, s);
        ApplyAutoSize(rt, d, s);
    } else if (is(name, "textColor")) {
        swf::TextFormat f;
        f.color = ToUint32(rt.toNumber(a, v)) & 0xffffff;
        f.applyTo(s.newFormat);
        s.applyFormat(0, int(s.text.size()), f);
    } else if (is(name, "type")) {
        const QString t = rt.toString(a, v);
        if (is(t, "input"))
            s.input = true;
        else if (is(t, "dynamic"))
            s.input = false;
    } else if (is(name, "autoSize")) {
        if (v.isBool()) {
            s.autoSize = v.asBool() ? 1 : 0;
        } else {
            const QString t = rt.toString(a, v);
            s.autoSize = is(t, "left") ? 1 : is(t, "center") ? 2 : is(t, "right") ? 3 : 0;
        }
        ApplyAutoSize(rt, d, s);
    } else if (is(name, "multiline")) {
        flag(s.multiline);
    } else if (is(name, "wordWrap")) {
        flag(s.wordWrap);
    } else if (is(name, "password")) {
        flag(s.password);
    } else if (is(name, "html")) {
        flag(s.html);
    } else if (is(name, "border")) {
        flag(s.border);
    } else if (is(name, "background")) {
        flag(s.background);
    } else if (is(name, "borderColor") || is(name, "backgroundColor")) {
        const uint32_t c = ToUint32(rt.toNumber(a, v));
        (is(name, "borderColor") ? s.borderColor : s.backgroundColor) =
            QColor(int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255));
    } else if (is(name, "selectable")) {
        flag(s.selectable);
    } else if (is(name, "embedFonts")) {
        flag(s.embedFonts);
    } else if (is(name, "condenseWhite")) {
        flag(s.condenseWhite);
    } else if (is(name, "mouseWheelEnabled")) {
        flag(s.mouseWheelEnabled);
    } else if (is(name, "maxChars")) {
        const double n = nothing() ? 0 : rt.toNumber(a, v);
        s.maxChars = std::isfinite(n) ? std::max(0, ToInt32(n)) : 0;
    } else if (is(name, "restrict")) {
        const QString chars = nothing() ? QString() : rt.toString(a, v);
        if (chars.isEmpty())
            s.restrictChars.reset();
        else
            s.restrictChars = chars;
    } else if (is(name, "variable")) {
        const QString name2 = nothing() ? QString() : rt.toString(a, v);
        s.variable = name2;
        ShowBound(rt, d, s);
    } else if (is(name, "antiAliasType") && a.version >= 8) {
        const QString t = rt.toString(a, v);
        if (t == QLatin1String("normal") || t == QLatin1String("advanced"))
            s.antiAliasType = t;
    } else if (is(name, "gridFitType") && a.version >= 8) {
        const QString t = rt.toString(a, v);
        if (t == QLatin1String("none") || t == QLatin1String("pixel") || t == QLatin1String("subpixel"))
            s.gridFitType = t;
    } else if (is(name, "sharpness") && a.version >= 8) {
        s.sharpness = rt.toNumber(a, v);
    } else if (is(name, "thickness") && a.version >= 8) {
        s.thickness = rt.toNumber(a, v);
    } else if (is(name, "scroll")) {
        const double n = rt.toNumber(a, v);
        if (std::isfinite(n))
            s.scroll = std::clamp(ToInt32(n), 1, std::max(1, LineCount(s) - VisibleLines(rt, d, s) + 1));
    } else if (is(name, "hscroll")) {
        const double n = rt.toNumber(a, v);
        if (std::isfinite(n))
            s.hscroll = std::max(0, ToInt32(n));
    } else if (is(name, "_width") || is(name, "_height")) {
        // A field's size is its box, not a scale.
        const double n = rt.toNumber(a, v);
        if (std::isfinite(n))
            (is(name, "_width") ? s.width : s.height) = std::max(0.0, std::round(n * 20));
    } else if (is(name, "length") || is(name, "textWidth") || is(name, "textHeight") || is(name, "maxscroll") ||
               is(name, "maxhscroll") || is(name, "bottomScroll")) {
        // read-only
    } else {
        return false;
    }
    return true;
}

void InstallTextField(Runtime& rt)
{
    Object* formatProto = InstallTextFormat(rt);
    Object* p = rt.textFieldProto;
    FunctionObject* ctor = rt.newClass(QStringLiteral("TextField"), [](Activation&, Object*, Args&) -> Value { return Value(); },
                                       nullptr, p, rt.global);
    ctor->constructor = nullptr;
    ctor->defineNative(rt, QStringLiteral("getFontList"), [&rt](Activation&, Object*, Args&) -> Value {
        std::vector<Value> names;
        for (const auto& [id, c] : rt.movie().dictionary)
            if (c->kind() == swf::CharacterKind::Font) {
                const QString n = static_cast<const swf::FontCharacter*>(c.get())->name;
                if (!n.isEmpty())
                    names.emplace_back(n);
            }
        for (const char* n : {"_sans", "_serif", "_typewriter", "Times New Roman", "Arial", "Courier New"})
            names.emplace_back(QString::fromLatin1(n));
        return Value(rt.newArray(names));
    });
    auto field = [&rt](Object* o) -> swf::DisplayObject* {
        swf::DisplayObject* d = rt.displayOf(o);
        return d && (d->textState || editText(rt, d)) ? d : nullptr;
    };
    p->defineNative(rt, QStringLiteral("getDepth"), [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = rt.displayOf(o);
        return d ? Value(double(d->depth - 16384)) : Value();
    });
    p->defineNative(rt, QStringLiteral("removeTextField"), [&rt](Activation&, Object* o, Args&) -> Value {
        auto* d = rt.displayOf(o);
        if (d && d->parent && d->depth >= 16384 && rt.removeChild) rt.removeChild(d);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("getTextFormat"), [&rt, field, formatProto](Activation& a, Object* o, Args& args) -> Value {
        swf::DisplayObject* d = field(o);
        if (!d)
            return Value();
        swf::TextFieldState& s = TextFieldStateOf(rt, d);
        const int len = int(s.text.size());
        int from = 0, to = len;
        if (args.size() >= 1 && !args[0].isUndefined()) {
            from = Index(a, args[0]);
            to = args.size() >= 2 && !args[1].isUndefined() ? Index(a, args[1]) : from + 1;
        }
        to = std::min(to, len);
        // An empty range (an empty field included) has no format.
        if (from >= to)
            return Value(NewTextFormatObject(rt, formatProto, swf::TextFormat()));
        return Value(NewTextFormatObject(rt, formatProto, s.formatOf(from, to)));
    });
    p->defineNative(rt, QStringLiteral("setTextFormat"), [&rt, field](Activation& a, Object* o, Args& args) -> Value {
        swf::DisplayObject* d = field(o);
        if (!d || args.empty())
            return Value();
        const std::optional<swf::TextFormat> f = TextFormatOf(args.back());
        if (!f)
            return Value();
        swf::TextFieldState& s = TextFieldStateOf(rt, d);
        const int len = int(s.text.size());
        int from = 0, to = len;
        if (args.size() == 2) {
            from = Index(a, args[0]);
            to = from + 1;
        } else if (args.size() >= 3) {
            from = Index(a, args[0]);
            to = Index(a, args[1]);
        }
        s.applyFormat(from, std::min(to, len), *f);
        ApplyAutoSize(rt, d, s);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("getNewTextFormat"), [&rt, field, formatProto](Activation&, Object* o, Args&) -> Value {
        swf::DisplayObject* d = field(o);
        if (!d)
            return Value();
        return Value(NewTextFormatObject(rt, formatProto, swf::TextFormat::Of(TextFieldStateOf(rt, d).newFormat)));
    });
    p->defineNative(rt, QStringLiteral("setNewTextFormat"), [&rt, field](Activation&, Object* o, Args& args) -> Value {
        swf::DisplayObject* d = field(o);
        if (!d)
            return Value();
        if (const std::optional<swf::TextFormat> f = TextFormatOf(Arg(args, 0)))
            f->applyTo(TextFieldStateOf(rt, d).newFormat);
        return Value();
    });
    p->defineNative(rt, QStringLiteral("replaceText"), [&rt, field](Activation& a, Object* o, Args& args) -> Value {
        swf::DisplayObject* d = field(o);
        if (!d || args.size() < 3)
            return Value();
        swf::TextFieldState& s = TextFieldStateOf(rt, d);
        const int from = Index(a, args[0]), to = Index(a, args[1]);
        if (from > to || from > int(s.text.size()))
            return Value();
        s.replace(from, to, swf::FieldNewlines(rt.toString(a, args[2])), s.formatAt(from, s.newFormat));
        StoreBound(rt, d, s);
        ApplyAutoSize(rt, d, s);
        return Value();
    });
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
        swf::TextFieldState& s = TextFieldStateOf(rt, t);
        auto size = [&](const Value& v) {
            const double n = rt.toNumber(a, v);
            return std::isfinite(n) ? std::max(0.0, std::round(n * 20)) : 0.0;
        };
        s.width = size(args[4]);
        s.height = size(args[5]);
        return a.version >= 8 ? rt.clipValue(t) : Value();
    });
}

} // namespace plovex::avm1
