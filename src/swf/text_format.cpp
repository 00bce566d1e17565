#include "swf/text_format.h"

#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace plovex::swf {

namespace {

bool IsNewline(QChar c)
{
    return c == u'\r' || c == u'\n';
}

bool IsWhite(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool SameFont(const SpanFormat& a, const SpanFormat& b)
{
    return a.font == b.font && a.size == b.size && a.color == b.color && a.letterSpacing == b.letterSpacing &&
           a.kerning == b.kerning;
}

bool SameStyle(const SpanFormat& a, const SpanFormat& b)
{
    return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline;
}

bool HasBlockFormat(const SpanFormat& f)
{
    return f.leftMargin != 0 || f.rightMargin != 0 || f.indent != 0 || f.leading != 0 || f.blockIndent != 0 ||
           !f.tabStops.empty();
}

QString EscapeHtml(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&apos;"); break;
        default: out += c;
        }
    }
    return out;
}

QString ColorText(quint32 c)
{
    return QStringLiteral("#%1").arg(c & 0xffffff, 6, 16, QLatin1Char('0')).toUpper();
}

// Writes spans as the Flash Player's HTML: one TEXTFORMAT/P (or LI) per
// paragraph, FONT tags nested by what changes, then A, B, I, U.
class HtmlWriter {
public:
    enum Tag { TextFormatTag, PTag, LiTag, FontTag, ATag, BTag, ITag, UTag };

    void setSpan(const SpanFormat& span)
    {
        if (!SameStyle(span, *cur_))
            closeTill(BTag);
        if (span.url != cur_->url || span.target != cur_->target)
            closeTill(ATag);
        closeFontIfFeasible(span);
        cur_ = &span;
        if (HasBlockFormat(span))
            openTag(TextFormatTag);
        if (!isOpen(PTag) && !isOpen(LiTag))
            openTag(span.bullet ? LiTag : PTag);
        setFont(span);
        if (!span.url.isEmpty())
            openTag(ATag);
        if (span.bold)
            openTag(BTag);
        if (span.italic)
            openTag(ITag);
        if (span.underline)
            openTag(UTag);
    }

    void pushText(const QString& text)
    {
        const bool endsWithNewline = !text.isEmpty() && IsNewline(text.back());
        const QString body = endsWithNewline ? text.left(text.size() - 1) : text;
        bool first = true;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= body.size(); ++i) {
            if (i < body.size() && !IsNewline(body[i]))
                continue;
            if (!first) {
                closeAll();
                setSpan(*cur_);
            }
            first = false;
            out_ += EscapeHtml(body.mid(start, i - start));
            start = i + 1;
        }
        if (endsWithNewline)
            closeAll();
    }

    void closeAll() { closeTill(TextFormatTag); }
    QString result() const { return out_; }

private:
    bool isOpen(Tag t) const { return std::find(open_.begin(), open_.end(), t) != open_.end(); }

    void openTag(Tag tag)
    {
        if (isOpen(tag) || (!open_.empty() && open_.back() > tag))
            return;
        open_.push_back(tag);
        const SpanFormat& f = *cur_;
        switch (tag) {
        case TextFormatTag:
            out_ += QLatin1String("<TEXTFORMAT");
            if (f.leftMargin != 0)
                out_ += QStringLiteral(" LEFTMARGIN=\"%1\"").arg(FormatHtmlNumber(f.leftMargin));
            if (f.rightMargin != 0)
                out_ += QStringLiteral(" RIGHTMARGIN=\"%1\"").arg(FormatHtmlNumber(f.rightMargin));
            if (f.indent != 0)
                out_ += QStringLiteral(" INDENT=\"%1\"").arg(FormatHtmlNumber(f.indent));
            if (f.leading != 0)
                out_ += QStringLiteral(" LEADING=\"%1\"").arg(FormatHtmlNumber(f.leading));
            if (f.blockIndent != 0)
                out_ += QStringLiteral(" BLOCKINDENT=\"%1\"").arg(FormatHtmlNumber(f.blockIndent));
            if (!f.tabStops.empty()) {
                QStringList stops;
                for (double t : f.tabStops)
                    stops << FormatHtmlNumber(t);
                out_ += QStringLiteral(" TABSTOPS=\"%1\"").arg(stops.join(u','));
            }
            out_ += u'>';
            break;
        case PTag: {
            static const char* const names[] = {"LEFT", "RIGHT", "CENTER", "JUSTIFY"};
            out_ += QStringLiteral("<P ALIGN=\"%1\">").arg(QLatin1String(names[std::clamp(f.align, 0, 3)]));
            break;
        }
        case LiTag: out_ += QLatin1String("<LI>"); break;
        case ATag:
            out_ += QStringLiteral("<A HREF=\"%1\" TARGET=\"%2\">").arg(f.url, f.target);
            break;
        case BTag: out_ += QLatin1String("<B>"); break;
        case ITag: out_ += QLatin1String("<I>"); break;
        case UTag: out_ += QLatin1String("<U>"); break;
        case FontTag: break;   // setFont writes FONT tags
        }
    }

    void setFont(const SpanFormat& f)
    {
        if (!fonts_.empty()) {
            const SpanFormat& last = *fonts_.back();
            if (SameFont(last, f))
                return;
            closeTill(ATag);
            out_ += QLatin1String("<FONT");
            if (f.font != last.font)
                out_ += QStringLiteral(" FACE=\"%1\"").arg(f.font);
            if (f.size != last.size)
                out_ += QStringLiteral(" SIZE=\"%1\"").arg(FormatHtmlNumber(f.size));
            if (f.color != last.color)
                out_ += QStringLiteral(" COLOR=\"%1\"").arg(ColorText(f.color));
            if (f.letterSpacing != last.letterSpacing)
                out_ += QStringLiteral(" LETTERSPACING=\"%1\"").arg(FormatHtmlNumber(f.letterSpacing));
            if (f.kerning != last.kerning)
                out_ += QStringLiteral(" KERNING=\"%1\"").arg(f.kerning ? 1 : 0);
            out_ += u'>';
            fonts_.push_back(&f);
            return;
        }
        closeTill(ATag);
        out_ += QStringLiteral("<FONT FACE=\"%1\" SIZE=\"%2\" COLOR=\"%3\" LETTERSPACING=\"%4\" KERNING=\"%5\">")
                    .arg(f.font, FormatHtmlNumber(f.size), ColorText(f.color), FormatHtmlNumber(f.letterSpacing))
                    .arg(f.kerning ? 1 : 0);
        fonts_.push_back(&f);
        open_.push_back(FontTag);
    }

    void closeFontIfFeasible(const SpanFormat& f)
    {
        for (size_t i = 0; i < fonts_.size(); ++i) {
            if (!SameFont(*fonts_[i], f))
                continue;
            if (i + 1 == fonts_.size())
                return;
            closeTill(ATag);
            for (size_t k = i + 1; k < fonts_.size(); ++k)
                out_ += QLatin1String("</FONT>");
            fonts_.resize(i + 1);
            return;
        }
    }

    void closeTill(Tag tag)
    {
        while (!open_.empty() && open_.back() >= tag) {
            const Tag t = open_.back();
            open_.pop_back();
            switch (t) {
            case TextFormatTag: out_ += QLatin1String("</TEXTFORMAT>"); break;
            case PTag: out_ += QLatin1String("</P>"); break;
            case LiTag: out_ += QLatin1String("</LI>"); break;
            case FontTag:
                for (size_t k = 0; k < fonts_.size(); ++k)
                    out_ += QLatin1String("</FONT>");
                fonts_.clear();
                break;
            case ATag: out_ += QLatin1String("</A>"); break;
            case BTag: out_ += QLatin1String("</B>"); break;
            case ITag: out_ += QLatin1String("</I>"); break;
            case UTag: out_ += QLatin1String("</U>"); break;
            }
        }
    }

    QString out_;
    std::vector<Tag> open_;
    std::vector<const SpanFormat*> fonts_;
    SpanFormat start_;
    const SpanFormat* cur_ = &start_;
};

QString DecodeEntities(const QString& s)
{
    if (!s.contains(u'&'))
        return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'&') {
            out += s[i];
            continue;
        }
        const qsizetype semi = s.indexOf(u';', i + 1);
        if (semi < 0 || semi - i > 10) {
            out += s[i];
            continue;
        }
        const QString name = s.mid(i + 1, semi - i - 1);
        QString repl;
        if (name == QLatin1String("amp")) repl = QStringLiteral("&");
        else if (name == QLatin1String("lt")) repl = QStringLiteral("<");
        else if (name == QLatin1String("gt")) repl = QStringLiteral(">");
        else if (name == QLatin1String("quot")) repl = QStringLiteral("\"");
        else if (name == QLatin1String("apos")) repl = QStringLiteral("'");
        else if (name == QLatin1String("nbsp")) repl = QString(QChar(0xa0));
        else if (name.startsWith(u'#')) {
            bool ok = false;
            const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? name.mid(2).toUInt(&ok, 16)
                                                                                        : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code < 0x110000)
                repl = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        } else {
            out += s[i];
            continue;
        }
        out += repl;
        i = semi;
    }
    return out;
}

struct Tag {
    QString name;   // lower case
    bool closing = false, selfClosing = false;
    std::vector<std::pair<QString, QString>> attributes;   // names in lower case
    std::optional<QString> attribute(const char* n) const
    {
        for (const auto& [k, v] : attributes)
            if (k == QLatin1String(n))
                return v;
        return std::nullopt;
    }
};

Tag ParseTag(const QString& s)
{
    Tag t;
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && s[i] == u'/') {
        t.closing = true;
        ++i;
    }
    qsizetype end = n;
    if (end > i && s[end - 1] == u'/') {
        t.selfClosing = true;
        --end;
    }
    const qsizetype nameStart = i;
    while (i < end && !s[i].isSpace())
        ++i;
    t.name = s.mid(nameStart, i - nameStart).toLower();
    while (i < end) {
        while (i < end && s[i].isSpace())
            ++i;
        const qsizetype k = i;
        while (i < end && !s[i].isSpace() && s[i] != u'=')
            ++i;
        const QString key = s.mid(k, i - k).toLower();
        while (i < end && s[i].isSpace())
            ++i;
        QString value;
        if (i < end && s[i] == u'=') {
            ++i;
            while (i < end && s[i].isSpace())
                ++i;
            if (i < end && (s[i] == u'"' || s[i] == u'\'')) {
                const QChar q = s[i++];
                const qsizetype v = i;
                while (i < end && s[i] != q)
                    ++i;
                value = s.mid(v, i - v);
                if (i < end)
                    ++i;
            } else {
                const qsizetype v = i;
                while (i < end && !s[i].isSpace())
                    ++i;
                value = s.mid(v, i - v);
            }
        }
        if (!key.isEmpty())
            t.attributes.emplace_back(key, value);
        else if (i < end)
            ++i;
    }
    return t;
}

std::optional<double> ParseNumber(const QString& s)
{
    bool ok = false;
    const double v = s.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

void CondenseSpacesAfterWhite(FormattedText& t)
{
    // From version 8 on, a condensing field also drops spaces that follow
    // a space or a newline across tags, and those at the start.
    std::vector<std::pair<int, int>> remove;
    int start = 0;
    bool removing = true;
    for (int i = 0; i < int(t.text.size()); ++i) {
        const QChar c = t.text[i];
        const bool newline = c == u'\r';
        const bool space = c == u' ';
        if (newline || !space) {
            if (removing)
                remove.emplace_back(start, i);
            removing = false;
        }
        if ((newline || space) && !removing) {
            removing = true;
            start = i + 1;
        }
    }
    if (removing)
        remove.emplace_back(start, int(t.text.size()));
    for (auto it = remove.rbegin(); it != remove.rend(); ++it)
        if (it->first < it->second) {
            const SpanFormat f = t.formatAt(it->first, SpanFormat());
            t.replace(it->first, it->second, QString(), f);
        }
}

} // namespace

QString FormatHtmlNumber(double v)
{
    if (!std::isfinite(v))
        return QStringLiteral("0");
    if (v == std::trunc(v) && std::fabs(v) < 1e15)
        return QString::number(qint64(v));
    return QString::number(v, 'g', 15);
}

QString FieldNewlines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    text.replace(u'\n', u'\r');
    return text;
}

TextFormat TextFormat::Of(const SpanFormat& f)
{
    TextFormat t;
    t.font = f.font;
    t.size = f.size;
    t.color = f.color;
    t.align = f.align;
    t.bold = f.bold;
    t.italic = f.italic;
    t.underline = f.underline;
    t.url = f.url;
    t.target = f.target;
    t.leftMargin = f.leftMargin;
    t.rightMargin = f.rightMargin;
    t.indent = f.indent;
    t.blockIndent = f.blockIndent;
    t.leading = f.leading;
    t.letterSpacing = f.letterSpacing;
    t.kerning = f.kerning;
    t.bullet = f.bullet;
    t.tabStops = f.tabStops;
    return t;
}

void TextFormat::applyTo(SpanFormat& f) const
{
    if (font) f.font = *font;
    if (size) f.size = *size;
    if (color) f.color = *color & 0xffffff;
    if (align) f.align = *align;
    if (bold) f.bold = *bold;
    if (italic) f.italic = *italic;
    if (underline) f.underline = *underline;
    if (url) f.url = *url;
    if (target) f.target = *target;
    if (leftMargin) f.leftMargin = *leftMargin;
    if (rightMargin) f.rightMargin = *rightMargin;
    if (indent) f.indent = *indent;
    if (blockIndent) f.blockIndent = *blockIndent;
    if (leading) f.leading = *leading;
    if (letterSpacing) f.letterSpacing = *letterSpacing;
    if (kerning) f.kerning = *kerning;
    if (bullet) f.bullet = *bullet;
    if (tabStops) f.tabStops = *tabStops;
}

void TextFormat::intersect(const SpanFormat& f)
{
    auto keep = [](auto& mine, const auto& theirs) {
        if (mine && *mine != theirs)
            mine.reset();
    };
    keep(font, f.font);
    keep(size, f.size);
    keep(color, f.color);
    keep(align, f.align);
    keep(bold, f.bold);
    keep(italic, f.italic);
    keep(underline, f.underline);
    keep(url, f.url);
    keep(target, f.target);
    keep(leftMargin, f.leftMargin);
    keep(rightMargin, f.rightMargin);
    keep(indent, f.indent);
    keep(blockIndent, f.blockIndent);
    keep(leading, f.leading);
    keep(letterSpacing, f.letterSpacing);
    keep(kerning, f.kerning);
    keep(bullet, f.bullet);
    keep(tabStops, f.tabStops);
}

void FormattedText::normalize(const SpanFormat& fallback)
{
    int total = 0;
    for (const TextSpan& s : spans)
        total += std::max(0, s.length);
    const int len = int(text.size());
    if (total < len) {
        spans.push_back(TextSpan{len - total, spans.empty() ? fallback : spans.back().format});
    } else {
        int excess = total - len;
        while (excess > 0 && !spans.empty()) {
            TextSpan& last = spans.back();
            if (last.length > excess) {
                last.length -= excess;
                break;
            }
            excess -= std::max(0, last.length);
            spans.pop_back();
        }
    }
    std::vector<TextSpan> merged;
    merged.reserve(spans.size());
    for (TextSpan& s : spans) {
        if (s.length <= 0)
            continue;
        if (!merged.empty() && merged.back().format == s.format)
            merged.back().length += s.length;
        else
            merged.push_back(std::move(s));
    }
    spans = std::move(merged);
}

void FormattedText::replace(int from, int to, const QString& with, const SpanFormat& format)
{
    const int len = int(text.size());
    from = std::clamp(from, 0, len);
    to = std::clamp(to, from, len);
    std::vector<TextSpan> out;
    out.reserve(spans.size() + 2);
    int pos = 0;
    for (const TextSpan& s : spans) {
        if (pos < from)
            out.push_back(TextSpan{std::min(pos + s.length, from) - pos, s.format});
        pos += s.length;
    }
    if (!with.isEmpty())
        out.push_back(TextSpan{int(with.size()), format});
    pos = 0;
    for (const TextSpan& s : spans) {
        if (pos + s.length > to)
            out.push_back(TextSpan{pos + s.length - std::max(pos, to), s.format});
        pos += s.length;
    }
    text = text.left(from) + with + text.mid(to);
    spans = std::move(out);
    normalize(format);
}

SpanFormat FormattedText::formatAt(int pos, const SpanFormat& fallback) const
{
    int start = 0;
    for (const TextSpan& s : spans) {
        if (pos < start + s.length)
            return s.format;
        start += s.length;
    }
    return spans.empty() ? fallback : spans.back().format;
}

TextFormat FormattedText::formatOf(int from, int to) const
{
    if (to <= from)
        to = from + 1;
    std::optional<TextFormat> result;
    int start = 0;
    for (const TextSpan& s : spans) {
        const int end = start + s.length;
        if (end > from && start < to) {
            if (!result)
                result = TextFormat::Of(s.format);
            else
                result->intersect(s.format);
        }
        start = end;
    }
    return result ? *result : TextFormat();
}

void FormattedText::applyFormat(int from, int to, const TextFormat& f)
{
    const int len = int(text.size());
    from = std::clamp(from, 0, len);
    to = std::clamp(to, from, len);
    if (from == to)
        return;
    std::vector<TextSpan> out;
    int start = 0;
    for (const TextSpan& s : spans) {
        const int end = start + s.length;
        const int a = std::max(start, from), b = std::min(end, to);
        if (a >= b) {
            out.push_back(s);
        } else {
            if (start < a)
                out.push_back(TextSpan{a - start, s.format});
            TextSpan mid{b - a, s.format};
            f.applyTo(mid.format);
            out.push_back(mid);
            if (b < end)
                out.push_back(TextSpan{end - b, s.format});
        }
        start = end;
    }
    spans = std::move(out);
    normalize(SpanFormat());
}

QString FormattedText::toHtml() const
{
    if (text.isEmpty())
        return QString();
    HtmlWriter w;
    int start = 0;
    for (const TextSpan& s : spans) {
        w.setSpan(s.format);
        w.pushText(text.mid(start, s.length));
        start += s.length;
    }
    w.closeAll();
    return w.result();
}

FormattedText FormattedText::FromHtml(const QString& html, const SpanFormat& base, const HtmlOptions& options)
{
    // Version 6 fields read as multiline whatever their setting.
    const bool multiline = options.multiline || options.version <= 6;
    FormattedText t;
    std::vector<SpanFormat> stack{base};
    std::vector<QString> opened;   // names of the open elements, innermost last
    bool paragraphOpen = false;
    std::optional<SpanFormat> lastClosedFont;
    auto append = [&](const QString& s, const SpanFormat& f) {
        t.text += s;
        t.spans.push_back(TextSpan{int(s.size()), f});
    };
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        if (html[i] != u'<') {
            qsizetype next = html.indexOf(u'<', i);
            if (next < 0)
                next = n;
            QString s = DecodeEntities(html.mid(i, next - i));
            i = next;
            if (s.isEmpty())
                continue;
            // Versions 6 and 7 drop text between tags that is all white.
            if (options.version <= 7 && std::all_of(s.begin(), s.end(), IsWhite))
                continue;
            if (options.condenseWhite) {
                QString c;
                bool white = false;
                for (const QChar ch : s) {
                    if (IsWhite(ch)) {
                        if (!white)
                            c += u' ';
                        white = true;
                    } else {
                        c += ch;
                        white = false;
                    }
                }
                s = c;
            } else {
                for (QChar& ch : s)
                    if (IsNewline(ch))
                        ch = u'\r';
            }
            append(s, stack.back());
            continue;
        }
        if (html.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype e = html.indexOf(QLatin1String("-->"), i + 4);
            i = e < 0 ? n : e + 3;
            continue;
        }
        const qsizetype close = html.indexOf(u'>', i);
        if (close < 0)
            break;
        const Tag tag = ParseTag(html.mid(i + 1, close - i - 1));
        i = close + 1;
        if (tag.name.isEmpty() || tag.name.startsWith(u'!') || tag.name.startsWith(u'?'))
            continue;
        if (!tag.closing) {
            SpanFormat f = stack.back();
            const QString& name = tag.name;
            if (name == QLatin1String("br") || name == QLatin1String("sbr")) {
                if (multiline || name == QLatin1String("sbr"))
                    append(QStringLiteral("\r"), f);
                continue;
            }
            if (name == QLatin1String("p")) {
                paragraphOpen = true;
                if (auto al = tag.attribute("align")) {
                    const QString a = al->toLower();
                    if (a == QLatin1String("left")) f.align = kAlignLeft;
                    else if (a == QLatin1String("center")) f.align = kAlignCenter;
                    else if (a == QLatin1String("right")) f.align = kAlignRight;
                    else if (a == QLatin1String("justify")) f.align = kAlignJustify;
                }
            } else if (name == QLatin1String("a")) {
                if (auto v = tag.attribute("href")) f.url = *v;
                if (auto v = tag.attribute("target")) f.target = *v;
            } else if (name == QLatin1String("font")) {
                if (auto v = tag.attribute("face")) f.font = *v;
                if (auto v = tag.attribute("size")) {
                    QString s = v->trimmed();
                    QChar sign;
                    if (!s.isEmpty() && (s[0] == u'+' || s[0] == u'-')) {
                        sign = s[0];
                        s = s.mid(1);
                    }
                    qsizetype digits = 0;
                    while (digits < s.size() && s[digits] >= u'0' && s[digits] <= u'9')
                        ++digits;
                    bool ok = false;
                    double size = s.left(digits).toDouble(&ok);
                    if (ok && digits > 0) {
                        if (sign == u'+') size = f.size + size;
                        else if (sign == u'-') size = f.size - size;
                        f.size = std::clamp(size, 1.0, 127.0);
                    }
                }
                if (auto v = tag.attribute("color"); v && v->startsWith(u'#')) {
                    // The hex digits after '#', of any count; the last six count.
                    qsizetype end = 1;
                    while (end < v->size() && isxdigit(v->at(end).toLatin1()))
                        ++end;
                    bool ok = false;
                    const uint c = v->mid(std::max<qsizetype>(1, end - 6), end - std::max<qsizetype>(1, end - 6)).toUInt(&ok, 16);
                    if (ok && end > 1)
                        f.color = c;
                }
                if (auto v = tag.attribute("letterspacing"))
                    if (auto d = ParseNumber(*v)) f.letterSpacing = *d;
                if (auto v = tag.attribute("kerning")) {
                    if (*v == QLatin1String("1") && options.version >= 8) f.kerning = true;
                    else if (*v == QLatin1String("0")) f.kerning = false;
                }
            } else if (name == QLatin1String("b")) {
                f.bold = true;
            } else if (name == QLatin1String("i")) {
                f.italic = true;
            } else if (name == QLatin1String("u")) {
                f.underline = true;
            } else if (name == QLatin1String("li")) {
                if (multiline && !t.text.isEmpty() && t.text.back() != u'\r')
                    append(QStringLiteral("\r"), stack.back());
                f.bullet = true;
            } else if (name == QLatin1String("textformat")) {
                if (auto v = tag.attribute("leftmargin")) if (auto d = ParseNumber(*v)) f.leftMargin = *d;
                if (auto v = tag.attribute("rightmargin")) if (auto d = ParseNumber(*v)) f.rightMargin = *d;
                if (auto v = tag.attribute("indent")) if (auto d = ParseNumber(*v)) f.indent = *d;
                if (auto v = tag.attribute("blockindent")) if (auto d = ParseNumber(*v)) f.blockIndent = *d;
                if (auto v = tag.attribute("leading")) if (auto d = ParseNumber(*v)) f.leading = *d;
                if (auto v = tag.attribute("tabstops")) {
                    std::vector<double> stops;
                    for (const QString& part : v->split(u','))
                        if (auto d = ParseNumber(part))
                            stops.push_back(*d);
                    f.tabStops = stops;
                }
            }
            if (tag.selfClosing)
                continue;
            opened.push_back(name);
            stack.push_back(f);
            continue;
        }
        // An end tag closes the innermost element only when the names
        // match; others are ignored.
        if (opened.empty() || opened.back() != tag.name)
            continue;
        opened.pop_back();
        const SpanFormat& top = stack.back();
        if (tag.name == QLatin1String("li") && multiline) {
            append(QStringLiteral("\r"), top);
        } else if (tag.name == QLatin1String("p") && multiline && paragraphOpen) {
            paragraphOpen = false;
            SpanFormat f = top;
            f.bold = f.italic = f.underline = false;
            f.url.clear();
            f.target.clear();
            const SpanFormat& font = lastClosedFont ? *lastClosedFont : base;
            f.font = font.font;
            f.size = font.size;
            f.color = font.color;
            f.letterSpacing = font.letterSpacing;
            f.kerning = font.kerning;
            append(QStringLiteral("\r"), f);
        } else if (tag.name == QLatin1String("font")) {
            lastClosedFont = top;
        }
        if (stack.size() > 1)
            stack.pop_back();
    }
    if (options.condenseWhite && options.version >= 8)
        CondenseSpacesAfterWhite(t);
    t.normalize(base);
    return t;
}

} // namespace plovex::swf
