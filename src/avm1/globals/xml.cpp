#include "avm1/globals/globals.h"

#include <QFile>

#include <limits>
#include <optional>

// XMLNode and XML: a node tree whose links scripts read through accessors,
// a forgiving parser that reports the player's status codes, and loads
// that deliver their text to onData on a later frame.

namespace plovex::avm1 {

namespace {

constexpr int kElement = 1;
constexpr int kText = 3;

class XmlNode : public Object {
public:
    explicit XmlNode(Object* proto) : Object(proto) {}
    void trace(Gc& gc) override
    {
        Object::trace(gc);
        gc.mark(parent);
        for (XmlNode* c : children)
            gc.mark(c);
        gc.mark(attributes);
        gc.mark(childArray);
    }
    int type = kElement;
    Value name = Value::null();
    Value value = Value::null();
    XmlNode* parent = nullptr;
    std::vector<XmlNode*> children;
    Object* attributes = nullptr;
    ArrayObject* childArray = nullptr;   // what childNodes returns, kept in step

    int indexIn() const
    {
        if (!parent)
            return -1;
        for (size_t i = 0; i < parent->children.size(); ++i)
            if (parent->children[i] == this)
                return int(i);
        return -1;
    }
    void syncArray()
    {
        if (!childArray)
            return;
        childArray->assign(std::vector<Value>(children.begin(), children.end()));
    }
    void detach()
    {
        if (!parent)
            return;
        XmlNode* p = parent;
        const int i = indexIn();
        if (i >= 0)
            p->children.erase(p->children.begin() + i);
        parent = nullptr;
        p->syncArray();
    }
    bool isAncestorOrSelf(const XmlNode* n) const
    {
        for (const XmlNode* p = this; p; p = p->parent)
            if (p == n)
                return true;
        return false;
    }
    void insert(XmlNode* child, int at)
    {
        child->detach();
        child->parent = this;
        children.insert(children.begin() + std::clamp(at, 0, int(children.size())), child);
        syncArray();
    }
};

// The classes' shared parts, a heap root for the runtime's life.
struct Xml : Object {
    explicit Xml(Runtime& rt) : rt(rt) {}
    void trace(Gc& gc) override
    {
        Object::trace(gc);
        gc.mark(nodeProto);
        gc.mark(xmlProto);
    }
    Runtime& rt;
    Object* nodeProto = nullptr;
    Object* xmlProto = nullptr;

    XmlNode* node(Activation& a, int type, const Value& nameOrValue, Object* proto = nullptr)
    {
        auto* n = a.rt.make<XmlNode>(proto ? proto : nodeProto);
        n->type = type;
        n->attributes = a.rt.newObject();
        if (type == kElement)
            n->name = nameOrValue;
        else
            n->value = nameOrValue;
        return n;
    }
};

XmlNode* AsNode(const Value& v)
{
    return dynamic_cast<XmlNode*>(v.asObject());
}

QString Escape(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '>': out += QStringLiteral("&gt;"); break;
        case '"': out += QStringLiteral("&quot;"); break;
        case '\'': out += QStringLiteral("&apos;"); break;
        default: out += c;
        }
    }
    return out;
}

QString Unescape(const QString& s)
{
    if (!s.contains(QLatin1Char('&')))
        return s;
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] != QLatin1Char('&')) {
            out += s[i];
            continue;
        }
        const int semi = s.indexOf(QLatin1Char(';'), i);
        if (semi < 0 || semi - i > 10) {
            out += s[i];
            continue;
        }
        const QString ent = s.mid(i + 1, semi - i - 1);
        QString rep;
        if (ent == QLatin1String("lt")) rep = QStringLiteral("<");
        else if (ent == QLatin1String("gt")) rep = QStringLiteral(">");
        else if (ent == QLatin1String("amp")) rep = QStringLiteral("&");
        else if (ent == QLatin1String("quot")) rep = QStringLiteral("\"");
        else if (ent == QLatin1String("apos")) rep = QStringLiteral("'");
        else if (ent.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = ent.startsWith(QLatin1String("#x")) ? ent.mid(2).toUInt(&ok, 16) : ent.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF)
                rep = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        }
        if (rep.isNull()) {
            out += s[i];
            continue;
        }
        out += rep;
        i = semi;
    }
    return out;
}

void Serialize(Activation& a, XmlNode* n, QString& out, int depth = 0)
{
    if (depth > 4096)
        return;
    if (n->type != kElement) {
        out += Escape(a.rt.toString(a, n->value));
        return;
    }
    const bool named = !n->name.isNullish();
    if (named) {
        out += QLatin1Char('<') + a.rt.toString(a, n->name);
        if (n->attributes) {
            for (const Property& p : n->attributes->props().all()) {
                if (p.flags & kDontEnum)
                    continue;
                out += QLatin1Char(' ') + p.name + QStringLiteral("=\"") + Escape(a.rt.toString(a, p.value)) +
                       QLatin1Char('"');
            }
        }
        if (n->children.empty()) {
            out += QStringLiteral(" />");
            return;
        }
        out += QLatin1Char('>');
    }
    for (XmlNode* c : n->children)
        Serialize(a, c, out, depth + 1);
    if (named)
        out += QStringLiteral("</") + a.rt.toString(a, n->name) + QLatin1Char('>');
}

XmlNode* Clone(Activation& a, Xml& x, XmlNode* src, bool deep, int depth = 0)
{
    XmlNode* c = x.node(a, src->type, src->type == kElement ? src->name : src->value, src->proto());
    if (src->type == kElement)
        c->value = src->value;
    if (src->attributes)
        for (const Property& p : src->attributes->props().all())
            c->attributes->define(p.name, p.value, p.flags);
    if (deep && depth < 4096)
        for (XmlNode* child : src->children) {
            XmlNode* cc = Clone(a, x, child, true, depth + 1);
            cc->parent = c;
            c->children.push_back(cc);
        }
    return c;
}

// The prefix an attribute declares a namespace for: "xmlns:p" declares
// p; "xmlns", "xmlns:" and any other name starting "xmlns" the default.
std::optional<QString> DeclaredPrefix(const QString& attr)
{
    if (!attr.startsWith(QLatin1String("xmlns")))
        return std::nullopt;
    return attr.size() > 5 && attr[5] == QLatin1Char(':') ? attr.mid(6) : QString();
}

// Player status codes of parseXML.
enum Status {
    kOk = 0,
    kCdataOpen = -2,
    kDeclOpen = -3,
    kDoctypeOpen = -4,
    kCommentOpen = -5,
    kBadElement = -6,
    kAttributeOpen = -8,
    kNoEndTag = -9,
    kNoStartTag = -10,
};

bool IsSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

void Parse(Activation& a, Xml& x, XmlNode* doc, const QString& s)
{
    Runtime& rt = a.rt;
    for (XmlNode* c : doc->children)
        c->parent = nullptr;
    doc->children.clear();
    const bool ignoreWhite = rt.toBool(doc->get(a, QStringLiteral("ignoreWhite")), a.version);
    std::vector<XmlNode*> open{doc};
    int status = kOk;
    QString decl;
    bool hasDecl = false;
    auto add = [&](XmlNode* n) {
        XmlNode* p = open.back();
        n->parent = p;
        p->children.push_back(n);
    };
    auto addText = [&](const QString& raw, bool unescape) {
        if (raw.isEmpty())
            return;
        if (ignoreWhite && std::all_of(raw.begin(), raw.end(), IsSpace))
            return;
        add(x.node(a, kText, Value(unescape ? Unescape(raw) : raw)));
    };
    const int n = s.size();
    int i = 0;
    while (i < n && status == kOk) {
        if (s[i] != QLatin1Char('<')) {
            int j = s.indexOf(QLatin1Char('<'), i);
            if (j < 0)
                j = n;
            addText(s.mid(i, j - i), true);
            i = j;
            continue;
        }
        if (s.mid(i, 4) == QLatin1String("<!--")) {
            const int e = s.indexOf(QLatin1String("-->"), i + 4);
            if (e < 0) { status = kCommentOpen; break; }
            i = e + 3;
        } else if (s.mid(i, 9) == QLatin1String("<![CDATA[")) {
            const int e = s.indexOf(QLatin1String("]]>"), i + 9);
            if (e < 0) { status = kCdataOpen; break; }
            addText(s.mid(i + 9, e - i - 9), false);
            i = e + 3;
        } else if (s.mid(i, 2) == QLatin1String("<?")) {
            const int e = s.indexOf(QLatin1String("?>"), i + 2);
            if (e < 0) { status = kDeclOpen; break; }
            decl += s.mid(i, e + 2 - i);
            hasDecl = true;
            i = e + 2;
        } else if (s.mid(i, 2) == QLatin1String("<!")) {
            int e = s.indexOf(QLatin1Char('>'), i + 2);
            const int bracket = s.indexOf(QLatin1Char('['), i + 2);
            if (bracket >= 0 && e >= 0 && bracket < e)   // internal subset: ends after "]>"
                e = s.indexOf(QLatin1String("]>"), bracket) < 0 ? -1 : s.indexOf(QLatin1String("]>"), bracket) + 1;
            if (e < 0) { status = kDoctypeOpen; break; }
            doc->define(QStringLiteral("docTypeDecl"), Value(s.mid(i, e + 1 - i)), kDontEnum);
            i = e + 1;
        } else if (s.mid(i, 2) == QLatin1String("</")) {
            const int e = s.indexOf(QLatin1Char('>'), i + 2);
            if (e < 0) { status = kBadElement; break; }
            const QString name = s.mid(i + 2, e - i - 2).trimmed();
            if (open.size() == 1) { status = kNoStartTag; break; }
            if (rt.toString(a, open.back()->name) != name) { status = kNoEndTag; break; }
            open.pop_back();
            i = e + 1;
        } else {
            int j = i + 1;
            while (j < n && !IsSpace(s[j]) && s[j] != QLatin1Char('/') && s[j] != QLatin1Char('>'))
                ++j;
            const QString name = s.mid(i + 1, j - i - 1);
            if (name.isEmpty()) { status = kBadElement; break; }
            XmlNode* el = x.node(a, kElement, Value(name));
            bool closed = false, done = false;
            while (status == kOk && !done) {
                while (j < n && IsSpace(s[j]))
                    ++j;
                if (j >= n) { status = kBadElement; break; }
                if (s[j] == QLatin1Char('>')) { ++j; done = true; break; }
                if (s[j] == QLatin1Char('/')) {
                    if (j + 1 < n && s[j + 1] == QLatin1Char('>')) { j += 2; closed = done = true; break; }
                    status = kBadElement;
                    break;
                }
                int k = j;
                while (k < n && s[k] != QLatin1Char('=') && !IsSpace(s[k]) && s[k] != QLatin1Char('>') && s[k] != QLatin1Char('/'))
                    ++k;
                const QString attr = s.mid(j, k - j);
                while (k < n && IsSpace(s[k]))
                    ++k;
                if (attr.isEmpty() || k >= n || s[k] != QLatin1Char('=')) { status = kBadElement; break; }
                ++k;
                while (k < n && IsSpace(s[k]))
                    ++k;
                if (k >= n || (s[k] != QLatin1Char('"') && s[k] != QLatin1Char('\''))) { status = kBadElement; break; }
                const int close = s.indexOf(s[k], k + 1);
                if (close < 0) { status = kAttributeOpen; break; }
                // A repeated attribute keeps its first value.
                if (!el->attributes->props().find(attr, true))
                    el->attributes->define(attr, Value(Unescape(s.mid(k + 1, close - k - 1))), 0);
                j = close + 1;
            }
            if (status != kOk)
                break;
            add(el);
            if (!closed) {
                if (open.size() > 4096) { status = kBadElement; break; }
                open.push_back(el);
            }
            i = j;
        }
    }
    if (status == kOk && open.size() > 1)
        status = kNoEndTag;
    if (hasDecl)
        doc->define(QStringLiteral("xmlDecl"), Value(decl), kDontEnum);
    doc->define(QStringLiteral("status"), Value(status), kDontEnum);
    doc->syncArray();
}

} // namespace

void InstallXml(Runtime& rt)
{
    Xml* x = rt.make<Xml>(rt);
    rt.extraRoots.push_back(x);
    Object* np = x->nodeProto = rt.make<Object>(rt.objectProto);
    Object* xp = x->xmlProto = rt.make<Object>(np);

    auto constructNode = [x](Activation& a, Object*, Args& args) -> Value {
        const int type = ToInt32(a.rt.toNumber(a, Arg(args, 0)));
        const Value v = Arg(args, 1);
        return Value(x->node(a, type == kText ? kText : kElement, v.isUndefined() ? Value::null() : Value(a.rt.toString(a, v))));
    };
    rt.newClass(QStringLiteral("XMLNode"), constructNode, constructNode, np, rt.global);

    auto accessor = [&rt, np](const char* name, std::function<Value(Activation&, XmlNode*)> get,
                              std::function<void(Activation&, XmlNode*, const Value&)> set = nullptr) {
        Property& p = np->props().insert(QString::fromLatin1(name), true);
        p.getter = rt.newNative([get](Activation& a, Object* self, Args&) -> Value {
            XmlNode* n = dynamic_cast<XmlNode*>(self);
            return n ? get(a, n) : Value();
        });
        if (set)
            p.setter = rt.newNative([set](Activation& a, Object* self, Args& args) -> Value {
                if (XmlNode* n = dynamic_cast<XmlNode*>(self))
                    set(a, n, Arg(args, 0));
                return Value();
            });
        p.flags = kDontEnum;
    };
    auto link = [](XmlNode* n) { return n ? Value(n) : Value::null(); };
    accessor("nodeType", [](Activation&, XmlNode* n) { return Value(n->type); });
    accessor("nodeName", [](Activation&, XmlNode* n) { return n->name; },
             [](Activation& a, XmlNode* n, const Value& v) { n->name = v.isNullish() ? Value::null() : Value(a.rt.toString(a, v)); });
    accessor("nodeValue", [](Activation&, XmlNode* n) { return n->value; },
             [](Activation& a, XmlNode* n, const Value& v) { n->value = v.isNullish() ? Value::null() : Value(a.rt.toString(a, v)); });
    accessor("parentNode", [link](Activation&, XmlNode* n) { return link(n->parent); });
    accessor("firstChild", [link](Activation&, XmlNode* n) { return link(n->children.empty() ? nullptr : n->children.front()); });
    accessor("lastChild", [link](Activation&, XmlNode* n) { return link(n->children.empty() ? nullptr : n->children.back()); });
    accessor("previousSibling", [link](Activation&, XmlNode* n) {
        const int i = n->indexIn();
        return link(i > 0 ? n->parent->children[size_t(i - 1)] : nullptr);
    });
    accessor("nextSibling", [link](Activation&, XmlNode* n) {
        const int i = n->indexIn();
        return link(i >= 0 && size_t(i + 1) < n->parent->children.size() ? n->parent->children[size_t(i + 1)] : nullptr);
    });
    accessor("childNodes", [](Activation& a, XmlNode* n) {
        if (!n->childArray) {
            n->childArray = a.rt.newArray();
            n->syncArray();
        }
        return Value(n->childArray);
    });
    accessor("attributes", [](Activation&, XmlNode* n) { return Value(n->attributes); },
             [](Activation&, XmlNode* n, const Value& v) {
                 if (Object* o = v.asObject())
                     n->attributes = o;
             });
    auto prefixOf = [](Activation& a, XmlNode* n) {
        if (n->type != kElement || n->name.isNullish())
            return QString();
        const QString name = a.rt.toString(a, n->name);
        return name.contains(QLatin1Char(':')) ? name.section(QLatin1Char(':'), 0, 0) : QString();
    };
    accessor("prefix", [prefixOf](Activation& a, XmlNode* n) {
        return n->type == kElement && !n->name.isNullish() ? Value(prefixOf(a, n)) : Value::null();
    });
    accessor("localName", [](Activation& a, XmlNode* n) {
        if (n->type != kElement || n->name.isNullish())
            return Value::null();
        return Value(a.rt.toString(a, n->name).section(QLatin1Char(':'), -1));
    });
    // The namespace a prefix stands for: the first matching xmlns
    // attribute, nearest node first.
    auto namespaceFor = [](Activation& a, XmlNode* n, const QString& prefix) -> Value {
        for (XmlNode* p = n; p; p = p->parent)
            if (p->attributes)
                for (const Property& pr : p->attributes->props().all())
                    if (const auto declared = DeclaredPrefix(pr.name); declared && *declared == prefix)
                        return Value(a.rt.toString(a, pr.value));
        return Value::null();
    };
    accessor("namespaceURI", [prefixOf, namespaceFor](Activation& a, XmlNode* n) {
        if (n->type != kElement || n->name.isNullish())
            return Value::null();
        return namespaceFor(a, n, prefixOf(a, n));
    });
    np->defineNative(rt, QStringLiteral("getNamespaceForPrefix"), [namespaceFor](Activation& a, Object* self, Args& args) -> Value {
        XmlNode* n = dynamic_cast<XmlNode*>(self);
        return n ? namespaceFor(a, n, a.rt.toString(a, Arg(args, 0))) : Value();
    });
    np->defineNative(rt, QStringLiteral("getPrefixForNamespace"), [](Activation& a, Object* self, Args& args) -> Value {
        XmlNode* n = dynamic_cast<XmlNode*>(self);
        if (!n)
            return Value();
        const QString uri = a.rt.toString(a, Arg(args, 0));
        for (XmlNode* p = n; p; p = p->parent)
            if (p->attributes)
                for (const Property& pr : p->attributes->props().all())
                    if (const auto declared = DeclaredPrefix(pr.name); declared && a.rt.toString(a, pr.value) == uri)
                        return Value(*declared);
        return Value::null();
    });

    np->defineNative(rt, QStringLiteral("appendChild"), [](Activation&, Object* self, Args& args) -> Value {
        XmlNode* n = dynamic_cast<XmlNode*>(self);
        XmlNode* c = AsNode(Arg(args, 0));
        // A node cannot hold itself or one of its ancestors.
        if (n && c && !n->isAncestorOrSelf(c))
            n->insert(c, int(n->children.size()));
        return Value();
    });
    np->defineNative(rt, QStringLiteral("insertBefore"), [](Activation&, Object* self, Args& args) -> Value {
        XmlNode* n = dynamic_cast<XmlNode*>(self);
        XmlNode* c = AsNode(Arg(args, 0));
        XmlNode* before = AsNode(Arg(args, 1));
        if (!n || !c || !before || before->parent != n || c == before || n->isAncestorOrSelf(c))
            return Value();
        c->detach();
        n->insert(c, before->indexIn());
        return Value();
    });
    np->defineNative(rt, QStringLiteral("removeNode"), [](Activation&, Object* self, Args&) -> Value {
        if (XmlNode* n = dynamic_cast<XmlNode*>(self))
            n->detach();
        return Value();
    });
    np->defineNative(rt, QStringLiteral("cloneNode"), [x](Activation& a, Object* self, Args& args) -> Value {
        XmlNode* n = dynamic_cast<XmlNode*>(self);
        if (!n)
            return Value();
        return Value(Clone(a, *x, n, a.rt.toBool(Arg(args, 0), a.version)));
    });
    np->defineNative(rt, QStringLiteral("hasChildNodes"), [](Activation&, Object* self, Args&) -> Value {
        XmlNode* n = dynamic_cast<XmlNode*>(self);
        return Value(n && !n->children.empty());
    });
    np->defineNative(rt, QStringLiteral("toString"), [](Activation& a, Object* self, Args&) -> Value {
        XmlNode* n = dynamic_cast<XmlNode*>(self);
        if (!n)
            return Value(QStringLiteral("[object Object]"));
        QString out;
        // A document starts with its declarations.
        if (n->proto() && !n->parent) {
            for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
                const Property* p = n->props().find(QString::fromLatin1(decl), true);
                if (p && !p->value.isNullish())
                    out += a.rt.toString(a, p->value);
            }
        }
        Serialize(a, n, out);
        return Value(out);
    });

    // The player's members are enumerable, listed (newest first) in this
    // order; read-only links are flagged so.
    auto arrange = [](Object* proto, std::initializer_list<const char*> order) {
        for (const char* name : order) {
            const QString key = QString::fromLatin1(name);
            const Property* found = proto->props().find(key, true);
            if (!found)
                continue;
            Property copy = *found;
            proto->props().remove(key, true);
            Property& p = proto->props().insert(key, true);
            p.value = copy.value;
            p.getter = copy.getter;
            p.setter = copy.setter;
            p.flags = uint16_t((copy.flags & ~kDontEnum) | (copy.getter && !copy.setter ? kReadOnly : 0));
        }
    };
    arrange(np, {"cloneNode", "removeNode", "insertBefore", "appendChild", "hasChildNodes", "toString",
                 "getNamespaceForPrefix", "getPrefixForNamespace", "attributes", "childNodes", "firstChild",
                 "lastChild", "nextSibling", "nodeName", "nodeType", "nodeValue", "parentNode", "previousSibling",
                 "prefix", "localName", "namespaceURI"});

    // XML: a document node with a parser and loads.
    auto constructXml = [x, xp](Activation& a, Object*, Args& args) -> Value {
        XmlNode* doc = x->node(a, kElement, Value::null(), xp);
        doc->define(QStringLiteral("status"), Value(0), kDontEnum);
        if (!args.empty() && !args[0].isNullish())
            Parse(a, *x, doc, a.rt.toString(a, args[0]));
        return Value(doc);
    };
    rt.newClass(QStringLiteral("XML"), constructXml, constructXml, xp, rt.global);
    xp->define(QStringLiteral("ignoreWhite"), Value(false), kDontEnum);
    xp->define(QStringLiteral("contentType"), Value(QStringLiteral("application/x-www-form-urlencoded")), kDontEnum);
    xp->defineNative(rt, QStringLiteral("parseXML"), [x](Activation& a, Object* self, Args& args) -> Value {
        if (XmlNode* doc = dynamic_cast<XmlNode*>(self))
            Parse(a, *x, doc, a.rt.toString(a, Arg(args, 0)));
        return Value();
    });
    xp->defineNative(rt, QStringLiteral("createElement"), [x](Activation& a, Object*, Args& args) -> Value {
        return Value(x->node(a, kElement, Value(a.rt.toString(a, Arg(args, 0)))));
    });
    xp->defineNative(rt, QStringLiteral("createTextNode"), [x](Activation& a, Object*, Args& args) -> Value {
        return Value(x->node(a, kText, Value(a.rt.toString(a, Arg(args, 0)))));
    });
    xp->defineNative(rt, QStringLiteral("onLoad"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    xp->defineNative(rt, QStringLiteral("onData"), [](Activation& a, Object* self, Args& args) -> Value {
        const Value src = Arg(args, 0);
        if (src.isUndefined()) {
            a.rt.callMethod(a, self, QStringLiteral("onLoad"), {Value(false)});
            return Value();
        }
        a.rt.callMethod(a, self, QStringLiteral("parseXML"), {src});
        self->set(a, QStringLiteral("loaded"), Value(true));
        a.rt.callMethod(a, self, QStringLiteral("onLoad"), {Value(true)});
        return Value();
    });
    auto startLoad = [](Activation& a, Object* target, const Value& url) {
        target->set(a, QStringLiteral("loaded"), Value(false));
        target->define(QStringLiteral("_bytesLoaded"), Value(0), kDontEnum);
        double bytes = 0;
        const Value data = LoadText(a.rt, a.rt.toString(a, url), bytes);
        DeliverText(a.rt, target, data, bytes);
    };
    xp->defineNative(rt, QStringLiteral("load"), [startLoad](Activation& a, Object* self, Args& args) -> Value {
        if (args.empty())
            return Value(false);
        startLoad(a, self, args[0]);
        return Value(true);
    });
    xp->defineNative(rt, QStringLiteral("sendAndLoad"), [startLoad](Activation& a, Object*, Args& args) -> Value {
        Object* target = Arg(args, 1).asObject();
        if (!target)
            return Value(false);
        startLoad(a, target, Arg(args, 0));
        return Value(true);
    });
    xp->defineNative(rt, QStringLiteral("send"), [](Activation&, Object*, Args& args) -> Value {
        return Value(!args.empty());
    });
    xp->defineNative(rt, QStringLiteral("addRequestHeader"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    xp->defineNative(rt, QStringLiteral("getBytesLoaded"), [](Activation& a, Object* self, Args&) -> Value {
        return self->get(a, QStringLiteral("_bytesLoaded"));
    });
    xp->defineNative(rt, QStringLiteral("getBytesTotal"), [](Activation& a, Object* self, Args&) -> Value {
        return self->get(a, QStringLiteral("_bytesTotal"));
    });
    arrange(xp, {"createElement", "createTextNode", "parseXML", "load", "send", "sendAndLoad", "onLoad", "onData",
                 "getBytesLoaded", "getBytesTotal", "addRequestHeader"});
}

} // namespace plovex::avm1
